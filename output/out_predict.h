// The last stage: writing the predicted outputs to the target that pof names.
#pragma once

#include "job/job_settings.h"

namespace tarvex::output {

// Writes PredictionOutputs and logs the results block, or logs the failure line. Returns whether
// the target was written (the run's exit status follows it).
bool OutPredictToFile(const job::JobSettings& job);

}  // namespace tarvex::output
