// The sheet table scanned in pieces on several threads against the same part scanned whole: the
// same cells for every range, and the same failures, whatever happens at a cut.
#include "workbook/openxml/sheet_table.h"

#include <gtest/gtest.h>

#include <variant>

namespace tarvex::workbook::openxml {
namespace {

// Rows 1 to count of three cells each: a number, a shared string and an inline string.
std::string Rows(int first, int count, bool numbered = true) {
  std::string rows;
  for (int row = first; row < first + count; ++row) {
    const std::string n = std::to_string(row);
    rows += numbered ? "<row r=\"" + n + "\">" : std::string("<row>");
    rows += "<c><v>" + n + ".5</v></c><c t=\"s\"><v>" + std::to_string(row % 2) +
            "</v></c><c t=\"inlineStr\"><is><t>i" + n + "</t></is></c></row>";
  }
  return rows;
}

std::string Sheet(const std::string& rows) {
  return "<worksheet><sheetData>" + rows + "</sheetData></worksheet>";
}

using Cells = std::variant<std::vector<CellValue>, std::string>;

Cells Read(const std::string& xml, size_t minimum_piece) {
  static const std::vector<std::string> shared = {"even", "odd"};
  CellContext context;
  context.shared_string = [](std::uint64_t index) -> const std::string& {
    if (index >= shared.size()) throw WorkbookError("no shared string");
    return shared[index];
  };
  try {
    return SheetTable(xml, "sheet.xml", {1048576, 16384}, nullptr, nullptr, minimum_piece)
        .Read({0, 0, 60, 3}, context);
  } catch (const WorkbookError& failure) {
    return std::string(failure.what());
  }
}

TEST(SheetTableTest, PiecesReadAsTheWholePart) {
  const std::string sheets[] = {
      Sheet(Rows(1, 40)),
      Sheet(Rows(21, 20) + Rows(1, 20)),                // rows that go back
      Sheet(Rows(1, 20) + Rows(15, 20)),                // rows given twice
      Sheet(Rows(1, 20, false) + Rows(21, 20, false)),  // no row numbers written
      Sheet(Rows(1, 20) + "<!-- <row r=\"99\"> -->" + Rows(21, 20)),
      Sheet(Rows(1, 20) + "<row r=\"21\"><c t=\"s\"><v>7</v></c></row>" + Rows(22, 20)),
      Sheet(Rows(1, 20) + "<row r=\"21\"><c r=\"B22\"/></row>" + Rows(22, 20)),  // damage
      Sheet(Rows(1, 20) + "<row r=\"21\"><c t=\"n\"><v>x</v></c></row>" + Rows(22, 2) + "<x>"),
      Sheet(Rows(1, 20)) + "<sheetData>" + Rows(30, 20) + "</sheetData>",
  };
  for (const std::string& sheet : sheets) {
    // Pieces of a byte or more: as many pieces as there are cores.
    const Cells whole = Read(sheet, sheet.size() + 1), pieces = Read(sheet, 1);
    ASSERT_EQ(whole.index(), pieces.index()) << sheet;
    if (whole.index() == 1) {
      EXPECT_EQ(std::get<1>(whole), std::get<1>(pieces)) << sheet;
      continue;
    }
    const auto& a = std::get<0>(whole);
    const auto& b = std::get<0>(pieces);
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
      EXPECT_TRUE(a[i].kind == b[i].kind && a[i].number == b[i].number && a[i].text == b[i].text)
          << sheet << " cell " << i;
    }
  }
}

}  // namespace
}  // namespace tarvex::workbook::openxml
