// The check that an allocation fits into the memory the process can still get.
#include "workbook/format/memory_check.h"

#include <string>

#include "platform/memory.h"
#include "workbook/format/workbook_file.h"

namespace tarvex::workbook {

namespace {

constexpr std::uint64_t kMegabyte = 1 << 20;

}  // namespace

void CheckFitsInMemory(std::uint64_t count, std::uint64_t item_size, std::string_view what) {
  const std::uint64_t available = platform::MemoryTheProcessCanGet();
  if (item_size == 0 || count <= available / item_size) return;
  const long double needed = static_cast<long double>(count) * item_size / kMegabyte;
  throw WorkbookError(std::string(what) + " would need " +
                      std::to_string(static_cast<std::uint64_t>(needed)) + " MB of memory, " +
                      "more than the " + std::to_string(available / kMegabyte) + " MB available");
}

}  // namespace tarvex::workbook
