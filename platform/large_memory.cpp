#include "platform/large_memory.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <new>

namespace tarvex::platform {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t RoundedUp(std::size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

}  // namespace

void AdviseHugePages(const void* data, std::size_t size) {
  const auto address = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t begin = (address + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t end = (address + size) & ~(kHugePage - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

void* AllocateLarge(std::size_t bytes) {
  if (bytes < kHugePage) return ::operator new(bytes);
  if (bytes > RoundedUp(bytes)) throw std::bad_alloc();  // the rounding overflowed
  void* memory = std::aligned_alloc(kHugePage, RoundedUp(bytes));
  if (memory == nullptr) throw std::bad_alloc();
  // Only advice: where the system has no huge pages the memory works as usual.
  madvise(memory, RoundedUp(bytes), MADV_HUGEPAGE);
  return memory;
}

void FreeLarge(void* memory, std::size_t bytes) {
  if (bytes < kHugePage) {
    ::operator delete(memory);
  } else {
    std::free(memory);
  }
}

}  // namespace tarvex::platform
