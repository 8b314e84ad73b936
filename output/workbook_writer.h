// Writing the predicted outputs into a workbook range.
#pragma once

#include "job/job_settings.h"

namespace tarvex::output {

enum WorkbookStatement : int {
  kWriteWorkbook = 210,
};

// Throws StatementFailure with the failing statement.
void WriteWorkbookOutput(const job::JobSettings& job);

}  // namespace tarvex::output
