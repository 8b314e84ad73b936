#include "workbook/openxml/sheet_table.h"

#include <algorithm>
#include <bit>
#include <iterator>
#include <optional>

#include "platform/parallel.h"
#include "workbook/openxml/xml_scanner.h"

namespace tarvex::workbook::openxml {

// The scan of the part into the table: one handler per element of the sheet's data. The plain
// cells that make up most of the data are taken whole by the scanner and handled as the same
// cell in tokens would be.
class SheetTable::Scan {
 public:
  // A scan whose scanner resumes inside the sheet's data (prefix: that of sheetData) takes the
  // data as begun and needs the number of its first row written.
  Scan(SheetTable& table, const XmlScanner& scanner, const SheetLimits& limits,
       const std::vector<bool>* date_styles, const CellArea* only, bool resumed = false,
       std::string_view prefix = {});
  // Where a scan of a piece ends: between two rows of the sheet's data.
  void StopAt(size_t position) { stop_ = position; }
  // Thrown by Run when a piece does not end where the next begins, or begins with a row whose
  // number follows from the row before.
  struct Misfit {};
  void Run();
  // The first and the last row met, by number (none: first above last).
  std::int64_t FirstRow() const { return first_row_; }
  std::int64_t LastRow() const { return last_row_; }

 private:
  using Token = XmlScanner::Token;
  void OnStart();
  void OnEnd();
  void OnSheetData();   // sheetData: only one
  void OnRow();         // row: its number, given once
  void OnCell();        // c: its column, given once in its row; type and style of a kept cell
  void OnValue();       // v: the value of a cell that is no inline string
  void OnFormula();     // f: a formula without a value is not calculated
  void OnPhonetic();    // rPh: the reading of an inline string is none of its text
  void OnInlineText();  // t: the text of an inline string
  void OnPlainCell();
  void OnCellEnd(std::string_view text);
  bool InArea() const {
    return only_ == nullptr || (row_ >= only_->first_row && row_ <= only_->last_row &&
                                column_ >= only_->first_column && column_ <= only_->last_column);
  }

  SheetTable& table_;
  std::string_view part_;
  SheetLimits limits_;
  const CellArea* only_;
  XmlScanner scanner_;
  CellContext context_;
  // A shared string is taken by index here and looked up by the read that wants it, which also
  // reports an index that the workbook lacks.
  bool shared_ = false;
  std::uint64_t shared_index_ = 0;

  bool in_data_ = false, data_seen_ = false;
  std::string prefix_;  // of sheetData, which its plain cells share
  std::vector<bool> row_seen_;
  std::vector<std::int64_t> row_of_column_;
  std::int64_t row_ = -1, column_ = -1;
  size_t stop_ = std::string_view::npos;
  bool needs_row_number_ = false;
  std::int64_t first_row_ = INT64_MAX, last_row_ = -1;

