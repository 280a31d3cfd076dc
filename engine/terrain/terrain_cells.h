// The surface over one cell: the two flat triangles with their smoothed shading normal,
// or the cubic surface of smooth mode. Internal to the terrain's files.
#pragma once

#include "engine/terrain/terrain_grid.h"

namespace terrain_detail {

// The nearest hit, in (tmin + 1e-5, tmax), of the line with the surface over cell (i, j);
// none outside the grid's data cells. `crossing` (smooth mode) < 0 takes only crossings
// into the solid, > 0 only crossings out of it, 0 both.
bool CellHit(const TerrainGrid& g, const Line& r, int i, int j, double tmin, double tmax, double& t, VECTEUR& point,
             VECTEUR& normal, int crossing = 0);

// Surface height in local units at grid position (x, y), clamped onto the data, or the
// floor where the probe finds nothing.
double ProbeHeight(const TerrainGrid& g, double x, double y);

// Whether z lies at or below (at or above) all four corner heights of cell (i, j).
bool BelowAllCorners(const TerrainGrid& g, int i, int j, double z);
bool AboveAllCorners(const TerrainGrid& g, int i, int j, double z);

// -1 when p lies below the smooth surface's interpolated height over cell (i, j), else 1.
int SmoothSideOf(const TerrainGrid& g, int i, int j, const VECTEUR& p);

}  // namespace terrain_detail
