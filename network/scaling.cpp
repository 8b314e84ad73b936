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

ColumnRescaler::ColumnRescaler(double from_a, double from_b, double to_a, double to_b)
    : constant_(to_a == to_b || from_a == from_b),
      from_a_(from_a),
      from_span_(constant_ ? 1 : Finite(from_b - from_a)),
      to_a_(to_a),
      to_span_(constant_ ? 0 : Finite(to_b - to_a)) {}

double Rescale(double value, double from_a, double from_b, double to_a, double to_b) {
  ColumnRescaler rescaler(from_a, from_b, to_a, to_b);
  // An infinite difference value - from_a leaves an infinite or undefined result as well.
  return Finite(rescaler.Unchecked(value));
}

}  // namespace tarvex
