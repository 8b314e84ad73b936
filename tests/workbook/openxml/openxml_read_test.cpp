// Reading .xlsx and .xlsm workbooks through the object model: against openpyxl and SheetJS on
// workbooks that xlsxwriter made, on hand-written parts for what writers rarely produce, and on
// damaged files.
#include <gtest/gtest.h>

#include "tests/workbook/workbook_tools.h"
#include "workbook/application.h"
#include "workbook/format/address.h"

namespace tarvex::workbook {
namespace {

using tarvex::testing::Json;
using tarvex::testing::TempFolder;

// A sheet "Mixed" of 40 x 6 random cells of every kind, in .xlsx or .xlsm, strings shared or
// inline (xlsxwriter's constant-memory mode writes inline strings).
const char* const kMixedWorkbook = R"PY(
import datetime, random, sys, xlsxwriter
path, inline = sys.argv[1], sys.argv[2] == "inline"
book = xlsxwriter.Workbook(path, {"constant_memory": inline})
if path.endswith(".xlsm"):
    book.add_vba_project("/usr/share/doc/python3-xlsxwriter/examples/vbaProject.bin")
sheet = book.add_worksheet("Mixed")
date = book.add_format({"num_format": "yyyy-mm-dd"})
elapsed = book.add_format({"num_format": "[h]:mm"})
quoted = book.add_format({"num_format": '"Due: "#,##0.00'})
red = book.add_format({"num_format": "[Red]0.00"})
random.seed(11)
for r in range(40):
    for c in range(6):
        kind = random.randrange(10)
        if kind == 0: sheet.write_number(r, c, random.uniform(-1e6, 1e6))
        elif kind == 1: sheet.write_number(r, c, random.randrange(-1000, 1000))
        elif kind == 2: sheet.write_number(r, c, random.uniform(-1, 1) * 10.0 ** random.randrange(-300, 300))
        elif kind == 3: sheet.write_string(r, c, random.choice(["alpha", "3.5", " 12 ", "x&y<z>", "\u00dcn\u00efc\u00f6d\u00e9"]))
        elif kind == 4: sheet.write_boolean(r, c, random.random() < 0.5)
        elif kind == 5: sheet.write_datetime(r, c, datetime.datetime(2020, 1, 1) + datetime.timedelta(days=r * c), date)
        elif kind == 6: sheet.write_number(r, c, random.random(), random.choice([quoted, red]))
        elif kind == 7: sheet.write_number(r, c, random.random(), elapsed)
        elif kind == 8: sheet.write_formula(r, c, "=1/3", None, 1 / 3)
book.close()
)PY";

std::vector<CellValue> ReadAll(const std::string& path, const std::string& sheet,
                               const std::string& address) {
  Application application;
  std::unique_ptr<Workbook> book = application.Workbooks().Open(path);
  if (!book) throw WorkbookError("no file");
  RangeValue value = book->WorkSheets(sheet).Range(address).Value();
  std::vector<CellValue> cells;
  for (std::int64_t r = 1; r <= value.RowCount(); ++r) {
    for (std::int64_t c = 1; c <= value.ColumnCount(); ++c) cells.push_back(value.At(r, c));
  }
  return cells;
}

TEST(OpenXmlReadTest, AgreesWithOpenpyxlAndSheetJs) {
  TempFolder folder;
  for (const char* name : {"shared.xlsx", "inline.xlsm"}) {
    const std::string path = (folder / name).string();
    tarvex::testing::RunPython(kMixedWorkbook,
                               {path, std::string(name).substr(0, std::string(name).find('.'))});
    // Sheet names compare without regard to case, as lower-cased command lines need.
    std::vector<CellValue> cells = ReadAll(path, "mIXED", "a1:f40");
    Json expected = tarvex::testing::OpenpyxlCells(path, "Mixed");
    Json second = tarvex::testing::HasSheetJs() ? tarvex::testing::SheetJsCells(path, "Mixed")
                                                : Json::object();
    for (std::int64_t r = 0; r < 40; ++r) {
      for (std::int64_t c = 0; c < 6; ++c) {
        const CellValue& cell = cells[static_cast<size_t>(r * 6 + c)];
        const std::string address = CellName(r, c);
        const Json& theirs = expected.contains(address) ? expected[address] : Json();
        const std::string kind = theirs.is_null() ? "empty" : theirs["kind"].get<std::string>();
        SCOPED_TRACE(std::string(name) + " " + address + " " + theirs.dump());
        if (kind == "number") {
          EXPECT_EQ(cell.kind, CellKind::kNumber);
          EXPECT_EQ(cell.number, theirs["value"].get<double>());
        } else if (kind == "text") {
          EXPECT_EQ(cell.kind, CellKind::kText);
          EXPECT_EQ(cell.text, theirs["value"].get<std::string>());
        } else if (kind == "bool") {
          EXPECT_EQ(cell.kind, CellKind::kBoolean);
          EXPECT_EQ(cell.number, theirs["value"].get<bool>() ? 1 : 0);
        } else if (kind == "date") {
          EXPECT_EQ(cell.kind, CellKind::kDate);
        } else if (kind == "formula") {
          // openpyxl shows the formula; the cached result is what SheetJS reads.
          EXPECT_EQ(cell.kind, CellKind::kNumber);
          if (second.contains(address)) {
            EXPECT_EQ(cell.number, second[address]["v"].get<double>());
          }
        } else {
          EXPECT_EQ(cell.kind, CellKind::kEmpty);
        }
        if (second.contains(address) && cell.kind == CellKind::kNumber) {
          EXPECT_EQ(cell.number, second[address]["v"].get<double>());
        }
      }
    }
  }
}

const char* const kTypes =
    R"(<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/></Types>)";
const char* const kRootRels =
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="/xl/book.xml"/></Relationships>)";
const char* const kBookRels =
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="a" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="sheets/one.xml"/><Relationship Id="b" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="../xl/sheets/two%20b.xml"/><Relationship Id="s" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="strings.xml"/><Relationship Id="st" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/></Relationships>)";
// Prefixed elements throughout, the second sheet active, names of every kind.
const char* const kBook =
    R"(<x:workbook xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:rel="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><x:bookViews><x:workbookView activeTab="1"/></x:bookViews><x:sheets><x:sheet name="One" sheetId="1" rel:id="a"/><x:sheet name="Sheet Two" sheetId="2" rel:id="b"/></x:sheets><x:definedNames><x:definedName name="Inputs">'Sheet Two'!$B$1:$C$2</x:definedName><x:definedName name="Local" localSheetId="0">One!$A$1:$A$2</x:definedName><x:definedName name="Broken">#REF!</x:definedName></x:definedNames></x:workbook>)";
