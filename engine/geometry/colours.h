// Colour records: 8-bit colours stored blue, green, red (CLR), colour-table keys
// (VALCLR) and accumulated colours of three 16-bit channels red, green, blue (CLRINT).
#pragma once

#include <cstdint>

#pragma pack(push, 1)

struct CLR {
  uint8_t b, g, r;

  CLR() : b(0), g(0), r(0) {}
  CLR(uint8_t blue, uint8_t green, uint8_t red) : b(blue), g(green), r(red) {}

  bool operator==(const CLR& c) const { return b == c.b && g == c.g && r == c.r; }
};

// A key of a colour table: a position (0..10000 standing for 0..1) and its colour.
struct VALCLR {
  int16_t pos;
  CLR clr;

  VALCLR() : pos(0) {}
  VALCLR(int16_t position, const CLR& colour) : pos(position), clr(colour) {}

  bool operator==(const VALCLR& v) const { return clr == v.clr && pos == v.pos; }
};

// An accumulated colour: 255 is full intensity, larger values are allowed.
struct CLRINT {
  uint16_t r, g, b;

  CLRINT() : r(0), g(0), b(0) {}
  CLRINT(uint16_t red, uint16_t green, uint16_t blue) : r(red), g(green), b(blue) {}
  // Converting reverses the channel order: the CLR's last byte is red.
  explicit CLRINT(const CLR& c) : r(c.r), g(c.g), b(c.b) {}

  bool operator==(const CLRINT& c) const { return r == c.r && g == c.g && b == c.b; }
};

#pragma pack(pop)

static_assert(sizeof(CLR) == 3);
static_assert(sizeof(VALCLR) == 5);
static_assert(sizeof(CLRINT) == 6);

// Colour values computed in floating point become integers only through these two: they
// truncate towards zero, saturate at the ends of the range and give the low end for NaN,
// so that no value, however degenerate (a huge light, a zero divided by zero), converts
// with undefined behaviour.
inline int ToIntInRange(double v, int lo, int hi) {
  if (!(v > lo))
    return lo;
  if (!(v < hi))
    return hi;
  return static_cast<int>(v);
}

// One channel of a CLRINT: 0..65535.
inline uint16_t ToChannel(double v) { return static_cast<uint16_t>(ToIntInRange(v, 0, 65535)); }
