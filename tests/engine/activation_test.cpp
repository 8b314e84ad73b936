#include "engine/activation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "engine/weight_generator.h"

namespace tarvex::engine {
namespace {

std::vector<double> Arguments() {
  std::vector<double> x;
  for (double v = -60; v <= 60; v += 0.0173) x.push_back(v);
  for (double v = -1e-6; v <= 1e-6; v += 3.7e-9) x.push_back(v);
  for (double v : {-1e300, -800.0, -745.5, -709.9, -40.0, -20.5, 20.5, 40.5, 709.9, 800.0, 1e300}) {
    x.push_back(v);
  }
  return x;
}

TEST(Activation, MatchesTheStandardLibraryOverTheWholeRange) {
  struct Case {
    Activation function;
    double (*reference)(double);
  };
  const Case cases[] = {
      {Activation::kCentredLogistic, [](double x) { return 1 / (1 + std::exp(-x)) - 0.5; }},
      {Activation::kLogistic, [](double x) { return 1 / (1 + std::exp(-x)); }},
      {Activation::kTanh, [](double x) { return std::tanh(x); }},
      {Activation::kLinear, [](double x) { return x; }},
  };
  const std::vector<double> x = Arguments();
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.function));
    std::vector<double> y = x;
    Activate(c.function, y.data(), y.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
      // Absolute: what the network's outputs (mapped back linearly) care about.
      ASSERT_NEAR(y[i], c.reference(x[i]), 1e-15) << "x = " << x[i];
    }
  }
}

// The engine's own e^x against the C library's over every argument it is made for: a dense
// grid, a random spread, and the ends. Measured worst case 2.2e-16 (one unit in the last place
// of a result just above a power of two); the bound leaves room for std::exp's own half unit.
TEST(Activation, ExpIsWithinRelative3e16OfStdExpOverItsWholeRange) {
  constexpr double kBound = 3e-16;
  std::vector<double> x;
  constexpr int kSteps = 1'000'000;
  for (int i = 0; i <= kSteps; ++i) x.push_back(-708.0 + 1417.0 * i / kSteps);
  WeightGenerator generator(7);
  for (int i = 0; i < 200'000; ++i) x.push_back(0.5 + generator.NextWeight(708.5));
  for (int i = 0; i < 10'000; ++i) x.push_back(generator.NextWeight(1e-3));
  for (double v : {-708.0, 709.0, 0.0, -0.0, 1e-300, -1e-300, 0.34657359027997264}) x.push_back(v);
  std::vector<double> y = x;
  ExpInPlace(y.data(), y.size());
  double worst = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double reference = std::exp(x[i]);
    const double error = std::fabs(y[i] - reference) / reference;
    ASSERT_LE(error, kBound) << "x = " << x[i];
    worst = std::max(worst, error);
  }
  EXPECT_GT(worst, 0.0);  // the comparison saw the engine's own rounding, not a copy of exp
}

TEST(Activation, ValueDoesNotDependOnPositionOrArrayLength) {
  // The tail of an array goes through the vector code too; a value must come out the same
  // bits wherever it sits.
  const double x = 0.3141592653589793;
  for (Activation function :
       {Activation::kCentredLogistic, Activation::kLogistic, Activation::kTanh}) {
    double alone = x;
    Activate(function, &alone, 1);
    for (std::size_t length = 1; length <= 9; ++length) {
      for (std::size_t position = 0; position < length; ++position) {
        std::vector<double> values(length, -2.5);
        values[position] = x;
        Activate(function, values.data(), length);
        // NOLINTNEXTLINE(bugprone-suspicious-memory-comparison): the bits are the point
        EXPECT_EQ(std::memcmp(&values[position], &alone, sizeof alone), 0)
            << "length " << length << ", position " << position;
      }
    }
  }
}

}  // namespace
}  // namespace tarvex::engine
