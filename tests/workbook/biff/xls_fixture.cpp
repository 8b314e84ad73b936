#include "tests/workbook/biff/xls_fixture.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>

#include <cctype>
#include <cstdlib>
#include <random>
#include <sstream>

namespace tarvex::testing {

namespace {

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
  return fields;
}

std::string Unhex(const std::string& hex) {
  std::string text;
  if (hex == "-") return text;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    text.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return text;
}

PeerCell FromWorkbook(const workbook::CellValue& value) {
  PeerCell cell;
  switch (value.kind) {
    case workbook::CellKind::kEmpty:
      return cell;
    case workbook::CellKind::kNumber:
      cell.kind = 'n';
      break;
    case workbook::CellKind::kDate:
      cell.kind = 'd';
      break;
    case workbook::CellKind::kBoolean:
      cell.kind = 'b';
      break;
    case workbook::CellKind::kText:
      cell.kind = 't';
      cell.value = value.text;
      return cell;
    case workbook::CellKind::kError:
      cell.kind = 'x';
      cell.value = value.text;
      return cell;
    case workbook::CellKind::kUncalculated:  // every FORMULA record holds its result
      cell.kind = '?';
      return cell;
  }
  std::ostringstream number;
  number.precision(17);
  number << value.number;
  cell.value = number.str();
  return cell;
}

void AddStream(GsfOutfile* folder, const char* name, size_t size, std::mt19937& random) {
  GsfOutput* stream = gsf_outfile_new_child(folder, name, FALSE);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random());
  gsf_output_write(stream, bytes.size(), reinterpret_cast<const guint8*>(bytes.data()));
  gsf_output_close(stream);
  g_object_unref(stream);
}

}  // namespace

std::string XlsTool(const std::vector<std::string>& arguments) {
  std::vector<std::string> all = {(SourceFolder() / "tests/workbook/biff/xls_tool.py").string()};
  all.insert(all.end(), arguments.begin(), arguments.end());
  RunResult result = RunProgram("/usr/bin/python3", all);
  EXPECT_EQ(result.exit_status, 0)
      << arguments.front() << ": " << result.standard_output << result.standard_error;
  return result.exit_status == 0 ? result.standard_output : "";
}

std::string TestName(const std::string& description) {
  std::string name;
  bool word_start = true;
  for (char c : description) {
    if (!std::isalnum(static_cast<unsigned char>(c))) {
      word_start = true;
      continue;
    }
    name.push_back(word_start ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c);
    word_start = false;
  }
  return name;
}

bool HasLibreOffice() { return std::system("command -v soffice >/dev/null 2>&1") == 0; }

std::vector<PeerBook> ParsePeerBooks(const std::string& text) {
  std::vector<PeerBook> books(1);
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> f = Fields(line);
    PeerBook& book = books.back();
    if (f[0] == "file") {
      if (!book.sheets.empty()) books.emplace_back();
    } else if (f[0] == "sheet") {
      book.sheets.push_back({Unhex(f[2]), std::stoi(f[3]), std::stoi(f[4]), {}, {}, {}});
    } else if (f[0] == "cell") {
      size_t sheet = std::stoul(f[1]);
      while (book.sheets.size() <= sheet) book.sheets.emplace_back();
      PeerCell cell{f[4][0], f[4] == "t" || f[4] == "x" ? Unhex(f[5]) : f[5],
                    f.size() > 6 ? std::stoi(f[6]) : -1};
      book.sheets[sheet].cells[{std::stoi(f[2]), std::stoi(f[3])}] = cell;
    } else if (f[0] == "rowstyle") {
      book.sheets[std::stoul(f[1])].row_styles[std::stoi(f[2])] = std::stoi(f[3]);
    } else if (f[0] == "colstyle") {
      book.sheets[std::stoul(f[1])].column_styles[std::stoi(f[2])] = std::stoi(f[3]);
    } else if (f[0] == "name") {
      workbook::CellArea area{std::stoll(f[3]), std::stoll(f[5]), std::stoll(f[4]),
                              std::stoll(f[6])};
      book.names.push_back({Unhex(f[1]), {std::stoul(f[2]), area}});
    }
  }
  return books;
}

PeerBook ReadWithXlrd(const fs::path& path) {
  return ParsePeerBooks(XlsTool({"dump", path.string()})).front();
}

void ExpectSameCell(const PeerCell& expected, const PeerCell& actual, const std::string& where) {
  EXPECT_EQ(expected.kind, actual.kind) << where;
  if (expected.kind == 'e' || expected.kind != actual.kind) return;
  if (expected.kind == 't' || expected.kind == 'x') {
    EXPECT_EQ(expected.value, actual.value) << where;
  } else {
    EXPECT_EQ(std::strtod(expected.value.c_str(), nullptr),
              std::strtod(actual.value.c_str(), nullptr))
        << where;
  }
  if (expected.style >= 0 && actual.style >= 0) {
    EXPECT_EQ(expected.style, actual.style) << where;
  }
}

