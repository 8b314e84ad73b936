#include "results/training_entry.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "job/data_set.h"
#include "platform/number_text.h"

namespace tarvex::results {

using job::DataSet;
using job::JobSettings;
using job::ShapeField;

namespace {

// A fixed-point text with the given decimals, locale-free, then the locale's separator.
std::string FixedText(double value, int decimals, std::string_view decimal_separator) {
  char buffer[400];
  auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  std::string text(buffer, result.ptr);
  size_t point = text.find('.');
  if (point != std::string::npos) text.replace(point, 1, decimal_separator);
  return text;
}

}  // namespace

std::int64_t SecondsOfDay() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
}

std::int64_t SecondsSince(std::int64_t start) {
  std::int64_t elapsed = SecondsOfDay() - start;
  if (elapsed < 0) elapsed += 24 * 3600;  // the run passed midnight
  return elapsed;
}

std::string ElapsedTimeText(std::int64_t elapsed_seconds, std::string_view decimal_separator) {
  char clock[32];
  std::snprintf(clock, sizeof clock, "%02lld:%02lld:%02lld",
                static_cast<long long>(elapsed_seconds / 3600),
                static_cast<long long>(elapsed_seconds / 60 % 60),
                static_cast<long long>(elapsed_seconds % 60));
  std::string days =
      FixedText(static_cast<double>(elapsed_seconds) / 86400.0, 16, decimal_separator);
  return std::string(clock) + "." + days.substr(7, 3);
}

std::string FormatWeightDelta(double value, std::string_view decimal_separator) {
  std::string text = FixedText(std::fabs(value), 7, ".");
  size_t point = text.find('.');
  std::string integer = text.substr(0, point);
  size_t split = integer.size() > 3 ? integer.size() - 3 : 0;
  std::string sign = (value < 0 && text.find_first_not_of("0.") != std::string::npos) ? "-" : "";
  return sign + integer.substr(0, split) + " " + integer.substr(split) +
         std::string(decimal_separator) + text.substr(point + 1);
}

std::vector<std::string> WarningLines(const JobSettings& job) {
  using Warning = job::TrainingWarning;
  const std::string_view separator = job.DecimalSeparator;
  bool saturated = false;
  for (const Warning& warning : job.Results.warnings) {
    saturated = saturated || warning.kind == Warning::Kind::kSaturated;
  }
  const std::string too_large =
      "the learning rate ('/lr') is likely too large for the activation "
      "('/af')";
  const std::string training_cause =
      saturated ? too_large
      : job.Results.stop == job::StopReason::kWeightDeltaTarget
          ? "training ended at epoch " + std::to_string(job.LastEpoch) +
                " on the weight delta target ('/wd'); '/wd=0' trains for every epoch"
          : "it may need more epochs ('/ep') or another learning rate ('/lr')";
  const std::string validation_cause =
      "what it learned does not hold beyond its training rows; try early stopping ('/es') or "
      "fewer hidden neurons ('/n')";
  std::vector<std::string> lines;
  for (const Warning& warning : job.Results.warnings) {
    if (warning.kind == Warning::Kind::kSaturated) {
      lines.push_back(
          "Warning: the hidden layer is saturated: 9 in 10 of its outputs on the training rows "
          "or more lie within 1 % of an end of their range, where the steps hardly move them; " +
          too_large + ".");
      continue;
    }
    const std::string& cause = warning.validation_rows ? validation_cause : training_cause;
    if (warning.classifier) {
      lines.push_back(std::string("Warning: the network classifies the ") +
                      (warning.validation_rows
                           ? "validation rows no better than naming the training rows' most "
                             "frequent class"
                           : "training rows no better than naming the most frequent class for "
                             "every row") +
                      " (error rate " + FixedText(warning.error_rate, 4, separator) + " against " +
                      FixedText(warning.majority_error_rate, 4, separator) + "); " + cause + ".");
      continue;
    }
    std::string columns;
    for (const Warning::Column& column : warning.columns) {
      columns += (columns.empty() ? "" : ", ") + std::string("output column ") +
                 std::to_string(column.column) + ": " + FixedText(column.ratio, 2, separator) +
                 " times the mean's";
    }
    lines.push_back(std::string("Warning: the network predicts the ") +
                    (warning.validation_rows
                         ? "validation outputs no better than the training outputs' mean"
                         : "training outputs no better than their mean") +
                    " (squared error " + columns + "); " + cause + ".");
  }
  return lines;
}

