#include "workbook/openxml/sheet_table.h"

#include <bit>

#include "workbook/openxml/xml_scanner.h"

namespace tarvex::workbook::openxml {

SheetTable::SheetTable(std::string_view xml, std::string_view part, const SheetLimits& limits,
                       const std::vector<bool>* date_styles, const CellArea* only)
    : part_(part) {
  // A shared string is taken by index here and looked up by the read that wants it, which also
  // reports an index that the workbook lacks.
  static const std::string kNoText;
  bool shared = false;
  std::uint64_t shared_index = 0;
  CellContext context;
  context.date_styles = date_styles;
  context.shared_string = [&](std::uint64_t index) -> const std::string& {
    shared = true;
    shared_index = index;
    return kNoText;
  };
  XmlScanner scanner(xml, part);
  bool in_data = false, data_seen = false, in_cell = false, in_area = false, has_value = false,
       has_formula = false;
  std::vector<bool> row_seen(static_cast<size_t>(limits.rows));
  std::vector<std::int64_t> row_of_column(static_cast<size_t>(limits.columns), -1);
  std::int64_t row = -1, column = -1;
  std::string_view type, style;
  std::string text;
  size_t text_depth = 0, phonetic_depth = 0;
  using Token = XmlScanner::Token;
  try {
    for (Token token; (token = scanner.Next()) != Token::kEndOfDocument;) {
      const size_t depth = scanner.Depth();
      if (token == Token::kText) {
        if (in_area && depth == text_depth) scanner.AppendText(text);
        continue;
      }
      std::string_view name = scanner.LocalName();
      if (token == Token::kStart) {
        if (depth == 2 && name == "sheetData") {
          if (data_seen) {
            throw WorkbookError("The part " + std::string(part) + " holds a second sheetData");
          }
          in_data = data_seen = true;
        } else if (in_data && depth == 3 && name == "row") {
          row = RowOfElement(scanner, row, limits);
          if (row_seen[static_cast<size_t>(row)]) {
            throw WorkbookError("The row " + std::to_string(row + 1) + " of " + std::string(part) +
                                " appears twice");
          }
          row_seen[static_cast<size_t>(row)] = true;
          column = -1;
        } else if (in_data && depth == 4 && name == "c") {
          column = ColumnOfElement(scanner, row, column, limits);
          if (row_of_column[static_cast<size_t>(column)] == row) {
            throw WorkbookError("The cell " + CellName(row, column) + " of " + std::string(part) +
                                " appears twice");
          }
          row_of_column[static_cast<size_t>(column)] = row;
          in_cell = true;
          in_area =
              only == nullptr || (row >= only->first_row && row <= only->last_row &&
                                  column >= only->first_column && column <= only->last_column);
          if (in_area) {
            type = scanner.Attribute("t").value_or("");
            style = scanner.Attribute("s").value_or("");
            text.clear();
            has_value = has_formula = false;
          }
        } else if (in_cell && in_area) {
          if (depth == 5 && name == "v" && type != "inlineStr") {
            text_depth = depth;
            has_value = true;
          } else if (depth == 5 && name == "f") {
            has_formula = true;
          } else if (name == "rPh" && phonetic_depth == 0) {
            phonetic_depth = depth;
          } else if (name == "t" && phonetic_depth == 0 && type == "inlineStr") {
            text_depth = depth;
            has_value = true;
          }
        }
        continue;
      }
      if (depth == text_depth) text_depth = 0;
      if (depth == phonetic_depth) phonetic_depth = 0;
      if (in_cell && depth == 4) {
        in_cell = false;
        if (!in_area) continue;
        shared = false;
        try {
          // Converted first: the conversion tells whether the value is a shared string.
          const CellValue value =
              ConvertCell(type, style, text, has_value, has_formula, context, part, row, column);
          Add(row, column, value, shared, shared_index);
        } catch (const WorkbookError& failure) {
          texts_.emplace_back(failure.what());
          cells_.push_back({static_cast<std::uint32_t>(row), static_cast<std::uint16_t>(column),
                            Stored::kFailed, texts_.size() - 1});
        }
      } else if (depth == 2 && name == "sheetData") {
        in_data = false;
      }
    }
  } catch (const WorkbookError& failure) {
    damage_ = failure.what();
  }
}

void SheetTable::Add(std::int64_t row, std::int64_t column, const CellValue& value, bool shared,
                     std::uint64_t shared_index) {
  Cell cell{static_cast<std::uint32_t>(row), static_cast<std::uint16_t>(column), Stored::kNumber,
            std::bit_cast<std::uint64_t>(value.number)};
  switch (value.kind) {
    case CellKind::kEmpty:
      return;  // what a read gives a cell that the part lacks
    case CellKind::kNumber:
      break;
    case CellKind::kDate:
      cell.kind = Stored::kDate;
      break;
    case CellKind::kBoolean:
      cell.kind = Stored::kBoolean;
      break;
    case CellKind::kUncalculated:
      cell.kind = Stored::kUncalculated;
      break;
    case CellKind::kText:
    case CellKind::kError:
      if (shared) {
        cell.kind = Stored::kShared;
        cell.payload = shared_index;
        break;
      }
      cell.kind = value.kind == CellKind::kText ? Stored::kText : Stored::kError;
      texts_.push_back(value.text);
      cell.payload = texts_.size() - 1;
      break;
  }
  cells_.push_back(cell);
}

std::vector<CellValue> SheetTable::Read(const CellArea& area, const CellContext& context) const {
  const std::int64_t width = area.last_column - area.first_column + 1;
  std::vector<CellValue> cells(static_cast<size_t>((area.last_row - area.first_row + 1) * width));
  for (const Cell& cell : cells_) {
    if (cell.row < area.first_row || cell.row > area.last_row || cell.column < area.first_column ||
        cell.column > area.last_column) {
      continue;
    }
    CellValue& value = cells[static_cast<size_t>((cell.row - area.first_row) * width +
                                                 (cell.column - area.first_column))];
    switch (cell.kind) {
      case Stored::kNumber:
      case Stored::kDate:
      case Stored::kBoolean:
        value.kind = cell.kind == Stored::kNumber ? CellKind::kNumber
                     : cell.kind == Stored::kDate ? CellKind::kDate
                                                  : CellKind::kBoolean;
        value.number = std::bit_cast<double>(cell.payload);
        break;
      case Stored::kUncalculated:
        value.kind = CellKind::kUncalculated;
        break;
      case Stored::kText:
      case Stored::kError:
        value.kind = cell.kind == Stored::kText ? CellKind::kText : CellKind::kError;
        value.text = texts_[cell.payload];
        break;
      case Stored::kShared:
        value.kind = CellKind::kText;
        value.text = context.shared_string(cell.payload);
        break;
      case Stored::kFailed:
        throw WorkbookError(texts_[cell.payload]);
    }
  }
  if (damage_) throw WorkbookError(*damage_);
  return cells;
}

std::uint64_t SheetTable::Bytes() const {
  std::uint64_t bytes = cells_.capacity() * sizeof(Cell);
  for (const std::string& text : texts_) bytes += sizeof(std::string) + text.capacity();
  return bytes;
}

}  // namespace tarvex::workbook::openxml
