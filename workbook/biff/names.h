// Defined names of a BIFF8 workbook: the NAME records whose formula is one area or cell of one
// sheet of this workbook, resolved through EXTERNSHEET and SUPBOOK.
#pragma once

#include <string_view>
#include <vector>

#include "workbook/biff/globals.h"

namespace tarvex::workbook::biff {

struct NameRecords {
  std::vector<std::string_view> names;      // data of each NAME record
  std::string_view extern_sheet;            // data of the EXTERNSHEET record
  std::vector<std::string_view> sup_books;  // data of each SUPBOOK record, in order
};

// The workbook-level names that refer to one rectangle of one sheet; names of other kinds
// (sheet-level, built-in, formulas, other workbooks) are left out.
std::vector<NamedArea> ResolveNames(const NameRecords& records, size_t tab_count);

}  // namespace tarvex::workbook::biff
