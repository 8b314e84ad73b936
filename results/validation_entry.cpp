#include "results/validation_entry.h"

#include "job/data_set.h"
#include "platform/number_text.h"

namespace tarvex::results {

using job::ColumnFigures;
using job::JobSettings;
using job::StopReason;

namespace {

constexpr const char* kEqualValues = "not defined: the actual values are all equal";

std::string FiguresLines(const JobSettings& job, const std::string& rows,
                         const std::vector<ColumnFigures>& figures,
                         const char* undefined = kEqualValues) {
  auto number = [&job](double value) {
    return platform::FormatGeneralNumber(value, job.DecimalSeparator);
  };
  std::string lines;
  for (std::size_t column = 0; column < figures.size(); ++column) {
    const std::string which = " (output " + std::to_string(column + 1) + "): ";
    const ColumnFigures& figure = figures[column];
    lines += "       " + std::string(rows) + " RMSE" + which + number(figure.rmse) + "\r\n";
    lines += "       " + std::string(rows) + " MAE" + which + number(figure.mae) + "\r\n";
    lines += "       " + std::string(rows) + " R^2" + which +
             (figure.r2 ? number(*figure.r2) : undefined) + "\r\n";
  }
  return lines;
}

std::string NetworkKept(std::int32_t patience, std::int32_t best_epoch, std::int32_t last_epoch) {
  return "Network kept: epoch " + std::to_string(job::KeptEpoch(patience, best_epoch, last_epoch));
}

// Each fold's training and figures on its held-out rows, their mean and deviation, then the
// final network, which trained on all rows.
std::string CrossValidationReport(const JobSettings& job) {
  const std::vector<job::FoldResult>& folds = job.Results.folds;
  std::string report = "Validation results: \r\n";
  report += "       Cross-validation folds: " + std::to_string(folds.size()) + "\r\n";
  for (std::size_t index = 0; index < folds.size(); ++index) {
    const job::FoldResult& fold = folds[index];
    const std::string name = "Fold " + std::to_string(index + 1);
    report += "       " + name + ": Rows trained: " + std::to_string(fold.training_rows) +
              "   Rows validated: " + std::to_string(fold.validation_rows) +
              "   Best epoch: " + std::to_string(fold.best_epoch) +
              "   Last epoch: " + std::to_string(fold.last_epoch) + "   " +
              NetworkKept(job.Patience, fold.best_epoch, fold.last_epoch) +
              "   Training stopped by: " +
              StopText(fold.stop, fold.stop_patience, job.PatienceFitsCurve) + "\r\n";
    report += FiguresLines(job, name + " Validation", fold.validation);
  }
  const job::FoldStatistics& statistics = job.Results.fold_validation;
  report +=
      FiguresLines(job, "Mean Validation", statistics.mean, "not defined: no fold has a value");
  report += FiguresLines(job, "Standard deviation Validation", statistics.deviation,
                         "not defined: fewer than 2 folds have a value");
  report += "       Final network: Rows trained: " + std::to_string(job.TrainingInputs.RowCount()) +
            "   Last epoch: " + std::to_string(job.LastEpoch) +
            "   Training stopped by: " + StopText(job) +
            (job.Results.refit ? "   Epochs: the folds' mean best epoch (refit)" : "") + "\r\n";
  report += FiguresLines(job, "Training", job.Results.training);
  return report;
}

}  // namespace

std::string StopText(const JobSettings& job) {
  return StopText(job.Results.stop, job.Results.stop_patience, job.PatienceFitsCurve);
}

std::string StopText(StopReason stop, std::int32_t patience, bool fits_curve) {
  switch (stop) {
    case StopReason::kWeightDeltaTarget:
      return "the target minimum weight delta";
    case StopReason::kEpochLimit:
      return "the limit of epochs";
    case StopReason::kEarlyStop:
      if (fits_curve) {
        return "early stopping (auto: no validation error better by 0.1 % in " +
               std::to_string(patience) + " epochs)";
      }
      return "early stopping (no better validation error in " + std::to_string(patience) +
             " epochs)";
    case StopReason::kNotTrained:
      break;
  }
  return "not trained";
}

std::string ValidationEntry(const JobSettings& job) {
  if (job.Folds > 0) return CrossValidationReport(job);
  const bool trained = job::TrainsNetwork(job);
  std::string report = "Validation results: \r\n";
  if (!trained) report += "       Network Input file: " + job.nif + "\r\n";
  report +=
      "       " + job::ShapeField(job::DataSet::kValidationInputs, job.ValidationInputs) + "\r\n";
  report +=
      "       " + job::ShapeField(job::DataSet::kValidationOutputs, job.ValidationOutputs) + "\r\n";
  if (trained) {
    if (job.ValidationFraction > 0) {
      report += "       Held out of the training data (%): " +
                platform::FormatGeneralNumber(100 * job.ValidationFraction, job.DecimalSeparator) +
                "\r\n";
    }
    report += "       Best epoch: " + std::to_string(job.Results.best_epoch) + "\r\n";
    report += "       Last epoch: " + std::to_string(job.LastEpoch) + "\r\n";
    report += "       Training stopped by: " + StopText(job) + "\r\n";
    if (job.Results.refit) {
      // The refit network trained on the validation rows: the figures are the watched network's.
      report +=
          "       Network kept: the refit network, trained on every row; the figures below "
          "are those of epoch " +
          std::to_string(job.Results.best_epoch) + ", which did not see the validation rows\r\n";
    } else {
      report +=
          "       " + NetworkKept(job.Patience, job.Results.best_epoch, job.LastEpoch) + "\r\n";
    }
    report += FiguresLines(job, "Training", job.Results.training);
  }
  report += FiguresLines(job, "Validation", job.Results.validation);
  return report;
}

}  // namespace tarvex::results
