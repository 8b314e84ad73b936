// A classifier's charts on the report's page: its learning curves of log loss and of error rate,
// the ROC curves of its classes and its reliability diagram, each section with a text that says
// what it shows.
#pragma once

#include <string>

#include "job/job_settings.h"

namespace tarvex::report {

// A chart draws the ROC curves and reliability lines of at most this many classes, in class
// order; the per-class table has every class's AUC.
inline constexpr std::size_t kMostClassLines = 8;

std::string ClassCurveSection(const job::JobSettings& job);
std::string RocSection(const job::JobSettings& job);
std::string ReliabilitySection(const job::JobSettings& job);

}  // namespace tarvex::report
