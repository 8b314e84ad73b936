#include "input/class_targets.h"

#include <gtest/gtest.h>

#include "input/load_job_data.h"
#include "tests/support/job_fixture.h"
#include "tests/support/sqlite_files.h"

namespace tarvex::input {
namespace {

using Rows = std::vector<std::vector<double>>;
using Texts = std::vector<std::string>;
using tarvex::testing::RowsOf;
namespace fs = std::filesystem;

class ClassTargetsTest : public tarvex::testing::JobFixture {
 protected:
  ClassTargetsTest() {
    job_.task = "Classification";
    job_.nof = (folder_ / "net.txt").string();  // trains and saves: no prediction inputs needed
    job_.ep = 1;
  }
};

TEST_F(ClassTargetsTest, LabelFormsBecomeClassesAndOneHotRows) {
  const struct {
    const char* name;
    const char* tiv;
    const char* file;  // training outputs in out.csv; empty: tov
    const char* tofh;
    const char* tov;
    const char* vov;  // with viv = tiv; empty: no validation data
    Texts classes;
    bool numbers;
    Rows outputs;
    Rows validation;
    Texts log;
  } cases[] = {
      {"TextWithoutHeader",
       "1;2;3",
       "pass\nfail\n pass \n",
       "",
       "",
       "",
       {"fail", "pass"},
       false,
       {{0, 1}, {1, 0}, {0, 1}},
       {},
       {}},
      {"TextWithHeaderKeepsLetterCase",
       "1;2;3",
       "x,Label\n1,pass\n2,Fail\n3,pass\n",
       "label",
       "",
       "",
       {"Fail", "pass"},
       false,
       {{0, 1}, {1, 0}, {0, 1}},
       {},
       {}},
      {"NumbersByValueOneAndOnePointZeroOneClass",
       "1;2;3;4",
       "",
       "",
       "10;1;2;1.0",
       "",
       {"1", "2", "10"},
       true,
       {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}, {1, 0, 0}},
       {},
       {}},
      {"NumbersAndTextsByCodePoint",
       "1;2;3",
       "",
       "",
       "b;10;9",
       "",
       {"10", "9", "b"},
       false,
       {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},
       {},
       {}},
      {"OneHotNamedByHeaderInClassOrder",
       "1;2;3",
       "dog,cat\n1,0\n0,1\n0,1\n",
       "dog,cat",
       "",
       "",
       {"cat", "dog"},
       false,
       {{0, 1}, {1, 0}, {1, 0}},
       {},
       {}},
      {"OneHotNamedByColumnNumber",
       "1;2",
       "",
       "",
       "0,0,1;1,0,0",
       "",
       {"1", "2", "3"},
       true,
       {{0, 0, 1}, {1, 0, 0}},
       {},
       {}},
      {"BlankLabelsLeftOut",
       "1;2;3;4",
       "x,y\n1,pass\n2,\n3,fail\n4,  \n",
       "y",
       "",
       "",
       {"fail", "pass"},
       false,
       {{0, 1}, {1, 0}},
       {},
       {"2 training rows have no label and are left out"}},
      {"OneClass",
       "1;2",
       "",
       "",
       "pass;pass",
       "",
       {},
       false,
       {},
       {},
       {"The training outputs hold one class only (pass); a classification job needs two "
        "classes at least"}},
      {"NotOneHot",
       "1;2",
       "",
       "",
       "1,1;0,1",
       "",
       {},
       false,
       {},
       {},
       {"Invalid data. Values must be numerical. File: ''Training Outputs''"}},
      {"ValidationLabelNotAClass",
       "1;2",
       "",
       "",
       "pass;fail",
       "fail;2.0e0;pass",
       {},
       false,
       {},
       {},
       {"The validation label \"2\" is not a class of the training outputs"}},
      {"ValidationLabels",
       "1;2;3",
       "",
       "",
       "pass;fail;1",
       "fail;pass;1.0",
       {"1", "fail", "pass"},
       false,
       {{0, 0, 1}, {0, 1, 0}, {1, 0, 0}},
       {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}},
       {}},
  };
  for (const auto& c : cases) {
    job::JobSettings job = job_;
    job.tiv = c.tiv;
    job.tof = *c.file ? File("out.csv", c.file) : "";
    job.tofh = c.tofh;
    job.tov = c.tov;
    if (*c.vov) {
      job.viv = c.tiv;
      job.vov = c.vov;
    }
    const bool loaded = LoadJobData(job);
    EXPECT_EQ(TakeLog(), c.log) << c.name;
    ASSERT_EQ(loaded, !c.classes.empty()) << c.name;
    if (!loaded) continue;
    EXPECT_EQ(job.Classes, c.classes) << c.name;
    EXPECT_EQ(job.ClassesAreNumbers, c.numbers) << c.name;
    EXPECT_EQ(RowsOf(job.TrainingOutputs), c.outputs) << c.name;
    EXPECT_EQ(job.TrainingOutputs.ColumnLow(), 0) << c.name;
    EXPECT_EQ(job.TrainingOutputs.RowLow(), job.TrainingInputs.RowLow()) << c.name;
    EXPECT_EQ(job.TrainingInputs.RowCount(), job.TrainingOutputs.RowCount()) << c.name;
    for (job::Index k = 0; k < job.TrainingOutputs.ColumnCount(); ++k) {
      EXPECT_EQ(job.TrainingOutputMin.At(k), 0) << c.name;
      EXPECT_EQ(job.TrainingOutputMax.At(k), 1) << c.name;
    }
    if (*c.vov) {
      EXPECT_EQ(RowsOf(job.ValidationOutputs), c.validation) << c.name;
      EXPECT_EQ(RowsOf(job.ValidationOutputValues), c.validation) << c.name;
    }
  }
}

