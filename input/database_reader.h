// Reading the records of a database command into a matrix.
#pragma once

#include <string>

#include "job/job_settings.h"

namespace tarvex::input {

// selector is the command text that is executed. Logs its own failure line.
bool ReadDatabaseQuery(const job::JobSettings& job, const std::string& selector,
                       job::DataMatrix& matrix, const std::string& path);

}  // namespace tarvex::input
