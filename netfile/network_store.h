// Keeping a trained network between runs: saving the job's network to its nof file, and reading
// the nif file back into the job.
#pragma once

#include <cstdint>
#include <span>

#include "job/job_settings.h"

namespace tarvex::netfile {

// Writes the trained network (weights in the engine's order; an ensemble's one network after
// the other) with the job's scaling, options and
// sources to nof, whole or not at all: a failed or killed save leaves an earlier file as it was.
// Throws Failure whose text names the file.
void SaveNetworkFile(const job::JobSettings& job, std::int32_t hidden_size,
                     std::span<const double> weights);

// Reads nif: the activation code, the scaling range and the column ranges go where training
// would have put them (the ranges with lower bound 0), the layout and weights to SavedNetwork.
// Logs one line and returns false when the file is missing or cannot be used.
bool ReadNetworkFile(job::JobSettings& job);

}  // namespace tarvex::netfile
