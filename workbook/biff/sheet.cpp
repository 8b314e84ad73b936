// Walking a sheet substream and reading the values of an area's cells from its cell records.
#include "workbook/biff/sheet.h"

#include <array>

#include "platform/large_memory.h"
#include "platform/little_endian.h"

namespace tarvex::workbook::biff {

using platform::ReadF64;
using platform::ReadU16;
using platform::ReadU32;

namespace {

constexpr std::uint8_t kStringResult = 0;
constexpr std::uint8_t kBooleanResult = 1;
constexpr std::uint8_t kErrorResult = 2;
constexpr std::uint8_t kEmptyTextResult = 3;

size_t MinimumCellSize(std::uint16_t type) {
  switch (type) {
    case kNumber:
      return 14;
    case kRk:
    case kLabelSst:
      return 10;
    case kLabel:
    case kRString:
      return 9;
    case kBoolErr:
      return 8;
    case kFormula:
      return 20;
    case kMulRk:
    case kMulBlank:
      return 8;
    default:
      return 6;
  }
}

// Fills the values of one area from the sheet's cell records.
class AreaReader {
 public:
  AreaReader(const Globals& globals, const CellArea& area)
      : globals_(globals),
        area_(area),
        columns_(static_cast<size_t>(area.last_column - area.first_column + 1)) {
    platform::ResizeLarge(cells_,
                          static_cast<size_t>(area.last_row - area.first_row + 1) * columns_);
  }

  void Read(const Record& record) {
    switch (record.type) {
      case kString:
        if (string_cell_) string_parts_ = {record.data};
        return;
      case kContinue:
        if (!string_parts_.empty()) string_parts_.push_back(record.data);
        return;
      case kArray:
      case kShrFmla:
      case kTable:
        return;  // these may stand between a formula and its STRING record
      default:
        break;
    }
    FinishString();
    switch (record.type) {
      case kNumber:
        if (CellValue* cell = Cell(record)) {
          SetNumber(*cell, ReadF64(record.data, kCellValue), ReadU16(record.data, kCellStyle));
        }
        break;
      case kRk:
        if (CellValue* cell = Cell(record)) {
          SetNumber(*cell, RkNumber(ReadU32(record.data, kCellValue)),
                    ReadU16(record.data, kCellStyle));
        }
        break;
      case kMulRk:
        MultipleRk(record);
        break;
      case kLabelSst:
        SharedString(record);
        break;
      case kLabel:
      case kRString:
        if (CellValue* cell = Cell(record)) {
          size_t at = kLabelText;
          cell->kind = CellKind::kText;
          cell->text = ReadCharacters(record.data, at, ReadU16(record.data, kLabelSize));
        }
        break;
      case kBoolErr:
        BooleanOrError(record);
        break;
      case kFormula:
        Formula(record);
        break;
      case kBlank:
      case kMulBlank:
        CellRecordPosition(record);  // checks the limits; the cell stays empty
        break;
      default:
        break;
    }
  }

  std::vector<CellValue> Finish() {
    FinishString();
    return std::move(cells_);
  }

 private:
  CellValue* At(std::uint16_t row, std::uint16_t column) {
    if (row < area_.first_row || row > area_.last_row || column < area_.first_column ||
        column > area_.last_column) {
      return nullptr;
    }
    return &cells_[static_cast<size_t>(row - area_.first_row) * columns_ +
                   static_cast<size_t>(column - area_.first_column)];
  }

  CellValue* Cell(const Record& record) {
    CellPosition position = CellRecordPosition(record);
    return At(position.row, position.first_column);
  }

  bool IsDateStyle(std::uint16_t style) const {
    return style < globals_.date_styles.size() && globals_.date_styles[style];
  }

  void SetNumber(CellValue& cell, double number, std::uint16_t style) {
    cell.kind = IsDateStyle(style) ? CellKind::kDate : CellKind::kNumber;
    cell.number = number;
  }

  void MultipleRk(const Record& record) {
    CellPosition position = CellRecordPosition(record);
    if (position.row < area_.first_row || position.row > area_.last_row) return;
    for (std::uint16_t column = position.first_column; column <= position.last_column; ++column) {
      if (CellValue* cell = At(position.row, column)) {
        size_t at = kMulCells + 6 * static_cast<size_t>(column - position.first_column);
        SetNumber(*cell, RkNumber(ReadU32(record.data, at + 2)), ReadU16(record.data, at));
      }
    }
  }

  void SharedString(const Record& record) {
    CellValue* cell = Cell(record);
    if (!cell) return;
    std::uint32_t index = ReadU32(record.data, kCellValue);
    if (index >= globals_.strings.size()) {
      Damaged("the cell record at byte " + std::to_string(record.offset) +
              " refers to shared string " + std::to_string(index) + " of only " +
              std::to_string(globals_.strings.size()));
    }
    cell->kind = CellKind::kText;
    cell->text = globals_.strings[index];
  }

  void BooleanOrError(const Record& record) {
    CellValue* cell = Cell(record);
    if (!cell) return;
    std::uint8_t value = static_cast<std::uint8_t>(record.data[kBoolErrValue]);
    if (record.data[kBoolErrIsError] != 0) {
      cell->kind = CellKind::kError;
      cell->text = ErrorText(value);
    } else {
      cell->kind = CellKind::kBoolean;
      cell->number = value != 0 ? 1 : 0;
    }
  }

