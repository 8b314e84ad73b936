// Writing numbers into .xlsx and .xlsm workbooks and saving them: what openpyxl and SheetJS then
// read, which entries changed, and the writes that are refused.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "tests/workbook/workbook_tools.h"
#include "workbook/application.h"
#include "workbook/format/address.h"
#include "workbook/openxml/edits.h"

namespace tarvex::workbook::openxml {
namespace {

using tarvex::testing::Json;
using tarvex::testing::TempFolder;

// Sheets "Data" (never written) and "Results" with values, styles, a formula, gaps, a text and
// a styled column around the block that the tests write.
const char* const kResultsWorkbook = R"PY(
import datetime, sys, xlsxwriter
path = sys.argv[1]
book = xlsxwriter.Workbook(path)
if path.endswith(".xlsm"):
    book.add_vba_project("/usr/share/doc/python3-xlsxwriter/examples/vbaProject.bin")
data = book.add_worksheet("Data")
for r in range(5):
    data.write_row(r, 0, [r, r * 2.5, "t%d" % r])
results = book.add_worksheet("Results")
three = book.add_format({"num_format": "0.000"})
percent = book.add_format({"num_format": "0.0%"})
results.set_column(6, 6, 12, percent)
results.write_string("A1", "heading")
results.write_number("B2", 1, three)
results.write_string("C2", "text")
results.write_formula("D2", "=B2*2", None, 2)
results.write_string("F2", "right of the block")
results.write_boolean("C3", True)
results.write_datetime("D3", datetime.datetime(2024, 5, 6), book.add_format({"num_format": "yyyy-mm-dd"}))
results.write_number("E3", 5)
results.write_formula("B8", "=SUM(B2:D5)", None, 0)
book.close()
)PY";

struct Written {
  std::string cell;
  double value;
};

std::vector<Written> WriteBlock(const std::string& path, const std::string& address,
                                const std::vector<std::vector<double>>& values) {
  Application application;
  std::unique_ptr<Workbook> book = application.Workbooks().Open(path);
  Range range = book->WorkSheets("results").Range(address);
  ValueBlock block(static_cast<std::int64_t>(values.size()),
                    static_cast<std::int64_t>(values[0].size()));
  std::vector<Written> written;
  for (size_t r = 0; r < values.size(); ++r) {
    for (size_t c = 0; c < values[r].size(); ++c) {
      if (std::isnan(values[r][c])) continue;  // a gap: the cell keeps what it holds
      block.Set(static_cast<std::int64_t>(r + 1), static_cast<std::int64_t>(c + 1), values[r][c]);
      written.push_back({CellName(range.Area().first_row + static_cast<std::int64_t>(r),
                                  range.Area().first_column + static_cast<std::int64_t>(c)),
                         values[r][c]});
    }
  }
  range.SetValue(block);
  book->Save();
  book->Close();
  return written;
}

TEST(OpenXmlWriteTest, WrittenCellsReadBackAndEverythingElseStays) {
  TempFolder folder;
  std::mt19937_64 random(3);
  std::uniform_real_distribution<double> any(-1e6, 1e6);
  const double nan = std::nan("");
  for (const char* name : {"book.xlsm", "book.xlsx"}) {
    const std::string path = (folder / name).string();
    const std::string before = (folder / (std::string("before-") + name)).string();
    tarvex::testing::RunPython(kResultsWorkbook, {path});
    std::filesystem::copy_file(path, before);
    // Existing cells of every kind, a missing cell, missing rows, a styled column, a gap,
    // and numbers that only a round-trip-exact text keeps.
    const std::vector<std::vector<double>> values = {
        {any(random), any(random), 1.0 / 3, nan, nan, 0.1},
        {-0.0, 5e-324, nan, nan, nan, 1e300},  // D3 stays a date
        {any(random), nan, -2.5, nan, nan, 123456789.125},
        {1, 2, 3, nan, nan, 4},
    };
    std::vector<Written> written = WriteBlock(path, "B2:G5", values);

    Json old_cells = tarvex::testing::OpenpyxlCells(before, "Results");
    Json new_cells = tarvex::testing::OpenpyxlCells(path, "Results");
    for (const Written& w : written) {
      ASSERT_TRUE(new_cells.contains(w.cell)) << name << " " << w.cell;
      EXPECT_EQ(new_cells[w.cell]["kind"], "number") << name << " " << w.cell;
      EXPECT_EQ(new_cells[w.cell]["value"].get<double>(), w.value) << name << " " << w.cell;
      new_cells.erase(w.cell);
      old_cells.erase(w.cell);
    }
    // Styles stay with their cells; a new cell of a formatted column takes the column's format.
    EXPECT_EQ(tarvex::testing::OpenpyxlCells(path, "Results")["B2"]["format"], "0.000");
    EXPECT_EQ(tarvex::testing::OpenpyxlCells(path, "Results")["G4"]["format"], "0.0%");
    // Every other cell, the formula that sums the block included, is as it was.
    for (auto& [cell, value] : old_cells.items()) {
      if (value["kind"] == "empty") continue;
      EXPECT_EQ(new_cells[cell], value) << name << " " << cell;
    }
    EXPECT_EQ(tarvex::testing::OpenpyxlCells(path, "Data"),
              tarvex::testing::OpenpyxlCells(before, "Data"));

    if (tarvex::testing::HasSheetJs()) {
      Json second = tarvex::testing::SheetJsCells(path, "Results");
      for (const Written& w : written) {
        EXPECT_EQ(second[w.cell]["t"], "n") << name << " " << w.cell;
        EXPECT_EQ(second[w.cell]["v"].get<double>(), w.value) << name << " " << w.cell;
      }
      EXPECT_EQ(second["B8"]["f"], "SUM(B2:D5)");
    }

    // Only the written sheet differs (xlsxwriter asks for recalculation on open already, so the
    // workbook part stays too); the macros and every other entry are byte for byte the same.
    Json differences = tarvex::testing::ZipDifferences(before, path);
    EXPECT_EQ(differences["changed"], Json({"xl/worksheets/sheet2.xml"})) << name;
    EXPECT_EQ(differences["added"], Json::array()) << name;
    EXPECT_EQ(differences["removed"], Json::array()) << name;
    EXPECT_NE(
        tarvex::testing::RunPython(
            "import sys, zipfile; print(zipfile.ZipFile(sys.argv[1]).read('xl/workbook.xml'))",
            {path})
            .find("fullCalcOnLoad=\"1\""),
        std::string::npos);
  }
}

// Per entry of the second package: whether its compressed bytes equal those of the first's
// entry, and its compression method; and what zipfile's check of every checksum finds.
const char* const kRawEntries = R"PY(
import json, struct, sys, zipfile
def raw(path):
    book, out = zipfile.ZipFile(path), {}
    with open(path, "rb") as f:
        for info in book.infolist():
            f.seek(info.header_offset)
            header = f.read(30)
            f.seek(info.header_offset + 30 + struct.unpack("<HH", header[26:30])[0] +
                   struct.unpack("<HH", header[26:30])[1])
            out[info.filename] = (f.read(info.compress_size), info.compress_type)
    return out, book.testzip()
(a, _), (b, bad) = raw(sys.argv[1]), raw(sys.argv[2])
print(json.dumps({"recompressed": sorted(n for n in b if a.get(n, (None,))[0] != b[n][0]),
                  "methods": sorted({b[n][1] for n in b}), "bad": bad}))
)PY";

