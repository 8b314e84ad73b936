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

// The data sets a job loads. The validation sets are scaled with the training ranges, as the
// prediction inputs are.
enum class DataSet {
  kTrainingInputs,
  kTrainingOutputs,
  kPredictionInputs,
  kValidationInputs,
  kValidationOutputs,
};

// Where a data set comes from: source is a file path, or holds the values themselves.
enum class Source { kFile, kValues };

// The data set's name as the log gives it, quotes included: "'Training Inputs'".
std::string_view QuotedLabel(DataSet set);

// On success target holds the scaled matrix and, for the training sets, the job holds the new
// column ranges. On failure target is unchanged.
bool LoadDataSet(job::JobSettings& job, const std::string& source, job::DataMatrix& target,
                 Source kind, DataSet set, const std::string& selector,
                 const BeforeScaling& before_scaling = nullptr);

}  // namespace tarvex::input
