#include "platform/memory.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <limits>
#include <string>

namespace tarvex::platform {

namespace {

constexpr std::uint64_t kUnknown = std::numeric_limits<std::uint64_t>::max();

std::uint64_t AvailableSystemMemory() {
  std::ifstream meminfo("/proc/meminfo");
  std::string key;
  std::uint64_t kilobytes;
  std::string unit;
  while (meminfo >> key >> kilobytes) {
    std::getline(meminfo, unit);
    if (key == "MemAvailable:") return kilobytes * 1024;
  }
  return kUnknown;
}

// What a limit leaves once the process's current use of it is counted.
std::uint64_t LeftUnderLimit(int resource, std::uint64_t in_use) {
  struct rlimit limit;
  if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kUnknown;
  return limit.rlim_cur > in_use ? limit.rlim_cur - in_use : 0;
}

}  // namespace

std::uint64_t MemoryTheProcessCanGet() {
  // statm: total program size and data + stack, in pages.
  std::uint64_t pages_total = 0, pages_resident = 0, pages_shared = 0, pages_text = 0,
                pages_library = 0, pages_data = 0;
  std::ifstream statm("/proc/self/statm");
  statm >> pages_total >> pages_resident >> pages_shared >> pages_text >> pages_library >>
      pages_data;
  const std::uint64_t page = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
  return std::min({AvailableSystemMemory(), LeftUnderLimit(RLIMIT_AS, pages_total * page),
                   LeftUnderLimit(RLIMIT_DATA, pages_data * page)});
}

std::string ByteSizeText(std::uint64_t bytes) {
  char text[64];
  const double megabytes = static_cast<double>(bytes) / (1024.0 * 1024.0);
  if (megabytes >= 1024) {
    std::snprintf(text, sizeof text, "%.1f GB", megabytes / 1024);
  } else {
    std::snprintf(text, sizeof text, "%.0f MB", megabytes);
  }
  return text;
}

}  // namespace tarvex::platform
