// The surface over one cell: the two flat triangles with their smoothed shading normal,
// or the cubic surface of smooth mode. Internal to the terrain's files.
#pragma once

#include <algorithm>
#include <utility>

#include "engine/terrain/terrain_grid.h"

namespace terrain_detail {

// The nearest hit, in (tmin + 1e-5, tmax), of the line with the surface over cell (i, j);
// none outside the grid's data cells. `crossing` (smooth mode) < 0 takes only crossings
// into the solid, > 0 only crossings out of it, 0 both.
bool CellHit(const TerrainGrid& g, const Line& r, int i, int j, double tmin, double tmax, double& t, VECTEUR& point,
             VECTEUR& normal, int crossing = 0);

// Surface height in local units at grid position (x, y): a vertical probe through the
// cell holding it; the floor outside the data cells.
double SurfaceHeight(const TerrainGrid& g, double x, double y);

// Whether z lies at or below (at or above) all four corner heights of cell (i, j).
bool BelowAllCorners(const TerrainGrid& g, int i, int j, double z);
bool AboveAllCorners(const TerrainGrid& g, int i, int j, double z);

// -1 when p lies below the smooth surface's interpolated height over cell (i, j), else 1.
int SmoothSideOf(const TerrainGrid& g, int i, int j, const VECTEUR& p);

// Flat mode, from outside: whether the line passes above the highest corner of cell
// (i, j) over the whole cell, widened well past the triangles' edge tolerance, with a
// margin above the most a triangle's plane rises within that tolerance. Then neither
// triangle can be met and the line has not sunk below the corners: the cell's tests would
// find nothing. inv holds the reciprocals of the direction's x and y (1e8 for 0).
constexpr double CellWiden = 0.001;

// The height that the line's lowest point over the widened cell (i, j) must exceed.
[[gnu::always_inline]] inline double CellClearance(const TerrainGrid& g, int i, int j) {
  const double h00 = g.A(i, j), h10 = g.A(i + 1, j), h01 = g.A(i, j + 1), h11 = g.A(i + 1, j + 1);
  const double high = std::max(std::max(h00, h10), std::max(h01, h11));
  const double low = std::min(std::min(h00, h10), std::min(h01, h11));
  return AltitudeStep * (high + (high - low) * 1e-3) + 1e-6;
}

[[gnu::always_inline]] inline bool LinePassesAboveCell(const TerrainGrid& g, const Line& r, const double inv[2], int i,
                                                       int j) {
  double x0 = (i - CellWiden - r.o.x) * inv[0], x1 = (i + 1 + CellWiden - r.o.x) * inv[0];
  double y0 = (j - CellWiden - r.o.y) * inv[1], y1 = (j + 1 + CellWiden - r.o.y) * inv[1];
  if (x0 > x1)
    std::swap(x0, x1);
  if (y0 > y1)
    std::swap(y0, y1);
  // The line's lowest point over the widened cell: where it leaves a falling line, where it
  // enters a rising one.
  const double lowest = r.o.z + r.d.z * (r.d.z < 0.0 ? std::min(x1, y1) : std::max(x0, y0));
  return lowest > CellClearance(g, i, j);
}

}  // namespace terrain_detail
