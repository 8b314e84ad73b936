// The third stage of a job with nif: prediction with the saved network instead of training.
#pragma once

#include "job/job_settings.h"

namespace tarvex::network {

// The network of SavedNetwork goes into the engine and predicts every row of PredictionInputs,
// mapped back with the saved output ranges; then the report. True once the predictions stand.
bool PredictWithSavedNetwork(job::JobSettings& job);

}  // namespace tarvex::network
