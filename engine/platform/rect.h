// A rectangle of a drawing surface in pixels: left and top inclusive, right and bottom
// exclusive, y growing downwards, as the surfaces of device_context.h count them.
#pragma once

#include <cstdint>

#pragma pack(push, 1)

struct TRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;

  TRect() = default;
  TRect(int32_t l, int32_t t, int32_t r, int32_t b) : left(l), top(t), right(r), bottom(b) {}

  // In 64 bits: the sides of a rectangle spanning the whole 32-bit range do not overflow.
  int64_t Width() const { return int64_t(right) - left; }
  int64_t Height() const { return int64_t(bottom) - top; }
  bool operator==(const TRect& r) const {
    return left == r.left && top == r.top && right == r.right && bottom == r.bottom;
  }
};

#pragma pack(pop)

static_assert(sizeof(TRect) == 16);
