#include "job/class_list.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "job/failure.h"
#include "job/parse_number.h"
#include "platform/text.h"

namespace tarvex::job {

bool IsClassification(const JobSettings& job) {
  return platform::EqualIgnoringAsciiCase(job.task, "classification");
}

std::string NumberLabel(double value) {
  if (value == 0) value = 0;  // -0 and 0 are one class
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

void SortClasses(std::vector<std::string>& labels, bool numbers) {
  std::sort(labels.begin(), labels.end());
  labels.erase(std::unique(labels.begin(), labels.end()), labels.end());
  if (numbers) {
    // Labels of numbers read back exactly (NumberLabel), so comparing the values is exact.
    std::stable_sort(labels.begin(), labels.end(), [](const std::string& a, const std::string& b) {
      return std::strtod(a.c_str(), nullptr) < std::strtod(b.c_str(), nullptr);
    });
  }
}

std::optional<std::size_t> ClassIndex(std::span<const std::string> classes,
                                      std::string_view label) {
  for (std::size_t k = 0; k < classes.size(); ++k) {
    if (classes[k] == label) return k;
  }
  return std::nullopt;
}

std::size_t MostProbableClass(std::span<const double> probabilities) {
  std::size_t best = 0;
  for (std::size_t k = 1; k < probabilities.size(); ++k) {
    if (probabilities[k] > probabilities[best]) best = k;
  }
  return best;
}

std::vector<double> ClassWeightsFor(std::string_view written, std::span<const std::string> classes,
                                    std::span<const std::int64_t> rows_per_class,
                                    std::string_view decimal_separator) {
  const std::string_view text = platform::TrimSpaces(written);
  if (text.empty()) return {};
  std::vector<double> weights(classes.size(), 1.0);
  if (platform::EqualIgnoringAsciiCase(text, "balanced")) {
    std::int64_t rows = 0;
    for (std::int64_t count : rows_per_class) rows += count;
    for (std::size_t k = 0; k < classes.size(); ++k) {
      // A class without training rows gets no weight to share; its weight does not matter.
      weights[k] = rows_per_class[k] == 0
                       ? 1.0
                       : static_cast<double>(rows) /
                             (static_cast<double>(classes.size()) * rows_per_class[k]);
    }
    return weights;
  }
  for (std::string_view pair : platform::SplitAll(text, ',')) {
    const std::size_t colon = pair.rfind(':');
    if (colon == std::string_view::npos) {
      throw Failure("The class weight \"" + std::string(pair) +
                    "\" of /cw is not LABEL:WEIGHT (or /cw=balanced)");
    }
    const std::string label(platform::TrimSpaces(pair.substr(0, colon)));
    double weight = 0;
    if (!ParseNumber(pair.substr(colon + 1), weight, decimal_separator) || !std::isfinite(weight) ||
        weight <= 0) {
      throw Failure("The class weight \"" + std::string(pair) +
                    "\" of /cw does not give a positive number");
    }
    std::optional<std::size_t> k = ClassIndex(classes, label);
    if (!k) {
      // A label of a number may be written in another form (1.0 for the class 1).
      double value = 0;
      if (ParseNumber(label, value, ".")) k = ClassIndex(classes, NumberLabel(value));
    }
    if (!k) {
      throw Failure("The class \"" + label + "\" of /cw is not a class of the training outputs");
    }
    weights[*k] = weight;
  }
  return weights;
}

}  // namespace tarvex::job
