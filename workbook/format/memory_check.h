// The check before a large allocation: a range or a file part that would not fit into memory
// fails with a description instead of ending the program.
#pragma once

#include <cstdint>
#include <string_view>

namespace tarvex::workbook {

// Throws WorkbookError, naming what and the sizes, when count items of item_size bytes each
// would need more than the memory that the process can still get.
void CheckFitsInMemory(std::uint64_t count, std::uint64_t item_size, std::string_view what);

}  // namespace tarvex::workbook
