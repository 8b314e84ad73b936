// The last stage: writing the predicted outputs to the target that pof names.
#pragma once

#include "driver/job_settings.h"

namespace tarvex {

// Writes PredictionOutputs and logs the results block, or logs the failure line. Returns whether
// the target was written (the run's exit status follows it).
bool OutPredictToFile(const JobSettings& job);

}  // namespace tarvex
