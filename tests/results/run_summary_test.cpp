#include "results/run_summary.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarvex::results {
namespace {

using job::JobSettings;

std::vector<std::string> OptionKeys(const nlohmann::ordered_json& summary) {
  std::vector<std::string> keys;
  for (const auto& [key, value] : summary["options"].items()) keys.push_back(key);
  return keys;
}

// Programs that read many summaries rely on their option fields: these keys in this order, "cv"
// only where given, and the checked options as numbers once checked, as written before.
TEST(RunSummaryTest, ListsTheOptionFieldsOfEverySummarySoFar) {
  JobSettings job;
  job::SetDefaults(job);
  job.Options = job::OptionsState::kRead;
  const std::vector<std::string> keys = {"lr",  "m",    "wd",  "ep",   "iw",   "af",   "n",
                                         "sd",  "es",   "vf",  "tif",  "tifh", "tof",  "tofh",
                                         "pif", "pifh", "vif", "vifh", "vof",  "vofh", "pof",
                                         "pos", "log",  "ini", "nof",  "nif",  "lcf",  "sof"};
  EXPECT_EQ(OptionKeys(RunSummary(job, 0, std::nullopt)), keys);

  job.cv = "3";
  job.sd = "5";
  std::vector<std::string> with_folds = keys;
  with_folds.insert(with_folds.begin() + 10, "cv");
  const nlohmann::ordered_json read = RunSummary(job, 1, std::nullopt);
  EXPECT_EQ(OptionKeys(read), with_folds);
  EXPECT_EQ(read["options"]["cv"], "3");
  EXPECT_EQ(read["options"]["sd"], "5");
  EXPECT_EQ(read["options"]["es"], nullptr);
  EXPECT_EQ(read["options"]["ep"], 3000);

  job.Options = job::OptionsState::kNumbersAccepted;
  job.Folds = 3;
  job.Seed = 5;
  const nlohmann::ordered_json checked = RunSummary(job, 0, std::nullopt);
  EXPECT_EQ(checked["options"]["cv"], 3);
  EXPECT_EQ(checked["options"]["sd"], 5);
}

}  // namespace
}  // namespace tarvex::results
