#include "job/data_matrix.h"

#include <algorithm>
#include <limits>

namespace tarvex::job {

namespace {

size_t CheckedSize(Index rows, Index columns) {
  if (rows < 1 || columns < 1) throw Failure(kSubscriptOutOfRange);
  if (rows > std::numeric_limits<Index>::max() / columns ||
      static_cast<std::uint64_t>(rows * columns) > std::vector<double>().max_size()) {
    throw Failure("Out of memory");
  }
  return static_cast<size_t>(rows * columns);
}

}  // namespace

DataMatrix::DataMatrix(Index row_low, Index row_high, Index column_low, Index column_high)
    : has_dimensions_(true),
      row_low_(row_low),
      row_high_(row_high),
      column_low_(column_low),
      column_high_(column_high) {
  values_.resize(CheckedSize(row_high - row_low + 1, column_high - column_low + 1));
}

const DataMatrix& DataMatrix::Dimensioned() const {
  if (!has_dimensions_) throw Failure(kSubscriptOutOfRange);
  return *this;
}

size_t DataMatrix::Offset(Index row, Index column) const {
  if (!has_dimensions_ || row < row_low_ || row > row_high_ || column < column_low_ ||
      column > column_high_) {
    throw Failure(kSubscriptOutOfRange);
  }
  return static_cast<size_t>((row - row_low_) * (column_high_ - column_low_ + 1) +
                             (column - column_low_));
}

std::span<double> DataMatrix::Row(Index row) {
  return std::span<double>(values_).subspan(Offset(row, column_low_), ColumnCount());
}

std::span<const double> DataMatrix::Row(Index row) const {
  return std::span<const double>(values_).subspan(Offset(row, column_low_), ColumnCount());
}

BoundedVector::BoundedVector(Index low, Index high)
    : has_dimensions_(true), low_(low), high_(high) {
  values_.resize(CheckedSize(high - low + 1, 1));
}

Index BoundedVector::Low() const {
  if (!has_dimensions_) throw Failure(kSubscriptOutOfRange);
  return low_;
}

Index BoundedVector::High() const {
  if (!has_dimensions_) throw Failure(kSubscriptOutOfRange);
  return high_;
}

size_t BoundedVector::Offset(Index index) const {
  if (!has_dimensions_ || index < low_ || index > high_) throw Failure(kSubscriptOutOfRange);
  return static_cast<size_t>(index - low_);
}

BoundedVector Rebased(const BoundedVector& vector, Index low) {
  BoundedVector rebased(low, low + vector.High() - vector.Low());
  std::copy(vector.Values().begin(), vector.Values().end(), rebased.Values().begin());
  return rebased;
}

DataMatrix SelectRows(const DataMatrix& matrix, std::span<const Index> rows) {
  const Index first = matrix.RowLow();
  DataMatrix selected(first, first + static_cast<Index>(rows.size()) - 1, matrix.ColumnLow(),
                      matrix.ColumnHigh());
  for (size_t position = 0; position < rows.size(); ++position) {
    std::span<const double> row = matrix.Row(rows[position]);
    std::copy(row.begin(), row.end(), selected.Row(first + static_cast<Index>(position)).begin());
  }
  return selected;
}

}  // namespace tarvex::job
