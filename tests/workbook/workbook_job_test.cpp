// Whole jobs on workbooks: training data from sheet ranges, predictions into another sheet of the
// same workbook, and the failure lines of reading and writing.
#include <gtest/gtest.h>

#include <cmath>

#include "input/workbook_reader.h"
#include "tests/support/job_fixture.h"
#include "tests/support/tarvex_run.h"
#include "tests/workbook/workbook_tools.h"

namespace tarvex::workbook {
namespace {

using tarvex::testing::Json;

// Sheet Data: x1, x2, y in rows 2 to 31, a date in E2; sheet Predict: x1, x2 in rows 2 to 6, a
// formula beside the prediction column and a value below it. The same numbers as text files.
const char* const kJobWorkbook = R"PY(
import datetime, math, sys, xlsxwriter
folder, name = sys.argv[1], sys.argv[2]
book = xlsxwriter.Workbook(folder + "/" + name)
if name.endswith(".xlsm"):
    book.add_vba_project("/usr/share/doc/python3-xlsxwriter/examples/vbaProject.bin")
data, predict = book.add_worksheet("Data"), book.add_worksheet("Predict")
data.write_row(0, 0, ["x1", "x2", "y"])
predict.write_row(0, 0, ["x1", "x2", "y"])
rows = [((i % 6) / 5, (i * 7 % 11) / 10) for i in range(30)]
with open(folder + "/ti.txt", "w") as ti, open(folder + "/to.txt", "w") as to:
    for r, (a, b) in enumerate(rows, start=1):
        y = math.sin(a) + b * b / 2
        data.write_row(r, 0, [a, b, y])
        ti.write("%r\t%r\n" % (a, b))
        to.write("%r\n" % y)
data.write_datetime("E2", datetime.datetime(2024, 1, 2), book.add_format({"num_format": "d mmm yyyy"}))
with open(folder + "/pi.txt", "w") as pi:
    for r in range(1, 6):
        a, b = r / 6, 1 - r / 6
        predict.write_row(r, 0, [a, b])
        pi.write("%r\t%r\n" % (a, b))
predict.write_formula("D2", "=C2*2", None, 0)
predict.write_number("C7", 99)
predict.write_array_formula("F2:F3", "{=A2:A3*2}", None, 0)
book.close()
)PY";

class WorkbookJobTest : public tarvex::testing::TarvexRun {
 protected:
  void MakeWorkbook(const std::string& name) {
    tarvex::testing::RunPython(kJobWorkbook, {folder_.path().string(), name});
  }
  // The job's predictions as the text writer gives them, for comparison.
  std::vector<double> TextPredictions() {
    EXPECT_EQ(Run({"/tif=ti.txt", "/tof=to.txt", "/pif=pi.txt", "/pof=po.txt", "/ep=300"}), 0);
    std::vector<double> values;
    std::istringstream lines(Read("po.txt"));
    for (double value; lines >> value;) values.push_back(value);
    return values;
  }
  std::vector<std::string> JobOn(const std::string& book, const std::string& pos) {
    return {"/tif=" + book,     "/tis=Data!A2:B31", "/tof=" + book,
            "/tos=Data!C2:C31", "/pif=" + book,     "/pis=Predict!A2:B6",
            "/pof=" + book,     "/pos=" + pos,      "/log=run.log",
            "/ep=300"};
  }
};

TEST_F(WorkbookJobTest, TrainsFromRangesAndWritesIntoAnotherSheet) {
  for (const std::string name : {"book.xlsm", "book.xlsx"}) {
    MakeWorkbook(name);
    std::filesystem::copy_file(folder_ / name, folder_ / ("before-" + name));
    const std::vector<double> expected = TextPredictions();
    ASSERT_EQ(expected.size(), 5u);
    ASSERT_EQ(Run(JobOn(name, "Predict!C2:C6")), 0) << name;
    EXPECT_EQ(Log().back(),
              "Prediction results:\r\n       Prediction Outputs: Array(5,1)\r\n       Output "
              "Address: predict!c2:c6\r\n       Prediction Outputs file: " +
                  name + "\r\n");

    Json cells = tarvex::testing::OpenpyxlCells(folder_ / name, "Predict");
    Json second = tarvex::testing::HasSheetJs()
                      ? tarvex::testing::SheetJsCells(folder_ / name, "Predict")
                      : Json::object();
    for (size_t i = 0; i < expected.size(); ++i) {
      const std::string cell = "C" + std::to_string(i + 2);
      // The text holds 15 significant digits, the workbook the whole double.
      EXPECT_NEAR(cells[cell]["value"].get<double>(), expected[i], 1e-13) << name << cell;
      if (second.contains(cell)) {
        EXPECT_EQ(second[cell]["v"].get<double>(), cells[cell]["value"].get<double>());
      }
    }
    EXPECT_EQ(cells["D2"]["value"], "=C2*2");
    EXPECT_EQ(cells["C7"]["value"].get<double>(), 99);
    Json differences =
        tarvex::testing::ZipDifferences(folder_ / ("before-" + name), folder_ / name);
    EXPECT_EQ(differences["changed"], Json({"xl/worksheets/sheet2.xml"})) << name;
    EXPECT_EQ(differences["removed"], Json::array()) << name;
  }
}

TEST_F(WorkbookJobTest, OnlyTheCellsThatReceiveValuesChange) {
  struct Case {
    const char* pos;
    std::vector<const char*> written;
    std::vector<const char*> kept;  // cells of the range (or beside it) that keep their content
  };
  const Case cases[] = {
      // A range larger than the matrix: its other cells keep their values and formulas.
      {"Predict!C2:D7", {"C2", "C3", "C4", "C5", "C6"}, {"D2", "C7"}},
      // A range smaller than the matrix: what does not fit is dropped.
      {"Predict!C2:C3", {"C2", "C3"}, {"C4", "C5", "C6", "C7"}},
      // One cell: the first value alone.
      {"Predict!c2", {"C2"}, {"C3", "D2"}},
  };
  MakeWorkbook("book.xlsx");
  std::filesystem::copy_file(folder_ / "book.xlsx", folder_ / "original.xlsx");
  const std::vector<double> expected = TextPredictions();
  for (const Case& c : cases) {
    std::filesystem::copy_file(folder_ / "original.xlsx", folder_ / "book.xlsx",
                               std::filesystem::copy_options::overwrite_existing);
    ASSERT_EQ(Run(JobOn("book.xlsx", c.pos)), 0) << c.pos;
    Json before = tarvex::testing::OpenpyxlCells(folder_ / "original.xlsx", "Predict");
    Json after = tarvex::testing::OpenpyxlCells(folder_ / "book.xlsx", "Predict");
    for (size_t i = 0; i < c.written.size(); ++i) {
      EXPECT_NEAR(after[c.written[i]]["value"].get<double>(), expected[i], 1e-13) << c.pos;
    }
    for (const char* cell : c.kept) {
      EXPECT_EQ(after.contains(cell) ? after[cell] : Json(),
                before.contains(cell) ? before[cell] : Json())
          << c.pos << " " << cell;
    }
  }
}

struct FailureCase {
  const char* name;
  std::vector<std::string> arguments;
  std::string message;  // empty: the run fails without a log line
};

void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

class WorkbookFailureTest : public WorkbookJobTest,
                            public ::testing::WithParamInterface<FailureCase> {};

TEST_P(WorkbookFailureTest, EndsWithItsLineAndLeavesTheWorkbookAlone) {
  MakeWorkbook("book.xlsm");
  const std::string original = Read("book.xlsm");
  std::vector<std::string> arguments = GetParam().arguments;
  arguments.push_back("/log=run.log");
  arguments.push_back("/ep=50");
  EXPECT_EQ(Run(arguments), 1);
  std::vector<std::string> expected;
  if (!GetParam().message.empty()) expected.push_back(GetParam().message);
  std::vector<std::string> log = Log();
  if (!log.empty() && log.front().rfind("Training results:", 0) == 0) log.erase(log.begin());
  EXPECT_EQ(log, expected);
  EXPECT_EQ(Read("book.xlsm"), original);
}

const std::vector<std::string> kReadRange = {"/tof=to.txt", "/pif=pi.txt", "/pof=po.txt"};
std::vector<std::string> Reading(const std::string& tis, const std::string& tif = "book.xlsm") {
  std::vector<std::string> arguments = {"/tif=" + tif, "/tis=" + tis};
  arguments.insert(arguments.end(), kReadRange.begin(), kReadRange.end());
  return arguments;
}
std::vector<std::string> Writing(const std::string& pos, const std::string& pof = "book.xlsm") {
  return {"/tif=ti.txt", "/tof=to.txt", "/pif=pi.txt", "/pof=" + pof, "/pos=" + pos};
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WorkbookFailureTest,
    ::testing::Values(
        FailureCase{"SingleCell", Reading("Data!A2"), ""},
        FailureCase{"HeadingText", Reading("Data!A1:B31"),
                    "Invalid data. Values must be numerical. File: 'book.xlsm'"},
        FailureCase{"DateCell", Reading("Data!D2:E3"),
                    "Invalid data. Values must be numerical. File: 'book.xlsm'"},
        FailureCase{"NoSuchSheet", Reading("Nope!A2:B31"),
                    "File name: book.xlsm  The workbook has no sheet named 'nope'"},
        FailureCase{"TwoBangs", Reading("Data!A2!B3"),
                    "File name: book.xlsm  'a2!b3' is not a cell address such as B2 or B2:D4"},
        FailureCase{"NoAddressNoName", Reading("inputs"),
                    "File name: book.xlsm  'inputs' is neither a name defined in the workbook "
                    "nor a cell address"},
        FailureCase{"MissingWorkbook", Reading("Data!A2:B31", "missing.xlsm"),
                    "File not found: missing.xlsm"},
        FailureCase{"OutputWorkbookMissing", Writing("Predict!C2:C6", "none.xlsm"),
                    "File not found: none.xlsm"},
        FailureCase{"OutputSheetMissing", Writing("Nope!C2:C6"),
                    "OutPredictToFile.  Error: The workbook has no sheet named 'nope'  in "
                    "Tarvexapp.mTarvex.OutPredictToFile at line 220"},
        FailureCase{"OutputAddressEmpty", Writing("Predict!"),
                    "OutPredictToFile.  Error: '' is not a cell address such as B2 or B2:D4  "
                    "in Tarvexapp.mTarvex.OutPredictToFile at line 220"},
        FailureCase{"OutputIntoArrayFormula", Writing("Predict!F2:F6"),
                    "OutPredictToFile.  Error: The cell F2 of sheet 'Predict' lies in the "
                    "array formula F2:F3 and cannot take a value of its own  in "
                    "Tarvexapp.mTarvex.OutPredictToFile at line 230"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WorkbookJobTest, FailedSaveLogsItsStepAndNoResults) {
  namespace fs = std::filesystem;
  MakeWorkbook("book.xlsx");
  fs::permissions(folder_.path(), fs::perms::all);
  fs::create_directory(folder_ / "locked");
  fs::rename(folder_ / "book.xlsx", folder_ / "locked/book.xlsx");
  fs::permissions(folder_ / "locked", fs::perms::owner_all | fs::perms::group_read |
                                          fs::perms::group_exec | fs::perms::others_read |
                                          fs::perms::others_exec);
  fs::permissions(folder_ / "locked/book.xlsx", fs::perms::all);
  const std::string original = Read("locked/book.xlsx");
  tarvex::testing::RunOptions options;
  options.working_folder = folder_.path();
  options.unprivileged = true;
  auto run =
      tarvex::testing::RunProgram(program_,
                                  {"/tiv=1;2;3", "/tov=1;2;3", "/piv=1.5", "/pof=locked\\book.xlsx",
                                   "/pos=Predict!C2", "/log=run.log", "/ep=50"},
                                  options);
  if (run.exit_status == tarvex::testing::kCouldNotDropPrivileges) {
    GTEST_SKIP() << "privileges cannot be dropped here";
  }
  EXPECT_EQ(run.exit_status, 1);
  std::vector<std::string> log = Log();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "OutPredictToFile.  Error: Permission denied  (Workbooks.Save)");
  EXPECT_EQ(Read("locked/book.xlsx"), original);
}

// Workbooks that openpyxl wrote: formulas without saved results hold no number; a sheet that
// holds a cell or a row twice, or a second sheetData, is damaged; a folder is no workbook.
TEST_F(WorkbookJobTest, CellsWithoutNumbersDamagedSheetsAndFoldersAreRefused) {
  tarvex::testing::RunPython(R"PY(
import sys, zipfile, openpyxl
folder = sys.argv[1]
book = openpyxl.Workbook()
sheet = book.active
sheet.title = "Data"
for r in range(1, 31):
    sheet.append([r % 7, r % 5, "=A%d+B%d" % (r, r)])
book.save(folder + "/calc.xlsx")
def variant(name, old, new):
    with zipfile.ZipFile(folder + "/calc.xlsx") as source:
        with zipfile.ZipFile(folder + "/" + name, "w", zipfile.ZIP_DEFLATED) as target:
            for info in source.infolist():
                data = source.read(info.filename)
                if info.filename == "xl/worksheets/sheet1.xml":
                    assert old in data
                    data = data.replace(old, new, 1)
                target.writestr(info, data)
variant("cell.xlsx", b'<c r="A2" t="n"><v>2</v></c>', b'<c r="A2" t="n"><v>2</v></c><c r="A2" t="n"><v>9</v></c>')
variant("row.xlsx", b'<row r="3">', b'<row r="2"><c r="D2"><v>1</v></c></row><row r="3">')
variant("data.xlsx", b"</sheetData>", b'</sheetData><sheetData><row r="40"><c r="A40"><v>9</v></c></row></sheetData>')
)PY",
                             {folder_.path().string()});
  std::filesystem::create_directory(folder_ / "folder.xlsx");
  struct Case {
    std::vector<std::string> job;
    std::string line;
  };
  const Case cases[] = {
      {Reading("Data!A1:C30", "calc.xlsx"),
       "Invalid data. Values must be numerical. File: 'calc.xlsx'"},
      {Reading("Data!A1:B30", "cell.xlsx"),
       "File name: cell.xlsx  The cell A2 of xl/worksheets/sheet1.xml appears twice"},
      {Reading("Data!A1:B30", "row.xlsx"),
       "File name: row.xlsx  The row 2 of xl/worksheets/sheet1.xml appears twice"},
      {Reading("Data!A1:B30", "data.xlsx"),
       "File name: data.xlsx  The part xl/worksheets/sheet1.xml holds a second sheetData"},
      {Writing("Data!C1:C5", "folder.xlsx"),
       "OutPredictToFile.  Error: Is a directory  in Tarvexapp.mTarvex.OutPredictToFile at line "
       "210"},
  };
  MakeWorkbook("book.xlsm");
  for (const Case& c : cases) {
    std::filesystem::remove(folder_ / "run.log");
    std::vector<std::string> job = c.job;
    job.push_back("/log=run.log");
    job.push_back("/ep=50");
    EXPECT_EQ(Run(job), 1) << c.line;
    std::vector<std::string> log = Log();
    EXPECT_EQ(log.empty() ? "" : log.back(), c.line);
  }
}

class ReadWorkbookRangeTest : public tarvex::testing::JobFixture {};

TEST_F(ReadWorkbookRangeTest, MatricesCountFromOneAndBlankCellsAreZero) {
  const std::string path = (folder_ / "cells.xlsx").string();
  tarvex::testing::RunPython(R"PY(
import sys, xlsxwriter
book = xlsxwriter.Workbook(sys.argv[1])
sheet = book.add_worksheet("Data")
sheet.write_row("B3", [1.5, None, " 12 "])
sheet.write_row("B4", ["3.5", -2, "3,5"])
book.close()
)PY",
                             {path});
  job::DataMatrix matrix;
  ASSERT_TRUE(input::ReadWorkbookRange(job_, "data!b3:c4", matrix, path));
  EXPECT_EQ(matrix.RowLow(), 1);
  EXPECT_EQ(matrix.ColumnLow(), 1);
  EXPECT_EQ(tarvex::testing::RowsOf(matrix),
            (std::vector<std::vector<double>>{{1.5, 0}, {3.5, -2}}));
  ASSERT_TRUE(input::ReadWorkbookRange(job_, "Data!D3", matrix, path) == false);
  EXPECT_TRUE(TakeLog().empty());
  // Texts are read by the locale's number test: under a decimal comma "3,5" is a number and
  // "3.5" is not.
  job_.DecimalSeparator = ",";
  ASSERT_TRUE(input::ReadWorkbookRange(job_, "Data!D3:D4", matrix, path));
  EXPECT_EQ(tarvex::testing::RowsOf(matrix), (std::vector<std::vector<double>>{{12}, {3.5}}));
  EXPECT_FALSE(input::ReadWorkbookRange(job_, "Data!B4:D4", matrix, path));
  EXPECT_EQ(TakeLog(), std::vector<std::string>{"Invalid data. Values must be numerical. File: '" +
                                                path + "'"});
}

}  // namespace
}  // namespace tarvex::workbook
