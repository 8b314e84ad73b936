// A fixture for black-box runs: tarvex copied into a fresh folder, run there with real files.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace tarvex::testing {

class TarvexRun : public ::testing::Test {
 protected:
  TarvexRun() : program_(InstallTarvex(folder_.path())) {}

  // Runs tarvex in the folder under the given locale and checks that it printed nothing.
  int Run(const std::vector<std::string>& arguments, const std::string& locale = "C") {
    RunOptions options;
    options.working_folder = folder_.path();
    options.environment = {{"LC_ALL", locale}};
    RunResult result = RunProgram(program_, arguments, options);
    EXPECT_EQ(result.standard_output, "");
    EXPECT_EQ(result.standard_error, "");
    return result.exit_status;
  }

  void Write(const std::string& name, const std::string& content) {
    WriteFile(folder_ / name, content);
  }
  std::string Read(const std::string& name) { return ReadFile(folder_ / name); }
  bool Exists(const std::string& name) { return fs::exists(folder_ / name); }

  // The messages of run.log in the folder; empty when there is no log.
  std::vector<std::string> Log(const std::string& name = "run.log") {
    if (!Exists(name)) return {};
    return LogMessages(Read(name));
  }

  TempFolder folder_;
  fs::path program_;
};

}  // namespace tarvex::testing
