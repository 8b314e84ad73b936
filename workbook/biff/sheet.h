// One sheet substream of a BIFF8 Workbook stream: walking its records, and reading its cells.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "workbook/biff/globals.h"
#include "workbook/biff/records.h"
#include "workbook/format/workbook_file.h"

namespace tarvex::workbook::biff {

// The records of a sheet from its BOF record to its EOF record, both included, with the depth of
// each: 1 for the sheet's own records, more inside an embedded substream such as a chart.
class SheetCursor {
 public:
  // Throws unless a BIFF8 worksheet BOF record starts at offset.
  SheetCursor(std::string_view stream, size_t offset);

  // The next record; false after the sheet's EOF record. Throws for a damaged stream.
  bool Next(Record& record);
  int depth() const { return depth_; }

 private:
  std::string_view stream_;
  size_t offset_;
  int depth_ = 0;
  std::uint16_t previous_ = 0;
};

bool IsCellRecord(std::uint16_t type);

// The row and column of a cell record (the first column for MULRK and MULBLANK), checked against
// the sheet's limits.
struct CellPosition {
  std::uint16_t row = 0;
  std::uint16_t first_column = 0;
  std::uint16_t last_column = 0;
};
CellPosition CellRecordPosition(const Record& record);

// The number that an RK value encodes.
double RkNumber(std::uint32_t rk);

// The text of a cell error code, such as "#DIV/0!".
std::string ErrorText(std::uint8_t code);

// The values of the area's cells, row by row, from the sheet whose BOF record is at offset.
std::vector<CellValue> ReadSheetCells(std::string_view stream, const Globals& globals,
                                      size_t offset, const CellArea& area);

}  // namespace tarvex::workbook::biff
