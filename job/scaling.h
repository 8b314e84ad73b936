// Moving values into the small range that the activation function works in, and back: the range
// table, the per-column minimum and maximum of a loaded matrix, and the one linear mapping.
#pragma once

#include "job/job_settings.h"

namespace tarvex::job {

// The scaling range of the job's af in the activation table; 0..0 for a code outside it.
double GetScaleLow(const JobSettings& job);
double GetScaleHigh(const JobSettings& job);

// Per-column minimum and maximum, with the matrix's own column bounds.
void ComputeInputRanges(JobSettings& job, const DataMatrix& matrix);
void ComputeOutputRanges(JobSettings& job, const DataMatrix& matrix);
void ComputeColumnRanges(const DataMatrix& matrix, BoundedVector& minimum, BoundedVector& maximum);

// A column that cannot be scaled: its values span more than the largest number, or one of them
// lies so far outside the range it is scaled with that its scaled value is not finite.
class ScalingOverflow : public Failure {
 public:
  ScalingOverflow(Index column, bool span);
  Index column() const { return column_; }  // from 1

 private:
  Index column_;
};

// Scales every value in place, column by column: the column's maximum to low, its minimum to
// high, as Rescale does. Throws ScalingOverflow when a column cannot be scaled.
void ScaleColumns(DataMatrix& matrix, const BoundedVector& minimum, const BoundedVector& maximum,
                  double low, double high);

// Maps from_a to to_a and from_b to to_b linearly. Equal bounds on either side give to_a, which
// keeps constant columns harmless. Throws Failure ("Overflow") instead of returning an infinite
// or undefined result.
double Rescale(double value, double from_a, double from_b, double to_a, double to_b);

// Rescale for many values of one column: the differences of the bounds are taken once (the same
// doubles Rescale computes each time), and the caller checks the results for finiteness.
class ColumnRescaler {
 public:
  // Throws Failure ("Overflow") when a difference of the bounds is not finite.
  ColumnRescaler(double from_a, double from_b, double to_a, double to_b);

  // Possibly infinite or NaN where Rescale would fail.
  double Unchecked(double value) const {
    if (constant_) return to_a_;
    // In exactly this order, so that results match to the last bit wherever they are computed.
    return (value - from_a_) / from_span_ * to_span_ + to_a_;
  }

 private:
  bool constant_;
  double from_a_, from_span_, to_a_, to_span_;
};

}  // namespace tarvex::job
