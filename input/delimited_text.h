// The delimited text reader: one matrix row per non-blank line, one column per field, or the
// columns that a header selector names.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "job/job_settings.h"
#include "job/text_cells.h"

namespace tarvex::input {

// Parses the whole file text. A line ends at LF, and a CR right before the LF belongs to the
// line end. A non-empty selector (comma-separated header names) switches on header mode: the
// first non-blank line is the header line. Logs its own failure line and returns false; on
// success fills matrix (0-based, values not yet scaled). With labels, a field that is not a number
// is kept there as a text (a blank one as a blank, a missing one too) instead of refused, and in
// header mode the selected columns' header fields name the columns.
bool ParseDelimitedText(const job::JobSettings& job, std::string_view text, job::DataMatrix& matrix,
                        const std::string& path, char delimiter, const std::string& selector,
                        job::TextCells* labels = nullptr);

// Checks and converts the parsed cells: cells that did not read as numbers hold NaN (no number
// that passes the number test is NaN). Without header names every column is taken; with them,
// the file columns that the names select, in the names' order.
bool ConvertCellMatrix(const job::JobSettings& job, job::DataMatrix& cells, bool has_text_cells,
                       job::DataMatrix& matrix, const std::vector<std::string_view>& header_names,
                       const std::vector<std::string_view>& header_fields, const std::string& path);

}  // namespace tarvex::input
