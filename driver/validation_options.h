// The options of validation, early stopping, the seed and the files about the training: checked
// once every option is read, so that a bad value or a combination that cannot work ends the run
// with its line in the log before any data is loaded.
#pragma once

#include "job/job_settings.h"

namespace tarvex::driver {

// Reads vf, es and sd into their numbers and refuses what cannot work together; refuses a curve
// or summary file that is already one of the job's own files. Logs one line and returns false.
bool CheckValidationOptions(job::JobSettings& job);

}  // namespace tarvex::driver
