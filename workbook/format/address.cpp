// Parsing and naming A1 cell addresses, areas and sheet references.
#include "workbook/format/address.h"

#include <algorithm>
#include <cstdint>

namespace tarvex::workbook {

namespace {

// More letters or digits than this lie beyond every sheet, and stopping here keeps the
// arithmetic far from overflow.
constexpr size_t kMaxLetters = 7;
constexpr size_t kMaxDigits = 12;

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool Within(const CellArea& area, const SheetLimits& limits) {
  return area.last_row < limits.rows && area.last_column < limits.columns;
}

}  // namespace

std::optional<CellCoordinates> ParseCellReference(std::string_view text) {
  size_t i = 0;
  if (i < text.size() && text[i] == '$') ++i;
  std::int64_t letters_value = 0;
  size_t letters = 0;
  for (; i < text.size() && IsLetter(text[i]); ++i, ++letters) {
    if (letters == kMaxLetters) return std::nullopt;
    letters_value = letters_value * 26 + ((text[i] | 0x20) - 'a' + 1);
  }
  if (letters == 0) return std::nullopt;
  if (i < text.size() && text[i] == '$') ++i;
  std::int64_t number = 0;
  size_t digits = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i, ++digits) {
    if (digits == kMaxDigits) return std::nullopt;
    number = number * 10 + (text[i] - '0');
  }
  if (digits == 0 || i != text.size() || number == 0) return std::nullopt;
  return CellCoordinates{number - 1, letters_value - 1};
}

std::optional<CellArea> TryParseArea(std::string_view address, const SheetLimits& limits) {
  size_t colon = address.find(':');
  std::string_view first = address.substr(0, colon);
  std::string_view second = colon == std::string_view::npos ? first : address.substr(colon + 1);
  std::optional<CellCoordinates> a = ParseCellReference(first);
  std::optional<CellCoordinates> b = ParseCellReference(second);
  if (!a || !b) return std::nullopt;
  CellArea area{std::min(a->row, b->row), std::min(a->column, b->column), std::max(a->row, b->row),
                std::max(a->column, b->column)};
  if (!Within(area, limits)) return std::nullopt;
  return area;
}

CellArea ParseArea(std::string_view address, const SheetLimits& limits) {
  if (std::optional<CellArea> area = TryParseArea(address, limits)) return *area;
  // Tell a well-formed address beyond the sheet from one that is no address at all.
  if (TryParseArea(address, SheetLimits{INT64_MAX, INT64_MAX})) {
    throw WorkbookError("The address '" + std::string(address) + "' lies beyond the sheet's " +
                        std::to_string(limits.rows) + " rows and " +
                        std::to_string(limits.columns) + " columns");
  }
  throw WorkbookError("'" + std::string(address) + "' is not a cell address such as B2 or B2:D4");
}

std::string ColumnName(std::int64_t column) {
  std::string name;
  for (std::int64_t n = column + 1; n > 0; n = (n - 1) / 26) {
    name.insert(name.begin(), static_cast<char>('A' + (n - 1) % 26));
  }
  return name;
}

std::string CellName(std::int64_t row, std::int64_t column) {
  return ColumnName(column) + std::to_string(row + 1);
}

std::string AreaName(const CellArea& area) {
  std::string name = CellName(area.first_row, area.first_column);
  if (area.last_row != area.first_row || area.last_column != area.first_column) {
    name += ":" + CellName(area.last_row, area.last_column);
  }
  return name;
}

std::optional<SheetReference> SplitSheetReference(std::string_view text) {
  SheetReference reference;
  if (!text.empty() && text.front() == '\'') {
    size_t i = 1;
    for (;; ++i) {
      if (i >= text.size()) return std::nullopt;
      if (text[i] != '\'') {
        reference.sheet += text[i];
      } else if (i + 1 < text.size() && text[i + 1] == '\'') {
        reference.sheet += '\'';
        ++i;
      } else {
        break;
      }
    }
    if (i + 1 >= text.size() || text[i + 1] != '!') return std::nullopt;
    reference.address = text.substr(i + 2);
    return reference;
  }
  size_t bang = text.find('!');
  if (bang == std::string_view::npos || bang == 0) return std::nullopt;
  reference.sheet = std::string(text.substr(0, bang));
  reference.address = text.substr(bang + 1);
  return reference;
}

}  // namespace tarvex::workbook
