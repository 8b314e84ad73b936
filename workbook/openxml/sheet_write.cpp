// Writing numbers and texts into a worksheet part by splicing its text: cells replaced or added in
// place, the rest kept byte for byte.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

#include "platform/markup_text.h"
#include "workbook/openxml/sheet.h"

namespace tarvex::workbook::openxml {

namespace {

// Shortest text that reads back as the same double.
void AppendNumber(platform::LargeText& out, double value) {
  if (value == 0) value = 0;  // no "-0"
  char buffer[32];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, end);
}

// A text goes in as an inline string, which needs no change to the shared-strings part: its type
// attribute (with the space before it) and its content; a number has no type and its value.
void AppendType(platform::LargeText& out, const CellWrite& write) {
  if (write.text != nullptr) out += " t=\"inlineStr\"";
}

void AppendContent(platform::LargeText& out, std::string_view prefix, const CellWrite& write) {
  const auto element = [&](std::string_view name, bool end) {
    out += end ? "</" : "<";
    out += prefix;
    out += name;
  };
  if (write.text == nullptr) {
    element("v", false);
    out += '>';
    AppendNumber(out, write.value);
    element("v", true);
    out += '>';
    return;
  }
  const std::string_view text = *write.text;
  element("is", false);
  out += '>';
  element("t", false);
  // Readers drop spaces at either end of a text unless they are told to keep them.
  const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  const bool edge_space = !text.empty() && (space(text.front()) || space(text.back()));
  out += edge_space ? " xml:space=\"preserve\">" : ">";
  out += platform::MarkupEscaped(text);
  element("t", true);
  out += '>';
  element("is", true);
  out += '>';
}

// The value of an attribute as it lies in the text: [begin, end).
size_t ValueBegin(const XmlAttribute& attribute) {
  return attribute.end - 1 - attribute.value.size();
}

struct ColumnStyle {
  std::int64_t first = 0, last = 0;  // 0-based columns
  std::string style;
};

// A formula that covers more than its own cell: an array formula, a data table, or the master
// of a shared formula (the only cell of a shared formula that holds its text).
struct FormulaArea {
  CellArea area;
  std::string kind;
};

// Splices the new text into a copy of the part: text up to a point is copied once, and the
// pieces the edit replaces are skipped.
class Splice {
 public:
  Splice(std::string_view xml, size_t new_cells) : xml_(xml) {
    out_.reserve(xml.size() + new_cells * kBytesPerNewCell);
  }
  platform::LargeText& out() { return out_; }
  void CopyTo(size_t position) {
    out_.append(xml_, copied_, position - copied_);
    copied_ = position;
  }
  void SkipTo(size_t position) { copied_ = position; }
  void Replace(size_t begin, size_t end, std::string_view with) {
    CopyTo(begin);
    out_ += with;
    SkipTo(end);
  }
  platform::LargeText Take() {
    CopyTo(xml_.size());
    return std::move(out_);
  }

 private:
  std::string_view xml_;
  platform::LargeText out_;
  size_t copied_ = 0;
};

class SheetWriter {
 public:
  SheetWriter(std::string_view xml, std::string_view part, std::string_view sheet,
              const SheetLimits& limits, std::span<const CellWrite> writes)
      : xml_(xml),
        part_(part),
        sheet_(sheet),
        limits_(limits),
        writes_(writes),
        splice_(xml, writes.size()) {}

  SheetEdit Run();

