// The ray queries of TMesh: the nearest hit through the voxel grid, the entry/exit
// intervals and the inside test.
#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/mesh/mesh.h"
#include "engine/mesh/mesh_cells.h"
#include "engine/objects/hit_material.h"

namespace {

constexpr float HitEpsilonF = 1e-5f;
// Crossings collected per interval query at most, so that a degenerate model cannot
// keep a query going for ever.
constexpr int MaxCrossings = 1 << 16;

// Per-thread scratch of the nearest-hit walk: the side class of each point and the
// tested mark of each triangle, valid only where their stamp is the current query's, so
// that a query starts with both cleared without touching memory.
struct QueryScratch {
  std::vector<uint32_t> pointSide;  // stamp << 2 | side class (1, 2 or 3)
  std::vector<uint32_t> triangleTested;
  uint32_t stamp = 0;

  static constexpr uint32_t MaxStamp = 1u << 29;

  void Begin(uint32_t points, uint32_t triangles) {
    if (pointSide.size() < points)
      pointSide.resize(points, 0);
    if (triangleTested.size() < triangles)
      triangleTested.resize(triangles, 0);
    if (++stamp >= MaxStamp) {
      std::fill(pointSide.begin(), pointSide.end(), 0);
      std::fill(triangleTested.begin(), triangleTested.end(), 0);
      stamp = 1;
    }
  }
};

thread_local QueryScratch scratch;

VECFLOAT Sub(const VECFLOAT& a, const VECFLOAT& b) { return VECFLOAT(a.x - b.x, a.y - b.y, a.z - b.z); }
VECFLOAT CrossF(const VECFLOAT& a, const VECFLOAT& b) {
  return VECFLOAT(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}
float DotF(const VECFLOAT& a, const VECFLOAT& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
VECFLOAT Scaled(const VECFLOAT& v, float s) { return VECFLOAT(v.x * s, v.y * s, v.z * s); }
VECFLOAT Sum(const VECFLOAT& a, const VECFLOAT& b) { return VECFLOAT(a.x + b.x, a.y + b.y, a.z + b.z); }
bool IsZero(const VECFLOAT& v) { return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f; }

// The two coordinates left when `axis` is dropped, in cyclic order, so that a face whose
// normal is positive along the axis runs counter-clockwise in them.
void Project(const VECFLOAT& p, int axis, float& u, float& v) {
  if (axis == 0) {
    u = p.y;
    v = p.z;
  } else if (axis == 1) {
    u = p.z;
    v = p.x;
  } else {
    u = p.x;
    v = p.y;
  }
}

// A hit of the walk, before the acceptance test: distance from the local origin along
// the unit direction, the triangle, the point and the normal's dot with the direction.
struct RawHit {
  double distance;
  uint32_t triangle;
  VECFLOAT point;
  float dn;
};

}  // namespace

// The walk, with access to the mesh's private layout.
struct MeshQuery {
  // The nearest triangle crossing of the line o + s·d (d unit, object space) with
  // 1e-5 < s < limit, without the material's acceptance test.
  static bool Nearest(const TMesh& mesh, const VECTEUR& o, const VECTEUR& d, double limit, RawHit& hit) {
    const MeshCells* cells = mesh.cellLists;
    if (!cells || !mesh.points || mesh.triangleCount == 0 || cells->size == 0)
      return false;
    Ray line;
    line.origin = o;
    line.direction = d;
    float entry = static_cast<float>(std::min(limit, 1e30)), exit = 0.0f;
    if (!mesh.localBox.HitBoundingBoxExtrema(&line, entry, exit))
      return false;
    const double walkEnd = std::min(limit - entry, exit * 1.01 - entry);
    if (!(walkEnd > 0.0))
      return false;
    const VECTEUR start = o + d * static_cast<double>(entry);
    const double origin[3] = {start.x, start.y, start.z}, dir[3] = {d.x, d.y, d.z};
    const VECFLOAT of(static_cast<float>(start.x), static_cast<float>(start.y), static_cast<float>(start.z));
    const VECFLOAT df(static_cast<float>(d.x), static_cast<float>(d.y), static_cast<float>(d.z));

    const uint32_t size = cells->size;
    double inv[3], stepOffset[3];
    for (int a = 0; a < 3; a++) {
      const double along = dir[a] * cells->scale[a];
      inv[a] = along != 0.0 ? 1.0 / along : 1e8;
      stepOffset[a] = dir[a] >= 0.0 ? 1.0001 : -0.0001;
    }
    // The side test looks at the plane through the ray upright on x-y, or on x-z when the
    // ray runs mostly along y.
    const int dominant = (std::fabs(d.x) >= std::fabs(d.y) ? (std::fabs(d.z) > std::fabs(d.x) ? 2 : 0)
                                                           : (std::fabs(d.z) > std::fabs(d.y) ? 2 : 1));
    const bool sideInXZ = dominant == 1;
    const float du = df.x, dv = sideInXZ ? df.z : df.y;

    scratch.Begin(mesh.pointCount, mesh.triangleCount);
    const uint32_t stamp = scratch.stamp;
    uint32_t* sides = scratch.pointSide.data();
    uint32_t* tested = scratch.triangleTested.data();
    auto sideOf = [&](uint16_t k) {
      const uint32_t stored = sides[k];
      if ((stored >> 2) == stamp)
        return stored & 3u;
      const VECFLOAT& p = mesh.points[k];
      const float pu = p.x - of.x, pv = (sideInXZ ? p.z - of.z : p.y - of.y);
      const float cross = pu * dv - pv * du;
      const uint32_t side = cross > 0.0f ? 1u : cross < 0.0f ? 2u : 3u;
      sides[k] = (stamp << 2) | side;
      return side;
    };

    const bool twoSided = mesh.twoSided != 0;
    float best = static_cast<float>(walkEnd);
    bool found = false;
    uint32_t bestTriangle = 0;
    VECFLOAT bestPoint;
    float bestDn = 0.0f;
    double s = 1e-5;
    // Every step enters a new cell along at least one axis: a bound that ends the walk
    // even where rounding would stall it.
    for (uint32_t steps = 0; steps < 3 * size + 8; steps++) {
      double g[3];
      uint32_t c[3];
      for (int a = 0; a < 3; a++) {
        g[a] = (origin[a] + dir[a] * s - cells->lower[a]) * cells->scale[a];
        if (!(g[a] >= -1e-5) || (dir[a] > 0.0 && g[a] > size))
          return Finish(found, best, walkEnd, entry, bestTriangle, bestPoint, bestDn, hit);
        c[a] = g[a] < 1.0 ? 0 : static_cast<uint32_t>(std::min(g[a], size - 1.0));
      }
      const uint32_t cell = cells->Index(c[0], c[1], c[2]);
      for (uint32_t i = cells->start[cell]; i < cells->start[cell + 1]; i++) {
        const uint32_t t = cells->triangles[i];
        if (tested[t] == stamp)
          continue;
        tested[t] = stamp;
        const Face3& face = mesh.triangles[t];
        const uint16_t ia = face.a, ib = face.b, ic = face.c;
        if ((sideOf(ia) | sideOf(ib) | sideOf(ic)) != 3u)
          continue;
        const VECFLOAT n = face.faceNormal;
        const float dn = DotF(n, df);
        if (twoSided) {
          if (std::fabs(dn) <= HitEpsilonF)
            continue;
        } else {
          // Only the front, the side the given winding faces.
          const float front = (face.flags & FaceReversed) ? -dn : dn;
          if (!(front < -HitEpsilonF))
            continue;
        }
        const VECFLOAT pa = mesh.points[ia];
        const float dist = DotF(Sub(pa, of), n) / dn;
        if (!(dist > HitEpsilonF && dist < best))
          continue;
        const VECFLOAT h = Sum(of, Scaled(df, dist));
        // Inside (edges included) when no two edges see the point on opposite sides.
        const int axis = face.projectionAxis;
        float u[3], v[3], hu, hv;
        Project(pa, axis, u[0], v[0]);
        Project(mesh.points[ib], axis, u[1], v[1]);
        Project(mesh.points[ic], axis, u[2], v[2]);
        Project(h, axis, hu, hv);
        bool positive = false, negative = false;
        for (int e = 0; e < 3; e++) {
          const int next = (e + 1) % 3;
          const float cross = (u[next] - u[e]) * (hv - v[next]) - (v[next] - v[e]) * (hu - u[next]);
          positive |= cross > 0.0f;
          negative |= cross < 0.0f;
        }
        if (positive && negative)
          continue;
        best = dist;
        found = true;
        bestTriangle = t;
        bestPoint = h;
        bestDn = dn;
      }
      // On to the next cell: the nearest boundary ahead, a hair beyond it.
      double stepLength = ((std::trunc(g[0]) + stepOffset[0]) - g[0]) * inv[0];
      for (int a = 1; a < 3; a++) {
        const double along = ((std::trunc(g[a]) + stepOffset[a]) - g[a]) * inv[a];
        if (along < stepLength && along > 0.0)
          stepLength = along;
      }
      s += stepLength;
      if (s >= walkEnd || (found && s >= best))
        break;
    }
    return Finish(found, best, walkEnd, entry, bestTriangle, bestPoint, bestDn, hit);
  }

  static bool Finish(bool found, float best, double walkEnd, float entry, uint32_t triangle, const VECFLOAT& point,
                     float dn, RawHit& hit) {
    if (!found || !(best < walkEnd))
      return false;
    hit.distance = static_cast<double>(entry) + best;
    hit.triangle = triangle;
    hit.point = point;
    hit.dn = dn;
    return true;
  }

  // The shading normal at a hit: the corners' vertex normals (where their mask bit is
  // set and they exist) blended by the hit's barycentric weights, facing the ray.
  static VECTEUR ShadingNormal(const TMesh& mesh, const RawHit& hit) {
    const Face3& face = mesh.triangles[hit.triangle];
    const VECFLOAT fn = face.faceNormal;
    VECFLOAT n = fn;
    const VECFLOAT* vertexNormals = mesh.hasVertexNormals ? mesh.NormalSlots() : nullptr;
    if (vertexNormals) {
      const VECFLOAT a = mesh.points[face.a], b = mesh.points[face.b], c = mesh.points[face.c];
      const VECFLOAT e1 = Sub(c, a), e2 = Sub(b, a), q = Sub(hit.point, a);
      const VECFLOAT doubleArea = CrossF(e1, e2);
      const float area = std::sqrt(DotF(doubleArea, doubleArea));
      if (area > 0.0f) {
        float w[3];
        w[1] = std::fabs(DotF(CrossF(q, e1), fn)) / area;
        w[2] = std::fabs(DotF(CrossF(e2, q), fn)) / area;
        w[0] = 1.0f - w[1] - w[2];
        const uint16_t corner[3] = {face.a, face.b, face.c};
        n = VECFLOAT(0.0f, 0.0f, 0.0f);
        for (int k = 0; k < 3; k++) {
          VECFLOAT cornerNormal = fn;
          if ((face.smoothMask & (1 << k)) && !IsZero(vertexNormals[corner[k]]))
            cornerNormal = vertexNormals[corner[k]];
          // A vertex normal may face the other way (faces are oriented by their
          // projection axis): its weight turns with it.
          const float weight = DotF(cornerNormal, fn) < 0.0f ? -w[k] : w[k];
          n = Sum(n, Scaled(cornerNormal, weight));
        }
      }
    }
    if (hit.dn > 0.0f)
      n = Scaled(n, -1.0f);
    const float length = std::sqrt(DotF(n, n));
    if (length > 0.0f)
      n = Scaled(n, 1.0f / length);
    return ToVecteur(n);
  }

  // Every crossing of the line o + s·d (d unit) beyond the origin and below limit, in order.
  static void Crossings(const TMesh& mesh, const VECTEUR& o, const VECTEUR& d, double limit,
                        std::vector<RawHit>& crossings) {
    double travelled = 0.0;
    RawHit hit;
    while (static_cast<int>(crossings.size()) < MaxCrossings &&
           Nearest(mesh, o + d * travelled, d, limit - travelled, hit)) {
      hit.distance += travelled;
      crossings.push_back(hit);
      travelled = hit.distance + 0.0001;
    }
  }
};

BasicObject* TMesh::FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) {
  Ray local;
  AppliquerTransformationInverse(&local, ray);
  const double len = Length(local.direction);
  if (len == 0.0)
    return nullptr;
  const VECTEUR d = local.direction * (1.0 / len);
  RawHit hit;
  if (!MeshQuery::Nearest(*this, local.origin, d, t * len, hit))
    return nullptr;
  const unsigned faceMaterial = triangles[hit.triangle].material;
  if (MaterialRejectsHit(this, faceMaterial, ray, di))
    return nullptr;
  t = hit.distance / len;
  point = ToVecteur(hit.point);
  normal = MeshQuery::ShadingNormal(*this, hit);
  ReportHitMaterial(this, point, faceMaterial);
  return this;
}

TIntervalList* TMesh::FindAllIntersections(Ray* ray, TDrawInfo*) {
  TIntervalList* list = new TIntervalList();
  Ray local;
  AppliquerTransformationInverse(&local, ray);
  const double len = Length(local.direction);
  if (len == 0.0)
    return list;
  const VECTEUR d = local.direction * (1.0 / len);
  std::vector<RawHit> crossings;
  MeshQuery::Crossings(*this, local.origin, d, 100000.0 * len, crossings);
  // An odd number of crossings ahead: the ray starts inside.
  bool inside = crossings.size() % 2 == 1;
  TInterval open;
  if (inside) {
    open.tIn = StartsInside;
    open.objIn = this;
    open.pointIn = local.origin;
    open.normalIn = -d;
  }
  for (const RawHit& hit : crossings) {
    const VECTEUR p = ToVecteur(hit.point);
    const VECTEUR n = MeshQuery::ShadingNormal(*this, hit);
    if (!inside) {
      open = TInterval();
      open.tIn = hit.distance / len;
      open.objIn = this;
      open.pointIn = p;
      open.normalIn = n;
    } else {
      open.tOut = hit.distance / len;
      open.objOut = this;
      open.pointOut = p;
      open.normalOut = -n;
      list->Add(open);
    }
    // A constructive solid hands on one of these boundaries as its hit.
    ReportHitMaterial(this, p, triangles[hit.triangle].material);
    inside = !inside;
  }
  return list;
}

bool TMesh::IsInside(const VECTEUR& p, TDrawInfo*) {
  Ray up;
  up.origin = p;
  up.direction = VECTEUR(0.0, 0.0, 1.0);
  Ray local;
  AppliquerTransformationInverse(&local, &up);
  const double len = Length(local.direction);
  if (len == 0.0)
    return false;
  std::vector<RawHit> crossings;
  MeshQuery::Crossings(*this, local.origin, local.direction * (1.0 / len), 100000.0 * len, crossings);
  return crossings.size() % 2 == 1;
}
