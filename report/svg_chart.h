// One chart of the report as inline SVG: a plot area with its two axes, lines or marker points,
// bars, vertical rules that mark an x value, and a legend. Every series is told apart by colour
// and by its dash or marker shape, so that the chart reads in black and white too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "report/axis.h"

namespace tarvex::report {

enum class Marker { kNone, kDot, kCross, kSquare, kTriangle };

struct Style {
  std::string_view colour;  // a CSS colour
  std::string_view dash;    // an SVG stroke-dasharray; empty: solid
  Marker marker = Marker::kNone;
};

// The series' styles in order: the Okabe-Ito colours, which the common colour-vision deficiencies
// tell apart, each with a dash and a marker of its own.
Style SeriesStyle(std::size_t index);
// The line of reference (perfect prediction, zero residual): grey and dotted.
inline constexpr Style kReferenceStyle{"#6b6b6b", "2 3", Marker::kNone};

struct Series {
  std::string name;  // in the legend and as the path's data-series
  Style style;
  bool joined = true;  // a line through the points; else the points as markers
  std::vector<double> x, y;
};

// Bars over the x axis from edges[i] to edges[i + 1], counts[i] high.
struct Bars {
  std::string name;
  Style style;
  std::vector<double> edges;
  std::vector<std::int64_t> counts;
  std::string unit;  // what a bar counts, in its tooltip: "rows"
};

// What a rule or a ring marks; the page names it (data-rule, data-ring: "best", "stop", "zero")
// for its reader and its tests.
enum class RuleKind { kBest, kStop, kZero };
enum class RingKind { kBest };

// A vertical line at x across the plot, labelled at its top.
struct Rule {
  RuleKind kind = RuleKind::kBest;
  double x = 0;
  std::string label;
  std::string_view dash;
};

// A point drawn as a ring over the series, such as the best epoch's validation error.
struct Ring {
  RingKind kind = RingKind::kBest;
  double x = 0, y = 0;
};

struct Chart {
  std::string id;           // the svg's data-chart, unique in the page
  std::string description;  // what the chart shows, for readers that cannot see it
  std::string x_label, y_label;
  Axis x, y;
  std::vector<Series> series;
  std::optional<Bars> bars;
  std::vector<Rule> rules;
  std::vector<Ring> rings;
  bool square = false;  // a plot area as high as wide, for two axes in the same units
  std::string decimal_separator = ".";  // of the tick labels, as the log writes numbers
};

std::string ChartSvg(const Chart& chart);

// The page's style rules for the charts' text: its size in the charts' own units steps down as a
// chart is drawn wider, so that it reads at about the same size on a phone and across a page.
// ChartSvg leaves room for the largest step.
std::string ChartTextStyle();

}  // namespace tarvex::report
