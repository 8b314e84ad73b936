// The activations as the engine computes them against the plain form they stand for, bit for bit:
// the argument clamped first, then the formula with e^r scaled by a multiplication with 2^k. The
// engine computes vectors' formulas before their clamps and adds k to the exponent field instead;
// neither may move a single bit, or the same job would train another network.
#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "engine/activation.h"
#include "engine/activation_lanes.h"
#include "engine/weight_generator.h"

namespace tarvex::engine {
namespace {

double PlainExp(double x) {
  const double shifted = x * 0x1.71547652b82fep0 + 0x1.8p52;
  const double k = shifted - 0x1.8p52;
  const double r = (x - k * 0x1.62e42fee00000p-1) - k * 0x1.a39ef35793c76p-33;
  const double r2 = r * r;
  const double r4 = r2 * r2;
  const double r8 = r4 * r4;
  const double p1to7 = (r + r2 * (1.0 / 2 + r * (1.0 / 6))) +
                       r4 * ((1.0 / 24 + r * (1.0 / 120)) + r2 * (1.0 / 720 + r * (1.0 / 5040)));
  const double p8to13 =
      ((1.0 / 40320 + r * (1.0 / 362880)) + r2 * (1.0 / 3628800 + r * (1.0 / 39916800))) +
      r4 * (1.0 / 479001600 + r * (1.0 / 6227020800));
  const double power = std::bit_cast<double>((std::bit_cast<std::int64_t>(shifted) + 1023) << 52);
  return (1.0 + (p1to7 + r8 * p8to13)) * power;
}

double PlainClamped(double x, double low, double high) {
  if (x < low) return low;
  return x > high ? high : x;
}

double PlainActivated(Activation function, double x) {
  switch (function) {
    case Activation::kCentredLogistic:
      return 1.0 / (1.0 + PlainExp(-PlainClamped(x, -700.0, 40.0))) - 0.5;
    case Activation::kLogistic:
      return 1.0 / (1.0 + PlainExp(-PlainClamped(x, -700.0, 40.0)));
    case Activation::kTanh:
      return 1.0 - 2.0 / (PlainExp(2.0 * PlainClamped(x, -20.0, 20.0)) + 1.0);
    case Activation::kLinear:
      break;
  }
  return x;
}

bool SameBits(double a, double b) {
  return (std::isnan(a) && std::isnan(b)) ||
         std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// The ends of the clamps and the numbers next to them, zeros, subnormals, the largest and
// infinite magnitudes, NaN, then a dense sweep and random spreads of several widths.
std::vector<double> Arguments() {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  constexpr double kMin = std::numeric_limits<double>::min();
  std::vector<double> x = {0.0,
                           -0.0,
                           std::numeric_limits<double>::denorm_min(),
                           kMin,
                           kMin / 3,
                           std::numeric_limits<double>::max(),
                           1e300,
                           745.5,
                           710.0,
                           709.0,
                           708.5,
                           36.7,
                           kInf,
                           std::numeric_limits<double>::quiet_NaN()};
  for (double end : {-700.0, 40.0, -20.0, 20.0}) {
    x.insert(x.end(), {end, std::nextafter(end, -kInf), std::nextafter(end, kInf)});
  }
  for (std::size_t i = 0, count = x.size(); i < count; ++i) x.push_back(-x[i]);
  for (double v = -760; v <= 760; v += 0.0137) x.push_back(v);
  WeightGenerator generator(36);
  for (double spread : {1e-6, 1.0, 25.0, 800.0}) {
    for (int i = 0; i < 50'000; ++i) x.push_back(generator.NextWeight(spread));
  }
  return x;
}

// The loops run with subnormals flushed; the array forms run in the caller's mode. Both modes.
class FloatingPointMode {
 public:
  explicit FloatingPointMode(bool flush) : saved_(_mm_getcsr()) {
    if (flush) _mm_setcsr(saved_ | 0x8040);
  }
  ~FloatingPointMode() { _mm_setcsr(saved_); }
  FloatingPointMode(const FloatingPointMode&) = delete;
  FloatingPointMode& operator=(const FloatingPointMode&) = delete;

 private:
  unsigned saved_;
};

TEST(ActivationBits, VectorAndScalarFormsGiveThePlainFormulasBits) {
  const std::vector<double> x = Arguments();
  for (bool flush : {false, true}) {
    const FloatingPointMode mode(flush);
    for (Activation function : {Activation::kCentredLogistic, Activation::kLogistic,
                                Activation::kTanh, Activation::kLinear}) {
      SCOPED_TRACE(std::string("function ") + std::to_string(static_cast<int>(function)) +
                   (flush ? ", subnormals flushed" : ""));
      std::vector<double> vector = x;
      Activate(function, vector.data(), vector.size());
      for (std::size_t i = 0; i < x.size(); ++i) {
        const double plain = PlainActivated(function, x[i]);
        ASSERT_TRUE(SameBits(vector[i], plain)) << "x = " << x[i] << ": " << vector[i];
        // The output layer's path: one double at a time.
        ASSERT_TRUE(SameBits(Activated(function, x[i]), plain)) << "x = " << x[i];
      }
    }
  }
}

TEST(ActivationBits, ExpGivesThePlainFormulasBitsOverItsRange) {
  std::vector<double> x;
  for (int i = 0; i <= 2'000'000; ++i)
    x.push_back(kExpLowest + (kExpHighest - kExpLowest) * i / 2e6);
  for (double v : {0.0, -0.0, 1e-300, -1e-300, std::numeric_limits<double>::denorm_min()}) {
    x.push_back(v);
  }
  std::vector<double> y = x;
  ExpInPlace(y.data(), y.size());
  for (std::size_t i = 0; i < x.size(); ++i) {
    ASSERT_TRUE(SameBits(y[i], PlainExp(x[i]))) << "x = " << x[i];
  }
}

}  // namespace
}  // namespace tarvex::engine
