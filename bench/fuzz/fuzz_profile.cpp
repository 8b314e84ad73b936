// The parameter file: the profile reader and every key's handling.
#include "bench/fuzz/fuzz_support.h"
#include "driver/parameter_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvex;
  fuzz::MemoryFile file(fuzz::AsText(data, size));
  job::JobSettings job = fuzz::FreshJob();
  driver::ReadParameterFile(job, file.path());
  return 0;
}
