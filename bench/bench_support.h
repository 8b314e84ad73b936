// What the benchmarks share: wall and processor time, peak memory, and a job set up as a run
// sets it up.
#pragma once

#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <string>

#include "job/job_settings.h"
#include "platform/locale_text.h"

namespace tarvex::bench {

inline double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Processor time of the whole process, all threads, in seconds.
inline double ProcessorSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The largest resident set so far, in MiB.
inline double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// A job with its defaults and the scaling range of af 0, as RunMain and the option reader
// leave it before the data sets are loaded; in the user's locale unless a separator is given.
inline job::JobSettings FreshJob(const std::string& decimal_separator = {}) {
  job::JobSettings job;
  if (decimal_separator.empty()) {
    platform::UseUserLocale();
    job.DecimalSeparator = platform::LocaleDecimalSeparator();
  } else {
    job.DecimalSeparator = decimal_separator;
  }
  job::SetDefaults(job);
  job.ScaleLow = -0.4;
  job.ScaleHigh = 0.4;
  return job;
}

}  // namespace tarvex::bench
