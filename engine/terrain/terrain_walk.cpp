// The walk through the pyramid: level-3 records, the level-2 records inside those that may
// hold the surface, the level-1 records inside those, and their cells, for the nearest hit
// (inter, interInside) and for all crossings (FindAllIntersections).
#include "engine/terrain/terrain_walk.h"

#include <algorithm>
#include <cmath>

#include "engine/terrain/terrain_cells.h"

namespace terrain_detail {

namespace {

// Cells and level-2 records visited by this thread's walks; per thread, so that counting
// writes nothing shared. Initial-exec: read without a call into the dynamic linker, and
// sixteen bytes fit the static room a library loaded later still finds.
[[gnu::tls_model("initial-exec")]] thread_local unsigned long long cellsVisited = 0;
[[gnu::tls_model("initial-exec")]] thread_local unsigned long long recordsVisited = 0;

// A walk's counts, added to the thread's once when the walk ends rather than at each step.
struct WalkCounts {
  unsigned long long cells = 0, records = 0;
  ~WalkCounts() {
    cellsVisited += cells;
    recordsVisited += records;
  }
};

// The exits of one level's record, kept for the record the walk expects to be in at its
// next step there: the neighbour across the boundary it last left by. A step then need not
// wait for the record indices of the line's new point, which only confirm the expectation
// (and replace it when it was wrong). The exits are distances along the line from its
// origin, not from the current point, so that a step does not wait for the last one's
// position either.
struct ExitPlanes {
  int cx = 0, cy = 0;
  double tx = 0.0, ty = 0.0;  // the line's distance to just past the x and y exits
  bool known = false;
};

struct Walker {
  const TerrainGrid& g;
  Line r;
  double inv[2];      // reciprocal direction components (1e8 for a zero component)
  double step[2][4];  // per axis and level (cell, levels 1 to 3): how far past the boundary
  int ahead[2];       // per axis: the index change of the record entered across an exit
  double guard[2];    // per axis: how far along the line it moves twice StepPast
  double widen[2];    // per axis: how far along the line it moves CellWiden - StepPast

  Walker(const TerrainGrid& grid, const Line& line) : g(grid), r(line) {
    const double d[2] = {line.d.x, line.d.y};
    static constexpr double forward[4] = {1.0 + StepPast, 4.0 + StepPast, 16.0 + StepPast, 64.0 + StepPast};
    static constexpr double backward[4] = {-StepPast, -StepPast, -StepPast, -StepPast};
    for (int a = 0; a < 2; a++) {
      inv[a] = d[a] != 0.0 ? 1.0 / d[a] : 1e8;
      ahead[a] = d[a] >= 0.0 ? 1 : -1;
      std::copy_n(d[a] >= 0.0 ? forward : backward, 4, step[a]);
      guard[a] = 2.0 * StepPast * std::abs(inv[a]);
      widen[a] = (CellWiden - StepPast) * std::abs(inv[a]);
    }
  }

  // The line's distances to just past record column cx's x exit and row cy's y exit.
  double ExitX(int cx, int level, int shift) const { return ((cx << shift) + step[0][level] - r.o.x) * inv[0]; }
  double ExitY(int cy, int level, int shift) const { return ((cy << shift) + step[1][level] - r.o.y) * inv[1]; }

  // The line's distance to just past the exit of record (cx, cy) of the level (shift 0,
  // 2, 4 or 6): the nearer of the x and y exits. t itself when the line at t has already
  // left the record across either exit, as it has after a walk through the level below.
  // `planes` holds the level's expected record; it is left expecting the next one.
  double Boundary(ExitPlanes& planes, int cx, int cy, int level, int shift, double t) const {
    if (!planes.known || cx != planes.cx || cy != planes.cy) {
      planes.cx = cx;
      planes.cy = cy;
      planes.tx = ExitX(cx, level, shift);
      planes.ty = ExitY(cy, level, shift);
      planes.known = true;
    }
    return Advance(planes, level, shift, t);
  }

