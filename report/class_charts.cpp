#include "report/class_charts.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "report/html_text.h"
#include "report/page_parts.h"
#include "report/report_charts.h"
#include "results/validation_entry.h"

namespace tarvex::report {

using job::ClassificationFigures;
using job::CurvePoint;
using job::JobSettings;

namespace {

// The figures the ROC and reliability charts show: of the validation rows where there are some.
const ClassificationFigures* ChartedFigures(const JobSettings& job, std::string& rows) {
  if (job.Results.class_validation) {
    rows = "validation";
    return &*job.Results.class_validation;
  }
  rows = "training";
  return job.Results.class_training ? &*job.Results.class_training : nullptr;
}

// The classes a chart draws: for two classes the second one alone, whose probability the other
// mirrors; else the first kMostClassLines.
std::vector<std::size_t> ChartedClasses(std::size_t classes) {
  if (classes == 2) return {1};
  std::vector<std::size_t> drawn;
  for (std::size_t k = 0; k < classes && k < kMostClassLines; ++k) drawn.push_back(k);
  return drawn;
}

std::string ChartedNote(std::size_t classes, std::string_view what) {
  if (classes == 2) {
    return std::string(what) + " of the second class; the first class's mirrors it.";
  }
  if (classes <= kMostClassLines) return "";
  return "The chart draws the first " + std::to_string(kMostClassLines) + " of the " +
         std::to_string(classes) + " classes; the table of classes has every one's figures.";
}

// A figure of the curve: its name, and where a point keeps it for the training and the
// validation rows.
struct CurveFigure {
  const char* id;
  const char* name;
  double CurvePoint::*training;
  double CurvePoint::*validation;
  bool logarithmic;  // log loss spans decades; an error rate is a share from 0
};

constexpr CurveFigure kCurveFigures[] = {
    {"class-curve-log-loss", "log loss", &CurvePoint::training_log_loss,
     &CurvePoint::validation_log_loss, true},
    {"class-curve-error-rate", "error rate", &CurvePoint::training_error_rate,
     &CurvePoint::validation_error_rate, false},
};

Chart ClassCurveChart(const JobSettings& job, const CurveFigure& figure, bool validates) {
  const std::vector<CurvePoint>& curve = job.Results.curve;
  Chart chart;
  chart.id = figure.id;
  chart.description = std::string("Learning curve: ") + figure.name + " per epoch" +
                      (figure.logarithmic ? " on a logarithmic scale" : "");
  chart.x_label = "epoch";
  chart.y_label = std::string(figure.name) + (figure.logarithmic ? " (log scale)" : "");
  chart.decimal_separator = job.DecimalSeparator;
  Series training{"training", SeriesStyle(0), true, {}, {}};
  Series validation{"validation", SeriesStyle(1), true, {}, {}};
  double low = std::numeric_limits<double>::infinity(), high = 0;
  const std::int32_t best = job.Results.best_epoch;
  for (std::size_t i : DrawnPoints(curve, best)) {
    const CurvePoint& point = curve[i];
    training.x.push_back(point.epoch);
    training.y.push_back(point.*figure.training);
    if (validates) {
      validation.x.push_back(point.epoch);
      validation.y.push_back(point.*figure.validation);
      if (point.epoch == best) {
        chart.rings.push_back(
            {RingKind::kBest, static_cast<double>(point.epoch), point.*figure.validation});
      }
    }
  }
  for (Series* series : {&training, &validation}) {
    for (double value : series->y) {
      if (!std::isfinite(value) || (figure.logarithmic && value <= 0)) continue;
      low = std::min(low, value);
      high = std::max(high, value);
    }
    if (!series->x.empty()) chart.series.push_back(std::move(*series));
  }
  if (best > 0) {
    chart.rules.push_back(
        {RuleKind::kBest, static_cast<double>(best), "best epoch " + std::to_string(best), "2 3"});
  }
  if (job.LastEpoch > 0) {
    chart.rules.push_back({RuleKind::kStop, static_cast<double>(job.LastEpoch),
                           "stopped at " + std::to_string(job.LastEpoch), "7 3"});
  }
  chart.x = Axis::Linear(0, std::max<double>(curve.back().epoch, job.LastEpoch));
  if (figure.logarithmic) {
    chart.y = low > high ? Axis::Logarithmic(1, 1) : Axis::Logarithmic(low, high);
  } else {
    chart.y = Axis::Linear(0, std::min(1.0, std::max(high, 0.0)));
  }
  return chart;
}

// A square chart over [0, 1] on both axes with the line of reference from corner to corner.
Chart UnitChart(const JobSettings& job, std::string id, std::string description,
                std::string x_label, std::string y_label, std::string reference) {
  Chart chart;
  chart.id = std::move(id);
  chart.description = std::move(description);
  chart.x_label = std::move(x_label);
  chart.y_label = std::move(y_label);
  chart.square = true;
  chart.decimal_separator = job.DecimalSeparator;
  chart.x = chart.y = Axis::Linear(0, 1);
  chart.series.push_back({std::move(reference), kReferenceStyle, true, {0, 1}, {0, 1}});
  return chart;
}

}  // namespace

std::string ClassCurveSection(const JobSettings& job) {
  const std::vector<CurvePoint>& curve = job.Results.curve;
  std::string body;
  if (!job::TrainsNetwork(job)) {
    body = Paragraph("This run predicted with the network saved in " + job.nif +
                     " and trained nothing, so it has no learning curve.");
  } else if (curve.empty()) {
    body = Paragraph(job.Results.network.inputs > 0
                         ? "Training failed in its first epoch, so it has no learning curve."
                         : "The run ended before training, so it has no learning curve.");
  } else {
    const bool validates = job::HasValidationData(job);
    body = Paragraph(
        std::string("After each epoch: the log loss (the mean of minus the natural log of the "
                    "probability given to each row's actual class), on a logarithmic scale, and "
                    "the error rate (the share of rows whose most probable class is not their "
                    "actual one); of the training rows, each as it was trained") +
        (validates ? ", and of the validation rows. A validation log loss that rises while the "
                     "training log loss falls means that the network learns the noise of its rows."
                   : "."));
    body += StopParagraph(job, curve.back().epoch, "the charts show", "validation log loss");
    body += "<div class=\"charts\">";
    for (const CurveFigure& figure : kCurveFigures) {
      body += Figure(ClassCurveChart(job, figure, validates),
                     std::string("Learning curve, ") + figure.name);
    }
    body += "</div>";
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

std::string RocSection(const JobSettings& job) {
  std::string rows;
  const ClassificationFigures* figures = ChartedFigures(job, rows);
  if (figures == nullptr) {
    return Section("roc", "ROC curves",
                   Paragraph("The run ended before the classifier's figures were computed."));
  }
  Chart chart = UnitChart(job, "roc", "ROC curves of the " + rows + " rows", "false positive rate",
                          "true positive rate", "chance");
  std::size_t style = 0;
  for (std::size_t k : ChartedClasses(figures->classes.size())) {
    const job::ClassFigures& figure = figures->classes[k];
    if (!figure.auc) continue;
    Series series{job.Classes[k] + " (AUC " + ShortNumber(*figure.auc, job.DecimalSeparator) + ")",
                  SeriesStyle(style++),
                  true,
                  {},
                  {}};
    for (const job::RocPoint& point : figure.roc) {
      series.x.push_back(point.false_positive_rate);
      series.y.push_back(point.true_positive_rate);
    }
    chart.series.push_back(std::move(series));
  }
  std::string body = Paragraph(
      "Each class against all others, on the " + rows +
      " rows: as the threshold on the probability of the class falls, the share of its rows "
      "found (up) against the share of the other rows taken for it (across). A curve near the "
      "top left corner separates the class well; the dotted diagonal is guessing. Classes "
      "without rows of their own, or without other rows, have no curve.");
  const std::string note = ChartedNote(figures->classes.size(), "The curve is that");
  if (!note.empty()) body += Paragraph(note, "note");
  body += "<div class=\"charts\">" + Figure(chart, "ROC curves, " + rows + " rows") + "</div>";
  return Section("roc", "ROC curves", body);
}

std::string ReliabilitySection(const JobSettings& job) {
  std::string rows;
  const ClassificationFigures* figures = ChartedFigures(job, rows);
  if (figures == nullptr) {
    return Section("reliability", "Reliability of the probabilities",
                   Paragraph("The run ended before the classifier's figures were computed."));
  }
  Chart chart =
      UnitChart(job, "reliability", "Reliability diagram of the " + rows + " rows",
                "mean predicted probability", "observed frequency", "perfectly calibrated");
  std::size_t style = 0;
  for (std::size_t k : ChartedClasses(figures->classes.size())) {
    Series series{job.Classes[k], SeriesStyle(style++), true, {}, {}};
    for (const job::ReliabilityBin& bin : figures->classes[k].reliability) {
      series.x.push_back(bin.mean_probability);
      series.y.push_back(bin.observed_frequency);
    }
    // A line through one bin would not show; its marker does.
    series.joined = series.x.size() > 1;
    if (!series.x.empty()) chart.series.push_back(std::move(series));
  }
  std::string body = Paragraph(
      "The " + rows + " rows in " + std::to_string(job::kReliabilityBins) +
      " bins of equal width by the probability the network gives a class: per bin that holds "
      "rows, their mean probability of the class (across) against the share of them that are "
      "of the class (up). On the dotted diagonal the probabilities mean what they say; below "
      "it the network is too sure, above it not sure enough.");
  const std::string note = ChartedNote(figures->classes.size(), "The line is that");
  if (!note.empty()) body += Paragraph(note, "note");
  body +=
      "<div class=\"charts\">" + Figure(chart, "Reliability diagram, " + rows + " rows") + "</div>";
  return Section("reliability", "Reliability of the probabilities", body);
}

}  // namespace tarvex::report
