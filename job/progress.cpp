#include "job/progress.h"

#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/memory.h"
#include "platform/paths.h"
#include "platform/terminal.h"

namespace tarvex::job {

namespace progress_detail {
std::atomic<bool> drawing = false;
}  // namespace progress_detail

namespace {

using Clock = std::chrono::steady_clock;
// Ten drawings a second at most: faster only makes the line flicker.
constexpr auto kDrawingPeriod = std::chrono::milliseconds(100);

// The training loop writes these after every epoch without taking the lock.
std::atomic<std::int64_t> epochs_done = 0;
std::atomic<double> weight_delta = 0;

struct Painter {
  std::mutex mutex;
  std::condition_variable wake;
  bool stopping = false;
  std::thread thread;
  ProgressState state;  // everything but the counts and the times
  Clock::time_point run_start;
  Clock::time_point training_start;
};
Painter painter;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void DrawUntilStopped() {
  std::unique_lock lock(painter.mutex);
  while (!painter.wake.wait_for(lock, kDrawingPeriod, [] { return painter.stopping; })) {
    ProgressState now = painter.state;
    now.epochs_done = epochs_done.load(std::memory_order_relaxed);
    now.weight_delta = weight_delta.load(std::memory_order_relaxed);
    now.seconds_so_far = SecondsSince(painter.run_start);
    now.training_seconds = SecondsSince(painter.training_start);
    lock.unlock();
    try {
      platform::ShowStatusLine(ProgressText(now));
    } catch (const std::exception&) {
      // Out of memory for a line of text: the next drawing tries again.
    }
    lock.lock();
  }
}

void SetStage(ProgressState::Stage stage, std::string subject) {
  std::lock_guard lock(painter.mutex);
  painter.state.stage = stage;
  painter.state.subject = std::move(subject);
}

bool IsDrawing() { return progress_detail::drawing.load(std::memory_order_relaxed); }

// The line is a courtesy to the person watching: nothing that fails in it reaches a stage.
template <typename Change>
void WhileDrawing(Change change) noexcept {
  if (!IsDrawing()) return;
  try {
    change();
  } catch (const std::exception&) {
    // The line shows the stage before; the run goes on.
  }
}

std::string PercentText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3g%%", value);
  return text;
}

std::string TrainingText(const ProgressState& state) {
  std::string text = "training: " + std::to_string(state.epochs_done) + " of " +
                     std::to_string(state.epoch_limit) + " epochs";
  if (state.epochs_done > 0) {
    text += ", weight delta " + PercentText(state.weight_delta) + " (target " +
            PercentText(state.target_weight_delta) + ")";
  }
  text += ", " + DurationText(state.seconds_so_far) + " so far";
  // Training may stop early at the target, so the time for the remaining epochs is a bound.
  if (state.epochs_done > 0 && state.epochs_done < state.epoch_limit) {
    const double per_epoch = state.training_seconds / static_cast<double>(state.epochs_done);
    const auto remaining = static_cast<double>(state.epoch_limit - state.epochs_done);
    text += ", at most " + DurationText(std::ceil(per_epoch * remaining)) + " left";
  }
  return text;
}

}  // namespace

namespace progress_detail {

void PublishEpoch(std::int64_t done, double delta) {
  weight_delta.store(delta, std::memory_order_relaxed);
  epochs_done.store(done, std::memory_order_relaxed);
}

}  // namespace progress_detail

bool StartProgress() {
  std::lock_guard lock(painter.mutex);
  painter.run_start = Clock::now();
  painter.training_start = painter.run_start;
  painter.stopping = false;
  try {
    painter.thread = std::thread(DrawUntilStopped);
  } catch (const std::system_error&) {
    return false;
  }
  progress_detail::drawing.store(true, std::memory_order_relaxed);
  return true;
}

void StopProgress() {
  if (!IsDrawing()) return;
  progress_detail::drawing.store(false, std::memory_order_relaxed);
  {
    std::lock_guard lock(painter.mutex);
    painter.stopping = true;
  }
  painter.wake.notify_one();
  painter.thread.join();
  platform::ClearStatusLine();
}

void ShowLoading(std::string_view path) noexcept {
  WhileDrawing([path] {
    std::string subject = platform::ToNativePath(path);
    struct stat status {};
    if (stat(subject.c_str(), &status) == 0)
      subject += " (" + platform::ByteSizeText(static_cast<std::uint64_t>(status.st_size)) + ")";
    SetStage(ProgressState::Stage::kLoading, std::move(subject));
  });
}

void ShowTraining(std::int32_t epoch_limit, double target_weight_delta) noexcept {
  WhileDrawing([=] {
    progress_detail::PublishEpoch(0, 0);
    std::lock_guard lock(painter.mutex);
    painter.state.stage = ProgressState::Stage::kTraining;
    painter.state.epoch_limit = epoch_limit;
    painter.state.target_weight_delta = target_weight_delta;
    painter.training_start = Clock::now();
  });
}

void ShowWriting(std::string_view path) noexcept {
  WhileDrawing([path] { SetStage(ProgressState::Stage::kWriting, platform::ToNativePath(path)); });
}

std::string ProgressText(const ProgressState& state) {
  switch (state.stage) {
    case ProgressState::Stage::kStarting:
      return "";
    case ProgressState::Stage::kLoading:
      return "loading " + state.subject + ", " + DurationText(state.seconds_so_far) + " so far";
    case ProgressState::Stage::kTraining:
      return TrainingText(state);
    case ProgressState::Stage::kWriting:
      return "writing " + state.subject + ", " + DurationText(state.seconds_so_far) + " so far";
  }
  return "";
}

std::string DurationText(double seconds) {
  const auto whole = seconds > 0 ? static_cast<long long>(seconds) : 0LL;
  char text[48];
  if (whole < 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                  whole % 60);
  }
  return text;
}

}  // namespace tarvex::job
