// Reading a rectangular range of a workbook sheet into a matrix.
#pragma once

#include <string>

#include "job/job_settings.h"

namespace tarvex::input {

// selector is a sheet name, "!" and a range address. Logs its own failure line.
bool ReadWorkbookRange(const job::JobSettings& job, const std::string& selector,
                       job::DataMatrix& matrix, const std::string& path);

}  // namespace tarvex::input
