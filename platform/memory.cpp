#include "platform/memory.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
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
  if (bytes < 1024) return std::to_string(bytes) + " bytes";
  // The limits and the memory these sizes are set against are counted in pages and KiB.
  constexpr const char* kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  double size = static_cast<double>(bytes) / 1024;
  std::size_t unit = 0;
  // 1023.95 would print as "1024.0": it takes the next unit.
  while (size >= 1023.95 && unit + 1 < std::size(kUnits)) {
    size /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", size, kUnits[unit]);  // the locale's separator
  return text;
}

}  // namespace tarvex::platform
