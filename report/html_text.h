// Numbers as the report's page writes them: figures to take in at a glance, labels along an axis,
// and coordinates in the SVG's own number form. The tables write every figure in full instead
// (platform::FormatGeneralNumber), as the log does.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::report {

// A figure at a glance (the heading, a chart's caption): four significant digits.
std::string ShortNumber(double value, std::string_view decimal_separator);

// Labels for a rising run of values on a grid (an axis's ticks, a histogram's bin edges): four
// significant digits, or as many more as the run's step needs for each label to be its value
// (52.802 beside 52.804, not 52.8 twice). A run without a finite step gets four.
std::vector<std::string> RunLabels(std::span<const double> values,
                                   std::string_view decimal_separator);

// A coordinate with one decimal and "." whatever the locale, as SVG reads it.
void AppendCoordinate(std::string& out, double value);

}  // namespace tarvex::report
