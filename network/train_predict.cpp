#include "network/train_predict.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <optional>

#include "job/class_list.h"
#include "job/job_file.h"
#include "job/run_log.h"
#include "netfile/network_store.h"
#include "platform/parallel.h"
#include "platform/paths.h"
#include "results/class_entry.h"
#include "results/curve_file.h"
#include "results/profile_entry.h"
#include "results/training_entry.h"
#include "results/validation_entry.h"
#include "training/class_training.h"
#include "training/cross_validation.h"
#include "training/engine_loader.h"
#include "training/ensemble.h"
#include "training/fit_figures.h"
#include "training/network_size.h"
#include "training/prediction.h"
#include "training/training_run.h"
#include "training/training_warnings.h"

namespace tarvex::network {

using job::BoundedVector;
using job::DataMatrix;
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
  job.Results.stop_patience = outcome.stop_patience;
  job.Results.seconds = outcome.seconds;
  job.Results.curve = outcome.curve.Points();
}

// The training rows, and the validation rows where the job has them.
struct StageRows {
  explicit StageRows(const JobSettings& job)
      : validates(job::HasValidationData(job)),
        validation{&job.ValidationInputs, &job.ValidationOutputValues} {}
  bool validates;
  LabelledRows validation;
};

// The refit network: every training row (those held out by /vf included), the plan's initial
// weights, and the epochs that validation found best; nothing watched, nothing stopped early.
job::RefitResult TrainRefit(const JobSettings& job, training::NetworkEngine& engine,
                            const TrainingPlan& plan, const OutputMapping& mapping,
                            std::int32_t epochs, TrainingOutcome& outcome) {
  const bool held_out = job.RefitInputs.HasDimensions();
  TrainingPlan refit_plan = plan;
  refit_plan.settings.ep = epochs;
  refit_plan.patience = 0;
  refit_plan.patience_fits_curve = false;
  // With /vf the curve stays that of the watched training, whose validation rows it shows.
  if (held_out) refit_plan.record_curve = false;
  TrainNetwork(
      engine, refit_plan,
      held_out ? training::TrainingRows{&job.RefitInputs, &job.RefitOutputs, &job.RefitOutputValues}
               : training::TrainingRows{&job.TrainingInputs, &job.TrainingOutputs,
                                        &job.TrainingOutputValues},
      nullptr, mapping, outcome);
  job::RefitResult refit;
  refit.rows = (held_out ? job.RefitInputs : job.TrainingInputs).RowCount();
  refit.epochs = epochs;
  refit.last_epoch = outcome.last_epoch;
  refit.last_weight_delta = outcome.last_weight_delta;
  refit.from_folds = !held_out;
  refit.seconds = outcome.seconds;
  return refit;
}

// One network of the job: of an ensemble (/ens), or the job's only one. The first uses the
// stage's engine and outcome, so that a failure tells how far the terminal's training got.
struct Member {
  std::optional<EngineComponent> component;
  training::NetworkEngine* engine = nullptr;
  TrainingOutcome* outcome = nullptr;
  TrainingOutcome own_outcome;
  TrainingPlan plan;
  job::EnsembleMember result;
};

class Members {
 public:
  Members(const JobSettings& job, training::NetworkEngine& engine, const TrainingPlan& plan,
          TrainingOutcome& outcome)
      : members_(static_cast<std::size_t>(job.EnsembleSize)) {
    for (std::size_t k = 0; k < members_.size(); ++k) {
      Member& member = members_[k];
      member.plan = plan;
      member.plan.seed = training::MemberSeed(job.Seed, static_cast<std::int32_t>(k));
      member.result.seed = member.plan.seed;
      if (k == 0) {
        member.engine = &engine;
        member.outcome = &outcome;
        continue;
      }
      // The terminal's line and the curve follow the first network.
      member.plan.show_progress = false;
      member.plan.record_curve = false;
      member.outcome = &member.own_outcome;
    }
  }

  std::size_t size() const { return members_.size(); }
  Member& operator[](std::size_t k) { return members_[k]; }

