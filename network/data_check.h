// The second stage: the three data sets are there and fit together.
#pragma once

#include "driver/job_settings.h"

namespace tarvex {

// Logs one line about the first check that fails and returns false; true when all pass.
bool CheckTrainingData(const JobSettings& job);

}  // namespace tarvex
