// Memory for large arrays (matrices, fetched records, inflated sheets): blocks of 2 MB and more are
// aligned to 2 MB and offered to the system for huge pages, so that filling them takes one page
// fault per 2 MB instead of one per 4 KB, which on virtual machines costs more than the filling
// itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>

namespace tarvex::platform {

// Advises the system to back the whole 2 MB pages inside [data, data + size) with huge pages:
// only advice, where the system has none the memory works as usual.
void AdviseHugePages(const void* data, std::size_t size);

// A container of size elements, its memory advised before the elements are made.
template <typename Container>
void ResizeLarge(Container& container, std::size_t size) {
  container.reserve(size);
  AdviseHugePages(container.data(), size * sizeof(*container.data()));
  container.resize(size);
}

// Throws std::bad_alloc when the memory cannot be had.
void* AllocateLarge(std::size_t bytes);
void FreeLarge(void* memory, std::size_t bytes);

template <typename T>
struct LargeAllocator {
  using value_type = T;
  LargeAllocator() = default;
  template <typename U>
  LargeAllocator(const LargeAllocator<U>&) {}
  T* allocate(std::size_t count) {
    if (count > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    return static_cast<T*>(AllocateLarge(count * sizeof(T)));
  }
  void deallocate(T* memory, std::size_t count) { FreeLarge(memory, count * sizeof(T)); }
  friend bool operator==(const LargeAllocator&, const LargeAllocator&) { return true; }
};

// Text of many megabytes, such as a sheet part.
using LargeText = std::basic_string<char, std::char_traits<char>, LargeAllocator<char>>;

}  // namespace tarvex::platform