const char* const kStrings =
    R"(<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="2" uniqueCount="2"><si><t>plain</t></si><si><r><t>ri</t></r><r><rPr><b/></rPr><t xml:space="preserve">ch </t></r><rPh sb="0" eb="1"><t>PHONETIC</t></rPh></si></sst>)";
const char* const kStyles =
    R"(<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><numFmts count="2"><numFmt numFmtId="164" formatCode="dd/mm/yyyy"/><numFmt numFmtId="165" formatCode="&quot;d&quot;0.0"/></numFmts><cellXfs count="4"><xf numFmtId="0"/><xf numFmtId="164"/><xf numFmtId="165"/><xf numFmtId="14"/></cellXfs></styleSheet>)";
// Rows and cells without r, every cell type, a formula string, formulas without results, a rich
// inline string.
const char* const kSheetOne =
    R"(<?xml version="1.0"?><x:worksheet xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><x:sheetData><x:row><x:c><x:v>1.5</x:v></x:c><x:c t="s"><x:v>0</x:v></x:c><x:c t="s"><x:v>1</x:v></x:c><x:c t="inlineStr"><x:is><x:r><x:t>in</x:t></x:r><x:r><x:t>line</x:t></x:r><x:rPh><x:t>no</x:t></x:rPh></x:is></x:c></x:row><x:row><x:c t="b"><x:v>1</x:v></x:c><x:c t="e"><x:v>#DIV/0!</x:v></x:c><x:c t="d"><x:v>2021-03-04T12:00:00</x:v></x:c><x:c t="str"><x:f>"a"&amp;"b"</x:f><x:v>ab</x:v></x:c></x:row><x:row r="3"><x:c r="B3"><x:f>A1*2</x:f><x:v></x:v></x:c><x:c r="C3" t="str"><x:f>B1</x:f></x:c></x:row><x:row r="4"><x:c r="B4" s="1"><x:v>44000</x:v></x:c><x:c s="2"><x:v>7</x:v></x:c><x:c s="3"><x:v>1</x:v></x:c><x:c s="9"><x:v>2</x:v></x:c></x:row></x:sheetData></x:worksheet>)";
