// The network engine as Tarvex sees it: the nine operations that the training stage drives, after
// them the two that hand out and take in the weights of a saved network, the one that seeds the
// initial weights, and last the two of a classifier. The engine lives in its own shared library
// (libnetworkengine.so) and is loaded at run time.
#pragma once

#include <cstdint>
#include <span>

namespace tarvex::training {

// Every operation reports a failure by throwing an exception derived from std::exception whose
// what() is the description that goes into the run log.
class NetworkEngine {
 public:
  virtual ~NetworkEngine() = default;

  // layer_sizes holds the hidden-layer size, then the output-layer size.
  virtual void CreateNetwork(std::int32_t layer_count, std::int32_t input_count,
                             std::span<const std::int32_t> layer_sizes, double initial_weights,
                             std::int16_t activation) = 0;
  virtual void SetMomentum(double momentum) = 0;
  virtual void SetLearningRate(double learning_rate) = 0;
  // The outputs of the last ComputeOutputs, one per output neuron; valid until the next call
  // into the engine. Right after TrainSample they are the outputs of that step's forward pass,
  // before its weights changed (the training error of the sample).
  virtual std::span<const double> GetOutputs() = 0;
  virtual void SetInputs(std::span<const double> inputs) = 0;
  virtual void ComputeOutputs() = 0;
  // True when no training step since the previous call had a weight delta above target_percent.
  virtual bool IsTargetReached(double target_percent) = 0;
  virtual void TrainSample(std::span<const double> inputs, std::span<const double> targets) = 0;
  // The weight delta of the last training step: 100 x |change of all weights| / |all weights|.
  virtual double GetMinWeightDelta() = 0;

  // Every weight and bias: for each hidden neuron its weights from the inputs, then its bias;
  // then for each output neuron its weights from the hidden neurons, then its bias. Valid until
  // the next call into the engine.
  virtual std::span<const double> GetWeights() = 0;
  // Replaces every weight and bias (the order and count of GetWeights), so that the network
  // computes what the one that handed them out computed, to the bit.
  virtual void SetWeights(std::span<const double> weights) = 0;

  // Draws every weight and bias again, uniform in [-iw, +iw] of CreateNetwork, from the engine's
  // generator started at seed instead of its fixed start; called right after CreateNetwork.
  virtual void SeedWeights(std::uint64_t seed) = 0;

  // Added after the operations above, so that a caller of those sees the engine unchanged.
  // A classifier: the hidden layer as CreateNetwork makes it for the activation code, then one
  // softmax output per class; GetOutputs gives the class probabilities, which sum to 1. Every
  // operation above works on it, except TrainSample: it learns by TrainClassSample.
  virtual void CreateClassifier(std::int32_t input_count, std::int32_t hidden_count,
                                std::int32_t class_count, double initial_weights,
                                std::int16_t activation) = 0;
  // One online step with momentum on the cross-entropy of one sample, weighted by
  // sample_weight; targets holds one probability per class (a 1 for a labelled row's class).
  virtual void TrainClassSample(std::span<const double> inputs, std::span<const double> targets,
                                double sample_weight) = 0;
};

inline constexpr const char* kNetworkEngineLibrary = "libnetworkengine.so";
inline constexpr const char* kNetworkEngineEntry = "TarvexCreateNetworkEngine";

}  // namespace tarvex::training

// The library's one entry point; the caller owns the engine and deletes it through the
// virtual destructor. Returns nullptr when no engine can be made.
extern "C" tarvex::training::NetworkEngine* TarvexCreateNetworkEngine();
