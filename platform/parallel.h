// Spreading work over the processor's cores: the few loops over large data (loading), and
// independent tasks such as the trainings of cross-validation.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

namespace tarvex::platform {

// How many parts a job of the given size is worth splitting into: one per core, but none smaller
// than minimum_part (starting a thread costs more than a small part saves).
inline size_t PartsFor(size_t size, size_t minimum_part) {
  size_t cores = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 8);
  return std::clamp<size_t>(size / std::max<size_t>(minimum_part, 1), 1, cores);
}

// Runs work(0) .. work(count - 1), each on its own thread, the first on the calling one (and any
// that no thread could be started for). The first failure is passed on once all have ended.
template <typename Work>
void RunInParallel(size_t count, const Work& work) {
  std::vector<std::exception_ptr> failures(count);
  auto guarded = [&](size_t part) {
    try {
      work(part);
    } catch (...) {
      failures[part] = std::current_exception();
    }
  };
  std::vector<std::thread> threads;
  threads.reserve(count);  // a growing vector must not fail once threads run
  size_t started = 1;
  // A thread that cannot be had (a process limit) leaves its part, and those after it, to the
  // calling thread: each part has results of its own, so nothing changes but the time.
  for (; started < count; ++started) {
    try {
      threads.emplace_back(guarded, started);
    } catch (const std::system_error&) {
      break;
    }
  }
  if (count > 0) guarded(0);
  for (size_t part = started; part < count; ++part) guarded(part);
  for (std::thread& thread : threads) thread.join();
  for (const std::exception_ptr& failure : failures) {
    if (failure) std::rethrow_exception(failure);
  }
}

// The cores that this process may run on (its affinity mask, which taskset and a batch system's
// allocation set), at least 1.
size_t UsableCores();

// Runs work(0) .. work(count - 1) on up to threads threads, the calling one included, which runs
// work(0) first; the others take the remaining tasks in ascending order as they get free. After a
// failure no further task starts; every task below the failed one has already started and ends,
// so the failure passed on (that of the lowest task) does not depend on timing.
template <typename Work>
void RunTasks(size_t count, size_t threads, const Work& work) {
  std::vector<std::exception_ptr> failures(count);
  std::atomic<size_t> next{1};
  std::atomic<bool> failed{false};
  auto run = [&](size_t task) {
    try {
      work(task);
    } catch (...) {
      failures[task] = std::current_exception();
      failed = true;
    }
  };
  // A task once taken always runs, so the tasks that run are those below some bound.
  auto take_tasks = [&] {
    while (!failed) {
      const size_t task = next++;
      if (task >= count) break;
      run(task);
    }
  };
  std::vector<std::thread> helpers;
  const size_t helper_count = std::min(std::max<size_t>(threads, 1), count) - (count > 0 ? 1 : 0);
  helpers.reserve(helper_count);  // a growing vector must not fail once threads run
  for (size_t helper = 0; helper < helper_count; ++helper) {
    // A thread that cannot be had (a process limit) leaves its tasks to the others.
    try {
      helpers.emplace_back(take_tasks);
    } catch (const std::system_error&) {
      break;
    }
  }
  if (count > 0) {
    run(0);
    take_tasks();
  }
  for (std::thread& helper : helpers) helper.join();
  for (const std::exception_ptr& failure : failures) {
    if (failure) std::rethrow_exception(failure);
  }
}

}  // namespace tarvex::platform