const char* const kSheetTwo =
    R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData><row r="1"><c r="B1"><v>11</v></c><c r="C1"><v>12</v></c></row><row r="2"><c r="B2"><v>21</v></c><c r="C2"><v>  2.2E+1 </v></c></row></sheetData></worksheet>)";

std::vector<std::pair<std::string, std::string>> OddParts() {
  return {{"[Content_Types].xml", kTypes},  {"_rels/.rels", kRootRels},
          {"xl/book.xml", kBook},           {"xl/_rels/book.xml.rels", kBookRels},
          {"xl/strings.xml", kStrings},     {"xl/styles.xml", kStyles},
          {"xl/sheets/one.xml", kSheetOne}, {"xl/sheets/two b.xml", kSheetTwo}};
}

TEST(OpenXmlReadTest, HandWrittenPartsOfEveryKind) {
  TempFolder folder;
  const std::string path = (folder / "odd.xlsx").string();
  tarvex::testing::MakePackage(path, OddParts());
  std::vector<CellValue> cells = ReadAll(path, "one", "A1:E4");
  struct Case {
    const char* cell;
    CellKind kind;
    double number;
    const char* text;
  };
  const Case cases[] = {
      {"A1", CellKind::kNumber, 1.5, ""},
      {"B1", CellKind::kText, 0, "plain"},
      {"C1", CellKind::kText, 0, "rich "},
      {"D1", CellKind::kText, 0, "inline"},
      {"A2", CellKind::kBoolean, 1, ""},
      {"B2", CellKind::kError, 0, "#DIV/0!"},
      {"C2", CellKind::kDate, 44259.5, ""},
      {"D2", CellKind::kText, 0, "ab"},
      {"A3", CellKind::kEmpty, 0, ""},
      {"B4", CellKind::kDate, 44000, ""},
      // Formulas whose results were never saved.
      {"B3", CellKind::kUncalculated, 0, ""},
      {"C3", CellKind::kUncalculated, 0, ""},
      {"C4", CellKind::kNumber, 7, ""},
      {"D4", CellKind::kDate, 1, ""},
      {"E4", CellKind::kNumber, 2, ""},  // a style index beyond the styles: no date
  };
  for (const Case& c : cases) {
    std::optional<CellCoordinates> position = ParseCellReference(c.cell);
    ASSERT_TRUE(position);
    const CellValue& cell = cells[static_cast<size_t>(position->row * 5 + position->column)];
    EXPECT_EQ(cell.kind, c.kind) << c.cell;
    EXPECT_EQ(cell.number, c.number) << c.cell;
    EXPECT_EQ(cell.text, c.text) << c.cell;
  }

  Application application;
  std::unique_ptr<Workbook> book = application.Workbooks().Open(path);
  // Without a sheet: a workbook-level name first, else an address on the active sheet.
  EXPECT_EQ(book->Range("inputs").Value().At(2, 2).number, 22);
  EXPECT_EQ(book->Range("c2").Value().Single().number, 22);
  EXPECT_EQ(book->Range("$B$1:$B$2").Value().At(2, 1).number, 21);
  for (const char* refused : {"Local", "Broken", "nothing"}) {
    EXPECT_THROW(book->Range(refused), WorkbookError) << refused;
  }
  EXPECT_THROW(book->WorkSheets("Three"), WorkbookError);
  // A range fails once its workbook is closed, rather than reading freed memory.
  Range range = book->WorkSheets("ONE").Range("A1");
  book->Close();
  EXPECT_THROW(range.Value(), WorkbookError);
}

// Sets the uncompressed size that the zip headers declare for one entry.
const char* const kPatchSize = R"PY(
import struct, sys
path, name, size = sys.argv[1], sys.argv[2].encode(), int(sys.argv[3])
data = bytearray(open(path, "rb").read())
for signature, name_at, size_at in ((b"PK\x03\x04", 30, 22), (b"PK\x01\x02", 46, 24)):
    i = data.find(signature)
    while i >= 0:
        if data[i + name_at:i + name_at + len(name)] == name:
            struct.pack_into("<I", data, i + size_at, size)
        i = data.find(signature, i + 4)
open(path, "wb").write(data)
)PY";

// Writes the package SRC again as a streaming writer does (flag bit 3: sizes and checksum in a
// data descriptor after the data), leaving other sizes in each local header, as some writers do.
// The damage argument spoils it further: "flag" clears bit 3 in the local headers, "name"
// renames the sheet part in its local header, "data" flips a byte of the sheet part's data.
const char* const kStreamed = R"PY(
import io, struct, sys, zipfile
source, target, damage = sys.argv[1], sys.argv[2], sys.argv[3]
class Unseekable(io.RawIOBase):
    def __init__(self, file): self.file = file
    def writable(self): return True
    def write(self, data): return self.file.write(data)
