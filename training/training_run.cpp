#include "training/training_run.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <limits>
#include <optional>
#include <vector>

#include "job/class_list.h"
#include "job/progress.h"
#include "training/class_training.h"

namespace tarvex::training {

using job::DataMatrix;
using job::Index;
using job::StopReason;

namespace {

// The validation error that decides the best epoch: the columns' squared residuals, each in
// units of its range (both in the column's unit), so that no column's units outweigh another's (the
// row count is the same in every epoch and left out). A constant column (range 0) has one
// prediction whatever the weights, so it never decides anything and is left out too.
double Score(const ErrorSums& sums, const std::vector<double>& ranges) {
  double score = 0;
  for (std::size_t column = 0; column < sums.Columns(); ++column) {
    if (ranges[column] > 0) {
      score += sums.ScaledSquares(column) / ranges[column] / ranges[column];
    }
  }
  return score;
}

std::vector<double> Rmses(const ErrorSums& sums) {
  std::vector<double> values(sums.Columns());
  for (std::size_t column = 0; column < values.size(); ++column) values[column] = sums.Rmse(column);
  return values;
}

std::int32_t CheckedInt32(Index value) {
  if (value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max()) {
    throw job::Failure(job::kOverflow);
  }
  return static_cast<std::int32_t>(value);
}

}  // namespace

std::int32_t PatienceAfter(std::int32_t floor, std::int32_t clear_epoch) {
  return std::max(floor, clear_epoch);
}

TrainingPlan TrainingPlanFor(const job::JobSettings& job) {
  TrainingPlan plan;
  plan.input_count = CheckedInt32(job.TrainingInputs.ColumnCount());
  plan.hidden_size =
      job.n != 0 ? job.n : CheckedInt32(2 * static_cast<Index>(plan.input_count) + 2);
  plan.output_size = CheckedInt32(job.TrainingOutputs.ColumnCount());
  plan.settings = job::TrainingSettingsOf(job);
  plan.patience = job.Patience;
  plan.patience_fits_curve = job.PatienceFitsCurve;
  if (job.Seed) plan.seed = *job.Seed;
  plan.record_curve = !job.lcf.empty() || !job.rof.empty();
  // The trainings of a cross-validation share the bound of one curve, so that the curve file and
  // the report do not grow with the folds.
  if (job.Folds > 0) {
    plan.curve_points = LearningCurve::kEvenPoints / (static_cast<std::size_t>(job.Folds) + 1);
  }
  plan.show_progress = true;
  plan.classifier = job::IsClassification(job);
  plan.class_weights = job.ClassWeights;
  return plan;
}

namespace {

// One epoch: every row in ascending order, the same in every epoch. A row is handed over in
// place: the row of the targets is taken at the inputs' row index, so matrices with different
// row bounds fail in the first epoch. With errors, each row's error before its step is added
// (the outputs of the step's forward pass).
void TrainEpoch(NetworkEngine& engine, const TrainingRows& training, const OutputMapping& mapping,
                ErrorSums* errors, std::vector<double>& predicted, TrainingOutcome& outcome) {
  const DataMatrix& inputs = *training.inputs;
  const DataMatrix& targets = *training.targets;
  if (errors) errors->Clear();
  for (Index row = inputs.RowLow(); row <= inputs.RowHigh(); ++row) {
    engine.TrainSample(inputs.Row(row), targets.Row(row));
    outcome.last_weight_delta = engine.GetMinWeightDelta();
    if (errors) {
      mapping.Map(engine.GetOutputs(), predicted);
      errors->Add(predicted, training.actual->Row(row));
    }
  }
}

// A classifier's epoch, in the same order: each row weighs its class's weight, and the training
// log loss and error rate add each row's probabilities before its step.
struct ClassRows {
  std::vector<std::int32_t> classes;
  std::vector<double> weights;
};

void TrainClassEpoch(NetworkEngine& engine, const TrainingRows& training, const ClassRows& rows,
                     ClassErrorSums* errors, TrainingOutcome& outcome) {
  const DataMatrix& inputs = *training.inputs;
  const DataMatrix& targets = *training.targets;
  if (errors) errors->Clear();
  std::size_t next = 0;
  for (Index row = inputs.RowLow(); row <= inputs.RowHigh(); ++row, ++next) {
    engine.TrainClassSample(inputs.Row(row), targets.Row(row), rows.weights[next]);
    outcome.last_weight_delta = engine.GetMinWeightDelta();
    if (errors) errors->Add(engine.GetOutputs(), rows.classes[next]);
  }
}

// The validation rows watched after every epoch: the best epoch so far and, with early
// stopping, its weights.
class ValidationWatch {
 public:
  ValidationWatch(const LabelledRows* rows, const OutputMapping& mapping, bool keeps_weights,
                  bool classifier)
      : rows_(rows),
        mapping_(mapping),
        errors_(mapping),
        keeps_weights_(keeps_weights),
        classifier_(classifier) {
    if (classifier_ && rows_) classes_ = ClassesOfRows(*rows_->actual);
  }

