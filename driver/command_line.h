// The first stage of a run: the options of the command line, the parameter file, the scaling
// range, the required-option checks and the loading of the three data sets.
#pragma once

#include <string_view>

#include "job/job_settings.h"

namespace tarvex::driver {

// Returns true only when all three data sets were loaded.
bool ReadCommandLine(job::JobSettings& job, std::string_view command_text);

}  // namespace tarvex::driver