// The left-out rows go from the inputs too, and the input ranges are those of the rows kept.
TEST_F(ClassTargetsTest, UnlabelledRowsLeaveTheInputsAndTheirRanges) {
  job_.tiv = "5;1;7;3";
  job_.tof = File("out.csv", "x,y\n5,\n1,yes\n7,\n3,no\n");
  job_.tofh = "y";
  job_.Folds = 2;
  job_.viv = "4;6;8";
  job_.vof = File("validation.csv", "x,y\n4,no\n6, \n8,yes\n");
  job_.vofh = "y";
  ASSERT_TRUE(LoadJobData(job_));
  EXPECT_EQ(job_.UnlabelledTrainingRows, 2);
  EXPECT_EQ(job_.UnlabelledValidationRows, 1);
  EXPECT_EQ(RowsOf(job_.TrainingInputValues), (Rows{{1}, {3}}));
  EXPECT_EQ(job_.TrainingInputMin.At(0), 1);
  EXPECT_EQ(job_.TrainingInputMax.At(0), 3);
  // Scaling maps a column's minimum to the high end and its maximum to the low end.
  EXPECT_EQ(RowsOf(job_.TrainingInputs), (Rows{{0.4}, {-0.4}}));
  EXPECT_EQ(RowsOf(job_.ValidationInputs).size(), 2u);
  EXPECT_EQ(RowsOf(job_.ValidationOutputs), (Rows{{1, 0}, {0, 1}}));
  EXPECT_EQ(TakeLog(), (Texts{"2 training rows have no label and are left out",
                              "1 validation row has no label and is left out"}));
}

