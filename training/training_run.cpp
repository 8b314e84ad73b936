#include "training/training_run.h"

#include <array>
#include <chrono>
#include <limits>
#include <vector>

#include "job/progress.h"

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

TrainingPlan TrainingPlanFor(const job::JobSettings& job) {
  TrainingPlan plan;
  plan.input_count = CheckedInt32(job.TrainingInputs.ColumnCount());
  plan.hidden_size =
      job.n != 0 ? job.n : CheckedInt32(2 * static_cast<Index>(plan.input_count) + 2);
  plan.output_size = CheckedInt32(job.TrainingOutputs.ColumnCount());
  plan.settings = job::TrainingSettingsOf(job);
  plan.patience = job.Patience;
  if (job.Seed) plan.seed = *job.Seed;
  plan.record_curve = !job.lcf.empty() || !job.rof.empty();
  // The trainings of a cross-validation share the bound of one curve, so that the curve file and
  // the report do not grow with the folds.
  if (job.Folds > 0) {
    plan.curve_points = LearningCurve::kEvenPoints / (static_cast<std::size_t>(job.Folds) + 1);
  }
  plan.show_progress = true;
  return plan;
}

void TrainNetwork(NetworkEngine& engine, const TrainingPlan& plan, const TrainingRows& training,
                  const LabelledRows* validation, const OutputMapping& mapping,
                  TrainingOutcome& outcome) {
  const std::array<std::int32_t, 2> layer_sizes = {plan.hidden_size, plan.output_size};
  const job::TrainingSettings& settings = plan.settings;
  engine.CreateNetwork(2, plan.input_count, layer_sizes, settings.iw, settings.af);
  if (plan.seed) engine.SeedWeights(*plan.seed);
  engine.SetLearningRate(settings.lr);
  engine.SetMomentum(settings.m);

  const DataMatrix& inputs = *training.inputs;
  const DataMatrix& targets = *training.targets;
  const bool curve = plan.record_curve;
  outcome.curve = LearningCurve(plan.curve_points);
  ErrorSums training_errors(mapping);
  std::vector<double> predicted(mapping.Columns());
  ErrorSums validation_errors(mapping);
  const std::vector<double>& ranges = mapping.Ranges();
  double best_score = std::numeric_limits<double>::infinity();
  std::vector<double> best_weights;

  if (plan.show_progress) job::ShowTraining(settings.ep, settings.wd);
  const auto start = std::chrono::steady_clock::now();
  for (std::int64_t epoch = 1; epoch <= settings.ep; ++epoch) {
    // Rows in ascending order, the same in every epoch. A row is handed over in place: the row
    // of the targets is taken at the inputs' row index, so matrices with different row bounds
    // fail in the first epoch.
    if (curve) {
      training_errors.Clear();
      for (Index row = inputs.RowLow(); row <= inputs.RowHigh(); ++row) {
        engine.TrainSample(inputs.Row(row), targets.Row(row));
        outcome.last_weight_delta = engine.GetMinWeightDelta();
        // The outputs of the step's forward pass: the sample's error before it was learnt.
        mapping.Map(engine.GetOutputs(), predicted);
        training_errors.Add(predicted, training.actual->Row(row));
      }
    } else {
      for (Index row = inputs.RowLow(); row <= inputs.RowHigh(); ++row) {
        engine.TrainSample(inputs.Row(row), targets.Row(row));
        outcome.last_weight_delta = engine.GetMinWeightDelta();
      }
    }
    outcome.last_epoch = static_cast<std::int32_t>(epoch);
    if (plan.show_progress) job::ShowEpoch(epoch, outcome.last_weight_delta);

    bool best = false;
    if (validation) {
      validation_errors.Clear();
      validation_errors.AddPredictions(engine, *validation, mapping);
      const double score = Score(validation_errors, ranges);
      if (score < best_score) {
        best = true;
        best_score = score;
        outcome.best_epoch = outcome.last_epoch;
        if (plan.patience > 0) {
          const std::span<const double> weights = engine.GetWeights();
          best_weights.assign(weights.begin(), weights.end());
        }
      }
    }
    if (curve) {
      outcome.curve.Add({outcome.last_epoch, Rmses(training_errors),
                         validation ? Rmses(validation_errors) : std::vector<double>{},
                         outcome.last_weight_delta},
                        best);
    }
    // The stop rules in their order: the weight delta target, early stopping, the epoch limit.
    if (engine.IsTargetReached(settings.wd)) {
      outcome.stop = StopReason::kWeightDeltaTarget;
      break;
    }
    if (plan.patience > 0 && outcome.best_epoch > 0 &&
        outcome.last_epoch - outcome.best_epoch >= plan.patience) {
      outcome.stop = StopReason::kEarlyStop;
      break;
    }
    // Nothing to yield to between epochs: the program has no window and no event loop.
  }
  // Also when no epoch ran; a failure never gets here, so its stop stays "not trained".
  if (outcome.stop == StopReason::kNotTrained) outcome.stop = StopReason::kEpochLimit;
  // Early stopping keeps the best epoch's network, however training ended.
  if (!best_weights.empty() && outcome.best_epoch != outcome.last_epoch) {
    engine.SetWeights(best_weights);
  }
  outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace tarvex::training
