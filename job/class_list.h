// The classes of a classification job: the task test, the labels of numbers, the class order,
// the predicted class of a row of probabilities and the class weights of /cw.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "job/job_settings.h"

namespace tarvex::job {

// The most classes a job may have; beyond it a label column is rather a column of numbers.
inline constexpr std::size_t kMostClasses = 10000;

// /task=classification, in any letter case; any other value but regression is refused with the
// options.
bool IsClassification(const JobSettings& job);
// /pp=1: the probabilities are written after each predicted label.
inline bool WritesProbabilities(const JobSettings& job) { return job.pp == "1"; }

// The label of a number: the shortest text that reads back as the same double ("1", "0.5",
// "1e+20"), so that 1 and 1.0 are one class.
std::string NumberLabel(double value);

// Sorts labels into class order: by value when every one is a number (numbers true), else by
// code point. Duplicates are removed.
void SortClasses(std::vector<std::string>& labels, bool numbers);

// The place of label in classes, or nothing.
std::optional<std::size_t> ClassIndex(std::span<const std::string> classes, std::string_view label);

// The class of highest probability; ties go to the first in class order.
std::size_t MostProbableClass(std::span<const double> probabilities);

// /cw as written against the classes: empty for no weights, "balanced" for
// rows / (classes x rows of the class) from the per-class row counts, else LABEL:W pairs
// separated by "," (other classes 1). Throws Failure with the line to log when a pair does not
// parse, names no class, or gives a weight that is not a positive finite number.
std::vector<double> ClassWeightsFor(std::string_view written, std::span<const std::string> classes,
                                    std::span<const std::int64_t> rows_per_class,
                                    std::string_view decimal_separator);

}  // namespace tarvex::job
