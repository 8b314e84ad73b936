// Large buffers backed by huge pages where the system allows it. Filling fresh memory costs one
// page fault per 4 KB page; on virtual machines those faults dominate reading a large file,
// and a huge page takes 512 pages' worth in one fault.
#pragma once

#include <sys/mman.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tarvex::platform {

// Advises the system to back the whole 2 MB pages inside [data, data + size) with huge pages.
inline void AdviseHugePages(const void* data, size_t size) {
  constexpr std::uintptr_t kHugePage = 2 << 20;
  auto begin = (reinterpret_cast<std::uintptr_t>(data) + kHugePage - 1) & ~(kHugePage - 1);
  auto end = (reinterpret_cast<std::uintptr_t>(data) + size) & ~(kHugePage - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

// A container of size elements, its memory advised before the elements are made.
template <typename Container>
void ResizeLarge(Container& container, size_t size) {
  container.reserve(size);
  AdviseHugePages(container.data(), size * sizeof(*container.data()));
  container.resize(size);
}

}  // namespace tarvex::platform
