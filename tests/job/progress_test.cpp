#include "job/progress.h"

#include <gtest/gtest.h>

namespace tarvex::job {
namespace {

ProgressState Stage(ProgressState::Stage stage, std::string subject, double seconds_so_far) {
  ProgressState state;
  state.stage = stage;
  state.subject = std::move(subject);
  state.seconds_so_far = seconds_so_far;
  return state;
}

ProgressState Training(std::int32_t limit, double target, std::int64_t done, double delta,
                       double seconds_so_far, double training_seconds) {
  ProgressState state = Stage(ProgressState::Stage::kTraining, "", seconds_so_far);
  state.epoch_limit = limit;
  state.target_weight_delta = target;
  state.epochs_done = done;
  state.weight_delta = delta;
  state.training_seconds = training_seconds;
  return state;
}

TEST(ProgressTextTest, SaysTheStageAndDuringTrainingHowFarAndHowLong) {
  using enum ProgressState::Stage;
  struct Case {
    ProgressState state;
    std::string text;
  };
  const Case cases[] = {
      {Stage(kStarting, "", 3), ""},
      {Stage(kLoading, "data/ti.txt (1.2 MiB)", 0.9), "loading data/ti.txt (1.2 MiB), 0:00 so far"},
      // Before the first epoch ends there is neither a weight delta nor an estimate.
      {Training(3000, 0.001, 0, 0, 61.5, 60), "training: 0 of 3000 epochs, 1:01 so far"},
      // 1000 epochs in 60 s: the 2000 left take at most 120 s.
      {Training(3000, 0.001, 1000, 0.0213, 65, 60),
       "training: 1000 of 3000 epochs, weight delta 0.0213% (target 0.001%), 1:05 so far, "
       "at most 2:00 left"},
      // A part of a second left shows as a whole one, not as nothing.
      {Training(7, 0, 6, 12.5, 0.5, 0.3),
       "training: 6 of 7 epochs, weight delta 12.5% (target 0%), 0:00 so far, at most 0:01 left"},
      {Training(5, 1e-5, 5, 3.25e-7, 2, 1),
       "training: 5 of 5 epochs, weight delta 3.25e-07% (target 1e-05%), 0:02 so far"},
      {Stage(kWriting, "out/po.txt", 3903.9), "writing out/po.txt, 1:05:03 so far"},
  };
  for (const Case& c : cases) EXPECT_EQ(ProgressText(c.state), c.text);
}

// The file sizes beside a loading file are platform::ByteSizeText's (tests/platform).
TEST(ProgressTextTest, Durations) {
  const std::pair<double, std::string> durations[] = {
      {-1, "0:00"},    {0.99, "0:00"},    {59.9, "0:59"},       {60, "1:00"},
      {3599, "59:59"}, {3600, "1:00:00"}, {360000, "100:00:00"}};
  for (const auto& [seconds, text] : durations) EXPECT_EQ(DurationText(seconds), text) << seconds;
}

}  // namespace
}  // namespace tarvex::job
