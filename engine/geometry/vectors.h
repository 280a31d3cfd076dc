// Double-precision positions, directions and normals (VECTEUR) and the single-precision
// vectors of stored geometry (VECFLOAT), with their arithmetic. Records are byte-packed:
// their layout is shared with the host.
#pragma once

#include <cmath>

#pragma pack(push, 1)

struct VECTEUR {
  double x, y, z;

  VECTEUR() : x(0), y(0), z(0) {}
  VECTEUR(double x_, double y_, double z_) : x(x_), y(y_), z(z_) {}

  bool operator==(const VECTEUR& v) const { return x == v.x && y == v.y && z == v.z; }

  VECTEUR operator+(const VECTEUR& v) const { return VECTEUR(x + v.x, y + v.y, z + v.z); }
  VECTEUR operator-(const VECTEUR& v) const { return VECTEUR(x - v.x, y - v.y, z - v.z); }
  VECTEUR operator-() const { return VECTEUR(-x, -y, -z); }
  VECTEUR operator*(double s) const { return VECTEUR(x * s, y * s, z * s); }
  VECTEUR& operator+=(const VECTEUR& v) {
    x += v.x;
    y += v.y;
    z += v.z;
    return *this;
  }
  VECTEUR& operator-=(const VECTEUR& v) {
    x -= v.x;
    y -= v.y;
    z -= v.z;
    return *this;
  }
  VECTEUR& operator*=(double s) {
    x *= s;
    y *= s;
    z *= s;
    return *this;
  }
};

struct VECFLOAT {
  float x, y, z;

  VECFLOAT() : x(0), y(0), z(0) {}
  VECFLOAT(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

  bool operator==(const VECFLOAT& v) const { return x == v.x && y == v.y && z == v.z; }
  // Lexicographic: x decides, then y, then z.
  bool operator<(const VECFLOAT& v) const {
    if (x != v.x)
      return x < v.x;
    if (y != v.y)
      return y < v.y;
    return z < v.z;
  }
};

#pragma pack(pop)

static_assert(sizeof(VECTEUR) == 24);
static_assert(sizeof(VECFLOAT) == 12);

inline VECTEUR operator*(double s, const VECTEUR& v) { return v * s; }

inline double Dot(const VECTEUR& a, const VECTEUR& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

inline VECTEUR Cross(const VECTEUR& a, const VECTEUR& b) {
  return VECTEUR(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

inline double Length(const VECTEUR& v) { return std::sqrt(Dot(v, v)); }

// The reciprocal of the length, or 1.0 for a zero vector, so that normalising a zero
// vector leaves it zero instead of dividing by zero.
inline double NormalisingFactor(const VECTEUR& v) {
  double len = Length(v);
  return len == 0.0 ? 1.0 : 1.0 / len;
}

inline VECTEUR Normalised(const VECTEUR& v) { return v * NormalisingFactor(v); }

inline void Normalise(VECTEUR& v) { v *= NormalisingFactor(v); }

inline VECTEUR ToVecteur(const VECFLOAT& v) { return VECTEUR(v.x, v.y, v.z); }
