// The learning curve file (/lcf): the curve that training recorded, as CSV for a spreadsheet or
// a plotting program.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "job/training_results.h"

namespace tarvex::results {

using job::CurvePoint;

// The CSV text: a header line (epoch, training_rmse_1 ..., validation_rmse_1 ..., weight_delta)
// and a line per point; "," between values, "." as decimal point, the shortest form that reads
// back to the same double, CR LF line ends. With the folds of cross-validation, each fold's
// training and validation RMSE follow (fold_1_training_rmse_1 ...), on the lines of the epochs
// that any training kept; a training that kept no point for an epoch leaves its fields empty.
std::string LearningCurveText(const std::vector<CurvePoint>& points, std::size_t outputs,
                              bool validation, const std::vector<job::FoldResult>& folds = {});

// A classifier's curve in the same form: epoch, training_log_loss, training_error_rate, then
// with validation rows validation_log_loss and validation_error_rate, then weight_delta.
std::string ClassCurveText(const std::vector<CurvePoint>& points, bool validation);

}  // namespace tarvex::results