// One set of labels written by independent tools into a text file, a direct value, a workbook
// range and a database table: every reader must give the same classes and rows.
TEST_F(ClassTargetsTest, EverySourceGivesTheSameClasses) {
  const fs::path xlsx = folder_ / "labels.xlsx";
  const tarvex::testing::RunResult made = tarvex::testing::RunProgram(
      "/usr/bin/python3",
      {"-c",
       "import openpyxl, sys\nbook = openpyxl.Workbook()\nsheet = book.active\n"
       "sheet.title = 'Labels'\nfor value in ['pass', ' Fail', 2.0, 'pass', None, 10]:\n"
       "    sheet.append([value])\nbook.save(sys.argv[1])\n",
       xlsx.string()});
  ASSERT_EQ(made.exit_status, 0) << made.standard_error;
  const fs::path mdb = folder_ / "labels.mdb";
  tarvex::testing::RunSql(mdb,
                          "CREATE TABLE t (id INTEGER, label); INSERT INTO t VALUES (1, 'pass'), "
                          "(2, ' Fail'), (3, 2.0), (4, 'pass'), (5, NULL), (6, '10');");
  const struct {
    const char* name;
    std::string file, selector;
  } sources[] = {
      {"Text", File("labels.csv", "n,label\n1,pass\n2, Fail\n3,2\n4,pass\n5,\n6,1e1\n"), "label"},
      {"Workbook", xlsx.string(), "Labels!A1:A6"},
      {"Database", mdb.string(), "SELECT label FROM t ORDER BY id"},
  };
  // Direct values skip a blank row as the inputs do, so they hold the labelled rows only.
  job::JobSettings from_values = job_;
  from_values.tiv = "1;2;3;4;6";
  from_values.tov = "pass; Fail;2.0;pass;10";
  ASSERT_TRUE(LoadJobData(from_values));
  EXPECT_EQ(from_values.Classes, (Texts{"10", "2", "Fail", "pass"}));
  EXPECT_EQ(RowsOf(from_values.TrainingOutputs),
            (Rows{{0, 0, 0, 1}, {0, 0, 1, 0}, {0, 1, 0, 0}, {0, 0, 0, 1}, {1, 0, 0, 0}}));
  job_.tiv = "1;2;3;4;5;6";
  for (const auto& source : sources) {
    job::JobSettings job = job_;
    job.tof = source.file;
    job.tofh = source.selector;
    ASSERT_TRUE(LoadJobData(job)) << source.name << ": " << ::testing::PrintToString(TakeLog());
    EXPECT_EQ(job.Classes, from_values.Classes) << source.name;
    EXPECT_EQ(RowsOf(job.TrainingOutputs), RowsOf(from_values.TrainingOutputs)) << source.name;
    EXPECT_EQ(job.UnlabelledTrainingRows, 1) << source.name;
    EXPECT_EQ(TakeLog(), Texts{"1 training row has no label and is left out"}) << source.name;
  }
}

// A query's field names name one-hot columns as a header line does.
TEST_F(ClassTargetsTest, OneHotColumnsNamedByHeaderAndByQueryFields) {
  const fs::path mdb = folder_ / "hot.mdb";
  tarvex::testing::RunSql(mdb, "CREATE TABLE t (dog, cat); INSERT INTO t VALUES (1, 0), (0, 1);");
  job_.tiv = "1;2";
  job::JobSettings from_text = job_;
  from_text.tof = File("hot.csv", "dog,cat\n1,0\n0,1\n");
  from_text.tofh = "dog,cat";
  job::JobSettings from_query = job_;
  from_query.tof = mdb.string();
  from_query.tofh = "SELECT dog, cat FROM t";
  ASSERT_TRUE(LoadJobData(from_text));
  ASSERT_TRUE(LoadJobData(from_query));
  EXPECT_EQ(from_query.Classes, (Texts{"cat", "dog"}));
  EXPECT_EQ(from_query.Classes, from_text.Classes);
  EXPECT_EQ(RowsOf(from_query.TrainingOutputs), (Rows{{0, 1}, {1, 0}}));
  EXPECT_EQ(RowsOf(from_query.TrainingOutputs), RowsOf(from_text.TrainingOutputs));
}

}  // namespace
}  // namespace tarvex::input
