// The learning curve: per epoch the training error, the validation error and the last weight
// delta. Its length is bounded whatever the epoch limit: past a bound the epochs kept are thinned
// evenly, and the first, the best and the last epoch always stay.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "job/job_settings.h"

namespace tarvex::network {

using job::CurvePoint;

class LearningCurve {
 public:
  // At most this many evenly spaced epochs are kept, besides the first, the best and the last.
  static constexpr std::size_t kEvenPoints = 10000;

  // even_points: the bound of the evenly spaced epochs, at least 1.
  explicit LearningCurve(std::size_t even_points = kEvenPoints)
      : even_points_(std::max<std::size_t>(even_points, 1)) {}

  // Epochs come in ascending order; best marks the epoch with the best validation error so far.
  void Add(const CurvePoint& point, bool best);
  // The epochs kept, in ascending order: every stride-th epoch (the stride doubling whenever
  // more than the bound would be kept), and the first, the best and the last.
  std::vector<CurvePoint> Points() const;
  std::int64_t Stride() const { return stride_; }

 private:
  std::size_t even_points_;
  std::vector<CurvePoint> even_;
  std::int64_t stride_ = 1;
  std::optional<CurvePoint> first_, best_, last_;
};

// The CSV text: a header line (epoch, training_rmse_1 ..., validation_rmse_1 ..., weight_delta)
// and a line per point; "," between values, "." as decimal point, the shortest form that reads
// back to the same double, CR LF line ends. With the folds of cross-validation, each fold's
// training and validation RMSE follow (fold_1_training_rmse_1 ...), on the lines of the epochs
// that any training kept; a training that kept no point for an epoch leaves its fields empty.
std::string LearningCurveText(const std::vector<CurvePoint>& points, std::size_t outputs,
                              bool validation, const std::vector<job::FoldResult>& folds = {});

}  // namespace tarvex::network