  bool Watches() const { return rows_ != nullptr; }
  // The epoch of the last clear improvement (kClearImprovement), 0 before the first epoch.
  std::int32_t ClearEpoch() const { return clear_epoch_; }
  // For /es=auto on numbers: the score of predicting every validation row with the mean of the
  // training rows' outputs as given.
  void CompareWithMean(const DataMatrix& training_actual) {
    if (!Watches() || classifier_ || training_actual.RowCount() == 0) return;
    std::vector<double> mean(static_cast<std::size_t>(training_actual.ColumnCount()), 0);
    for (Index row = training_actual.RowLow(); row <= training_actual.RowHigh(); ++row) {
      const std::span<const double> values = training_actual.Row(row);
      for (std::size_t c = 0; c < mean.size(); ++c) mean[c] += values[c];
    }
    for (double& value : mean) value /= static_cast<double>(training_actual.RowCount());
    ErrorSums sums(mapping_);
    const DataMatrix& actual = *rows_->actual;
    for (Index row = actual.RowLow(); row <= actual.RowHigh(); ++row)
      sums.Add(mean, actual.Row(row));
    mean_score_ = Score(sums, mapping_.Ranges());
  }
  // Whether the last clear improvement left the mean's score behind by kAutoMeanShare; always
  // for a classifier.
  bool BeatsMean() const { return clear_score_ < kAutoMeanShare * mean_score_; }
  const ErrorSums& Errors() const { return errors_; }
  const ClassErrorSums& ClassErrors() const { return class_errors_; }
  const std::vector<double>& BestWeights() const { return best_weights_; }

  // Whether the network in engine, trained for epoch epochs, is the best so far.
  bool Observe(NetworkEngine& engine, std::int32_t epoch) {
    double score = 0;
    if (classifier_) {
      class_errors_.Clear();
      class_errors_.AddPredictions(engine, *rows_->inputs, classes_);
      score = class_errors_.LogLossSum();
    } else {
      errors_.Clear();
      errors_.AddPredictions(engine, *rows_, mapping_);
      score = Score(errors_, mapping_.Ranges());
    }
    if (score < clear_score_ * (1 - kClearImprovement)) {
      clear_score_ = score;
      clear_epoch_ = epoch;
    }
    if (!(score < best_score_)) return false;
    best_score_ = score;
    if (keeps_weights_) {
      const std::span<const double> weights = engine.GetWeights();
      best_weights_.assign(weights.begin(), weights.end());
    }
    return true;
  }

