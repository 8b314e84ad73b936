// The selector a job gives for a workbook range, on a workbook that xlsxwriter made: where the
// split at "!" puts the sheet name, and what a text without one names.
#include <gtest/gtest.h>

#include "tests/workbook/workbook_tools.h"
#include "workbook/application.h"
#include "workbook/selector.h"

namespace tarvex::workbook {
namespace {

using tarvex::testing::TempFolder;

// Every cell of both sheets holds 100 * sheet + 10 * row + column (from 1); the second sheet is
// the active one, and "Block" names Data!B2:C3.
const char* const kTwoSheets = R"PY(
import sys, xlsxwriter
book = xlsxwriter.Workbook(sys.argv[1])
for s, name in enumerate(["Data", "Other"], start=1):
    sheet = book.add_worksheet(name)
    for r in range(5):
        for c in range(5):
            sheet.write_number(r, c, 100 * s + 10 * (r + 1) + c + 1)
book.worksheets()[1].activate()
book.define_name("Block", "=Data!$B$2:$C$3")
book.close()
)PY";

TEST(SelectorTest, SheetNameAddressAndDefinedName) {
  TempFolder folder;
  const std::filesystem::path path = folder.path() / "book.xlsx";
  tarvex::testing::RunPython(kTwoSheets, {path.string()});
  Application application;
  std::unique_ptr<Workbook> book = application.Workbooks().Open(path.string());
  ASSERT_TRUE(book);

  struct Case {
    const char* selector;
    std::int64_t rows, columns;
    double first;  // the top-left cell's value
  };
  const Case cases[] = {
      {"Data!B2:C3", 2, 2, 122},  // sheet and address
      {"dATA!b2:c3", 2, 2, 122},  // either in any letter case
      {"Other!A1", 1, 1, 211},    //
      {"B2:C4", 3, 2, 222},       // no "!": an address on the active sheet
      {"Block", 2, 2, 122},       // no "!": a defined name first
      {"block", 2, 2, 122},       //
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.selector);
    RangeValue value = SelectRange(*book, c.selector).Value();
    EXPECT_EQ(value.RowCount(), c.rows);
    EXPECT_EQ(value.ColumnCount(), c.columns);
    EXPECT_EQ(value.At(1, 1).number, c.first);
  }

  // Neither part is trimmed or unquoted, the name ends at the first "!", and a leading "!"
  // hands the whole text to the workbook, which knows no such name or address.
  for (const char* selector :
       {" Data!B2", "Data !B2", "'Data'!B2", "Data!!B2", "Data!", "!B2", "Nope!A1", "Data!B2!C3"}) {
    SCOPED_TRACE(selector);
    EXPECT_THROW(SelectRange(*book, selector), WorkbookError);
  }
}

}  // namespace
}  // namespace tarvex::workbook
