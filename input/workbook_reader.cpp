#include "input/workbook_reader.h"

#include <exception>
#include <memory>
#include <optional>

#include "job/failure.h"
#include "job/messages.h"
#include "job/run_log.h"
#include "platform/number_text.h"
#include "platform/paths.h"
#include "workbook/application.h"
#include "workbook/selector.h"

namespace tarvex::input {

using job::DataMatrix;
using job::Index;
using job::JobSettings;
using job::WriteLog;

namespace {

// The number test on a cell value: numbers as they are, an empty cell as 0, a text that the
// locale reads as a number; dates, booleans, errors, other texts and formulas without a saved
// result are no numbers.
bool CellNumber(const workbook::CellValue& cell, const JobSettings& job, double& number) {
  switch (cell.kind) {
    case workbook::CellKind::kNumber:
      number = cell.number;
      return true;
    case workbook::CellKind::kEmpty:
      number = 0;
      return true;
    case workbook::CellKind::kText:
      return platform::ConvertLocaleNumber(cell.text, job.DecimalSeparator, number);
    case workbook::CellKind::kBoolean:
    case workbook::CellKind::kDate:
    case workbook::CellKind::kError:
    case workbook::CellKind::kUncalculated:
      break;
  }
  return false;
}

// The label reading of a cell: texts and empty cells are kept in labels, not refused or read as 0.
bool CellLabel(const workbook::CellValue& cell, const JobSettings& job, Index row, Index column,
               DataMatrix& cells, job::TextCells& labels) {
  switch (cell.kind) {
    case workbook::CellKind::kEmpty:
      labels.Keep(row, column, "");
      return true;
    case workbook::CellKind::kText:
      if (!platform::ConvertLocaleNumber(cell.text, job.DecimalSeparator, cells.At(row, column))) {
        labels.Keep(row, column, cell.text);
      }
      return true;
    default:
      return CellNumber(cell, job, cells.At(row, column));
  }
}

}  // namespace

bool ReadWorkbookRange(const JobSettings& job, const std::string& selector, DataMatrix& matrix,
                       const std::string& path, job::TextCells* labels) {
  try {
    // The workbook stays open for the run's other data sets and its output.
    std::optional<workbook::Application> own;
    workbook::Application& application = workbook::RunApplication::Shared(own);
    std::unique_ptr<workbook::Workbook> book =
        application.Workbooks().Open(platform::ToNativePath(path));
    if (!book) {
      WriteLog(job.log, std::string(job::kFileNotFound) + path);
      return false;
    }
    const workbook::RangeValue value = workbook::SelectRange(*book, selector).Value();
    if (!value.IsArray()) {
      // A single cell gives no array: the load fails without a word.
      return false;
    }
    // Workbook matrices count from 1 in both dimensions, whatever the range's place.
    DataMatrix cells(1, value.RowCount(), 1, value.ColumnCount());
    if (labels != nullptr) labels->Dimension(cells);
    for (Index row = 1; row <= value.RowCount(); ++row) {
      for (Index column = 1; column <= value.ColumnCount(); ++column) {
        const workbook::CellValue& cell = value.At(row, column);
        if (labels != nullptr ? !CellLabel(cell, job, row, column, cells, *labels)
                              : !CellNumber(cell, job, cells.At(row, column))) {
          WriteLog(job.log, job::FillTemplate(job::kInvalidDataTemplate, path));
          return false;
        }
      }
    }
    matrix = std::move(cells);
    return true;
  } catch (const std::exception& failure) {
    WriteLog(job.log, job::FileNameLine(path, job::DescribeFailure(failure)));
    return false;
  }
}

}  // namespace tarvex::input
