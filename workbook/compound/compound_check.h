// The structure of a compound document (the container of .xls workbooks), checked before the
// document reaches libgsf, so that a damaged file gives a clear error instead of a hang, a crash
// or a huge allocation inside the library.
#pragma once

#include <string_view>

namespace tarvex::workbook::compound {

// Checks the header, the sector allocation tables, the directory and the length of every stream
// against the file's bytes. Throws CompoundError that says what is damaged.
void CheckCompoundDocument(std::string_view file);

}  // namespace tarvex::workbook::compound
