// An ensemble (/ens): several networks of one layout, each trained from its own seed, that predict
// together with their mean output (for a classifier, the mean of their class probabilities).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "training/network_engine.h"

namespace tarvex::training {

// The seed of network member (from 0): the first trains from the job's own seed (none: the
// engine's fixed start), so that an ensemble of one is the job without /ens; the others from
// the job's seed plus member (without a seed, from member), so that each is what a job of the
// same rows with that /sd trains.
std::optional<std::uint64_t> MemberSeed(const std::optional<std::uint32_t>& job_seed,
                                        std::int32_t member);

// The trained members as one engine for everything that only computes outputs (the figures,
// the prediction, the warnings): SetInputs and ComputeOutputs go to every member, and GetOutputs
// is their mean, summed in member order. GetWeights gives every member's weights one member
// after the other, and SetWeights takes them so. Training through it throws: each member trains
// on its own.
class EnsembleEngine final : public NetworkEngine {
 public:
  explicit EnsembleEngine(std::vector<NetworkEngine*> members);

  void CreateNetwork(std::int32_t layer_count, std::int32_t input_count,
                     std::span<const std::int32_t> layer_sizes, double initial_weights,
                     std::int16_t activation) override;
  void SetMomentum(double momentum) override;
  void SetLearningRate(double learning_rate) override;
  std::span<const double> GetOutputs() override { return outputs_; }
  void SetInputs(std::span<const double> inputs) override;
  void ComputeOutputs() override;
  bool IsTargetReached(double target_percent) override;
  void TrainSample(std::span<const double> inputs, std::span<const double> targets) override;
  double GetMinWeightDelta() override;
  std::span<const double> GetWeights() override;
  void SetWeights(std::span<const double> weights) override;
  void SeedWeights(std::uint64_t seed) override;
  void CreateClassifier(std::int32_t input_count, std::int32_t hidden_count,
                        std::int32_t class_count, double initial_weights,
                        std::int16_t activation) override;
  void TrainClassSample(std::span<const double> inputs, std::span<const double> targets,
                        double sample_weight) override;

 private:
  [[noreturn]] static void NotForAnEnsemble();

  std::vector<NetworkEngine*> members_;
  std::vector<double> outputs_, weights_;
};

}  // namespace tarvex::training
