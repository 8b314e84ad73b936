// Spreading work over the processor's cores, for the few loops over large data (loading).
#pragma once

#include <algorithm>
#include <cstddef>
#include <exception>
#include <thread>
#include <vector>

namespace tarvex::platform {

// How many parts a job of the given size is worth splitting into: one per core, but none smaller
// than minimum_part (starting a thread costs more than a small part saves).
inline size_t PartsFor(size_t size, size_t minimum_part) {
  size_t cores = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 8);
  return std::clamp<size_t>(size / std::max<size_t>(minimum_part, 1), 1, cores);
}

// Runs work(0) .. work(count - 1), each on its own thread, the first on the calling one. The
// first failure is passed on once all have ended.
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
  for (size_t part = 1; part < count; ++part) threads.emplace_back(guarded, part);
  if (count > 0) guarded(0);
  for (std::thread& thread : threads) thread.join();
  for (const std::exception_ptr& failure : failures) {
    if (failure) std::rethrow_exception(failure);
  }
}

}  // namespace tarvex::platform
