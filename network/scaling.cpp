#include "network/scaling.h"

#include <cmath>

namespace tarvex {

namespace {

struct ScaleRange {
  double low;
  double high;
};

ScaleRange RangeFor(std::int16_t af) {
  switch (af) {
    case 0:
    case 3:
      return {-0.4, 0.4};
    case 1:
    case 4:
      return {0.1, 0.9};
    case 2:
    case 5:
      return {-0.9, 0.9};
    default:
      return {0, 0};
  }
}

void ComputeRanges(const DataMatrix& matrix, BoundedVector& minimum, BoundedVector& maximum) {
  BoundedVector new_minimum(matrix.ColumnLow(), matrix.ColumnHigh());
  BoundedVector new_maximum(matrix.ColumnLow(), matrix.ColumnHigh());
  std::span<double> low = new_minimum.Values();
  std::span<double> high = new_maximum.Values();
  std::span<const double> first = matrix.Row(matrix.RowLow());
  std::copy(first.begin(), first.end(), low.begin());
  std::copy(first.begin(), first.end(), high.begin());
  // Rows outer, columns inner: each column still sees its values in row order, so the result is
  // the same as walking column by column, without striding through the whole matrix per column.
  for (Index row = matrix.RowLow(); row <= matrix.RowHigh(); ++row) {
    std::span<const double> values = matrix.Row(row);
    for (size_t j = 0; j < values.size(); ++j) {
      if (values[j] < low[j]) low[j] = values[j];
      if (values[j] > high[j]) high[j] = values[j];
    }
  }
  minimum = std::move(new_minimum);
  maximum = std::move(new_maximum);
}

double Finite(double value) {
  if (!std::isfinite(value)) throw Failure(kOverflow);
  return value;
}

}  // namespace

double GetScaleLow(const JobSettings& job) { return RangeFor(job.af).low; }
double GetScaleHigh(const JobSettings& job) { return RangeFor(job.af).high; }

void ComputeInputRanges(JobSettings& job, const DataMatrix& matrix) {
  ComputeRanges(matrix, job.TrainingInputMin, job.TrainingInputMax);
}

void ComputeOutputRanges(JobSettings& job, const DataMatrix& matrix) {
  ComputeRanges(matrix, job.TrainingOutputMin, job.TrainingOutputMax);
}

double Rescale(double value, double from_a, double from_b, double to_a, double to_b) {
  if (to_a == to_b) return to_a;
  if (from_a == from_b) return to_a;
  // In exactly this order, so that results match to the last bit wherever they are computed.
  double quotient = Finite(value - from_a) / Finite(from_b - from_a);
  return Finite(Finite(quotient * Finite(to_b - to_a)) + to_a);
}

}  // namespace tarvex
