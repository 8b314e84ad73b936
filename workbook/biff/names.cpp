// Defined names that refer to one rectangle of one sheet of this workbook; every other is left out.
#include "workbook/biff/names.h"

#include <algorithm>
#include <optional>

#include "platform/little_endian.h"
#include "workbook/biff/records.h"

namespace tarvex::workbook::biff {

using platform::ReadU16;

namespace {

constexpr std::uint16_t kBuiltIn = 0x0020;
constexpr std::uint16_t kSelfReference = 0x0401;
constexpr size_t kNameHeader = 14;
constexpr size_t kNameFlags = 0;           // NAME.grbit
constexpr size_t kNameSize = 3;            // NAME.cch
constexpr size_t kNameFormulaSize = 4;     // NAME.cce
constexpr size_t kNameSheet = 8;           // NAME.itab: 0 for a workbook-level name
constexpr size_t kSupBookKind = 2;         // SUPBOOK.cch: 0x0401 for the workbook itself
constexpr size_t kExternSheetCount = 0;    // EXTERNSHEET.cXTI
constexpr size_t kExternSheetEntries = 2;  // EXTERNSHEET.rgXTI: 6 bytes each
// In the parsed formula, after its token byte.
constexpr size_t kPtgSheetReference = 1;     // ixti
constexpr size_t kPtgFirstRow = 3;           // rwFirst (PtgRef3d: rw)
constexpr size_t kPtgArea3dLastRow = 5;      // rwLast
constexpr size_t kPtgArea3dFirstColumn = 7;  // colFirst
constexpr size_t kPtgArea3dLastColumn = 9;   // colLast
constexpr size_t kPtgRef3dColumn = 5;        // col
constexpr std::uint16_t kColumnMask = 0x3FFF;

struct SheetReference {
  std::uint16_t sup_book = 0;
  std::uint16_t first_tab = 0;
  std::uint16_t last_tab = 0;
};

std::optional<size_t> SelfSupBook(const std::vector<std::string_view>& sup_books) {
  for (size_t i = 0; i < sup_books.size(); ++i) {
    if (sup_books[i].size() >= 4 && ReadU16(sup_books[i], kSupBookKind) == kSelfReference) return i;
  }
  return std::nullopt;
}

std::vector<SheetReference> SheetReferences(std::string_view data) {
  std::vector<SheetReference> references;
  if (data.size() < 2) return references;
  size_t count = std::min<size_t>(ReadU16(data, kExternSheetCount), (data.size() - 2) / 6);
  for (size_t i = 0; i < count; ++i) {
    size_t at = kExternSheetEntries + 6 * i;
    references.push_back({ReadU16(data, at), ReadU16(data, at + 2), ReadU16(data, at + 4)});
  }
  return references;
}

// The area of a formula that is one 3-D area or one 3-D cell reference, with its sheet
// reference index; none for any other formula.
std::optional<std::pair<size_t, CellArea>> SingleArea(std::string_view formula) {
  if (formula.empty()) return std::nullopt;
  std::uint8_t token = static_cast<std::uint8_t>(formula[0]) & 0x1F;
  CellArea area;
  if (token == 0x1B && formula.size() == 11) {  // PtgArea3d
    area.first_row = ReadU16(formula, kPtgFirstRow);
    area.last_row = ReadU16(formula, kPtgArea3dLastRow);
    area.first_column = ReadU16(formula, kPtgArea3dFirstColumn) & kColumnMask;
    area.last_column = ReadU16(formula, kPtgArea3dLastColumn) & kColumnMask;
  } else if (token == 0x1A && formula.size() == 7) {  // PtgRef3d
    area.first_row = area.last_row = ReadU16(formula, kPtgFirstRow);
    area.first_column = area.last_column = ReadU16(formula, kPtgRef3dColumn) & kColumnMask;
  } else {
    return std::nullopt;
  }
  if (area.first_row > area.last_row) std::swap(area.first_row, area.last_row);
  if (area.first_column > area.last_column) std::swap(area.first_column, area.last_column);
  if (area.last_column >= kColumnLimit) return std::nullopt;
  return std::make_pair(size_t{ReadU16(formula, kPtgSheetReference)}, area);
}

}  // namespace

std::vector<NamedArea> ResolveNames(const NameRecords& records, size_t tab_count) {
  std::vector<NamedArea> names;
  std::optional<size_t> self = SelfSupBook(records.sup_books);
  std::vector<SheetReference> references = SheetReferences(records.extern_sheet);
  if (!self) return names;
  for (std::string_view data : records.names) {
    if (data.size() < kNameHeader) continue;
    std::uint16_t flags = ReadU16(data, kNameFlags);
    size_t length = static_cast<std::uint8_t>(data[kNameSize]);
    size_t formula_size = ReadU16(data, kNameFormulaSize);
    if ((flags & kBuiltIn) != 0 || ReadU16(data, kNameSheet) != 0) continue;
    size_t at = kNameHeader;
    std::string name = ReadCharacters(data, at, length);
    if (data.size() - at < formula_size) continue;
    auto found = SingleArea(data.substr(at, formula_size));
    if (!found || found->first >= references.size()) continue;
    const SheetReference& sheet = references[found->first];
    if (sheet.sup_book != *self || sheet.first_tab != sheet.last_tab ||
        sheet.first_tab >= tab_count) {
      continue;
    }
    names.push_back({std::move(name), sheet.first_tab, found->second});
  }
  return names;
}

}  // namespace tarvex::workbook::biff
