#include "report/svg_chart.h"

#include <algorithm>
#include <cmath>

#include "platform/markup_text.h"
#include "report/html_text.h"

namespace tarvex::report {

namespace {

// The view box is 600 units wide and is drawn as wide as the page's text column, from a phone's
// to a desktop's. The text's size in these units steps down as the chart is drawn wider (the
// page's style, ChartTextStyle), so that it reads at 11 to 16 pixels at every width; the layout
// leaves room for the largest step.
constexpr double kWidth = 600;
struct TextStep {
  int from_pixels;  // the chart's width on the page from which the step holds
  double size;      // in view-box units
};
constexpr TextStep kTextSteps[] = {{0, 19}, {460, 15}, {600, 12.5}, {760, 11}};
constexpr double kText = kTextSteps[0].size;
constexpr double kCharacterWidth = 0.6 * kText;  // of the sans-serif text, about
constexpr double kLineHeight = 1.3 * kText;
constexpr double kTickLength = 6;
constexpr double kGap = 6;            // between a label and what it labels
constexpr double kPlotAspect = 0.55;  // height over width, but for square charts
// A square plot (two axes in the same units) as wide as a desktop's column would fill a screen.
constexpr double kMostSquareSide = 380;

constexpr Style kPalette[] = {
    {"#0072B2", "", Marker::kDot},              // blue
    {"#D55E00", "6 3", Marker::kCross},         // vermillion
    {"#009E73", "2 2", Marker::kSquare},        // bluish green
    {"#CC79A7", "8 3 2 3", Marker::kTriangle},  // reddish purple
    {"#E69F00", "10 4", Marker::kDot},          // orange
    {"#56B4E9", "4 2 1 2", Marker::kCross},     // sky blue
};

std::string_view RuleName(RuleKind kind) {
  switch (kind) {
    case RuleKind::kBest:
      return "best";
    case RuleKind::kStop:
      return "stop";
    case RuleKind::kZero:
      return "zero";
  }
  return "";
}

std::string_view RingName(RingKind kind) {
  switch (kind) {
    case RingKind::kBest:
      return "best";
  }
  return "";
}

double TextWidth(std::string_view text) {
  return kCharacterWidth * static_cast<double>(text.size());
}

// A legend entry where it is drawn: its text's baseline starts at x + 30. Smaller text moves it
// left by what the entries before it in its row have fewer units (the page's style).
struct LegendEntry {
  const Style* style;
  bool line;  // a line sample, else a marker (or a bar when the marker is none)
  bool bar;
  std::string_view name;
  double x = 0, y = 0;
  std::size_t characters_before = 0;  // of the names before it in its row
};

// The legend's entries in rows above the plot, each row as full as the width allows.
std::vector<LegendEntry> PlaceLegend(const Chart& chart, double left, double right) {
  std::vector<LegendEntry> entries;
  for (const Series& series : chart.series) {
    if (!series.name.empty()) entries.push_back({&series.style, series.joined, false, series.name});
  }
  if (chart.bars) entries.push_back({&chart.bars->style, false, true, chart.bars->name});
  double x = left;
  int row = 0;
  std::size_t characters = 0;
  for (LegendEntry& entry : entries) {
    const double width = 30 + TextWidth(entry.name);
    if (x > left && x + width > right) {
      x = left;
      ++row;
      characters = 0;
    }
    entry.x = x;
    entry.y = kText + kLineHeight * row;
    entry.characters_before = characters;
    x += width + kText;
    characters += entry.name.size();
  }
  return entries;
}

// Where everything goes, worked out before anything is drawn: the margins fit the tick labels,
// the axes' titles and the legend at the text's largest size.
struct Layout {
  std::vector<std::string> x_labels, y_labels;
  std::vector<LegendEntry> legend;
  double left = 0, right = 0, top = 0, bottom = 0, height = 0;
  double label_column = 0;  // where the y tick labels begin, and the y axis's title

