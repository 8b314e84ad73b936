// The charts' axes and samples by their properties over many ranges.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "platform/number_text.h"
#include "report/axis.h"
#include "report/html_text.h"
#include "report/report_charts.h"

namespace tarvex::report {
namespace {

// 1, 2 or 5 times a power of ten (10 counts as 1 times the next).
bool IsRound(double value) {
  const double mantissa = value / std::pow(10.0, std::floor(std::log10(value) + 1e-9));
  for (double round : {1.0, 2.0, 5.0, 10.0}) {
    if (std::fabs(mantissa - round) < 1e-9) return true;
  }
  return false;
}

std::pair<double, double> RandomRange(std::mt19937_64& random, bool positive) {
  std::uniform_real_distribution<double> exponent(-8, 8), unit(0, 1);
  const double scale = std::pow(10.0, exponent(random));
  double a = unit(random) * scale, b = unit(random) * scale * (unit(random) < 0.1 ? 1e4 : 1);
  if (!positive && unit(random) < 0.5) a = -a;
  if (unit(random) < 0.05) b = a;  // empty ranges too
  return {std::min(a, b), std::max(a, b)};
}

TEST(Axis, LinearAxesCoverTheRangeWithRoundEvenlySpacedTicks) {
  std::mt19937_64 random(7);
  for (int trial = 0; trial < 20000; ++trial) {
    const auto [low, high] = RandomRange(random, false);
    const Axis axis = Axis::Linear(low, high);
    const std::vector<double>& ticks = axis.Ticks();
    ASSERT_GE(ticks.size(), 3u) << low << " " << high;
    ASSERT_LE(ticks.size(), 12u) << low << " " << high;
    EXPECT_LE(axis.Low(), low);
    EXPECT_GE(axis.High(), high);
    EXPECT_EQ(ticks.front(), axis.Low());
    EXPECT_EQ(ticks.back(), axis.High());
    const double step = ticks[1] - ticks[0];
    EXPECT_TRUE(IsRound(step)) << step;
    for (std::size_t i = 1; i < ticks.size(); ++i) {
      EXPECT_NEAR(ticks[i] - ticks[i - 1], step, 1e-9 * step);
      EXPECT_NEAR(ticks[i] / step, std::round(ticks[i] / step), 1e-6);
    }
    EXPECT_DOUBLE_EQ(axis.Fraction(axis.Low()), 0);
    EXPECT_DOUBLE_EQ(axis.Fraction(axis.High()), 1);
  }
  // Counts of rows have whole ticks.
  for (int count = 0; count < 50; ++count) {
    const Axis axis = Axis::Linear(0, count, true);
    for (double tick : axis.Ticks()) EXPECT_EQ(tick, std::round(tick));
  }
}

TEST(Axis, LogarithmicAxesEndAndTickOnRoundNumbersCloseToTheRange) {
  std::mt19937_64 random(11);
  for (int trial = 0; trial < 20000; ++trial) {
    const auto [low, high] = RandomRange(random, true);
    if (!(low > 0)) continue;
    const Axis axis = Axis::Logarithmic(low, high);
    const std::vector<double>& ticks = axis.Ticks();
    ASSERT_GE(ticks.size(), 3u) << low << " " << high;
    ASSERT_LE(ticks.size(), 12u) << low << " " << high;
    EXPECT_LE(axis.Low(), low * (1 + 1e-12));
    EXPECT_GE(axis.High(), high * (1 - 1e-12));
    // No wider than the next round numbers (decades when the ticks are decades).
    const double widest = ticks[1] / ticks[0] > 9 ? 1e8 : (low == high ? 5 : 2.5) * (1 + 1e-9);
    EXPECT_LE(axis.High() / high, widest);
    EXPECT_LE(low / axis.Low(), widest);
    // Round numbers: 1, 2 or 5 times a power of ten, or, on a narrow range, whole multiples of
    // such a step.
    const double step = ticks[1] - ticks[0];
    for (double tick : ticks) {
      const double multiple = tick / step;  // step is a difference: relative error ~1e-10
      EXPECT_TRUE(IsRound(tick) || (IsRound(step) && std::fabs(multiple - std::round(multiple)) <
                                                         1e-6 + 1e-9 * std::fabs(multiple)))
          << tick;
    }
    for (std::size_t i = 1; i < ticks.size(); ++i) EXPECT_GT(ticks[i], ticks[i - 1]);
    EXPECT_NEAR(axis.Fraction(axis.Low()), 0, 1e-12);
    EXPECT_NEAR(axis.Fraction(axis.High()), 1, 1e-12);
    EXPECT_EQ(axis.Fraction(0), 0);  // no place on the scale: on its floor
  }
}

TEST(SamplePositions, EvenlySpacedAscendingAndAllWhenFew) {
  for (job::Index rows : {0, 1, 5, 1999, 2000, 2001, 4001, 1000000, 999999937}) {
    const std::vector<job::Index> positions = SamplePositions(rows, 2000);
    ASSERT_EQ(static_cast<job::Index>(positions.size()), std::min<job::Index>(rows, 2000));
    for (std::size_t i = 0; i < positions.size(); ++i) {
      EXPECT_GE(positions[i], 0);
      EXPECT_LT(positions[i], rows);
      if (i > 0) {
        EXPECT_GT(positions[i], positions[i - 1]);
        EXPECT_LE(positions[i] - positions[i - 1], rows / 2000 + 1);
      }
    }
  }
}

// A tick's label is its value, however many digits the axis's step needs; four where a value
// has no step to keep to.
TEST(RunLabels, EachTickLabelIsItsValue) {
  std::mt19937_64 random(13);
  for (int trial = 0; trial < 20000; ++trial) {
    const auto [low, high] = RandomRange(random, trial % 2 == 1);
    const Axis axis = trial % 2 ? Axis::Logarithmic(std::max(low, 1e-300), std::max(high, 1e-300))
                                : Axis::Linear(low, high);
    const std::vector<std::string> labels = RunLabels(axis.Ticks(), ".");
    ASSERT_EQ(labels.size(), axis.Ticks().size());
    for (std::size_t i = 0; i < labels.size(); ++i) {
      const std::string exact = platform::FormatGeneralNumber(axis.Ticks()[i], ".");
      EXPECT_EQ(labels[i], exact) << low << " " << high;
    }
  }
  const std::vector<std::string> alone = RunLabels(std::vector<double>{52.8008127299928}, ".");
  EXPECT_EQ(alone, std::vector<std::string>{"52.8"});
  EXPECT_EQ(RunLabels(std::vector<double>{-1.7e308, 1.0 / 3, 1.7e308}, ","),
            (std::vector<std::string>{"-1,7E+308", "0,3333", "1,7E+308"}));
  EXPECT_EQ(ShortNumber(0.0306558447883786, "."), "0.03066");
}

}  // namespace
}  // namespace tarvex::report
