// The command text into the job's settings: every item through the option table, as
// ReadCommandLine takes them (the data sets are not loaded: that would open fuzzed paths).
#include <exception>

#include "bench/fuzz/fuzz_support.h"
#include "driver/options.h"
#include "platform/command_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvex;
  job::JobSettings job = fuzz::FreshJob();
  try {
    platform::ForEachOptionItem(
        fuzz::AsText(data, size), [&job](std::string_view key, std::string_view value) {
          for (const driver::OptionRow& option : driver::CommandLineOptions()) {
            if (option.key == key) option.apply(job, value);
          }
        });
  } catch (const std::exception&) {
    // A whole number out of range ends the run without a word: an expected outcome.
  }
  return 0;
}
