// The job's own files, which no output may replace and the run log may not grow into: its inputs,
// its log, its parameter file, its other outputs and the program itself. Files are compared, not
// names (device and inode, links followed).
#pragma once

#include <optional>
#include <string>

#include "job/job_settings.h"

namespace tarvex::job {

// What the file at path is to the job ("the training inputs (ti.txt)", "a file of the program
// itself"), or none when it is none of its own files or does not exist. The data inputs count
// only when inputs is true: a workbook or database is edited in place and may well be one.
std::optional<std::string> OwnFileAt(const JobSettings& job, const std::string& path, bool inputs);

// Two outputs to be made under one name that no file has yet: the later one in the list (the
// prediction output, the network, the curve, the summary, the report) would replace the earlier.
struct OutputClash {
  const std::string* path;  // the later output's setting in the job
  std::string line;         // "The report file is the run summary file (r.json)"
};
std::optional<OutputClash> NewOutputsClash(const JobSettings& job);

// Why the run log cannot be written without harm, checked before anything is: it is one of the
// job's own files (inputs included, since a log only appends and would damage any of them), or an
// output is to be made where the log would be, or its name matches several files that differ
// only in letter case. None when it can; always none without a log.
std::optional<std::string> RunLogClash(const JobSettings& job);

}  // namespace tarvex::job