  // Boundary for the record the planes hold.
  [[gnu::always_inline]] double Advance(ExitPlanes& planes, int level, int shift, double t) const {
    if (planes.tx <= t || planes.ty <= t)
      return t;
    if (planes.tx <= planes.ty) {
      const double exit = planes.tx;
      planes.cx += ahead[0];
      planes.tx = ExitX(planes.cx, level, shift);
      return exit;
    }
    const double exit = planes.ty;
    planes.cy += ahead[1];
    planes.ty = ExitY(planes.cy, level, shift);
    return exit;
  }

  // The ray's distance to the grid's far side, or a non-positive value when it is
  // (nearly) past it.
  double GridExit() const {
    const double ex = r.d.x >= 0.0 ? (g.width - 0.001 - r.o.x) * inv[0] : -r.o.x * inv[0];
    const double ey = r.d.y >= 0.0 ? (g.height - 0.001 - r.o.y) * inv[1] : -r.o.y * inv[1];
    if (ex < 0.0)
      return ey < 0.0 ? std::max(ex, ey) : ey;
    if (ey < 0.0)
      return ex;
    return std::min(ex, ey);
  }

  // The record of the level holding (x, y); false outside the grid.
  bool Record(double x, double y, int shift, int nx, int ny, int& cx, int& cy) const {
    if (!(x > -1.0 && y > -1.0 && x < g.width + 2.0 && y < g.height + 2.0))
      return false;
    cx = Trunc(x) >> shift;
    cy = Trunc(y) >> shift;
    return cx < nx && cy < ny;
  }

  // Whether the record may hold a surface crossing, the line crossing it up to its exit
  // (as Boundary gives it): from outside, the line's lowest point there (where it enters
  // a rising line, where it leaves a falling one) is at or below the record's highest
  // point; from inside, its highest point at or above the record's lowest. z is the
  // line's height where it enters.
  bool Holds(const ClusterBound& rec, bool inside, double z, double exit) const {
    if (inside ? r.d.z > 0.0 : r.d.z < 0.0)
      z = r.o.z + r.d.z * exit;
    return inside ? z >= rec.minAltitude * AltitudeStep : z <= rec.maxAltitude * AltitudeStep;
  }

  // How a run of records passed over ends.
  enum class Pass { Holds, HandBack, Rose };

  // Passes over the records of one level that follow along the line from t (where the line
  // enters the record `planes` expects) while they cannot hold the surface, taking each from
  // the exit planes instead of converting the line's point to record indices. Holds: the
  // record at t, (hx, hy), may hold the surface; its exit is in `exit`. HandBack: the
  // general step, which confirms the record from the line's point, goes on from t; so at
  // `until`, outside the parent record (columns x0 to x1 and rows y0 to y1 of the level,
  // without the ends), and at a tie of the x and y exits, where the point may not be in the
  // record expected. Rose (only with `rise`): from outside, the line has risen above the
  // highest record. Each record passed over adds one to `passed` unless it is null.
  [[gnu::always_inline]] Pass PassOver(ExitPlanes& planes, const ClusterBound* records, int nx, int x0, int x1, int y0,
                                       int y1, int level, int shift, bool inside, bool rise, double until, double& t,
                                       double& exit, int& hx, int& hy, unsigned long long* passed) const {
    const unsigned wx = x1 - x0, wy = y1 - y0;
    for (;;) {
      const int cx = planes.cx, cy = planes.cy;
      if (!(t < until) || static_cast<unsigned>(cx - x0) >= wx || static_cast<unsigned>(cy - y0) >= wy)
        return Pass::HandBack;
      const double z = r.At(t).z;
      if (rise && !inside && r.d.z >= 0.0 && z > g.maxZ)
        return Pass::Rose;
      const double e = Advance(planes, level, shift, t);
      if (e <= t)
        return Pass::HandBack;
      if (passed)
        ++*passed;
      if (Holds(records[cy * nx + cx], inside, z, e)) {
        exit = e;
        hx = cx;
        hy = cy;
        return Pass::Holds;
      }
      t = e;
    }
  }

