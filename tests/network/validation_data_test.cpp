// The split of the training data into trained and held-out rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <set>

#include "network/validation_data.h"
#include "tests/support/job_fixture.h"

namespace tarvex::network {

namespace {

using job::DataMatrix;
using job::Index;

class SplitTest : public testing::JobFixture {};

// The held-out rows and the trained rows together are the training rows, each exactly once and
// in their order, with their outputs as given beside them.
TEST_F(SplitTest, HeldOutAndTrainedRowsAreTheTrainingRows) {
  DataMatrix inputs(1, 50, 1, 2), outputs(1, 50, 1, 1);
  for (Index r = 1; r <= 50; ++r) {
    inputs.At(r, 1) = static_cast<double>(r);
    inputs.At(r, 2) = -static_cast<double>(r);
    outputs.At(r, 1) = 0.5 * static_cast<double>(r);
  }
  job_.TrainingInputs = inputs;
  job_.TrainingOutputs = outputs;
  job_.TrainingOutputValues = outputs;
  job_.ValidationFraction = 0.3;
  job_.Seed = 11;
  ASSERT_TRUE(CheckValidationData(job_));
  ASSERT_EQ(job_.ValidationInputs.RowCount(), 15);
  ASSERT_EQ(job_.TrainingInputs.RowCount(), 35);
  std::vector<double> trained, held_out;
  for (Index r = 1; r <= 35; ++r) {
    trained.push_back(job_.TrainingInputs.At(r, 1));
    EXPECT_EQ(job_.TrainingInputs.At(r, 2), -trained.back());
    EXPECT_EQ(job_.TrainingOutputs.At(r, 1), 0.5 * trained.back());
    EXPECT_EQ(job_.TrainingOutputValues.At(r, 1), 0.5 * trained.back());
  }
  for (Index r = 1; r <= 15; ++r) {
    held_out.push_back(job_.ValidationInputs.At(r, 1));
    EXPECT_EQ(job_.ValidationOutputValues.At(r, 1), 0.5 * held_out.back());
  }
  EXPECT_TRUE(std::is_sorted(trained.begin(), trained.end()));
  EXPECT_TRUE(std::is_sorted(held_out.begin(), held_out.end()));
  std::set<double> all(trained.begin(), trained.end());
  all.insert(held_out.begin(), held_out.end());
  EXPECT_EQ(all.size(), 50u);
  EXPECT_TRUE(TakeLog().empty());
}

TEST_F(SplitTest, OneTrainingRowCannotBeSplit) {
  job_.TrainingInputs = DataMatrix(0, 0, 0, 2);
  job_.TrainingOutputs = DataMatrix(0, 0, 0, 0);
  job_.ValidationFraction = 0.5;
  EXPECT_FALSE(CheckValidationData(job_));
  EXPECT_EQ(TakeLog(), std::vector<std::string>{
                           "The Parameter '/vf' needs at least 2 training rows to hold some "
                           "out;   Traning Inputs Array(1,3)"});
}

}  // namespace
}  // namespace tarvex::network
