// Reading the cells of an area from a worksheet part's text, without building a tree.
#include <charconv>
#include <cmath>

#include "workbook/openxml/sheet.h"
#include "workbook/openxml/sheet_table.h"

namespace tarvex::workbook::openxml {

namespace {

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view TrimXmlSpace(std::string_view text) {
  while (!text.empty() && IsXmlSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsXmlSpace(text.back())) text.remove_suffix(1);
  return text;
}

// text: trimmed already.
bool ParseDouble(std::string_view text, double& value) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

bool ParseDigits(std::string_view text, size_t at, size_t count, int& value) {
  if (at + count > text.size()) return false;
  value = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

// Days from 1970-01-01 to the civil date (proleptic Gregorian calendar).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const unsigned year_of_era = static_cast<unsigned>(year - era * 400);
  const unsigned day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + static_cast<std::int64_t>(day_of_era) - 719468;
}

// An ISO 8601 date or date and time of a t="d" cell as the workbook's serial number (days since
// 1899-12-30, the fraction the time of day). False when the text is no such date.
bool ParseIsoDate(std::string_view text, double& serial) {
  text = TrimXmlSpace(text);
  int year, month, day, hour = 0, minute = 0, second = 0;
  if (!ParseDigits(text, 0, 4, year) || text.size() < 10 || text[4] != '-' || text[7] != '-' ||
      !ParseDigits(text, 5, 2, month) || !ParseDigits(text, 8, 2, day) || month < 1 || month > 12 ||
      day < 1 || day > 31) {
    return false;
  }
  if (text.size() > 10) {
    if (text[10] != 'T' || text.size() < 19 || text[13] != ':' || text[16] != ':' ||
        !ParseDigits(text, 11, 2, hour) || !ParseDigits(text, 14, 2, minute) ||
        !ParseDigits(text, 17, 2, second)) {
      return false;
    }
  }
  constexpr std::int64_t kEpochOffset = 25569;  // 1970-01-01 as a serial number
  serial = static_cast<double>(
               DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
               kEpochOffset) +
           (hour * 3600 + minute * 60 + second) / 86400.0;
  return true;
}

[[noreturn]] void BadCell(std::string_view part, std::int64_t row, std::int64_t column,
                          std::string_view value, std::string_view what) {
  throw WorkbookError("The cell " + CellName(row, column) + " of " + std::string(part) +
                      " holds '" + std::string(value) + "', which is not " + std::string(what));
}

}  // namespace

CellValue ConvertCell(std::string_view type, std::string_view style, std::string_view text,
                      bool has_value, bool has_formula, const CellContext& context,
                      std::string_view part, std::int64_t row, std::int64_t column) {
  CellValue cell;
  // A formula written by a program that does not calculate has no result; it is unknown, not 0.
  // (An empty value of a string formula is its result, the empty text.)
  if (has_formula && (!has_value || (type != "str" && TrimXmlSpace(text).empty()))) {
    cell.kind = CellKind::kUncalculated;
  } else if (type.empty() || type == "n") {
    const std::string_view number = TrimXmlSpace(text);
    if (!has_value || number.empty()) return cell;
    if (!ParseDouble(number, cell.number)) BadCell(part, row, column, text, "a number");
    size_t format = 0;
    auto [end, error] = std::from_chars(style.data(), style.data() + style.size(), format);
    const bool dated = !style.empty() && error == std::errc() && context.date_styles != nullptr &&
                       format < context.date_styles->size() && (*context.date_styles)[format];
    cell.kind = dated ? CellKind::kDate : CellKind::kNumber;
  } else if (type == "s") {
    if (!has_value) return cell;
    std::uint64_t index = 0;
    std::string_view digits = TrimXmlSpace(text);
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
    if (error != std::errc() || end != digits.data() + digits.size()) {
      BadCell(part, row, column, text, "a shared-string index");
    }
    cell.kind = CellKind::kText;
    cell.text = context.shared_string(index);
  } else if (type == "str" || type == "inlineStr") {
    cell.kind = CellKind::kText;
    cell.text = text;
  } else if (type == "b") {
    std::string_view flag = TrimXmlSpace(text);
    if (flag != "0" && flag != "1" && flag != "true" && flag != "false") {
      BadCell(part, row, column, text, "a boolean");
    }
    cell.kind = CellKind::kBoolean;
    cell.number = (flag == "1" || flag == "true") ? 1 : 0;
  } else if (type == "e") {
    cell.kind = CellKind::kError;
    cell.text = TrimXmlSpace(text);
  } else if (type == "d") {
    if (!has_value) return cell;
    if (!ParseIsoDate(text, cell.number)) BadCell(part, row, column, text, "a date");
    cell.kind = CellKind::kDate;
  } else {
    throw WorkbookError("The cell " + CellName(row, column) + " of " + std::string(part) +
                        " has the unknown type '" + std::string(type) + "'");
  }
  return cell;
}

std::int64_t RowNumber(std::optional<std::string_view> reference, std::int64_t previous_row,
                       const SheetLimits& limits, std::string_view part, size_t position) {
  std::int64_t row = previous_row + 1;
  if (reference) {
    std::string_view digits = TrimXmlSpace(*reference);
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), row);
    if (error != std::errc() || end != digits.data() + digits.size() || row < 1) {
      ThrowNotWellFormed(part, "the row number '" + std::string(*reference) + "' is none",
                         position);
    }
    --row;
  }
  if (row >= limits.rows) {
    throw WorkbookError("The row " + std::to_string(row + 1) + " of " + std::string(part) +
                        " lies beyond the sheet's " + std::to_string(limits.rows) + " rows");
  }
  return row;
}

std::int64_t ColumnNumber(std::optional<std::string_view> reference, std::int64_t row,
                          std::int64_t previous_column, const SheetLimits& limits,
                          std::string_view part) {
  if (!reference) {
    if (previous_column + 1 >= limits.columns) {
      throw WorkbookError("A cell in row " + std::to_string(row + 1) + " of " + std::string(part) +
                          " lies beyond the sheet's " + std::to_string(limits.columns) +
                          " columns");
    }
    return previous_column + 1;
  }
  std::optional<CellCoordinates> position = ParseCellReference(*reference);
  if (!position) {
    throw WorkbookError("'" + std::string(*reference) + "' in " + std::string(part) +
                        " is not a cell reference");
  }
  const auto [cell_row, column] = *position;
  if (cell_row >= limits.rows || column >= limits.columns) {
    throw WorkbookError("The cell reference '" + std::string(*reference) + "' in " +
                        std::string(part) + " lies beyond the sheet's " +
                        std::to_string(limits.rows) + " rows and " +
                        std::to_string(limits.columns) + " columns");
  }
  if (cell_row != row) {
    throw WorkbookError("The cell " + std::string(*reference) + " of " + std::string(part) +
                        " stands in row " + std::to_string(row + 1));
  }
  return column;
}

std::vector<CellValue> ReadSheetCells(std::string_view xml, std::string_view part,
                                      const SheetLimits& limits, const CellArea& area,
                                      const CellContext& context) {
  return SheetTable(xml, part, limits, context.date_styles, &area).Read(area, context);
}

}  // namespace tarvex::workbook::openxml
