// An allocator for buffers of many megabytes (an inflated sheet, a block of cell values): they are
// backed by huge pages where the system allows. Touching the 4 KB pages of a fresh buffer one by
// one costs more than filling it, on some virtual machines a third of a second per 40 MB.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdlib>
#include <new>
#include <string>

namespace tarvex::platform {

template <typename T>
class LargeAllocator {
 public:
  using value_type = T;

  LargeAllocator() = default;
  template <typename U>
  LargeAllocator(const LargeAllocator<U>&) noexcept {}

  T* allocate(std::size_t count) {
    if (count > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    const std::size_t bytes = count * sizeof(T);
    void* memory = nullptr;
    if (bytes >= kLarge) {
      const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
      memory = std::aligned_alloc(kHugePage, rounded);
      // Only a hint: without huge pages the buffer works the same, only slower to fill.
      if (memory != nullptr) madvise(memory, rounded, MADV_HUGEPAGE);
    } else {
      memory = std::malloc(bytes == 0 ? 1 : bytes);
    }
    if (memory == nullptr) throw std::bad_alloc();
    return static_cast<T*>(memory);
  }

  void deallocate(T* memory, std::size_t) noexcept { std::free(memory); }

  template <typename U>
  bool operator==(const LargeAllocator<U>&) const noexcept {
    return true;
  }

 private:
  static constexpr std::size_t kHugePage = std::size_t{2} << 20;
  static constexpr std::size_t kLarge = std::size_t{4} << 20;
};

// Text of many megabytes, such as a sheet part.
using LargeText = std::basic_string<char, std::char_traits<char>, LargeAllocator<char>>;

}  // namespace tarvex::platform
