// Which number formats show dates or times: a number in such a cell is a date to the workbook's
// readers, not a number.
#pragma once

#include <string_view>

namespace tarvex::workbook {

// The built-in formats that every workbook knows by number without storing their code.
bool IsBuiltInDateFormat(int format_id);

// A format code whose first section holds a date or time code (d, m, y, h, s, or an elapsed
// time such as [h]) outside quoted text, escaped characters and other bracketed parts.
bool IsDateFormatCode(std::string_view code);

}  // namespace tarvex::workbook
