// Loading one data set (training inputs, training outputs or prediction inputs) from a file or
// from direct values, scaled into the job's range.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "job/job_settings.h"

namespace tarvex::input {

// Sees the values as read, before they are scaled; returning false ends the load with false.
using BeforeScaling = std::function<bool(const job::DataMatrix& values)>;

// kind is "F" (source is a file path) or "D" (source holds the values); code is "IT", "OT", "IP",
// or "IV" and "OV" for the validation inputs and outputs, which are scaled with the training
// ranges as the prediction inputs are. On success target holds the scaled matrix and, for "IT" and
// "OT", the job holds the new column ranges. On failure target is unchanged.
bool LoadDataSet(job::JobSettings& job, const std::string& source, job::DataMatrix& target,
                 std::string_view kind, std::string_view code, const std::string& selector,
                 const BeforeScaling& before_scaling = nullptr);

}  // namespace tarvex::input
