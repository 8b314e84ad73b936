// Reading the records of a database command into a matrix.
#pragma once

#include <string>

#include "driver/job_settings.h"

namespace tarvex {

// selector is the command text that is executed. Logs its own failure line.
bool ReadDatabaseQuery(const JobSettings& job, const std::string& selector, DataMatrix& matrix,
                       const std::string& path);

}  // namespace tarvex
