// The workbooks that an application keeps open: opening an open workbook returns it while its
// file stands as it was, and a file that was written since is read again; a run's output written
// into a workbook that another run changed after this one read it keeps the other run's cells.
#include <gtest/gtest.h>

#include <optional>

#include "input/load_data_set.h"
#include "output/out_predict.h"
#include "tests/support/job_fixture.h"
#include "tests/workbook/workbook_tools.h"
#include "workbook/application.h"

namespace tarvex::workbook {
namespace {

namespace fs = std::filesystem;

// Sheet Data: 1, 2, 3 down column A; the value of B1 comes from the script's second argument.
const char* const kSmallBook = R"PY(
import sys, xlsxwriter
book = xlsxwriter.Workbook(sys.argv[1])
sheet = book.add_worksheet("Data")
for r in range(3):
    sheet.write_number(r, 0, r + 1)
sheet.write_number(0, 1, float(sys.argv[2]))
book.close()
)PY";

void MakeBook(const fs::path& path, double b1) {
  tarvex::testing::RunPython(kSmallBook, {path.string(), std::to_string(b1)});
}

double B1(Workbook& book) { return book.WorkSheets("data").Range("b1").Value().Single().number; }

// Puts value into cell cell of sheet Data and saves, as another run writing the workbook does.
void WriteCell(const fs::path& path, const std::string& cell, double value) {
  Application other;
  std::unique_ptr<Workbook> book = other.Workbooks().Open(path.string());
  book->WorkSheets("data").Range(cell).SetValue(value);
  book->Save();
}

TEST(OpenWorkbooksTest, AnOpenWorkbookIsReturnedUntilItsFileIsWritten) {
  const struct {
    const char* between;  // what happens to the file between the two opens
    double b1_seen;       // what the second open reads in B1
  } cases[] = {
      {"nothing", 7},
      {"another run saves it", 8},          // replaced through a rename
      {"rewritten in place", 9},            // the same inode, new content
      {"the same bytes written again", 7},  // the status change time moves: read again
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.between);
    tarvex::testing::TempFolder folder;
    const fs::path path = folder / "book.xlsx";
    MakeBook(path, 7);
    Application application;
    std::unique_ptr<Workbook> first = application.Workbooks().Open(path.string());
    EXPECT_EQ(B1(*first), 7);
    const std::string between = c.between;
    if (between == "another run saves it") {
      WriteCell(path, "b1", 8);
    } else if (between == "rewritten in place") {
      MakeBook(folder / "new.xlsx", 9);
      tarvex::testing::WriteFile(path, tarvex::testing::ReadFile(folder / "new.xlsx"));
    } else if (between == "the same bytes written again") {
      tarvex::testing::WriteFile(path, tarvex::testing::ReadFile(path));
    }
    std::unique_ptr<Workbook> second = application.Workbooks().Open(path.string());
    EXPECT_EQ(B1(*second), c.b1_seen);
    EXPECT_EQ(application.Workbooks().Count(), 1u);
    // The first handle still reads what its file held when it was opened.
    EXPECT_EQ(B1(*first), 7);
    MakeBook(folder / "other.xlsx", 1);
    application.Workbooks().Open((folder / "other.xlsx").string());
    EXPECT_EQ(application.Workbooks().Count(), 2u);
    second->Close();
    EXPECT_EQ(application.Workbooks().Count(), 1u);
  }
}

class RunWorkbooksTest : public tarvex::testing::JobFixture {};

// Run A reads its data from the workbook and trains; meanwhile run B writes C1 and saves. A's
// output then goes into the workbook as B left it, with B's cell kept.
TEST_F(RunWorkbooksTest, AnOutputKeepsTheCellsOfARunThatWroteAfterTheRead) {
  const fs::path path = folder_ / "book.xlsx";
  for (const bool other_run_writes : {false, true}) {
    SCOPED_TRACE(other_run_writes ? "another run wrote C1" : "nobody else wrote");
    MakeBook(path, 7);
    RunApplication run;
    std::optional<Application> unused;
    ASSERT_TRUE(input::LoadDataSet(job_, path.string(), job_.TrainingInputs, input::Source::kFile,
                                   job::DataSet::kTrainingInputs, "Data!A1:A3"));
    EXPECT_EQ(RunApplication::Shared(unused).Workbooks().Count(), 1u);
    if (other_run_writes) WriteCell(path, "c1", 42);
    job_.PredictionOutputs = job::DataMatrix(1, 2, 1, 1);
    job_.PredictionOutputs.At(1, 1) = 0.25;
    job_.PredictionOutputs.At(2, 1) = 0.5;
    job_.pof = path.string();
    job_.pos = "Data!D1:D2";
    ASSERT_TRUE(output::OutPredictToFile(job_));
    const tarvex::testing::Json cells = tarvex::testing::OpenpyxlCells(path, "Data");
    EXPECT_EQ(cells["D1"]["value"], 0.25);
    EXPECT_EQ(cells["D2"]["value"], 0.5);
    EXPECT_EQ(cells["B1"]["value"], 7);
    EXPECT_EQ(cells.contains("C1") && cells["C1"]["kind"] == "number", other_run_writes);
    if (other_run_writes) {
      EXPECT_EQ(cells["C1"]["value"], 42);
    }
    // The saved workbook is closed; the run opens the new file when it is named again.
    EXPECT_EQ(RunApplication::Shared(unused).Workbooks().Count(), 0u);
    TakeLog();
  }
}

}  // namespace
}  // namespace tarvex::workbook
