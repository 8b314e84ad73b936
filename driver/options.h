// The options of a job and how each one's value is taken; shared by the command line and the
// parameter file, which differ only in their key texts and their order.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "job/job_settings.h"

namespace tarvex::driver {

struct OptionRow {
  std::string_view key;
  void (*apply)(job::JobSettings& job, std::string_view value);
};

// In the order in which the keys are tested.
std::span<const OptionRow> CommandLineOptions();
// In the order in which the keys are read; the keys carry their leading slash.
std::span<const OptionRow> ParameterFileOptions();

// A path that begins with ".\" is taken relative to the program folder; any other text stays.
std::string ApplyProgramFolderRule(std::string_view path, std::string_view program_folder);

// The locale number test on the value as written, then rounding to the nearest integer with
// halves to the even neighbour. Returns false for a value that is not a number; throws Failure
// ("Overflow") when the rounded number does not fit into 32 bits.
bool ConvertWholeNumber(std::string_view value, std::string_view decimal_separator,
                        std::int32_t& number);

}  // namespace tarvex::driver
