#include "engine/activation.h"

#include <cstring>

#include "engine/clones.h"

namespace tarvex::engine {

namespace {

constexpr std::size_t kWidth = 4;
typedef double Lanes __attribute__((vector_size(kWidth * sizeof(double))));
typedef std::int64_t Bits __attribute__((vector_size(kWidth * sizeof(double))));

// e^x for x in [-40, 700], our own so that the activations are the same bits with every C
// library and vectorise: x = k ln2 + r with |r| <= ln2/2, e^r by its Taylor series to r^12
// (truncation below 2e-16 relative), times 2^k built in the exponent bits. Within a few ulps
// of std::exp. Vectors go by reference: by value they would change the baseline calling
// convention.
[[gnu::always_inline]] inline void ExpInPlace(Lanes& x) {
  constexpr double kInverseLn2 = 0x1.71547652b82fep0;
  constexpr double kShift = 0x1.8p52;  // adding it rounds to an integer held in the low bits
  constexpr double kLn2High = 0x1.62e42fee00000p-1;  // k x kLn2High is exact for |k| < 2^20
  constexpr double kLn2Low = 0x1.a39ef35793c76p-33;
  const Lanes shifted = x * kInverseLn2 + kShift;
  const Lanes k = shifted - kShift;
  const Lanes r = (x - k * kLn2High) - k * kLn2Low;
  // Estrin's scheme: a few short chains instead of one of twelve steps, since the activations
  // sit on the critical path of every training step.
  const Lanes r2 = r * r;
  const Lanes r4 = r2 * r2;
  const Lanes r8 = r4 * r4;
  const Lanes p01 = 1.0 + r;
  const Lanes p23 = 1.0 / 2 + r * (1.0 / 6);
  const Lanes p45 = 1.0 / 24 + r * (1.0 / 120);
  const Lanes p67 = 1.0 / 720 + r * (1.0 / 5040);
  const Lanes p89 = 1.0 / 40320 + r * (1.0 / 362880);
  const Lanes p1011 = 1.0 / 3628800 + r * (1.0 / 39916800);
  const Lanes p0to7 = (p01 + r2 * p23) + r4 * (p45 + r2 * p67);
  const Lanes p8to12 = (p89 + r2 * p1011) + r4 * (1.0 / 479001600);
  const Lanes p = p0to7 + r8 * p8to12;
  // The low bits of `shifted` hold k; k + 1023 moved into the exponent field is 2^k. (A cast
  // between vector types of one size reinterprets the bits.)
  const Bits scale_bits = ((Bits)shifted + 1023) << 52;
  x = p * (Lanes)scale_bits;
}

[[gnu::always_inline]] inline void Clamp(Lanes& x, double low, double high) {
  // NaN fails both tests and stays NaN, so a broken network still shows as one.
  x = x < low ? Lanes{} + low : x;
  x = x > high ? Lanes{} + high : x;
}

// Past 40 the logistic is 1 to the last bit; below -700 it is taken as that of -700 (about
// 1e-304) rather than running into the range where e^-x overflows.
[[gnu::always_inline]] inline void LogisticInPlace(Lanes& x) {
  Clamp(x, -700.0, 40.0);
  Lanes e = -x;
  ExpInPlace(e);
  x = 1.0 / (1.0 + e);
}

// tanh x = 1 - 2 / (e^2x + 1). Past |x| = 20 tanh is +-1 to the last bit, so clamping there
// changes nothing and keeps e^2x in range.
[[gnu::always_inline]] inline void TanhInPlace(Lanes& x) {
  Clamp(x, -20.0, 20.0);
  Lanes e = 2.0 * x;
  ExpInPlace(e);
  x = 1.0 - 2.0 / (e + 1.0);
}

template <typename Function>
[[gnu::always_inline]] inline void ForEachLanes(double* values, std::size_t count, Function f) {
  std::size_t i = 0;
  for (; i + kWidth <= count; i += kWidth) {
    Lanes v;
    std::memcpy(&v, values + i, sizeof v);
    f(v);
    std::memcpy(values + i, &v, sizeof v);
  }
  // The tail goes through the same vector code, so no value depends on its position.
  if (i < count) {
    Lanes v = {};
    std::memcpy(&v, values + i, (count - i) * sizeof(double));
    f(v);
    std::memcpy(values + i, &v, (count - i) * sizeof(double));
  }
}

}  // namespace

LayerActivations ActivationsForCode(std::int16_t code) {
  switch (code) {
    case 1:
      return {Activation::kLogistic, Activation::kLogistic};
    case 2:
      return {Activation::kTanh, Activation::kTanh};
    case 3:
      return {Activation::kCentredLogistic, Activation::kLinear};
    case 4:
      return {Activation::kLogistic, Activation::kLinear};
    case 5:
      return {Activation::kTanh, Activation::kLinear};
    default:
      return {Activation::kCentredLogistic, Activation::kCentredLogistic};
  }
}

TARVEX_ENGINE_CLONES
void Activate(Activation function, double* values, std::size_t count) {
  switch (function) {
    case Activation::kCentredLogistic:
      ForEachLanes(values, count, [](Lanes& v) {
        LogisticInPlace(v);
        v -= 0.5;
      });
      return;
    case Activation::kLogistic:
      ForEachLanes(values, count, [](Lanes& v) { LogisticInPlace(v); });
      return;
    case Activation::kTanh:
      ForEachLanes(values, count, [](Lanes& v) { TanhInPlace(v); });
      return;
    case Activation::kLinear:
      return;
  }
}

void ScaleByDerivative(Activation function, const double* outputs, double* deltas,
                       std::size_t count) {
  switch (function) {
    case Activation::kCentredLogistic:
      // With y = s - 1/2: s (1 - s) = (1/2 + y)(1/2 - y).
      for (std::size_t i = 0; i < count; ++i) deltas[i] *= (0.5 + outputs[i]) * (0.5 - outputs[i]);
      return;
    case Activation::kLogistic:
      for (std::size_t i = 0; i < count; ++i) deltas[i] *= outputs[i] * (1.0 - outputs[i]);
      return;
    case Activation::kTanh:
      // (1 - y)(1 + y) rather than 1 - y^2: no cancellation near the ends of the range.
      for (std::size_t i = 0; i < count; ++i) deltas[i] *= (1.0 - outputs[i]) * (1.0 + outputs[i]);
      return;
    case Activation::kLinear:
      return;
  }
}

}  // namespace tarvex::engine
