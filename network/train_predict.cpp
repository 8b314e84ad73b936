#include "network/train_predict.h"

#include <exception>
#include <optional>

#include "job/job_file.h"
#include "job/run_log.h"
#include "netfile/network_store.h"
#include "platform/paths.h"
#include "results/curve_file.h"
#include "results/training_entry.h"
#include "results/validation_entry.h"
#include "training/cross_validation.h"
#include "training/engine_loader.h"
#include "training/fit_figures.h"
#include "training/network_size.h"
#include "training/prediction.h"
#include "training/training_run.h"

namespace tarvex::network {

using job::BoundedVector;
using job::DataMatrix;
using job::Index;
using job::JobSettings;
using job::WriteLog;
using netfile::SaveNetworkFile;
using results::LearningCurveText;
using results::SecondsOfDay;
using results::SecondsSince;
using results::TrainingResultsEntry;
using results::ValidationEntry;
using training::CheckNetworkFits;
using training::CrossValidate;
using training::EngineComponent;
using training::LabelledRows;
using training::OutputMapping;
using training::TrainingOutcome;
using training::TrainingPlan;
using training::TrainingPlanFor;

namespace {

// What the epoch loop leaves for the report, the network file and the run summary; also after a
// failure, so that the summary says how far training got.
void KeepOutcome(JobSettings& job, const TrainingOutcome& outcome) {
  job.LastEpoch = outcome.last_epoch;
  job.LastMinWeightDelta = outcome.last_weight_delta;
  job.Results.best_epoch = outcome.best_epoch;
  job.Results.stop = outcome.stop;
  job.Results.seconds = outcome.seconds;
  job.Results.curve = outcome.curve.Points();
}

}  // namespace

bool TrainAndPredict(JobSettings& job) {
  bool result = false;
  // Owned by the stage: released when it ends, whether it succeeded or failed.
  std::optional<EngineComponent> component;
  TrainingOutcome outcome;
  try {
    const std::int64_t start = SecondsOfDay();
    const DataMatrix& inputs = job.TrainingInputs;
    const DataMatrix& targets = job.TrainingOutputs;
    const DataMatrix& prediction_inputs = job.PredictionInputs;

    const TrainingPlan plan = TrainingPlanFor(job);
    job.Results.network = {plan.input_count, plan.hidden_size, plan.output_size};

    // Before anything is allocated: a network too large ends with a reason, not by the kernel.
    CheckNetworkFits(plan.input_count, plan.hidden_size, plan.output_size,
                     job::PredictsOutputs(job) ? prediction_inputs.RowCount() : 0);
    component.emplace(platform::ProgramFolder());
    training::NetworkEngine& engine = component->engine();

    const OutputMapping mapping(job);
    const bool validates = job::HasValidationData(job);
    const LabelledRows validation{&job.ValidationInputs, &job.ValidationOutputValues};
    auto train = [&] {
      TrainNetwork(engine, plan, {&inputs, &targets, &job.TrainingOutputValues},
                   validates ? &validation : nullptr, mapping, outcome);
    };
    // With cross-validation the folds train beside the final network, which trains as it would
    // without them.
    if (job.Folds > 0) {
      CrossValidate(job, plan, train);
    } else {
      train();
    }
    KeepOutcome(job, outcome);

    // The prediction row has the training inputs' column bounds, so prediction inputs with other
    // bounds fail on their first value.
    if (job::PredictsOutputs(job)) {
      BoundedVector prediction_row(inputs.ColumnLow(), inputs.ColumnHigh());
      job.PredictionOutputs = DataMatrix(prediction_inputs.RowLow(), prediction_inputs.RowHigh(),
                                         targets.ColumnLow(), targets.ColumnHigh());
      PredictRows(job, engine, prediction_row);
    }
    if (job::WantsFigures(job)) {
      const bool report = !job.rof.empty();
      job.Results.training = ComputeFigures(engine, {&inputs, &job.TrainingOutputValues}, mapping,
                                            report ? &job.Results.training_predictions : nullptr);
      if (validates) {
        job.Results.validation = ComputeFigures(
            engine, validation, mapping, report ? &job.Results.validation_predictions : nullptr);
      }
    }
    if (!job.onnx.empty()) {
      const std::span<const double> weights = engine.GetWeights();
      job.TrainedNetwork = {plan.input_count, plan.hidden_size, plan.output_size,
                            std::vector<double>(weights.begin(), weights.end())};
    }
    // A network or curve that cannot be saved fails the run, as the user asked for the file.
    if (!job.nof.empty()) {
      SaveNetworkFile(job, plan.hidden_size, engine.GetWeights());
      job.Results.network_written = true;
    }
    if (!job.lcf.empty()) {
      job::WriteJobFile(
          job, job.lcf, "The learning curve file",
          LearningCurveText(job.Results.curve, mapping.Columns(), validates, job.Results.folds));
      job.Results.curve_written = true;
    }
    // From here on the predictions stand: a failing report still lets the output stage run.
    result = true;

    WriteLog(job.log,
             TrainingResultsEntry(job, plan.hidden_size, plan.output_size, SecondsSince(start)),
             job::LogEntry::kReport);
    if (validates || job.Folds > 0) {
      WriteLog(job.log, ValidationEntry(job), job::LogEntry::kReport);
    }
  } catch (const std::exception& failure) {
    KeepOutcome(job, outcome);
    WriteLog(job.log, job::DescribeFailure(failure));
  }
  component.reset();
  return result;
}

}  // namespace tarvex::network
