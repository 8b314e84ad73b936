// A classifier's tables on the report's page: the confusion matrix coloured by its row shares,
// the figures of each class, and the figures of the training and the validation rows; taken from
// the run summary, so that the page and the summary always agree.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

#include "job/job_settings.h"

namespace tarvex::report {

// The section of the confusion matrix and the per-class table, of the validation rows where
// there are some, else of the training rows; summary is the run's summary (results::RunSummary).
std::string ClassesSection(const job::JobSettings& job, const nlohmann::ordered_json& summary);

// The table of the classifier's figures of the training and the validation rows.
std::string ClassFiguresTable(const job::JobSettings& job, const nlohmann::ordered_json& summary);

// The page's style rules for these tables, added to a classifier's page alone.
std::string ClassTableStyle();

}  // namespace tarvex::report
