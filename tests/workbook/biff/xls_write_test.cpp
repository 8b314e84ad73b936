// Writing numbers into .xls workbooks in place: read back by xlrd (and LibreOffice where it is
// installed), the cell tables' bookkeeping checked by an independent record walker, every other
// stream compared byte for byte through olefile.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <sstream>

#include "tests/support/test_support.h"
#include "tests/workbook/biff/xls_fixture.h"
#include "workbook/format_choice.h"

namespace tarvex::testing {
namespace {

using workbook::CellWrite;
using workbook::OpenWorkbookFile;

struct Block {
  int first_row, first_column, last_row, last_column;
};

struct WriteCase {
  const char* what;
  const char* kind;
  std::vector<std::string> options;
  size_t sheet;
  std::vector<Block> first;   // written, saved; then the file is opened again and
  std::vector<Block> second;  // these are written and saved
};

const std::vector<WriteCase> kWriteCases = {
    {"every kind of cell becomes a number", "mixed", {}, 0, {{0, 0, 7, 11}}, {{0, 0, 3, 3}}},
    {"every kind of cell, row blocks",
     "mixed",
     {"--blocks"},
     0,
     {{0, 0, 7, 11}},
     {{9, 199, 9, 201}}},
    {"split runs, cells and rows inserted",
     "mixed",
     {},
     1,
     {{5, 1, 5, 1}, {6, 0, 6, 0}, {7, 2, 7, 2}, {10, 3, 12, 5}, {45, 0, 47, 1}, {100, 0, 170, 2}},
     {{0, 0, 2, 2}, {200, 255, 201, 255}, {65535, 0, 65535, 0}, {60, 1, 99, 1}}},
    {"split runs, cells and rows inserted, row blocks",
     "mixed",
     {"--blocks"},
     1,
     {{5, 1, 5, 1}, {6, 0, 6, 0}, {7, 2, 7, 2}, {10, 3, 12, 5}, {45, 0, 47, 1}, {100, 0, 170, 2}},
     {{0, 0, 2, 2}, {200, 255, 201, 255}, {65535, 0, 65535, 0}, {60, 1, 99, 1}}},
    {"an empty sheet", "mixed", {}, 2, {{3, 2, 40, 4}}, {{0, 0, 0, 0}, {41, 5, 41, 5}}},
    {"an empty sheet that lists row blocks",
     "mixed",
     {"--blocks"},
     2,
     {{3, 2, 40, 4}},
     {{0, 0, 0, 0}}},
    {"row and column styles",
     "styles",
     {},
     0,
     {{6, 0, 6, 7}, {0, 5, 3, 5}, {0, 0, 1, 1}, {40, 2, 40, 2}},
     {{5, 0, 7, 6}}},
    {"shared strings replaced", "sst", {}, 0, {{0, 0, 10, 3}}, {{25, 0, 29, 3}}},
    {"a grid in row blocks",
     "grid",
     {"--blocks"},
     0,
     {{20, 3, 90, 8}, {140, 10, 160, 14}},
     {{0, 0, 200, 0}}},
};

// Distinct, exactly representable values, different in each pass.
double ValueAt(int pass, int row, int column) { return pass * 1e6 + row * 100 + column + 0.125; }

std::vector<CellWrite> Writes(const std::vector<Block>& blocks, int pass) {
  std::vector<CellWrite> writes;
  for (const Block& b : blocks) {
    for (int r = b.first_row; r <= b.last_row; ++r) {
      for (int c = b.first_column; c <= b.last_column; ++c) {
        writes.push_back({r, c, ValueAt(pass, r, c)});
      }
    }
  }
  return writes;
}

// The peer's view of the book after the writes: each written cell a number that keeps its
// style, or for a new cell takes its row's style, else its column's, else the normal style.
PeerBook Expected(PeerBook book, size_t sheet, const std::vector<CellWrite>& writes) {
  PeerSheet& s = book.sheets[sheet];
  for (const CellWrite& w : writes) {
    std::pair<int, int> at(static_cast<int>(w.row), static_cast<int>(w.column));
    auto existing = s.cells.find(at);
    int style = 15;
    char kind = 'n';
    if (existing != s.cells.end()) {
      style = existing->second.style;
      if (existing->second.kind == 'd') kind = 'd';  // its style shows a date
    } else if (s.row_styles.count(at.first)) {
      style = s.row_styles[at.first];
    } else if (s.column_styles.count(at.second)) {
      style = s.column_styles[at.second];
    }
    std::ostringstream value;
    value.precision(17);
    value << w.value;
    s.cells[at] = {kind, value.str(), style};
  }
  return book;
}

void ExpectSameBook(const PeerBook& expected, const PeerBook& actual) {
  ASSERT_EQ(expected.sheets.size(), actual.sheets.size());
  for (size_t s = 0; s < expected.sheets.size(); ++s) {
    auto cells = expected.sheets[s].cells;
    for (const auto& [at, cell] : actual.sheets[s].cells) cells.emplace(at, PeerCell{});
    for (const auto& [at, cell] : cells) {
      auto found = actual.sheets[s].cells.find(at);
      ExpectSameCell(cell, found != actual.sheets[s].cells.end() ? found->second : PeerCell{},
                     "sheet " + std::to_string(s) + " row " + std::to_string(at.first) +
                         " column " + std::to_string(at.second));
    }
  }
}

// Writes, saves and checks what the peers see; returns the peer's view of the result.
PeerBook WriteAndCheck(const fs::path& path, size_t sheet, const std::vector<CellWrite>& writes) {
  PeerBook before = ReadWithXlrd(path);
  std::string streams = XlsTool({"streams", path.string()});
  {
    std::unique_ptr<workbook::WorkbookFile> file = OpenWorkbookFile(path.string());
    file->WriteNumbers(sheet, writes);
    file->Save();
  }
  EXPECT_EQ(XlsTool({"check", path.string()}), "ok\n");
  EXPECT_EQ(XlsTool({"streams", path.string()}), streams);
  PeerBook after = ReadWithXlrd(path);
  ExpectSameBook(Expected(before, sheet, writes), after);
  std::unique_ptr<workbook::WorkbookFile> reopened = OpenWorkbookFile(path.string());
  ExpectSameAsPeer(*reopened, after);
  return after;
}

void PrintTo(const WriteCase& c, std::ostream* out) { *out << c.what; }

class XlsWriteCase : public ::testing::TestWithParam<WriteCase> {};

TEST_P(XlsWriteCase, CellsReadBackByXlrdAndTheRestUnchanged) {
  const WriteCase& c = GetParam();
  SCOPED_TRACE(c.what);
  TempFolder folder;
  fs::path path = folder / "book.xls";
  std::vector<std::string> make = {"make", c.kind, path.string()};
  make.insert(make.end(), c.options.begin(), c.options.end());
  XlsTool(make);
  WriteAndCheck(path, c.sheet, Writes(c.first, 1));
  WriteAndCheck(path, c.sheet, Writes(c.second, 2));
}

INSTANTIATE_TEST_SUITE_P(Cases, XlsWriteCase, ::testing::ValuesIn(kWriteCases),
                         [](const auto& info) { return TestName(info.param.what); });

TEST(XlsWrite, WritingTheSameValuesTwiceGivesTheSameWorkbook) {
  TempFolder folder;
  fs::path path = folder / "book.xls";
  XlsTool({"make", "grid", path.string(), "--blocks"});
  std::vector<CellWrite> writes = Writes({{100, 5, 200, 15}}, 1);
  PeerBook once = WriteAndCheck(path, 0, writes);
  PeerBook twice = WriteAndCheck(path, 0, writes);
  ExpectSameBook(once, twice);
}

TEST(XlsWrite, VbaProjectAndOtherStreamsStayByteForByte) {
  TempFolder folder;
  XlsTool({"make", "mixed", (folder / "plain.xls").string(), "--blocks"});
  XlsTool({"stream", (folder / "plain.xls").string(), (folder / "stream").string()});
  fs::path path = folder / "macros.xls";
  WriteWithVbaProject(path, ReadFile(folder / "stream"));
  std::string streams = XlsTool({"streams", path.string()});
  ASSERT_NE(streams.find("_VBA_PROJECT_CUR/VBA/Module1"), std::string::npos);
  WriteAndCheck(path, 1, Writes({{0, 0, 60, 4}}, 1));
  EXPECT_EQ(XlsTool({"streams", path.string()}), streams);
}

TEST(XlsWrite, SaveReplacesTheFileWholeAndKeepsItsPermissions) {
  TempFolder folder;
  fs::path path = folder / "book.xls";
  XlsTool({"make", "mixed", path.string()});
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  struct stat before;
  ASSERT_EQ(stat(path.c_str(), &before), 0);
  std::unique_ptr<workbook::WorkbookFile> file = OpenWorkbookFile(path.string());
  std::vector<CellWrite> writes = {{0, 0, 9.75}};
  file->WriteNumbers(0, writes);
  file->Save();
  struct stat after;
  ASSERT_EQ(stat(path.c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino);  // a new file renamed over the old one
  EXPECT_EQ(after.st_mode & 0777, 0640u);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
  EXPECT_EQ(ReadWithXlrd(path).sheets[0].cells.at({0, 0}).value, "9.75");
}

TEST(XlsWrite, CellsOfArrayAndSharedFormulasAreRefusedAndNothingChanges) {
  TempFolder folder;
  fs::path path = folder / "book.xls";
  XlsTool({"make", "mixed", path.string(), "--groups"});
  std::string original = ReadFile(path);
  struct Refusal {
    int row, column;
    const char* message;
  };
  const Refusal refusals[] = {
      {4, 0,
       "The cell A5 of sheet 'Data' lies in the array formula A5:A6 and cannot take a "
       "value of its own"},
      {5, 0,
       "The cell A6 of sheet 'Data' lies in the array formula A5:A6 and cannot take a "
       "value of its own"},
      {4, 1, "The cell B5 of sheet 'Data' holds the shared formula of B5, which other cells use"},
  };
  std::unique_ptr<workbook::WorkbookFile> file = OpenWorkbookFile(path.string());
  for (const Refusal& r : refusals) {
    std::vector<CellWrite> writes = {{0, 0, 1.0}, {r.row, r.column, 2.0}};
    try {
      file->WriteNumbers(0, writes);
      ADD_FAILURE() << r.message << ": no refusal";
    } catch (const workbook::WorkbookError& error) {
      EXPECT_NE(std::string(error.what()).find(r.message), std::string::npos) << error.what();
    }
  }
  file->Save();
  EXPECT_EQ(ReadWithXlrd(path).sheets[0].cells.at({0, 0}).value, "1.0");  // nothing written
  std::vector<CellWrite> allowed = {{4, 2, 3.5}};
  file->WriteNumbers(0, allowed);
  file->Save();
  EXPECT_EQ(ReadWithXlrd(path).sheets[0].cells.at({4, 2}).value, "3.5");
  EXPECT_EQ(XlsTool({"check", path.string()}), "ok\n");
  EXPECT_NE(ReadFile(path), original);
}

// LibreOffice reads what was written, recalculates the formulas that depend on it, and finds
// its own streams (CompObj, summaries) unchanged.
TEST(XlsWrite, LibreOfficeReadsTheWrittenWorkbooks) {
  if (!HasLibreOffice()) GTEST_SKIP() << "soffice is not installed";
  TempFolder folder;
  XlsTool({"lo", folder.path().string()});
  fs::path formulas = folder / "formulas.xls";
  fs::path big = folder / "big.xls";
  // A1 and B1 feed the formula in C1; D1 held a text formula, G1 an empty-text one.
  const std::vector<CellWrite> formula_writes = {{0, 0, 100}, {0, 3, 55}, {0, 6, -1}};
  WriteAndCheck(formulas, 0, formula_writes);
  PeerBook big_after = WriteAndCheck(big, 0, Writes({{100, 2, 2999, 5}, {2990, 6, 3100, 9}}, 1));
  std::vector<PeerBook> seen =
      ParsePeerBooks(XlsTool({"lo-dump", formulas.string(), big.string()}));
  ASSERT_EQ(seen.size(), 2u);
  // Every number of the big book, and the written cells of the one with formulas (its other
  // formulas are recalculated from the new values).
  auto expect_seen = [](const PeerSheet& seen_sheet, std::pair<int, int> at, double value) {
    auto found = seen_sheet.cells.find(at);
    ASSERT_NE(found, seen_sheet.cells.end()) << at.first << " " << at.second;
    EXPECT_EQ(std::strtod(found->second.value.c_str(), nullptr), value);
  };
  for (size_t s = 0; s < big_after.sheets.size(); ++s) {
    for (const auto& [at, cell] : big_after.sheets[s].cells) {
      expect_seen(seen[1].sheets[s], at, std::strtod(cell.value.c_str(), nullptr));
    }
  }
  for (const CellWrite& w : formula_writes) {
    expect_seen(seen[0].sheets[0], {static_cast<int>(w.row), static_cast<int>(w.column)}, w.value);
  }
  EXPECT_EQ(seen[0].sheets[0].cells.at({0, 2}).value, "102.0");  // = A1 + B1
}

}  // namespace
}  // namespace tarvex::testing
