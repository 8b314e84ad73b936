// The check that an allocation fits into the memory the process can still get.
#include "workbook/format/memory_check.h"

#include <cstdint>
#include <string>

#include "platform/memory.h"
#include "workbook/format/workbook_file.h"

namespace tarvex::workbook {

void CheckFitsInMemory(std::uint64_t count, std::uint64_t item_size, std::string_view what) {
  const std::uint64_t available = platform::MemoryTheProcessCanGet();
  if (item_size == 0 || count <= available / item_size) return;
  const long double needed = static_cast<long double>(count) * item_size;
  const std::uint64_t shown =
      needed >= 1.8e19L ? UINT64_MAX : static_cast<std::uint64_t>(needed);  // beyond 64 bits
  throw WorkbookError(std::string(what) + " would need " + platform::ByteSizeText(shown) +
                      " of memory, more than the " + platform::ByteSizeText(available) +
                      " available");
}

}  // namespace tarvex::workbook
