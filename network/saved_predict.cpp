#include "network/saved_predict.h"

#include <array>
#include <exception>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "job/class_list.h"
#include "job/run_log.h"
#include "platform/paths.h"
#include "results/class_entry.h"
#include "results/profile_entry.h"
#include "results/training_entry.h"
#include "results/validation_entry.h"
#include "training/class_training.h"
#include "training/engine_loader.h"
#include "training/ensemble.h"
#include "training/fit_figures.h"
#include "training/network_size.h"
#include "training/prediction.h"

namespace tarvex::network {

using job::JobSettings;
using results::SavedNetworkEntry;
using results::SecondsOfDay;
using results::SecondsSince;
using results::ValidationEntry;
using training::CheckNetworkFits;
using training::ComputeFigures;
using training::EngineComponent;
using training::NetworkEngine;
using training::OutputMapping;
using training::PredictRows;

bool PredictWithSavedNetwork(JobSettings& job) {
  bool result = false;
  // Owned by the stage, as in training: released when it ends, whether it succeeded or failed.
  std::optional<EngineComponent> component;
  try {
    const std::int64_t start = SecondsOfDay();
    const job::NetworkWeights& network = job.SavedNetwork;
    const job::DataMatrix& prediction_inputs = job.PredictionInputs;
    const std::array<std::int32_t, 2> layer_sizes = {network.HiddenCount, network.OutputCount};
    job.Results.network = {network.InputCount, network.HiddenCount, network.OutputCount};

    const bool predicts = job::PredictsOutputs(job);
    CheckNetworkFits(network.InputCount, network.HiddenCount, network.OutputCount,
                     predicts ? prediction_inputs.RowCount() : 0);
    component.emplace(platform::ProgramFolder());
    // An ensemble's networks each have an engine of their own, released with the stage's.
    std::vector<std::unique_ptr<EngineComponent>> others;
    std::vector<NetworkEngine*> engines = {&component->engine()};
    for (std::int32_t k = 1; k < network.MemberCount; ++k) {
      others.push_back(std::make_unique<EngineComponent>(platform::ProgramFolder()));
      engines.push_back(&others.back()->engine());
    }
    // The initial weights do not matter: every one is replaced.
    const bool classifier = job::IsClassification(job);
    const std::size_t each = network.MemberWeightCount();
    for (std::size_t k = 0; k < engines.size(); ++k) {
      if (classifier) {
        engines[k]->CreateClassifier(network.InputCount, network.HiddenCount, network.OutputCount,
                                     0.0, job.af);
      } else {
        engines[k]->CreateNetwork(2, network.InputCount, layer_sizes, 0.0, job.af);
      }
      engines[k]->SetWeights(std::span<const double>(network.Weights).subspan(k * each, each));
    }
    std::optional<training::EnsembleEngine> ensemble;
    if (engines.size() > 1) ensemble.emplace(engines);
    NetworkEngine& engine = ensemble ? static_cast<NetworkEngine&>(*ensemble) : *engines.front();

    // A job that only exports the network has no prediction inputs.
    if (predicts) {
      job::BoundedVector prediction_row(prediction_inputs.ColumnLow(),
                                        prediction_inputs.ColumnHigh());
      job.PredictionOutputs =
          job::DataMatrix(prediction_inputs.RowLow(), prediction_inputs.RowHigh(),
                          job.TrainingOutputMax.Low(), job.TrainingOutputMax.High());
      PredictRows(job, engine, prediction_row);
    }
    // A kept network evaluated on new labelled rows.
    const bool validates = job::HasValidationData(job);
    if (validates && classifier) {
      job.Results.class_validation = training::ClassifierFigures(
          engine, job.ValidationInputs, job.ValidationOutputs,
          job.rof.empty() ? nullptr : &job.Results.validation_predictions);
    } else if (validates) {
      job.Results.validation = ComputeFigures(
          engine, {&job.ValidationInputs, &job.ValidationOutputValues}, OutputMapping(job),
          job.rof.empty() ? nullptr : &job.Results.validation_predictions);
    }
    result = true;

    job::WriteLog(job.log, SavedNetworkEntry(job, SecondsSince(start)), job::LogEntry::kReport);
    if (job.Encoding.Active()) {
      job::WriteLog(job.log, results::DataProfileEntry(job), job::LogEntry::kReport);
    }
    if (classifier) {
      job::WriteLog(job.log, results::ClassificationEntry(job), job::LogEntry::kReport);
    }
    if (validates) job::WriteLog(job.log, ValidationEntry(job), job::LogEntry::kReport);
  } catch (const std::exception& failure) {
    job::WriteLog(job.log, job::DescribeFailure(failure));
  }
  component.reset();
  return result;
}

}  // namespace tarvex::network
