// The data matrix and the bounded vector: arrays that keep their own lower and upper index per
// dimension. Text and direct values give lower bound 0, workbooks and databases 1, and callers
// rely on every access being checked against those bounds.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "job/failure.h"
#include "job/messages.h"
#include "platform/large_memory.h"

namespace tarvex::job {

using Index = std::int64_t;

// A two-dimensional matrix of doubles, first index the row, second the column; stored row-major
// in one block. A matrix that was never given dimensions has none, and asking for them fails.
class DataMatrix {
 public:
  DataMatrix() = default;
  // Fails with "Subscript out of range" when a dimension would be empty.
  DataMatrix(Index row_low, Index row_high, Index column_low, Index column_high);

  bool HasDimensions() const { return has_dimensions_; }
  Index RowLow() const { return Dimensioned().row_low_; }
  Index RowHigh() const { return Dimensioned().row_high_; }
  Index ColumnLow() const { return Dimensioned().column_low_; }
  Index ColumnHigh() const { return Dimensioned().column_high_; }
  Index RowCount() const { return RowHigh() - RowLow() + 1; }
  Index ColumnCount() const { return ColumnHigh() - ColumnLow() + 1; }

  double& At(Index row, Index column) { return values_[Offset(row, column)]; }
  double At(Index row, Index column) const { return values_[Offset(row, column)]; }
  // One whole row, first column first.
  std::span<double> Row(Index row);
  std::span<const double> Row(Index row) const;
  // Every value, row by row.
  std::span<double> Values() { return values_; }
  std::span<const double> Values() const { return values_; }

 private:
  const DataMatrix& Dimensioned() const;
  size_t Offset(Index row, Index column) const;

  bool has_dimensions_ = false;
  Index row_low_ = 0, row_high_ = -1, column_low_ = 0, column_high_ = -1;
  std::vector<double, platform::LargeAllocator<double>> values_;
};

// A one-dimensional array of doubles with its own bounds.
class BoundedVector {
 public:
  BoundedVector() = default;
  BoundedVector(Index low, Index high);

  bool HasDimensions() const { return has_dimensions_; }
  Index Low() const;
  Index High() const;
  double& At(Index index) { return values_[Offset(index)]; }
  double At(Index index) const { return values_[Offset(index)]; }
  std::span<double> Values() { return values_; }
  std::span<const double> Values() const { return values_; }

 private:
  size_t Offset(Index index) const;

  bool has_dimensions_ = false;
  Index low_ = 0, high_ = -1;
  std::vector<double> values_;
};

// The same values with their indices moved to start at low.
BoundedVector Rebased(const BoundedVector& vector, Index low);

// The given rows of a matrix, in the given order, as a matrix of its own that starts at the
// matrix's first row index and keeps its column bounds.
DataMatrix SelectRows(const DataMatrix& matrix, std::span<const Index> rows);

}  // namespace tarvex::job