  void Formula(const Record& record) {
    CellValue* cell = Cell(record);
    if (!cell) return;
    std::string_view data = record.data;
    // A cached result that is not a number is marked by 0xFFFF in its last two bytes.
    if (ReadU16(data, kFormulaResultMark) != 0xFFFF) {
      SetNumber(*cell, ReadF64(data, kFormulaResult), ReadU16(data, kCellStyle));
      return;
    }
    std::uint8_t kind = static_cast<std::uint8_t>(data[kFormulaResult]);
    std::uint8_t value = static_cast<std::uint8_t>(data[kFormulaOtherValue]);
    *cell = CellValue{};
    if (kind == kStringResult || kind == kEmptyTextResult) {
      cell->kind = CellKind::kText;
      if (kind == kStringResult) string_cell_ = cell;
    } else if (kind == kBooleanResult) {
      cell->kind = CellKind::kBoolean;
      cell->number = value != 0 ? 1 : 0;
    } else if (kind == kErrorResult) {
      cell->kind = CellKind::kError;
      cell->text = ErrorText(value);
    }
  }

  // The STRING record after a formula, with its CONTINUE records, holds the formula's text.
  void FinishString() {
    if (string_parts_.empty()) {
      string_cell_ = nullptr;
      return;
    }
    ContinuedData data(std::move(string_parts_));
    string_parts_.clear();
    size_t count = data.U16();
    bool wide = (data.U8() & 0x01) != 0;
    if (string_cell_) {
      string_cell_->text.clear();
      data.AppendCharacters(string_cell_->text, count, wide);
    }
    string_cell_ = nullptr;
  }

  const Globals& globals_;
  CellArea area_;
  size_t columns_;
  std::vector<CellValue> cells_;
  CellValue* string_cell_ = nullptr;
  std::vector<std::string_view> string_parts_;
};

}  // namespace

SheetCursor::SheetCursor(std::string_view stream, size_t offset)
    : stream_(stream), offset_(offset) {
  CheckBof(ReadRecord(stream_, offset_), kWorksheet);
}

bool SheetCursor::Next(Record& record) {
  if (depth_ < 0) return false;
  if (offset_ >= stream_.size()) Damaged("a sheet ends before its EOF record");
  record = ReadRecord(stream_, offset_);
  CheckContinue(record, previous_);
  if (record.type != kContinue) previous_ = record.type;
  offset_ = record.end();
  if (record.type == kBof) {
    ++depth_;
  } else if (record.type == kEof && --depth_ == 0) {
    depth_ = -1;  // the sheet's own EOF: this is the last record
    return true;
  }
  return true;
}

bool IsCellRecord(std::uint16_t type) {
  switch (type) {
    case kNumber:
    case kRk:
    case kMulRk:
    case kLabelSst:
    case kLabel:
    case kRString:
    case kBlank:
    case kMulBlank:
    case kBoolErr:
    case kFormula:
      return true;
    default:
      return false;
  }
}

CellPosition CellRecordPosition(const Record& record) {
  RequireSize(record, MinimumCellSize(record.type));
  CellPosition position;
  position.row = ReadU16(record.data, kCellRow);
  position.first_column = position.last_column = ReadU16(record.data, kCellColumn);
  if (record.type == kMulRk || record.type == kMulBlank) {
    size_t each = record.type == kMulRk ? 6 : 2;
    size_t count = (record.data.size() - 6) / each;
    if ((record.data.size() - 6) % each != 0 ||
        ReadU16(record.data, record.data.size() - 2) + 1u != position.first_column + count) {
      Damaged("the cell record at byte " + std::to_string(record.offset) +
              " does not match its column count");
    }
    position.last_column = static_cast<std::uint16_t>(position.first_column + count - 1);
  }
  if (position.last_column >= kColumnLimit) {
    Damaged("the cell record at byte " + std::to_string(record.offset) + " lies outside " +
            kLimitsText);
  }
  return position;
}

double RkNumber(std::uint32_t rk) {
  double number;
  if (rk & 0x02) {
    number = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
  } else {
    number = std::bit_cast<double>(static_cast<std::uint64_t>(rk & 0xFFFFFFFC) << 32);
  }
  return (rk & 0x01) ? number / 100 : number;
}

std::string ErrorText(std::uint8_t code) {
  switch (code) {
    case 0x00:
      return "#NULL!";
    case 0x07:
      return "#DIV/0!";
    case 0x0F:
      return "#VALUE!";
    case 0x17:
      return "#REF!";
    case 0x1D:
      return "#NAME?";
    case 0x24:
      return "#NUM!";
    case 0x2B:
      return "#GETTING_DATA";
    default:
      return "#N/A";
  }
}

std::vector<CellValue> ReadSheetCells(std::string_view stream, const Globals& globals,
                                      size_t offset, const CellArea& area) {
  AreaReader reader(globals, area);
  SheetCursor cursor(stream, offset);
  Record record;
  while (cursor.Next(record)) {
    if (cursor.depth() == 1) reader.Read(record);
  }
  return reader.Finish();
}

}  // namespace tarvex::workbook::biff
