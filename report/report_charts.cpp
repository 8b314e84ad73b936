#include "report/report_charts.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "report/html_text.h"
#include "report/page_parts.h"
#include "results/validation_entry.h"

namespace tarvex::report {

using job::CurvePoint;
using job::DataMatrix;
using job::Index;
using job::JobSettings;

namespace {

std::string Output(std::size_t column) { return "output " + std::to_string(column + 1); }

struct Range {
  double low = std::numeric_limits<double>::infinity();
  double high = -std::numeric_limits<double>::infinity();
  void Add(double value) {
    if (!std::isfinite(value)) return;
    low = std::min(low, value);
    high = std::max(high, value);
  }
  bool Empty() const { return low > high; }
};

// What a data set of the fit chart draws: its sampled rows' actual and predicted values.
struct FitRows {
  std::string name;
  Style style;
  const DataMatrix* actual = nullptr;
  const DataMatrix* predicted = nullptr;
  std::vector<Index> positions;
};

std::string SampleNote(const FitRows& rows) {
  const Index total = rows.predicted->RowCount();
  const Index drawn = static_cast<Index>(rows.positions.size());
  if (drawn == total) return {};
  return "A sample: the chart shows " + std::to_string(drawn) + " of the " + std::to_string(total) +
         " " + rows.name + " rows, evenly spaced through them; the figures below are of all rows.";
}

}  // namespace

std::vector<std::size_t> DrawnPoints(std::span<const CurvePoint> points, std::int32_t best,
                                     std::size_t most) {
  const std::size_t stride = (points.size() + most - 1) / most;
  std::vector<std::size_t> drawn;
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (i % std::max<std::size_t>(stride, 1) == 0 || i + 1 == points.size() ||
        points[i].epoch == best) {
      drawn.push_back(i);
    }
  }
  return drawn;
}

std::vector<Index> SamplePositions(Index rows, Index most) {
  const Index count = std::min(rows, most);
  std::vector<Index> positions(static_cast<std::size_t>(std::max<Index>(count, 0)));
  // i x rows / count without overflow: the whole and the remaining part apart.
  for (Index i = 0; i < count; ++i) {
    positions[static_cast<std::size_t>(i)] = i * (rows / count) + i * (rows % count) / count;
  }
  return positions;
}

Chart LearningCurveChart(std::span<const CurveToDraw> curves, std::size_t column,
                         std::int32_t stop_epoch, const std::string& decimal_separator) {
  Chart chart;
  chart.id = "curve-" + std::to_string(column + 1);
  chart.description =
      "Learning curve of " + Output(column) + ": RMSE per epoch on a logarithmic scale";
  chart.x_label = "epoch";
  chart.y_label = "RMSE, units of " + Output(column) + " (log scale)";
  chart.decimal_separator = decimal_separator;
  Range epochs, errors;
  epochs.Add(0);
  std::size_t style = 0;
  for (const CurveToDraw& curve : curves) {
    const std::string prefix = curve.name.empty() ? "" : curve.name + " ";
    Series training{prefix + "training", SeriesStyle(style++), true, {}, {}};
    Series validation{prefix + "validation", SeriesStyle(style++), true, {}, {}};
    for (std::size_t i : DrawnPoints(curve.points, curve.best_epoch, curve.most_points)) {
      const CurvePoint& point = curve.points[i];
      epochs.Add(point.epoch);
      if (column < point.training_rmse.size()) {
        training.x.push_back(point.epoch);
        training.y.push_back(point.training_rmse[column]);
      }
      if (column < point.validation_rmse.size()) {
        validation.x.push_back(point.epoch);
        validation.y.push_back(point.validation_rmse[column]);
      }
      if (point.epoch == curve.best_epoch && column < point.validation_rmse.size()) {
        chart.rings.push_back(
            {RingKind::kBest, static_cast<double>(point.epoch), point.validation_rmse[column]});
      }
    }
    for (Series* series : {&training, &validation}) {
      for (double value : series->y) {
        if (value > 0) errors.Add(value);
      }
      if (!series->x.empty()) chart.series.push_back(std::move(*series));
    }
    if (curve.best_epoch > 0) {
      chart.rules.push_back({RuleKind::kBest, static_cast<double>(curve.best_epoch),
                             prefix + "best epoch " + std::to_string(curve.best_epoch), "2 3"});
    }
  }
  if (stop_epoch > 0) {
    chart.rules.push_back({RuleKind::kStop, static_cast<double>(stop_epoch),
                           "stopped at " + std::to_string(stop_epoch), "7 3"});
  }
  chart.x = Axis::Linear(epochs.low, epochs.high);
  // Errors of exactly 0 have no place on the scale; they lie on its floor.
  chart.y = errors.Empty() ? Axis::Logarithmic(1, 1) : Axis::Logarithmic(errors.low, errors.high);
  return chart;
}

