// The first stage of a run: the options of the command line, the parameter file, the scaling
// range, the required-option checks and the loading of the three data sets.
#pragma once

#include <string_view>

#include "driver/job_settings.h"

namespace tarvex {

// Returns true only when all three data sets were loaded.
bool ReadCommandLine(JobSettings& job, std::string_view command_text);

}  // namespace tarvex
