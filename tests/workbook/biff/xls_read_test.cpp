// Reading .xls workbooks through the WorkbookFile interface, cell by cell against xlrd.
#include <gtest/gtest.h>

#include "tests/support/test_support.h"
#include "tests/workbook/biff/xls_fixture.h"
#include "workbook/format_choice.h"

namespace tarvex::testing {
namespace {

using workbook::CellArea;
using workbook::CellKind;
using workbook::OpenWorkbookFile;

struct ReadCase {
  const char* kind;
  const char* options;
};

// Every kind of cell xlwt writes (numbers as NUMBER, RK and MULRK, shared and wide strings,
// booleans, each error, formulas, blanks, built-in and custom date formats), shared strings
// broken over CONTINUE records, Excel's row-block layout with INDEX and DBCELL, defined names.
const ReadCase kReadCases[] = {
    {"mixed", ""}, {"mixed", "--blocks"},  {"mixed", "--names"},
    {"sst", ""},   {"styles", "--blocks"}, {"grid", "--blocks"},
};

void PrintTo(const ReadCase& c, std::ostream* out) { *out << c.kind << " " << c.options; }

class XlsReadCase : public ::testing::TestWithParam<ReadCase> {};

TEST_P(XlsReadCase, EveryCellAsXlrdReadsIt) {
  const ReadCase& c = GetParam();
  SCOPED_TRACE(std::string(c.kind) + " " + c.options);
  TempFolder folder;
  fs::path path = folder / "book.xls";
  std::vector<std::string> make = {"make", c.kind, path.string()};
  if (*c.options) make.push_back(c.options);
  XlsTool(make);
  PeerBook peer = ReadWithXlrd(path);
  std::unique_ptr<workbook::WorkbookFile> file = OpenWorkbookFile(path.string());
  ASSERT_NE(file, nullptr);
  ExpectSameAsPeer(*file, peer);
}

INSTANTIATE_TEST_SUITE_P(Cases, XlsReadCase, ::testing::ValuesIn(kReadCases), [](const auto& info) {
  return TestName(std::string(info.param.kind) + " " + info.param.options);
});

TEST(XlsRead, NamesOfOtherKindsAndActiveSheet) {
  TempFolder folder;
  fs::path path = folder / "book.xls";
  XlsTool({"make", "mixed", path.string(), "--names"});
  std::unique_ptr<workbook::WorkbookFile> file = OpenWorkbookFile(path.string());
  EXPECT_EQ(file->RowLimit(), 65536);
  EXPECT_EQ(file->ColumnLimit(), 256);
  EXPECT_EQ(file->ActiveSheet(), 1u);                        // xlwt's set_active_sheet(1)
  ASSERT_TRUE(file->FindDefinedName("INPUTS").has_value());  // names ignore letter case
  EXPECT_FALSE(file->FindDefinedName("Local").has_value());  // a sheet-level name
  EXPECT_FALSE(file->FindDefinedName("Expr").has_value());   // a formula, not an area
  EXPECT_FALSE(file->FindDefinedName("Missing").has_value());
}

TEST(XlsRead, AreaBeyondTheCellsReadsEmptyAndSubAreasMatch) {
  TempFolder folder;
  fs::path path = folder / "book.xls";
  XlsTool({"make", "grid", path.string(), "--blocks"});
  std::unique_ptr<workbook::WorkbookFile> file = OpenWorkbookFile(path.string());
  std::vector<workbook::CellValue> whole = file->ReadCells(0, {0, 0, 149, 11});
  std::vector<workbook::CellValue> part = file->ReadCells(0, {37, 3, 70, 9});
  for (std::int64_t r = 37; r <= 70; ++r) {
    for (std::int64_t c = 3; c <= 9; ++c) {
      EXPECT_EQ(part[(r - 37) * 7 + (c - 3)].number, whole[r * 12 + c].number);
    }
  }
  for (const workbook::CellValue& value : file->ReadCells(0, {150, 0, 5000, 255})) {
    ASSERT_EQ(value.kind, CellKind::kEmpty);
  }
}

TEST(XlsRead, AreasAndCellsBeyondTheSheetsLimitsAreRefused) {
  TempFolder folder;
  fs::path path = folder / "book.xls";
  XlsTool({"make", "grid", path.string()});
  std::string original = ReadFile(path);
  std::unique_ptr<workbook::WorkbookFile> file = OpenWorkbookFile(path.string());
  const CellArea areas[] = {{0, 0, 65536, 0}, {0, 0, 0, 256}, {-1, 0, 3, 3}, {5, 0, 4, 0}};
  for (const CellArea& area : areas) {
    EXPECT_THROW(file->ReadCells(0, area), workbook::WorkbookError);
  }
  const workbook::CellWrite writes[] = {{65536, 0, 1}, {0, 256, 1}, {-1, 0, 1}, {0, -1, 1}};
  for (const workbook::CellWrite& write : writes) {
    EXPECT_THROW(file->WriteNumbers(0, {&write, 1}), workbook::WorkbookError);
  }
  EXPECT_THROW(file->ReadCells(2, {0, 0, 0, 0}), workbook::WorkbookError);  // no third sheet
  EXPECT_EQ(ReadFile(path), original);
}

// LibreOffice writes cached formula results (numbers, text through STRING records, booleans,
// errors, empty text), array and shared formulas, defined names and other streams.
TEST(XlsRead, LibreOfficeWorkbooksAsXlrdReadsThem) {
  if (!HasLibreOffice()) GTEST_SKIP() << "soffice is not installed";
  TempFolder folder;
  XlsTool({"lo", folder.path().string()});
  for (const char* name : {"formulas.xls", "big.xls"}) {
    SCOPED_TRACE(name);
    PeerBook peer = ReadWithXlrd(folder / name);
    std::unique_ptr<workbook::WorkbookFile> file = OpenWorkbookFile((folder / name).string());
    ExpectSameAsPeer(*file, peer);
  }
}

}  // namespace
}  // namespace tarvex::testing