with zipfile.ZipFile(source) as package, open(target, "wb") as out:
    with zipfile.ZipFile(Unseekable(out), "w", zipfile.ZIP_DEFLATED) as streamed:
        for name in package.namelist():
            streamed.writestr(name, package.read(name))
data = bytearray(open(target, "rb").read())
for info in zipfile.ZipFile(target).infolist():
    at = info.header_offset
    assert info.flag_bits & 8 and data[at:at + 4] == b"PK\x03\x04"
    struct.pack_into("<II", data, at + 18, 12345, 67890)
    if damage == "flag":
        data[at + 6] &= ~8
    if info.filename == "xl/sheets/one.xml":
        if damage == "name":
            data[at + 30 + len(info.filename) - 5] ^= 1
        if damage == "data":
            data[at + 30 + len(info.filename) + len(info.extra) + 5] ^= 0x55
open(target, "wb").write(data)
)PY";

// Packages written in streaming mode whose local headers disagree with the central directory
// are read as zipfile and SheetJS read them, by the central directory, and saved whole.
TEST(OpenXmlReadTest, StreamingPackagesReadAsTheCentralDirectorySays) {
  TempFolder folder;
  const std::string good = (folder / "good.xlsx").string();
  const std::string streamed = (folder / "streamed.xlsx").string();
  tarvex::testing::MakePackage(good, OddParts());
  tarvex::testing::RunPython(kStreamed, {good, streamed, "none"});
  const std::vector<CellValue> expected = ReadAll(good, "One", "A1:E4");
  const std::vector<CellValue> cells = ReadAll(streamed, "One", "A1:E4");
  ASSERT_EQ(cells.size(), expected.size());
  for (size_t i = 0; i < cells.size(); ++i) {
    EXPECT_EQ(cells[i].kind, expected[i].kind) << i;
    EXPECT_EQ(cells[i].number, expected[i].number) << i;
    EXPECT_EQ(cells[i].text, expected[i].text) << i;
  }
  {
    Application application;
    std::unique_ptr<Workbook> book = application.Workbooks().Open(streamed);
    book->WorkSheets("One").Range("F1").SetValue(5);
    book->Save();
  }
  EXPECT_EQ(ReadAll(streamed, "One", "F1:F2").front().number, 5);
  EXPECT_EQ(ReadAll(streamed, "Sheet Two", "C2:C2").front().number, 22);
  EXPECT_EQ(tarvex::testing::RunPython(
                "import sys, zipfile\nprint(zipfile.ZipFile(sys.argv[1]).testzip())", {streamed}),
            "None\n");
}

