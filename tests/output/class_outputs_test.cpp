// A classification job's labels written by every writer and read back by an independent peer:
// Python's csv module, openpyxl, xlrd, SQLite and LibreOffice.
#include <gtest/gtest.h>

#include <map>

#include "output/database_writer.h"
#include "output/out_predict.h"
#include "output/workbook_writer.h"
#include "platform/text.h"
#include "tests/support/job_fixture.h"
#include "tests/support/sqlite_files.h"

namespace tarvex::output {
namespace {

using tarvex::testing::RunProgram;
using tarvex::testing::RunSql;

// Awkward labels on purpose: the delimiters, a quote, non-ASCII text, SQL that must stay text.
const std::vector<std::string> kClasses = {"plain", "a,b",  "say \"hi\"",
                                           "t\tab", "Grün", "x'); DROP TABLE p; --"};

// Each peer prints its cells as fields separated by \x1f, rows ended by \x1e.
const char* const kCsvRows = R"PY(
import csv, sys
with open(sys.argv[1], newline='', encoding='utf-8') as f:
    rows = list(csv.reader(f, delimiter=sys.argv[2]))
sys.stdout.buffer.write(''.join('\x1f'.join(r) + '\x1e' for r in rows).encode())
)PY";
const char* const kMakeBook = R"PY(
import sys
if sys.argv[1].endswith('.xlsx'):
    import openpyxl
    book = openpyxl.Workbook(); sheet = book.active; sheet.title = 'Results'
    sheet['B2'] = 'old text'; sheet['B3'] = 7; sheet['I2'] = 'keep'; book.save(sys.argv[1])
else:
    import xlwt
    book = xlwt.Workbook(); sheet = book.add_sheet('Results')
    sheet.write(1, 1, 'old text'); sheet.write(2, 1, 7); sheet.write(1, 8, 'keep'); book.save(sys.argv[1])
)PY";
// Rows 2 to 8, columns B to I: a row per sheet row, each cell "t:text", "n:number" or "e:".
const char* const kBookRows = R"PY(
import sys
out = []
if sys.argv[1].endswith('.xlsx'):
    import openpyxl
    sheet = openpyxl.load_workbook(sys.argv[1])['Results']
    cell = lambda r, c: sheet.cell(r + 1, c + 1).value
else:
    import xlrd
    sheet = xlrd.open_workbook(sys.argv[1]).sheet_by_name('Results')
    cell = lambda r, c: None if r >= sheet.nrows or c >= sheet.ncols or sheet.cell_type(r, c) == 0 else sheet.cell_value(r, c)
for r in range(1, 8):
    out.append('\x1f'.join('e:' if v is None else ('t:' + v if isinstance(v, str) else 'n:' + repr(float(v)))
                           for v in (cell(r, c) for c in range(1, 9))))
sys.stdout.buffer.write(''.join(row + '\x1e' for row in out).encode())
)PY";

std::vector<std::vector<std::string>> Python(const char* script,
                                             const std::vector<std::string>& arguments) {
  std::vector<std::string> all = {"-c", script};
  all.insert(all.end(), arguments.begin(), arguments.end());
  const tarvex::testing::RunResult run = RunProgram("/usr/bin/python3", all);
  EXPECT_EQ(run.exit_status, 0) << run.standard_error;
  std::vector<std::vector<std::string>> rows;
  for (std::string_view row : platform::SplitAll(run.standard_output, '\x1e')) {
    if (!row.empty()) rows.emplace_back();
    for (std::string_view field : platform::SplitAll(row, '\x1f')) {
      if (!row.empty()) rows.back().emplace_back(field);
    }
  }
  return rows;
}

