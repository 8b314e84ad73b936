// A fixture for in-process tests of a stage: a job whose run log lies in a fresh folder.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "job/job_settings.h"
#include "tests/support/test_support.h"

namespace tarvex::testing {

class JobFixture : public ::testing::Test {
 protected:
  JobFixture() {
    job_.DecimalSeparator = ".";
    job::SetDefaults(job_);
    job_.log = (folder_ / "run.log").string();
    job_.ScaleLow = -0.4;
    job_.ScaleHigh = 0.4;
  }

  // The messages logged so far; reading them starts the log afresh.
  std::vector<std::string> TakeLog() {
    if (!fs::exists(job_.log)) return {};
    std::vector<std::string> messages = LogMessages(ReadFile(job_.log));
    fs::remove(job_.log);
    return messages;
  }

  std::string File(const std::string& name, const std::string& content) {
    WriteFile(folder_ / name, content);
    return (folder_ / name).string();
  }

  TempFolder folder_;
  job::JobSettings job_;
};

// The matrix as rows of values, for comparisons.
inline std::vector<std::vector<double>> RowsOf(const job::DataMatrix& matrix) {
  std::vector<std::vector<double>> rows;
  for (job::Index r = matrix.RowLow(); r <= matrix.RowHigh(); ++r) {
    auto row = matrix.Row(r);
    rows.emplace_back(row.begin(), row.end());
  }
  return rows;
}

}  // namespace tarvex::testing
