// Inserting the predicted outputs into a database table.
#pragma once

#include "job/job_settings.h"

namespace tarvex::output {

enum DatabaseStatement : int {
  kWriteDatabase = 310,
};

// Throws StatementFailure with the failing statement.
void WriteDatabaseOutput(const job::JobSettings& job);

}  // namespace tarvex::output
