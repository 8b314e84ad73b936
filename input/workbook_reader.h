// Reading a rectangular range of a workbook sheet into a matrix.
#pragma once

#include <string>

#include "job/job_settings.h"

namespace tarvex::input {

// selector is a sheet name, "!" and a range address, or without "!" a defined name or an address
// on the active sheet. The matrix counts from 1. Logs its own failure line.
bool ReadWorkbookRange(const job::JobSettings& job, const std::string& selector,
                       job::DataMatrix& matrix, const std::string& path);

}  // namespace tarvex::input