class ClassOutputsTest : public tarvex::testing::JobFixture {
 protected:
  // Row i is most probable in class i; the last row ties classes 2 and 4, which gives class 2.
  ClassOutputsTest() {
    job_.task = "classification";
    job_.Classes = kClasses;
    const job::Index classes = static_cast<job::Index>(kClasses.size());
    job_.PredictionOutputs = job::DataMatrix(1, classes + 1, 1, classes);
    for (job::Index r = 1; r <= classes + 1; ++r) {
      for (job::Index k = 1; k <= classes; ++k) {
        job_.PredictionOutputs.At(r, k) =
            r <= classes ? (r == k ? 0.5 : 0.1) : (k == 3 || k == 5 ? 0.3 : 0.1);
      }
      expected_.push_back(kClasses[r <= classes ? r - 1 : 2]);
    }
  }
  std::string Failure(const std::string& description, int statement) {
    return "OutPredictToFile.  Error: " + description +
           "  in Tarvexapp.mTarvex.OutPredictToFile at line " + std::to_string(statement);
  }
  // The label and, with /pp=1, the probabilities of each row, as the peer's fields say them.
  void ExpectRows(const std::vector<std::vector<std::string>>& rows, bool probabilities,
                  const std::string& prefix_text = "", const std::string& prefix_number = "") {
    ASSERT_EQ(rows.size(), expected_.size());
    for (size_t r = 0; r < rows.size(); ++r) {
      const size_t width = probabilities ? 1 + kClasses.size() : 1;
      ASSERT_GE(rows[r].size(), width) << r;
      EXPECT_EQ(rows[r][0], prefix_text + expected_[r]) << r;
      for (size_t k = 1; k < width; ++k) {
        ASSERT_EQ(rows[r][k].substr(0, prefix_number.size()), prefix_number) << r << "," << k;
        EXPECT_EQ(
            std::stod(rows[r][k].substr(prefix_number.size())),
            job_.PredictionOutputs.At(static_cast<job::Index>(r) + 1, static_cast<job::Index>(k)))
            << r << "," << k;
      }
    }
  }
  std::vector<std::string> expected_;
};

TEST_F(ClassOutputsTest, TextLinesReadBackWithQuotedLabels) {
  for (const char* name : {"po.txt", "po.csv"}) {
    for (const char* pp : {"0", "1"}) {
      job_.pp = pp;
      job_.pof = (folder_ / name).string();
      ASSERT_TRUE(OutPredictToFile(job_)) << name << " /pp=" << pp;
      const std::string text = tarvex::testing::ReadFile(job_.pof);
      EXPECT_EQ(platform::SplitAll(text, '\n').size(), expected_.size() + 1) << text;
      const std::string delimiter = std::string(name) == "po.txt" ? "\t" : ",";
      SCOPED_TRACE(std::string(name) + " /pp=" + pp);
      ExpectRows(Python(kCsvRows, {job_.pof, delimiter}), job_.pp == "1");
    }
  }
}

TEST_F(ClassOutputsTest, WorkbookCellsHoldTheLabelAsTextAndRefuseOtherWidths) {
  for (const char* name : {"book.xlsx", "book.xls"}) {
    for (const char* pp : {"0", "1"}) {
      SCOPED_TRACE(std::string(name) + " /pp=" + pp);
      job_.pp = pp;
      job_.pof = (folder_ / name).string();
      Python(kMakeBook, {job_.pof});
      const std::string before = tarvex::testing::ReadFile(job_.pof);
      job_.pos = job_.pp == "1" ? "Results!B2:G8" : "Results!B2:C8";
      EXPECT_FALSE(OutPredictToFile(job_));
      const std::string wanted = job_.pp == "1"
                                     ? "6 columns wide; a row of predicted labels takes 1 + 6 = 7 "
                                       "(the label, then one probability per class)"
                                     : "2 columns wide; a row of predicted labels takes 1 (the "
                                       "label)";
      EXPECT_EQ(TakeLog(), std::vector<std::string>{
                               Failure("The range " + job_.pos + " is " + wanted, kWriteRange)});
      EXPECT_EQ(tarvex::testing::ReadFile(job_.pof), before);

      job_.pos = job_.pp == "1" ? "Results!B2:H8" : "Results!B2:B8";
      ASSERT_TRUE(OutPredictToFile(job_));
      TakeLog();
      const auto rows = Python(kBookRows, {job_.pof});
      ExpectRows(rows, job_.pp == "1", "t:", "n:");
      if (job_.pp == "0") {
        EXPECT_EQ(rows[0][1], "e:");  // beside the range
      }
      EXPECT_EQ(rows[0][7], "t:keep");
      if (job_.pof.ends_with(".xls")) {
        const auto check = RunProgram(
            "/usr/bin/python3",
            {(tarvex::testing::SourceFolder() / "tests/workbook/biff/xls_tool.py").string(),
             "check", job_.pof});
        EXPECT_EQ(check.exit_status, 0) << check.standard_output << check.standard_error;
      }
    }
  }
}

