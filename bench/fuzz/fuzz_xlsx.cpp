// The .xlsx/.xlsm reader and writer. With the first byte even, the rest is a whole file; with it
// odd, the rest replaces one part (chosen by the second byte) of a valid macro workbook, so that
// the fuzzer reaches the XML readers behind the zip. Every sheet is read over a fixed area, a few
// numbers are written and saved, and the saved workbook must read them back exactly.
#include <zip.h>

#include <string>

#include "bench/fuzz/fuzz_support.h"
#include "bench/fuzz/workbook_exercise.h"
#include "platform/files.h"

namespace {

constexpr const char* kParts[] = {
    "xl/worksheets/sheet1.xml", "xl/workbook.xml", "xl/_rels/workbook.xml.rels",
    "[Content_Types].xml",      "_rels/.rels",     "xl/worksheets/sheet2.xml"};

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
  tarvex::fuzz::ExerciseWorkbook(bytes, "book.xlsm", "data",
                                 {{0, 0, 1.5}, {3, 2, -2.25}, {40, 7, 1e300}});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  if (data[0] % 2 == 0) {
    Exercise(std::string(tarvex::fuzz::AsText(data + 1, size - 1)));
    return 0;
  }
  static const std::string base =
      tarvex::platform::ReadWholeFile(TARVEX_SOURCE_DIR "/examples/data/example.xlsm");
  const char* part = kParts[data[1] % std::size(kParts)];
  Exercise(WithPart(base, part, tarvex::fuzz::AsText(data + 2, size - 2)));
  return 0;
}
