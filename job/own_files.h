// The job's own files, which no output may replace: its inputs, its log, its parameter file, its
// other outputs and the program itself. Files are compared, not names (device and inode, links
// followed).
#pragma once

#include <optional>
#include <string>

#include "job/job_settings.h"

namespace tarvex::job {

// What the file at path is to the job ("the training inputs (ti.txt)", "a file of the program
// itself"), or none when it is none of its own files or does not exist. The data inputs count
// only when inputs is true: a workbook or database is edited in place and may well be one.
std::optional<std::string> OwnFileAt(const JobSettings& job, const std::string& path, bool inputs);

}  // namespace tarvex::job
