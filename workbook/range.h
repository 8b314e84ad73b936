// A range of cells on one sheet, as the workbook application's object model offers it: its value
// read as one value or a two-dimensional array, and numbers and texts written into it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/large_memory.h"
#include "workbook/format/workbook_file.h"

namespace tarvex::workbook {

// What Value gives: one value for a single cell, else an array of the range's rows and columns,
// each counted from 1.
class RangeValue {
 public:
  RangeValue(std::int64_t rows, std::int64_t columns, std::vector<CellValue> cells);

  bool IsArray() const { return rows_ * columns_ > 1; }
  std::int64_t RowCount() const { return rows_; }
  std::int64_t ColumnCount() const { return columns_; }
  // Row and column from 1; throws WorkbookError "Subscript out of range" outside.
  const CellValue& At(std::int64_t row, std::int64_t column) const;
  // The first cell: the value of a one-cell range.
  const CellValue& Single() const { return cells_.front(); }

 private:
  std::int64_t rows_, columns_;
  std::vector<CellValue> cells_;
};

// Numbers and texts to put into a range, by position from 1. A cell that is given no value keeps
// what it holds, its formula included.
class ValueBlock {
 public:
  // Throws WorkbookError when the block would not fit into memory.
  ValueBlock(std::int64_t rows, std::int64_t columns);

  std::int64_t RowCount() const { return rows_; }
  std::int64_t ColumnCount() const { return columns_; }
  // Row and column from 1; throw WorkbookError "Subscript out of range" outside. A later value
  // of a cell replaces the earlier one.
  void Set(std::int64_t row, std::int64_t column, double value);
  void SetText(std::int64_t row, std::int64_t column, std::string text);
  // The cell's value as a write into the sheet cell at (row, column) counted from 0, or nothing
  // for a cell that was given none. Its text stays the block's.
  std::optional<CellWrite> WriteAt(std::int64_t row, std::int64_t column, std::int64_t sheet_row,
                                   std::int64_t sheet_column) const;

 private:
  // kNoValue, kNumber, or the index of the cell's text.
  static constexpr std::int64_t kNoValue = -2;
  static constexpr std::int64_t kNumber = -1;
  struct Slot {
    double number = 0;
    std::int64_t kind = kNoValue;
  };
  size_t Offset(std::int64_t row, std::int64_t column) const;

  std::int64_t rows_, columns_;
  std::vector<Slot, platform::LargeAllocator<Slot>> slots_;
  std::vector<std::string> texts_;
};

class Range {
 public:
  // The range stays usable while its workbook is open; afterwards it fails.
  Range(std::weak_ptr<WorkbookFile> file, size_t sheet, const CellArea& area);

  std::int64_t RowCount() const { return area_.last_row - area_.first_row + 1; }
  std::int64_t ColumnCount() const { return area_.last_column - area_.first_column + 1; }
  std::int64_t Count() const { return RowCount() * ColumnCount(); }
  const CellArea& Area() const { return area_; }

  // The cells' values. Throws WorkbookError, before allocating, when they would not fit into
  // memory, and for a damaged sheet.
  RangeValue Value() const;

  // Every cell of the range takes the number.
  void SetValue(double value);
  // The block's values go into the cells at the same positions from the range's top-left cell;
  // cells without a value, and values outside the range, are left alone.
  void SetValue(const ValueBlock& block);

 private:
  std::shared_ptr<WorkbookFile> File() const;

  std::weak_ptr<WorkbookFile> file_;
  size_t sheet_;
  CellArea area_;
};

}  // namespace tarvex::workbook
