// Memory for large buffers (pictures, height maps, terrain grids). The first write to
// every 4 KiB page of fresh memory traps into the kernel, which costs 10 to 30 µs on a
// virtual machine: tens of milliseconds for a picture, spent before rendering starts. So
// blocks of LargeBlockBytes and more are mapped apart, aligned to 2 MiB and advised to
// use 2 MiB pages, one trap for 512 of the small ones (where the system does not grant
// them, they are ordinary pages). From a quarter of a huge page up the trap saved is
// worth the memory left unused (a terrain's pyramid of 0.5 MiB took 2 ms of traps).
// Smaller blocks come from the heap. Either way the memory starts zero-filled.
#pragma once

#include <cstddef>
#include <new>

constexpr size_t LargeBlockBytes = size_t{256} << 10;

// `bytes` zero-filled bytes, or null when the memory is not there.
void* AllocateLarge(size_t bytes);
// Gives back a block from AllocateLarge of the same `bytes`; null does nothing.
void FreeLarge(void* data, size_t bytes);

// The allocator of containers that may grow large (std::vector<T, LargeAllocator<T>>).
template <class T>
struct LargeAllocator {
  using value_type = T;
  LargeAllocator() = default;
  template <class U>
  LargeAllocator(const LargeAllocator<U>&) {}
  T* allocate(size_t n) {
    if (n > static_cast<size_t>(-1) / sizeof(T))
      throw std::bad_array_new_length();
    void* data = AllocateLarge(n * sizeof(T));
    if (!data)
      throw std::bad_alloc();
    return static_cast<T*>(data);
  }
  void deallocate(T* data, size_t n) { FreeLarge(data, n * sizeof(T)); }
  template <class U>
  bool operator==(const LargeAllocator<U>&) const {
    return true;
  }
};

// A block of AllocateLarge memory owned for a scope (a decoder's working buffer): no
// element-wise fill or copy as a container would make. `data` is null when the memory
// is not there.
class LargeBuffer {
 public:
  explicit LargeBuffer(size_t bytes) : data(static_cast<unsigned char*>(AllocateLarge(bytes))), size(bytes) {}
  ~LargeBuffer() { FreeLarge(data, size); }
  LargeBuffer(const LargeBuffer&) = delete;
  LargeBuffer& operator=(const LargeBuffer&) = delete;

  unsigned char* const data;
  const size_t size;
};