  // Runs work on every member, each on a thread of the cores the process may use, the first on
  // the calling one; a member's result depends on its seed alone, whatever the threads. The
  // first failure in member order is passed on, naming the network of an ensemble.
  template <typename Work>
  void ForEach(const Work& work) {
    platform::RunTasks(members_.size(), platform::UsableCores(), [&](std::size_t k) {
      Member& member = members_[k];
      try {
        if (k > 0 && !member.component) {
          member.engine = &member.component.emplace(platform::ProgramFolder()).engine();
        }
        work(member, k);
      } catch (const std::exception& failure) {
        if (members_.size() == 1) throw;
        throw job::Failure("Ensemble network " + std::to_string(k + 1) + " of " +
                           std::to_string(members_.size()) + ": " + job::DescribeFailure(failure));
      }
    });
  }

  // What predicts: the only network, or the ensemble of them all.
  training::NetworkEngine& Engine() {
    if (members_.size() == 1) return *members_.front().engine;
    if (!ensemble_) {
      std::vector<training::NetworkEngine*> engines;
      for (Member& member : members_) engines.push_back(member.engine);
      ensemble_.emplace(std::move(engines));
    }
    return *ensemble_;
  }

 private:
  std::vector<Member> members_;
  std::optional<training::EnsembleEngine> ensemble_;
};

// The job's networks on its training rows, validation watched where the job has validation
// rows; each member's validation figures are those of its own network.
void TrainMembers(const JobSettings& job, Members& members, const OutputMapping& mapping,
                  const StageRows& rows) {
  members.ForEach([&](Member& member, std::size_t) {
    TrainingOutcome& outcome = *member.outcome;
    TrainNetwork(*member.engine, member.plan,
                 {&job.TrainingInputs, &job.TrainingOutputs, &job.TrainingOutputValues},
                 rows.validates ? &rows.validation : nullptr, mapping, outcome);
    job::EnsembleMember& result = member.result;
    result.last_epoch = outcome.last_epoch;
    result.best_epoch = outcome.best_epoch;
    result.stop = outcome.stop;
    result.seconds = outcome.seconds;
    if (!rows.validates || members.size() == 1) return;
    if (job::IsClassification(job)) {
      result.class_validation = training::ClassifierFigures(*member.engine, job.ValidationInputs,
                                                            job.ValidationOutputs, nullptr);
    } else {
      result.validation = ComputeFigures(*member.engine, rows.validation, mapping, nullptr);
    }
  });
}

// The folds' mean best epoch, halves up: how long the refit network of a cross-validation trains.
std::int32_t FoldsBestEpochs(const JobSettings& job) {
  double sum = 0;
  for (const job::FoldResult& fold : job.Results.folds) sum += fold.best_epoch;
  const double mean = sum / static_cast<double>(job.Results.folds.size());
  return std::max<std::int32_t>(1, static_cast<std::int32_t>(std::floor(mean + 0.5)));
}

// With cross-validation the folds train beside the final network, which trains as it would
// without them; with /refit it trains after them, for their mean best epoch.
void CrossValidateAndTrain(JobSettings& job, training::NetworkEngine& engine,
                           const TrainingPlan& plan, const OutputMapping& mapping,
                           TrainingOutcome& outcome) {
  if (job.Refit) {
    CrossValidate(job, plan, [] {});
    job.Results.refit = TrainRefit(job, engine, plan, mapping, FoldsBestEpochs(job), outcome);
    return;
  }
  CrossValidate(job, plan, [&] {
    TrainNetwork(engine, plan,
                 {&job.TrainingInputs, &job.TrainingOutputs, &job.TrainingOutputValues}, nullptr,
                 mapping, outcome);
  });
}

