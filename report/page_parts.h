// The pieces every section of the report's page is made of: a section with its heading, a
// paragraph, and a chart as a figure with its caption; the text escaped on the way in.
#pragma once

#include <string>
#include <string_view>

#include "report/svg_chart.h"

namespace tarvex::report {

// A figure of the page: the chart and its caption.
std::string Figure(const Chart& chart, std::string_view caption);

// A paragraph of text, with a class where type is given.
std::string Paragraph(std::string_view text, std::string_view type = {});

// A section with its id and heading (markup as it is) around body (markup as it is).
std::string Section(std::string_view id, std::string_view heading, std::string_view body);

}  // namespace tarvex::report
