#include "results/curve_file.h"

#include <algorithm>
#include <charconv>
#include <span>

namespace tarvex::results {

namespace {

void AppendNumber(std::string& text, double value) {
  char buffer[32];
  const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value);
  text.append(buffer, result.ptr);
}

// The values of a point, or as many empty fields where the training kept none at this epoch.
void AppendValues(std::string& text, const CurvePoint* point, std::size_t count,
                  std::span<const double> values) {
  for (std::size_t value = 0; value < count; ++value) {
    text += ',';
    if (point != nullptr) AppendNumber(text, values[value]);
  }
}

// Walks a training's points along the epochs of the lines.
class PointCursor {
 public:
  explicit PointCursor(const std::vector<CurvePoint>& points) : points_(points) {}
  const CurvePoint* At(std::int32_t epoch) {
    while (next_ < points_.size() && points_[next_].epoch < epoch) ++next_;
    return next_ < points_.size() && points_[next_].epoch == epoch ? &points_[next_] : nullptr;
  }

 private:
  const std::vector<CurvePoint>& points_;
  std::size_t next_ = 0;
};

}  // namespace

std::string LearningCurveText(const std::vector<CurvePoint>& points, std::size_t outputs,
                              bool validation, const std::vector<job::FoldResult>& folds) {
  std::string text = "epoch";
  for (std::size_t column = 1; column <= outputs; ++column) {
    text += ",training_rmse_" + std::to_string(column);
  }
  if (validation) {
    for (std::size_t column = 1; column <= outputs; ++column) {
      text += ",validation_rmse_" + std::to_string(column);
    }
  }
  text += ",weight_delta";
  for (std::size_t fold = 1; fold <= folds.size(); ++fold) {
    for (const char* rows : {"training", "validation"}) {
      for (std::size_t column = 1; column <= outputs; ++column) {
        text += ",fold_" + std::to_string(fold) + "_" + rows + "_rmse_" + std::to_string(column);
      }
    }
  }
  text += "\r\n";

  std::vector<std::int32_t> epochs;
  for (const CurvePoint& point : points) epochs.push_back(point.epoch);
  for (const job::FoldResult& fold : folds) {
    for (const CurvePoint& point : fold.curve) epochs.push_back(point.epoch);
  }
  std::sort(epochs.begin(), epochs.end());
  epochs.erase(std::unique(epochs.begin(), epochs.end()), epochs.end());

  PointCursor own(points);
  std::vector<PointCursor> fold_points;
  for (const job::FoldResult& fold : folds) fold_points.emplace_back(fold.curve);
  const std::size_t validation_count = validation ? outputs : 0;
  for (const std::int32_t epoch : epochs) {
    text += std::to_string(epoch);
    const CurvePoint* point = own.At(epoch);
    AppendValues(text, point, outputs, point ? point->training_rmse : std::span<const double>());
    AppendValues(text, point, validation_count,
                 point ? point->validation_rmse : std::span<const double>());
    text += ',';
    if (point != nullptr) AppendNumber(text, point->weight_delta);
    for (PointCursor& cursor : fold_points) {
      const CurvePoint* fold_point = cursor.At(epoch);
      AppendValues(text, fold_point, outputs,
                   fold_point ? fold_point->training_rmse : std::span<const double>());
      AppendValues(text, fold_point, outputs,
                   fold_point ? fold_point->validation_rmse : std::span<const double>());
    }
    text += "\r\n";
  }
  return text;
}

std::string ClassCurveText(const std::vector<CurvePoint>& points, bool validation) {
  std::string text = "epoch,training_log_loss,training_error_rate";
  if (validation) text += ",validation_log_loss,validation_error_rate";
  text += ",weight_delta\r\n";
  for (const CurvePoint& point : points) {
    text += std::to_string(point.epoch);
    for (double value : {point.training_log_loss, point.training_error_rate}) {
      text += ',';
      AppendNumber(text, value);
    }
    if (validation) {
      for (double value : {point.validation_log_loss, point.validation_error_rate}) {
        text += ',';
        AppendNumber(text, value);
      }
    }
    text += ',';
    AppendNumber(text, point.weight_delta);
    text += "\r\n";
  }
  return text;
}

}  // namespace tarvex::results
