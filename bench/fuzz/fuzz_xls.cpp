// The .xls reader and writer. With the first byte even, the rest is a whole file; with it odd,
// the rest is the Workbook stream of a compound document made around it, so that the fuzzer
// reaches the BIFF records behind the container. Every sheet is read over a fixed area, a few
// numbers are written and saved, and the saved workbook must read them back exactly.
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "bench/fuzz/fuzz_support.h"
#include "workbook/workbook_file.h"

namespace {

namespace fs = std::filesystem;
using tarvex::workbook::CellArea;
using tarvex::workbook::CellKind;
using tarvex::workbook::CellValue;
using tarvex::workbook::CellWrite;

// A compound document whose only stream, Workbook, holds the bytes.
std::string AroundStream(std::string_view stream) {
  gsf_init();
  GsfOutput* sink = gsf_output_memory_new();
  GsfOutfile* document = gsf_outfile_msole_new(sink);
  GsfOutput* workbook = gsf_outfile_new_child(document, "Workbook", FALSE);
  gsf_output_write(workbook, stream.size(), reinterpret_cast<const guint8*>(stream.data()));
  gsf_output_close(workbook);
  g_object_unref(workbook);
  gsf_output_close(GSF_OUTPUT(document));
  g_object_unref(document);
  const guint8* bytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink));
  std::string file(reinterpret_cast<const char*>(bytes),
                   static_cast<size_t>(gsf_output_size(sink)));
  g_object_unref(sink);
  return file;
}

void Exercise(const std::string& bytes) {
  // A real file in memory-backed storage: saving replaces it through a temporary file beside it.
  static const fs::path folder = [] {
    fs::path made = fs::path("/dev/shm") / ("tarvex-fuzz-xls-" + std::to_string(getpid()));
    fs::create_directories(made);
    return made;
  }();
  const fs::path path = folder / "book.xls";
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  std::vector<CellWrite> writes = {{0, 0, 1.5}, {3, 2, -2.25}, {40, 7, 1e300}, {65535, 255, 4}};
  try {
    auto book = tarvex::workbook::OpenWorkbookFile(path.string());
    if (!book) __builtin_trap();  // the file is there
    std::vector<std::string> sheets = book->SheetNames();
    for (size_t sheet = 0; sheet < sheets.size(); ++sheet) {
      book->ReadCells(sheet, CellArea{0, 0, 60, 12});
    }
    book->FindDefinedName("inputs");
    book->ActiveSheet();
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
  for (size_t i = 0; i + 1 < writes.size(); ++i) {
    const CellValue& value = values[writes[i].row * 8 + writes[i].column];
    if ((value.kind != CellKind::kNumber && value.kind != CellKind::kDate) ||
        value.number != writes[i].value) {
      __builtin_trap();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::string_view rest = tarvex::fuzz::AsText(data + 1, size - 1);
  Exercise(data[0] % 2 == 0 ? std::string(rest) : AroundStream(rest));
  return 0;
}