 private:
  const LabelledRows* rows_;
  const OutputMapping& mapping_;
  ErrorSums errors_;
  bool keeps_weights_;
  bool classifier_;
  std::vector<std::int32_t> classes_;
  ClassErrorSums class_errors_;
  double best_score_ = std::numeric_limits<double>::infinity();
  double clear_score_ = std::numeric_limits<double>::infinity();
  double mean_score_ = std::numeric_limits<double>::infinity();
  std::int32_t clear_epoch_ = 0;
  std::vector<double> best_weights_;
};

// The stop rules in their order: the weight delta target, early stopping (the epoch limit is the
// loop's own).
std::optional<StopReason> StopAfterEpoch(NetworkEngine& engine, const TrainingPlan& plan,
                                         const ValidationWatch& watch, TrainingOutcome& outcome) {
  if (engine.IsTargetReached(plan.settings.wd)) return StopReason::kWeightDeltaTarget;
  if (plan.patience_fits_curve) {
    const std::int32_t patience = PatienceAfter(plan.patience, watch.ClearEpoch());
    if (watch.ClearEpoch() > 0 && watch.BeatsMean() &&
        outcome.last_epoch - watch.ClearEpoch() >= patience) {
      outcome.stop_patience = patience;
      return StopReason::kEarlyStop;
    }
  } else if (plan.patience > 0 && outcome.best_epoch > 0 &&
             outcome.last_epoch - outcome.best_epoch >= plan.patience) {
    outcome.stop_patience = plan.patience;
    return StopReason::kEarlyStop;
  }
  return std::nullopt;
}

}  // namespace

void TrainNetwork(NetworkEngine& engine, const TrainingPlan& plan, const TrainingRows& training,
                  const LabelledRows* validation, const OutputMapping& mapping,
                  TrainingOutcome& outcome) {
  const std::array<std::int32_t, 2> layer_sizes = {plan.hidden_size, plan.output_size};
  const job::TrainingSettings& settings = plan.settings;
  ClassRows class_rows;
  if (plan.classifier) {
    engine.CreateClassifier(plan.input_count, plan.hidden_size, plan.output_size, settings.iw,
                            settings.af);
    class_rows.classes = ClassesOfRows(*training.targets);
    class_rows.weights = RowWeights(class_rows.classes, plan.class_weights);
  } else {
    engine.CreateNetwork(2, plan.input_count, layer_sizes, settings.iw, settings.af);
  }
  if (plan.seed) engine.SeedWeights(*plan.seed);
  engine.SetLearningRate(settings.lr);
  engine.SetMomentum(settings.m);

  outcome.curve = LearningCurve(plan.curve_points);
  ErrorSums training_errors(mapping);
  std::vector<double> predicted(mapping.Columns());
  ClassErrorSums class_errors;
  ValidationWatch watch(validation, mapping, plan.patience > 0, plan.classifier);
  if (plan.patience_fits_curve && training.actual != nullptr)
    watch.CompareWithMean(*training.actual);

  if (plan.show_progress) job::ShowTraining(settings.ep, settings.wd);
  const auto start = std::chrono::steady_clock::now();
  for (std::int64_t epoch = 1; epoch <= settings.ep; ++epoch) {
    if (plan.classifier) {
      TrainClassEpoch(engine, training, class_rows, plan.record_curve ? &class_errors : nullptr,
                      outcome);
    } else {
      TrainEpoch(engine, training, mapping, plan.record_curve ? &training_errors : nullptr,
                 predicted, outcome);
    }
    outcome.last_epoch = static_cast<std::int32_t>(epoch);
    if (plan.show_progress) job::ShowEpoch(epoch, outcome.last_weight_delta);

    const bool best = watch.Watches() && watch.Observe(engine, outcome.last_epoch);
    if (best) outcome.best_epoch = outcome.last_epoch;
    if (plan.record_curve && plan.classifier) {
      job::CurvePoint point{outcome.last_epoch, {}, {}, outcome.last_weight_delta};
      point.training_log_loss = class_errors.LogLoss();
      point.training_error_rate = class_errors.ErrorRate();
      if (watch.Watches()) {
        point.validation_log_loss = watch.ClassErrors().LogLoss();
        point.validation_error_rate = watch.ClassErrors().ErrorRate();
      }
      outcome.curve.Add(std::move(point), best);
    } else if (plan.record_curve) {
      outcome.curve.Add({outcome.last_epoch, Rmses(training_errors),
                         watch.Watches() ? Rmses(watch.Errors()) : std::vector<double>{},
                         outcome.last_weight_delta},
                        best);
    }
    if (const std::optional<StopReason> stop = StopAfterEpoch(engine, plan, watch, outcome)) {
      outcome.stop = *stop;
      break;
    }
    // Nothing to yield to between epochs: the program has no window and no event loop.
  }
  // Also when no epoch ran; a failure never gets here, so its stop stays "not trained".
  if (outcome.stop == StopReason::kNotTrained) outcome.stop = StopReason::kEpochLimit;
  // Early stopping keeps the best epoch's network, however training ended.
  if (!watch.BestWeights().empty() && outcome.best_epoch != outcome.last_epoch) {
    engine.SetWeights(watch.BestWeights());
  }
  outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace tarvex::training
