#include "input/table_data.h"

#include <exception>
#include <string>
#include <vector>

#include "input/class_targets.h"
#include "input/load_data_set.h"
#include "job/class_list.h"
#include "job/console.h"
#include "job/messages.h"
#include "job/run_log.h"
#include "job/scaling.h"
#include "job/table_fill.h"
#include "platform/text.h"

namespace tarvex::input {

using job::CellForm;
using job::DataMatrix;
using job::DataSet;
using job::Failure;
using job::Index;
using job::JobSettings;
using job::RawTable;
using job::WriteLog;

namespace {

// What the invalid-data line names: the set's file, else its label.
std::string WhereOf(const JobSettings& job, DataSet set) {
  const std::string* file = nullptr;
  switch (set) {
    case DataSet::kTrainingInputs:
      file = &job.tif;
      break;
    case DataSet::kTrainingOutputs:
      file = &job.tof;
      break;
    case DataSet::kPredictionInputs:
      file = &job.pif;
      break;
    case DataSet::kValidationInputs:
      file = &job.vif;
      break;
    case DataSet::kValidationOutputs:
      file = &job.vof;
      break;
  }
  return file->empty() ? std::string(job::QuotedLabel(set)) : *file;
}

job::TableOptions OptionsOf(const JobSettings& job) {
  return job::ReadTableOptions(job.cat, job.na, job.mv, job.mvi);
}

std::vector<Index> AllPositions(Index rows) {
  std::vector<Index> positions(static_cast<std::size_t>(rows));
  for (std::size_t i = 0; i < positions.size(); ++i) positions[i] = static_cast<Index>(i);
  return positions;
}

std::vector<Index> AbsoluteRows(const DataMatrix& matrix, const std::vector<Index>& positions) {
  std::vector<Index> rows;
  rows.reserve(positions.size());
  for (Index position : positions) rows.push_back(matrix.RowLow() + position);
  return rows;
}

// The numeric outputs of a regression set: a text that is no missing mark is refused; a row
// with a missing cell is left out (its position not in kept) under a rule other than zero, and
// reads 0 under zero.
void NumericOutputs(const JobSettings& job, RawTable& outputs, DataSet set,
                    std::vector<Index>& kept) {
  const job::TableOptions options = OptionsOf(job);
  const DataMatrix& values = outputs.values;
  kept.clear();
  for (Index position = 0; position < values.RowCount(); ++position) {
    const Index r = values.RowLow() + position;
    bool missing = false;
    for (Index c = values.ColumnLow(); c <= values.ColumnHigh(); ++c) {
      if (job::IsMissingCell(outputs, r, c, options.na)) {
        missing = true;
        outputs.values.At(r, c) = 0;
      } else if (outputs.cells.FormAt(r, c) == CellForm::kText) {
        throw Failure(job::FillTemplate(job::kInvalidDataTemplate, WhereOf(job, set)) + "   Row " +
                      std::to_string(position + 1) + ", column " +
                      std::to_string(c - values.ColumnLow() + 1) + ": \"" +
                      platform::CutText(outputs.cells.TextAt(r, c), 100) + "\"");
      }
    }
    if (!missing || options.rule == job::MissingRule::kZero) kept.push_back(position);
  }
}

void ReportLeftOut(const JobSettings& job, Index left_out, std::string_view which) {
  if (left_out == 1) {
    WriteLog(job.log, "1 " + std::string(which) + " row has no output and is left out");
  } else if (left_out > 1) {
    WriteLog(job.log, std::to_string(left_out) + " " + std::string(which) +
                          " rows have no output and are left out");
  }
}

// A /cat name that is also one of the training outputs of the same file.
void CheckCategoricalOutputs(const JobSettings& job, const RawTable& outputs) {
  if (job.tif.empty() || !platform::EqualIgnoringAsciiCase(job.tif, job.tof)) return;
  for (const std::string& item : OptionsOf(job).cat) {
    for (const std::string& name : outputs.cells.column_names) {
      if (platform::EqualIgnoringAsciiCase(platform::TrimBlanks(name), item)) {
        throw Failure("The Parameter '/cat' names \"" + platform::CutText(item, 100) +
                      "\", a column of the training outputs; it must be an input column");
      }
    }
  }
}

bool LoadPredictionTable(JobSettings& job, const ReadTable& read, Index network_columns) {
  RawTable table;
  if (!read(DataSet::kPredictionInputs, table)) return false;
  if (table.values.ColumnCount() != network_columns) {
    if (job::TrainsNetwork(job)) {
      WriteLog(job.log, job::FillTemplate(job::kNotAlignedTemplate,
                                          job::QuotedName(DataSet::kTrainingInputs),
                                          job::QuotedName(DataSet::kPredictionInputs)) +
                            job::DimensionsText(job::ShapeLabel(DataSet::kTrainingInputs),
                                                job.TrainingInputs.RowCount(), network_columns) +
                            job::ShapeText(DataSet::kPredictionInputs, table.values));
    } else {
      WriteLog(job.log,
               job::FillTemplate("Prediction inputs do not match the network. File: 'Parameter0'",
                                 job.nif) +
                   "   Network Inputs: " + std::to_string(network_columns) +
                   job::ShapeText(DataSet::kPredictionInputs, table.values));
    }
    return false;
  }
  DataMatrix unfilled = job::EncodeRows(job.Encoding, table, {},
                                        WhereOf(job, DataSet::kPredictionInputs), &job.Profile);
  if (job.ValidationFraction > 0) job.UnfilledPredictionInputs = unfilled;
  job.PredictionInputs = job::FilledAndScaled(job, std::move(unfilled));
  return true;
}

bool LoadTrainingTablesOrThrow(JobSettings& job, const ReadTable& read, bool keeps_outputs) {
  const job::TableOptions options = OptionsOf(job);
  RawTable inputs;
  if (!read(DataSet::kTrainingInputs, inputs)) return false;
  // The outputs take the inputs' row base, as they do from the loader.
  job.TrainingInputs = inputs.values;
  RawTable outputs;
  if (!read(DataSet::kTrainingOutputs, outputs)) return false;
  CheckCategoricalOutputs(job, outputs);
  const Index rows = inputs.values.RowCount();
  std::vector<Index> kept = AllPositions(rows);
  if (job::IsClassification(job)) {
    job::MarkMissingCells(outputs, options.na);
    std::vector<Index> labelled;
    if (!SetTrainingClasses(job, outputs.values, outputs.cells, DataMatrix(), keeps_outputs,
                            &labelled)) {
      return false;
    }
    if (outputs.values.HasDimensions() && outputs.values.RowCount() == rows) kept = labelled;
  } else if (outputs.values.HasDimensions()) {
    std::vector<Index> with_output;
    NumericOutputs(job, outputs, DataSet::kTrainingOutputs, with_output);
    if (with_output.empty()) {
      WriteLog(job.log, "The training outputs hold no value");
      return false;
    }
    DataMatrix values = outputs.values;
    // Rows are left out only where inputs and outputs align; else the data check names them.
    if (outputs.values.RowCount() == rows) {
      kept = with_output;
      values = job::SelectRows(outputs.values, AbsoluteRows(outputs.values, kept));
      job.Profile.training_rows_without_output = rows - static_cast<Index>(kept.size());
    }
    if (keeps_outputs) job.TrainingOutputValues = values;
    job::ComputeOutputRanges(job, values);
    job::ScaleColumns(values, job.TrainingOutputMin, job.TrainingOutputMax, job.ScaleLow,
                      job.ScaleHigh);
    job.TrainingOutputs = std::move(values);
  }
  const std::string where = WhereOf(job, DataSet::kTrainingInputs);
  job.Encoding = job::FitEncoding(options, inputs, kept, where, job.Profile);
  job.UnfilledTrainingInputs = job::EncodeRows(job.Encoding, inputs, kept, where, nullptr);
  job::FillAndScaleInputs(job, {});
  // Cross-validation fills each fold with the values of its own training rows.
  if (job.Folds > 0) job.TrainingInputValues = job.UnfilledTrainingInputs;
  ReportLeftOut(job, job.Profile.training_rows_without_output, "training");
  return !job::PredictsOutputs(job) ||
         LoadPredictionTable(job, read, static_cast<Index>(job.Encoding.columns.size()));
}

template <typename Load>
bool Guarded(const JobSettings& job, std::string_view what, Load load) {
  try {
    return load();
  } catch (const job::ScalingOverflow& overflow) {
    WriteLog(job.log, overflow.what());
    return false;
  } catch (const Failure& failure) {
    if (failure.what() == std::string_view(job::kSubscriptOutOfRange)) {
      job::NoteSilentFailure(what, failure);
    } else {
      WriteLog(job.log, failure.what());
    }
    return false;
  } catch (const std::exception& failure) {
    job::NoteSilentFailure(what, failure);
    return false;
  }
}

}  // namespace

bool LoadTrainingTables(JobSettings& job, const ReadTable& read, bool keeps_outputs) {
  return Guarded(job, "loading the training tables",
                 [&] { return LoadTrainingTablesOrThrow(job, read, keeps_outputs); });
}

bool LoadSavedNetworkTables(JobSettings& job, const ReadTable& read) {
  job.Profile.columns.assign(job.Encoding.columns.size(), job::ColumnProfile());
  if (!job::PredictsOutputs(job)) return true;
  return Guarded(job, "loading the prediction inputs", [&] {
    return LoadPredictionTable(job, read, static_cast<Index>(job.Encoding.columns.size()));
  });
}

bool LoadValidationTables(JobSettings& job, const ReadTable& read) {
  return Guarded(job, "loading the validation tables", [&] {
    RawTable inputs;
    if (!read(DataSet::kValidationInputs, inputs)) return false;
    const auto columns = static_cast<Index>(job.Encoding.columns.size());
    if (!ValidationWidthFits(job, DataSet::kValidationInputs, inputs.values, columns)) {
      return false;
    }
    job.ValidationInputs = job::FilledAndScaled(
        job, job::EncodeRows(job.Encoding, inputs, {}, WhereOf(job, DataSet::kValidationInputs),
                             &job.Profile));
    RawTable outputs;
    if (!read(DataSet::kValidationOutputs, outputs)) return false;
    if (job::IsClassification(job)) {
      job::MarkMissingCells(outputs, job.Encoding.na);
      return SetValidationClasses(job, outputs.values, outputs.cells);
    }
    const Index expected =
        job::TrainsNetwork(job) ? job.TrainingOutputs.ColumnCount() : job.SavedNetwork.OutputCount;
    if (!ValidationWidthFits(job, DataSet::kValidationOutputs, outputs.values, expected)) {
      return false;
    }
    std::vector<Index> kept;
    NumericOutputs(job, outputs, DataSet::kValidationOutputs, kept);
    DataMatrix values = outputs.values;
    if (static_cast<Index>(kept.size()) < outputs.values.RowCount() &&
        outputs.values.RowCount() == job.ValidationInputs.RowCount()) {
      values = job::SelectRows(outputs.values, AbsoluteRows(outputs.values, kept));
      job.ValidationInputs =
          job::SelectRows(job.ValidationInputs, AbsoluteRows(job.ValidationInputs, kept));
      job.Profile.validation_rows_without_output =
          outputs.values.RowCount() - static_cast<Index>(kept.size());
      ReportLeftOut(job, job.Profile.validation_rows_without_output, "validation");
    }
    job.ValidationOutputValues = values;
    const Index low = values.ColumnLow();
    job::ScaleColumns(values, job::Rebased(job.TrainingOutputMin, low),
                      job::Rebased(job.TrainingOutputMax, low), job.ScaleLow, job.ScaleHigh);
    job.ValidationOutputs = std::move(values);
    return true;
  });
}

}  // namespace tarvex::input
