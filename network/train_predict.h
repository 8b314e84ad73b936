// The third stage: training through the network engine, prediction and the results report.
#pragma once

#include "driver/job_settings.h"

namespace tarvex {

// True once every prediction row is computed and mapped back into PredictionOutputs.
bool TrainAndPredict(JobSettings& job);

}  // namespace tarvex
