// The axes of the report's charts: a range of values mapped onto a length, linearly or on a
// logarithmic scale, widened to round numbers and ticked at round numbers, so that a reader can
// take a value off the chart.
#pragma once

#include <vector>

namespace tarvex::report {

class Axis {
 public:
  // An axis over low..high (low <= high, both finite), widened to multiples of its tick step:
  // 1, 2 or 5 times a power of ten, giving about five intervals. With whole, the step is at least
  // 1 (counts of rows). An empty range is widened around its value.
  static Axis Linear(double low, double high, bool whole = false);
  // A logarithmic axis over low..high (0 < low <= high): widened to 1, 2 or 5 times a power of
  // ten and ticked there, or at powers of ten alone when the range spans more than three decades;
  // a range too narrow for three such ticks is widened and ticked as a linear axis would be.
  static Axis Logarithmic(double low, double high);

  double Low() const { return low_; }
  double High() const { return high_; }
  bool IsLogarithmic() const { return logarithmic_; }
  const std::vector<double>& Ticks() const { return ticks_; }
  // Where value lies from Low (0) to High (1). On a logarithmic axis a value of 0 or less, which
  // the scale cannot show, lies at 0.
  double Fraction(double value) const;

 private:
  double low_ = 0, high_ = 1;
  bool logarithmic_ = false;
  std::vector<double> ticks_;
};

// The round step, 1, 2 or 5 times a power of ten, at or above span / intervals.
double RoundStep(double span, double intervals);
// The round step nearest to span / intervals, on a logarithmic scale.
double NearestRoundStep(double span, double intervals);

}  // namespace tarvex::report
