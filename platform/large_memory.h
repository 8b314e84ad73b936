// Memory for large arrays (matrices, fetched records): blocks of 2 MB and more are aligned to 2 MB
// and offered to the system for huge pages, so that filling them takes one page fault per 2 MB
// instead of one per 4 KB, which on virtual machines costs more than the filling itself.
#pragma once

#include <cstddef>

namespace tarvex::platform {

// Throws std::bad_alloc when the memory cannot be had.
void* AllocateLarge(std::size_t bytes);
void FreeLarge(void* memory, std::size_t bytes);

template <typename T>
struct LargeArrayAllocator {
  using value_type = T;
  LargeArrayAllocator() = default;
  template <typename U>
  LargeArrayAllocator(const LargeArrayAllocator<U>&) {}
  T* allocate(std::size_t count) { return static_cast<T*>(AllocateLarge(count * sizeof(T))); }
  void deallocate(T* memory, std::size_t count) { FreeLarge(memory, count * sizeof(T)); }
  friend bool operator==(const LargeArrayAllocator&, const LargeArrayAllocator&) { return true; }
};

}  // namespace tarvex::platform
