// The rows of the option table as the command line and the parameter file read them: the same
// options, which differ only in their key texts and their order.
#pragma once

#include <span>
#include <string_view>

#include "job/job_settings.h"
#include "job/option_table.h"

namespace tarvex::driver {

struct OptionRow {
  std::string_view key;  // as the source writes it
  const job::OptionDefinition* option;

  void apply(job::JobSettings& job, std::string_view value) const {
    job::ApplyOption(*option, job, value);
  }
};

// In the order in which the keys are tested.
std::span<const OptionRow> CommandLineOptions();
// In the order in which the keys are read; the keys carry their leading slash.
std::span<const OptionRow> ParameterFileOptions();

}  // namespace tarvex::driver
