// Reading a rectangular range of a workbook sheet into a matrix.
#pragma once

#include <string>

#include "driver/job_settings.h"

namespace tarvex {

// selector is a sheet name, "!" and a range address. Logs its own failure line.
bool ReadWorkbookRange(const JobSettings& job, const std::string& selector, DataMatrix& matrix,
                       const std::string& path);

}  // namespace tarvex
