// Writing numbers and texts into the cells of a BIFF8 Workbook stream in place: every record that
// holds no target cell stays as it is; what the edit shifts (row blocks, INDEX, DIMENSIONS, the
// sheet offsets) is fixed.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "workbook/biff/cell_table.h"
#include "workbook/biff/globals.h"

namespace tarvex::workbook::biff {

// A number, or the text where text is set (at most kMostLabelCharacters code units).
struct Target {
  std::uint16_t row = 0;
  std::uint16_t column = 0;
  double value = 0;
  const std::u16string* text = nullptr;
};

// Appends the sheet described by layout to out, the new stream being built (its size is the
// sheet's new offset), with the targets (sorted by row and column, one per cell) written as
// NUMBER and LABEL records. Throws WorkbookError, before appending anything, when a target cannot
// take a number on its own.
void AppendEditedSheet(std::string& out, std::string_view stream, const SheetLayout& layout,
                       const Globals& globals, std::string_view sheet_name,
                       std::span<const Target> targets);

struct EditedStream {
  std::string stream;
  std::vector<std::uint32_t> sheet_offsets;  // the new offset of each sheet, in tab order
};

// The stream with the values written into the sheet at tab (the last write of a cell wins).
// Throws WorkbookError on refusal.
EditedStream WriteNumbersToStream(std::string_view stream, const Globals& globals, size_t tab,
                                  std::vector<Target> targets);

}  // namespace tarvex::workbook::biff
