#include "engine/platform/large_memory.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace {

constexpr size_t HugePageBytes = size_t{2} << 20;

// Under AddressSanitizer every block comes from the heap, where overruns are caught.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool Mapped = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool Mapped = false;
#else
constexpr bool Mapped = true;
#endif
#else
constexpr bool Mapped = true;
#endif

bool IsMapped(size_t bytes) { return Mapped && bytes >= LargeBlockBytes; }

size_t MappedLength(size_t bytes) { return (bytes + HugePageBytes - 1) / HugePageBytes * HugePageBytes; }

}  // namespace

void* AllocateLarge(size_t bytes) {
  if (!IsMapped(bytes))
    return std::calloc(bytes ? bytes : 1, 1);
  if (bytes > SIZE_MAX - 2 * HugePageBytes)
    return nullptr;
  // One huge page more than needed, so that an aligned start lies inside; the ends
  // around it are given back at once.
  const size_t length = MappedLength(bytes);
  void* mapped = mmap(nullptr, length + HugePageBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED)
    return nullptr;
  char* raw = static_cast<char*>(mapped);
  char* start = reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(raw) + HugePageBytes - 1) & ~(HugePageBytes - 1));
  if (start > raw)
    munmap(raw, static_cast<size_t>(start - raw));
  const size_t tail = static_cast<size_t>(raw + length + HugePageBytes - (start + length));
  if (tail > 0)
    munmap(start + length, tail);
  // Advice only: without it (or without huge pages) the block works the same.
  madvise(start, length, MADV_HUGEPAGE);
  return start;
}

void FreeLarge(void* data, size_t bytes) {
  if (!data)
    return;
  if (IsMapped(bytes))
    munmap(data, MappedLength(bytes));
  else
    std::free(data);
}
