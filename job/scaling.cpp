#include "job/scaling.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>
#include <vector>

#include "job/activation_table.h"
#include "job/failure.h"
#include "job/messages.h"
#include "platform/parallel.h"

namespace tarvex::job {

namespace {

// Minimum and maximum of each column over rows [first, last), strict comparisons, starting from
// the first row's values.
void RangesOfRows(const DataMatrix& matrix, Index first, Index last, std::span<double> low,
                  std::span<double> high) {
  std::span<const double> start = matrix.Row(first);
  std::copy(start.begin(), start.end(), low.begin());
  std::copy(start.begin(), start.end(), high.begin());
  for (Index row = first; row < last; ++row) {
    std::span<const double> values = matrix.Row(row);
    for (size_t j = 0; j < values.size(); ++j) {
      if (values[j] < low[j]) low[j] = values[j];
      if (values[j] > high[j]) high[j] = values[j];
    }
  }
}

}  // namespace

void ComputeColumnRanges(const DataMatrix& matrix, BoundedVector& minimum, BoundedVector& maximum) {
  BoundedVector new_minimum(matrix.ColumnLow(), matrix.ColumnHigh());
  BoundedVector new_maximum(matrix.ColumnLow(), matrix.ColumnHigh());
  // Rows outer, columns inner, in parts of rows whose results are combined in row order with the
  // same strict comparisons: each column still sees its values in row order, so the result is
  // that of walking column by column from the first row.
  const size_t width = static_cast<size_t>(matrix.ColumnCount());
  const Index rows = matrix.RowCount();
  const size_t parts = platform::PartsFor(static_cast<size_t>(rows) * width, 1 << 20);
  std::vector<double> lows(parts * width), highs(parts * width);
  platform::RunInParallel(parts, [&](size_t part) {
    Index first = matrix.RowLow() + rows * static_cast<Index>(part) / static_cast<Index>(parts);
    Index last = matrix.RowLow() + rows * static_cast<Index>(part + 1) / static_cast<Index>(parts);
    RangesOfRows(matrix, first, last, std::span(lows).subspan(part * width, width),
                 std::span(highs).subspan(part * width, width));
  });
  std::span<double> low = new_minimum.Values();
  std::span<double> high = new_maximum.Values();
  std::copy_n(lows.begin(), width, low.begin());
  std::copy_n(highs.begin(), width, high.begin());
  for (size_t part = 1; part < parts; ++part) {
    for (size_t j = 0; j < width; ++j) {
      if (lows[part * width + j] < low[j]) low[j] = lows[part * width + j];
      if (highs[part * width + j] > high[j]) high[j] = highs[part * width + j];
    }
  }
  minimum = std::move(new_minimum);
  maximum = std::move(new_maximum);
}

namespace {

double Finite(double value) {
  if (!std::isfinite(value)) throw Failure(kOverflow);
  return value;
}

}  // namespace

double GetScaleLow(const JobSettings& job) {
  const Activation* activation = FindActivation(job.af);
  return activation != nullptr ? activation->scale_low : 0;
}

double GetScaleHigh(const JobSettings& job) {
  const Activation* activation = FindActivation(job.af);
  return activation != nullptr ? activation->scale_high : 0;
}

void ComputeInputRanges(JobSettings& job, const DataMatrix& matrix) {
  ComputeColumnRanges(matrix, job.TrainingInputMin, job.TrainingInputMax);
}

void ComputeOutputRanges(JobSettings& job, const DataMatrix& matrix) {
  ComputeColumnRanges(matrix, job.TrainingOutputMin, job.TrainingOutputMax);
}

ColumnRescaler::ColumnRescaler(double from_a, double from_b, double to_a, double to_b)
    : constant_(to_a == to_b || from_a == from_b),
      from_a_(from_a),
      from_span_(constant_ ? 1 : Finite(from_b - from_a)),
      to_a_(to_a),
      to_span_(constant_ ? 0 : Finite(to_b - to_a)) {}

ScalingOverflow::ScalingOverflow(Index column, bool span)
    : Failure(std::string(kOverflow) + ": " +
              (span ? "the values of column " + std::to_string(column) +
                          " span more than the largest number, so they cannot be scaled"
                    : "a value of column " + std::to_string(column) +
                          " lies too far outside the range it is scaled with")),
      column_(column) {}

void ScaleColumns(DataMatrix& matrix, const BoundedVector& minimum, const BoundedVector& maximum,
                  double low, double high) {
  std::vector<ColumnRescaler> columns;
  for (Index j = matrix.ColumnLow(); j <= matrix.ColumnHigh(); ++j) {
    const double column_max = maximum.At(j), column_min = minimum.At(j);
    try {
      columns.emplace_back(column_max, column_min, low, high);
    } catch (const Failure&) {
      throw ScalingOverflow(j - matrix.ColumnLow() + 1, true);
    }
  }
  // Rows in parts of their own: each value depends on its column's range alone.
  const size_t width = columns.size();
  const size_t rows = static_cast<size_t>(matrix.RowCount());
  const size_t parts = platform::PartsFor(rows * width, 1 << 20);
  std::vector<char> finite(parts, 1);
  platform::RunInParallel(parts, [&](size_t part) {
    std::span<double> values = matrix.Values().subspan(
        rows * part / parts * width, (rows * (part + 1) / parts - rows * part / parts) * width);
    bool all_finite = true;
    for (size_t start = 0; start < values.size(); start += width) {
      for (size_t j = 0; j < width; ++j) {
        double scaled = columns[j].Unchecked(values[start + j]);
        all_finite &= std::isfinite(scaled);
        values[start + j] = scaled;
      }
    }
    finite[part] = all_finite;
  });
  if (std::find(finite.begin(), finite.end(), 0) != finite.end()) {
    const std::span<const double> values = matrix.Values();
    const auto first = std::find_if(values.begin(), values.end(),
                                    [](double value) { return !std::isfinite(value); });
    throw ScalingOverflow(static_cast<Index>(std::distance(values.begin(), first)) %
                                  static_cast<Index>(std::max<size_t>(width, 1)) +
                              1,
                          false);
  }
}

double Rescale(double value, double from_a, double from_b, double to_a, double to_b) {
  ColumnRescaler rescaler(from_a, from_b, to_a, to_b);
  // An infinite difference value - from_a leaves an infinite or undefined result as well.
  return Finite(rescaler.Unchecked(value));
}

}  // namespace tarvex::job
