#include "network/validation_report.h"

#include "platform/number_text.h"

namespace tarvex::network {

using job::ColumnFigures;
using job::DataMatrix;
using job::JobSettings;
using job::StopReason;

namespace {

std::string Dimensions(const DataMatrix& matrix) {
  return "Array(" + std::to_string(matrix.RowCount()) + "," + std::to_string(matrix.ColumnCount()) +
         ")";
}

std::string FiguresLines(const JobSettings& job, const char* rows,
                         const std::vector<ColumnFigures>& figures) {
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
             (figure.r2 ? number(*figure.r2) : "not defined: the actual values are all equal") +
             "\r\n";
  }
  return lines;
}

}  // namespace

std::string StopText(const JobSettings& job) {
  switch (job.Results.stop) {
    case StopReason::kWeightDeltaTarget:
      return "the target minimum weight delta";
    case StopReason::kEpochLimit:
      return "the limit of epochs";
    case StopReason::kEarlyStop:
      return "early stopping (no better validation error in " + std::to_string(job.Patience) +
             " epochs)";
    case StopReason::kNotTrained:
      break;
  }
  return "not trained";
}

std::string ValidationReport(const JobSettings& job) {
  const bool trained = job::TrainsNetwork(job);
  std::string report = "Validation results: \r\n";
  if (!trained) report += "       Network Input file: " + job.nif + "\r\n";
  report += "       Validation Inputs: " + Dimensions(job.ValidationInputs) + "\r\n";
  report += "       Validation Outputs: " + Dimensions(job.ValidationOutputs) + "\r\n";
  if (trained) {
    if (job.ValidationFraction > 0) {
      report += "       Held out of the training data (%): " +
                platform::FormatGeneralNumber(100 * job.ValidationFraction, job.DecimalSeparator) +
                "\r\n";
    }
    report += "       Best epoch: " + std::to_string(job.Results.best_epoch) + "\r\n";
    report += "       Last epoch: " + std::to_string(job.LastEpoch) + "\r\n";
    report += "       Training stopped by: " + StopText(job) + "\r\n";
    report += "       Network kept: epoch " + std::to_string(job::KeptEpoch(job)) + "\r\n";
    report += FiguresLines(job, "Training", job.Results.training);
  }
  report += FiguresLines(job, "Validation", job.Results.validation);
  return report;
}

}  // namespace tarvex::network
