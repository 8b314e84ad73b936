#include "input/class_targets.h"

#include <cassert>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "job/class_list.h"
#include "job/console.h"
#include "job/data_set.h"
#include "job/messages.h"
#include "job/parse_number.h"
#include "job/run_log.h"
#include "job/scaling.h"
#include "platform/text.h"

namespace tarvex::input {

using job::BoundedVector;
using job::CellForm;
using job::DataMatrix;
using job::DataSet;
using job::Index;
using job::JobSettings;
using job::TextCells;
using job::WriteLog;

namespace {

// Labels are what users wrote; a log line quotes no more of one than this.
constexpr std::size_t kMostQuotedLabel = 100;

std::string Quoted(std::string_view label) {
  return "\"" + platform::CutText(label, kMostQuotedLabel) + "\"";
}

// The label of each row as read, empty for a row without one; for one-hot columns also the
// label of every column, so that a column without a 1 is still a class.
struct RowLabels {
  std::vector<std::string> rows;
  std::vector<std::string> columns;
  bool numbers = true;  // every label is a number
};

// A header name that reads as a number is that number's class, as a cell would be.
std::string ColumnLabel(const TextCells& cells, Index position, bool& number) {
  if (cells.column_names.empty()) return std::to_string(position + 1);
  const std::string& name = cells.column_names[static_cast<std::size_t>(position)];
  double value = 0;
  if (job::ParseNumber(name, value, ".")) return job::NumberLabel(value);
  number = false;
  return name;
}

// The row's label from columns of 0 and 1 with one 1; a row of blanks has none. False for any
// other row.
bool OneHotLabel(const DataMatrix& values, const TextCells& cells, Index row,
                 const std::vector<std::string>& columns, std::string& label) {
  std::optional<Index> hot;
  Index blanks = 0;
  for (Index c = values.ColumnLow(); c <= values.ColumnHigh(); ++c) {
    const CellForm form = cells.FormAt(row, c);
    if (form == CellForm::kBlank) {
      ++blanks;
      continue;
    }
    const double value = values.At(row, c);
    if (form != CellForm::kNumber || (value != 0 && value != 1) || (value == 1 && hot)) {
      return false;
    }
    if (value == 1) hot = c;
  }
  if (blanks == values.ColumnCount()) {
    label.clear();
    return true;
  }
  if (blanks > 0 || !hot) return false;
  label = columns[static_cast<std::size_t>(*hot - values.ColumnLow())];
  return true;
}

// Logs the invalid-data line of the set when several columns are not one-hot.
std::optional<RowLabels> LabelsOf(const JobSettings& job, const DataMatrix& values,
                                  const TextCells& cells, DataSet set) {
  RowLabels labels;
  labels.rows.reserve(static_cast<std::size_t>(values.RowCount()));
  const Index first = values.ColumnLow();
  if (values.ColumnCount() > 1) {
    for (Index position = 0; position < values.ColumnCount(); ++position) {
      labels.columns.push_back(ColumnLabel(cells, position, labels.numbers));
    }
    for (Index r = values.RowLow(); r <= values.RowHigh(); ++r) {
      if (!OneHotLabel(values, cells, r, labels.columns, labels.rows.emplace_back())) {
        // The label brings its own quotes, so it stands between doubled quotes.
        WriteLog(job.log, job::FillTemplate(job::kInvalidDataTemplate, job::QuotedLabel(set)));
        return std::nullopt;
      }
    }
    return labels;
  }
  for (Index r = values.RowLow(); r <= values.RowHigh(); ++r) {
    switch (cells.FormAt(r, first)) {
      case CellForm::kNumber:
        labels.rows.push_back(job::NumberLabel(values.At(r, first)));
        break;
      case CellForm::kText:
        labels.rows.push_back(cells.TextAt(r, first));
        labels.numbers = false;
        break;
      case CellForm::kBlank:
        labels.rows.emplace_back();
        break;
    }
  }
  return labels;
}

// The labelled rows as one column of 0 and 1 per class, from first_row, and the positions (from
// 0) of those rows. unknown receives a label that is not a class.
struct OneHotRows {
  DataMatrix matrix;
  std::vector<Index> labelled;
};

bool MakeOneHot(const std::vector<std::string>& classes, const RowLabels& labels, Index first_row,
                OneHotRows& one_hot, std::string& unknown) {
  std::vector<std::size_t> class_of_row;
  for (std::size_t position = 0; position < labels.rows.size(); ++position) {
    const std::string& label = labels.rows[position];
    if (label.empty()) continue;
    const std::optional<std::size_t> k = job::ClassIndex(classes, label);
    if (!k) {
      unknown = label;
      return false;
    }
    one_hot.labelled.push_back(static_cast<Index>(position));
    class_of_row.push_back(*k);
  }
  if (class_of_row.empty()) return true;
  one_hot.matrix = DataMatrix(first_row, first_row + static_cast<Index>(class_of_row.size()) - 1, 0,
                              static_cast<Index>(classes.size()) - 1);
  for (std::size_t i = 0; i < class_of_row.size(); ++i) {
    one_hot.matrix.At(first_row + static_cast<Index>(i), static_cast<Index>(class_of_row[i])) = 1;
  }
  return true;
}

// The rows of matrix at the labelled positions, and those past the last label row, which keep
// a difference in row counts for the data check to report.
DataMatrix LabelledRows(const DataMatrix& matrix, const std::vector<Index>& labelled,
                        Index label_rows) {
  std::vector<Index> rows;
  for (Index position : labelled) {
    if (position < matrix.RowCount()) rows.push_back(matrix.RowLow() + position);
  }
  for (Index position = label_rows; position < matrix.RowCount(); ++position) {
    rows.push_back(matrix.RowLow() + position);
  }
  return job::SelectRows(matrix, rows);
}

// "2 training rows have no label and are left out"; false, with its own line, when no row is
// left.
bool ReportUnlabelled(const JobSettings& job, Index unlabelled, Index labelled,
                      std::string_view which) {
  if (labelled == 0) {
    WriteLog(job.log, "The " + std::string(which) + " outputs hold no label");
    return false;
  }
  if (unlabelled == 1) {
    WriteLog(job.log, "1 " + std::string(which) + " row has no label and is left out");
  } else if (unlabelled > 1) {
    WriteLog(job.log, std::to_string(unlabelled) + " " + std::string(which) +
                          " rows have no label and are left out");
  }
  return true;
}

bool CheckClassCount(const JobSettings& job, const std::vector<std::string>& classes) {
  if (classes.empty()) {
    WriteLog(job.log, "The training outputs hold no label");
    return false;
  }
  if (classes.size() == 1) {
    WriteLog(job.log, "The training outputs hold one class only (" +
                          platform::CutText(classes[0], kMostQuotedLabel) +
                          "); a classification job needs two classes at least");
    return false;
  }
  if (classes.size() > job::kMostClasses) {
    WriteLog(job.log, "The training outputs hold " + std::to_string(classes.size()) +
                          " classes; a classification job takes " +
                          std::to_string(job::kMostClasses) + " at most");
    return false;
  }
  return true;
}

bool SetTrainingClassesOrThrow(JobSettings& job, const DataMatrix& values, const TextCells& cells,
                               const DataMatrix& input_values, bool keep_values,
                               std::vector<Index>* labelled_rows) {
  std::optional<RowLabels> labels = LabelsOf(job, values, cells, DataSet::kTrainingOutputs);
  if (!labels) return false;
  std::vector<std::string> classes = labels->columns.empty() ? labels->rows : labels->columns;
  std::erase(classes, std::string());
  job::SortClasses(classes, labels->numbers);
  if (!CheckClassCount(job, classes)) return false;

  const Index first_row =
      job.TrainingInputs.HasDimensions() ? job.TrainingInputs.RowLow() : values.RowLow();
  OneHotRows one_hot;
  std::string unknown;
  const bool made = MakeOneHot(classes, *labels, first_row, one_hot, unknown);
  assert(made);  // every label is a class of its own set
  const auto labelled = static_cast<Index>(one_hot.labelled.size());
  const Index unlabelled = values.RowCount() - labelled;
  if (!made || !ReportUnlabelled(job, unlabelled, labelled, "training")) return false;

  if (unlabelled > 0 && input_values.HasDimensions()) {
    // The left-out rows take no part in the input ranges either.
    DataMatrix inputs = LabelledRows(input_values, one_hot.labelled, values.RowCount());
    if (job.TrainingInputValues.HasDimensions()) job.TrainingInputValues = inputs;
    job::ComputeInputRanges(job, inputs);
    job::ScaleColumns(inputs, job.TrainingInputMin, job.TrainingInputMax, job.ScaleLow,
                      job.ScaleHigh);
    job.TrainingInputs = std::move(inputs);
  }
  const Index columns = static_cast<Index>(classes.size());
  job.TrainingOutputMin = BoundedVector(0, columns - 1);
  job.TrainingOutputMax = BoundedVector(0, columns - 1);
  for (Index k = 0; k < columns; ++k) job.TrainingOutputMax.At(k) = 1;
  if (keep_values) job.TrainingOutputValues = one_hot.matrix;
  job.TrainingOutputs = std::move(one_hot.matrix);
  job.Classes = std::move(classes);
  job.ClassesAreNumbers = labels->numbers;
  job.UnlabelledTrainingRows = unlabelled;
  if (labelled_rows != nullptr) *labelled_rows = std::move(one_hot.labelled);
  return true;
}

bool SetValidationClassesOrThrow(JobSettings& job, const DataMatrix& values,
                                 const TextCells& cells) {
  std::optional<RowLabels> labels = LabelsOf(job, values, cells, DataSet::kValidationOutputs);
  if (!labels) return false;
  if (!labels->columns.empty() && labels->columns.size() != job.Classes.size()) {
    WriteLog(job.log, "The validation outputs have " + std::to_string(labels->columns.size()) +
                          " one-hot columns; the training outputs hold " +
                          std::to_string(job.Classes.size()) + " classes");
    return false;
  }
  const Index first_row =
      job.ValidationInputs.HasDimensions() ? job.ValidationInputs.RowLow() : values.RowLow();
  OneHotRows one_hot;
  std::string unknown;
  if (!MakeOneHot(job.Classes, *labels, first_row, one_hot, unknown)) {
    WriteLog(job.log,
             "The validation label " + Quoted(unknown) + " is not a class of the training outputs");
    return false;
  }
  const auto labelled = static_cast<Index>(one_hot.labelled.size());
  const Index unlabelled = values.RowCount() - labelled;
  if (!ReportUnlabelled(job, unlabelled, labelled, "validation")) return false;
  if (unlabelled > 0 && job.ValidationInputs.HasDimensions()) {
    job.ValidationInputs = LabelledRows(job.ValidationInputs, one_hot.labelled, values.RowCount());
  }
  job.ValidationOutputValues = one_hot.matrix;
  job.ValidationOutputs = std::move(one_hot.matrix);
  job.UnlabelledValidationRows = unlabelled;
  return true;
}

}  // namespace

bool SetTrainingClasses(JobSettings& job, const DataMatrix& values, const TextCells& cells,
                        const DataMatrix& input_values, bool keep_values,
                        std::vector<Index>* labelled_rows) {
  if (!values.HasDimensions()) return true;
  try {
    return SetTrainingClassesOrThrow(job, values, cells, input_values, keep_values, labelled_rows);
  } catch (const job::ScalingOverflow& overflow) {
    WriteLog(job.log, std::string(overflow.what()) + " (" +
                          std::string(job::QuotedLabel(DataSet::kTrainingInputs)) + ")");
    return false;
  } catch (const std::exception& failure) {
    job::NoteSilentFailure("making the classes of the training outputs", failure);
    return false;
  }
}

bool SetValidationClasses(JobSettings& job, const DataMatrix& values, const TextCells& cells) {
  try {
    return SetValidationClassesOrThrow(job, values, cells);
  } catch (const std::exception& failure) {
    job::NoteSilentFailure("making the classes of the validation outputs", failure);
    return false;
  }
}

}  // namespace tarvex::input
