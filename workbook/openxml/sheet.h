// Worksheet parts of Office Open XML: cells read from the part's text and values written into
// it by splicing, so that everything the write does not touch stays byte for byte.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/large_memory.h"
#include "workbook/format/address.h"
#include "workbook/format/workbook_file.h"
#include "workbook/openxml/xml_scanner.h"

namespace tarvex::workbook::openxml {

// What cells refer to outside their sheet.
struct CellContext {
  const std::vector<bool>* date_styles = nullptr;  // by cell format index
  // The shared string of that index; throws WorkbookError when there is none.
  std::function<const std::string&(std::uint64_t)> shared_string;
};

// The values of the area's cells, row by row. Throws WorkbookError for a damaged part: XML that
// is not well-formed, a cell reference beyond the limits, a value that its type cannot hold.
std::vector<CellValue> ReadSheetCells(std::string_view xml, std::string_view part,
                                      const SheetLimits& limits, const CellArea& area,
                                      const CellContext& context);

// One cell's value from its type (t) and style (s) attributes and the text of its <v> or inline
// string. Throws WorkbookError for a value that its type cannot hold.
CellValue ConvertCell(std::string_view type, std::string_view style, std::string_view text,
                      bool has_value, bool has_formula, const CellContext& context,
                      std::string_view part, std::int64_t row, std::int64_t column);

// What a new cell adds to the part, about: the edit makes room for the part and this per write.
inline constexpr size_t kBytesPerNewCell = 32;

struct SheetEdit {
  platform::LargeText xml;
  bool formula_replaced = false;  // a cell that held a formula now holds a value
};

// The part with the numbers and texts (as inline strings) put into their cells: existing cells
// keep their attributes (the style above all) and lose their formula and type; missing cells and
// rows are inserted in order with the style of their row or column; the dimension and the row
// spans are widened.
// Throws WorkbookError, with nothing written, when a cell lies inside an array or data-table
// formula or holds the master of a shared formula, or when a number is not finite.
SheetEdit WriteSheetNumbers(std::string_view xml, std::string_view part, std::string_view sheet,
                            const SheetLimits& limits, std::span<const CellWrite> writes);

// The row of a <row> element whose r attribute is reference, or the row after the previous one
// without it. Throws WorkbookError for a number that is none (naming position as its place in
// the part) or lies beyond the limits.
std::int64_t RowNumber(std::optional<std::string_view> reference, std::int64_t previous_row,
                       const SheetLimits& limits, std::string_view part, size_t position);
// The column of a <c> element from its r attribute, else the column after the previous one.
// Throws WorkbookError for a reference that is none, lies beyond the limits or in another row.
std::int64_t ColumnNumber(std::optional<std::string_view> reference, std::int64_t row,
                          std::int64_t previous_column, const SheetLimits& limits,
                          std::string_view part);

// The same for the element the scanner stands on.
inline std::int64_t RowOfElement(const XmlScanner& scanner, std::int64_t previous_row,
                                 const SheetLimits& limits) {
  return RowNumber(scanner.Attribute("r"), previous_row, limits, scanner.part(),
                   scanner.TokenBegin());
}
inline std::int64_t ColumnOfElement(const XmlScanner& scanner, std::int64_t row,
                                    std::int64_t previous_column, const SheetLimits& limits) {
  return ColumnNumber(scanner.Attribute("r"), row, previous_column, limits, scanner.part());
}

}  // namespace tarvex::workbook::openxml
