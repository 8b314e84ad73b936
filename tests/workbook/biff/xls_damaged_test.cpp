// Damaged, encrypted and old .xls files: each gives a WorkbookError that says what is wrong,
// never a crash, a hang or a huge allocation.
#include <gtest/gtest.h>

#include <random>

#include "tests/support/test_support.h"
#include "tests/workbook/biff/xls_fixture.h"
#include "workbook/format_choice.h"

namespace tarvex::testing {
namespace {

using workbook::OpenWorkbookFile;
using workbook::WorkbookError;

// Opens the workbook and reads and writes every sheet; returns the error's text, or "" when
// everything worked.
std::string UseWholly(const fs::path& path) {
  try {
    std::unique_ptr<workbook::WorkbookFile> file = OpenWorkbookFile(path.string());
    for (size_t s = 0; s < file->SheetNames().size(); ++s) {
      file->ReadCells(s, {0, 0, 99, 255});
      std::vector<workbook::CellWrite> writes = {{0, 0, 1.5}, {50, 3, 2.5}};
      file->WriteNumbers(s, writes);
    }
    file->Save();
    return "";
  } catch (const WorkbookError& error) {
    return error.what();
  }
}

struct Damage {
  const char* kind;
  const char* message;
};

const Damage kDamages[] = {
    {"sector-size", "its sector size is 1024 bytes; only 512 and 4096 bytes are possible"},
    {"fat-loop", "the chain of sectors of the stream 'Workbook' loops"},
    {"fat-outside", "the chain of sectors of the stream 'Workbook' points outside the file"},
    {"stream-longer", "the stream 'Workbook' is shorter than its directory entry says"},
    {"truncated", "The compound document is damaged"},
    {"directory-loop", "its directory tree loops"},
    {"no-workbook", "holds no Workbook stream"},
    {"book-stream", "Excel 5.0/95 format or older"},
    {"biff5", "Excel 5.0/95 format or older"},
    {"filepass", "The workbook is encrypted"},
    {"record-past-end", "runs past the end of the stream"},
    {"sst-index", "refers to shared string 999999 of only"},
    {"continue-misplaced", "follows a record that cannot continue"},
    {"cell-outside", "lies outside the sheet's limits of 65,536 rows and 256 columns"},
    {"short-cell", "is too short for its type"},
    {"no-eof", "The Workbook stream is damaged"},
};

TEST(XlsDamaged, EachDamageGivesItsError) {
  TempFolder folder;
  fs::path good = folder / "good.xls";
  XlsTool({"make", "mixed", good.string()});
  ASSERT_EQ(UseWholly(good), "");
  for (const Damage& d : kDamages) {
    SCOPED_TRACE(d.kind);
    fs::path bad = folder / (std::string(d.kind) + ".xls");
    XlsTool({"corrupt", d.kind, good.string(), bad.string()});
    std::string original = ReadFile(bad);
    std::string error = UseWholly(bad);
    EXPECT_NE(error.find(d.message), std::string::npos) << error;
    EXPECT_EQ(ReadFile(bad), original);
  }
}

// Random bytes overwritten anywhere in the file, the compound document's tables included:
// every outcome is a workbook that works or a WorkbookError.
TEST(XlsDamaged, RandomDamageNeverCrashes) {
  TempFolder folder;
  fs::path good = folder / "good.xls";
  XlsTool({"make", "mixed", good.string(), "--blocks", "--names"});
  const std::string original = ReadFile(good);
  std::mt19937 random(20240611);
  int refused = 0;
  for (int round = 0; round < 300; ++round) {
    std::string bytes = original;
    int changes = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < changes; ++i) {
      size_t at = random() % bytes.size();
      // Header and directory fields are the likeliest to make a reader loop or allocate.
      if (round % 3 == 0) at = random() % 512;
      bytes[at] = static_cast<char>(random());
    }
    fs::path bad = folder / "bad.xls";
    WriteFile(bad, bytes);
    if (!UseWholly(bad).empty()) ++refused;
  }
  EXPECT_GT(refused, 0);
}

}  // namespace
}  // namespace tarvex::testing
