#include "report/axis.h"

#include <cmath>

namespace tarvex::report {

double RoundStep(double span, double intervals) {
  const double raw = span / intervals;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double multiple : {1.0, 2.0, 5.0}) {
    if (raw <= multiple * power) return multiple * power;
  }
  return 10 * power;
}

double NearestRoundStep(double span, double intervals) {
  const double raw = span / intervals;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  double nearest = power;
  for (double multiple : {2.0, 5.0, 10.0}) {
    if (std::fabs(std::log(multiple * power / raw)) < std::fabs(std::log(nearest / raw))) {
      nearest = multiple * power;
    }
  }
  return nearest;
}

Axis Axis::Linear(double low, double high, bool whole) {
  if (low == high) {
    const double half = low == 0 ? 1 : std::fabs(low) / 2;
    low -= half;
    high += half;
  }
  Axis axis;
  double step = RoundStep(high - low, 5);
  if (whole && step < 1) step = 1;
  if (!std::isfinite(step) || step == 0) {
    // A range beyond what doubles subtract: its ends are its only ticks.
    axis.low_ = low;
    axis.high_ = high;
    axis.ticks_ = {low, high};
    return axis;
  }
  // Ticks as whole multiples of the step, so that no rounding adds up along the axis.
  const double first = std::floor(low / step), last = std::ceil(high / step);
  axis.low_ = first * step;
  axis.high_ = last * step;
  for (double k = first; k <= last; ++k) axis.ticks_.push_back(k * step);
  return axis;
}

Axis Axis::Logarithmic(double low, double high) {
  Axis axis;
  axis.logarithmic_ = true;
  const double bottom = std::floor(std::log10(low)), top = std::ceil(std::log10(high));
  std::vector<double> round;
  if (top - bottom > 3) {
    const double stride = std::ceil((top - bottom) / 8);  // at most about eight decades ticked
    for (double exponent = bottom; exponent <= top; exponent += stride) {
      round.push_back(std::pow(10.0, exponent));
    }
    if (round.back() < high) round.push_back(std::pow(10.0, std::log10(round.back()) + stride));
  } else {
    for (double exponent = bottom - 1; exponent <= top; ++exponent) {
      const double power = std::pow(10.0, exponent);
      for (double multiple : {1.0, 2.0, 5.0}) round.push_back(multiple * power);
    }
  }
  // The widest round number at or below low and the narrowest at or above high; an empty range
  // takes those on either side too.
  std::size_t first = 0, last = round.size() - 1;
  while (first + 1 < round.size() && round[first + 1] <= low) ++first;
  while (last > 0 && round[last - 1] >= high) --last;
  if (low == high && last - first < 2) {
    if (first > 0) --first;
    if (last + 1 < round.size()) ++last;
  }
  axis.low_ = round[first];
  axis.high_ = round[last];
  axis.ticks_.assign(round.begin() + static_cast<std::ptrdiff_t>(first),
                     round.begin() + static_cast<std::ptrdiff_t>(last) + 1);
  // A range within a factor of a few has too few such numbers; there the scale is nearly linear,
  // and a linear axis's round numbers tick it.
  if (axis.ticks_.size() < 3 && low < high) {
    const Axis linear = Linear(low, high);
    if (linear.Low() > 0) {
      axis.low_ = linear.Low();
      axis.high_ = linear.High();
      axis.ticks_ = linear.Ticks();
    }
  }
  return axis;
}

double Axis::Fraction(double value) const {
  if (logarithmic_) {
    if (!(value > 0)) return 0;
    return (std::log10(value) - std::log10(low_)) / (std::log10(high_) - std::log10(low_));
  }
  return (value - low_) / (high_ - low_);
}

}  // namespace tarvex::report