namespace {

// Cross-validation: each fold's curves in charts of their own (small multiples), since a dozen
// curves in one chart could no longer be told apart.
std::string FoldCurves(const JobSettings& job, std::size_t columns) {
  const std::vector<job::FoldResult>& folds = job.Results.folds;
  if (folds.empty()) return "";
  std::string body = Paragraph(
      "The folds of the cross-validation: each network trained on the other folds' rows and "
      "validated on its own fold's" +
      std::string(job.Patience > 0 ? ", where its own early stop ended it." : "."));
  body += "<div class=\"charts\">";
  for (std::size_t f = 0; f < folds.size(); ++f) {
    const job::FoldResult& fold = folds[f];
    if (fold.curve.empty()) continue;
    const std::string name = "fold " + std::to_string(f + 1);
    // The folds' charts together draw as many points as one chart does.
    const CurveToDraw curves[] = {{name, fold.curve, fold.best_epoch,
                                   std::max<std::size_t>(kMostCurvePoints / folds.size(), 2)}};
    for (std::size_t column = 0; column < columns; ++column) {
      Chart chart = LearningCurveChart(curves, column, fold.last_epoch, job.DecimalSeparator);
      chart.id = "fold-" + std::to_string(f + 1) + "-curve-" + std::to_string(column + 1);
      chart.description = "Learning curve of " + name + ", " + Output(column) +
                          ": RMSE per epoch on a logarithmic scale";
      body += Figure(chart, "Learning curve of " + name + ", " + Output(column));
    }
  }
  return body + "</div>";
}

}  // namespace

std::string StopParagraph(const job::JobSettings& job, std::int32_t last_drawn_epoch,
                          std::string_view charts_show, std::string_view decided_by) {
  std::string stop;
  if (job.Results.stop == job::StopReason::kNotTrained) {
    stop = "Training failed after epoch " + std::to_string(last_drawn_epoch) + "; " +
           std::string(charts_show) + " the epochs before.";
  } else {
    stop = "Stopped at epoch " + std::to_string(job.LastEpoch) + " by " + results::StopText(job) +
           ".";
    if (job.Results.best_epoch > 0) {
      stop += " Best epoch " + std::to_string(job.Results.best_epoch) + " (the ring): the smallest " +
              std::string(decided_by) + ".";
    }
    stop += " The network of epoch " + std::to_string(job::KeptEpoch(job)) + " was kept.";
  }
  return Paragraph(stop, "stop");
}

