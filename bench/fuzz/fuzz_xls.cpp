// The .xls reader and writer. With the first byte even, the rest is a whole file; with it odd,
// the rest is the Workbook stream of a compound document made around it, so that the fuzzer
// reaches the BIFF records behind the container. Every sheet is read over a fixed area, a few
// numbers are written and saved, and the saved workbook must read them back exactly.
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

#include "bench/fuzz/fuzz_support.h"
#include "bench/fuzz/workbook_exercise.h"

namespace {

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
  tarvex::fuzz::ExerciseWorkbook(bytes, "book.xls", "inputs",
                                 {{0, 0, 1.5}, {3, 2, -2.25}, {40, 7, 1e300}, {65535, 255, 4}});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::string_view rest = tarvex::fuzz::AsText(data + 1, size - 1);
  Exercise(data[0] % 2 == 0 ? std::string(rest) : AroundStream(rest));
  return 0;
}