 private:
  // The start of an element, handed to the handler of its kind.
  void OnStart(XmlScanner& scanner);
  void OnSheetChild(XmlScanner& scanner, std::string_view name);  // dimension, cols, sheetData
  void OnColumn(const XmlScanner& scanner);                       // col: its style
  void OnRow(XmlScanner& scanner);
  void OnCell(XmlScanner& scanner);
  void OnPlainCell(XmlScanner& scanner);      // a cell the scanner took whole
  void OnFormula(const XmlScanner& scanner);  // f: the areas that cannot take values
  void OnEnd(XmlScanner& scanner);
  bool RowHasWrites(std::int64_t row) const {
    return next_ < writes_.size() && writes_[next_].row == row;
  }
  std::string StyleForNewCell(std::int64_t column) const;
  void CheckWritable(std::int64_t row, std::int64_t column) const;
  void EmitNewCell(const CellWrite& write);
  void EmitCellsBefore(std::int64_t row, std::int64_t column);
  void EmitRowsBefore(std::int64_t row);
  void WidenDimension(const XmlScanner& scanner);
  void WidenSpans(const XmlScanner& scanner);
  void RewriteCell(const XmlScanner& end_of_cell);

  std::string_view xml_, part_, sheet_;
  SheetLimits limits_;
  std::span<const CellWrite> writes_;  // in row, then column order, one per cell
  size_t next_ = 0;                    // the first write not done yet
  Splice splice_;
  bool formula_replaced_ = false;

  std::string prefix_;  // the namespace prefix of the sheet's elements, with its colon
  std::vector<ColumnStyle> column_styles_;
  std::vector<FormulaArea> formula_areas_;
  bool in_cols_ = false, in_data_ = false, data_seen_ = false;

  std::int64_t row_ = -1, column_ = -1;
  bool row_written_ = false;  // the current row has cells to write
  std::string row_name_, row_style_;

