#include "input/load_data_set.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <optional>
#include <vector>

#include "input/database_reader.h"
#include "input/delimited_text.h"
#include "input/workbook_reader.h"
#include "job/console.h"
#include "job/file_kind.h"
#include "job/messages.h"
#include "job/parse_number.h"
#include "job/progress.h"
#include "job/run_log.h"
#include "job/scaling.h"
#include "platform/files.h"
#include "platform/parallel.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace tarvex::input {

using job::BoundedVector;
using job::DataMatrix;
using job::DataSet;
using job::Failure;
using job::Index;
using job::JobSettings;
using job::WriteLog;

namespace {

// The file step: the existence test and the hand-over to the reader that the extension chose.
bool ReadDataFile(const JobSettings& job, const std::string& path, DataMatrix& matrix,
                  const job::FileFormat& format, const std::string& selector,
                  job::TextCells* labels) {
  std::string native;
  try {
    native = platform::ToNativePath(path);
  } catch (const std::exception& failure) {  // names that differ only in letter case
    WriteLog(job.log, job::FileNameLine(path, job::DescribeFailure(failure)));
    return false;
  }
  if (!platform::IsExistingFile(native)) {
    WriteLog(job.log, std::string(job::kFileNotFound) + path);
    return false;
  }
  job::ShowLoading(path);
  switch (format.kind) {
    case job::FileKind::kWorkbook:
      return ReadWorkbookRange(job, selector, matrix, path, labels);
    case job::FileKind::kDatabase:
      return ReadDatabaseQuery(job, selector, matrix, path, labels);
    case job::FileKind::kText:
      break;
  }
  std::optional<platform::FileText> text;
  try {
    text.emplace(native);
  } catch (const std::exception& failure) {
    WriteLog(job.log, job::FileNameLine(path, job::DescribeFailure(failure)));
    return false;
  }
  return ParseDelimitedText(job, text->view(), matrix, path, format.delimiter, selector, labels);
}

bool IsBlankText(std::string_view text) { return platform::TrimSpaces(text).empty(); }

// Rows at ";", values at ","; blank rows are skipped and the first non-blank row fixes the width.
// Throws for what fails silently (a longer later row, no row at all). With labels, a value that
// is not a number is kept there; a blank row is still skipped, as it is in the inputs.
bool ReadDirectValues(const JobSettings& job, std::string_view source, DataSet set,
                      DataMatrix& matrix, job::TextCells* labels) {
  std::vector<std::string_view> rows = platform::SplitAll(source, ';');
  Index blank_rows = 0;
  for (std::string_view row : rows) {
    if (IsBlankText(row)) ++blank_rows;
  }
  DataMatrix values;
  Index r = 0;
  for (std::string_view row : rows) {
    if (IsBlankText(row)) continue;
    std::vector<std::string_view> texts = platform::SplitAll(row, ',');
    if (!values.HasDimensions()) {
      values = DataMatrix(0, static_cast<Index>(rows.size()) - blank_rows - 1, 0,
                          static_cast<Index>(texts.size()) - 1);
      if (labels != nullptr) labels->Dimension(values);
    }
    for (size_t c = 0; c < texts.size(); ++c) {
      double& cell = values.At(r, static_cast<Index>(c));
      // A blank value reads as 0, except as a label.
      const bool blank_label = labels != nullptr && IsBlankText(texts[c]);
      if (!blank_label && job::ParseNumber(texts[c], cell, job.DecimalSeparator)) continue;
      if (labels != nullptr) {
        labels->Keep(r, static_cast<Index>(c), texts[c]);
        continue;
      }
      // The label brings its own quotes, so it stands between doubled quotes.
      WriteLog(job.log, job::FillTemplate(job::kInvalidDataTemplate, job::QuotedLabel(set)));
      return false;
    }
    ++r;
  }
  if (!values.HasDimensions()) throw Failure(job::kSubscriptOutOfRange);
  matrix = std::move(values);
  return true;
}

}  // namespace

