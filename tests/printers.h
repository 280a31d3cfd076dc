// How gtest prints the engine's small records when an equality check fails, so that the
// message shows both values instead of their bytes. Each printer copies its fields into
// locals first: the records are byte-packed.
#pragma once

#include <ostream>

#include "engine/functions/filter.h"
#include "engine/geometry/colours.h"
#include "engine/geometry/matrix.h"
#include "engine/geometry/vectors.h"

inline void PrintTo(const VECTEUR& v, std::ostream* os) {
  const double x = v.x, y = v.y, z = v.z;
  *os << "VECTEUR(" << x << ", " << y << ", " << z << ")";
}

inline void PrintTo(const VECFLOAT& v, std::ostream* os) {
  const float x = v.x, y = v.y, z = v.z;
  *os << "VECFLOAT(" << x << ", " << y << ", " << z << ")";
}

inline void PrintTo(const CLR& c, std::ostream* os) {
  *os << "CLR(r " << int(c.r) << ", g " << int(c.g) << ", b " << int(c.b) << ")";
}

inline void PrintTo(const CLRINT& c, std::ostream* os) {
  const unsigned r = c.r, g = c.g, b = c.b;
  *os << "CLRINT(" << r << ", " << g << ", " << b << ")";
}

inline void PrintTo(const VALCLR& v, std::ostream* os) {
  const int pos = v.pos;
  *os << "VALCLR(" << pos << ", ";
  PrintTo(v.clr, os);
  *os << ")";
}

inline void PrintTo(const Matrix& m, std::ostream* os) {
  *os << "Matrix{";
  for (int i = 0; i < 3; i++) {
    *os << (i ? "; " : "");
    for (int j = 0; j < 3; j++) {
      const float e = m.m[i][j];
      *os << (j ? " " : "") << e;
    }
  }
  *os << "}";
}

inline void PrintTo(const FLTR& f, std::ostream* os) {
  const int pos = f.pos, val = f.val;
  *os << "FLTR(" << pos << ", " << val << ")";
}

inline void PrintTo(const FLTRFLT& f, std::ostream* os) {
  const int pos = f.pos;
  const float val = f.val;
  *os << "FLTRFLT(" << pos << ", " << val << ")";
}

inline void PrintTo(const FLTRLISSE& f, std::ostream* os) {
  const int pos = f.pos;
  const double a = f.A, b = f.B, c = f.C, d = f.D;
  *os << "FLTRLISSE(" << pos << ", " << a << ", " << b << ", " << c << ", " << d << ")";
}