  // The current cell.
  bool cell_written_ = false, cell_has_formula_ = false;
  std::string cell_name_;
  std::vector<XmlAttribute> cell_attributes_;
  size_t cell_begin_ = 0, extension_begin_ = 0, extension_end_ = 0;
  std::optional<FormulaArea> cell_master_;
};

std::string SheetWriter::StyleForNewCell(std::int64_t column) const {
  // A new cell looks like its row when the row has a format of its own, else like its column.
  if (!row_style_.empty()) return row_style_;
  for (const ColumnStyle& style : column_styles_) {
    if (column >= style.first && column <= style.last) return style.style;
  }
  return {};
}

void SheetWriter::CheckWritable(std::int64_t row, std::int64_t column) const {
  for (const FormulaArea& formula : formula_areas_) {
    const CellArea& a = formula.area;
    if (row >= a.first_row && row <= a.last_row && column >= a.first_column &&
        column <= a.last_column) {
      throw WorkbookError("The cell " + CellName(row, column) + " of sheet '" +
                          std::string(sheet_) + "' lies in the " + formula.kind + " " +
                          AreaName(a) + " and cannot take a value of its own");
    }
  }
}

void SheetWriter::EmitNewCell(const CellWrite& write) {
  CheckWritable(write.row, write.column);
  platform::LargeText& out = splice_.out();
  out += '<';
  out += prefix_;
  out += "c r=\"";
  out += CellName(write.row, write.column);
  out += '"';
  if (std::string style = StyleForNewCell(write.column); !style.empty()) {
    out += " s=\"";
    out += style;
    out += '"';
  }
  AppendType(out, write);
  out += '>';
  AppendContent(out, prefix_, write);
  out += "</";
  out += prefix_;
  out += "c>";
}

void SheetWriter::EmitCellsBefore(std::int64_t row, std::int64_t column) {
  while (next_ < writes_.size() && writes_[next_].row == row && writes_[next_].column < column) {
    EmitNewCell(writes_[next_++]);
  }
}

void SheetWriter::EmitRowsBefore(std::int64_t row) {
  while (next_ < writes_.size() && writes_[next_].row < row) {
    const std::int64_t new_row = writes_[next_].row;
    row_style_.clear();
    platform::LargeText& out = splice_.out();
    out += '<' + prefix_ + "row r=\"" + std::to_string(new_row + 1) + "\">";
    EmitCellsBefore(new_row, limits_.columns);
    out += "</" + prefix_ + "row>";
  }
}

void SheetWriter::WidenDimension(const XmlScanner& scanner) {
  const XmlAttribute* reference = scanner.FindAttribute("ref");
  if (reference == nullptr || writes_.empty()) return;
  std::optional<CellArea> area = TryParseArea(reference->value, limits_);
  if (!area) return;
  for (const CellWrite& write : writes_) {
    area->first_row = std::min(area->first_row, write.row);
    area->last_row = std::max(area->last_row, write.row);
    area->first_column = std::min(area->first_column, write.column);
    area->last_column = std::max(area->last_column, write.column);
  }
  splice_.Replace(ValueBegin(*reference), reference->end - 1, AreaName(*area));
}

void SheetWriter::WidenSpans(const XmlScanner& scanner) {
  const XmlAttribute* spans = scanner.FindAttribute("spans");
  if (spans == nullptr) return;
  // "1:4" or "1:4 6:9", 1-based columns; widened to one span over all and the new cells.
  std::int64_t first = INT64_MAX, last = 0;
  std::string_view text = spans->value;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find(' ', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view span = text.substr(at, end - at);
    size_t colon = span.find(':');
    std::int64_t a = 0, b = 0;
    if (colon == std::string_view::npos ||
        std::from_chars(span.data(), span.data() + colon, a).ec != std::errc() ||
        std::from_chars(span.data() + colon + 1, span.data() + span.size(), b).ec != std::errc()) {
      return;  // not a span list: left as it is, it is only a hint
    }
    first = std::min(first, a);
    last = std::max(last, b);
    at = end + 1;
  }
  std::int64_t new_first = first, new_last = last;
  for (size_t i = next_; i < writes_.size() && writes_[i].row == row_; ++i) {
    new_first = std::min(new_first, writes_[i].column + 1);
    new_last = std::max(new_last, writes_[i].column + 1);
  }
  if (new_first == first && new_last == last) return;
  splice_.Replace(ValueBegin(*spans), spans->end - 1,
                  std::to_string(new_first) + ":" + std::to_string(new_last));
}

void SheetWriter::OnStart(XmlScanner& scanner) {
  const size_t depth = scanner.Depth();
  std::string_view name = scanner.LocalName();
  if (depth == 2) {
    OnSheetChild(scanner, name);
  } else if (in_cols_ && depth == 3 && name == "col") {
    OnColumn(scanner);
  } else if (!in_data_) {
    return;
  } else if (depth == 3 && name == "row") {
    OnRow(scanner);
  } else if (depth == 4 && name == "c") {
    OnCell(scanner);
  } else if (depth == 5 && name == "f") {
    OnFormula(scanner);
  } else if (depth == 5 && name == "extLst" && cell_written_) {
    extension_begin_ = scanner.TokenBegin();
  }
}

void SheetWriter::OnSheetChild(XmlScanner& scanner, std::string_view name) {
  if (name == "dimension") {
    WidenDimension(scanner);
  } else if (name == "cols") {
    in_cols_ = true;
  } else if (name == "sheetData") {
    data_seen_ = true;
    prefix_ = scanner.Prefix();
    if (scanner.IsEmptyElement()) {
      // <sheetData/> becomes <sheetData>rows</sheetData>.
      splice_.CopyTo(scanner.TokenEnd() - 2);
      splice_.out() += '>';
      EmitRowsBefore(limits_.rows);
      splice_.out() += "</" + std::string(scanner.Name()) + ">";
      splice_.SkipTo(scanner.TokenEnd());
    } else {
      in_data_ = true;
    }
  }
}

void SheetWriter::OnColumn(const XmlScanner& scanner) {
  std::int64_t first = 0, last = 0;
  std::string_view min = scanner.Attribute("min").value_or("");
  std::string_view max = scanner.Attribute("max").value_or("");
  std::string_view style = scanner.Attribute("style").value_or("");
  if (!style.empty() &&
      std::from_chars(min.data(), min.data() + min.size(), first).ec == std::errc() &&
      std::from_chars(max.data(), max.data() + max.size(), last).ec == std::errc()) {
    column_styles_.push_back({first - 1, last - 1, std::string(style)});
  }
}

void SheetWriter::OnRow(XmlScanner& scanner) {
  const std::int64_t row = RowOfElement(scanner, row_, limits_);
  if (row <= row_) {
    throw WorkbookError("The rows of " + std::string(part_) + " are out of order (row " +
                        std::to_string(row + 1) + " after row " + std::to_string(row_ + 1) + ")");
  }
  splice_.CopyTo(scanner.TokenBegin());
  EmitRowsBefore(row);
  row_ = row;
  column_ = -1;
  std::erase_if(formula_areas_,
                [row](const FormulaArea& formula) { return formula.area.last_row < row; });
  row_written_ = RowHasWrites(row);
  if (!row_written_) return;
  row_name_ = scanner.Name();
  std::string_view custom = scanner.Attribute("customFormat").value_or("");
  row_style_ = (custom == "1" || custom == "true") ? scanner.Attribute("s").value_or("") : "";
  WidenSpans(scanner);
  if (scanner.IsEmptyElement()) {
    // <row .../> becomes <row ...>cells</row>; its end token then closes nothing more.
    splice_.CopyTo(scanner.TokenEnd() - 2);
    splice_.out() += '>';
    EmitCellsBefore(row, limits_.columns);
    splice_.out() += "</" + row_name_ + ">";
    splice_.SkipTo(scanner.TokenEnd());
    row_written_ = false;
    row_style_.clear();
  }
}

void SheetWriter::OnCell(XmlScanner& scanner) {
  const std::int64_t column = ColumnOfElement(scanner, row_, column_, limits_);
  if (column <= column_) {
    throw WorkbookError("The cells of row " + std::to_string(row_ + 1) + " of " +
                        std::string(part_) + " are out of order");
  }
  column_ = column;
  cell_has_formula_ = false;
  cell_master_.reset();
  if (row_written_) {
    splice_.CopyTo(scanner.TokenBegin());
    EmitCellsBefore(row_, column);
  }
  cell_written_ = row_written_ && next_ < writes_.size() && writes_[next_].row == row_ &&
                  writes_[next_].column == column;
  if (cell_written_) {
    cell_name_ = scanner.Name();
    cell_attributes_ = scanner.Attributes();
    cell_begin_ = scanner.TokenBegin();
    extension_begin_ = extension_end_ = 0;
  }
}

void SheetWriter::OnPlainCell(XmlScanner& scanner) {
  OnCell(scanner);
  if (!cell_written_) return;
  // It holds no formula and no extension: rewritten at once.
  RewriteCell(scanner);
  cell_written_ = false;
}

void SheetWriter::OnFormula(const XmlScanner& scanner) {
  cell_has_formula_ = true;
  std::string_view kind = scanner.Attribute("t").value_or("");
  std::optional<std::string_view> reference = scanner.Attribute("ref");
  if (!reference) return;
  std::optional<CellArea> area = TryParseArea(*reference, limits_);
  if (!area) return;
  if (kind == "array") {
    formula_areas_.push_back({*area, "array formula"});
  } else if (kind == "dataTable") {
    formula_areas_.push_back({*area, "data table"});
  } else if (kind == "shared") {
    cell_master_ = FormulaArea{*area, "shared formula"};
  }
}

void SheetWriter::RewriteCell(const XmlScanner& end_of_cell) {
  if (cell_master_) {
    throw WorkbookError("The cell " + CellName(row_, column_) + " of sheet '" +
                        std::string(sheet_) + "' holds the " + cell_master_->kind + " of " +
                        AreaName(cell_master_->area) + ", which other cells use");
  }
  CheckWritable(row_, column_);
  platform::LargeText& out = splice_.out();
  out += '<';
  out += cell_name_;
  for (const XmlAttribute& attribute : cell_attributes_) {
    // The type, cell metadata and value metadata described the old content.
    if (attribute.name == "t" || attribute.name == "cm" || attribute.name == "vm") continue;
    out += ' ';
    out.append(xml_.substr(attribute.begin, attribute.end - attribute.begin));
  }
  const std::string_view prefix = std::string_view(cell_name_).substr(0, cell_name_.size() - 1);
  AppendType(out, writes_[next_]);
  out += '>';
  AppendContent(out, prefix, writes_[next_]);
  if (extension_end_ > extension_begin_) {
    out.append(xml_.substr(extension_begin_, extension_end_ - extension_begin_));
  }
  out += "</";
  out += cell_name_;
  out += '>';
  splice_.SkipTo(end_of_cell.TokenEnd());
  formula_replaced_ |= cell_has_formula_;
  ++next_;
}

void SheetWriter::OnEnd(XmlScanner& scanner) {
  const size_t depth = scanner.Depth();
  if (depth == 2) {
    if (scanner.LocalName() == "cols") in_cols_ = false;
    if (in_data_ && scanner.LocalName() == "sheetData") {
      splice_.CopyTo(scanner.TokenBegin());
      EmitRowsBefore(limits_.rows);
      in_data_ = false;
    }
    return;
  }
  if (!in_data_) return;
  if (depth == 5 && cell_written_ && scanner.LocalName() == "extLst") {
    extension_end_ = scanner.TokenEnd();
  } else if (depth == 4 && cell_written_) {
    RewriteCell(scanner);
    cell_written_ = false;
  } else if (depth == 3 && row_written_) {
    splice_.CopyTo(scanner.TokenBegin());
    EmitCellsBefore(row_, limits_.columns);
    row_written_ = false;
    row_style_.clear();
  }
}

SheetEdit SheetWriter::Run() {
  XmlScanner scanner(xml_, part_);
  using Token = XmlScanner::Token;
  for (;;) {
    if (in_data_ && scanner.NextPlainCell(prefix_, 4)) {
      OnPlainCell(scanner);
      continue;
    }
    const Token token = scanner.Next();
    if (token == Token::kEndOfDocument) break;
    if (token == Token::kStart) {
      OnStart(scanner);
    } else if (token == Token::kEnd) {
      OnEnd(scanner);
    }
  }
  if (!data_seen_) throw WorkbookError("The part " + std::string(part_) + " holds no sheet data");
  SheetEdit edit;
  edit.xml = splice_.Take();
  edit.formula_replaced = formula_replaced_;
  return edit;
}

}  // namespace

