#include "input/load_data_set.h"

#include <gtest/gtest.h>

#include "tests/support/job_fixture.h"

namespace tarvex::input {

using namespace tarvex::job;
namespace {

using Rows = std::vector<std::vector<double>>;
using tarvex::testing::RowsOf;

class LoadDataSetTest : public tarvex::testing::JobFixture {
 protected:
  LoadDataSetTest() {
    // A range of 0..1 that leaves unscaled values recognisable: v -> 1 - v for a 0..1 column.
    job_.ScaleLow = 0;
    job_.ScaleHigh = 1;
  }
  bool LoadValues(const std::string& values, DataSet set = DataSet::kTrainingInputs) {
    return LoadDataSet(job_, values, matrix_, Source::kValues, set, "");
  }
  DataMatrix matrix_;
};

TEST_F(LoadDataSetTest, DirectValuesKeepTheirShape) {
  job_.ScaleLow = job_.ScaleHigh = 0;  // every value becomes 0: the shape is what counts
  const std::pair<const char*, Index> cases[] = {
      {"1,2;3,4", 2}, {"1,2;;3,4;", 2}, {" ;1,2; ;3,4", 2}, {"1,2;3", 2}, {"5", 1},
  };
  for (const auto& [values, rows] : cases) {
    ASSERT_TRUE(LoadValues(values)) << values;
    EXPECT_EQ(matrix_.RowLow(), 0);
    EXPECT_EQ(matrix_.RowCount(), rows) << values;
    EXPECT_EQ(matrix_.ColumnLow(), 0);
  }
  EXPECT_TRUE(TakeLog().empty());
}

TEST_F(LoadDataSetTest, DirectValuesAreScaledMaximumToLow) {
  ASSERT_TRUE(LoadValues("1,2;3"));  // rows (1, 2) and (3, 0) before scaling
  EXPECT_EQ(RowsOf(matrix_), (Rows{{1, 0}, {0, 1}}));
  EXPECT_EQ(job_.TrainingInputMin.At(0), 1);
  EXPECT_EQ(job_.TrainingInputMax.At(0), 3);
  EXPECT_EQ(job_.TrainingInputMin.At(1), 0);
  EXPECT_EQ(job_.TrainingInputMax.At(1), 2);
}

TEST_F(LoadDataSetTest, DirectValueFailures) {
  EXPECT_FALSE(LoadValues("1;2,3"));  // a later row longer than the first: silent
  EXPECT_FALSE(LoadValues(" ; ;"));   // no row at all: silent
  EXPECT_TRUE(TakeLog().empty());
  EXPECT_FALSE(LoadValues("1,x", DataSet::kTrainingInputs));
  EXPECT_FALSE(LoadValues("1,x", DataSet::kTrainingOutputs));
  ASSERT_TRUE(LoadValues("1,2"));
  EXPECT_FALSE(LoadValues("1,x", DataSet::kPredictionInputs));
  EXPECT_FALSE(LoadValues("1,x", DataSet::kValidationInputs));
  EXPECT_FALSE(LoadValues("1,x", DataSet::kValidationOutputs));
  EXPECT_EQ(TakeLog(),
            (std::vector<std::string>{
                "Invalid data. Values must be numerical. File: ''Training Inputs''",
                "Invalid data. Values must be numerical. File: ''Training Outputs''",
                "Invalid data. Values must be numerical. File: ''Predict Inputs''",
                "Invalid data. Values must be numerical. File: ''Validation Inputs''",
                "Invalid data. Values must be numerical. File: ''Validation Outputs''"}));
}

TEST_F(LoadDataSetTest, PredictionInputsUseTheTrainingRanges) {
  job_.ScaleLow = 0.1;
  job_.ScaleHigh = 0.9;
  ASSERT_TRUE(LoadDataSet(job_, "2;4;6", job_.TrainingInputs, Source::kValues,
                          DataSet::kTrainingInputs, ""));
  EXPECT_EQ(RowsOf(job_.TrainingInputs), (Rows{{0.9}, {0.5}, {0.1}}));
  ASSERT_TRUE(LoadDataSet(job_, "8;4", job_.PredictionInputs, Source::kValues,
                          DataSet::kPredictionInputs, ""));
  EXPECT_NEAR(job_.PredictionInputs.At(0, 0), -0.3, 1e-15);  // nothing is clamped
  EXPECT_EQ(job_.PredictionInputs.At(1, 0), 0.5);
  // More prediction columns than training columns: silent failure, the matrix stays.
  EXPECT_FALSE(LoadDataSet(job_, "1,2", job_.PredictionInputs, Source::kValues,
                           DataSet::kPredictionInputs, ""));
  EXPECT_EQ(job_.PredictionInputs.RowCount(), 2);
  EXPECT_TRUE(TakeLog().empty());
}

TEST_F(LoadDataSetTest, ExtensionChoosesTheDelimiter) {
  struct Case {
    const char* name;
    std::string content;
    bool loads;
  };
  const Case cases[] = {
      {"a.TXT", "1\t2\n3\t4\n", true},   {"b.asc", "1\t2\n3\t4\n", true},
      {"c.csv", "1,2\n3,4\n", true},     {"d.xlsx", "1,2\r\n3,4\r\n", false},
      {"e.dat", "1,2\n3,4\n", true},     {"f.txt", "1,2\n3,4\n", false},
      {"g. Txt ", "1\t2\n3\t4\n", true}, {"trailing.", "1,2\n3,4\n", true},
  };
  for (const Case& c : cases) {
    std::string path = File(c.name, c.content);
    EXPECT_EQ(LoadDataSet(job_, path, matrix_, Source::kFile, DataSet::kTrainingInputs, ""),
              c.loads)
        << c.name;
    if (c.loads) {
      EXPECT_EQ(matrix_.ColumnCount(), 2) << c.name;
    }
  }
}

TEST_F(LoadDataSetTest, FileFailuresAndTheirLines) {
  EXPECT_FALSE(
      LoadDataSet(job_, "no-dot-at-all", matrix_, Source::kFile, DataSet::kTrainingInputs, ""));
  EXPECT_TRUE(TakeLog().empty());

  std::string missing = (folder_ / "missing.txt").string();
  EXPECT_FALSE(LoadDataSet(job_, missing, matrix_, Source::kFile, DataSet::kTrainingInputs, ""));
  EXPECT_EQ(TakeLog(), std::vector<std::string>{"File not found: " + missing});

  std::filesystem::create_directory(folder_ / "folder.txt");
  std::string folder = (folder_ / "folder.txt").string();
  EXPECT_FALSE(LoadDataSet(job_, folder, matrix_, Source::kFile, DataSet::kTrainingInputs, ""));
  EXPECT_EQ(TakeLog(), std::vector<std::string>{"File not found: " + folder});

  // A "." in a folder name makes the rest of the path the extension: comma-separated text.
  std::filesystem::create_directory(folder_ / "data.old");
  File("data.old/set", "1,2\n");
  EXPECT_TRUE(LoadDataSet(job_, (folder_ / "data.old/set").string(), matrix_, Source::kFile,
                          DataSet::kTrainingInputs, ""));

  // Backslashes reach the file system as "/".
  std::string backslashed = tarvex::testing::Backslashed(File("bs.csv", "7\n"));
  EXPECT_TRUE(LoadDataSet(job_, backslashed, matrix_, Source::kFile, DataSet::kTrainingInputs, ""));

  std::string workbook = File("book.xlsm", "");
  EXPECT_FALSE(
      LoadDataSet(job_, workbook, matrix_, Source::kFile, DataSet::kTrainingInputs, "Data!A1:B2"));
  EXPECT_EQ(TakeLog(), std::vector<std::string>{
                           "File name: " + workbook +
                           "  The file is neither a zip package nor a compound document, so it "
                           "is not a workbook"});
}

// Finite values whose range is beyond the largest number cannot be scaled: the log says which
// column of which data set.
TEST_F(LoadDataSetTest, ScalingOverflowFailsWithItsLine) {
  EXPECT_FALSE(LoadValues("1,-1.7e308;2,1.7e308"));
  EXPECT_EQ(TakeLog(), std::vector<std::string>{"Overflow: the values of column 2 span more than "
                                                 "the largest number, so they cannot be scaled "
                                                 "('Training Inputs')"});
  EXPECT_FALSE(matrix_.HasDimensions());
}

}  // namespace
}  // namespace tarvex::input
