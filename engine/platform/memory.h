// Movable memory blocks: handle-based bulk storage for terrains, meshes, plants,
// noise tables and pictures. A block is pinned by GlobalLock (locks nest) and its
// address is only valid while locked. A failed allocation yields a null handle.
#pragma once

#include <cstddef>

struct MemoryBlock;
typedef MemoryBlock* HGLOBAL;

// Allocation flags (the values of the interface they stand in for).
constexpr unsigned GMEM_FIXED = 0x0000;
constexpr unsigned GMEM_MOVEABLE = 0x0002;
constexpr unsigned GMEM_ZEROINIT = 0x0040;
constexpr unsigned GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;

// A new block of `bytes` bytes (zero-filled with GMEM_ZEROINIT), or null.
HGLOBAL GlobalAlloc(unsigned flags, size_t bytes);
// Pins the block and returns its address; null for a null handle. Locks nest.
void* GlobalLock(HGLOBAL block);
// Releases one lock; returns true while the block is still locked.
bool GlobalUnlock(HGLOBAL block);
// Resizes the block, keeping its contents (new bytes zero-filled with GMEM_ZEROINIT).
// Returns the handle, or null on failure, in which case the old block is untouched.
HGLOBAL GlobalReAlloc(HGLOBAL block, size_t bytes, unsigned flags);
// Frees the block; returns null. Freeing a null handle does nothing.
HGLOBAL GlobalFree(HGLOBAL block);
// The block's size in bytes; 0 for a null handle.
size_t GlobalSize(HGLOBAL block);
// The number of locks currently held on the block.
unsigned GlobalLockCount(HGLOBAL block);

// Makes the allocation (or reallocation) after `successes` successful ones fail, so that
// out-of-memory paths can be exercised. A negative value turns the failure off.
void SetAllocationFailureAfter(long successes);