std::string LearningCurveSection(const JobSettings& job) {
  std::string body;
  const std::vector<CurvePoint>& curve = job.Results.curve;
  if (!job::TrainsNetwork(job)) {
    body = Paragraph("This run predicted with the network saved in " + job.nif +
                     " and trained nothing, so it has no learning curve.");
  } else if (curve.empty()) {
    body = Paragraph(job.Results.network.inputs > 0
                         ? "Training failed in its first epoch, so it has no learning curve."
                         : "The run ended before training, so it has no learning curve.");
  } else {
    const bool validates = !curve.front().validation_rmse.empty();
    body = Paragraph(
        std::string("The error after each epoch, as the root mean square error (RMSE) in the units "
                    "of the output column, on a logarithmic scale: of the training rows, each as "
                    "it was trained") +
        (validates ? ", and of the validation rows. A validation error that rises while the "
                     "training error falls means that the network learns the noise of its rows."
                   : "."));
    body += StopParagraph(job, curve.back().epoch, "the chart shows", "validation error");
    const CurveToDraw curves[] = {{"", curve, job.Results.best_epoch}};
    body += "<div class=\"charts\">";
    const std::size_t columns = curve.front().training_rmse.size();
    for (std::size_t column = 0; column < columns; ++column) {
      body += Figure(LearningCurveChart(curves, column, job.LastEpoch, job.DecimalSeparator),
                     "Learning curve, " + Output(column));
    }
    body += "</div>";
    body += FoldCurves(job, columns);
    const std::size_t drawn = DrawnPoints(curve, job.Results.best_epoch).size();
    if (drawn < curve.size()) {
      body += Paragraph("The charts draw " + std::to_string(drawn) + " of the " +
                            std::to_string(curve.size()) +
                            " epochs of the curve, evenly spaced (the best and the last among "
                            "them); the learning curve file (/lcf) has them all.",
                        "note");
    }
  }
  return Section("learning-curve", "Learning curve", body);
}

std::string FitSection(const JobSettings& job) {
  std::vector<FitRows> sets;
  const job::TrainingResults& results = job.Results;
  if (results.training_predictions.HasDimensions()) {
    sets.push_back(
        {"training", SeriesStyle(0), &job.TrainingOutputValues, &results.training_predictions, {}});
  }
  if (results.validation_predictions.HasDimensions()) {
    sets.push_back({"validation",
                    SeriesStyle(1),
                    &job.ValidationOutputValues,
                    &results.validation_predictions,
                    {}});
  }
  std::string body;
  if (sets.empty()) {
    body = Paragraph(job::TrainsNetwork(job) || job::HasValidationData(job)
                         ? "The run ended before the network's predictions for its rows were "
                           "computed."
                         : "This run had no rows with known outputs to compare with: give it "
                           "validation data (/vif and /vof) to see how the saved network fits.");
    return Section("fit", "Predicted against actual", body);
  }
  body = Paragraph(
      "Each point is one row: its actual value across, the network's prediction up. Points on "
      "the dotted line are predicted exactly; the farther from it, the larger the error." +
      std::string(sets.size() == 2 ? " Training rows are blue dots, validation rows vermillion "
                                     "crosses."
                                   : ""));
  for (FitRows& set : sets) {
    set.positions = SamplePositions(set.predicted->RowCount(), kMostSampleRows);
    const std::string note = SampleNote(set);
    if (!note.empty()) body += Paragraph(note, "note sample");
  }
  body += "<div class=\"charts\">";
  const Index columns = sets.front().predicted->ColumnCount();
  for (Index column = 0; column < columns; ++column) {
    const std::size_t c = static_cast<std::size_t>(column);
    Chart chart;
    chart.id = "fit-" + std::to_string(column + 1);
    chart.description = "Predicted against actual values of " + Output(c);
    chart.x_label = "actual value, " + Output(c);
    chart.y_label = "predicted value, " + Output(c);
    chart.square = true;
    chart.decimal_separator = job.DecimalSeparator;
    Range values;
    for (const FitRows& set : sets) {
      Series series{set.name + " rows", set.style, false, {}, {}};
      const Index actual_column = set.actual->ColumnLow() + column;
      for (Index position : set.positions) {
        const double actual = set.actual->At(set.actual->RowLow() + position, actual_column);
        const double predicted = set.predicted->At(position, column);
        series.x.push_back(actual);
        series.y.push_back(predicted);
        values.Add(actual);
        values.Add(predicted);
      }
      chart.series.push_back(std::move(series));
    }
    chart.x = chart.y = Axis::Linear(values.low, values.high);
    chart.series.push_back({"perfect prediction",
                            kReferenceStyle,
                            true,
                            {chart.x.Low(), chart.x.High()},
                            {chart.x.Low(), chart.x.High()}});
    body += Figure(chart, "Predicted against actual, " + Output(c));
  }
  body += "</div>";
  return Section("fit", "Predicted against actual", body);
}

