// The validation data beside the training data: the check of its row counts, and the rows that
// /vf holds out of the training data.
#pragma once

#include "job/job_settings.h"

namespace tarvex::network {

// With validation files or values: accepts them when inputs and outputs have as many rows (their
// widths were checked as they were loaded). With /vf: moves the held-out share of the training
// rows into the validation data, so that the network trains on the other rows only. With /cv:
// accepts as many folds as there are training rows at most. Logs one line and returns false
// when the data cannot be used.
bool CheckValidationData(job::JobSettings& job);

}  // namespace tarvex::network
