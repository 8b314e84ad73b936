// Cell addresses in A1 notation ("B2", "$B$2:$D$4", any letter case): the one parser that the
// object model and every file format use.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "workbook/format/workbook_file.h"

namespace tarvex::workbook {

// How many rows and columns a sheet of a format can hold.
struct SheetLimits {
  std::int64_t rows = 0;
  std::int64_t columns = 0;
};

// One cell, its row and column counted from 0.
struct CellCoordinates {
  std::int64_t row = 0;
  std::int64_t column = 0;
};

// A cell reference such as "B2" or "$b$2". None when the text is no cell reference; a reference
// beyond every sheet's limits gives a position past them (the caller checks), never an overflow.
std::optional<CellCoordinates> ParseCellReference(std::string_view text);

// "B2" or "B2:D4" (each part with optional "$"), corners put in order, so "D4:B2" is B2:D4. None
// when the text is no such address or reaches beyond the limits.
std::optional<CellArea> TryParseArea(std::string_view address, const SheetLimits& limits);

// The same, but throws WorkbookError that names the address and what is wrong with it.
CellArea ParseArea(std::string_view address, const SheetLimits& limits);

// "A" for column 0, "XFD" for column 16383.
std::string ColumnName(std::int64_t column);
// "B2" for row 1, column 1.
std::string CellName(std::int64_t row, std::int64_t column);
// "B2:D4", or "B2" for a single cell.
std::string AreaName(const CellArea& area);

// A reference that names its sheet, as defined names hold them: "Data!$A$1:$B$2" or
// "'My data'!A1" (a quote inside a quoted name is doubled).
struct SheetReference {
  std::string sheet;
  std::string_view address;
};
// None when the text has no "!" or its sheet name is quoted badly.
std::optional<SheetReference> SplitSheetReference(std::string_view text);

}  // namespace tarvex::workbook
