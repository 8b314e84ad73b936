// Ranges and their values: the limits checked and memory counted before any cell is read.
#include "workbook/range.h"

#include <algorithm>
#include <utility>

#include "platform/index_errors.h"
#include "workbook/format/address.h"
#include "workbook/format/memory_check.h"

namespace tarvex::workbook {

using platform::kSubscriptOutOfRange;

RangeValue::RangeValue(std::int64_t rows, std::int64_t columns, std::vector<CellValue> cells)
    : rows_(rows), columns_(columns), cells_(std::move(cells)) {}

const CellValue& RangeValue::At(std::int64_t row, std::int64_t column) const {
  if (row < 1 || row > rows_ || column < 1 || column > columns_) {
    throw WorkbookError(kSubscriptOutOfRange);
  }
  return cells_[static_cast<size_t>((row - 1) * columns_ + (column - 1))];
}

ValueBlock::ValueBlock(std::int64_t rows, std::int64_t columns) : rows_(rows), columns_(columns) {
  if (rows < 1 || columns < 1) throw WorkbookError(kSubscriptOutOfRange);
  CheckFitsInMemory(
      static_cast<std::uint64_t>(rows) * static_cast<std::uint64_t>(columns), sizeof(Slot),
      "A block of " + std::to_string(rows) + " x " + std::to_string(columns) + " values");
  slots_.resize(static_cast<size_t>(rows * columns));
}

size_t ValueBlock::Offset(std::int64_t row, std::int64_t column) const {
  if (row < 1 || row > rows_ || column < 1 || column > columns_) {
    throw WorkbookError(kSubscriptOutOfRange);
  }
  return static_cast<size_t>((row - 1) * columns_ + (column - 1));
}

void ValueBlock::Set(std::int64_t row, std::int64_t column, double value) {
  slots_[Offset(row, column)] = {value, kNumber};
}

void ValueBlock::SetText(std::int64_t row, std::int64_t column, std::string text) {
  Slot& slot = slots_[Offset(row, column)];
  texts_.push_back(std::move(text));
  slot = {0, static_cast<std::int64_t>(texts_.size() - 1)};
}

std::optional<CellWrite> ValueBlock::WriteAt(std::int64_t row, std::int64_t column,
                                             std::int64_t sheet_row,
                                             std::int64_t sheet_column) const {
  const Slot& slot = slots_[Offset(row, column)];
  if (slot.kind == kNoValue) return std::nullopt;
  const std::string* text =
      slot.kind == kNumber ? nullptr : &texts_[static_cast<size_t>(slot.kind)];
  return CellWrite{sheet_row, sheet_column, slot.number, text};
}

Range::Range(std::weak_ptr<WorkbookFile> file, size_t sheet, const CellArea& area)
    : file_(std::move(file)), sheet_(sheet), area_(area) {}

std::shared_ptr<WorkbookFile> Range::File() const {
  std::shared_ptr<WorkbookFile> file = file_.lock();
  if (!file) throw WorkbookError("The workbook of the range " + AreaName(area_) + " is closed");
  return file;
}

RangeValue Range::Value() const {
  std::shared_ptr<WorkbookFile> file = File();
  // Rows and columns are within the sheet's limits, so the count cannot overflow.
  CheckFitsInMemory(static_cast<std::uint64_t>(Count()), sizeof(CellValue),
                    "The range " + AreaName(area_));
  return RangeValue(RowCount(), ColumnCount(), file->ReadCells(sheet_, area_));
}

void Range::SetValue(double value) {
  ValueBlock block(RowCount(), ColumnCount());
  for (std::int64_t row = 1; row <= RowCount(); ++row) {
    for (std::int64_t column = 1; column <= ColumnCount(); ++column) block.Set(row, column, value);
  }
  SetValue(block);
}

void Range::SetValue(const ValueBlock& block) {
  std::shared_ptr<WorkbookFile> file = File();
  const std::int64_t rows = std::min(RowCount(), block.RowCount());
  const std::int64_t columns = std::min(ColumnCount(), block.ColumnCount());
  std::vector<CellWrite, platform::LargeAllocator<CellWrite>> writes;
  writes.reserve(static_cast<size_t>(rows * columns));
  for (std::int64_t row = 1; row <= rows; ++row) {
    for (std::int64_t column = 1; column <= columns; ++column) {
      if (std::optional<CellWrite> write = block.WriteAt(row, column, area_.first_row + row - 1,
                                                         area_.first_column + column - 1)) {
        writes.push_back(*write);
      }
    }
  }
  file->WriteNumbers(sheet_, writes);
}

}  // namespace tarvex::workbook
