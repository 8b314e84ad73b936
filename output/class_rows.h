// What each writer puts into a row of a classification job's output: the predicted label, then,
// with /pp=1, one probability per class in class order.
#pragma once

#include <string>

#include "job/job_settings.h"

namespace tarvex::output {

// The label of the most probable class of that row of PredictionOutputs (ties go to the first
// class in class order).
const std::string& PredictedLabel(const job::JobSettings& job, job::Index row);

// The values of one output row: 1, or 1 + classes with /pp=1.
job::Index ClassRowWidth(const job::JobSettings& job);

// "1 (the label)" or "1 + 3 = 4 (the label, then one probability per class)": what a refusal
// of a target of another width says is wanted.
std::string ClassRowWidthText(const job::JobSettings& job);

}  // namespace tarvex::output
