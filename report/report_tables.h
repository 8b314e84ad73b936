// The report's tables: the error figures, the network and its training, the options, the data
// sources with their shapes and the files written, taken from the run summary so that the two
// always agree.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

#include "job/job_settings.h"

namespace tarvex::report {

// The section of tables; summary is the run's summary (results::RunSummary).
std::string TablesSection(const job::JobSettings& job, const nlohmann::ordered_json& summary);

}  // namespace tarvex::report