  // Walks level-2 records of the level-3 records that may hold the surface, level-1
  // records inside those that may, and the cells inside those, calling visitor.Cell in
  // ray order, from t until tEnd or limit; a visitor that asks for it is not called for
  // cells the line passes above. True when the visitor reported a hit.
  template <class Visitor>
  bool Walk(double& t, double tEnd, double limit, Visitor& visitor) const {
    WalkCounts counts;
    const double until = std::min(tEnd, limit);
    ExitPlanes planes[4];    // per level: the expected record's exits
    int c3x = -1, c3y = -1;  // the level-3 record being walked through
    while (t < tEnd && t < limit) {
      VECTEUR p = r.At(t);
      // From outside, a line that rises above the highest record can meet nothing more.
      if (!visitor.inside && r.d.z >= 0.0 && p.z > g.maxZ)
        return false;
      int cx, cy;
      if (!Record(p.x, p.y, 4, g.n2x, g.n2y, cx, cy))
        return false;
      if (cx >> 2 != c3x || cy >> 2 != c3y) {
        // A new level-3 record: passed over in one step when it cannot hold the surface,
        // and so are those that follow; one that may hold it goes back to the general step.
        const int qx = cx >> 2, qy = cy >> 2;
        double exit3 = Boundary(planes[3], qx, qy, 3, 6, t);
        if (!Holds(g.level3[qy * g.n3x + qx], visitor.inside, p.z, exit3)) {
          if (exit3 <= t)
            return false;
          t = exit3;
          if (PassOver(planes[3], g.level3, g.n3x, 0, g.n3x, 0, g.n3y, 3, 6, visitor.inside, true, until, t, exit3, c3x,
                       c3y, nullptr) == Pass::Rose)
            return false;
          continue;
        }
        c3x = qx;
        c3y = qy;
      }
      counts.records++;
      double exit2 = Boundary(planes[2], cx, cy, 2, 4, t);
      if (!Holds(g.level2[cy * g.n2x + cx], visitor.inside, p.z, exit2)) {
        if (exit2 <= t)
          return false;
        t = exit2;
        // Likewise over the level-2 records that follow inside the level-3 record; one
        // that may hold the surface is walked at once.
        const Pass pass = PassOver(planes[2], g.level2, g.n2x, c3x * 4, std::min(c3x * 4 + 4, g.n2x), c3y * 4,
                                   std::min(c3y * 4 + 4, g.n2y), 2, 4, visitor.inside, false, until, t, exit2, cx, cy,
                                   &counts.records);
        if (pass == Pass::HandBack)
          continue;
      }
      const double end2 = exit2 - 0.01;
      do {
        p = r.At(t);
        int c1x, c1y;
        if (!Record(p.x, p.y, 2, g.n1x, g.n1y, c1x, c1y))
          return false;
        double exit1 = Boundary(planes[1], c1x, c1y, 1, 2, t);
        if (exit1 <= t)
          return false;
        if (!Holds(g.level1[c1y * g.n1x + c1x], visitor.inside, p.z, exit1)) {
          t = exit1;
          // And over the level-1 records that follow inside the level-2 record.
          const Pass pass = PassOver(planes[1], g.level1, g.n1x, cx * 4, std::min(cx * 4 + 4, g.n1x), cy * 4,
                                     std::min(cy * 4 + 4, g.n1y), 1, 2, visitor.inside, false, std::min(end2, until), t,
                                     exit1, c1x, c1y, nullptr);
          if (pass == Pass::HandBack)
            continue;
        }
        const double end1 = exit1 - 0.01;
        do {
          // The cell the planes expect when the line at t lies well inside it, short of both
          // its exits by twice StepPast; else (at a corner, a record's first cell, the
          // grid's edge) the cell holding the line's point.
          int i = planes[0].cx, j = planes[0].cy;
          if (!(planes[0].known && planes[0].tx - t > guard[0] && planes[0].ty - t > guard[1] &&
                static_cast<unsigned>(i) <= static_cast<unsigned>(g.width) &&
                static_cast<unsigned>(j) <= static_cast<unsigned>(g.height))) {
            p = r.At(t);
            if (!(p.x > -1.0 && p.y > -1.0))
              return false;
            i = Trunc(p.x);
            j = Trunc(p.y);
            if (i > g.width || j > g.height)
              return false;
          }
          counts.cells++;
          const double next = Boundary(planes[0], i, j, 0, 0, t);
          bool above = false;
          if (visitor.skipCellsAbove) {
            if (r.d.z < 0.0 && next > t) {
              // A falling line is lowest where it leaves the widened cell: no later than
              // the nearer of the cell's exits, each moved out to the widened side (the
              // planes have moved on across the one left by).
              const double tx = planes[0].cx != i ? next : planes[0].tx;
              const double ty = planes[0].cy != j ? next : planes[0].ty;
              above = r.o.z + r.d.z * std::min(tx + widen[0], ty + widen[1]) > CellClearance(g, i, j);
            } else {
              above = LinePassesAboveCell(g, r, inv, i, j);
            }
          }
          if (!above) {
            p = r.At(t);
            const CellResult result = visitor.Cell(i, j, t, p);
            if (result != CellResult::Continue)
              return result == CellResult::Hit;
          }
          if (next <= t)
            return false;
          t = next;
          if (t >= limit)
            return false;
        } while (t < end1 && t < tEnd);
        // On past the record's exit if the cells stopped short of it; its planes stay
        // expecting the next record.
        t = std::max(t, exit1);
      } while (t < end2 && t < tEnd && t < limit);
      t = std::max(t, exit2);
    }
    return false;
  }
};

// Nearest hit of a ray outside (or, with `inside`, below) the surface.
struct NearestVisitor {
  const TerrainGrid& g;
  const Line& r;
  bool inside;
  double limit;
  bool skipCellsAbove;  // flat mode from outside: cells the line passes above hold no hit
  double t = 0.0;
  VECTEUR point, normal;

