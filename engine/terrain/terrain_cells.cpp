// The surface over one cell: the two flat triangles of flat mode with the shading normal
// blended from vertex normals, and the cubic surface of smooth mode with its root finder.
#include "engine/terrain/terrain_cells.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "engine/platform/messages.h"

namespace terrain_detail {

namespace {

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
// from (i + 1, j) to (i, j + 1), before normalising.
[[gnu::always_inline]] inline VECTEUR LowerTriangleVector(const TerrainGrid& g, int i, int j) {
  const double h00 = g.A(i, j);
  return VECTEUR(AltitudeStep * (h00 - g.A(i + 1, j)), AltitudeStep * (h00 - g.A(i, j + 1)), 1.0);
}

[[gnu::always_inline]] inline VECTEUR UpperTriangleVector(const TerrainGrid& g, int i, int j) {
  const double h11 = g.A(i + 1, j + 1);
  return VECTEUR(AltitudeStep * (g.A(i, j + 1) - h11), AltitudeStep * (g.A(i + 1, j) - h11), 1.0);
}

// The vertex normal at a grid point from the normals of the six triangles around it,
// before normalising: `lower` and `upperBehind` have their right angle at the point and
// weigh 1, the others 1/2.
[[gnu::always_inline]] inline VECTEUR VertexVector(const VECTEUR& lower, const VECTEUR& upperBehind,
                                                   const VECTEUR& lowerLeft, const VECTEUR& upperLeft,
                                                   const VECTEUR& lowerBelow, const VECTEUR& upperBelow) {
  VECTEUR sum = lower + upperBehind;
  sum += (lowerLeft + upperLeft + lowerBelow + upperBelow) * 0.5;
  return sum * 0.25;
}

// Flat-mode shading normal: the barycentric blend of the hit triangle's vertex normals.
// The vertex normal at (p, q) takes the lower triangle of cell (p, q), the upper of
// (p - 1, q - 1), and both triangles of (p - 1, q) and of (p, q - 1); the three corners of
// a hit triangle share most of them, so each is computed once, two at a time. The hit
// triangle's normal comes from the caller.
VECTEUR SmoothTerrainNormal(const TerrainGrid& g, int i, int j, double fx, double fy, bool upper,
                            const VECTEUR& hitNormal) {
  auto L = [&](int ci, int cj) { return LowerTriangleVector(g, ci, cj); };
  auto U = [&](int ci, int cj) { return UpperTriangleVector(g, ci, cj); };
  // Shared by both triangles' corners (i + 1, j) and (i, j + 1).
  VECTEUR l01 = L(i, j + 1), l10 = L(i + 1, j), um0 = U(i - 1, j), u0m = U(i, j - 1);
  VECTEUR lpm = L(i + 1, j - 1), upm = U(i + 1, j - 1), lmp = L(i - 1, j + 1), ump = U(i - 1, j + 1);
  // The hit cell's other triangle, and the three more of the corner only the hit triangle has.
  VECTEUR other = upper ? L(i, j) : U(i, j);
  VECTEUR far[3] = {upper ? L(i + 1, j + 1) : U(i - 1, j - 1), upper ? U(i, j + 1) : L(i - 1, j),
                    upper ? U(i + 1, j) : L(i, j - 1)};
  NormalisedSinglePair(l01, l10);
  NormalisedSinglePair(um0, u0m);
  NormalisedSinglePair(lpm, upm);
  NormalisedSinglePair(lmp, ump);
  NormalisedSinglePair(other, far[0]);
  NormalisedSinglePair(far[1], far[2]);
  const VECTEUR l00 = upper ? other : hitNormal, u00 = upper ? hitNormal : other;
  VECTEUR at10 = VertexVector(l10, u0m, l00, u00, lpm, upm);
  VECTEUR at01 = VertexVector(l01, um0, lmp, ump, l00, u00);
  // (i, j) for the lower triangle, (i + 1, j + 1) for the upper.
  VECTEUR atFar =
      upper ? VertexVector(far[0], u00, l01, far[1], l10, far[2]) : VertexVector(l00, far[0], far[1], um0, far[2], u0m);
  NormalisedSinglePair(at10, at01);
  atFar = NormalisedSingle(atFar);
  VECTEUR n;
  if (!upper)
    n = atFar * (1.0 - fx - fy) + at10 * fx + at01 * fy;
  else
    n = atFar * (fx + fy - 1.0) + at01 * (1.0 - fx) + at10 * (1.0 - fy);
  return NormalisedSingle(n);
}

bool FlatCell(const TerrainGrid& g, const Line& r, int i, int j, double tmin, double tmax, double& t, VECTEUR& point,
              VECTEUR& normal) {
  const double h00 = g.A(i, j), h11 = g.A(i + 1, j + 1);
  VECTEUR nl = LowerTriangleVector(g, i, j), nu = UpperTriangleVector(g, i, j);
  NormalisedSinglePair(nl, nu);
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

}  // namespace

bool CellHit(const TerrainGrid& g, const Line& r, int i, int j, double tmin, double tmax, double& t, VECTEUR& point,
             VECTEUR& normal, int crossing) {
  if (i < 0 || j < 0 || i >= g.width || j >= g.height)
    return false;
  return g.smooth ? SmoothCell(g, r, i, j, tmin, tmax, crossing, t, point, normal)
                  : FlatCell(g, r, i, j, tmin, tmax, t, point, normal);
}

double SurfaceHeight(const TerrainGrid& g, double x, double y) {
  const int i = Trunc(std::clamp(x, -1.0, g.width + 1.0)), j = Trunc(std::clamp(y, -1.0, g.height + 1.0));
  const Line probe{VECTEUR(x, y, g.maxZ + 1.0), VECTEUR(0.0, 0.0, -1.0)};
  double t;
  VECTEUR point, normal;
  if (CellHit(g, probe, i, j, 0.0, 100000.0, t, point, normal))
    return point.z;
  return g.minZ;
}

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

}  // namespace terrain_detail

using namespace terrain_detail;

double Terrain::SurfaceAltitudeAt(double x, double y) const {
  TerrainGrid g;
  return MakeGrid(this, g) ? SurfaceHeight(g, x, y) : minAltitude * AltitudeStep;
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
