// Reading a rectangular range of a workbook sheet into a matrix.
#pragma once

#include <string>

#include "job/job_settings.h"
#include "job/text_cells.h"

namespace tarvex::input {

// selector is a sheet name, "!" and a range address, or without "!" a defined name or an address
// on the active sheet. The matrix counts from 1. Logs its own failure line. With labels, a text
// cell that is not a number is kept there as a text, and an empty cell as a blank, not 0.
bool ReadWorkbookRange(const job::JobSettings& job, const std::string& selector,
                       job::DataMatrix& matrix, const std::string& path,
                       job::TextCells* labels = nullptr);

}  // namespace tarvex::input
