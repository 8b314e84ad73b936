// The input stage's plan: which data sets a job loads, from where and in which order, and the
// checks that a set's columns must pass before it is scaled.
#pragma once

#include "job/job_settings.h"

namespace tarvex::input {

// A job that trains: the training inputs and outputs, the prediction inputs when it predicts,
// then the validation data. A job with a saved network (read before, its ranges in the job): the
// prediction inputs when it predicts, then the validation data. Logs the first failure and
// returns false.
bool LoadJobData(job::JobSettings& job);

}  // namespace tarvex::input
