// Loading one data set (training inputs, training outputs or prediction inputs) from a file or
// from direct values, scaled into the job's range.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "job/data_set.h"
#include "job/job_settings.h"
#include "job/text_cells.h"

namespace tarvex::input {

// Sees the values as read, before they are scaled; returning false ends the load with false.
using BeforeScaling = std::function<bool(const job::DataMatrix& values)>;

// Where a data set comes from: source is a file path, or holds the values themselves.
enum class Source { kFile, kValues };

// On success target holds the scaled matrix and, for the training sets, the job holds the new
// column ranges. On failure target is unchanged. With labels (the outputs of a classification
// job), cells that are not numbers are kept there instead of refused, blank cells are told apart
// from 0, and target holds the numbers as read, not scaled.
bool LoadDataSet(job::JobSettings& job, const std::string& source, job::DataMatrix& target,
                 Source kind, job::DataSet set, const std::string& selector,
                 const BeforeScaling& before_scaling = nullptr, job::TextCells* labels = nullptr);

// Whether validation values (set: the validation inputs or outputs) are as wide as expected: the
// training set's columns as read, or the saved network's. Logs the line that says why not.
bool ValidationWidthFits(job::JobSettings& job, job::DataSet set, const job::DataMatrix& values,
                         job::Index expected);

}  // namespace tarvex::input
