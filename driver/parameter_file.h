// A job kept in a parameter file (section [Parameter], keys with their leading slash).
#pragma once

#include <string>

#include "job/job_settings.h"

namespace tarvex::driver {

// Reads every known key; a non-empty value replaces the setting. A missing file or section
// changes nothing and is not an error. Returns false only when a value could not be taken (a
// whole number out of range); the settings read before stay changed.
bool ReadParameterFile(job::JobSettings& job, const std::string& path);

}  // namespace tarvex::driver
