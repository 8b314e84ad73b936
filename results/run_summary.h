// The run summary: one JSON file per run that says what the job was, what it found and how it
// ended, written whether the run succeeded or failed, so that programs can compare many runs.
#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

#include "job/job_settings.h"

namespace tarvex::results {

inline constexpr const char* kRunSummaryFormat = "tarvex-summary";
inline constexpr int kRunSummaryVersion = 1;

// The summary of the job as it stands at the end of the run; the report's tables show it too.
nlohmann::ordered_json RunSummary(const job::JobSettings& job, int exit_status,
                                  const std::optional<std::string>& failure_line);

// Its text.
std::string RunSummaryText(const job::JobSettings& job, int exit_status,
                           const std::optional<std::string>& failure_line);

// Writes it to sof, whole or not at all; throws Failure with the file's "File name: " line.
void WriteRunSummary(const job::JobSettings& job, int exit_status,
                     const std::optional<std::string>& failure_line);

}  // namespace tarvex::results
