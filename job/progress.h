// The progress line of a run watched at a terminal. Stages say what they are doing; a drawing
// thread shows it at most ten times a second. Off a terminal no thread runs and every call
// returns at once, so the stages call these freely.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvex::job {

namespace progress_detail {
extern std::atomic<bool> drawing;
void PublishEpoch(std::int64_t epochs_done, double weight_delta);
}  // namespace progress_detail

// Starts the drawing thread; the console session calls it when stderr is a terminal. Returns
// false when no thread could be started (the run then goes on without a progress line).
bool StartProgress();
// Stops the thread and clears the line; does nothing when no drawing was started.
void StopProgress();

// Loading a data file: its path (as the settings write it) and size.
void ShowLoading(std::string_view path) noexcept;
// Training starts: the epoch limit and the target weight delta, in percent.
void ShowTraining(std::int32_t epoch_limit, double target_weight_delta) noexcept;
// Called after every epoch from the training loop, so it costs one relaxed load and a branch
// when no line is drawn; the clock is read by the drawing thread, never here.
inline void ShowEpoch(std::int64_t epochs_done, double weight_delta) {
  if (progress_detail::drawing.load(std::memory_order_relaxed)) {
    progress_detail::PublishEpoch(epochs_done, weight_delta);
  }
}
// Writing the output target (its path as the settings write it).
void ShowWriting(std::string_view path) noexcept;

// What the line is made of at one moment.
struct ProgressState {
  enum class Stage { kStarting, kLoading, kTraining, kWriting };
  Stage stage = Stage::kStarting;
  std::string subject;  // the file being loaded (with its size) or written
  std::int32_t epoch_limit = 0;
  double target_weight_delta = 0;
  std::int64_t epochs_done = 0;
  double weight_delta = 0;
  double seconds_so_far = 0;    // since the run started
  double training_seconds = 0;  // since training started
};

// The line's text; empty before the first stage has said anything.
std::string ProgressText(const ProgressState& state);

// "m:ss", or "h:mm:ss" from one hour on; whole seconds, rounded down.
std::string DurationText(double seconds);

}  // namespace tarvex::job
