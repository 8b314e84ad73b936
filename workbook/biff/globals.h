// The workbook globals of a BIFF8 Workbook stream: sheets, shared strings, which cell styles
// show dates, defined names, the active sheet.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "workbook/biff/records.h"
#include "workbook/format/workbook_file.h"

namespace tarvex::workbook::biff {

struct SheetEntry {
  std::string name;
  std::uint32_t offset = 0;  // of the sheet's BOF record in the stream
  size_t record_offset = 0;  // of the BOUNDSHEET8 record that holds offset
  std::uint8_t type = 0;     // 0 worksheet (or dialog sheet), 1 macro sheet, 2 chart, 6 module
  bool IsWorksheet() const { return type == 0; }
};

// A workbook-level defined name that refers to one rectangle of one sheet.
struct NamedArea {
  std::string name;
  size_t tab = 0;  // index into Globals::sheets
  CellArea area;
};

struct Globals {
  std::vector<SheetEntry> sheets;    // in tab order
  std::vector<std::string> strings;  // the shared-string table
  std::vector<bool> date_styles;     // per cell style (XF): its number format shows a date
  std::vector<NamedArea> names;
  size_t active_tab = 0;
  std::optional<size_t> recalc_id_offset;  // of the RECALCID record, when there is one
  size_t end = 0;                          // the offset just after the globals' EOF record
  size_t style_count() const { return date_styles.size(); }
};

// Reads the globals at the start of the stream. Throws WorkbookError for an encrypted workbook,
// an older BIFF version or a damaged stream.
Globals ReadGlobals(std::string_view stream);

// Throws the WorkbookError that refuses a workbook of BIFF5 or older.
[[noreturn]] void RefuseOlderFormat();

// Throws unless record is a BOF record of BIFF8 for a substream of the given type.
void CheckBof(const Record& record, std::uint16_t substream_type);

}  // namespace tarvex::workbook::biff
