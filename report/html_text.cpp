#include "report/html_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "platform/number_text.h"

namespace tarvex::report {

namespace {

constexpr int kShortDigits = 4;
constexpr int kMostDigits = 15;  // as the log writes numbers: more would show binary noise

}  // namespace

std::string ShortNumber(double value, std::string_view decimal_separator) {
  return platform::FormatNumber(value, kShortDigits, decimal_separator);
}

std::vector<std::string> RunLabels(std::span<const double> values,
                                   std::string_view decimal_separator) {
  double step = std::numeric_limits<double>::infinity();
  for (std::size_t i = 1; i < values.size(); ++i) {
    const double difference = values[i] - values[i - 1];
    if (difference > 0) step = std::min(step, difference);
  }
  int digits = kShortDigits;
  if (std::isfinite(step)) {
    // The step's leading place; a value needs its digits from its own leading place down to it.
    const double place = std::floor(std::log10(step) + 1e-9);
    for (double value : values) {
      if (value == 0 || !std::isfinite(value)) continue;
      const double leading = std::floor(std::log10(std::fabs(value)) + 1e-9);
      digits = std::max(digits, static_cast<int>(std::min(leading - place + 1, 99.0)));
    }
  }
  digits = std::min(digits, kMostDigits);
  std::vector<std::string> labels;
  labels.reserve(values.size());
  for (double value : values) {
    labels.push_back(platform::FormatNumber(value, digits, decimal_separator));
  }
  return labels;
}

void AppendCoordinate(std::string& out, double value) {
  char buffer[32];
  // Off-chart values are kept near the chart, where they cannot overflow the buffer.
  const double kept = std::fmin(std::fmax(value, -1e6), 1e6);
  const std::to_chars_result result =
      std::to_chars(buffer, buffer + sizeof buffer, kept, std::chars_format::fixed, 1);
  out.append(buffer, result.ptr);
}

}  // namespace tarvex::report