std::string ResidualSection(const JobSettings& job) {
  const DataMatrix& predicted = job.Results.validation_predictions;
  if (!predicted.HasDimensions()) {
    return Section("residuals", "Residuals of the validation rows",
                   Paragraph(job::HasValidationData(job)
                                 ? "The run ended before the network's predictions for the "
                                   "validation rows were computed."
                                 : "The run had no validation rows (give it /vif and /vof, or "
                                   "/vf), so it has no residuals to show."));
  }
  const DataMatrix& actual = job.ValidationOutputValues;
  std::string charts = "<div class=\"charts\">";
  for (Index column = 0; column < predicted.ColumnCount(); ++column) {
    const std::size_t c = static_cast<std::size_t>(column);
    std::vector<double> residuals(static_cast<std::size_t>(predicted.RowCount()));
    Range range;
    range.Add(0);  // zero stays in sight, so that a bias shows
    for (Index row = 0; row < predicted.RowCount(); ++row) {
      const double residual =
          predicted.At(row, column) - actual.At(actual.RowLow() + row, actual.ColumnLow() + column);
      residuals[static_cast<std::size_t>(row)] = residual;
      range.Add(residual);
    }
    // Bins of a round width, at whole multiples of it: about twice the cube root of the rows
    // across the residuals (the Rice rule), from 5 to 40 of them.
    const double spread = range.high - range.low;
    const double bins_wanted =
        std::clamp(2 * std::cbrt(static_cast<double>(predicted.RowCount())), 5.0, 40.0);
    const double width = spread > 0 ? NearestRoundStep(spread, bins_wanted) : 1;
    const double first = std::floor(range.low / width);
    const auto bins =
        static_cast<std::size_t>(std::max(1.0, std::floor(range.high / width) - first + 1));
    Bars bars{"validation rows", SeriesStyle(1), {}, std::vector<std::int64_t>(bins), "rows"};
    for (std::size_t bin = 0; bin <= bins; ++bin) {
      bars.edges.push_back((first + static_cast<double>(bin)) * width);
    }
    for (double residual : residuals) {
      if (!std::isfinite(residual)) continue;
      const double place = std::floor(residual / width) - first;
      ++bars.counts[static_cast<std::size_t>(
          std::clamp(place, 0.0, static_cast<double>(bins - 1)))];
    }
    Chart chart;
    chart.id = "residuals-" + std::to_string(column + 1);
    chart.description = "Histogram of the validation residuals of " + Output(c);
    chart.x_label = "prediction minus actual, " + Output(c);
    chart.y_label = "rows";
    chart.decimal_separator = job.DecimalSeparator;
    chart.x = Axis::Linear(bars.edges.front(), bars.edges.back());
    chart.y = Axis::Linear(
        0, static_cast<double>(*std::max_element(bars.counts.begin(), bars.counts.end())), true);
    chart.rules.push_back({RuleKind::kZero, 0, "", "2 3"});
    chart.bars = std::move(bars);
    charts += Figure(
        chart, "Residuals, " + Output(c) + ": bins of " + ShortNumber(width, job.DecimalSeparator));
  }
  charts += "</div>";
  const std::string text =
      "Prediction minus actual value of each of the " + std::to_string(predicted.RowCount()) +
      " validation rows, counted in bins. A narrow peak at zero (the dotted line) is a close fit; "
      "a peak beside zero is a bias, a long tail a few rows that the network misses.";
  return Section("residuals", "Residuals of the validation rows", Paragraph(text) + charts);
}

}  // namespace tarvex::report
