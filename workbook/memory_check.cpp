#include "workbook/memory_check.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <limits>
#include <string>

#include "workbook/workbook_file.h"

namespace tarvex::workbook {

namespace {

constexpr std::uint64_t kMegabyte = 1 << 20;

// MemAvailable counts the page cache that the kernel would give up; free memory alone would
// refuse ranges that fit.
std::uint64_t SystemAvailable() {
  std::ifstream meminfo("/proc/meminfo");
  std::string key;
  std::uint64_t kilobytes = 0;
  std::string unit;
  while (meminfo >> key >> kilobytes >> unit) {
    if (key == "MemAvailable:") return kilobytes * 1024;
  }
  long pages = sysconf(_SC_AVPHYS_PAGES);
  long page_size = sysconf(_SC_PAGESIZE);
  if (pages > 0 && page_size > 0) {
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page_size);
  }
  return std::numeric_limits<std::uint64_t>::max();
}

}  // namespace

std::uint64_t AvailableMemory() {
  std::uint64_t available = SystemAvailable();
  rlimit limit{};
  if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
    available = std::min<std::uint64_t>(available, limit.rlim_cur);
  }
  return available;
}

void CheckFitsInMemory(std::uint64_t count, std::uint64_t item_size, std::string_view what) {
  const std::uint64_t available = AvailableMemory();
  if (item_size == 0 || count <= available / item_size) return;
  const long double needed = static_cast<long double>(count) * item_size / kMegabyte;
  throw WorkbookError(std::string(what) + " would need " +
                      std::to_string(static_cast<std::uint64_t>(needed)) + " MB of memory, " +
                      "more than the " + std::to_string(available / kMegabyte) + " MB available");
}

}  // namespace tarvex::workbook
