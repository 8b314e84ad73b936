// Reading the records of a database command into a matrix.
#pragma once

#include <string>

#include "job/job_settings.h"
#include "job/text_cells.h"

namespace tarvex::input {

// selector is the command text that is executed. Logs its own failure line. With labels, every
// record is a row and every field a column: a text that is not a number is kept there as a
// text, a null as a blank, and the fields' names name the columns.
bool ReadDatabaseQuery(const job::JobSettings& job, const std::string& selector,
                       job::DataMatrix& matrix, const std::string& path,
                       job::TextCells* labels = nullptr);

}  // namespace tarvex::input
