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

NumberBlock::NumberBlock(std::int64_t rows, std::int64_t columns) : rows_(rows), columns_(columns) {
  if (rows < 1 || columns < 1) throw WorkbookError(kSubscriptOutOfRange);
  CheckFitsInMemory(
      static_cast<std::uint64_t>(rows) * static_cast<std::uint64_t>(columns),
      sizeof(std::optional<double>),
      "A block of " + std::to_string(rows) + " x " + std::to_string(columns) + " numbers");
  numbers_.resize(static_cast<size_t>(rows * columns));
}

size_t NumberBlock::Offset(std::int64_t row, std::int64_t column) const {
  if (row < 1 || row > rows_ || column < 1 || column > columns_) {
    throw WorkbookError(kSubscriptOutOfRange);
  }
  return static_cast<size_t>((row - 1) * columns_ + (column - 1));
}

void NumberBlock::Set(std::int64_t row, std::int64_t column, double value) {
  numbers_[Offset(row, column)] = value;
}

const std::optional<double>& NumberBlock::At(std::int64_t row, std::int64_t column) const {
  return numbers_[Offset(row, column)];
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
  NumberBlock block(RowCount(), ColumnCount());
  for (std::int64_t row = 1; row <= RowCount(); ++row) {
    for (std::int64_t column = 1; column <= ColumnCount(); ++column) block.Set(row, column, value);
  }
  SetValue(block);
}

void Range::SetValue(const NumberBlock& block) {
  std::shared_ptr<WorkbookFile> file = File();
  const std::int64_t rows = std::min(RowCount(), block.RowCount());
  const std::int64_t columns = std::min(ColumnCount(), block.ColumnCount());
  std::vector<CellWrite, platform::LargeAllocator<CellWrite>> writes;
  writes.reserve(static_cast<size_t>(rows * columns));
  for (std::int64_t row = 1; row <= rows; ++row) {
    for (std::int64_t column = 1; column <= columns; ++column) {
      if (const std::optional<double>& number = block.At(row, column)) {
        writes.push_back({area_.first_row + row - 1, area_.first_column + column - 1, *number});
      }
    }
  }
  file->WriteNumbers(sheet_, writes);
}

}  // namespace tarvex::workbook
