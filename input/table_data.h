// The data sets of a job with table options (/cat, /na, /mv, /mvi), or of one whose saved
// network keeps an encoding: each set is read as a table of numbers, texts and blanks, its
// categorical columns encoded and its missing cells filled, then scaled as any set is.
#pragma once

#include <functional>

#include "job/data_set.h"
#include "job/job_settings.h"
#include "job/table_encoding.h"

namespace tarvex::input {

// Reads one data set as its reader sees it, unscaled; logs and returns false on failure.
using ReadTable = std::function<bool(job::DataSet, job::RawTable&)>;

// The training inputs and outputs, then the prediction inputs when the job predicts: the
// encoding and its fill values from the training rows that have an output, kept in job.Encoding
// with the profile of those rows. Logs the first failure and returns false.
bool LoadTrainingTables(job::JobSettings& job, const ReadTable& read, bool keeps_outputs);

// The prediction inputs of a job with a saved network that keeps an encoding.
bool LoadSavedNetworkTables(job::JobSettings& job, const ReadTable& read);

// The validation inputs and outputs, encoded and filled with the training rows' encoding.
bool LoadValidationTables(job::JobSettings& job, const ReadTable& read);

}  // namespace tarvex::input
