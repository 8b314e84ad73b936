#include "platform/parallel.h"

#include <sched.h>

#include <cerrno>

namespace tarvex::platform {

size_t UsableCores() {
  // Sized for machines beyond the 1024 processors of a plain cpu_set_t.
  for (int processors = 1024; processors <= (1 << 20); processors *= 4) {
    cpu_set_t* mask = CPU_ALLOC(processors);
    if (mask == nullptr) break;
    const size_t size = CPU_ALLOC_SIZE(processors);
    CPU_ZERO_S(size, mask);
    const bool read = sched_getaffinity(0, size, mask) == 0;
    const int count = read ? CPU_COUNT_S(size, mask) : 0;
    CPU_FREE(mask);
    if (read) return static_cast<size_t>(std::max(count, 1));
    if (errno != EINVAL) break;
  }
  return std::max<size_t>(std::thread::hardware_concurrency(), 1);
}

}  // namespace tarvex::platform
