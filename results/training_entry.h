// The training results report and its number forms.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "job/job_settings.h"

namespace tarvex::results {

// "hh:mm:ss." and then characters 8 to 10 of the elapsed time in days written with 16
// decimals; log readers know these three odd characters, so they stay.
std::string ElapsedTimeText(std::int64_t elapsed_seconds, std::string_view decimal_separator);

// The pattern "# ##0.0000000": seven decimals, and a space always in front of the last three
// integer positions.
std::string FormatWeightDelta(double value, std::string_view decimal_separator);

// The time of day to whole seconds, and the seconds since such a start (across midnight too).
std::int64_t SecondsOfDay();
std::int64_t SecondsSince(std::int64_t start);

// The whole report, each line ending with CR LF. A job that predicts nothing has no prediction
// lines; a job that saves its network ends with the network file's line.
std::string TrainingResultsEntry(const job::JobSettings& job, std::int32_t hidden_size,
                                 std::int32_t output_size, std::int64_t elapsed_seconds);

// The warnings of a run that learned nothing, one line each naming the likely cause: for the
// training results entry, the summary's training.warnings and the top of the report.
std::vector<std::string> WarningLines(const job::JobSettings& job);

// /ens: what the ensemble is, then one line per network with its seed, its epochs and its own
// validation error; empty for a job of one network.
std::vector<std::string> EnsembleLines(const job::JobSettings& job);

// The report of a job that predicted with a saved network: the training lines, which have no
// meaning without training, give way to the network file's line.
std::string SavedNetworkEntry(const job::JobSettings& job, std::int64_t elapsed_seconds);

}  // namespace tarvex::results