  CellResult Cell(int i, int j, double tWalk, const VECTEUR& p) {
    double th;
    VECTEUR ph, nh;
    if (CellHit(g, r, i, j, 0.0, limit, th, ph, nh, inside ? 1 : -1) && ph.x >= 0.0 && ph.x < g.width && ph.y >= 0.0 &&
        ph.y < g.height) {
      t = th;
      point = ph;
      normal = inside ? -nh : nh;
      return CellResult::Hit;
    }
    // The walk has slipped through the surface between two tests: the current point is
    // taken as the hit. A smooth cell can bulge beyond its corners, so there the point
    // must also lie beyond the interpolated height.
    if (i < g.width && j < g.height && (inside ? AboveAllCorners(g, i, j, p.z) : BelowAllCorners(g, i, j, p.z)) &&
        (!g.smooth || SmoothSideOf(g, i, j, p) == (inside ? 1 : -1))) {
      if (tWalk + HitEpsilon >= limit)
        return CellResult::Stop;
      t = tWalk + HitEpsilon;
      point = p;
      normal = r.d.z > 0.0 ? VECTEUR(0.0, 0.0, -1.0) : VECTEUR(0.0, 0.0, 1.0);
      return CellResult::Hit;
    }
    return CellResult::Continue;
  }
};

}  // namespace

bool NearestInGrid(const TerrainGrid& g, const Line& line, bool inside, VECTEUR& point, VECTEUR& normal, double& t,
                   double limit) {
  const VECTEUR& o = line.o;
  const VECTEUR& d = line.d;
  if ((o.x > g.width - 0.01 && d.x > 0.0) || (o.x < 0.01 && d.x < 0.0) || (o.y > g.height - 0.01 && d.y > 0.0) ||
      (o.y < 0.01 && d.y < 0.0))
    return false;
  const Walker walker(g, line);
  const double exit = walker.GridExit();
  if (exit <= 0.0)
    return false;
  NearestVisitor visitor{g, line, inside, limit, !inside && !g.smooth, 0.0, VECTEUR(), VECTEUR()};
  double walk = t;
  if (walker.Walk(walk, exit * 0.99999, limit, visitor)) {
    t = visitor.t;
    point = visitor.point;
    normal = visitor.normal;
    return true;
  }
  if (!inside)
    return false;
  // Still below the surface at the grid's edge: the ray leaves through a side wall.
  double best = limit;
  bool found = false;
  auto wall = [&](double along, double origin, double position, int axis, const VECTEUR& n) {
    if (along == 0.0)
      return;
    const double dist = (position - origin) / along;
    if (!(dist > HitEpsilon && dist < best))
      return;
    const VECTEUR p = line.At(dist);
    const double other = axis == 0 ? p.y : p.x;
    const double extent = axis == 0 ? g.height : g.width;
    if (other >= 0.0 && other <= extent && p.z > g.minZ && p.z <= g.maxZ) {
      best = dist;
      point = p;
      normal = n;
      found = true;
    }
  };
  if (d.x > 0.0)
    wall(d.x, o.x, g.width, 0, VECTEUR(-1.0, 0.0, 0.0));
  else if (d.x < 0.0)
    wall(d.x, o.x, 0.0, 0, VECTEUR(1.0, 0.0, 0.0));
  if (d.y > 0.0)
    wall(d.y, o.y, g.height, 1, VECTEUR(0.0, -1.0, 0.0));
  else if (d.y < 0.0)
    wall(d.y, o.y, 0.0, 1, VECTEUR(0.0, 1.0, 0.0));
  if (found)
    t = best;
  return found;
}

CellResult IntervalVisitor::Cell(int i, int j, double, const VECTEUR&) {
  double th;
  VECTEUR ph, nh;
  while (CellHit(g, r, i, j, last, tmax, th, ph, nh)) {
    if (!(ph.x >= 0.0 && ph.x < g.width && ph.y >= 0.0 && ph.y < g.height))
      return CellResult::Stop;
    last = th;
    if (!inside) {
      open = TInterval();
      open.tIn = World(th);
      open.objIn = object;
      open.pointIn = ph;
      open.normalIn = nh;
    } else {
      open.tOut = World(th);
      open.objOut = object;
      open.pointOut = ph;
      open.normalOut = -nh;
      list->Add(open);
    }
    inside = !inside;
  }
  return CellResult::Continue;
}

void WalkIntervals(const TerrainGrid& g, const Line& line, double tEnd, IntervalVisitor& visitor) {
  const Walker walker(g, line);
  double t = 0.0;
  walker.Walk(t, tEnd, tEnd, visitor);
}

}  // namespace terrain_detail

using namespace terrain_detail;

unsigned long long TerrainCellsVisited() { return cellsVisited; }

unsigned long long TerrainRecordsVisited() { return recordsVisited; }

bool inter(Terrain* terrain, Ray* ray, VECTEUR& point, VECTEUR& normal, double& t, double limit, bool) {
  TerrainGrid g;
  if (!MakeGrid(terrain, g))
    return false;
  return NearestInGrid(g, Line{ray->origin, ray->direction}, false, point, normal, t, limit);
}

bool interInside(Terrain* terrain, Ray* ray, VECTEUR& point, VECTEUR& normal, double& t, double limit, bool) {
  TerrainGrid g;
  if (!MakeGrid(terrain, g))
    return false;
  return NearestInGrid(g, Line{ray->origin, ray->direction}, true, point, normal, t, limit);
}