  // The current cell.
  bool in_cell_ = false, in_area_ = false, has_value_ = false, has_formula_ = false;
  std::string_view type_, style_;
  std::string text_;
  size_t text_depth_ = 0, phonetic_depth_ = 0;
};

SheetTable::Scan::Scan(SheetTable& table, const XmlScanner& scanner, const SheetLimits& limits,
                       const std::vector<bool>* date_styles, const CellArea* only, bool resumed,
                       std::string_view prefix)
    : table_(table),
      part_(scanner.part()),
      limits_(limits),
      only_(only),
      scanner_(scanner),
      in_data_(resumed),
      data_seen_(resumed),
      prefix_(prefix),
      row_seen_(static_cast<size_t>(limits.rows)),
      row_of_column_(static_cast<size_t>(limits.columns), -1),
      needs_row_number_(resumed) {
  static const std::string kNoText;
  context_.date_styles = date_styles;
  context_.shared_string = [this](std::uint64_t index) -> const std::string& {
    shared_ = true;
    shared_index_ = index;
    return kNoText;
  };
}

void SheetTable::Scan::Run() {
  for (;;) {
    if (stop_ != std::string_view::npos) {
      if (in_data_ && scanner_.StandsAt(stop_, 2)) return;
      if (scanner_.Position() >= stop_) throw Misfit{};
    }
    if (in_data_ && scanner_.NextPlainCell(prefix_, 4)) {
      OnPlainCell();
      continue;
    }
    const Token token = scanner_.Next();
    if (token == Token::kEndOfDocument) return;
    if (token == Token::kStart) {
      OnStart();
    } else if (token == Token::kEnd) {
      OnEnd();
    } else if (in_area_ && scanner_.Depth() == text_depth_) {
      scanner_.AppendText(text_);
    }
  }
}

void SheetTable::Scan::OnStart() {
  const size_t depth = scanner_.Depth();
  const std::string_view name = scanner_.LocalName();
  if (depth == 2 && name == "sheetData") {
    OnSheetData();
  } else if (in_data_ && depth == 3 && name == "row") {
    OnRow();
  } else if (in_data_ && depth == 4 && name == "c") {
    OnCell();
  } else if (!in_cell_ || !in_area_) {
    return;
  } else if (depth == 5 && name == "v" && type_ != "inlineStr") {
    OnValue();
  } else if (depth == 5 && name == "f") {
    OnFormula();
  } else if (name == "rPh" && phonetic_depth_ == 0) {
    OnPhonetic();
  } else if (name == "t" && phonetic_depth_ == 0 && type_ == "inlineStr") {
    OnInlineText();
  }
}

void SheetTable::Scan::OnSheetData() {
  if (data_seen_) {
    throw WorkbookError("The part " + std::string(part_) + " holds a second sheetData");
  }
  in_data_ = data_seen_ = true;
  prefix_ = scanner_.Prefix();
}

void SheetTable::Scan::OnRow() {
  if (needs_row_number_ && !scanner_.Attribute("r")) throw Misfit{};
  needs_row_number_ = false;
  row_ = RowOfElement(scanner_, row_, limits_);
  first_row_ = std::min(first_row_, row_);
  last_row_ = std::max(last_row_, row_);
  if (row_seen_[static_cast<size_t>(row_)]) {
    throw WorkbookError("The row " + std::to_string(row_ + 1) + " of " + std::string(part_) +
                        " appears twice");
  }
  row_seen_[static_cast<size_t>(row_)] = true;
  column_ = -1;
}

void SheetTable::Scan::OnCell() {
  std::optional<std::string_view> reference, type, style;
  for (const XmlAttribute& attribute : scanner_.Attributes()) {
    if (attribute.name == "r") reference = attribute.value;
    if (attribute.name == "t") type = attribute.value;
    if (attribute.name == "s") style = attribute.value;
  }
  column_ = ColumnNumber(reference, row_, column_, limits_, part_);
  if (row_of_column_[static_cast<size_t>(column_)] == row_) {
    throw WorkbookError("The cell " + CellName(row_, column_) + " of " + std::string(part_) +
                        " appears twice");
  }
  row_of_column_[static_cast<size_t>(column_)] = row_;
  in_cell_ = true;
  in_area_ = InArea();
  if (in_area_) {
    type_ = type.value_or("");
    style_ = style.value_or("");
    text_.clear();
    has_value_ = has_formula_ = false;
  }
}

void SheetTable::Scan::OnValue() {
  text_depth_ = scanner_.Depth();
  has_value_ = true;
}

void SheetTable::Scan::OnFormula() { has_formula_ = true; }

void SheetTable::Scan::OnPhonetic() { phonetic_depth_ = scanner_.Depth(); }

void SheetTable::Scan::OnInlineText() {
  text_depth_ = scanner_.Depth();
  has_value_ = true;
}

void SheetTable::Scan::OnPlainCell() {
  OnCell();
  in_cell_ = false;
  if (!in_area_) return;
  // A plain cell's value needs no decoding, so it is converted where it lies.
  has_value_ = scanner_.PlainHasValue() && type_ != "inlineStr";
  OnCellEnd(has_value_ ? scanner_.PlainValue() : std::string_view());
}

void SheetTable::Scan::OnEnd() {
  const size_t depth = scanner_.Depth();
  if (depth == text_depth_) text_depth_ = 0;
  if (depth == phonetic_depth_) phonetic_depth_ = 0;
  if (in_cell_ && depth == 4) {
    in_cell_ = false;
    if (in_area_) OnCellEnd(text_);
  } else if (depth == 2 && scanner_.LocalName() == "sheetData") {
    in_data_ = false;
  }
}

void SheetTable::Scan::OnCellEnd(std::string_view text) {
  shared_ = false;
  try {
    // Converted first: the conversion tells whether the value is a shared string.
    const CellValue value =
        ConvertCell(type_, style_, text, has_value_, has_formula_, context_, part_, row_, column_);
    table_.Add(row_, column_, value, shared_, shared_index_);
  } catch (const WorkbookError& failure) {
    table_.texts_.emplace_back(failure.what());
    table_.cells_.push_back({static_cast<std::uint32_t>(row_), static_cast<std::uint16_t>(column_),
                             Stored::kFailed, table_.texts_.size() - 1});
  }
}

SheetTable::SheetTable(std::string_view xml, std::string_view part, const SheetLimits& limits,
                       const std::vector<bool>* date_styles, const CellArea* only,
                       size_t minimum_piece)
    : part_(part) {
  if (ScanInPieces(xml, limits, date_styles, only, minimum_piece)) return;
  try {
    Scan(*this, XmlScanner(xml, part_), limits, date_styles, only).Run();
  } catch (const WorkbookError& failure) {
    damage_ = failure.what();
  }
}

bool SheetTable::ScanInPieces(std::string_view xml, const SheetLimits& limits,
                              const std::vector<bool>* date_styles, const CellArea* only,
                              size_t minimum_piece) {
  const size_t wanted = platform::PartsFor(xml.size(), minimum_piece);
  if (wanted < 2) return false;
  // The elements open inside the sheet's data, and where it begins.
  std::string_view open[2];
  size_t data_begin = 0;
  try {
    XmlScanner head(xml, part_);
    for (XmlScanner::Token token; data_begin == 0;) {
      token = head.Next();
      if (token == XmlScanner::Token::kEndOfDocument) return false;
      if (token != XmlScanner::Token::kStart || head.Depth() > 2) continue;
      open[head.Depth() - 1] = head.Name();
      if (head.Depth() == 2 && head.LocalName() == "sheetData") {
        if (head.IsEmptyElement()) return false;
        data_begin = head.TokenEnd();
      }
    }
  } catch (const WorkbookError&) {
    return false;  // the scan from the start says what is wrong
  }
  const std::string_view prefix = open[1].substr(0, open[1].size() - 9);  // before "sheetData"
  const std::string row_tag = "<" + std::string(prefix) + "row";
  // Each piece begins with a row's start tag; a cut that lands in a comment or such makes the
  // piece before it miss its end, which the scan of that piece finds.
  std::vector<size_t> starts = {0};
  for (size_t piece = 1; piece < wanted; ++piece) {
    size_t at =
        std::max(data_begin + (xml.size() - data_begin) / wanted * piece, starts.back() + 1);
    for (at = xml.find(row_tag, at); at != std::string_view::npos; at = xml.find(row_tag, at + 1)) {
      const char after = at + row_tag.size() < xml.size() ? xml[at + row_tag.size()] : '\0';
      if (after == ' ' || after == '>' || after == '/' || after == '\t' || after == '\r' ||
          after == '\n') {
        break;
      }
    }
    if (at == std::string_view::npos) break;
    starts.push_back(at);
  }
  if (starts.size() < 2) return false;
  std::vector<SheetTable> pieces(starts.size(), SheetTable(part_));
  std::vector<char> fitted(starts.size(), 0);
  std::vector<std::pair<std::int64_t, std::int64_t>> rows(starts.size());
  platform::RunInParallel(starts.size(), [&](size_t piece) {
    const XmlScanner scanner =
        piece == 0 ? XmlScanner(xml, part_) : XmlScanner(xml, part_, starts[piece], open);
    Scan scan(pieces[piece], scanner, limits, date_styles, only, piece > 0, prefix);
    if (piece + 1 < starts.size()) scan.StopAt(starts[piece + 1]);
    try {
      scan.Run();
      fitted[piece] = 1;
      rows[piece] = {scan.FirstRow(), scan.LastRow()};
    } catch (const WorkbookError&) {
    } catch (const Scan::Misfit&) {
    }
  });
  // Rows in ascending order from piece to piece: no row can be in two pieces.
  for (size_t piece = 0; piece < starts.size(); ++piece) {
    if (!fitted[piece] || (piece > 0 && rows[piece].first <= rows[piece - 1].second)) return false;
  }
  for (SheetTable& piece : pieces) Append(std::move(piece));
  return true;
}

void SheetTable::Append(SheetTable&& piece) {
  const std::uint64_t offset = texts_.size();
  if (cells_.empty()) {
    cells_ = std::move(piece.cells_);
  } else {
    const size_t first = cells_.size();
    cells_.insert(cells_.end(), piece.cells_.begin(), piece.cells_.end());
    for (size_t i = first; i < cells_.size(); ++i) {
      const Stored kind = cells_[i].kind;
      if (kind == Stored::kText || kind == Stored::kError || kind == Stored::kFailed) {
        cells_[i].payload += offset;
      }
    }
  }
  std::move(piece.texts_.begin(), piece.texts_.end(), std::back_inserter(texts_));
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
