// How much memory the process can still get, so that work too large for it is refused with a
// reason instead of ending by the kernel's hand.
#pragma once

#include <cstdint>
#include <string>

namespace tarvex::platform {

// The smaller of the memory the system has available and what the process's limits (address
// space, data) leave it; the largest value when nothing can be read.
std::uint64_t MemoryTheProcessCanGet();

// "2.5 GB", "340 MB": a size for a person to read.
std::string ByteSizeText(std::uint64_t bytes);

}  // namespace tarvex::platform
