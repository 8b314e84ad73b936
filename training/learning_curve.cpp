#include "training/learning_curve.h"

#include <algorithm>
#include <charconv>
#include <span>

namespace tarvex::training {

void LearningCurve::Add(const CurvePoint& point, bool best) {
  if (!first_) first_ = point;
  if (best) best_ = point;
  if (point.epoch % stride_ == 0) {
    even_.push_back(point);
    if (even_.size() > even_points_) {
      stride_ *= 2;
      std::erase_if(even_, [this](const CurvePoint& kept) { return kept.epoch % stride_ != 0; });
    }
  }
  last_ = point;
}

std::vector<CurvePoint> LearningCurve::Points() const {
  std::vector<CurvePoint> points = even_;
  for (const std::optional<CurvePoint>& point : {first_, best_, last_}) {
    if (point) points.push_back(*point);
  }
  std::sort(points.begin(), points.end(),
            [](const CurvePoint& a, const CurvePoint& b) { return a.epoch < b.epoch; });
  points.erase(
      std::unique(points.begin(), points.end(),
                  [](const CurvePoint& a, const CurvePoint& b) { return a.epoch == b.epoch; }),
      points.end());
  return points;
}

}  // namespace tarvex::training
