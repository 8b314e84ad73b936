// The one option that nearly every job needs: the option checks refuse a job without it before
// anything is loaded, and the data check, which stages run on their own, refuses it again.
#pragma once

#include "job/job_settings.h"

namespace tarvex::job {

// A job that predicts needs /pof. Logs "The Parameter '/pof' is empty." and returns false
// without it.
bool CheckPredictionTargetGiven(const JobSettings& job);

}  // namespace tarvex::job
