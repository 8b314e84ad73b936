#include "output/class_rows.h"

#include <cassert>

#include "job/class_list.h"

namespace tarvex::output {

const std::string& PredictedLabel(const job::JobSettings& job, job::Index row) {
  const std::size_t k = job::MostProbableClass(job.PredictionOutputs.Row(row));
  assert(k < job.Classes.size());
  return job.Classes[k];
}

job::Index ClassRowWidth(const job::JobSettings& job) {
  return job::WritesProbabilities(job) ? 1 + static_cast<job::Index>(job.Classes.size()) : 1;
}

std::string ClassRowWidthText(const job::JobSettings& job) {
  if (!job::WritesProbabilities(job)) return "1 (the label)";
  return "1 + " + std::to_string(job.Classes.size()) + " = " + std::to_string(ClassRowWidth(job)) +
         " (the label, then one probability per class)";
}

}  // namespace tarvex::output
