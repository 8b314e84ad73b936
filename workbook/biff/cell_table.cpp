// One sheet substream cut into its records and the row blocks of its cell table, for the editor.
#include "workbook/biff/cell_table.h"

#include "platform/large_memory.h"

namespace tarvex::workbook::biff {

namespace {

bool OpensTable(std::uint16_t type) {
  return type == kRow || type == kDbCell || IsCellRecord(type);
}

// Records that belong to the formula cell before them.
bool FollowsFormula(std::uint16_t type) {
  return type == kString || type == kArray || type == kShrFmla || type == kTable ||
         type == kContinue;
}

void CutIntoBlocks(SheetLayout& layout, const std::vector<int>& depths) {
  RowBlock* current = nullptr;
  auto open_block = [&] {
    layout.blocks.emplace_back();
    current = &layout.blocks.back();
  };
  for (size_t i = layout.table_begin; i < layout.table_end; ++i) {
    const Record& record = layout.records[i];
    std::uint16_t type = depths[i] == 1 ? record.type : 0;
    if (type == kRow) {
      RequireSize(record, 16);
      if (!current || !current->units.empty() || current->db_cell) open_block();
      current->row_records.push_back(i);
      continue;
    }
    if (!current || current->db_cell) open_block();
    if (type == kDbCell) {
      current->db_cell = i;
      layout.has_db_cells = true;
    } else if (IsCellRecord(type)) {
      current->units.push_back({i, i + 1, true, CellRecordPosition(record)});
    } else if (FollowsFormula(type) && !current->units.empty() && current->units.back().is_cell &&
               current->units.back().end_record == i) {
      current->units.back().end_record = i + 1;
    } else {
      current->units.push_back({i, i + 1, false, {}});
    }
  }
}

}  // namespace

SheetLayout ReadSheetLayout(std::string_view stream, size_t offset) {
  SheetLayout layout;
  std::vector<int> depths;
  std::optional<size_t> first_table;
  size_t last_table = 0;
  Record record;
  // Counted first, so that a sheet of a million cells fills its list without copying it.
  size_t count = 0;
  for (SheetCursor counter(stream, offset); counter.Next(record);) ++count;
  layout.records.reserve(count);
  platform::AdviseHugePages(layout.records.data(), count * sizeof(Record));
  depths.reserve(count);
  SheetCursor cursor(stream, offset);
  while (cursor.Next(record)) {
    size_t i = layout.records.size();
    layout.records.push_back(record);
    depths.push_back(cursor.depth());
    if (cursor.depth() != 1) continue;
    if (OpensTable(record.type)) {
      if (!first_table) first_table = i;
      last_table = i;
    } else if (first_table && FollowsFormula(record.type) && last_table + 1 == i) {
      last_table = i;
    }
    switch (record.type) {
      case kDimensions:
        RequireSize(record, 12);
        if (!layout.dimensions) layout.dimensions = i;
        break;
      case kIndex:
        RequireSize(record, 16);
        if (!layout.index) layout.index = i;
        break;
      case kDefColWidth:  // its position is kept in INDEX
        if (!layout.default_column_width) layout.default_column_width = i;
        break;
      case kDefaultRowHeight:
        RequireSize(record, 4);
        layout.default_row_height = i;
        break;
      case kColInfo:
        RequireSize(record, 8);
        layout.column_infos.push_back(i);
        break;
      default:
        break;
    }
  }
  if (first_table) {
    layout.table_begin = *first_table;
    layout.table_end = last_table + 1;
    CutIntoBlocks(layout, depths);
  } else {
    if (!layout.dimensions) Damaged("a worksheet has no DIMENSIONS record");
    layout.table_begin = layout.table_end = *layout.dimensions + 1;
  }
  return layout;
}

}  // namespace tarvex::workbook::biff
