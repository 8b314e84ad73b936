#include "report/svg_chart.h"

#include <algorithm>
#include <cmath>

#include "platform/number_text.h"
#include "report/html_text.h"

namespace tarvex::report {

namespace {

// The view box: 400 units wide, so that the 13-unit text stays legible on a phone's screen.
constexpr double kWidth = 400;
constexpr double kLeft = 58, kRight = 22, kBottom = 46;  // room for the end ticks' labels
constexpr double kPlotWidth = kWidth - kLeft - kRight;
constexpr double kPlotHeight = 220;
constexpr double kLegendRow = 17;
constexpr double kCharacterWidth = 7.2;  // of the 13-unit sans-serif text, about

constexpr Style kPalette[] = {
    {"#0072B2", "", Marker::kDot},              // blue
    {"#D55E00", "6 3", Marker::kCross},         // vermillion
    {"#009E73", "2 2", Marker::kSquare},        // bluish green
    {"#CC79A7", "8 3 2 3", Marker::kTriangle},  // reddish purple
    {"#E69F00", "10 4", Marker::kDot},          // orange
    {"#56B4E9", "4 2 1 2", Marker::kCross},     // sky blue
};

struct Frame {
  double top = 0, height = 0;
  double X(const Axis& axis, double value) const {
    return kLeft + axis.Fraction(value) * kPlotWidth;
  }
  double Y(const Axis& axis, double value) const {
    return top + (1 - axis.Fraction(value)) * height;
  }
};

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
  out += Escaped(value);
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
      d += "m-2.5-2.5l5 5m0-5l-5 5";
      break;
    case Marker::kSquare:
      d += "m-2.5-2.5h5v5h-5z";
      break;
    case Marker::kTriangle:
      d += "m0-3.2l2.8 5h-5.6z";
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
  Stroke(out, {style.colour, "", style.marker}, style.marker == Marker::kDot ? 4.5 : 1.4);
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
  out += Escaped(text);
  out += "</text>";
}

struct LegendEntry {
  const Style* style;
  bool line;  // a line sample, else a marker (or a bar when the marker is none)
  std::string_view name;
};

double TextWidth(std::string_view text) {
  return kCharacterWidth * static_cast<double>(text.size());
}

std::vector<LegendEntry> LegendEntries(const Chart& chart) {
  std::vector<LegendEntry> entries;
  for (const Series& series : chart.series) {
    if (!series.name.empty()) entries.push_back({&series.style, series.joined, series.name});
  }
  if (chart.bars) entries.push_back({&chart.bars->style, false, chart.bars->name});
  return entries;
}

// The legend's rows above the plot; returns how many rows it took.
int AppendLegend(std::string& out, const Chart& chart, bool draw) {
  double x = kLeft;
  int row = 0;
  for (const LegendEntry& entry : LegendEntries(chart)) {
    const double width = 30 + TextWidth(entry.name);
    if (x > kLeft && x + width > kWidth - kRight) {
      x = kLeft;
      ++row;
    }
    const double y = 14 + kLegendRow * row;
    if (draw) {
      if (entry.line) {
        AppendLine(out, x, y - 4, x + 24, y - 4);
        Stroke(out, *entry.style, 1.8);
        out += "/>";
      } else if (chart.bars && entry.style == &chart.bars->style) {
        out += "<rect";
        Attribute(out, "x", x + 6);
        Attribute(out, "y", y - 10);
        Attribute(out, "width", 12.0);
        Attribute(out, "height", 10.0);
        Attribute(out, "fill", entry.style->colour);
        out += "/>";
      } else {
        std::string d;
        AppendMarker(d, entry.style->marker, x + 12, y - 4);
        AppendMarkerPath(out, *entry.style, d, "", "");
      }
      AppendText(out, x + 30, y, "start", entry.name);
    }
    x += width + 14;
  }
  return row + 1;
}

}  // namespace

Style SeriesStyle(std::size_t index) { return kPalette[index % std::size(kPalette)]; }

