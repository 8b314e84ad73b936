#include "training/ensemble.h"

#include <algorithm>
#include <stdexcept>

namespace tarvex::training {

std::optional<std::uint64_t> MemberSeed(const std::optional<std::uint32_t>& job_seed,
                                        std::int32_t member) {
  if (member == 0) {
    if (!job_seed) return std::nullopt;
    return std::uint64_t{*job_seed};
  }
  return std::uint64_t{job_seed.value_or(0)} + static_cast<std::uint64_t>(member);
}

EnsembleEngine::EnsembleEngine(std::vector<NetworkEngine*> members) : members_(std::move(members)) {
  if (members_.empty()) throw std::logic_error("An ensemble needs a network");
}

void EnsembleEngine::NotForAnEnsemble() {
  throw std::logic_error("An ensemble's networks are trained one by one");
}

void EnsembleEngine::CreateNetwork(std::int32_t, std::int32_t, std::span<const std::int32_t>,
                                   double, std::int16_t) {
  NotForAnEnsemble();
}
void EnsembleEngine::SetMomentum(double) { NotForAnEnsemble(); }
void EnsembleEngine::SetLearningRate(double) { NotForAnEnsemble(); }
bool EnsembleEngine::IsTargetReached(double) { NotForAnEnsemble(); }
void EnsembleEngine::TrainSample(std::span<const double>, std::span<const double>) {
  NotForAnEnsemble();
}
double EnsembleEngine::GetMinWeightDelta() { NotForAnEnsemble(); }
void EnsembleEngine::SeedWeights(std::uint64_t) { NotForAnEnsemble(); }
void EnsembleEngine::CreateClassifier(std::int32_t, std::int32_t, std::int32_t, double,
                                      std::int16_t) {
  NotForAnEnsemble();
}
void EnsembleEngine::TrainClassSample(std::span<const double>, std::span<const double>, double) {
  NotForAnEnsemble();
}

void EnsembleEngine::SetInputs(std::span<const double> inputs) {
  for (NetworkEngine* member : members_) member->SetInputs(inputs);
}

void EnsembleEngine::ComputeOutputs() {
  members_.front()->ComputeOutputs();
  const std::span<const double> first = members_.front()->GetOutputs();
  // Starting from the first member's outputs, not from 0, keeps one member's to the bit.
  outputs_.assign(first.begin(), first.end());
  for (std::size_t k = 1; k < members_.size(); ++k) {
    members_[k]->ComputeOutputs();
    const std::span<const double> outputs = members_[k]->GetOutputs();
    if (outputs.size() != outputs_.size()) throw std::logic_error("An ensemble of unlike networks");
    for (std::size_t j = 0; j < outputs_.size(); ++j) outputs_[j] += outputs[j];
  }
  if (members_.size() == 1) return;
  const double count = static_cast<double>(members_.size());
  for (double& output : outputs_) output /= count;
}

std::span<const double> EnsembleEngine::GetWeights() {
  weights_.clear();
  for (NetworkEngine* member : members_) {
    const std::span<const double> weights = member->GetWeights();
    weights_.insert(weights_.end(), weights.begin(), weights.end());
  }
  return weights_;
}

void EnsembleEngine::SetWeights(std::span<const double> weights) {
  const std::size_t each = weights.size() / members_.size();
  if (each * members_.size() != weights.size()) {
    throw std::logic_error("The weights do not divide among the ensemble's networks");
  }
  for (std::size_t k = 0; k < members_.size(); ++k) {
    members_[k]->SetWeights(weights.subspan(k * each, each));
  }
}

}  // namespace tarvex::training
