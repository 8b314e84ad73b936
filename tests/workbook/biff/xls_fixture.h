// Fixtures and peers for the .xls tests: xls_tool.py makes workbooks with xlwt and LibreOffice
// and reads them back with xlrd, olefile and LibreOffice; these helpers run it and compare.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/test_support.h"
#include "workbook/format/workbook_file.h"

namespace tarvex::testing {

// Runs xls_tool.py with the arguments; fails the test and returns "" when it fails.
std::string XlsTool(const std::vector<std::string>& arguments);

bool HasLibreOffice();

// A cell as a peer reads it: kind e(mpty), n(umber), t(ext), b(oolean), d(ate), (erro)x.
struct PeerCell {
  char kind = 'e';
  std::string value;  // a number's repr, or the text
  int style = -1;     // the XF index; -1 when the peer does not say
};

struct PeerSheet {
  std::string name;
  int rows = 0;
  int columns = 0;
  std::map<std::pair<int, int>, PeerCell> cells;
  std::map<int, int> row_styles;     // rows with a default style
  std::map<int, int> column_styles;  // columns with a style
};

struct PeerName {
  std::string name;
  workbook::DefinedArea area;
};

struct PeerBook {
  std::vector<PeerSheet> sheets;
  std::vector<PeerName> names;
};

// The tool's dump (xlrd) or lo-dump (LibreOffice) output, one book per "file" line or whole.
std::vector<PeerBook> ParsePeerBooks(const std::string& text);
PeerBook ReadWithXlrd(const fs::path& path);

// Compares every cell of every sheet (and one row and column beyond each sheet's extent) as the
// workbook file reads it with the peer's book, and its sheet names and defined names.
void ExpectSameAsPeer(workbook::WorkbookFile& file, const PeerBook& peer);

// Expects the two cells to hold the same value (and style when both give one).
void ExpectSameCell(const PeerCell& expected, const PeerCell& actual, const std::string& where);

// A test name made of the words of a description: "split runs, cells" gives SplitRunsCells.
std::string TestName(const std::string& description);

// Writes a compound document that holds the Workbook stream and, beside it, storages and
// streams as a workbook with a VBA project has them.
void WriteWithVbaProject(const fs::path& path, const std::string& workbook_stream);

}  // namespace tarvex::testing
