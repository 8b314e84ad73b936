// The .xlsx/.xlsm reader and writer. With the first byte even, the rest is a whole file; with it
// odd, the rest replaces one part (chosen by the second byte) of a valid macro workbook, so that
// the fuzzer reaches the XML readers behind the zip. Every sheet is read over a fixed area, a few
// numbers are written and saved, and the saved workbook must read them back exactly.
#include <zip.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "bench/fuzz/fuzz_support.h"
#include "workbook/workbook_file.h"

namespace {

namespace fs = std::filesystem;
using tarvex::workbook::CellArea;
using tarvex::workbook::CellKind;
using tarvex::workbook::CellValue;
using tarvex::workbook::CellWrite;

constexpr const char* kParts[] = {
    "xl/worksheets/sheet1.xml", "xl/workbook.xml", "xl/_rels/workbook.xml.rels",
    "[Content_Types].xml",      "_rels/.rels",     "xl/worksheets/sheet2.xml"};

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The example workbook with one part replaced, as zip bytes.
std::string WithPart(const std::string& base, const char* name, std::string_view content) {
  zip_error_t error;
  zip_source_t* source = zip_source_buffer_create(nullptr, 0, 0, &error);
  zip_source_keep(source);
  zip_t* archive = zip_open_from_source(source, ZIP_TRUNCATE, &error);
  zip_source_t* base_source = zip_source_buffer_create(base.data(), base.size(), 0, &error);
  zip_t* template_zip = zip_open_from_source(base_source, ZIP_RDONLY, &error);
  for (zip_int64_t i = 0; i < zip_get_num_entries(template_zip, 0); ++i) {
    const char* entry = zip_get_name(template_zip, i, 0);
    zip_source_t* data = std::string_view(entry) == name
                             ? zip_source_buffer(archive, content.data(), content.size(), 0)
                             : zip_source_zip(archive, template_zip, i, 0, 0, -1);
    zip_file_add(archive, entry, data, ZIP_FL_OVERWRITE);
  }
  zip_close(archive);
  zip_close(template_zip);
  zip_source_open(source);
  zip_stat_t stat;
  zip_source_stat(source, &stat);
  std::string bytes(stat.size, '\0');
  zip_source_read(source, bytes.data(), stat.size);
  zip_source_close(source);
  zip_source_free(source);
  return bytes;
}

void Exercise(const std::string& bytes) {
  // A real file in memory-backed storage: saving replaces it through a temporary file beside it.
  static const fs::path folder = [] {
    fs::path made = fs::path("/dev/shm") / ("tarvex-fuzz-" + std::to_string(getpid()));
    fs::create_directories(made);
    return made;
  }();
  const fs::path path = folder / "book.xlsm";
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  std::vector<CellWrite> writes = {{0, 0, 1.5}, {3, 2, -2.25}, {40, 7, 1e300}};
  try {
    auto book = tarvex::workbook::OpenWorkbookFile(path.string());
    if (!book) __builtin_trap();  // the file is there
    std::vector<std::string> sheets = book->SheetNames();
    for (size_t sheet = 0; sheet < sheets.size(); ++sheet) {
      book->ReadCells(sheet, CellArea{0, 0, 60, 12});
    }
    book->FindDefinedName("data");
    if (sheets.empty()) return;
    book->WriteNumbers(0, writes);
    book->Save();
  } catch (const tarvex::workbook::WorkbookError&) {
    return;  // refused with a description: the expected end for most inputs
  } catch (const std::runtime_error&) {
    return;  // a system failure with its description
  }
  // What was saved reads back as written.
  auto saved = tarvex::workbook::OpenWorkbookFile(path.string());
  if (!saved) __builtin_trap();
  std::vector<CellValue> values = saved->ReadCells(0, CellArea{0, 0, 40, 7});
  for (const CellWrite& write : writes) {
    const CellValue& value = values[write.row * 8 + write.column];
    if (value.kind != CellKind::kNumber || value.number != write.value) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  if (data[0] % 2 == 0) {
    Exercise(std::string(tarvex::fuzz::AsText(data + 1, size - 1)));
    return 0;
  }
  static const std::string base = ReadAll(TARVEX_SOURCE_DIR "/examples/data/example.xlsm");
  const char* part = kParts[data[1] % std::size(kParts)];
  Exercise(WithPart(base, part, tarvex::fuzz::AsText(data + 2, size - 2)));
  return 0;
}