std::string ChartSvg(const Chart& chart) {
  const bool legend = !LegendEntries(chart).empty();
  std::string unused;
  Frame frame;
  frame.top = (legend ? kLegendRow * AppendLegend(unused, chart, false) : 0) + 12;
  frame.height = chart.square ? kPlotWidth : kPlotHeight;
  const double height = frame.top + frame.height + kBottom;
  const double bottom = frame.top + frame.height;
  auto number = [&chart](double value) {
    return platform::FormatGeneralNumber(value, chart.decimal_separator);
  };

  // Inline in HTML: no namespace attribute is needed.
  std::string out = "<svg class=\"chart\"";
  Attribute(out, "data-chart", chart.id);
  out += " viewBox=\"0 0 ";
  AppendCoordinate(out, kWidth);
  out += ' ';
  AppendCoordinate(out, height);
  out += "\" role=\"img\"";
  Attribute(out, "aria-label", chart.description);
  out += "><title>" + Escaped(chart.description) + "</title>";
  if (legend) AppendLegend(out, chart, true);

  // Grid and ticks: each tick is a mark outside the plot and its label, as a reader uses them.
  out += "<g class=\"grid\">";
  for (double tick : chart.x.Ticks()) {
    const double x = frame.X(chart.x, tick);
    AppendLine(out, x, frame.top, x, bottom);
    out += "/>";
  }
  for (double tick : chart.y.Ticks()) {
    const double y = frame.Y(chart.y, tick);
    AppendLine(out, kLeft, y, kLeft + kPlotWidth, y);
    out += "/>";
  }
  out += "</g>";
  for (double tick : chart.x.Ticks()) {
    const double x = frame.X(chart.x, tick);
    out += "<g class=\"tick\" data-axis=\"x\">";
    AppendLine(out, x, bottom, x, bottom + 5);
    out += "/>";
    AppendText(out, x, bottom + 18, "middle", number(tick));
    out += "</g>";
  }
  for (double tick : chart.y.Ticks()) {
    const double y = frame.Y(chart.y, tick);
    out += "<g class=\"tick\" data-axis=\"y\">";
    AppendLine(out, kLeft - 5, y, kLeft, y);
    out += "/>";
    AppendText(out, kLeft - 8, y + 4, "end", number(tick));
    out += "</g>";
  }
  AppendText(out, kLeft + kPlotWidth / 2, bottom + 38, "middle", chart.x_label,
             " class=\"axis-label\"");
  out += "<text class=\"axis-label\" text-anchor=\"middle\" transform=\"rotate(-90)\"";
  Attribute(out, "x", -(frame.top + frame.height / 2));
  Attribute(out, "y", 14.0);
  out += '>' + Escaped(chart.y_label) + "</text>";

  if (chart.bars) {
    const Bars& bars = *chart.bars;
    out += "<g class=\"bars\"";
    Attribute(out, "data-bars", bars.name);
    Attribute(out, "fill", bars.style.colour);
    out += '>';
    for (std::size_t bar = 0; bar < bars.counts.size(); ++bar) {
      const double left = frame.X(chart.x, bars.edges[bar]);
      const double right = frame.X(chart.x, bars.edges[bar + 1]);
      const double top = frame.Y(chart.y, static_cast<double>(bars.counts[bar]));
      out += "<rect";
      Attribute(out, "x", left);
      Attribute(out, "y", top);
      Attribute(out, "width", right - left);
      Attribute(out, "height", bottom - top);
      out += "><title>";
      out += Escaped("from " + number(bars.edges[bar]) + " to " + number(bars.edges[bar + 1]) +
                     ": " + std::to_string(bars.counts[bar]) + " " + bars.unit);
      out += "</title></rect>";
    }
    out += "</g>";
  }

  for (const Series& series : chart.series) {
    std::string points;
    const std::size_t count = std::min(series.x.size(), series.y.size());
    for (std::size_t i = 0; i < count; ++i) {
      if (!std::isfinite(series.x[i]) || !std::isfinite(series.y[i])) continue;
      const double x = frame.X(chart.x, series.x[i]), y = frame.Y(chart.y, series.y[i]);
      if (series.joined) {
        if (!points.empty()) points += ' ';
        AppendCoordinate(points, x);
        points += ',';
        AppendCoordinate(points, y);
      } else {
        AppendMarker(points, series.style.marker, x, y);
      }
    }
    if (series.joined) {
      out += "<polyline class=\"series\"";
      Attribute(out, "data-series", series.name);
      Attribute(out, "points", points);
      out += " fill=\"none\" stroke-linejoin=\"round\"";
      Stroke(out, series.style, 1.6);
      out += "/>";
    } else {
      AppendMarkerPath(out, series.style, points, "series", series.name);
    }
  }

  for (std::size_t index = 0; index < chart.rules.size(); ++index) {
    const Rule& rule = chart.rules[index];
    const double x = frame.X(chart.x, rule.x);
    AppendLine(out, x, frame.top, x, bottom);
    out += " class=\"rule\"";
    Attribute(out, "data-rule", rule.kind);
    Stroke(out, {"#000000", rule.dash, Marker::kNone}, 1.2);
    out += "/>";
    // Labels on rows of their own below the plot's top, on the side with room for them.
    if (rule.label.empty()) continue;
    const bool right_half = x > kLeft + kPlotWidth / 2;
    AppendText(out, right_half ? x - 4 : x + 4, frame.top + 14 + 15 * static_cast<double>(index),
               right_half ? "end" : "start", rule.label, " class=\"rule-label\"");
  }
  for (const Ring& ring : chart.rings) {
    out += "<circle class=\"ring\"";
    Attribute(out, "data-ring", ring.kind);
    Attribute(out, "cx", frame.X(chart.x, ring.x));
    Attribute(out, "cy", frame.Y(chart.y, ring.y));
    out += " r=\"5\" fill=\"none\" stroke=\"#000000\" stroke-width=\"1.5\"/>";
  }
  out += "<rect class=\"frame\"";
  Attribute(out, "x", kLeft);
  Attribute(out, "y", frame.top);
  Attribute(out, "width", kPlotWidth);
  Attribute(out, "height", frame.height);
  out += " fill=\"none\"/></svg>";
  return out;
}

}  // namespace tarvex::report
