// BlockObject: the base of objects that keep bulk data in one movable memory block
// (the terrain's altitude grid).
#pragma once

#include <cstdint>

#include "engine/platform/memory.h"

class BlockObject {
 public:
  HGLOBAL handle = nullptr;
  uint32_t reserved = 0;  // a second word, unused

  BlockObject() = default;
  BlockObject(const BlockObject&) = delete;
  // Unlocks and frees the block.
  ~BlockObject();
  // Frees the own block and takes a copy of the source's block, so that each record
  // owns its own block and neither frees the other's. The copy starts unlocked; when it
  // cannot be allocated the handle stays null.
  BlockObject& operator=(const BlockObject& src);

 protected:
  // Unlocks and frees the own block; the handle becomes null.
  void FreeBlock();
};
