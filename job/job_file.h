// Writing one of the files that a job makes besides its prediction output (the network, the
// learning curve, the run summary, the report): never over one of the job's own files, its folders
// created, whole or not at all.
#pragma once

#include <string>
#include <string_view>

#include "job/job_settings.h"

namespace tarvex::job {

// Writes text to path through a temporary file renamed over it. what names the file in the
// refusal ("The network output file is the run log (run.log); nothing was written"). Throws
// Failure with the "File name: " line of path when the file is refused or cannot be written.
void WriteJobFile(const JobSettings& job, const std::string& path, std::string_view what,
                  std::string_view text);

// Throws the same Failure when path is already one of the job's own files, or names what cannot
// take the file (a folder, a named pipe): checked before the run writes anything.
void CheckJobFileTarget(const JobSettings& job, const std::string& path, std::string_view what);

}  // namespace tarvex::job
