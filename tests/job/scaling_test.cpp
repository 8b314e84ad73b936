#include "job/scaling.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>

#include "tests/support/job_fixture.h"

namespace tarvex::job {
namespace {

TEST(ScaleRangeTest, FollowsTheActivationCode) {
  struct Case {
    std::int16_t af;
    double low, high;
  };
  const Case cases[] = {{0, -0.4, 0.4}, {1, 0.1, 0.9}, {2, -0.9, 0.9},
                        {3, -0.4, 0.4}, {4, 0.1, 0.9}, {5, -0.9, 0.9},
                        {6, 0, 0},      {-1, 0, 0},    {7, 0, 0}};
  JobSettings job;
  for (const Case& c : cases) {
    job.af = c.af;
    EXPECT_EQ(GetScaleLow(job), c.low) << c.af;
    EXPECT_EQ(GetScaleHigh(job), c.high) << c.af;
  }
}

TEST(RescaleTest, MapsMaximumToLowAndBackExactly) {
  // af = 1: a column 2, 4, 6 is stored as 0.9, 0.5, 0.1 and comes back.
  EXPECT_EQ(Rescale(6, 6, 2, 0.1, 0.9), 0.1);
  EXPECT_EQ(Rescale(2, 6, 2, 0.1, 0.9), 0.9);
  EXPECT_DOUBLE_EQ(Rescale(4, 6, 2, 0.1, 0.9), 0.5);
  EXPECT_DOUBLE_EQ(Rescale(0.9, 0.1, 0.9, 6, 2), 2);
  EXPECT_DOUBLE_EQ(Rescale(0.1, 0.1, 0.9, 6, 2), 6);
  EXPECT_DOUBLE_EQ(Rescale(0.95, 0.1, 0.9, 6, 2), 1.75);
  EXPECT_NEAR(Rescale(8, 6, 2, 0.1, 0.9), -0.3, 1e-15);  // outside the range: not clamped
}

TEST(RescaleTest, EqualBoundsGiveTheTargetStart) {
  EXPECT_EQ(Rescale(123, 5, 5, -0.4, 0.4), -0.4);  // a constant column
  EXPECT_EQ(Rescale(0.7, 0.1, 0.9, 7, 7), 7);      // a constant output comes back
  EXPECT_EQ(Rescale(123, 1, 9, 0, 0), 0);          // af outside 0..5
  EXPECT_EQ(Rescale(0, 0, 0, 9, 3), 9);            // and back: the column's maximum
}

TEST(RescaleTest, RoundTripReturnsTheInput) {
  std::mt19937_64 generator(7);
  std::uniform_real_distribution<double> values(-1e6, 1e6);
  const std::pair<double, double> ranges[] = {{-0.4, 0.4}, {0.1, 0.9}, {-0.9, 0.9}};
  for (int i = 0; i < 10000; ++i) {
    double a = values(generator), b = values(generator), v = values(generator);
    if (a == b) continue;
    auto [low, high] = ranges[i % 3];
    double there = Rescale(v, std::max(a, b), std::min(a, b), low, high);
    double back = Rescale(there, low, high, std::max(a, b), std::min(a, b));
    EXPECT_NEAR(back, v, 1e-9 * (std::fabs(a) + std::fabs(b) + std::fabs(v))) << i;
  }
}

TEST(RescaleTest, OverflowIsAFailureNotAnInfinity) {
  const double big = std::numeric_limits<double>::max();
  EXPECT_THROW(Rescale(big, -big, big, -0.4, 0.4), Failure);
  EXPECT_THROW(Rescale(0.5, 0.1, 0.9, -big, big), Failure);
  EXPECT_THROW(Rescale(1e300, 0, 1e-300, 0, 1), Failure);
  try {
    Rescale(big, -big, big, -0.4, 0.4);
  } catch (const Failure& failure) {
    EXPECT_STREQ(failure.what(), "Overflow");
  }
  EXPECT_EQ(Rescale(1e-320, 0, 1, 0, 1e-10), 0) << "underflow is not an error";
}

using ColumnRangeTest = tarvex::testing::JobFixture;

TEST_F(ColumnRangeTest, KeepTheMatrixBoundsAndStartFromTheFirstRow) {
  DataMatrix matrix(1, 3, 1, 2);  // 1-based, as workbook sources give
  const double values[3][2] = {{5, -1}, {2, -1}, {9, -0.5}};
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 2; ++c) matrix.At(r + 1, c + 1) = values[r][c];
  }
  ComputeInputRanges(job_, matrix);
  EXPECT_EQ(job_.TrainingInputMin.Low(), 1);
  EXPECT_EQ(job_.TrainingInputMin.High(), 2);
  EXPECT_EQ(job_.TrainingInputMin.At(1), 2);
  EXPECT_EQ(job_.TrainingInputMax.At(1), 9);
  EXPECT_EQ(job_.TrainingInputMin.At(2), -1);
  EXPECT_EQ(job_.TrainingInputMax.At(2), -0.5);
  EXPECT_FALSE(job_.TrainingOutputMin.HasDimensions());

  DataMatrix one_row(0, 0, 0, 0);
  one_row.At(0, 0) = 4;
  ComputeOutputRanges(job_, one_row);
  EXPECT_EQ(job_.TrainingOutputMin.At(0), 4);
  EXPECT_EQ(job_.TrainingOutputMax.At(0), 4);
}

}  // namespace
}  // namespace tarvex::job
