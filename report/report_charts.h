// The report's three kinds of chart, made from what the run found: the learning curve, the
// predictions against the actual values, and the histogram of the validation residuals; each as
// a section of the page, with a chart per output column and a text that says what it shows.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "job/job_settings.h"
#include "report/svg_chart.h"

namespace tarvex::report {

// A chart draws at most this many epochs of a curve (evenly spaced, the best and the last kept)
// and this many rows of each data set (evenly spaced, see SamplePositions).
inline constexpr std::size_t kMostCurvePoints = 5000;
inline constexpr job::Index kMostSampleRows = 2000;

// The positions 0..rows-1 that a chart draws: all of them up to most, else most positions
// evenly spaced, the i-th being floor(i x rows / most).
std::vector<job::Index> SamplePositions(job::Index rows, job::Index most);

// The indices of the points of a curve that its chart draws: every stride-th for at most most
// points, the best epoch's and the last.
std::vector<std::size_t> DrawnPoints(std::span<const job::CurvePoint> points, std::int32_t best,
                                     std::size_t most = kMostCurvePoints);

// One training's curve, named in the legend when several are drawn together (such as the folds
// of a cross-validation); best_epoch 0 when it has none.
struct CurveToDraw {
  std::string name;
  std::span<const job::CurvePoint> points;
  std::int32_t best_epoch = 0;
  std::size_t most_points = kMostCurvePoints;  // evenly spaced, the best and the last among them
};

// The learning curve of one output column: per curve its training RMSE and, where it has them,
// its validation RMSE on a logarithmic axis; a rule at each best epoch (with a ring on the
// validation error there) and at the stop.
Chart LearningCurveChart(std::span<const CurveToDraw> curves, std::size_t column,
                         std::int32_t stop_epoch, const std::string& decimal_separator);

// The paragraph under the learning curves: where and why training stopped, the best epoch (by
// decided_by) and the epoch kept; after a failure, which epochs charts_show ("the chart shows").
std::string StopParagraph(const job::JobSettings& job, std::int32_t last_drawn_epoch,
                          std::string_view charts_show, std::string_view decided_by);

std::string LearningCurveSection(const job::JobSettings& job);
std::string FitSection(const job::JobSettings& job);
std::string ResidualSection(const job::JobSettings& job);

}  // namespace tarvex::report
