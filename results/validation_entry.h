// The run log's entry on how well the network fits: after the training results (or the saved
// network's) whenever the job has validation data, in the report's style.
#pragma once

#include <cstdint>
#include <string>

#include "job/job_settings.h"

namespace tarvex::results {

// The best epoch, why training stopped and the error figures of the training rows (when the job
// trained) and the validation rows; with cross-validation, those of each fold, their mean and
// standard deviation, and the final network's on all rows. Each line ends with CR LF.
std::string ValidationEntry(const job::JobSettings& job);

// What ended the training, as the log words it.
std::string StopText(const job::JobSettings& job);
std::string StopText(job::StopReason stop, std::int32_t patience, bool fits_curve = false);

}  // namespace tarvex::results
