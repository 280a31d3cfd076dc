// FiltreNumerique: a filter curve mapping a position 0..10000 to a value in [0, 1],
// either linearly between keys or by one cubic per segment, and its key records.
#pragma once

#include <cstdint>

#include "engine/functions/key_array.h"

#pragma pack(push, 1)

// A key of the linear mode: position and value, both 0..10000.
struct FLTR {
  int16_t pos = 0;
  int16_t val = 0;

  FLTR() = default;
  FLTR(int16_t position, int16_t value) : pos(position), val(value) {}
  FLTR(const FLTR& f) = default;
  bool operator==(const FLTR& f) const { return pos == f.pos && val == f.val; }
  FLTR& operator=(const FLTR& f) = default;
};

// The host's editable form of a smooth segment; stored, copied and compared only.
// A Status of -1 means the record is not set.
struct FLLISIBLE {
  int16_t Status = -1;
  int16_t Word1 = 0;
  int16_t Word2 = 0;
  int16_t Word3 = 0;
  float Real1 = 0.0f;
  float Real2 = 0.0f;
  uint8_t Flag = 0;

  FLLISIBLE() = default;
  FLLISIBLE(const FLLISIBLE& f) = default;
  // Equal when both are not set; otherwise Word1, Word3 and Flag equal and the two reals
  // within 1e-8 (Status and Word2 are not compared).
  bool operator==(const FLLISIBLE& f) const;
  FLLISIBLE& operator=(const FLLISIBLE& f) = default;
};

// A key with a float value; stored and copied, neither evaluated nor compared.
struct FLTRFLT {
  int16_t pos = 0;
  float val = 0.0f;

  FLTRFLT() = default;
  FLTRFLT(int16_t position, float value) : pos(position), val(value) {}
  FLTRFLT(const FLTRFLT& f) = default;
  bool operator==(const FLTRFLT& f) const { return pos == f.pos && val == f.val; }
  FLTRFLT& operator=(const FLTRFLT& f) = default;
};

// A segment of the smooth mode ending at `pos`: A·t³ + B·t² + C·t + D with t measured
// from the segment's end in units of 1/10000 (zero or negative inside the segment).
struct FLTRLISSE {
  int16_t pos = 10000;
  float A = 0.0f, B = 0.0f, C = 1.0f, D = 0.0f;

  FLTRLISSE() = default;
  FLTRLISSE(int16_t end, float a, float b, float c, float d) : pos(end), A(a), B(b), C(c), D(d) {}
  FLTRLISSE(const FLTRLISSE& f) = default;
  bool operator==(const FLTRLISSE& f) const { return pos == f.pos && A == f.A && B == f.B && C == f.C && D == f.D; }
  FLTRLISSE& operator=(const FLTRLISSE& f) = default;
};

// One filter key: the four forms of the key, in this order.
struct FILTRE {
  FLTR Linear{10000, 10000};
  FLLISIBLE Editable;
  FLTRFLT FloatKey;
  FLTRLISSE SmoothSegment;

  FILTRE() = default;
  FILTRE(const FILTRE& f) = default;
  // The linear and smooth forms decide; the editable and float forms are not compared.
  bool operator==(const FILTRE& f) const { return Linear == f.Linear && SmoothSegment == f.SmoothSegment; }
  FILTRE& operator=(const FILTRE& f) = default;
};

class FiltreNumerique {
 public:
  KeyArray<FILTRE> Keys;     // ascending positions
  bool Smooth = false;       // false: linear between FLTR keys; true: cubic FLTRLISSE segments
  bool Bypass = true;        // callers skip the filter when set
  bool FilterFlag3 = false;  // stored, copied and compared only

  // One default key (the identity ramp), bypassed.
  FiltreNumerique();

  void RAZ();
  // The three flags equal and every key equal to its counterpart, in order.
  bool operator==(const FiltreNumerique& other) const;
};

#pragma pack(pop)

static_assert(sizeof(FLTR) == 4);
static_assert(sizeof(FLLISIBLE) == 17);
static_assert(sizeof(FLTRFLT) == 6);
static_assert(sizeof(FLTRLISSE) == 18);
static_assert(sizeof(FILTRE) == 45);

// Value of `filter` at `position` (0..10000), normally in [0, 1]. Linear mode does not
// clamp; smooth mode clamps to [0, 1]. Beyond the last key the last key's value is given
// (the linear value, or the end value D of the last smooth segment); an empty filter gives 0.
float ExtraireFiltre(float position, const FiltreNumerique* filter);