TEST_F(ClassOutputsTest, DatabaseBindsTheLabelAsTextAndRefusesOtherCounts) {
  for (const char* pp : {"0", "1"}) {
    SCOPED_TRACE(std::string("/pp=") + pp);
    job_.pp = pp;
    job_.pof = (folder_ / (std::string("p") + pp + ".mdb")).string();
    RunSql(job_.pof, "CREATE TABLE p (label, c1, c2, c3, c4, c5, c6);");
    const std::string all = "insert into p (label, c1, c2, c3, c4, c5, c6) values (x)";
    const std::string one = "insert into p (label) values (x)";
    job_.pos = job_.pp == "1" ? one : "insert into p (label, c1) values (x)";
    EXPECT_FALSE(OutPredictToFile(job_));
    EXPECT_EQ(TakeLog(),
              std::vector<std::string>{Failure(
                  job_.pp == "1" ? "The insert statement takes 1 value; a row of predicted labels "
                                   "takes 1 + 6 = 7 (the label, then one probability per class)"
                                 : "The insert statement takes 2 values; a row of predicted "
                                   "labels takes 1 (the label)",
                  kSetInsertParameter)});
    EXPECT_TRUE(RunSql(job_.pof, "SELECT * FROM p").empty());

    job_.pos = job_.pp == "1" ? all : one;
    ASSERT_TRUE(OutPredictToFile(job_));
    TakeLog();
    ExpectRows(RunSql(job_.pof, "SELECT label, c1, c2, c3, c4, c5, c6 FROM p ORDER BY rowid"),
               job_.pp == "1");
    EXPECT_EQ(RunSql(job_.pof, "SELECT DISTINCT typeof(label) FROM p"),
              tarvex::testing::SqlRows{{"text"}});
  }
}

TEST_F(ClassOutputsTest, LibreOfficeReadsTheWrittenLabels) {
  if (std::system("command -v soffice >/dev/null 2>&1") != 0) GTEST_SKIP() << "no soffice";
  job_.pp = "1";
  job_.pof = (folder_ / "book.xlsx").string();
  job_.pos = "Results!B2:H8";
  Python(kMakeBook, {job_.pof});
  ASSERT_TRUE(OutPredictToFile(job_));
  const tarvex::testing::RunResult converted =
      RunProgram("/usr/bin/soffice",
                 {"-env:UserInstallation=file://" + (folder_ / "profile").string(), "--headless",
                  "--convert-to",
                  "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1",
                  "--outdir", folder_.path().string(), job_.pof});
  ASSERT_EQ(converted.exit_status, 0) << converted.standard_error;
  std::vector<std::vector<std::string>> rows =
      Python(kCsvRows, {(folder_ / "book-Results.csv").string(), ","});
  ASSERT_EQ(rows.size(), 8u);
  rows.erase(rows.begin());
  for (auto& row : rows) row.erase(row.begin());  // column A
  ExpectRows(rows, true);
}

}  // namespace
}  // namespace tarvex::output
