// How much memory the process can still get, so that work too large for it is refused with a
// reason instead of ending by the kernel's hand.
#pragma once

#include <cstdint>
#include <string>

namespace tarvex::platform {

// The smaller of the memory the system has available and what the process's limits (address
// space, data) leave it; the largest value when nothing can be read.
std::uint64_t MemoryTheProcessCanGet();

// A size for a person to read, in binary units named as such: "512 bytes", "1.2 KiB",
// "340.0 MiB", "2.5 GiB" (one decimal, the locale's separator), up to EiB.
std::string ByteSizeText(std::uint64_t bytes);

}  // namespace tarvex::platform
