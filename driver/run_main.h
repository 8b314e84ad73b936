// The run driver: one pass through the stages of a job.
#pragma once

#include <string_view>

namespace tarvex::driver {

// Runs the job that the command text describes and returns the exit status: 0 when every stage
// succeeded and the output target was written, 1 otherwise.
int RunMain(std::string_view command_text);

}  // namespace tarvex::driver