  double X(const Axis& axis, double value) const {
    return left + axis.Fraction(value) * (right - left);
  }
  double Y(const Axis& axis, double value) const {
    return bottom - axis.Fraction(value) * (bottom - top);
  }
};

// From the top: the legend's rows, the y axis's title as a line of its own (turned along the axis
// it would not fit beside a phone's plot), the plot, the x tick labels and the x axis's title. The
// left margin holds the y tick labels; the first x label is centred on the plot's left edge and
// the last on its right one.
Layout ChartLayout(const Chart& chart) {
  Layout layout;
  layout.x_labels = RunLabels(chart.x.Ticks(), chart.decimal_separator);
  layout.y_labels = RunLabels(chart.y.Ticks(), chart.decimal_separator);
  double widest_y = 0;
  for (const std::string& label : layout.y_labels) widest_y = std::max(widest_y, TextWidth(label));
  const double first_x = layout.x_labels.empty() ? 0 : TextWidth(layout.x_labels.front()) / 2;
  const double last_x = layout.x_labels.empty() ? 0 : TextWidth(layout.x_labels.back()) / 2;
  layout.left = std::max(widest_y + kGap + kTickLength, first_x) + kGap;
  layout.right = kWidth - std::max(last_x + kGap, kText);
  const double width = layout.right - layout.left;
  const double height = chart.square ? std::min(width, kMostSquareSide) : width * kPlotAspect;
  if (chart.square && height < width) {
    layout.left += (width - height) / 2;  // the square in the middle
    layout.right = layout.left + height;
  }
  layout.label_column = layout.left - kTickLength - kGap - widest_y;
  layout.legend = PlaceLegend(chart, layout.left, kWidth - kText);
  const double legend_height =
      layout.legend.empty() ? 0 : layout.legend.back().y - kText + kLineHeight;
  layout.top = legend_height + kLineHeight + kGap;
  layout.bottom = layout.top + height;
  layout.height = layout.bottom + kTickLength + kGap + 2 * kLineHeight;
  return layout;
}

void Attribute(std::string& out, std::string_view name, double value) {
  out += ' ';
  out += name;
  out += "=\"";
  AppendCoordinate(out, value);
  out += '"';
}

void Attribute(std::string& out, std::string_view name, std::string_view value) {
  out += ' ';
  out += name;
  out += "=\"";
  out += platform::MarkupEscaped(value);
  out += '"';
}

void Stroke(std::string& out, const Style& style, double width) {
  Attribute(out, "stroke", style.colour);
  Attribute(out, "stroke-width", width);
  if (!style.dash.empty()) Attribute(out, "stroke-dasharray", style.dash);
}

// One marker at x, y as path data that starts at its centre.
void AppendMarker(std::string& d, Marker marker, double x, double y) {
  d += 'M';
  AppendCoordinate(d, x);
  d += ' ';
  AppendCoordinate(d, y);
  switch (marker) {
    case Marker::kDot:
    case Marker::kNone:
      d += "h0";  // a round cap makes it a dot
      break;
    case Marker::kCross:
      d += "m-3-3l6 6m0-6l-6 6";
      break;
    case Marker::kSquare:
      d += "m-3-3h6v6h-6z";
      break;
    case Marker::kTriangle:
      d += "m0-3.8l3.4 6h-6.8z";
      break;
  }
}

void AppendMarkerPath(std::string& out, const Style& style, std::string_view d,
                      std::string_view kind, std::string_view name) {
  out += "<path";
  if (!kind.empty()) {
    Attribute(out, "class", kind);
    Attribute(out, "data-series", name);
  }
  Attribute(out, "d", d);
  out += " fill=\"none\" stroke-linecap=\"round\" stroke-linejoin=\"round\"";
  Stroke(out, {style.colour, "", style.marker}, style.marker == Marker::kDot ? 5.5 : 1.6);
  out += "/>";
}

void AppendLine(std::string& out, double x1, double y1, double x2, double y2) {
  out += "<line";
  Attribute(out, "x1", x1);
  Attribute(out, "y1", y1);
  Attribute(out, "x2", x2);
  Attribute(out, "y2", y2);
}

void AppendText(std::string& out, double x, double y, std::string_view anchor,
                std::string_view text, std::string_view extra = {}) {
  out += "<text";
  Attribute(out, "x", x);
  Attribute(out, "y", y);
  if (anchor != "start") Attribute(out, "text-anchor", anchor);
  out += extra;
  out += '>';
  out += platform::MarkupEscaped(text);
  out += "</text>";
}

// Inline in HTML: no namespace attribute is needed.
void AppendOpening(std::string& out, const Chart& chart, const Layout& layout) {
  out += "<svg class=\"chart\"";
  Attribute(out, "data-chart", chart.id);
  out += " viewBox=\"0 0 ";
  AppendCoordinate(out, kWidth);
  out += ' ';
  AppendCoordinate(out, layout.height);
  out += "\" role=\"img\"";
  Attribute(out, "aria-label", chart.description);
  out += "><title>" + platform::MarkupEscaped(chart.description) + "</title>";
}

void AppendLegend(std::string& out, const Layout& layout) {
  if (layout.legend.empty()) return;
  out += "<g class=\"legend\">";
  for (const LegendEntry& entry : layout.legend) {
    out += "<g";
    if (entry.characters_before > 0) {
      out += " style=\"--before:" + std::to_string(entry.characters_before) + "\"";
    }
    out += '>';
    const double middle = entry.y - 0.3 * kText;  // of the text's lower-case letters
    if (entry.line) {
      AppendLine(out, entry.x, middle, entry.x + 24, middle);
      Stroke(out, *entry.style, 2.0);
      out += "/>";
    } else if (entry.bar) {
      out += "<rect";
      Attribute(out, "x", entry.x + 5);
      Attribute(out, "y", middle - 7);
      Attribute(out, "width", 14.0);
      Attribute(out, "height", 12.0);
      Attribute(out, "fill", entry.style->colour);
      out += "/>";
    } else {
      std::string d;
      AppendMarker(d, entry.style->marker, entry.x + 12, middle);
      AppendMarkerPath(out, *entry.style, d, "", "");
    }
    AppendText(out, entry.x + 30, entry.y, "start", entry.name);
    out += "</g>";
  }
  out += "</g>";
}

void AppendGrid(std::string& out, const Chart& chart, const Layout& layout) {
  out += "<g class=\"grid\">";
  for (double tick : chart.x.Ticks()) {
    const double x = layout.X(chart.x, tick);
    AppendLine(out, x, layout.top, x, layout.bottom);
    out += "/>";
  }
  for (double tick : chart.y.Ticks()) {
    const double y = layout.Y(chart.y, tick);
    AppendLine(out, layout.left, y, layout.right, y);
    out += "/>";
  }
  out += "</g>";
}

// Each tick is a mark outside the plot and its label, as a reader uses them; then the axes'
// titles.
void AppendAxes(std::string& out, const Chart& chart, const Layout& layout) {
  const std::vector<double>& x_ticks = chart.x.Ticks();
  for (std::size_t i = 0; i < x_ticks.size(); ++i) {
    const double x = layout.X(chart.x, x_ticks[i]);
    out += "<g class=\"tick\" data-axis=\"x\">";
    AppendLine(out, x, layout.bottom, x, layout.bottom + kTickLength);
    out += "/>";
    AppendText(out, x, layout.bottom + kTickLength + kGap + 0.75 * kText, "middle",
               layout.x_labels[i]);
    out += "</g>";
  }
  const std::vector<double>& y_ticks = chart.y.Ticks();
  for (std::size_t i = 0; i < y_ticks.size(); ++i) {
    const double y = layout.Y(chart.y, y_ticks[i]);
    out += "<g class=\"tick\" data-axis=\"y\">";
    AppendLine(out, layout.left - kTickLength, y, layout.left, y);
    out += "/>";
    AppendText(out, layout.left - kTickLength - kGap, y + 0.35 * kText, "end", layout.y_labels[i]);
    out += "</g>";
  }
  AppendText(out, (layout.left + layout.right) / 2,
             layout.bottom + kTickLength + kGap + 0.75 * kText + kLineHeight, "middle",
             chart.x_label, " class=\"axis-label\"");
  AppendText(out, layout.label_column, layout.top - kGap - 0.3 * kText, "start", chart.y_label,
             " class=\"axis-label\"");
}

void AppendBars(std::string& out, const Chart& chart, const Layout& layout) {
  if (!chart.bars) return;
  const Bars& bars = *chart.bars;
  const std::vector<std::string> edges = RunLabels(bars.edges, chart.decimal_separator);
  out += "<g class=\"bars\"";
  Attribute(out, "data-bars", bars.name);
  Attribute(out, "fill", bars.style.colour);
  out += '>';
  for (std::size_t bar = 0; bar < bars.counts.size(); ++bar) {
    // Rounded as written, so that each bar ends where the next begins.
    const double left = std::round(layout.X(chart.x, bars.edges[bar]) * 10) / 10;
    const double right = std::round(layout.X(chart.x, bars.edges[bar + 1]) * 10) / 10;
    const double top = layout.Y(chart.y, static_cast<double>(bars.counts[bar]));
    out += "<rect";
    Attribute(out, "x", left);
    Attribute(out, "y", top);
    Attribute(out, "width", right - left);
    Attribute(out, "height", layout.bottom - top);
    out += "><title>";
    out += platform::MarkupEscaped("from " + edges[bar] + " to " + edges[bar + 1] + ": " +
                                   std::to_string(bars.counts[bar]) + " " + bars.unit);
    out += "</title></rect>";
  }
  out += "</g>";
}

// A line through the points, or the points as markers; points off the scale are left out.
void AppendSeries(std::string& out, const Chart& chart, const Layout& layout,
                  const Series& series) {
  std::string points;
  const std::size_t count = std::min(series.x.size(), series.y.size());
  for (std::size_t i = 0; i < count; ++i) {
    if (!std::isfinite(series.x[i]) || !std::isfinite(series.y[i])) continue;
    const double x = layout.X(chart.x, series.x[i]), y = layout.Y(chart.y, series.y[i]);
    if (series.joined) {
      if (!points.empty()) points += ' ';
      AppendCoordinate(points, x);
      points += ',';
      AppendCoordinate(points, y);
    } else {
      AppendMarker(points, series.style.marker, x, y);
    }
  }
  if (!series.joined) {
    AppendMarkerPath(out, series.style, points, "series", series.name);
    return;
  }
  out += "<polyline class=\"series\"";
  Attribute(out, "data-series", series.name);
  Attribute(out, "points", points);
  out += " fill=\"none\" stroke-linejoin=\"round\"";
  Stroke(out, series.style, 2.0);
  out += "/>";
}

void AppendRules(std::string& out, const Chart& chart, const Layout& layout) {
  for (std::size_t index = 0; index < chart.rules.size(); ++index) {
    const Rule& rule = chart.rules[index];
    const double x = layout.X(chart.x, rule.x);
    AppendLine(out, x, layout.top, x, layout.bottom);
    out += " class=\"rule\"";
    Attribute(out, "data-rule", RuleName(rule.kind));
    Stroke(out, {"#000000", rule.dash, Marker::kNone}, 1.4);
    out += "/>";
    // Labels on rows of their own below the plot's top, on the side with room for them.
    if (rule.label.empty()) continue;
    const bool right_half = x > (layout.left + layout.right) / 2;
    AppendText(out, right_half ? x - kGap : x + kGap,
               layout.top + kText + kLineHeight * static_cast<double>(index),
               right_half ? "end" : "start", rule.label, " class=\"rule-label\"");
  }
}

void AppendRings(std::string& out, const Chart& chart, const Layout& layout) {
  for (const Ring& ring : chart.rings) {
    out += "<circle class=\"ring\"";
    Attribute(out, "data-ring", RingName(ring.kind));
    Attribute(out, "cx", layout.X(chart.x, ring.x));
    Attribute(out, "cy", layout.Y(chart.y, ring.y));
    out += " r=\"6\" fill=\"none\" stroke=\"#000000\" stroke-width=\"1.8\"/>";
  }
}

void AppendFrame(std::string& out, const Layout& layout) {
  out += "<rect class=\"frame\"";
  Attribute(out, "x", layout.left);
  Attribute(out, "y", layout.top);
  Attribute(out, "width", layout.right - layout.left);
  Attribute(out, "height", layout.bottom - layout.top);
  out += " fill=\"none\"/>";
}

}  // namespace

Style SeriesStyle(std::size_t index) { return kPalette[index % std::size(kPalette)]; }

std::string ChartSvg(const Chart& chart) {
  const Layout layout = ChartLayout(chart);
  std::string out;
  AppendOpening(out, chart, layout);
  AppendLegend(out, layout);
  AppendGrid(out, chart, layout);
  AppendAxes(out, chart, layout);
  AppendBars(out, chart, layout);
  for (const Series& series : chart.series) AppendSeries(out, chart, layout, series);
  AppendRules(out, chart, layout);
  AppendRings(out, chart, layout);
  AppendFrame(out, layout);
  out += "</svg>";
  return out;
}

std::string ChartTextStyle() {
  std::string style;
  for (const TextStep& step : kTextSteps) {
    std::string rules = "svg.chart text{font-size:";
    AppendCoordinate(rules, step.size);
    rules += "px}";
    if (step.size < kText) {
      rules += "svg.chart .legend g{transform:translateX(calc(var(--before,0) * ";
      AppendCoordinate(rules, -(kText - step.size) * kCharacterWidth / kText);
      rules += "px))}";
    }
    style += step.from_pixels == 0 ? rules
                                   : "@container (min-width:" + std::to_string(step.from_pixels) +
                                         "px){" + rules + "}";
  }
  return style;
}

}  // namespace tarvex::report
