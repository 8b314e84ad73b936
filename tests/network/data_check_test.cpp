#include "network/data_check.h"

#include <gtest/gtest.h>

#include "tests/support/job_fixture.h"

namespace tarvex::network {

using namespace tarvex::job;
namespace {

class CheckTrainingDataTest : public tarvex::testing::JobFixture {
 protected:
  CheckTrainingDataTest() { job_.pof = "po.txt"; }
  void Shape(DataMatrix& matrix, Index rows, Index columns, Index base = 0) {
    matrix = DataMatrix(base, base + rows - 1, base, base + columns - 1);
  }
};

TEST_F(CheckTrainingDataTest, ReportsTheFirstFailingCheckOnly) {
  job_.pof.clear();
  EXPECT_FALSE(CheckTrainingData(job_));
  EXPECT_EQ(TakeLog(), std::vector<std::string>{"The Parameter '/pof' is empty."});

  job_.pof = "po.txt";
  EXPECT_FALSE(CheckTrainingData(job_));
  EXPECT_EQ(TakeLog(), std::vector<std::string>{"The array 'Training Inputs' is empty."});
  Shape(job_.TrainingInputs, 10, 3);
  EXPECT_FALSE(CheckTrainingData(job_));
  EXPECT_EQ(TakeLog(), std::vector<std::string>{"The array 'Training Outputs' is empty."});
  Shape(job_.TrainingOutputs, 9, 1);
  EXPECT_FALSE(CheckTrainingData(job_));
  EXPECT_EQ(TakeLog(), std::vector<std::string>{"The array 'Prediction Inputs' is empty."});
}

TEST_F(CheckTrainingDataTest, NamesMisalignedMatricesWithTheirShapes) {
  Shape(job_.TrainingInputs, 10, 3);
  Shape(job_.TrainingOutputs, 9, 1);
  Shape(job_.PredictionInputs, 4, 2);
  EXPECT_FALSE(CheckTrainingData(job_));
  EXPECT_EQ(TakeLog(), std::vector<std::string>{
                           "Input and output rows are not aligned. Parameters: ''Training "
                           "Inputs'' and  ''Training Outputs''.   Traning Inputs Array(10,3)   "
                           "Traning Outputs Array(9,1)"});
  Shape(job_.TrainingOutputs, 10, 1);
  EXPECT_FALSE(CheckTrainingData(job_));
  EXPECT_EQ(TakeLog(), std::vector<std::string>{
                           "Input and output rows are not aligned. Parameters: ''Training "
                           "Inputs'' and  ''Prediction Inputs''.   Traning Inputs Array(10,3)   "
                           "Prediction Inputs Array(4,2)"});
}

TEST_F(CheckTrainingDataTest, AcceptsFreeShapesAndMixedIndexBases) {
  Shape(job_.TrainingInputs, 10, 3);
  Shape(job_.TrainingOutputs, 10, 2, 1);
  Shape(job_.PredictionInputs, 4, 3);
  EXPECT_TRUE(CheckTrainingData(job_));
  EXPECT_TRUE(TakeLog().empty());
}

}  // namespace
}  // namespace tarvex::network
