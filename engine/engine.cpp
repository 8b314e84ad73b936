// The component's face: the NetworkEngine that Tarvex loads from libnetworkengine.so, a thin
// wrapper that checks the calls and hands them to Network.
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/network.h"
#include "engine/weight_generator.h"
#include "training/network_engine.h"

namespace tarvex::engine {

namespace {

class Engine final : public training::NetworkEngine {
 public:
  void CreateNetwork(std::int32_t layer_count, std::int32_t input_count,
                     std::span<const std::int32_t> layer_sizes, double initial_weights,
                     std::int16_t activation) override {
    network_.reset();
    if (layer_count != 2) {
      throw std::invalid_argument(
          "The network must have 2 layers of neurons (hidden and output); " +
          std::to_string(layer_count) + " were asked for");
    }
    if (layer_sizes.size() != 2) {
      throw std::out_of_range("Subscript out of range: " + std::to_string(layer_sizes.size()) +
                              " layer sizes given for 2 layers");
    }
    network_.emplace(input_count, layer_sizes[0], layer_sizes[1], initial_weights, activation);
    initial_weights_ = initial_weights;
  }

  void CreateClassifier(std::int32_t input_count, std::int32_t hidden_count,
                        std::int32_t class_count, double initial_weights,
                        std::int16_t activation) override {
    network_.reset();
    if (class_count < 2) {
      throw std::invalid_argument("A classifier needs two classes at least; " +
                                  std::to_string(class_count) + " were given");
    }
    network_.emplace(input_count, hidden_count, class_count, initial_weights, activation,
                     OutputLayer::kSoftmax);
    initial_weights_ = initial_weights;
  }
  void TrainClassSample(std::span<const double> inputs, std::span<const double> targets,
                        double sample_weight) override {
    Get().TrainClassSample(inputs, targets, sample_weight);
  }

  void SetMomentum(double momentum) override { Get().SetMomentum(momentum); }
  void SetLearningRate(double learning_rate) override { Get().SetLearningRate(learning_rate); }
  std::span<const double> GetOutputs() override { return Get().Outputs(); }
  void SetInputs(std::span<const double> inputs) override { Get().SetInputs(inputs); }
  void ComputeOutputs() override { Get().ComputeOutputs(); }
  bool IsTargetReached(double target_percent) override {
    return Get().IsTargetReached(target_percent);
  }
  void TrainSample(std::span<const double> inputs, std::span<const double> targets) override {
    Get().TrainSample(inputs, targets);
  }
  double GetMinWeightDelta() override { return Get().LastWeightDelta(); }
  std::span<const double> GetWeights() override {
    const Network& network = Get();
    handed_out_.resize(network.WeightCount());
    network.CopyWeights(handed_out_);
    return handed_out_;
  }
  void SetWeights(std::span<const double> weights) override { Get().SetWeights(weights); }
  // The network draws its weights in the order of CopyWeights, so drawing that many from a
  // seeded generator gives the network it would have had with that seed.
  void SeedWeights(std::uint64_t seed) override {
    Network& network = Get();
    WeightGenerator generator(seed);
    handed_out_.resize(network.WeightCount());
    for (double& weight : handed_out_) weight = generator.NextWeight(initial_weights_);
    network.SetWeights(handed_out_);
  }

 private:
  Network& Get() {
    if (!network_) {
      throw std::logic_error("The network engine has no network: CreateNetwork must come first");
    }
    return *network_;
  }

  std::optional<Network> network_;
  double initial_weights_ = 0.0;
  std::vector<double> handed_out_;  // the weights of the last GetWeights
};

}  // namespace

}  // namespace tarvex::engine

extern "C" __attribute__((visibility("default"))) tarvex::training::NetworkEngine*
TarvexCreateNetworkEngine() {
  return new (std::nothrow) tarvex::engine::Engine();
}
