#include "results/class_entry.h"

#include <optional>
#include <vector>

#include "platform/number_text.h"

namespace tarvex::results {

using job::ClassificationFigures;
using job::JobSettings;

namespace {

const std::string kIndent = "       ";

std::string FigureLines(const JobSettings& job, const std::string& rows,
                        const ClassificationFigures& figures) {
  auto number = [&job](double value) {
    return platform::FormatGeneralNumber(value, job.DecimalSeparator);
  };
  auto optional = [&number](const std::optional<double>& value, const char* undefined) {
    return value ? number(*value) : std::string(undefined);
  };
  std::string lines;
  auto line = [&](const std::string& name, const std::string& value) {
    lines += kIndent + rows + " " + name + ": " + value + "\r\n";
  };
  line("rows", std::to_string(figures.rows));
  line("accuracy", number(figures.accuracy));
  line("error rate", number(figures.error_rate) +
                         "   majority-class error rate: " + number(figures.majority_error_rate));
  line("balanced accuracy", number(figures.balanced_accuracy));
  line("log loss", number(figures.log_loss));
  line("macro F1", number(figures.macro_f1));
  line("kappa", optional(figures.kappa, "not defined: one class only, actual and predicted"));
  line("AUC", optional(figures.auc, "not defined: the rows hold one class only"));
  lines += kIndent + rows + " confusion (a row per actual class, a column per predicted one):\r\n";
  for (std::size_t actual = 0; actual < figures.confusion.size(); ++actual) {
    std::string counts;
    for (std::int64_t count : figures.confusion[actual]) {
      counts += (counts.empty() ? "" : " ") + std::to_string(count);
    }
    lines += kIndent + "  " + job.Classes[actual] + ": " + counts + "\r\n";
  }
  return lines;
}

// Each fold's validation figures in one line, then their mean and deviation over the folds.
std::string FoldLines(const JobSettings& job) {
  auto number = [&job](double value) {
    return platform::FormatGeneralNumber(value, job.DecimalSeparator);
  };
  std::string lines;
  const std::vector<job::FoldResult>& folds = job.Results.folds;
  for (std::size_t index = 0; index < folds.size(); ++index) {
    if (!folds[index].class_validation) continue;
    const ClassificationFigures& figures = *folds[index].class_validation;
    lines += kIndent + "Fold " + std::to_string(index + 1) +
             " Validation accuracy: " + number(figures.accuracy) +
             "   log loss: " + number(figures.log_loss) +
             "   balanced accuracy: " + number(figures.balanced_accuracy) + "\r\n";
  }
  for (const job::ClassFigureStatistics& figure : job.Results.class_fold_validation) {
    lines += kIndent + "Folds' validation " + figure.name + ": mean " +
             (figure.mean ? number(*figure.mean) : "not defined") + "   standard deviation " +
             (figure.deviation ? number(*figure.deviation) : "not defined") + "\r\n";
  }
  return lines;
}

}  // namespace

std::string ClassificationEntry(const JobSettings& job) {
  std::string entry = "Classification results: \r\n";
  std::string classes;
  for (const std::string& label : job.Classes) classes += (classes.empty() ? "" : ", ") + label;
  entry += kIndent + "Classes (" + std::to_string(job.Classes.size()) + "): " + classes + "\r\n";
  if (job.UnlabelledTrainingRows > 0 || job.UnlabelledValidationRows > 0) {
    entry += kIndent + "Rows without a label, left out: training " +
             std::to_string(job.UnlabelledTrainingRows) + ", validation " +
             std::to_string(job.UnlabelledValidationRows) + "\r\n";
  }
  if (job.Results.class_training) {
    entry += FigureLines(job, "Training", *job.Results.class_training);
  }
  if (job.Results.class_validation) {
    entry += FigureLines(job, "Validation", *job.Results.class_validation);
  }
  if (!job.Results.folds.empty()) entry += FoldLines(job);
  return entry;
}

}  // namespace tarvex::results
