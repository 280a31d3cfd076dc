// The read-only view of a terrain's altitude grid and pyramid that every query works on,
// the ray as a line in the grid frame, and the tolerances that the cell tests and the walk
// share. Internal to the terrain's files.
#pragma once

#include "engine/terrain/terrain.h"

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

// False for a terrain without blocks or without data points: it has no surface.
bool MakeGrid(const Terrain* terrain, TerrainGrid& g);

// A line in the grid frame with a unit direction.
struct Line {
  VECTEUR o, d;
  VECTEUR At(double t) const { return o + d * t; }
};

}  // namespace terrain_detail
