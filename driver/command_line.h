// The first stage of a run: the options of the command line and the parameter file, the scaling
// range and the option checks, then the input stage's loading of the data sets.
#pragma once

#include <string_view>

#include "job/job_settings.h"

namespace tarvex::driver {

// Returns true only when every data set of the job was loaded.
bool ReadCommandLine(job::JobSettings& job, std::string_view command_text);

}  // namespace tarvex::driver
