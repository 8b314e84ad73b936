// The check before a large allocation: a range or a file part that would not fit into memory
// fails with a description instead of ending the program.
#pragma once

#include <cstdint>
#include <string_view>

namespace tarvex::workbook {

// The bytes that the process may still allocate: the system's available memory, less where an
// address-space limit is set.
std::uint64_t AvailableMemory();

// Throws WorkbookError, naming what and the sizes, when count items of item_size bytes each
// would need more than AvailableMemory().
void CheckFitsInMemory(std::uint64_t count, std::uint64_t item_size, std::string_view what);

}  // namespace tarvex::workbook
