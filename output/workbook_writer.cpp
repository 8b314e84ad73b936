#include "output/workbook_writer.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "job/class_list.h"
#include "job/failure.h"
#include "job/messages.h"
#include "job/run_log.h"
#include "output/class_rows.h"
#include "output/statement.h"
#include "platform/file_replacement.h"
#include "platform/paths.h"
#include "workbook/application.h"
#include "workbook/selector.h"

namespace tarvex::output {

using job::DataMatrix;
using job::Index;
using job::JobSettings;
using job::WriteLog;

namespace {

// Runs that write into one workbook take turns. A turn lasts one read, edit and save of the
// workbook (about a second for a range of a million cells), so several runs of a sweep that
// write into one workbook each get theirs.
constexpr std::chrono::seconds kWorkbookLockWait{30};

// A classification job's rows from the range's top-left cell: the label as text, then with /pp=1
// the probabilities. A range of another width is refused before any cell changes: a label in a
// column of numbers, or numbers cut off, would be read back as something else.
void PutClassRows(const JobSettings& job, workbook::Range& range) {
  const Index width = ClassRowWidth(job);
  if (range.ColumnCount() != width) {
    throw job::Failure("The range " + job.pos + " is " + std::to_string(range.ColumnCount()) +
                       (range.ColumnCount() == 1 ? " column" : " columns") +
                       " wide; a row of predicted labels takes " + ClassRowWidthText(job));
  }
  const DataMatrix& outputs = job.PredictionOutputs;
  workbook::ValueBlock block(range.RowCount(), width);
  const Index rows = std::min<Index>(range.RowCount(), outputs.RowCount());
  for (Index r = 0; r < rows; ++r) {
    const Index row = outputs.RowLow() + r;
    block.SetText(r + 1, 1, PredictedLabel(job, row));
    std::span<const double> probabilities = outputs.Row(row);
    for (Index k = 0; k + 1 < width; ++k) block.Set(r + 1, k + 2, probabilities[k]);
  }
  range.SetValue(block);
}

}  // namespace

WorkbookOutcome WriteWorkbookOutput(const JobSettings& job) {
  // The run's application: a workbook that the run read is still open in it.
  std::optional<workbook::Application> own;
  workbook::Application* application = nullptr;
  AtStatement(kCreateApplication, [&] { application = &workbook::RunApplication::Shared(own); });
  // Held until the workbook is saved and closed: the lock goes before the book.
  std::optional<platform::ReplacementLock> lock;
  std::unique_ptr<workbook::Workbook> book = AtStatement(kOpenWorkbook, [&] {
    const std::string native = platform::ToNativePath(job.pof);
    lock.emplace(native, kWorkbookLockWait);
    // Under the lock the application compares the file with what it read: one that another run
    // (or program) wrote since is read again, so that its cells are kept; one that stands as it
    // was is not read twice.
    return application->Workbooks().Open(native);
  });
  if (!book) {
    WriteLog(job.log, std::string(job::kFileNotFound) + job.pof);
    return WorkbookOutcome::kNotOpened;
  }
  workbook::Range range =
      AtStatement(kAddressRange, [&] { return workbook::SelectRange(*book, job.pos); });

  const DataMatrix& outputs = job.PredictionOutputs;
  AtStatement(kWriteRange, [&] {
    if (job::IsClassification(job)) {
      PutClassRows(job, range);
      return;
    }
    if (range.Count() == 1) {
      range.SetValue(outputs.At(outputs.RowLow(), outputs.ColumnLow()));
      return;
    }
    // The matrix goes in from the range's top-left cell; what does not fit is dropped. Cells
    // of the range beyond the matrix get no number, so they keep their values and formulas.
    workbook::ValueBlock block(range.RowCount(), range.ColumnCount());
    const Index rows = std::min<Index>(range.RowCount(), outputs.RowCount());
    const Index columns = std::min<Index>(range.ColumnCount(), outputs.ColumnCount());
    for (Index r = 0; r < rows; ++r) {
      for (Index c = 0; c < columns; ++c) {
        block.Set(r + 1, c + 1, outputs.At(outputs.RowLow() + r, outputs.ColumnLow() + c));
      }
    }
    range.SetValue(block);
  });

  // Save and close: each step that fails logs its line, and the next step still runs.
  bool step_failed = false;
  auto step = [&](const char* step_text, auto&& run) {
    try {
      run();
    } catch (const std::exception& failure) {
      WriteLog(job.log, "OutPredictToFile.  Error: " + job::DescribeFailure(failure) + step_text);
      step_failed = true;
    }
  };
  step("  (Application.DisplayAlerts = False)", [&] { application->SetDisplayAlerts(false); });
  step("  (Workbooks.Save)", [&] { book->Save(); });
  step("  (Workbooks..Close)", [&] { book->Close(); });
  book.reset();
  return step_failed ? WorkbookOutcome::kStepFailed : WorkbookOutcome::kWritten;
}

}  // namespace tarvex::output