bool LoadDataSet(JobSettings& job, const std::string& source, DataMatrix& target, Source kind,
                 DataSet set, const std::string& selector, const BeforeScaling& before_scaling,
                 job::TextCells* labels) {
  try {
    DataMatrix matrix;
    if (kind == Source::kFile) {
      std::optional<job::FileFormat> format = job::FormatOfPath(source);
      if (!format) {
        job::NoteSilentFailure("the file name " + source +
                               " has no extension to say how to read it");
        return false;
      }
      if (!ReadDataFile(job, source, matrix, *format, selector, labels)) return false;
    } else if (!ReadDirectValues(job, source, set, matrix, labels)) {
      return false;
    }
    if (before_scaling && !before_scaling(matrix)) return false;
    if (labels != nullptr) {
      // Labels become classes, which are not scaled.
      target = std::move(matrix);
      return true;
    }

    switch (set) {
      case DataSet::kTrainingInputs:
        job::ComputeInputRanges(job, matrix);
        job::ScaleColumns(matrix, job.TrainingInputMin, job.TrainingInputMax, job.ScaleLow,
                          job.ScaleHigh);
        break;
      case DataSet::kTrainingOutputs:
        job::ComputeOutputRanges(job, matrix);
        job::ScaleColumns(matrix, job.TrainingOutputMin, job.TrainingOutputMax, job.ScaleLow,
                          job.ScaleHigh);
        break;
      case DataSet::kValidationInputs:
      case DataSet::kValidationOutputs: {
        // Validation data is scaled with the training ranges, column by column in order,
        // whatever index base its source gives it.
        const bool inputs = set == DataSet::kValidationInputs;
        const Index low = matrix.ColumnLow();
        job::ScaleColumns(matrix,
                          job::Rebased(inputs ? job.TrainingInputMin : job.TrainingOutputMin, low),
                          job::Rebased(inputs ? job.TrainingInputMax : job.TrainingOutputMax, low),
                          job.ScaleLow, job.ScaleHigh);
        break;
      }
      case DataSet::kPredictionInputs:
        // Prediction inputs are scaled with the training inputs' ranges, never their own.
        job::ScaleColumns(matrix, job.TrainingInputMin, job.TrainingInputMax, job.ScaleLow,
                          job.ScaleHigh);
        break;
    }
    target = std::move(matrix);
    return true;
  } catch (const job::ScalingOverflow& overflow) {
    // Finite data that cannot be scaled is the data's fault: the log says where.
    WriteLog(job.log,
             std::string(overflow.what()) + " (" + std::string(job::QuotedLabel(set)) + ")");
    return false;
  } catch (const std::exception& failure) {
    // The failures that reach here are silent by design: the log says nothing about them.
    job::NoteSilentFailure("loading the " + std::string(job::QuotedLabel(set)), failure);
    return false;
  }
}

bool ValidationWidthFits(JobSettings& job, DataSet set, const DataMatrix& values, Index expected) {
  if (values.ColumnCount() == expected) return true;
  const bool inputs = set == DataSet::kValidationInputs;
  const std::string shape = job::ShapeText(set, values);
  if (job::TrainsNetwork(job)) {
    const DataSet training_set = inputs ? DataSet::kTrainingInputs : DataSet::kTrainingOutputs;
    const DataMatrix& training = inputs ? job.TrainingInputs : job.TrainingOutputs;
    WriteLog(job.log,
             job::FillTemplate(job::kNotAlignedTemplate, job::QuotedLabel(training_set),
                               job::QuotedLabel(set)) +
                 job::DimensionsText(job::ShapeLabel(training_set), training.RowCount(), expected) +
                 shape);
  } else {
    WriteLog(job.log, std::string("Validation ") + (inputs ? "inputs" : "outputs") +
                          " do not match the network. File: '" + job.nif +
                          (inputs ? "'   Network Inputs: " : "'   Network Outputs: ") +
                          std::to_string(expected) + shape);
  }
  return false;
}

}  // namespace tarvex::input
