// The walk of a ray through the pyramid's records and the cells they hold, in ray order,
// for the nearest hit and for all surface crossings. Internal to the terrain's files.
#pragma once

#include "engine/terrain/terrain_grid.h"

namespace terrain_detail {

enum class CellResult { Continue, Hit, Stop };

// FindAllIntersections: toggles between outside and inside at every surface crossing.
struct IntervalVisitor {
  const TerrainGrid& g;
  const Line& r;
  BasicObject* object;
  TIntervalList* list;
  double tmax;   // the box exit, from the walk's origin
  double entry;  // the walk's origin, from the moved-back origin
  double inv;    // world units per grid-frame unit
  bool inside;
  bool skipCellsAbove = false;  // every crossing counts
  double last = 0.0;            // the previous crossing
  TInterval open;

  double World(double t) const { return (t + entry) * inv - 100000.0; }

  CellResult Cell(int i, int j, double, const VECTEUR&);
};

// The nearest hit of a line from outside the surface (or, with `inside`, from below it,
// leaving through a side wall when the surface is not met), from t = 0 to limit: sets
// point, normal and t.
bool NearestInGrid(const TerrainGrid& g, const Line& line, bool inside, VECTEUR& point, VECTEUR& normal, double& t,
                   double limit);

// Walks the line from its origin to tEnd, handing every cell it visits to the visitor.
void WalkIntervals(const TerrainGrid& g, const Line& line, double tEnd, IntervalVisitor& visitor);

}  // namespace terrain_detail
