// Prediction: the network's outputs for every prediction-input row, mapped back into the units
// of the training outputs. Shared by the training run and the run with a saved network.
#pragma once

#include "job/job_settings.h"
#include "network/network_engine.h"

namespace tarvex::network {

// Fills PredictionOutputs (already dimensioned) row by row. The prediction row keeps the bounds
// the network's inputs were given, so prediction inputs with other column bounds fail on their
// first value.
void PredictRows(job::JobSettings& job, NetworkEngine& engine, job::BoundedVector& prediction_row);

}  // namespace tarvex::network
