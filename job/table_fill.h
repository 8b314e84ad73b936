// The fill step of a job with table options, where the rows whose fill values count are known:
// at loading (every training row), and again once /vf has held rows out (those trained on).
#pragma once

#include <span>

#include "job/job_settings.h"

namespace tarvex::job {

// The fill values of job.Encoding from the given rows of job.UnfilledTrainingInputs (positions
// from 0; all when empty); then TrainingInputs from every unfilled row, filled, with the input
// ranges computed from them, scaled; and PredictionInputs the same where
// UnfilledPredictionInputs holds rows. Throws ScalingOverflow as the loader's scaling does.
void FillAndScaleInputs(JobSettings& job, std::span<const Index> fill_rows);

// A set of inputs encoded by job.Encoding, filled and scaled with the training ranges (rebased
// to the set's first column).
DataMatrix FilledAndScaled(const JobSettings& job, DataMatrix unfilled);

}  // namespace tarvex::job
