// The second stage: the three data sets are there and fit together.
#pragma once

#include "job/job_settings.h"

namespace tarvex::network {

// Logs one line about the first check that fails and returns false; true when all pass.
bool CheckTrainingData(const job::JobSettings& job);

}  // namespace tarvex::network
