// The checks that need every option read: combinations that cannot work, number options kept as
// text, and files the run would make where it must not. They run before any data is loaded, so
// that a job that cannot work ends with its line in the log at once.
#pragma once

#include "job/job_settings.h"

namespace tarvex::driver {

// In a fixed order (a job with several faults always gets the same line): a saved network that
// would be saved again, the summary's, the report's and the network's files, the number options
// (/vf, /es, /sd, /cv into their numbers), the validation options that exclude each other, the
// learning curve's file, the export options, the prediction output. Logs one line and returns
// false at the first refusal.
bool CheckOptions(job::JobSettings& job);

// Once the network input file is read: a /cat that names a column that the saved network does
// not hold as categorical, and an ONNX export of a network with an encoding, are refused with
// their line.
bool CheckSavedCategories(const job::JobSettings& job);

}  // namespace tarvex::driver
