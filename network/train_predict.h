// The third stage: training through the network engine, prediction and the results report.
#pragma once

#include "job/job_settings.h"

namespace tarvex::network {

// True once every prediction row is computed and mapped back into PredictionOutputs.
bool TrainAndPredict(job::JobSettings& job);

}  // namespace tarvex::network