// /refit after early stopping on held-out rows: the watched networks' figures are taken, then
// each network is refit for its own best epoch, and the figures are those of the training rows.
void RefitAfterEarlyStop(JobSettings& job, Members& members, const OutputMapping& mapping) {
  std::vector<job::RefitResult> refits(members.size());
  members.ForEach([&](Member& member, std::size_t k) {
    const job::EnsembleMember& watched = member.result;
    TrainingOutcome outcome;
    job::RefitResult& refit = refits[k];
    refit =
        TrainRefit(job, *member.engine, member.plan, mapping,
                   job::KeptEpoch(job.Patience, watched.best_epoch, watched.last_epoch), outcome);
    member.result.refit_epochs = refit.last_epoch;
    member.result.seconds += refit.seconds;
  });
  job::RefitResult& refit = job.Results.refit.emplace(refits.front());
  training::NetworkEngine& engine = members.Engine();
  if (job::IsClassification(job)) {
    refit.class_training =
        training::ClassifierFigures(engine, job.RefitInputs, job.RefitOutputs, nullptr);
  } else if (job.RefitOutputValues.HasDimensions()) {
    refit.training =
        ComputeFigures(engine, {&job.RefitInputs, &job.RefitOutputValues}, mapping, nullptr);
  }
}

// The prediction row has the training inputs' column bounds, so prediction inputs with other
// bounds fail on their first value.
void Predict(JobSettings& job, training::NetworkEngine& engine) {
  const DataMatrix& inputs = job.TrainingInputs;
  const DataMatrix& targets = job.TrainingOutputs;
  BoundedVector prediction_row(inputs.ColumnLow(), inputs.ColumnHigh());
  job.PredictionOutputs = DataMatrix(job.PredictionInputs.RowLow(), job.PredictionInputs.RowHigh(),
                                     targets.ColumnLow(), targets.ColumnHigh());
  PredictRows(job, engine, prediction_row);
}

// The class weights of /cw, from the rows that are trained on (after any held out); a value
// that names no class or gives no weight fails the run with its line.
void ResolveClassWeights(JobSettings& job) {
  std::vector<std::int64_t> rows_per_class(job.Classes.size(), 0);
  for (std::int32_t k : training::ClassesOfRows(job.TrainingOutputs)) {
    ++rows_per_class[static_cast<std::size_t>(k)];
  }
  job.ClassWeights =
      job::ClassWeightsFor(job.cw, job.Classes, rows_per_class, job.DecimalSeparator);
}

// A classifier's figures: its outputs are probabilities and its actual outputs one-hot rows.
void EvaluateClassifier(JobSettings& job, training::NetworkEngine& engine, const StageRows& rows) {
  const bool report = !job.rof.empty();
  job.Results.class_training =
      training::ClassifierFigures(engine, job.TrainingInputs, job.TrainingOutputs,
                                  report ? &job.Results.training_predictions : nullptr);
  if (rows.validates) {
    job.Results.class_validation =
        training::ClassifierFigures(engine, job.ValidationInputs, job.ValidationOutputs,
                                    report ? &job.Results.validation_predictions : nullptr);
  }
}

// The error figures of the kept network, and its predictions for the report's charts.
void Evaluate(JobSettings& job, training::NetworkEngine& engine, const OutputMapping& mapping,
              const StageRows& rows) {
  if (job::IsClassification(job)) {
    EvaluateClassifier(job, engine, rows);
    return;
  }
  const bool report = !job.rof.empty();
  job.Results.training =
      ComputeFigures(engine, {&job.TrainingInputs, &job.TrainingOutputValues}, mapping,
                     report ? &job.Results.training_predictions : nullptr);
  if (rows.validates) {
    job.Results.validation = ComputeFigures(engine, rows.validation, mapping,
                                            report ? &job.Results.validation_predictions : nullptr);
  }
}

