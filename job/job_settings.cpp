#include "job/job_settings.h"

namespace tarvex::job {

void SetDefaults(JobSettings& job) {
  job.lr = 0.3;
  job.m = 0.6;
  job.wd = 0.001;
  job.ep = 3000;
  job.iw = 0.3;
  job.n = 0;
  job.log.clear();
  job.tifh.clear();
  job.tofh.clear();
  job.pifh.clear();
  job.ini.clear();
}

}  // namespace tarvex::job
