#include "engine/platform/memory.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/platform/large_memory.h"

// The lock count is atomic: render threads pin the same picture blocks at once.
struct MemoryBlock {
  void* data;
  size_t size;
  std::atomic<unsigned> locks;
};

namespace {

std::atomic<long> allocationsBeforeFailure{-1};

// Consumes one allocation from the failure countdown; true when this one must fail.
bool InjectedFailure() {
  long n = allocationsBeforeFailure.load();
  while (n >= 0) {
    if (allocationsBeforeFailure.compare_exchange_weak(n, n == 0 ? -1 : n - 1))
      return n == 0;
  }
  return false;
}

}  // namespace

void SetAllocationFailureAfter(long successes) { allocationsBeforeFailure = successes < 0 ? -1 : successes; }

HGLOBAL GlobalAlloc(unsigned flags, size_t bytes) {
  if (InjectedFailure())
    return nullptr;
  // One byte at least, so that an empty block still has an address to lock. Large
  // blocks (terrain grids, pictures) are mapped apart, and always zero-filled.
  void* data = bytes >= LargeBlockBytes  ? AllocateLarge(bytes)
               : (flags & GMEM_ZEROINIT) ? std::calloc(bytes ? bytes : 1, 1)
                                         : std::malloc(bytes ? bytes : 1);
  if (!data)
    return nullptr;
  MemoryBlock* block = new (std::nothrow) MemoryBlock{data, bytes, 0};
  if (!block)
    FreeLarge(data, bytes);
  return block;
}

void* GlobalLock(HGLOBAL block) {
  if (!block)
    return nullptr;
  ++block->locks;
  return block->data;
}

bool GlobalUnlock(HGLOBAL block) {
  if (!block)
    return false;
  unsigned locks = block->locks.load();
  while (locks > 0 && !block->locks.compare_exchange_weak(locks, locks - 1)) {
  }
  return locks > 1;
}

HGLOBAL GlobalReAlloc(HGLOBAL block, size_t bytes, unsigned flags) {
  if (!block || InjectedFailure())
    return nullptr;
  void* data;
  if (bytes >= LargeBlockBytes || block->size >= LargeBlockBytes) {
    // To or from a mapped block: a new block (zero-filled), the contents copied over.
    data = AllocateLarge(bytes);
    if (!data)
      return nullptr;
    std::memcpy(data, block->data, std::min(bytes, block->size));
    FreeLarge(block->data, block->size);
  } else {
    data = std::realloc(block->data, bytes ? bytes : 1);
    if (!data)
      return nullptr;
    if ((flags & GMEM_ZEROINIT) && bytes > block->size)
      std::memset(static_cast<char*>(data) + block->size, 0, bytes - block->size);
  }
  block->data = data;
  block->size = bytes;
  return block;
}

HGLOBAL GlobalFree(HGLOBAL block) {
  if (block) {
    FreeLarge(block->data, block->size);
    delete block;
  }
  return nullptr;
}

size_t GlobalSize(HGLOBAL block) { return block ? block->size : 0; }

unsigned GlobalLockCount(HGLOBAL block) { return block ? block->locks.load() : 0u; }