// The network and the curve, where the job asked for them: one that cannot be saved fails the
// run, as the user asked for the file. The trained network is kept for the export.
void SaveTrainingFiles(JobSettings& job, training::NetworkEngine& engine, const TrainingPlan& plan,
                       const OutputMapping& mapping, const StageRows& rows) {
  if (!job.onnx.empty()) {
    const std::span<const double> weights = engine.GetWeights();
    job.TrainedNetwork = {plan.input_count, plan.hidden_size, plan.output_size,
                          std::vector<double>(weights.begin(), weights.end()), job.EnsembleSize};
  }
  if (!job.nof.empty()) {
    SaveNetworkFile(job, plan.hidden_size, engine.GetWeights());
    job.Results.network_written = true;
  }
  if (!job.lcf.empty()) {
    job::WriteJobFile(job, job.lcf, "The learning curve file",
                      job::IsClassification(job)
                          ? results::ClassCurveText(job.Results.curve, rows.validates)
                          : LearningCurveText(job.Results.curve, mapping.Columns(), rows.validates,
                                              job.Results.folds));
    job.Results.curve_written = true;
  }
}

}  // namespace

bool TrainAndPredict(JobSettings& job) {
  bool result = false;
  // Owned by the stage: released when it ends, whether it succeeded or failed.
  std::optional<EngineComponent> component;
  TrainingOutcome outcome;
  try {
    const std::int64_t start = SecondsOfDay();
    if (job::IsClassification(job)) ResolveClassWeights(job);
    const TrainingPlan plan = TrainingPlanFor(job);
    job.Results.network = {plan.input_count, plan.hidden_size, plan.output_size};
    // Before anything is allocated: a network too large ends with a reason, not by the kernel.
    CheckNetworkFits(plan.input_count, plan.hidden_size, plan.output_size,
                     job::PredictsOutputs(job) ? job.PredictionInputs.RowCount() : 0);
    component.emplace(platform::ProgramFolder());
    const OutputMapping mapping(job);
    const StageRows rows(job);

    Members members(job, component->engine(), plan, outcome);
    if (job.Folds > 0) {
      CrossValidateAndTrain(job, component->engine(), plan, mapping, outcome);
    } else {
      TrainMembers(job, members, mapping, rows);
    }
    KeepOutcome(job, outcome);
    training::NetworkEngine& engine = members.Engine();
    if (job::WantsFigures(job)) Evaluate(job, engine, mapping, rows);
    training::NetworkUnderCheck check{&job.TrainingInputs, &job.TrainingOutputs,
                                      plan.hidden_size,    job.af,
                                      plan.classifier,     job.EnsembleSize};
    // The validation rows judge the network that validation watched, before any refit.
    std::vector<job::TrainingWarning> validation_warnings;
    if (rows.validates && job.LastEpoch > 0) {
      validation_warnings =
          training::ValidationWarnings(engine, check, job.ValidationInputs, job.ValidationOutputs);
    }
    if (job.Refit && job.Folds == 0) {
      RefitAfterEarlyStop(job, members, mapping);
      if (job.RefitInputs.HasDimensions()) {
        check.inputs = &job.RefitInputs;
        check.targets = &job.RefitOutputs;
      }
    }
    if (members.size() > 1) {
      for (std::size_t k = 0; k < members.size(); ++k) {
        job.Results.ensemble.push_back(members[k].result);
      }
    }
    // A job of no epochs asked for no training: there is nothing to warn of.
    if (job.LastEpoch > 0) job.Results.warnings = training::TrainingWarnings(engine, check);
    // A network no better on its own rows is no better on others: that line says it already.
    if (job.Results.warnings.empty()) job.Results.warnings = validation_warnings;
    if (job::PredictsOutputs(job)) Predict(job, engine);
    SaveTrainingFiles(job, engine, plan, mapping, rows);
    // From here on the predictions stand: a failing report still lets the output stage run.
    result = true;

    WriteLog(job.log,
             TrainingResultsEntry(job, plan.hidden_size, plan.output_size, SecondsSince(start)),
             job::LogEntry::kReport);
    if (job.Encoding.Active()) {
      WriteLog(job.log, results::DataProfileEntry(job), job::LogEntry::kReport);
    }
    if (job::IsClassification(job)) {
      WriteLog(job.log, results::ClassificationEntry(job), job::LogEntry::kReport);
    }
    if (rows.validates || job.Folds > 0) {
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
