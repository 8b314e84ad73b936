// The run log's entry on a classifier's figures: after the training results (or the saved
// network's) in a classification job, in the report's style.
#pragma once

#include <string>

#include "job/job_settings.h"

namespace tarvex::results {

// The classes in class order, the rows left out for a blank label, then per data set (training
// when the job trained, validation where it has validation data) the accuracy beside the
// majority-class error, balanced accuracy, log loss, macro F1, kappa, AUC and the confusion
// matrix, a row per actual class. Each line ends with CR LF.
std::string ClassificationEntry(const job::JobSettings& job);

}  // namespace tarvex::results
