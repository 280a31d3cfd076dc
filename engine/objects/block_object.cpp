#include "engine/objects/block_object.h"

#include <cstring>

BlockObject::~BlockObject() { FreeBlock(); }

void BlockObject::FreeBlock() {
  if (!handle)
    return;
  GlobalUnlock(handle);
  handle = GlobalFree(handle);
}

BlockObject& BlockObject::operator=(const BlockObject& src) {
  if (this == &src)
    return *this;
  FreeBlock();
  if (!src.handle)
    return *this;
  const size_t bytes = GlobalSize(src.handle);
  HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (!copy)
    return *this;
  void* to = GlobalLock(copy);
  const void* from = GlobalLock(src.handle);
  if (to && from && bytes)
    std::memcpy(to, from, bytes);
  GlobalUnlock(src.handle);
  GlobalUnlock(copy);
  handle = copy;
  return *this;
}
