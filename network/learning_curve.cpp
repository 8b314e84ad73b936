#include "network/learning_curve.h"

#include <algorithm>
#include <charconv>

namespace tarvex::network {

void LearningCurve::Add(const CurvePoint& point, bool best) {
  if (!first_) first_ = point;
  if (best) best_ = point;
  if (point.epoch % stride_ == 0) {
    even_.push_back(point);
    if (even_.size() > kEvenPoints) {
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

namespace {

void AppendNumber(std::string& text, double value) {
  char buffer[32];
  const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value);
  text.append(buffer, result.ptr);
}

}  // namespace

std::string LearningCurveText(const std::vector<CurvePoint>& points, std::size_t outputs,
                              bool validation) {
  std::string text = "epoch";
  for (std::size_t column = 1; column <= outputs; ++column) {
    text += ",training_rmse_" + std::to_string(column);
  }
  if (validation) {
    for (std::size_t column = 1; column <= outputs; ++column) {
      text += ",validation_rmse_" + std::to_string(column);
    }
  }
  text += ",weight_delta\r\n";
  for (const CurvePoint& point : points) {
    text += std::to_string(point.epoch);
    for (double value : point.training_rmse) {
      text += ',';
      AppendNumber(text, value);
    }
    for (double value : point.validation_rmse) {
      text += ',';
      AppendNumber(text, value);
    }
    text += ',';
    AppendNumber(text, point.weight_delta);
    text += "\r\n";
  }
  return text;
}

}  // namespace tarvex::network
