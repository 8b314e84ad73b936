#include "training/cross_validation.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <optional>
#include <string>

#include "job/class_list.h"
#include "job/failure.h"
#include "job/scaling.h"
#include "platform/parallel.h"
#include "platform/paths.h"
#include "training/class_training.h"
#include "training/engine_loader.h"
#include "training/fit_figures.h"
#include "training/prediction.h"
#include "training/row_draw.h"

namespace tarvex::training {

using job::ColumnFigures;
using job::DataMatrix;
using job::FoldResult;
using job::Index;
using job::JobSettings;

std::vector<std::vector<Index>> FoldPositions(Index count, std::int32_t folds, std::uint64_t seed) {
  const std::vector<Index> shuffled = ShuffledPositions(count, seed);
  std::vector<std::vector<Index>> parts(static_cast<size_t>(folds));
  const Index base = count / folds, larger = count % folds;
  auto next = shuffled.begin();
  for (Index fold = 0; fold < folds; ++fold) {
    const Index size = base + (fold < larger ? 1 : 0);
    std::vector<Index>& part = parts[static_cast<size_t>(fold)];
    part.assign(next, next + size);
    next += size;
    std::sort(part.begin(), part.end());
  }
  return parts;
}

std::vector<std::vector<Index>> StratifiedFoldPositions(std::span<const std::int32_t> classes,
                                                        std::int32_t class_count,
                                                        std::int32_t folds, std::uint64_t seed) {
  const auto count = static_cast<Index>(classes.size());
  const std::vector<Index> shuffled = ShuffledPositions(count, seed);
  std::vector<std::vector<Index>> parts(static_cast<size_t>(folds));
  size_t next_fold = 0;
  for (std::int32_t k = 0; k < class_count; ++k) {
    for (Index position : shuffled) {
      if (classes[static_cast<size_t>(position)] != k) continue;
      parts[next_fold].push_back(position);
      next_fold = (next_fold + 1) % parts.size();
    }
  }
  for (std::vector<Index>& part : parts) std::sort(part.begin(), part.end());
  return parts;
}

std::vector<std::vector<Index>> FoldsOf(const JobSettings& job) {
  if (job::IsClassification(job)) {
    return StratifiedFoldPositions(ClassesOfRows(job.TrainingOutputValues),
                                   static_cast<std::int32_t>(job.Classes.size()), job.Folds,
                                   DrawSeed(job.Seed));
  }
  return FoldPositions(job.TrainingInputValues.RowCount(), job.Folds, DrawSeed(job.Seed));
}

namespace {

// A data set scaled as the loader scales training data: with the ranges of its own rows, which
// go to minimum and maximum.
DataMatrix ScaledOwnRanges(const JobSettings& job, DataMatrix values, job::BoundedVector& minimum,
                           job::BoundedVector& maximum) {
  job::ComputeColumnRanges(values, minimum, maximum);
  job::ScaleColumns(values, minimum, maximum, job.ScaleLow, job.ScaleHigh);
  return values;
}

}  // namespace

FoldResult TrainFold(NetworkEngine& engine, const JobSettings& job, const TrainingPlan& plan,
                     std::span<const Index> held_out) {
  const auto [trained, validated] = SplitRows(job.TrainingInputValues.RowCount(), held_out);

  job::BoundedVector input_min, input_max, output_min, output_max;
  DataMatrix fold_inputs = RowsAt(job.TrainingInputValues, trained);
  DataMatrix validation_inputs = RowsAt(job.TrainingInputValues, validated);
  if (job.Encoding.Active()) {
    // The fold's missing cells get the fill values of its own training rows.
    job::TableEncoding fold_encoding = job.Encoding;
    job::ComputeFills(fold_encoding, fold_inputs, {});
    job::FillMissing(fold_encoding, fold_inputs);
    job::FillMissing(fold_encoding, validation_inputs);
  }
  const DataMatrix inputs = ScaledOwnRanges(job, std::move(fold_inputs), input_min, input_max);
  const DataMatrix actual = RowsAt(job.TrainingOutputValues, trained);
  // A classifier's targets are its one-hot rows as they are.
  const DataMatrix targets =
      plan.classifier ? actual : ScaledOwnRanges(job, actual, output_min, output_max);
  if (plan.classifier) job::ComputeColumnRanges(actual, output_min, output_max);
  // The held-out rows are validation data: scaled with the training rows' ranges.
  job::ScaleColumns(validation_inputs, input_min, input_max, job.ScaleLow, job.ScaleHigh);
  const DataMatrix validation_actual = RowsAt(job.TrainingOutputValues, validated);

  const OutputMapping mapping(job.ScaleLow, job.ScaleHigh, output_min, output_max);
  const LabelledRows validation{&validation_inputs, &validation_actual};
  TrainingOutcome outcome;
  TrainNetwork(engine, plan, {&inputs, &targets, &actual}, &validation, mapping, outcome);

  FoldResult result;
  result.training_rows = inputs.RowCount();
  result.validation_rows = validation_inputs.RowCount();
  result.last_epoch = outcome.last_epoch;
  result.best_epoch = outcome.best_epoch;
  result.stop = outcome.stop;
  result.stop_patience = outcome.stop_patience;
  result.seconds = outcome.seconds;
  if (plan.classifier) {
    result.class_training = ClassifierFigures(engine, inputs, actual);
    result.class_validation = ClassifierFigures(engine, validation_inputs, validation_actual);
  } else {
    result.training = ComputeFigures(engine, {&inputs, &actual}, mapping);
    result.validation = ComputeFigures(engine, validation, mapping);
  }
  result.curve = outcome.curve.Points();
  return result;
}

void CrossValidate(JobSettings& job, const TrainingPlan& plan,
                   const std::function<void()>& alongside) {
  const std::vector<std::vector<Index>> folds = FoldsOf(job);
  TrainingPlan fold_plan = plan;
  fold_plan.show_progress = false;  // the terminal's line follows the final network
  std::vector<FoldResult> results(folds.size());
  platform::RunTasks(folds.size() + 1, platform::UsableCores(), [&](size_t task) {
    if (task == 0) {
      alongside();
      return;
    }
    try {
      EngineComponent component(platform::ProgramFolder());
      results[task - 1] = TrainFold(component.engine(), job, fold_plan, folds[task - 1]);
    } catch (const std::exception& failure) {
      throw job::Failure("Cross-validation fold " + std::to_string(task) + " of " +
                         std::to_string(folds.size()) + ": " + job::DescribeFailure(failure));
    }
  });
  job.Results.fold_validation = StatisticsOfFolds(results, true);
  job.Results.fold_training = StatisticsOfFolds(results, false);
  if (plan.classifier) {
    job.Results.class_fold_validation = ClassStatisticsOfFolds(results, true);
    job.Results.class_fold_training = ClassStatisticsOfFolds(results, false);
  }
  job.Results.folds = std::move(results);
}

namespace {

struct MeanAndDeviation {
  std::optional<double> mean, deviation;
};

MeanAndDeviation Statistics(const std::vector<double>& values) {
  MeanAndDeviation result;
  if (values.empty()) return result;
  // In a unit in which the squares stay finite, as the figures themselves are summed.
  double largest = 0;
  for (double value : values) largest = std::max(largest, std::fabs(value));
  const double unit = SummingUnit(largest);
  double total = 0;
  for (double value : values) total += value / unit;
  const double mean = total / static_cast<double>(values.size());
  result.mean = mean * unit;
  if (values.size() < 2) return result;
  double spread = 0;
  for (double value : values) spread += (value / unit - mean) * (value / unit - mean);
  result.deviation = std::sqrt(spread / static_cast<double>(values.size() - 1)) * unit;
  return result;
}

}  // namespace

job::FoldStatistics StatisticsOfFolds(const std::vector<FoldResult>& folds, bool validation) {
  job::FoldStatistics statistics;
  if (folds.empty()) return statistics;
  const size_t columns = (validation ? folds[0].validation : folds[0].training).size();
  statistics.mean.resize(columns);
  statistics.deviation.resize(columns);
  for (size_t column = 0; column < columns; ++column) {
    std::vector<double> rmse, mae, r2;
    for (const FoldResult& fold : folds) {
      const ColumnFigures& figures = (validation ? fold.validation : fold.training)[column];
      rmse.push_back(figures.rmse);
      mae.push_back(figures.mae);
      if (figures.r2) r2.push_back(*figures.r2);
    }
    const MeanAndDeviation rmses = Statistics(rmse), maes = Statistics(mae), r2s = Statistics(r2);
    statistics.mean[column] = {rmses.mean.value_or(0), maes.mean.value_or(0), r2s.mean};
    statistics.deviation[column] = {rmses.deviation.value_or(0), maes.deviation.value_or(0),
                                    r2s.deviation};
  }
  return statistics;
}

std::vector<job::ClassFigureStatistics> ClassStatisticsOfFolds(const std::vector<FoldResult>& folds,
                                                               bool validation) {
  using Figures = job::ClassificationFigures;
  struct Figure {
    const char* name;
    std::optional<double> (*value)(const Figures&);
  };
  static constexpr Figure kFigures[] = {
      {"accuracy", [](const Figures& f) -> std::optional<double> { return f.accuracy; }},
      {"balanced_accuracy",
       [](const Figures& f) -> std::optional<double> { return f.balanced_accuracy; }},
      {"log_loss", [](const Figures& f) -> std::optional<double> { return f.log_loss; }},
      {"macro_f1", [](const Figures& f) -> std::optional<double> { return f.macro_f1; }},
      {"kappa", [](const Figures& f) { return f.kappa; }},
      {"auc", [](const Figures& f) { return f.auc; }},
  };
  std::vector<job::ClassFigureStatistics> statistics;
  for (const Figure& figure : kFigures) {
    std::vector<double> values;
    for (const FoldResult& fold : folds) {
      const std::optional<Figures>& figures = validation ? fold.class_validation : fold.class_training;
      if (!figures) continue;
      if (const std::optional<double> value = figure.value(*figures)) values.push_back(*value);
    }
    const MeanAndDeviation result = Statistics(values);
    statistics.push_back({figure.name, result.mean, result.deviation});
  }
  return statistics;
}

}  // namespace tarvex::training
