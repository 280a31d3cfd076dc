// The read-only view of a terrain's altitude grid and pyramid that every query works on,
// the ray as a line in the grid frame, and the tolerances that the cell tests and the walk
// share. Internal to the terrain's files.
#pragma once

#include "engine/terrain/terrain.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace terrain_detail {

// Hits nearer than this are ignored.
constexpr double HitEpsilon = 1e-5;
// How far a walk step goes past a boundary, so that the next position lies in the next
// cell or record.
constexpr double StepPast = 0.0001;
// Tolerance of the flat triangles' edges.
constexpr double EdgeTolerance = 0.0001;
// A ray whose horizontal direction is shorter than this crosses a smooth cell as a
// vertical line.
constexpr double VerticalTolerance = 1e-7;

// Normalises with the reciprocal length taken in single precision; a zero vector stays.
inline VECTEUR NormalisedSingle(const VECTEUR& v) {
  const float length = static_cast<float>(Length(v));
  if (length == 0.0f)
    return v;
  return v * static_cast<double>(1.0f / length);
}

// Two NormalisedSingle at once, with the same operations on each lane, so the same bits.
inline void NormalisedSinglePair(VECTEUR& a, VECTEUR& b) {
#ifdef __SSE2__
  const __m128d x = _mm_set_pd(b.x, a.x), y = _mm_set_pd(b.y, a.y), z = _mm_set_pd(b.z, a.z);
  const __m128d dot = _mm_add_pd(_mm_add_pd(_mm_mul_pd(x, x), _mm_mul_pd(y, y)), _mm_mul_pd(z, z));
  const __m128 length = _mm_cvtpd_ps(_mm_sqrt_pd(dot));  // the upper two lanes are 0
  const __m128 lower = _mm_movelh_ps(length, length);
  if (_mm_movemask_ps(_mm_cmpeq_ps(lower, _mm_setzero_ps())) != 0) {
    a = NormalisedSingle(a);
    b = NormalisedSingle(b);
    return;
  }
  const __m128d scale = _mm_cvtps_pd(_mm_div_ps(_mm_set1_ps(1.0f), lower));
  alignas(16) double xs[2], ys[2], zs[2];
  _mm_store_pd(xs, _mm_mul_pd(x, scale));
  _mm_store_pd(ys, _mm_mul_pd(y, scale));
  _mm_store_pd(zs, _mm_mul_pd(z, scale));
  a = VECTEUR(xs[0], ys[0], zs[0]);
  b = VECTEUR(xs[1], ys[1], zs[1]);
#else
  a = NormalisedSingle(a);
  b = NormalisedSingle(b);
#endif
}

// Truncation toward zero of a value known to lie well inside the int range.
inline int Trunc(double v) { return static_cast<int>(v); }

// Read-only view of a terrain's grid and pyramid, shared by every query.
struct TerrainGrid {
  const int16_t* alt;
  int stride;
  int width, height;
  const ClusterBound* level1;
  int n1x, n1y;
  const ClusterBound* level2;
  int n2x, n2y;
  const ClusterBound* level3;
  int n3x, n3y;
  bool smooth;
  double minZ;  // minAltitude in local units
  double maxZ;  // maxAltitude in local units: at or above every record's highest point

  double A(int x, int y) const { return alt[(y + 1) * stride + x + 1]; }
};

// False for a terrain without blocks or without data points: it has no surface. Inline:
// every ray query starts with it.
inline bool MakeGrid(const Terrain* terrain, TerrainGrid& g) {
  if (!terrain->altitudes || !terrain->clusters || terrain->width == 0 || terrain->height == 0)
    return false;
  g.alt = terrain->altitudes;
  g.stride = terrain->width + 3;
  g.width = terrain->width;
  g.height = terrain->height;
  g.level1 = terrain->Level1();
  g.n1x = terrain->Level1Width();
  g.n1y = terrain->Level1Height();
  g.level2 = terrain->Level2();
  g.n2x = terrain->Level2Width();
  g.n2y = terrain->Level2Height();
  g.level3 = terrain->Level3();
  g.n3x = terrain->Level3Width();
  g.n3y = terrain->Level3Height();
  g.smooth = terrain->smoothSurface != 0;
  g.minZ = terrain->minAltitude * AltitudeStep;
  g.maxZ = terrain->maxAltitude * AltitudeStep;
  return true;
}

// A line in the grid frame with a unit direction.
struct Line {
  VECTEUR o, d;
  VECTEUR At(double t) const { return o + d * t; }
};

}  // namespace terrain_detail
