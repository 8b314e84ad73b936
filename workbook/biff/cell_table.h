// The layout of one sheet substream as the editor sees it: its records, and its cell table cut
// into row blocks (ROW records, then the cells of those rows, then an optional DBCELL record).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "workbook/biff/records.h"
#include "workbook/biff/sheet.h"

namespace tarvex::workbook::biff {

// One cell record with the records that belong to it (a formula's STRING, ARRAY, SHRFMLA or
// TABLE record), or one other record that stands inside the table and is kept where it is.
struct CellUnit {
  size_t first_record = 0;
  size_t end_record = 0;
  bool is_cell = false;
  CellPosition position;
};

struct RowBlock {
  std::vector<size_t> row_records;  // indices into SheetLayout::records
  std::vector<CellUnit> units;
  std::optional<size_t> db_cell;
};

struct SheetLayout {
  std::vector<Record> records;  // BOF to EOF
  // The records of the cell table; when the sheet has no cells both name the place where a
  // table goes (after DIMENSIONS).
  size_t table_begin = 0;
  size_t table_end = 0;
  std::vector<RowBlock> blocks;
  std::optional<size_t> dimensions;
  std::optional<size_t> index;
  std::optional<size_t> default_column_width;
  std::optional<size_t> default_row_height;
  std::vector<size_t> column_infos;
  bool has_db_cells = false;
};

// Reads the layout of the sheet whose BOF record is at offset. Throws for a damaged sheet.
SheetLayout ReadSheetLayout(std::string_view stream, size_t offset);

}  // namespace tarvex::workbook::biff
