// The delimited text reader in both modes. The first byte chooses the delimiter, the decimal
// separator and the mode; in header mode the text up to the first NUL is the selector.
#include <cstring>

#include "bench/fuzz/fuzz_support.h"
#include "input/delimited_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvex;
  if (size == 0) return 0;
  const std::uint8_t control = data[0];
  std::string_view rest = fuzz::AsText(data + 1, size - 1);
  job::JobSettings job = fuzz::FreshJob(control & 2 ? "," : ".");
  std::string selector;
  if (control & 4) {
    const size_t nul = rest.find('\0');
    selector = std::string(rest.substr(0, nul));
    rest = nul == std::string_view::npos ? std::string_view() : rest.substr(nul + 1);
  }
  job::DataMatrix matrix;
  input::ParseDelimitedText(job, rest, matrix, "fuzz.txt", control & 1 ? ',' : '\t', selector);
  return 0;
}