SheetEdit WriteSheetNumbers(std::string_view xml, std::string_view part, std::string_view sheet,
                            const SheetLimits& limits, std::span<const CellWrite> writes) {
  for (const CellWrite& write : writes) {
    if (write.text == nullptr && !std::isfinite(write.value)) {
      throw WorkbookError("The value for cell " + CellName(write.row, write.column) +
                          " is not a finite number");
    }
  }
  auto before = [](const CellWrite& a, const CellWrite& b) {
    return a.row != b.row ? a.row < b.row : a.column < b.column;
  };
  auto same_cell = [](const CellWrite& a, const CellWrite& b) {
    return a.row == b.row && a.column == b.column;
  };
  // A range writes its cells in order already; only other callers pay for a sorted copy.
  const bool ordered =
      std::adjacent_find(writes.begin(), writes.end(), [&](const CellWrite& a, const CellWrite& b) {
        return !before(a, b);
      }) == writes.end();
  if (ordered) return SheetWriter(xml, part, sheet, limits, writes).Run();
  std::vector<CellWrite> sorted(writes.begin(), writes.end());
  std::stable_sort(sorted.begin(), sorted.end(), before);
  // Of two writes into one cell the later wins, as if they were done one after the other.
  std::vector<CellWrite> unique;
  for (const CellWrite& write : sorted) {
    if (!unique.empty() && same_cell(unique.back(), write)) {
      unique.back() = write;
    } else {
      unique.push_back(write);
    }
  }
  return SheetWriter(xml, part, sheet, limits, unique).Run();
}

}  // namespace tarvex::workbook::openxml
