// The learning curve: per epoch the training error, the validation error and the last weight
// delta, as training records it. Its length is bounded whatever the epoch limit: past a bound the
// epochs kept are thinned evenly, and the first, the best and the last epoch always stay.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "job/job_settings.h"

namespace tarvex::training {

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

}  // namespace tarvex::training