TEST(OpenXmlReadTest, DamagedFilesFailWithAClearDescription) {
  TempFolder folder;
  const std::string good = (folder / "good.xlsx").string();
  tarvex::testing::MakePackage(good, OddParts());
  const std::string whole = tarvex::testing::ReadFile(good);

  auto with_part = [](const std::string& name, const std::string& text) {
    auto parts = OddParts();
    for (auto& part : parts) {
      if (part.first == name) part.second = text;
    }
    return parts;
  };
  auto sheet_with = [](const std::string& data) {
    return R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>)" +
           data + "</sheetData></worksheet>";
  };
  struct Case {
    const char* name;
    std::function<void(const std::string&)> make;
    const char* words;
  };
  auto package = [](std::vector<std::pair<std::string, std::string>> parts) {
    return [parts](const std::string& path) { tarvex::testing::MakePackage(path, parts); };
  };
  auto streamed = [&](const char* damage) {
    return [&, damage](const std::string& path) {
      tarvex::testing::RunPython(kStreamed, {good, path, damage});
    };
  };
  auto declared = [&](const char* size) {
    return [&, size](const std::string& path) {
      tarvex::testing::WriteFile(path, whole);
      tarvex::testing::RunPython(kPatchSize, {path, "xl/sheets/one.xml", size});
    };
  };
  const Case cases[] = {
      {"NoZip", [](const std::string& p) { tarvex::testing::WriteFile(p, "a,b\r\n1,2\r\n"); },
       "neither a zip package nor a compound document"},
      {"Truncated",
       [&](const std::string& p) {
         tarvex::testing::WriteFile(p, whole.substr(0, whole.size() / 2));
       },
       "not a readable zip package"},
      {"GarbageAfterSignature",
       [](const std::string& p) {
         tarvex::testing::WriteFile(p, "PK\x03\x04" + std::string(300, 'x'));
       },
       "not a readable zip package"},
      {"DeclaresTooMuch", declared("4294967000"), "more than a workbook part may hold"},
      {"InflatesBeyondItsSize", declared("40"), "inflates to more than the 40 bytes"},
      // Streamed packages are taken by the central directory's sizes, everything else checked.
      {"LocalSizesWithoutDescriptor", streamed("flag"), "disagrees with the central directory"},
      {"StreamedNameDiffers", streamed("name"), "the local header at byte"},
      {"StreamedDataDamaged", streamed("data"), "The part xl/sheets/one.xml is damaged"},
      // 40 MB of blanks between the rows: well-formed, and about 1,000 times its packed size.
      {"InflatesFarBeyondItsPackedSize",
       package(with_part("xl/sheets/one.xml",
                         sheet_with(std::string(40 << 20, ' ') + "<row><c><v>1</v></c></row>"))),
       "bytes; a workbook part inflates at most 100 times"},
      {"NoWorkbook", package({{"_rels/.rels", "<Relationships/>"}}), "names none"},
      {"DanglingSheet",
       package(with_part("xl/_rels/book.xml.rels",
                         std::string(kBookRels).replace(std::string(kBookRels).find("sheets/one"),
                                                        10, "sheets/six"))),
       "points to xl/sheets/six.xml, which the package does not hold"},
      {"SheetWithoutRelationship",
       package(with_part("xl/book.xml",
                         std::string(kBook).replace(std::string(kBook).find("rel:id=\"a\""), 10,
                                                    "rel:id=\"q\""))),
       "refers to the relationship 'q'"},
      {"MalformedWorkbook", package(with_part("xl/book.xml", "<x:workbook><x:sheets>")),
       "The part xl/book.xml is not well-formed XML"},
      {"MalformedSheet", package(with_part("xl/sheets/one.xml", sheet_with("<row><c><v>1</c>"))),
       "The part xl/sheets/one.xml is not well-formed XML"},
      {"DocumentType",
       package(with_part("xl/sheets/one.xml",
                         "<!DOCTYPE w [<!ENTITY a 'aaaa'>]>" + sheet_with("<row/>"))),
       "document type declarations are not accepted"},
      {"ColumnBeyondLimits",
       package(
           with_part("xl/sheets/one.xml", sheet_with(R"(<row><c r="XFE1"><v>1</v></c></row>)"))),
       "'XFE1' in xl/sheets/one.xml lies beyond the sheet's 1048576 rows and 16384 columns"},
      {"RowBeyondLimits",
       package(with_part("xl/sheets/one.xml", sheet_with(R"(<row r="1048577"/>)"))),
       "The row 1048577 of xl/sheets/one.xml lies beyond the sheet's 1048576 rows"},
      {"SharedStringOutOfRange",
       package(with_part("xl/sheets/one.xml", sheet_with(R"(<row><c t="s"><v>2</v></c></row>)"))),
       "refers to shared string 2, but the workbook has 2 shared strings"},
      {"NumberThatIsNone",
       package(with_part("xl/sheets/one.xml", sheet_with(R"(<row><c><v>1,5</v></c></row>)"))),
       "The cell A1 of xl/sheets/one.xml holds '1,5', which is not a number"},
  };
  for (const Case& c : cases) {
    const std::string path = (folder / (std::string(c.name) + ".xlsx")).string();
    c.make(path);
    try {
      ReadAll(path, "One", "A1:B2");
      ADD_FAILURE() << c.name << " was read";
    } catch (const WorkbookError& error) {
      EXPECT_NE(std::string(error.what()).find(c.words), std::string::npos)
          << c.name << ": " << error.what();
    }
  }
}

TEST(OpenXmlReadTest, RangesTooLargeForMemoryFailBeforeAllocating) {
  TempFolder folder;
  const std::string path = (folder / "odd.xlsx").string();
  tarvex::testing::MakePackage(path, OddParts());
  try {
    ReadAll(path, "One", "A1:XFD1048576");
    ADD_FAILURE() << "a whole sheet was read";
  } catch (const WorkbookError& error) {
    EXPECT_NE(std::string(error.what()).find("The range A1:XFD1048576 would need"),
              std::string::npos)
        << error.what();
  }
  EXPECT_EQ(Application().Workbooks().Open((folder / "missing.xlsx").string()), nullptr);
}

}  // namespace
}  // namespace tarvex::workbook
