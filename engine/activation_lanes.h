// The activation functions and their derivatives, written once for a single double and both
// forms of Lanes, so that a value gets the same bits whichever computes it; inlined into loops.
#pragma once

#include <bit>
#include <cstdint>

#include "engine/activation.h"
#include "engine/lanes.h"

namespace tarvex::engine {

// The arguments for which Exp gives e^x; outside them 2^k no longer fits the exponent field.
inline constexpr double kExpLowest = -708.0;
inline constexpr double kExpHighest = 709.0;

// x 2^k, for the k held in the low bits of shifted = 1.5 x 2^52 + k, where x and the result are
// normal numbers: k is added to the exponent field, which gives the product's bits exactly, one
// integer addition (a cycle) in place of the multiplication (four) at the end of Exp's chain.
[[gnu::always_inline]] constexpr double ScaledByPowerOfTwo(double x, double shifted) {
  return std::bit_cast<double>(std::bit_cast<std::uint64_t>(x) +
                               (std::bit_cast<std::uint64_t>(shifted) << 52));
}
[[gnu::always_inline]] inline Lanes ScaledByPowerOfTwo(Lanes x, Lanes shifted) {
  // A cast between vector types of one size reinterprets the bits.
  return (Lanes)((LaneWords)x + ((LaneWords)shifted << 52));
}
[[gnu::always_inline]] inline LanePair ScaledByPowerOfTwo(LanePair x, LanePair shifted) {
  return {(HalfLanes)((HalfLaneWords)x.low + ((HalfLaneWords)shifted.low << 52)),
          (HalfLanes)((HalfLaneWords)x.high + ((HalfLaneWords)shifted.high << 52))};
}

// e^x for x in [kExpLowest, kExpHighest], our own so that the activations are the same bits
// with every C library and vectorise: x = k ln2 + r with |r| <= ln2/2, e^r by its Taylor series
// to r^13 (truncation below 1e-17 relative), times 2^k. Within 2 ulps of e^x (the engine test
// checks the bound against std::exp).
template <typename T>
[[gnu::always_inline]] constexpr T Exp(T x) {
  constexpr double kInverseLn2 = 0x1.71547652b82fep0;
  constexpr double kShift = 0x1.8p52;  // adding it rounds to an integer held in the low bits
  constexpr double kLn2High = 0x1.62e42fee00000p-1;  // k x kLn2High is exact for |k| < 2^20
  constexpr double kLn2Low = 0x1.a39ef35793c76p-33;
  const T shifted = x * kInverseLn2 + kShift;
  const T k = shifted - kShift;
  const T r = (x - k * kLn2High) - k * kLn2Low;
  // Estrin's scheme: chains of four multiplications and additions after r instead of one of
  // thirteen of each, since the activations sit on the critical path of every training step.
  // e^r - 1 is summed first and 1 added last, so that only that addition rounds at the size of
  // the result.
  const T r2 = r * r;
  const T r4 = r2 * r2;
  const T r8 = r4 * r4;
  const T p23 = 1.0 / 2 + r * (1.0 / 6);
  const T p45 = 1.0 / 24 + r * (1.0 / 120);
  const T p67 = 1.0 / 720 + r * (1.0 / 5040);
  const T p89 = 1.0 / 40320 + r * (1.0 / 362880);
  const T p1011 = 1.0 / 3628800 + r * (1.0 / 39916800);
  const T p1213 = 1.0 / 479001600 + r * (1.0 / 6227020800);
  const T p1to7 = (r + r2 * p23) + r4 * (p45 + r2 * p67);
  const T p8to13 = (p89 + r2 * p1011) + r4 * p1213;
  // e^r lies in [0.7, 1.42] and k in [-1021, 1023], so e^r x 2^k stays a normal number.
  return ScaledByPowerOfTwo(1.0 + (p1to7 + r8 * p8to13), shifted);
}

// The logistic and tanh formulas, for x in [-700, 40] and [-20, 20]; outside, e^x leaves the
// range that Exp serves and what they give means nothing. tanh x = 1 - 2 / (e^2x + 1).
template <typename T>
[[gnu::always_inline]] constexpr T LogisticFormula(T x) {
  return 1.0 / (1.0 + Exp(-x));
}
template <typename T>
[[gnu::always_inline]] constexpr T TanhFormula(T x) {
  return 1.0 - 2.0 / (Exp(2.0 * x) + 1.0);
}

// Past 40 the logistic is 1 to the last bit; below -700 it is taken as that of -700 (about
// 1e-304) rather than running into the range where e^-x overflows. Past |x| = 20 tanh is +-1 to
// the last bit, so clamping there changes nothing.
inline constexpr double kLogisticLow = -700.0;
inline constexpr double kLogisticHigh = 40.0;
inline constexpr double kTanhLow = -20.0;
inline constexpr double kTanhHigh = 20.0;
// The formulas' values there, worked out by the compiler from the same code.
inline constexpr double kLogisticAtLow = LogisticFormula(kLogisticLow);
inline constexpr double kLogisticAtHigh = LogisticFormula(kLogisticHigh);
inline constexpr double kTanhAtLow = TanhFormula(kTanhLow);
inline constexpr double kTanhAtHigh = TanhFormula(kTanhHigh);

// NaN fails both tests and stays NaN, so a broken network still shows as one.
[[gnu::always_inline]] inline double Clamped(double x, double low, double high) {
  return x < low ? low : x > high ? high : x;
}

// value, with the lanes where x lies below low or above high replaced by at_low or at_high.
template <typename V>
[[gnu::always_inline]] inline V WithEnds(V x, V value, double low, double at_low, double high,
                                         double at_high) {
  value = Select(x < low, V{} + at_low, value);
  return Select(x > high, V{} + at_high, value);
}

// The formulas of x clamped to their ranges. For a single double the compiler turns the clamp
// into branches that skip the formula at the ends. For vectors the formula runs on x as it is and
// the lanes outside take its values at the ends afterwards, so the comparisons run beside the
// formula's long chain instead of before it; every lane gets the bits of the formula of its
// clamped argument all the same.
[[gnu::always_inline]] inline double Logistic(double x) {
  return LogisticFormula(Clamped(x, kLogisticLow, kLogisticHigh));
}
template <typename V>
[[gnu::always_inline]] inline V Logistic(V x) {
  return WithEnds(x, LogisticFormula(x), kLogisticLow, kLogisticAtLow, kLogisticHigh,
                  kLogisticAtHigh);
}
[[gnu::always_inline]] inline double Tanh(double x) {
  return TanhFormula(Clamped(x, kTanhLow, kTanhHigh));
}
template <typename V>
[[gnu::always_inline]] inline V Tanh(V x) {
  return WithEnds(x, TanhFormula(x), kTanhLow, kTanhAtLow, kTanhHigh, kTanhAtHigh);
}

// f(x).
template <typename T>
[[gnu::always_inline]] inline T Activated(Activation function, T x) {
  switch (function) {
    case Activation::kCentredLogistic:
      return Logistic(x) - 0.5;
    case Activation::kLogistic:
      return Logistic(x);
    case Activation::kTanh:
      return Tanh(x);
    case Activation::kLinear:
      break;
  }
  return x;
}

// f'(x) where y = f(x); every derivative here is a function of the output.
template <typename T>
[[gnu::always_inline]] inline T Derivative(Activation function, T y) {
  switch (function) {
    case Activation::kCentredLogistic:
      // With y = s - 1/2: s (1 - s) = (1/2 + y)(1/2 - y).
      return (0.5 + y) * (0.5 - y);
    case Activation::kLogistic:
      return y * (1.0 - y);
    case Activation::kTanh:
      // (1 - y)(1 + y) rather than 1 - y^2: no cancellation near the ends of the range.
      return (1.0 - y) * (1.0 + y);
    case Activation::kLinear:
      break;
  }
  return T{} + 1.0;
}

}  // namespace tarvex::engine
