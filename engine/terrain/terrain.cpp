#include "engine/terrain/terrain.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "engine/platform/messages.h"

const char* const TerrainOutOfMemoryText =
    "Out of memory. If you manage, save the landscape immediately under another name and quit.";

namespace {

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
VECTEUR NormalisedSingle(const VECTEUR& v) {
  const float length = static_cast<float>(Length(v));
  if (length == 0.0f)
    return v;
  return v * static_cast<double>(1.0f / length);
}

// Truncation toward zero of a value known to lie well inside the int range.
int Trunc(double v) { return static_cast<int>(v); }

// Read-only view of a terrain's grid and pyramid, shared by every query.
struct TerrainGrid {
  const int16_t* alt;
  int stride;
  int width, height;
  const ClusterBound* level1;
  int n1x, n1y;
  const ClusterBound* level2;
  int n2x, n2y;
  bool smooth;
  double minZ;  // minAltitude in local units
  double maxZ;  // maxAltitude in local units

  double A(int x, int y) const { return alt[(y + 1) * stride + x + 1]; }
};

// False for a terrain without blocks or without data points: it has no surface.
bool MakeGrid(const Terrain* terrain, TerrainGrid& g) {
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

// Catmull-Rom cubic through p0 (u = 0) and p1 (u = 1) with the neighbours pm (before p0)
// and p2 (after p1): value and derivative at u.
void CatmullRom(double pm, double p0, double p1, double p2, double u, double& value, double& slope) {
  const double m0 = (p1 - pm) * 0.5, m1 = (p2 - p0) * 0.5;
  const double e2 = 3.0 * p1 - m1 - 2.0 * m0 - 3.0 * p0;
  const double e3 = (m1 - 2.0 * e2 - m0) / 3.0;
  value = p0 + u * (m0 + u * (e2 + u * e3));
  slope = m0 + u * (2.0 * e2 + 3.0 * u * e3);
}

// Flat mode: the normals of the two triangles of cell (i, j), split along the diagonal
// from (i + 1, j) to (i, j + 1).
VECTEUR LowerTriangleNormal(const TerrainGrid& g, int i, int j) {
  const double h00 = g.A(i, j);
  return NormalisedSingle(
      VECTEUR(AltitudeStep * (h00 - g.A(i + 1, j)), AltitudeStep * (h00 - g.A(i, j + 1)), 1.0));
}

VECTEUR UpperTriangleNormal(const TerrainGrid& g, int i, int j) {
  const double h11 = g.A(i + 1, j + 1);
  return NormalisedSingle(
      VECTEUR(AltitudeStep * (g.A(i, j + 1) - h11), AltitudeStep * (g.A(i + 1, j) - h11), 1.0));
}

// The vertex normal at grid point (p, q): the six triangles around it, those with their
// right angle at the point weighing 1 and the others 1/2. The triangle that was hit (cell
// hitI, hitJ, upper or lower) takes its normal from the caller.
VECTEUR VertexNormal(const TerrainGrid& g, int p, int q, int hitI, int hitJ, bool hitUpper, const VECTEUR& hitNormal) {
  auto lower = [&](int i, int j) {
    return (i == hitI && j == hitJ && !hitUpper) ? hitNormal : LowerTriangleNormal(g, i, j);
  };
  auto upper = [&](int i, int j) {
    return (i == hitI && j == hitJ && hitUpper) ? hitNormal : UpperTriangleNormal(g, i, j);
  };
  VECTEUR sum = lower(p, q) + upper(p - 1, q - 1);
  sum += (lower(p - 1, q) + upper(p - 1, q) + lower(p, q - 1) + upper(p, q - 1)) * 0.5;
  return NormalisedSingle(sum * 0.25);
}

// Flat-mode shading normal: the barycentric blend of the hit triangle's vertex normals.
VECTEUR SmoothTerrainNormal(const TerrainGrid& g, int i, int j, double fx, double fy, bool upper,
                            const VECTEUR& hitNormal) {
  VECTEUR n;
  if (!upper) {
    n = VertexNormal(g, i, j, i, j, false, hitNormal) * (1.0 - fx - fy) +
        VertexNormal(g, i + 1, j, i, j, false, hitNormal) * fx + VertexNormal(g, i, j + 1, i, j, false, hitNormal) * fy;
  } else {
    n = VertexNormal(g, i + 1, j + 1, i, j, true, hitNormal) * (fx + fy - 1.0) +
        VertexNormal(g, i, j + 1, i, j, true, hitNormal) * (1.0 - fx) +
        VertexNormal(g, i + 1, j, i, j, true, hitNormal) * (1.0 - fy);
  }
  return NormalisedSingle(n);
}

bool FlatCell(const TerrainGrid& g, const Line& r, int i, int j, double tmin, double tmax, double& t, VECTEUR& point,
              VECTEUR& normal) {
  const double h00 = g.A(i, j), h11 = g.A(i + 1, j + 1);
  const VECTEUR nl = LowerTriangleNormal(g, i, j);
  const double ndl = Dot(nl, r.d);
  const double dl =
      ndl != 0.0 ? ((AltitudeStep * h00 - r.o.z) * nl.z + (j - r.o.y) * nl.y + (i - r.o.x) * nl.x) / ndl : 0.0;
  bool lowerHit = false, lowerBelowFloor = false;
  VECTEUR pl;
  if (tmin + HitEpsilon < dl) {
    pl = r.At(dl);
    if (pl.x - i >= -EdgeTolerance && pl.y - j >= -EdgeTolerance && (pl.x + pl.y) - (i + j) <= 1.0 + EdgeTolerance &&
        dl < tmax) {
      lowerHit = true;
      lowerBelowFloor = pl.z < g.minZ;
    }
  }
  const VECTEUR nu = UpperTriangleNormal(g, i, j);
  const double ndu = Dot(nu, r.d);
  const double du =
      ndu != 0.0 ? ((AltitudeStep * h11 - r.o.z) * nu.z + (j + 1 - r.o.y) * nu.y + (i + 1 - r.o.x) * nu.x) / ndu : 0.0;
  bool upperHit = false;
  VECTEUR pu;
  if (tmin + HitEpsilon < du) {
    pu = r.At(du);
    upperHit = (i + 1) - pu.x >= -EdgeTolerance && (j + 1) - pu.y >= -EdgeTolerance &&
               (i + 1 + j + 1) - pu.x - pu.y <= 1.0 + EdgeTolerance &&
               (du < (lowerHit ? dl : tmax) || (lowerBelowFloor && du < tmax));
  }
  if (!upperHit && !lowerHit)
    return false;
  t = upperHit ? du : dl;
  point = upperHit ? pu : pl;
  normal = SmoothTerrainNormal(g, i, j, point.x - i, point.y - j, upperHit, upperHit ? nu : nl);
  return true;
}

// Smooth mode: the 4 x 4 altitudes around cell (i, j), a[row][column] = A(i - 1 + column, j - 1 + row).
struct Patch {
  double a[4][4];
  Patch(const TerrainGrid& g, int i, int j) {
    for (int row = 0; row < 4; row++)
      for (int col = 0; col < 4; col++)
        a[row][col] = g.A(i - 1 + col, j - 1 + row);
  }
  // Smooth-mode normal at the fractional position (fx, fy): bilinear blends of the
  // corners' central differences.
  VECTEUR Normal(double fx, double fy) const {
    auto bilinear = [&](double c00, double c10, double c01, double c11) {
      return (c00 * (1.0 - fx) + c10 * fx) * (1.0 - fy) + (c01 * (1.0 - fx) + c11 * fx) * fy;
    };
    const double bx = bilinear(a[1][2] - a[1][0], a[1][3] - a[1][1], a[2][2] - a[2][0], a[2][3] - a[2][1]);
    const double by = bilinear(a[2][1] - a[0][1], a[2][2] - a[0][2], a[3][1] - a[1][1], a[3][2] - a[1][2]);
    return NormalisedSingle(VECTEUR(-0.5 * AltitudeStep * bx, -0.5 * AltitudeStep * by, 1.0));
  }
  // Bicubic Catmull-Rom height (altitude units) at the fractional position: it follows
  // the edge cubics on the cell's border and passes through every grid altitude.
  double Height(double fx, double fy) const {
    double rows[4], slope;
    for (int row = 0; row < 4; row++)
      CatmullRom(a[row][0], a[row][1], a[row][2], a[row][3], fx, rows[row], slope);
    double h;
    CatmullRom(rows[0], rows[1], rows[2], rows[3], fy, h, slope);
    return h;
  }
};

// One crossing of the ray's horizontal line with an edge of the cell.
struct EdgeCrossing {
  double t;
  int edge;  // 0: x = i, 1: x = i + 1, 2: y = j, 3: y = j + 1
  double u;  // fractional position along the edge
};

// f = ray height - surface height along the edge at the crossing, and its derivative
// along the ray.
void EdgeHeightDifference(const Patch& p, const Line& r, const EdgeCrossing& c, double& f, double& fd) {
  const double u = c.u;
  double value, slope, across0, across1, dAcross, dAlong;
  if (c.edge < 2) {
    const int col = c.edge + 1;  // column of the edge line in the patch
    CatmullRom(p.a[0][col], p.a[1][col], p.a[2][col], p.a[3][col], u, value, slope);
    across0 = (p.a[1][col + 1] - p.a[1][col - 1]) * 0.5;
    across1 = (p.a[2][col + 1] - p.a[2][col - 1]) * 0.5;
    dAcross = r.d.x;
    dAlong = r.d.y;
  } else {
    const int row = c.edge - 1;
    CatmullRom(p.a[row][0], p.a[row][1], p.a[row][2], p.a[row][3], u, value, slope);
    across0 = (p.a[row + 1][1] - p.a[row - 1][1]) * 0.5;
    across1 = (p.a[row + 1][2] - p.a[row - 1][2]) * 0.5;
    dAcross = r.d.y;
    dAlong = r.d.x;
  }
  const double across = across0 * (1.0 - u) + across1 * u;
  f = (r.o.z + r.d.z * c.t) - AltitudeStep * value;
  fd = r.d.z - AltitudeStep * (across * dAcross + slope * dAlong);
}

// Roots of the cubic Hermite F over [0, L] (at most three); c receives F's coefficients.
int HermiteRoots(double f0, double d0, double f1, double d1, double L, double roots[3], bool& linear, double c[4]) {
  linear = false;
  const double c0 = f0, c1 = d0;
  const double c2 = (3.0 * f1 - L * d1 - 2.0 * L * d0 - 3.0 * f0) / (L * L);
  const double k = d1 - 2.0 * c2 * L - d0;
  c[0] = c0;
  c[1] = c1;
  c[2] = c2;
  c[3] = 0.0;
  if (std::fabs(k) <= 1e-5) {
    if (std::fabs(c2) <= 1e-5) {
      linear = true;
      c[2] = 0.0;
      if (c1 == 0.0) {
        MessageBeep(MessageIconWarning);
        return 0;
      }
      roots[0] = -c0 / c1;
      return 1;
    }
    const double disc = c1 * c1 - 4.0 * c2 * c0;
    if (disc < 0.0)
      return 0;
    const double s = std::sqrt(disc);
    roots[0] = (-c1 - s) / (2.0 * c2);
    roots[1] = (-c1 + s) / (2.0 * c2);
    return 2;
  }
  const double c3 = k / (3.0 * L * L);
  c[3] = c3;
  const double a2 = c2 / c3, a1 = c1 / c3, a0 = c0 / c3;
  const double p = a1 - a2 * a2 / 3.0;
  const double q = a0 + 2.0 / 27.0 * a2 * a2 * a2 - a2 * a1 / 3.0;
  const double D = q * q / 4.0 + p * p * p / 27.0;
  if (D < 0.0) {
    const double rr = std::sqrt(-p * p * p / 27.0);
    // Rounding can push the cosine a hair past 1; acos would give NaN.
    const double phi = rr == 0.0 ? 0.0 : std::acos(std::clamp(-q / (2.0 * rr), -1.0, 1.0)) / 3.0;
    const double m = 2.0 * std::cbrt(rr);
    for (int n = 0; n < 3; n++)
      roots[n] = m * std::cos(phi + n * 2.0 * std::numbers::pi / 3.0) - a2 / 3.0;
    return 3;
  }
  const double sd = std::sqrt(D);
  roots[0] = std::cbrt(-q / 2.0 + sd) + std::cbrt(-q / 2.0 - sd) - a2 / 3.0;
  return 1;
}

// `crossing` < 0 takes only crossings where the line goes down into the solid, > 0 only
// those where it comes up out of it, 0 both. The interpolated surface depends on the
// line's direction, so a secondary ray leaving a hit point can start a hair below its
// own version of the surface; a ray known to be outside must not take that for a hit.
bool SmoothCell(const TerrainGrid& g, const Line& r, int i, int j, double tmin, double tmax, int crossing, double& t,
                VECTEUR& point, VECTEUR& normal) {
  const Patch patch(g, i, j);
  const double horizontal = std::sqrt(r.d.x * r.d.x + r.d.y * r.d.y);
  if (horizontal < VerticalTolerance) {
    // A vertical line crosses no edge: it meets the surface at its interpolated height.
    if (r.d.z == 0.0)
      return false;
    const double fx = std::clamp(r.o.x - i, 0.0, 1.0), fy = std::clamp(r.o.y - j, 0.0, 1.0);
    const double T = (AltitudeStep * patch.Height(fx, fy) - r.o.z) / r.d.z;
    if (!(tmin + HitEpsilon < T && T < tmax) || crossing * r.d.z < 0.0)
      return false;
    t = T;
    point = r.At(T);
    normal = patch.Normal(fx, fy);
    return true;
  }
  // Crossings of the edge lines within the edges; the first and last are where the
  // line enters and leaves the cell (a corner counts on both its edges).
  EdgeCrossing first{0, -1, 0}, last{0, -1, 0};
  int count = 0;
  auto consider = [&](double tc, int edge, double u) {
    if (!(u >= 0.0 && u <= 1.0))
      return;
    const EdgeCrossing c{tc, edge, u};
    if (count == 0 || tc < first.t)
      first = c;
    if (count == 0 || tc > last.t)
      last = c;
    count++;
  };
  if (r.d.x != 0.0) {
    for (int e = 0; e < 2; e++) {
      const double tc = (i + e - r.o.x) / r.d.x;
      consider(tc, e, r.o.y + r.d.y * tc - j);
    }
  }
  if (r.d.y != 0.0) {
    for (int e = 0; e < 2; e++) {
      const double tc = (j + e - r.o.y) / r.d.y;
      consider(tc, 2 + e, r.o.x + r.d.x * tc - i);
    }
  }
  if (count < 2)
    return false;
  const double L = last.t - first.t;
  if (L <= 0.001)
    return false;
  double f0, d0, f1, d1;
  EdgeHeightDifference(patch, r, first, f0, d0);
  EdgeHeightDifference(patch, r, last, f1, d1);
  double roots[3], c[4];
  bool linear;
  const int n = HermiteRoots(f0, d0, f1, d1, L, roots, linear, c);
  bool found = false;
  double best = 0.0;
  for (int k = 0; k < n; k++) {
    const double s = roots[k];
    const bool inSpan = linear ? (s >= -1e-6 && s < L + 1e-6) : (s > -1e-6 && s <= L + 1e-6);
    const double T = first.t + s;
    // The smallest root beyond tmin, so that repeated calls with the previous hit as
    // tmin find the further crossings of the same cell.
    const double slope = c[1] + s * (2.0 * c[2] + 3.0 * s * c[3]);
    if (inSpan && tmin + HitEpsilon < T && T < tmax && crossing * slope >= 0.0 && (!found || T < best)) {
      best = T;
      found = true;
    }
  }
  if (!found)
    return false;
  t = best;
  point = r.At(best);
  normal = patch.Normal(std::clamp(point.x - i, 0.0, 1.0), std::clamp(point.y - j, 0.0, 1.0));
  return true;
}

bool CellHit(const TerrainGrid& g, const Line& r, int i, int j, double tmin, double tmax, double& t, VECTEUR& point,
             VECTEUR& normal, int crossing = 0) {
  if (i < 0 || j < 0 || i >= g.width || j >= g.height)
    return false;
  return g.smooth ? SmoothCell(g, r, i, j, tmin, tmax, crossing, t, point, normal)
                  : FlatCell(g, r, i, j, tmin, tmax, t, point, normal);
}

// Surface height in local units at grid position (x, y), clamped onto the data, or the
// floor where the probe finds nothing.
double ProbeHeight(const TerrainGrid& g, double x, double y) {
  x = std::clamp(x, 0.0, static_cast<double>(g.width));
  y = std::clamp(y, 0.0, static_cast<double>(g.height));
  const int i = std::min(Trunc(x), g.width - 1), j = std::min(Trunc(y), g.height - 1);
  const Line probe{VECTEUR(x, y, g.maxZ + 1.0), VECTEUR(0.0, 0.0, -1.0)};
  double t;
  VECTEUR point, normal;
  if (CellHit(g, probe, i, j, 0.0, 100000.0, t, point, normal))
    return point.z;
  return g.minZ;
}

// The walk through the pyramid -------------------------------------------------------

enum class CellResult { Continue, Hit, Stop };

// Cells visited by this thread's walks; per thread, so that counting writes nothing shared.
thread_local unsigned long long cellsVisited = 0;

struct Walker {
  const TerrainGrid& g;
  Line r;
  double inv[2];     // reciprocal direction components (1e8 for a zero component)
  double step[2][3];  // per axis and level (cell, level 1, level 2): how far past the boundary

  Walker(const TerrainGrid& grid, const Line& line) : g(grid), r(line) {
    const double d[2] = {line.d.x, line.d.y};
    const double offsets[3] = {1.0, 4.0, 16.0};
    for (int a = 0; a < 2; a++) {
      inv[a] = d[a] != 0.0 ? 1.0 / d[a] : 1e8;
      for (int level = 0; level < 3; level++)
        step[a][level] = d[a] >= 0.0 ? offsets[level] + StepPast : -StepPast;
    }
  }

  // Distance from (x, y) to just past the exit of record (cx, cy) of the level (shift 0,
  // 2 or 4): the nearer of the x and y boundaries. 0 when (x, y) has already left the
  // record across either boundary, as it has after a walk through the level below.
  double Boundary(int cx, int cy, int level, int shift, double x, double y) const {
    const double tx = ((cx << shift) + step[0][level] - x) * inv[0];
    const double ty = ((cy << shift) + step[1][level] - y) * inv[1];
    if (tx <= 0.0 || ty <= 0.0)
      return 0.0;
    return std::min(tx, ty);
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

  // Whether the record may hold a surface crossing: from outside, the ray is at or below
  // its highest point or comes down to it inside the record; from inside, the same with
  // its lowest point and a rising ray.
  bool Descend(const ClusterBound& rec, bool inside, double t, const VECTEUR& p, int cx, int cy, int shift) const {
    const double h = (inside ? rec.minAltitude : rec.maxAltitude) * AltitudeStep;
    if (inside ? p.z >= h : p.z <= h)
      return true;
    if (inside ? r.d.z <= 0.0 : r.d.z >= 0.0)
      return false;
    const VECTEUR q = r.At(t + (h - p.z) / r.d.z);
    int qx, qy;
    const int n = shift == 4 ? 0 : 1;
    if (!Record(q.x, q.y, shift, n == 0 ? g.n2x : g.n1x, n == 0 ? g.n2y : g.n1y, qx, qy))
      return false;
    return qx == cx && qy == cy;
  }

  // Walks level-2 records, level-1 records inside those that may hold the surface, and
  // the cells inside those, calling visitor.Cell in ray order, from t until tEnd or
  // limit. True when the visitor reported a hit.
  template <class Visitor>
  bool Walk(double& t, double tEnd, double limit, Visitor& visitor) const {
    while (t < tEnd && t < limit) {
      VECTEUR p = r.At(t);
      int cx, cy;
      if (!Record(p.x, p.y, 4, g.n2x, g.n2y, cx, cy))
        return false;
      const bool descend2 = Descend(g.level2[cy * g.n2x + cx], visitor.inside, t, p, cx, cy, 4);
      if (descend2) {
        const double end2 = t + Boundary(cx, cy, 2, 4, p.x, p.y) - 0.01;
        do {
          p = r.At(t);
          int c1x, c1y;
          if (!Record(p.x, p.y, 2, g.n1x, g.n1y, c1x, c1y))
            return false;
          const bool descend1 = Descend(g.level1[c1y * g.n1x + c1x], visitor.inside, t, p, c1x, c1y, 2);
          if (descend1) {
            const double exit1 = Boundary(c1x, c1y, 1, 2, p.x, p.y);
            if (exit1 <= 0.0)
              return false;
            const double end1 = t + exit1 - 0.01;
            do {
              p = r.At(t);
              if (!(p.x > -1.0 && p.y > -1.0))
                return false;
              const int i = Trunc(p.x), j = Trunc(p.y);
              if (i > g.width || j > g.height)
                return false;
              cellsVisited++;
              const CellResult result = visitor.Cell(i, j, t, p);
              if (result != CellResult::Continue)
                return result == CellResult::Hit;
              const double step = Boundary(i, j, 0, 0, p.x, p.y);
              if (step <= 0.0)
                return false;
              t += step;
              if (t >= limit)
                return false;
            } while (t < end1 && t < tEnd);
          }
          p = r.At(t);
          const double step1 = Boundary(c1x, c1y, 1, 2, p.x, p.y);
          if (!descend1 && step1 <= 0.0)
            return false;
          t += step1;
        } while (t < end2 && t < tEnd && t < limit);
      }
      p = r.At(t);
      const double step2 = Boundary(cx, cy, 2, 4, p.x, p.y);
      if (!descend2 && step2 <= 0.0)
        return false;
      t += step2;
    }
    return false;
  }
};

bool BelowAllCorners(const TerrainGrid& g, int i, int j, double z) {
  return z <= AltitudeStep * g.A(i, j) && z <= AltitudeStep * g.A(i + 1, j) && z <= AltitudeStep * g.A(i, j + 1) &&
         z <= AltitudeStep * g.A(i + 1, j + 1);
}

bool AboveAllCorners(const TerrainGrid& g, int i, int j, double z) {
  return z >= AltitudeStep * g.A(i, j) && z >= AltitudeStep * g.A(i + 1, j) && z >= AltitudeStep * g.A(i, j + 1) &&
         z >= AltitudeStep * g.A(i + 1, j + 1);
}

// -1 when p lies below the smooth surface's interpolated height over cell (i, j), else 1.
int SmoothSideOf(const TerrainGrid& g, int i, int j, const VECTEUR& p) {
  const Patch patch(g, i, j);
  const double h = AltitudeStep * patch.Height(std::clamp(p.x - i, 0.0, 1.0), std::clamp(p.y - j, 0.0, 1.0));
  return p.z < h ? -1 : 1;
}

// Nearest hit of a ray outside (or, with `inside`, below) the surface.
struct NearestVisitor {
  const TerrainGrid& g;
  const Line& r;
  bool inside;
  double limit;
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

// The shared part of inter and interInside.
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
  NearestVisitor visitor{g, line, inside, limit, 0.0, VECTEUR(), VECTEUR()};
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

bool SurfaceFlag1Of(const Terrain* terrain, TDrawInfo* di) {
  return HitFlagsOf(LandscapeMaterial(di, terrain->material)).surfaceFlag1;
}

// FindAllIntersections: toggles between outside and inside at every surface crossing.
struct IntervalVisitor {
  const TerrainGrid& g;
  const Line& r;
  BasicObject* object;
  TIntervalList* list;
  double tmax;      // the box exit, from the walk's origin
  double entry;     // the walk's origin, from the moved-back origin
  double inv;       // world units per grid-frame unit
  bool inside;
  double last = 0.0;  // the previous crossing
  TInterval open;

  double World(double t) const { return (t + entry) * inv - 100000.0; }

  CellResult Cell(int i, int j, double, const VECTEUR&) {
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
};

}  // namespace

// Construction and memory ---------------------------------------------------------------

Terrain::Terrain(unsigned w, unsigned h, unsigned id)
    : Obj(id), width(static_cast<uint16_t>(w)), height(static_cast<uint16_t>(h)) {
  SetType(TypeTerrain);
  const size_t clusterRecords = static_cast<size_t>(Level1Width()) * Level1Height() +
                                static_cast<size_t>(Level2Width()) * Level2Height() +
                                static_cast<size_t>(Level3Width()) * Level3Height();
  AllocateBlocks(static_cast<size_t>(width + 3) * (height + 3) * sizeof(int16_t), clusterRecords * sizeof(ClusterBound),
                 true);
}

// A size of 0 stands for a block that is not wanted (the copy of a terrain without one).
void Terrain::AllocateBlocks(size_t altitudeBytes, size_t clusterBytes, bool zeroFill) {
  const unsigned flags = zeroFill ? GHND : GMEM_MOVEABLE;
  handle = altitudeBytes ? GlobalAlloc(flags, altitudeBytes) : nullptr;
  if (altitudeBytes && !handle) {
    MessageOutOfmemory();
    ShowMessageBox(OutOfMemoryCaption, TerrainOutOfMemoryText, MessageIconStop);
  }
  clusterHandle = clusterBytes ? GlobalAlloc(flags, clusterBytes) : nullptr;
  if (clusterBytes && !clusterHandle)
    MessageOutOfmemory();
  // The pins that keep the addresses valid for the terrain's life.
  altitudes = static_cast<int16_t*>(GlobalLock(handle));
  clusters = static_cast<ClusterBound*>(GlobalLock(clusterHandle));
}

void Terrain::FreeClusterBlock() {
  if (clusterHandle) {
    GlobalUnlock(clusterHandle);
    clusterHandle = GlobalFree(clusterHandle);
  }
  clusters = nullptr;
}

Terrain::~Terrain() {
  FreeClusterBlock();
  altitudes = nullptr;
  // BlockObject's destructor unlocks and frees the altitude grid.
}

BasicObject* Terrain::Clone() const {
  Terrain* copy = new Terrain(width, height, 0);
  *copy = *this;
  return copy;
}

Terrain& Terrain::operator=(const Terrain& src) {
  if (this == &src)
    return *this;
  Obj::operator=(src);
  width = src.width;
  height = src.height;
  minAltitude = src.minAltitude;
  maxAltitude = src.maxAltitude;
  smoothSurface = src.smoothSurface;
  extraFlag = src.extraFlag;
  FreeClusterBlock();
  FreeBlock();
  altitudes = nullptr;
  // A source without a block gives a copy without one: nothing to copy, nothing to read.
  const size_t altitudeBytes = GlobalSize(src.handle), clusterBytes = GlobalSize(src.clusterHandle);
  AllocateBlocks(src.handle ? altitudeBytes : 0, src.clusterHandle ? clusterBytes : 0, false);
  if (altitudes && src.altitudes)
    std::memcpy(altitudes, src.altitudes, altitudeBytes);
  if (clusters && src.clusters)
    std::memcpy(clusters, src.clusters, clusterBytes);
  return *this;
}

void Terrain::Lock() {
  altitudes = static_cast<int16_t*>(GlobalLock(handle));
  clusters = static_cast<ClusterBound*>(GlobalLock(clusterHandle));
}

void Terrain::Unlock() {
  GlobalUnlock(handle);
  GlobalUnlock(clusterHandle);
}

// Grid access -------------------------------------------------------------------------

int16_t Terrain::GetAltitude(int x, int y) const {
  if (!altitudes || x < -1 || y < -1 || x > width + 1 || y > height + 1)
    return 0;
  return altitudes[(y + 1) * (width + 3) + (x + 1)];
}

void Terrain::SetAltitude(int x, int y, int altitude) {
  if (!altitudes || x < -1 || y < -1 || x > width + 1 || y > height + 1)
    return;
  altitudes[(y + 1) * (width + 3) + (x + 1)] = static_cast<int16_t>(altitude);
}

bool Terrain::DansRelief(int x, int y) const { return x >= 0 && x < width && y >= 0 && y < height; }

void Terrain::ZeroMinimumAltitudes() {
  Lock();
  if (altitudes && width > 0 && height > 0) {
    int lowest = 32767;
    for (int y = 0; y < height; y++)
      for (int x = 0; x < width; x++)
        lowest = std::min(lowest, static_cast<int>(GetAltitude(x, y)));
    const size_t count = static_cast<size_t>(width + 3) * (height + 3);
    for (size_t k = 0; k < count; k++)
      altitudes[k] = static_cast<int16_t>(altitudes[k] - lowest);
  }
  Unlock();
}

void Terrain::PrepareEdges() {
  Lock();
  for (int x = -1; x <= width + 1; x++) {
    SetAltitude(x, -1, GetAltitude(x, 0));
    SetAltitude(x, height, GetAltitude(x, height - 1));
    SetAltitude(x, height + 1, GetAltitude(x, height - 1));
  }
  for (int y = -1; y <= height + 1; y++) {
    SetAltitude(-1, y, GetAltitude(0, y));
    SetAltitude(width, y, GetAltitude(width - 1, y));
    SetAltitude(width + 1, y, GetAltitude(width - 1, y));
  }
  Unlock();
}

void Terrain::PrepareClusters() {
  Lock();
  if (clusters && altitudes) {
    const int n1x = Level1Width(), n1y = Level1Height();
    for (int cy = 0; cy < n1y; cy++)
      for (int cx = 0; cx < n1x; cx++) {
        ClusterBound b{-32768, 32767};
        for (int y = 4 * cy; y <= 4 * cy + 4 && y < height; y++)
          for (int x = 4 * cx; x <= 4 * cx + 4 && x < width; x++) {
            const int a = GetAltitude(x, y);
            b.maxAltitude = std::max(b.maxAltitude, a);
            b.minAltitude = std::min(b.minAltitude, a);
          }
        clusters[cy * n1x + cx] = b;
      }
    // Levels 2 and 3: 4 x 4 records of the level below that start on the grid.
    auto combine = [&](const ClusterBound* below, int belowStride, ClusterBound* level, int nx, int ny, int span) {
      for (int cy = 0; cy < ny; cy++)
        for (int cx = 0; cx < nx; cx++) {
          ClusterBound b{-32768, 32767};
          for (int dy = 0; dy < 4; dy++)
            for (int dx = 0; dx < 4; dx++) {
              const int bx = 4 * cx + dx, by = 4 * cy + dy;
              if (span * bx >= width || span * by >= height)
                continue;
              const ClusterBound& r = below[by * belowStride + bx];
              b.maxAltitude = std::max(b.maxAltitude, r.maxAltitude);
              b.minAltitude = std::min(b.minAltitude, r.minAltitude);
            }
          level[cy * nx + cx] = b;
        }
    };
    ClusterBound* level2 = clusters + n1x * n1y;
    ClusterBound* level3 = level2 + Level2Width() * Level2Height();
    combine(clusters, n1x, level2, Level2Width(), Level2Height(), 4);
    combine(level2, Level2Width(), level3, Level3Width(), Level3Height(), 16);
    int highest = -32768;
    for (int k = 0; k < Level3Width() * Level3Height(); k++)
      highest = std::max(highest, level3[k].maxAltitude);
    maxAltitude = static_cast<int16_t>(highest);
  }
  ComputeObjectSize();
  if (maxAltitude < 10)
    maxAltitude = 10;
  Unlock();
}

double Terrain::SurfaceAltitudeAt(double x, double y) const {
  TerrainGrid g;
  if (!MakeGrid(this, g))
    return minAltitude * AltitudeStep;
  const int i = Trunc(std::clamp(x, -1.0, g.width + 1.0)), j = Trunc(std::clamp(y, -1.0, g.height + 1.0));
  const Line probe{VECTEUR(x, y, g.maxZ + 1.0), VECTEUR(0.0, 0.0, -1.0)};
  double t;
  VECTEUR point, normal;
  if (CellHit(g, probe, i, j, 0.0, 100000.0, t, point, normal))
    return point.z;
  return g.minZ;
}

// Object interface ----------------------------------------------------------------------

void Terrain::ComputeObjectSize() {
  Obj::ComputeObjectSize();
  const long long span = maxAltitude - minAltitude;
  const long long sum = static_cast<long long>(width) * width + static_cast<long long>(height) * height + span * span;
  size = static_cast<float>(size * std::sqrt(static_cast<double>(sum)));
}

long Terrain::GetNumberOfPolygons() { return static_cast<long>(width) * height * 2; }

void Terrain::IncludeObjectInBox(TBoundingBox& box, bool, bool world) {
  const double hx = width * 0.5, hy = height * 0.5;
  const double zs[2] = {minAltitude * AltitudeStep, maxAltitude * AltitudeStep};
  for (double z : zs)
    for (int k = 0; k < 4; k++) {
      VECTEUR p((k & 1) ? hx : -hx, (k & 2) ? hy : -hy, z);
      AppliquerTransformation(&p);
      if (world)
        p += centre;
      box.Include(p);
    }
}

BasicObject* Terrain::FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) {
  TerrainGrid g;
  if (!MakeGrid(this, g))
    return nullptr;
  Ray local;
  AppliquerTransformationInverse(&local, ray);
  const double len = Length(local.direction);
  if (len == 0.0)
    return nullptr;
  const double inv = 1.0 / len;
  const VECTEUR d = local.direction * inv;
  const double limit = t * len;
  const VECTEUR o = local.origin + VECTEUR(width >> 1, height >> 1, 0.0);
  const bool rayInside = ray->insideObjects && ray->insideObjects->HasMember(this);
  double floorZ = static_cast<float>(minAltitude * 0.08f);
  const double top = static_cast<float>((maxAltitude + 1) * 0.08f);
  if (minAltitude == 0 && (o.z < floorZ || (rayInside && d.z < 0.0)))
    floorZ = static_cast<float>(floorZ - 0.0005f);

  // The floor crossing: counts over the grid's data, for a ray coming from outside.
  struct FloorHit {
    bool valid = false;
    double dist;
    VECTEUR point, normal;
  };
  auto floorCrossing = [&](double maxDist) {
    FloorHit f;
    if (!((d.z > 1e-5 && o.z < floorZ) || (d.z < -1e-5 && o.z > floorZ)))
      return f;
    const double dist = (floorZ - o.z) / d.z;
    if (!(dist > 1e-5 && dist < maxDist))
      return f;
    const VECTEUR p = o + d * dist;
    if (!(p.x >= 0.0 && p.x < width && p.y >= 0.0 && p.y < height))
      return f;
    if (rayInside && SurfaceFlag1Of(this, di))
      return f;
    f.valid = true;
    f.dist = dist;
    f.point = VECTEUR(p.x, p.y, floorZ);
    f.normal = d.z > 0.0 ? VECTEUR(0.0, 0.0, -1.0) : VECTEUR(0.0, 0.0, 1.0);
    return f;
  };
  auto take = [&](double dist, const VECTEUR& p, const VECTEUR& n) -> BasicObject* {
    t = dist * inv;
    point = p;
    normal = n;
    return this;
  };

  // Where the ray enters the box of the solid.
  double best;
  FloorHit pending;
  const bool originInBox = o.x >= 0.0 && o.x < width && o.y >= 0.0 && o.y < height && o.z >= floorZ && o.z <= top;
  if (originInBox) {
    best = 1e-5;
  } else {
    best = limit;
    auto wall = [&](double along, double origin, double position, int axis) {
      const double dist = (position - origin) / along;
      if (!(dist >= 1e-5 && dist < best))
        return;
      const VECTEUR p = o + d * dist;
      const double other = axis == 0 ? p.y : p.x;
      if (other >= 0.0 && other <= (axis == 0 ? height : width) && p.z >= floorZ && p.z < top)
        best = dist;
    };
    if (d.x > 1e-5 && o.x < 0.0)
      wall(d.x, o.x, 0.0, 0);
    if (d.x < -1e-5 && o.x > width)
      wall(d.x, o.x, width, 0);
    if (d.y > 1e-5 && o.y < 0.0)
      wall(d.y, o.y, 0.0, 1);
    if (d.y < -1e-5 && o.y > height)
      wall(d.y, o.y, height, 1);
    const FloorHit f = floorCrossing(best);
    if (f.valid) {
      if (d.z > 0.0) {
        // From below: the floor is solid where the surface stands above it.
        const int ci = std::min(Trunc(f.point.x), width - 1), cj = std::min(Trunc(f.point.y), height - 1);
        int above = 0;
        for (int k = 0; k < 4; k++)
          above += g.A(ci + (k & 1), cj + (k >> 1)) > minAltitude;
        if (minAltitude == 0 || above == 4 || (above > 0 && SurfaceAltitudeAt(f.point.x, f.point.y) > floorZ))
          return take(f.dist, f.point, f.normal);
        pending = f;
      }
      best = f.dist;
    }
    if (d.z < -1e-5 && o.z > top) {
      const double dist = (top - o.z) / d.z;
      const VECTEUR p = o + d * dist;
      if (dist >= 1e-5 && dist < best && p.x >= 0.0 && p.x <= width && p.y >= 0.0 && p.y <= height)
        best = dist;
    }
  }
  if (limit <= best)
    return nullptr;

  // Entering below the edge profile is a hit on a side wall.
  const VECTEUR P = o + d * best;
  const int ix = std::clamp(Trunc(P.x), 0, static_cast<int>(width)), iy = std::clamp(Trunc(P.y), 0, static_cast<int>(height));
  double wallZ = -1e9;
  if (P.x <= 1e-5 || P.x >= width)
    wallZ = AltitudeStep * ((iy + 1 - P.y) * g.A(ix, iy) + (P.y - iy) * g.A(ix, iy + 1));
  if (P.y <= 1e-5 || P.y >= height)
    wallZ = AltitudeStep * ((ix + 1 - P.x) * g.A(ix, iy) + (P.x - ix) * g.A(ix + 1, iy));
  if (P.z <= wallZ) {
    VECTEUR n;
    if (ix == 0)
      n = VECTEUR(-1.0, 0.0, 0.0);
    if (ix >= width)
      n = VECTEUR(1.0, 0.0, 0.0);
    if (iy == 0)
      n = VECTEUR(0.0, -1.0, 0.0);
    if (iy >= height)
      n = VECTEUR(0.0, 1.0, 0.0);
    if (MaterialRejectsHit(this, material, ray, di))
      return nullptr;
    return take(best, P, n);
  }

  // The surface.
  Ray moved;
  moved.origin = P;
  moved.direction = d;
  double th = 0.0;
  VECTEUR ph, nh;
  const bool found = rayInside ? interInside(this, &moved, ph, nh, th, limit - best, false)
                               : inter(this, &moved, ph, nh, th, limit - best, false);
  if (found) {
    if (MaterialRejectsHit(this, material, ray, di))
      return nullptr;
    if (ph.z + 1e-5 >= minAltitude * AltitudeStep)
      return take(th + best, ph, nh);
  }
  if (pending.valid)
    return take(pending.dist, pending.point, pending.normal);
  if (originInBox) {
    const FloorHit f = floorCrossing(limit);
    if (f.valid)
      return take(f.dist, f.point, f.normal);
  }
  return nullptr;
}

TIntervalList* Terrain::FindAllIntersections(Ray* ray, TDrawInfo*) {
  TIntervalList* list = new TIntervalList();
  TerrainGrid g;
  if (!MakeGrid(this, g))
    return list;
  // From far behind the origin every boundary along the line lies ahead.
  Ray moved = *ray;
  moved.origin = ray->origin - ray->direction * 100000.0;
  Ray local;
  AppliquerTransformationInverse(&local, &moved);
  const double len = Length(local.direction);
  if (len == 0.0)
    return list;
  const double inv = 1.0 / len;
  const VECTEUR d = local.direction * inv;
  const VECTEUR o = local.origin + VECTEUR(width >> 1, height >> 1, 0.0);
  const bool rayInside = ray->insideObjects && ray->insideObjects->HasMember(this);
  double floorZ = static_cast<float>(minAltitude * 0.08f);
  const double top = static_cast<float>((maxAltitude + 1) * 0.08f);
  if (minAltitude == 0 && (o.z < floorZ || (rayInside && d.z < 0.0)))
    floorZ = static_cast<float>(floorZ - 0.0005f);

  // Box entry and exit: the first and last face crossings.
  const double xMax = width - 1, yMax = height - 1, zMin = -0.0005;
  bool any = false;
  double entry = 0.0, exit = 0.0;
  VECTEUR entryNormal, exitNormal;
  auto face = [&](double along, double origin, double position, int axis) {
    if (along == 0.0)
      return;
    const double dist = (position - origin) / along;
    const VECTEUR p = o + d * dist;
    bool inside;
    if (axis == 0)
      inside = p.y >= 0.0 && p.y <= yMax && p.z >= zMin && p.z <= top;
    else if (axis == 1)
      inside = p.x >= 0.0 && p.x <= xMax && p.z >= zMin && p.z <= top;
    else
      inside = p.x >= 0.0 && p.x <= xMax && p.y >= 0.0 && p.y <= yMax;
    if (!inside)
      return;
    VECTEUR facing;
    if (axis == 0)
      facing = VECTEUR(along > 0.0 ? -1.0 : 1.0, 0.0, 0.0);
    else if (axis == 1)
      facing = VECTEUR(0.0, along > 0.0 ? -1.0 : 1.0, 0.0);
    else
      facing = VECTEUR(0.0, 0.0, along > 0.0 ? -1.0 : 1.0);
    if (!any || dist < entry) {
      entry = dist;
      entryNormal = facing;
    }
    if (!any || dist > exit) {
      exit = dist;
      exitNormal = -facing;
    }
    any = true;
  };
  face(d.x, o.x, 0.0, 0);
  face(d.x, o.x, xMax, 0);
  face(d.y, o.y, 0.0, 1);
  face(d.y, o.y, yMax, 1);
  face(d.z, o.z, zMin, 2);
  face(d.z, o.z, top, 2);
  if (!any)
    return list;

  const Line line{o + d * entry, d};
  IntervalVisitor visitor{g, line, this, list, exit - entry, entry, inv, false, 0.0, TInterval()};
  // The solid starts at the entry when the entry lies below the surface.
  if (line.o.z <= ProbeHeight(g, line.o.x, line.o.y)) {
    visitor.inside = true;
    visitor.open.tIn = visitor.World(0.0);
    visitor.open.objIn = this;
    visitor.open.pointIn = line.o;
    visitor.open.normalIn = entryNormal;
  }
  const Walker walker(g, line);
  double t = 0.0;
  walker.Walk(t, exit - entry, exit - entry, visitor);
  if (visitor.inside) {
    TInterval& open = visitor.open;
    open.tOut = exit * inv - 100000.0;
    open.objOut = this;
    open.pointOut = o + d * exit;
    open.normalOut = exitNormal == VECTEUR() ? VECTEUR(0.0, 0.0, 1.0) : exitNormal;
    list->Add(open);
  }

  // Clip at the floor: for a rising ray the solid starts there, for a falling one it ends.
  if (d.z != 0.0 && !list->IsEmpty()) {
    const double clipZ = minAltitude * AltitudeStep - 1e-5;
    const double tc = (clipZ - o.z) / d.z;
    const double world = tc * inv - 100000.0;
    const VECTEUR p = o + d * tc;
    TIntervalList* clipped = new TIntervalList();
    for (TInterval interval : *list) {
      if (d.z > 0.0) {
        if (interval.tOut <= world)
          continue;
        if (interval.tIn < world) {
          interval.tIn = world;
          interval.objIn = this;
          interval.pointIn = p;
          interval.normalIn = VECTEUR(0.0, 0.0, -1.0);
        }
      } else {
        if (interval.tIn >= world)
          continue;
        if (interval.tOut > world) {
          interval.tOut = world;
          interval.objOut = this;
          interval.pointOut = p;
          interval.normalOut = VECTEUR(0.0, 0.0, 1.0);
        }
      }
      clipped->Add(interval);
    }
    delete list;
    list = clipped;
  }
  // A ray known to start inside: the interval holding its origin opens at the
  // starts-inside distance.
  if (rayInside)
    for (TInterval& interval : *list)
      if (interval.tOut > 0.0) {
        if (interval.tIn <= HitTolerance) {
          interval.tIn = StartsInside;
          interval.objIn = this;
        }
        break;
      }
  return list;
}

bool Terrain::IsInside(const VECTEUR& p, TDrawInfo* di) {
  Ray ray;
  ray.origin = p;
  ray.direction = VECTEUR(0.0, 0.0, 1.0);
  TIntervalList* list = FindAllIntersections(&ray, di);
  bool inside = false;
  for (const TInterval& interval : *list)
    if (interval.tIn < 0.0 && interval.tOut > 0.0)
      inside = true;
  delete list;
  return inside;
}

// Free functions --------------------------------------------------------------------------

unsigned long long TerrainCellsVisited() { return cellsVisited; }

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

bool IntersectTerrainCell(const Terrain* terrain, const Ray* ray, double& x, double& y, double& z, double& t,
                          double tmin, double tmax, VECTEUR& normal) {
  TerrainGrid g;
  if (!MakeGrid(terrain, g) || !(x > -1.0 && y > -1.0 && x < g.width + 1.0 && y < g.height + 1.0))
    return false;
  VECTEUR point;
  if (!CellHit(g, Line{ray->origin, ray->direction}, Trunc(x), Trunc(y), tmin, tmax, t, point, normal))
    return false;
  x = point.x;
  y = point.y;
  z = point.z;
  return true;
}

namespace {
[[maybe_unused]] const bool copierRegistered = RegisterObjectCopier(BasicObject::TypeTerrain, CopyOfKind<Terrain>);
}  // namespace
