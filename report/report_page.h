// The report file (/rof): one self-contained HTML page for a person who did not run the job,
// written at the end of the run like the run summary, whether the run succeeded or failed.
// Inline SVG and CSS only: no script, and nothing that a browser would fetch.
#pragma once

#include <optional>
#include <string>

#include "job/job_settings.h"

namespace tarvex::report {

// The page for the job as it stands at the end of the run: a heading (the job's name, the time,
// the exit status and the failure line), the learning curve, the predictions against the
// actual values, the validation residuals, and the tables.
std::string ReportText(const job::JobSettings& job, int exit_status,
                       const std::optional<std::string>& failure_line);

// Writes it to rof, whole or not at all; throws Failure with the file's "File name: " line.
void WriteReport(const job::JobSettings& job, int exit_status,
                 const std::optional<std::string>& failure_line);

}  // namespace tarvex::report