TEST(OpenXmlWriteTest, EntriesThatAWriteLeavesAloneKeepTheirCompressedBytes) {
  TempFolder folder;
  const std::string path = (folder / "book.xlsm").string();
  const std::string before = (folder / "before.xlsm").string();
  tarvex::testing::RunPython(kResultsWorkbook, {path});
  std::filesystem::copy_file(path, before);
  WriteBlock(path, "B2:C3", {{1, 2}, {3, 4}});
  // The written sheet alone is deflated anew; its sizes and checksum hold.
  Json entries = Json::parse(tarvex::testing::RunPython(kRawEntries, {before, path}));
  EXPECT_EQ(entries["recompressed"], Json({"xl/worksheets/sheet2.xml"}));
  EXPECT_EQ(entries["methods"], Json({8}));  // deflated
  EXPECT_EQ(entries["bad"], nullptr);
}

// LibreOffice opens what a write saved (the sheet deflated by libdeflate, handed to the zip
// library compressed) and finds the written numbers.
TEST(OpenXmlWriteTest, LibreOfficeReadsTheWrittenWorkbook) {
  if (std::system("command -v soffice >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "soffice is not installed";
  }
  TempFolder folder;
  const std::string path = (folder / "book.xlsx").string();
  tarvex::testing::RunPython(kResultsWorkbook, {path});
  WriteBlock(path, "B2:C3", {{1.5, -2.25}, {1234.5, 0.125}});
  // Every sheet as CSV of its values (not as shown), one file per sheet.
  const tarvex::testing::RunResult converted = tarvex::testing::RunProgram(
      "/usr/bin/soffice",
      {"-env:UserInstallation=file://" + (folder / "profile").string(), "--headless",
       "--convert-to",
       "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1", "--outdir",
       folder.path().string(), path});
  ASSERT_EQ(converted.exit_status, 0) << converted.standard_error;
  const std::string csv = tarvex::testing::ReadFile(folder / "book-Results.csv");
  EXPECT_NE(csv.find(",1.5,-2.25,"), std::string::npos) << csv;
  EXPECT_NE(csv.find(",1234.5,0.125,"), std::string::npos) << csv;
}

// One sheet with an array formula, a shared formula, a data table and a calculation chain.
std::vector<std::pair<std::string, std::string>> FormulaParts(const std::string& sheet_data) {
  const std::string main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
  const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
  return {
      {"[Content_Types].xml",
       R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/><Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/><Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/><Override PartName="/xl/calcChain.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.calcChain+xml"/></Types>)"},
      {"_rels/.rels",
       R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type=")" +
           rel + R"(/officeDocument" Target="xl/workbook.xml"/></Relationships>)"},
      {"xl/workbook.xml",
       "<workbook xmlns=\"" + main + "\" xmlns:r=\"" + rel +
           R"("><sheets><sheet name="Results" sheetId="1" r:id="rId1"/></sheets><calcPr calcId="191029"/></workbook>)"},
      {"xl/_rels/workbook.xml.rels",
       R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type=")" +
           rel + R"(/worksheet" Target="worksheets/sheet1.xml"/><Relationship Id="rId9" Type=")" +
           rel + R"(/calcChain" Target="calcChain.xml"/></Relationships>)"},
      {"xl/calcChain.xml", "<calcChain xmlns=\"" + main + R"("><c r="B1" i="1"/></calcChain>)"},
      {"xl/worksheets/sheet1.xml", "<worksheet xmlns=\"" + main + "\"><dimension ref=\"A1:D4\"/>" +
                                       "<sheetData>" + sheet_data + "</sheetData></worksheet>"},
  };
}

const char* const kFormulaRows =
    R"(<row r="1" spans="1:2"><c r="A1"><v>1</v></c><c r="B1"><f>A1*2</f><v>2</v></c></row>)"
    R"(<row r="2"><c r="A2"><f t="array" ref="A2:B3">A1:B1*3</f><v>3</v></c><c r="B2"><v>6</v></c></row>)"
    R"(<row r="3"><c r="A3"><v>3</v></c><c r="B3"><v>6</v></c><c r="C3"><f t="shared" ref="C3:C4" si="0">A3+1</f><v>4</v></c></row>)"
    R"(<row r="4"><c r="C4"><f t="shared" si="0"/><v>4</v></c><c r="D4"><f t="dataTable" ref="D4:D4" dt2D="0" dtr="0" r1="A1"/><v>0</v></c></row>)"
    R"(<row r="6"/>)";

TEST(OpenXmlWriteTest, CellsThatCannotTakeANumberRefuseTheWholeWrite) {
  TempFolder folder;
  const std::string path = (folder / "formulas.xlsx").string();
  tarvex::testing::MakePackage(path, FormulaParts(kFormulaRows));
  const std::string original = tarvex::testing::ReadFile(path);
  struct Case {
    const char* address;
    const char* words;  // nullptr: accepted
  };
  const Case cases[] = {
      {"A2", "lies in the array formula A2:B3"},
      {"B3", "lies in the array formula A2:B3"},
      {"A1:B2", "lies in the array formula A2:B3"},
      {"C3", "holds the shared formula of C3:C4, which other cells use"},
      {"D4", "lies in the data table D4"},
      {"C4", nullptr},  // a cell that only uses a shared formula may lose it
      {"A1", nullptr},
  };
  for (const Case& c : cases) {
    Application application;
    std::unique_ptr<Workbook> book = application.Workbooks().Open(path);
    Range range = book->WorkSheets("Results").Range(c.address);
    if (c.words == nullptr) {
      EXPECT_NO_THROW(range.SetValue(9)) << c.address;
      continue;
    }
    try {
      range.SetValue(9);
      ADD_FAILURE() << c.address << " was written";
    } catch (const WorkbookError& error) {
      EXPECT_NE(std::string(error.what()).find(c.words), std::string::npos)
          << c.address << ": " << error.what();
    }
    book->Save();  // nothing was changed, so nothing is written
    EXPECT_EQ(tarvex::testing::ReadFile(path), original) << c.address;
  }
}

TEST(OpenXmlWriteTest, OverwrittenFormulaDropsTheCalculationChain) {
  TempFolder folder;
  struct Case {
    const char* address;
    bool chain_kept;
  };
  for (const Case& c : {Case{"A1", true}, Case{"B1", false}}) {
    const std::string path = (folder / (std::string(c.address) + ".xlsx")).string();
    const std::string before = path + ".before";
    tarvex::testing::MakePackage(path, FormulaParts(kFormulaRows));
    std::filesystem::copy_file(path, before);
    {
      Application application;
      std::unique_ptr<Workbook> book = application.Workbooks().Open(path);
      book->WorkSheets("Results").Range(c.address).SetValue(42);
      book->Save();
    }
    Json differences = tarvex::testing::ZipDifferences(before, path);
    if (c.chain_kept) {
      EXPECT_EQ(differences["removed"], Json::array());
      EXPECT_EQ(differences["changed"], Json({"xl/workbook.xml", "xl/worksheets/sheet1.xml"}));
    } else {
      EXPECT_EQ(differences["removed"], Json({"xl/calcChain.xml"}));
      EXPECT_EQ(differences["changed"], Json({"[Content_Types].xml", "xl/_rels/workbook.xml.rels",
                                              "xl/workbook.xml", "xl/worksheets/sheet1.xml"}));
      const std::string parts = tarvex::testing::RunPython(
          "import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); "
          "print(z.read('[Content_Types].xml') + z.read('xl/_rels/workbook.xml.rels'))",
          {path});
      EXPECT_EQ(parts.find("calcChain"), std::string::npos) << parts;
    }
    Json cells = tarvex::testing::OpenpyxlCells(path, "Results");
    EXPECT_EQ(cells[c.address]["value"].get<double>(), 42);
    EXPECT_EQ(cells["C4"]["value"], "=A4+1") << "a shared formula's other cells keep it";
  }
}

TEST(OpenXmlWriteTest, RowsAndCellsAreInsertedInOrderAndTheBoundsWiden) {
  TempFolder folder;
  const std::string path = (folder / "insert.xlsx").string();
  tarvex::testing::MakePackage(path, FormulaParts(kFormulaRows));
  std::vector<CellWrite> writes;
  {
    Application application;
    std::unique_ptr<Workbook> book = application.Workbooks().Open(path);
    // Before the first row, into the self-closed row 6, after the last row, past the spans.
    ValueBlock block(1, 1);
    block.Set(1, 1, 0.5);
    for (const char* address : {"E1", "A6", "C6", "F9", "C1"}) {
      book->WorkSheets("Results").Range(address).SetValue(block);
    }
    book->Save();
  }
  const std::string sheet = tarvex::testing::RunPython(
      "import sys, zipfile; print(zipfile.ZipFile(sys.argv[1]).read('xl/worksheets/sheet1.xml')"
      ".decode())",
      {path});
  EXPECT_NE(sheet.find(R"(<dimension ref="A1:F9"/>)"), std::string::npos) << sheet;
  EXPECT_NE(sheet.find(R"(<row r="1" spans="1:5">)"), std::string::npos) << sheet;
  EXPECT_NE(sheet.find(R"(<row r="6"><c r="A6"><v>0.5</v></c><c r="C6"><v>0.5</v></c></row>)"),
            std::string::npos)
      << sheet;
  EXPECT_NE(sheet.find(R"(</row><row r="9"><c r="F9"><v>0.5</v></c></row></sheetData>)"),
            std::string::npos)
      << sheet;
  Json cells = tarvex::testing::OpenpyxlCells(path, "Results");
  for (const char* cell : {"E1", "A6", "C6", "F9", "C1"}) {
    EXPECT_EQ(cells[cell]["value"].get<double>(), 0.5) << cell;
  }
  if (tarvex::testing::HasSheetJs()) {
    Json second = tarvex::testing::SheetJsCells(path, "Results");
    EXPECT_EQ(second["C1"]["v"].get<double>(), 0.5);
    EXPECT_EQ(second["B1"]["f"], "A1*2");
  }
}

TEST(OpenXmlWriteTest, SaveKeepsPermissionsAndLinks) {
  TempFolder folder;
  const std::string path = (folder / "book.xlsx").string();
  tarvex::testing::MakePackage(path, FormulaParts(kFormulaRows));
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  std::filesystem::create_symlink(path, folder / "link.xlsx");
  {
    Application application;
    std::unique_ptr<Workbook> book = application.Workbooks().Open((folder / "link.xlsx").string());
    book->WorkSheets("Results").Range("A1").SetValue(7);
    book->Save();
  }
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "link.xlsx"));
  struct stat info;
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(tarvex::testing::OpenpyxlCells(path, "Results")["A1"]["value"].get<double>(), 7);
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                          std::filesystem::directory_iterator()),
            2);
}

TEST(OpenXmlWriteTest, RecalculationOnOpenIsAskedForOnce) {
  const std::string main = R"(<w xmlns="m">)";
  struct Case {
    std::string before, after;
  };
  const Case cases[] = {
      {main + R"(<sheets/><calcPr calcId="1"/></w>)",
       main + R"(<sheets/><calcPr fullCalcOnLoad="1" calcId="1"/></w>)"},
      {main + R"(<calcPr fullCalcOnLoad='0'/></w>)", main + R"(<calcPr fullCalcOnLoad='1'/></w>)"},
      {main + R"(<sheets/><definedNames/><extLst/></w>)",
       main + R"(<sheets/><definedNames/><calcPr fullCalcOnLoad="1"/><extLst/></w>)"},
      {R"(<x:w xmlns:x="m"><x:sheets/></x:w>)",
       R"(<x:w xmlns:x="m"><x:sheets/><x:calcPr fullCalcOnLoad="1"/></x:w>)"},
  };
  for (const Case& c : cases) EXPECT_EQ(WithFullCalcOnLoad(c.before, "w.xml"), c.after);
}

}  // namespace
}  // namespace tarvex::workbook::openxml
