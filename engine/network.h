// The network itself: one hidden layer and one output layer, trained online by backpropagation
// with momentum. The shared library's engine is a thin wrapper around it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <span>
#include <vector>

#include "engine/activation.h"
#include "engine/kernels.h"

namespace tarvex::engine {

// Buffers start on a cache line and rows are whole vectors long, so no vector load straddles
// two lines.
template <typename T>
struct CacheAligned {
  using value_type = T;
  static constexpr std::align_val_t kAlignment{64};

  CacheAligned() = default;
  template <typename U>
  CacheAligned(const CacheAligned<U>&) {}

  T* allocate(std::size_t n) { return static_cast<T*>(::operator new(n * sizeof(T), kAlignment)); }
  void deallocate(T* p, std::size_t) { ::operator delete(p, kAlignment); }
  bool operator==(const CacheAligned&) const = default;
};

using AlignedBuffer = std::vector<double, CacheAligned<double>>;

// The output layer of a regression network follows the activation code; a classifier's is softmax.
enum class OutputLayer { kActivated, kSoftmax };

class Network {
 public:
  // Sizes below 1 throw std::invalid_argument; weights and biases start uniform in
  // [-initial_weights, +initial_weights] from the engine's fixed-seed generator.
  Network(std::int32_t input_count, std::int32_t hidden_count, std::int32_t output_count,
          double initial_weights, std::int16_t activation_code,
          OutputLayer output_layer = OutputLayer::kActivated);
  // The loops hold pointers into the network's own buffers.
  Network(const Network&) = delete;
  Network& operator=(const Network&) = delete;

  std::size_t InputCount() const { return layers_.inputs; }
  std::size_t HiddenCount() const { return layers_.hidden; }
  std::size_t OutputCount() const { return layers_.outputs; }

  void SetLearningRate(double learning_rate);
  void SetMomentum(double momentum);

  // The inputs for ComputeOutputs; training keeps its own copy and does not disturb them.
  void SetInputs(std::span<const double> inputs);
  // Throws "Overflow..." when an output is not a finite number.
  void ComputeOutputs();
  // The outputs of the last forward pass (ComputeOutputs or TrainSample).
  std::span<const double> Outputs() const { return {outputs_.data(), outputs_.size()}; }

  // One backpropagation step on the squared error of one sample. Throws "Overflow..." when a
  // weight stops being a finite number.
  void TrainSample(std::span<const double> inputs, std::span<const double> targets);
  // The same on the cross-entropy of a softmax network, the sample weighing sample_weight;
  // targets are the class probabilities (one 1 and zeros for a labelled row).
  void TrainClassSample(std::span<const double> inputs, std::span<const double> targets,
                        double sample_weight);
  bool IsClassifier() const { return output_layer_ == OutputLayer::kSoftmax; }
  // 100 x |change of all weights| / |all weights| of the last step; 0 before the first.
  double LastWeightDelta() const { return last_weight_delta_; }
  // True when no step since the previous call had a weight delta above target_percent.
  bool IsTargetReached(double target_percent);

  // Every weight and bias: hidden neuron by hidden neuron its weights from the inputs and then
  // its bias, then output neuron by output neuron its weights from the hidden neurons and then
  // its bias. The order is that of a saved network file.
  std::size_t WeightCount() const;
  void CopyWeights(std::span<double> weights) const;
  // Takes every weight and bias in the order of CopyWeights; the changes of earlier steps are
  // forgotten, so training would go on from these weights without momentum. Throws
  // std::out_of_range for a wrong count and std::invalid_argument for a weight that is not a
  // finite number, and then leaves the network as it was.
  void SetWeights(std::span<const double> weights);

  // Direct access for tests and tools: the weight from input (or hidden neuron) `from` into a
  // neuron; `from` equal to the count of the layer below addresses the neuron's bias.
  double& HiddenWeight(std::size_t neuron, std::size_t from);
  double& OutputWeight(std::size_t neuron, std::size_t from);

 private:
  // Where the weight of HiddenWeight or OutputWeight lives in the padded layers.
  double* HiddenSlot(std::size_t neuron, std::size_t from) const;
  double* OutputSlot(std::size_t neuron, std::size_t from) const;

  // Records the step's squares into the weight delta; throws when a weight is no longer finite.
  void AfterStep(const SquareSums& squares);

  OutputLayer output_layer_;
  double learning_rate_ = 0.3;
  double momentum_ = 0.6;

  // The hidden layer's rows then the output layer's (see Layers); the previous change of each
  // weight in the same places.
  AlignedBuffer weights_;
  AlignedBuffer changes_;
  AlignedBuffer query_inputs_;
  AlignedBuffer hidden_values_;
  AlignedBuffer hidden_steps_;
  AlignedBuffer outputs_;
  AlignedBuffer output_deltas_;
  Layers layers_;

  double last_weight_delta_ = 0.0;
  // The largest weight delta since the last IsTargetReached; -inf when no step was taken.
  double largest_weight_delta_;
};

}  // namespace tarvex::engine
