#include "job/required_options.h"

#include "job/messages.h"
#include "job/run_log.h"

namespace tarvex::job {

bool CheckPredictionTargetGiven(const JobSettings& job) {
  if (!PredictsOutputs(job) || !job.pof.empty()) return true;
  WriteLog(job.log, FillTemplate(kEmptyParameterTemplate, "'/pof'"));
  return false;
}

}  // namespace tarvex::job
