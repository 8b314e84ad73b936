// Writing the predicted outputs into a workbook range.
#pragma once

#include "job/job_settings.h"

namespace tarvex::output {

enum WorkbookStatement : int {
  kCreateApplication = 200,
  kOpenWorkbook = 210,
  kAddressRange = 220,
  kWriteRange = 230,
};

// How the workbook branch ended when no statement failed.
enum class WorkbookOutcome {
  kWritten,     // written and saved: the results block follows
  kNotOpened,   // "File not found: " is logged, nothing more
  kStepFailed,  // a save-and-close step logged its line: no results block
};

// Puts PredictionOutputs into the range that pos names in the workbook pof, from its top-left
// cell, and saves the workbook. Only the cells that receive a value change. A classification job
// writes each row's predicted label as text (then with /pp=1 its probabilities) into a range of
// exactly that width; any other width fails at kWriteRange with nothing saved. Throws
// StatementFailure with the failing statement.
WorkbookOutcome WriteWorkbookOutput(const job::JobSettings& job);

}  // namespace tarvex::output
