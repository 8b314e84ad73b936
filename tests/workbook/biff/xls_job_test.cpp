// Whole jobs on .xls workbooks: training data from sheet ranges, predictions into another sheet
// of the same workbook, and the failure lines of workbooks that cannot be read or written.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/tarvex_run.h"
#include "tests/workbook/biff/xls_fixture.h"

namespace tarvex::testing {
namespace {

class XlsJobTest : public TarvexRun {
 protected:
  void MakeJob(const std::string& name, std::vector<std::string> options = {}) {
    std::vector<std::string> make = {"make", "job", (folder_ / name).string()};
    make.insert(make.end(), options.begin(), options.end());
    XlsTool(make);
  }
  std::vector<std::string> JobOn(const std::string& book, const std::string& pos) {
    return {"/tif=" + book,     "/tis=Data!A2:B31", "/tof=" + book,
            "/tos=Data!C2:C31", "/pif=" + book,     "/pis=Predict!A2:B6",
            "/pof=" + book,     "/pos=" + pos,      "/log=run.log",
            "/ep=300"};
  }
};

TEST_F(XlsJobTest, TrainsFromRangesAndWritesIntoAnotherSheet) {
  for (const std::vector<std::string>& layout : {std::vector<std::string>{}, {"--blocks"}}) {
    SCOPED_TRACE(layout.empty() ? "as xlwt writes it" : "in row blocks");
    MakeJob("book.xls", layout);
    ASSERT_EQ(Run({"/tif=ti.txt", "/tof=to.txt", "/pif=pi.txt", "/pof=po.txt", "/ep=300"}), 0);
    std::vector<double> expected;
    std::istringstream lines(Read("po.txt"));
    for (double value; lines >> value;) expected.push_back(value);
    ASSERT_EQ(expected.size(), 5u);
    PeerBook before = ReadWithXlrd(folder_ / "book.xls");
    std::string streams = XlsTool({"streams", (folder_ / "book.xls").string()});

    ASSERT_EQ(Run(JobOn("book.xls", "Predict!C2:C6")), 0);
    EXPECT_EQ(Log().back(),
              "Prediction results:\r\n       Prediction Outputs: Array(5,1)\r\n       Output "
              "Address: predict!c2:c6\r\n       Prediction Outputs file: book.xls\r\n");
    PeerBook after = ReadWithXlrd(folder_ / "book.xls");
    for (int i = 0; i < 5; ++i) {
      const PeerCell& cell = after.sheets[1].cells.at({i + 1, 2});
      EXPECT_EQ(cell.kind, 'n');
      // The text holds 15 significant digits, the workbook the whole double.
      EXPECT_NEAR(std::strtod(cell.value.c_str(), nullptr), expected[i], 1e-13) << i;
    }
    // Predict!D2 (a formula), Predict!C7 (below the range), Data!C31 (training data).
    const std::pair<size_t, std::pair<int, int>> kept[] = {{1, {1, 3}}, {1, {6, 2}}, {0, {30, 2}}};
    for (const auto& [sheet, at] : kept) {
      ExpectSameCell(before.sheets[sheet].cells.at(at), after.sheets[sheet].cells.at(at),
                     "kept cell");
    }
    EXPECT_EQ(XlsTool({"check", (folder_ / "book.xls").string()}), "ok\n");
    EXPECT_EQ(XlsTool({"streams", (folder_ / "book.xls").string()}), streams);
  }
}

struct XlsFailure {
  const char* name;
  const char* damage;  // how book.xls is damaged, or nothing
  bool output;         // the workbook is the output target, else the training inputs
  const char* pos;
  std::string message;
};

void PrintTo(const XlsFailure& c, std::ostream* out) { *out << c.name; }

class XlsFailureTest : public XlsJobTest, public ::testing::WithParamInterface<XlsFailure> {};

TEST_P(XlsFailureTest, EndsWithItsLineAndLeavesTheWorkbookAlone) {
  const XlsFailure& c = GetParam();
  if (*c.damage) {
    MakeJob("good.xls");
    XlsTool(
        {"corrupt", c.damage, (folder_ / "good.xls").string(), (folder_ / "book.xls").string()});
  } else {
    XlsTool({"make", "mixed", (folder_ / "book.xls").string(), "--groups"});
    MakeJob("job.xls");  // for the text files beside it
  }
  const std::string original = Read("book.xls");
  std::vector<std::string> arguments =
      c.output ? std::vector<std::string>{"/tif=ti.txt", "/tof=to.txt", "/pif=pi.txt",
                                          "/pof=book.xls", std::string("/pos=") + c.pos}
               : std::vector<std::string>{"/tif=book.xls", "/tis=Data!A2:B31", "/tof=to.txt",
                                          "/pif=pi.txt", "/pof=po.txt"};
  arguments.push_back("/log=run.log");
  arguments.push_back("/ep=50");
  EXPECT_EQ(Run(arguments), 1);
  std::vector<std::string> log = Log();
  if (!log.empty() && log.front().rfind("Training results:", 0) == 0) log.erase(log.begin());
  EXPECT_EQ(log, std::vector<std::string>{c.message});
  EXPECT_EQ(Read("book.xls"), original);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XlsFailureTest,
    ::testing::Values(
        XlsFailure{"Encrypted", "filepass", false, "",
                   "File name: book.xls  The workbook is encrypted (protected by a password to "
                   "open), which cannot be read"},
        XlsFailure{"Excel95", "biff5", false, "",
                   "File name: book.xls  The workbook is in the Excel 5.0/95 format or older "
                   "(BIFF5 or before), which cannot be read; save it in the Excel 97-2003 format"},
        XlsFailure{"DamagedDocument", "sector-size", false, "",
                   "File name: book.xls  The compound document is damaged: its sector size is "
                   "1024 bytes; only 512 and 4096 bytes are possible"},
        XlsFailure{"OutputIntoArrayFormula", "", true, "Data!A5:A9",
                   "OutPredictToFile.  Error: The cell A5 of sheet 'Data' lies in the array "
                   "formula A5:A6 and cannot take a value of its own  in "
                   "Tarvexapp.mTarvex.OutPredictToFile at line 230"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvex::testing