std::vector<std::string> EnsembleLines(const JobSettings& job) {
  const std::vector<job::EnsembleMember>& members = job.Results.ensemble;
  std::vector<std::string> lines;
  if (members.empty()) return lines;
  const std::string_view separator = job.DecimalSeparator;
  lines.push_back("Ensemble: " + std::to_string(members.size()) +
                  " networks, each from its own seed; the mean of their outputs predicts, and "
                  "the figures are the ensemble's");
  for (std::size_t k = 0; k < members.size(); ++k) {
    const job::EnsembleMember& member = members[k];
    std::string line = "Ensemble network " + std::to_string(k + 1) + ": " +
                       (member.seed ? "seed " + std::to_string(*member.seed) : "fixed start") +
                       ", last epoch " + std::to_string(member.last_epoch);
    if (member.best_epoch > 0) line += ", best epoch " + std::to_string(member.best_epoch);
    if (member.refit_epochs > 0) {
      line += ", refit for " + std::to_string(member.refit_epochs) + " epochs";
    }
    if (member.class_validation) {
      line += ", validation log loss " +
              platform::FormatGeneralNumber(member.class_validation->log_loss, separator);
    }
    for (std::size_t column = 0; column < member.validation.size(); ++column) {
      line += (column == 0 ? ", validation RMSE " : ", ") +
              platform::FormatGeneralNumber(member.validation[column].rmse, separator);
    }
    lines.push_back(line);
  }
  return lines;
}

std::string TrainingResultsEntry(const JobSettings& job, std::int32_t hidden_size,
                                 std::int32_t output_size, std::int64_t elapsed_seconds) {
  const std::string_view separator = job.DecimalSeparator;
  auto number = [separator](double value) {
    return platform::FormatGeneralNumber(value, separator);
  };
  // "Traning" and the trailing blanks are what log readers match on.
  std::string report;
  report += "Training results: \r\n";
  report += "       Training Time: " + ElapsedTimeText(elapsed_seconds, separator) + "\r\n";
  report += "       " + ShapeField(DataSet::kTrainingInputs, job.TrainingInputs) + "\r\n";
  report += "       " + ShapeField(DataSet::kTrainingOutputs, job.TrainingOutputs) + "\r\n";
  if (job::PredictsOutputs(job)) {
    report += "       " + ShapeField(DataSet::kPredictionInputs, job.PredictionInputs) + "\r\n";
    report += "       Prediction Outputs: " +
              job::ArrayText(job.PredictionInputs.RowCount(), job.TrainingOutputs.ColumnCount()) +
              "\r\n";
  }
  report += "       Learning Rate: " + number(job.lr) + "\r\n";
  report += "       Initial Weights: " + number(job.iw) + "\r\n";
  report += "       Momentum: " + number(job.m) + "\r\n";
  report += "       Number of neurons in hidden layer: " + std::to_string(hidden_size) + "\r\n";
  report += "       Number of neurons in output layer: " + std::to_string(output_size) + "\r\n";
  report += "       Limit of epochs: " + std::to_string(job.ep) + "\r\n";
  report += "       Last epoch: " + std::to_string(job.LastEpoch) + "\r\n";
  report += "       Target Minimum weight delta (%): " + number(job.wd) + "\r\n";
  report += "       Last Minimum weight delta (%): " +
            FormatWeightDelta(job.LastMinWeightDelta, separator) + "\r\n";
  if (job.Results.refit) {
    const job::RefitResult& refit = *job.Results.refit;
    report += "       Refit network: trained again on all " + std::to_string(refit.rows) +
              " training rows for " + std::to_string(refit.last_epoch) + " epochs (" +
              (refit.from_folds ? "the folds' mean best epoch" : "the best epoch") +
              "); it is the network that predicts\r\n";
  }
  for (const std::string& line : EnsembleLines(job)) report += "       " + line + "\r\n";
  if (!job.nof.empty()) report += "       Network Output file: " + job.nof + "\r\n";
  for (const std::string& warning : WarningLines(job)) report += "       " + warning + "\r\n";
  return report;
}

std::string SavedNetworkEntry(const JobSettings& job, std::int64_t elapsed_seconds) {
  const job::NetworkWeights& network = job.SavedNetwork;
  std::string report;
  report += "Training results: \r\n";
  report +=
      "       Training Time: " + ElapsedTimeText(elapsed_seconds, job.DecimalSeparator) + "\r\n";
  report += "       Network Input file: " + job.nif + "\r\n";
  if (job::PredictsOutputs(job)) {
    report += "       " + ShapeField(DataSet::kPredictionInputs, job.PredictionInputs) + "\r\n";
    report += "       Prediction Outputs: " + job::ArrayText(job.PredictionOutputs) + "\r\n";
  }
  report +=
      "       Number of neurons in hidden layer: " + std::to_string(network.HiddenCount) + "\r\n";
  report +=
      "       Number of neurons in output layer: " + std::to_string(network.OutputCount) + "\r\n";
  return report;
}

}  // namespace tarvex::results
