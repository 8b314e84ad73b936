// The run log's entry on the data of a job with table options (/cat, /na, /mv, /mvi) or with a
// saved network that keeps an encoding: what each input column held and became.
#pragma once

#include <string>

#include "job/job_settings.h"

namespace tarvex::results {

// "Data profile: ", the rule and the missing texts, the training rows left out for a missing
// output, then a line per input column: its kind, missing cells, fill value or categories with
// their counts, range, and the cells of validation and prediction rows of no training category.
// Each line ends with CR LF.
std::string DataProfileEntry(const job::JobSettings& job);

}  // namespace tarvex::results