void ExpectSameAsPeer(workbook::WorkbookFile& file, const PeerBook& peer) {
  std::vector<std::string> names = file.SheetNames();
  ASSERT_EQ(names.size(), peer.sheets.size());
  // Bands of rows keep the cell values in memory few even for a sheet used to its last row.
  constexpr std::int64_t kBand = 1024;
  for (size_t s = 0; s < names.size(); ++s) {
    const PeerSheet& sheet = peer.sheets[s];
    EXPECT_EQ(names[s], sheet.name);
    std::int64_t last_row = std::min<std::int64_t>(sheet.rows, file.RowLimit() - 1);
    std::int64_t last_column = std::min<std::int64_t>(sheet.columns, file.ColumnLimit() - 1);
    size_t columns = static_cast<size_t>(last_column + 1);
    for (std::int64_t band = 0; band <= last_row; band += kBand) {
      std::int64_t band_end = std::min(band + kBand - 1, last_row);
      std::vector<workbook::CellValue> values = file.ReadCells(s, {band, 0, band_end, last_column});
      size_t filled = 0;
      for (const workbook::CellValue& value : values) {
        if (value.kind != workbook::CellKind::kEmpty) ++filled;
      }
      size_t expected_filled = 0;
      auto from = sheet.cells.lower_bound({static_cast<int>(band), 0});
      auto to = sheet.cells.lower_bound({static_cast<int>(band_end + 1), 0});
      for (auto it = from; it != to; ++it) {
        auto [row, column] = it->first;
        PeerCell expected = it->second;
        expected.style = -1;
        if (expected.kind != 'e') ++expected_filled;
        ExpectSameCell(
            expected, FromWorkbook(values[(row - band) * columns + column]),
            sheet.name + " row " + std::to_string(row) + " column " + std::to_string(column));
      }
      EXPECT_EQ(filled, expected_filled) << sheet.name << ": cells that the peer does not see";
    }
  }
  for (const PeerName& name : peer.names) {
    std::optional<workbook::DefinedArea> found = file.FindDefinedName(name.name);
    ASSERT_TRUE(found.has_value()) << name.name;
    EXPECT_EQ(found->sheet, name.area.sheet) << name.name;
    EXPECT_EQ(found->area.first_row, name.area.area.first_row) << name.name;
    EXPECT_EQ(found->area.last_row, name.area.area.last_row) << name.name;
    EXPECT_EQ(found->area.first_column, name.area.area.first_column) << name.name;
    EXPECT_EQ(found->area.last_column, name.area.area.last_column) << name.name;
  }
}

void WriteWithVbaProject(const fs::path& path, const std::string& workbook_stream) {
  gsf_init();
  GError* error = nullptr;
  GsfOutput* sink = gsf_output_stdio_new(path.c_str(), &error);
  ASSERT_NE(sink, nullptr);
  GsfOutfile* root = gsf_outfile_msole_new(sink);
  std::mt19937 random(11);
  GsfOutput* workbook = gsf_outfile_new_child(root, "Workbook", FALSE);
  gsf_output_write(workbook, workbook_stream.size(),
                   reinterpret_cast<const guint8*>(workbook_stream.data()));
  gsf_output_close(workbook);
  g_object_unref(workbook);
  AddStream(root, "\x05SummaryInformation", 412, random);
  AddStream(root, "\x01CompObj", 107, random);
  GsfOutput* project = gsf_outfile_new_child(root, "_VBA_PROJECT_CUR", TRUE);
  const guint8 class_id[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(project), class_id);
  AddStream(GSF_OUTFILE(project), "PROJECT", 523, random);
  AddStream(GSF_OUTFILE(project), "PROJECTwm", 0, random);
  GsfOutput* vba = gsf_outfile_new_child(GSF_OUTFILE(project), "VBA", TRUE);
  AddStream(GSF_OUTFILE(vba), "dir", 3000, random);
  AddStream(GSF_OUTFILE(vba), "Module1", 20000, random);
  AddStream(GSF_OUTFILE(vba), "_VBA_PROJECT", 4096, random);
  gsf_output_close(vba);
  g_object_unref(vba);
  gsf_output_close(project);
  g_object_unref(project);
  gsf_output_close(GSF_OUTPUT(root));
  g_object_unref(root);
  g_object_unref(sink);
}

}  // namespace tarvex::testing
