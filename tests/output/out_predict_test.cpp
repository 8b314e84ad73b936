#include "output/out_predict.h"

#include <gtest/gtest.h>

#include "tests/support/job_fixture.h"

namespace tarvex::output {

using namespace tarvex::job;
namespace {

class OutPredictToFileTest : public tarvex::testing::JobFixture {
 protected:
  void Outputs(Index row_low, const std::vector<std::vector<double>>& rows) {
    job_.PredictionOutputs = DataMatrix(row_low, row_low + static_cast<Index>(rows.size()) - 1,
                                        row_low, row_low + static_cast<Index>(rows[0].size()) - 1);
    for (size_t r = 0; r < rows.size(); ++r) {
      for (size_t c = 0; c < rows[r].size(); ++c) {
        job_.PredictionOutputs.At(row_low + r, row_low + c) = rows[r][c];
      }
    }
  }
  std::string Block(Index rows, Index columns) {
    return "Prediction results:\r\n       Prediction Outputs: Array(" + std::to_string(rows) + "," +
           std::to_string(columns) + ")\r\n       Prediction Outputs file: " + job_.pof + "\r\n";
  }
};

TEST_F(OutPredictToFileTest, WritesOneLinePerRowInTheGeneralForm) {
  Outputs(0, {{0.5, -2.25, 3}, {1.0 / 3.0, 0.0001, 0.00001}, {1e15, 0, -0.0}});
  struct Case {
    const char* name;
    const char* text;
  };
  const Case cases[] = {
      {"po.txt", "0.5\t-2.25\t3\r\n0.333333333333333\t0.0001\t1E-05\r\n1E+15\t0\t0\r\n"},
      {"po.TXT", "0.5\t-2.25\t3\r\n0.333333333333333\t0.0001\t1E-05\r\n1E+15\t0\t0\r\n"},
      {"po.asc", "0.5\t-2.25\t3\r\n0.333333333333333\t0.0001\t1E-05\r\n1E+15\t0\t0\r\n"},
      {"po.csv", "0.5,-2.25,3\r\n0.333333333333333,0.0001,1E-05\r\n1E+15,0,0\r\n"},
      {"po.dat", "0.5,-2.25,3\r\n0.333333333333333,0.0001,1E-05\r\n1E+15,0,0\r\n"},
      {"no-extension", "0.5,-2.25,3\r\n0.333333333333333,0.0001,1E-05\r\n1E+15,0,0\r\n"},
  };
  for (const Case& c : cases) {
    job_.pof = (folder_ / c.name).string();
    EXPECT_TRUE(OutPredictToFile(job_)) << c.name;
    EXPECT_EQ(tarvex::testing::ReadFile(job_.pof), c.text) << c.name;
    EXPECT_EQ(TakeLog(), std::vector<std::string>{Block(3, 3)}) << c.name;
    // po.TXT would otherwise find po.txt, as a file system that ignores case does.
    tarvex::testing::fs::remove(job_.pof);
  }
}

TEST_F(OutPredictToFileTest, CommaLocaleQuotesNothing) {
  job_.DecimalSeparator = ",";
  Outputs(1, {{0.5, -2.25}});
  job_.pof = (folder_ / "po.csv").string();
  EXPECT_TRUE(OutPredictToFile(job_));
  EXPECT_EQ(tarvex::testing::ReadFile(job_.pof), "0,5,-2,25\r\n");
}

TEST_F(OutPredictToFileTest, ReplacesAnEarlierFileAndCreatesFolders) {
  Outputs(0, {{7}});
  job_.pof = (folder_ / "a/b/po.txt").string();
  tarvex::testing::WriteFile(folder_ / "old.txt", "a much longer earlier content\r\n");
  EXPECT_TRUE(OutPredictToFile(job_));
  EXPECT_EQ(tarvex::testing::ReadFile(job_.pof), "7\r\n");
  job_.pof = (folder_ / "old.txt").string();
  EXPECT_TRUE(OutPredictToFile(job_));
  EXPECT_EQ(tarvex::testing::ReadFile(job_.pof), "7\r\n");
}

TEST_F(OutPredictToFileTest, FailuresLogTheFailureLineOnly) {
  job_.pof = (folder_ / "po.txt").string();
  EXPECT_FALSE(OutPredictToFile(job_));  // no matrix at all
  EXPECT_EQ(TakeLog(),
            std::vector<std::string>{"OutPredictToFile.  Error: Subscript out of range  in "
                                     "Tarvexapp.mTarvex.OutPredictToFile at line 10"});
  Outputs(0, {{1}});
  std::filesystem::create_directory(folder_ / "folder.txt");
  job_.pof = (folder_ / "folder.txt").string();
  EXPECT_FALSE(OutPredictToFile(job_));
  EXPECT_EQ(TakeLog(), std::vector<std::string>{"OutPredictToFile.  Error: Is a directory  in "
                                                "Tarvexapp.mTarvex.OutPredictToFile at line 110"});
  job_.pof = (folder_ / "book.xlsm").string();
  EXPECT_FALSE(OutPredictToFile(job_));
  EXPECT_EQ(TakeLog(), std::vector<std::string>{"File not found: " + job_.pof});
  job_.pof = File("text.xlsx", "a text file under a workbook's name");
  job_.pos = "Results!B2";
  EXPECT_FALSE(OutPredictToFile(job_));
  EXPECT_EQ(TakeLog(), std::vector<std::string>{
                           "OutPredictToFile.  Error: The file is neither a zip package nor a "
                           "compound document, so it is not a workbook  in "
                           "Tarvexapp.mTarvex.OutPredictToFile at line 210"});
  EXPECT_EQ(tarvex::testing::ReadFile(job_.pof), "a text file under a workbook's name");
  job_.pof.clear();
  EXPECT_FALSE(OutPredictToFile(job_));
  EXPECT_TRUE(TakeLog().empty());
}

TEST_F(OutPredictToFileTest, FullDiskKeepsTheLinesWrittenAndSaysSo) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  Outputs(0, {{1}, {2}});
  job_.pof = "/dev/full";
  EXPECT_FALSE(OutPredictToFile(job_));
  EXPECT_EQ(TakeLog(),
            std::vector<std::string>{"OutPredictToFile.  Error: No space left on device  in "
                                     "Tarvexapp.mTarvex.OutPredictToFile at line 120"});
}

}  // namespace
}  // namespace tarvex::output
