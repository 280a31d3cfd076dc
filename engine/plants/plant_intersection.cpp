// The ray queries of TPlant: the nearest hit over every cylinder and leaf, the
// entry/exit intervals and the inside test.
#include <algorithm>
#include <cmath>

#include "engine/geometry/matrix.h"
#include "engine/objects/hit_material.h"
#include "engine/plants/plant.h"
#include "engine/scene/context.h"

namespace {

constexpr float HitEpsilonF = 1e-5f;
// The reported distance stops this short of the surface, so that rays leaving the hit
// do not meet it again.
constexpr double ShortOfSurface = 0.01;
// Boundaries collected per interval query at most.
constexpr int MaxBoundaries = 1 << 16;

VECFLOAT Sub(const VECFLOAT& a, const VECFLOAT& b) { return VECFLOAT(a.x - b.x, a.y - b.y, a.z - b.z); }
VECFLOAT CrossF(const VECFLOAT& a, const VECFLOAT& b) {
  return VECFLOAT(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}
float DotF(const VECFLOAT& a, const VECFLOAT& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
VECFLOAT ToF(const VECTEUR& v) {
  return VECFLOAT(static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z));
}
bool IsZero(const VECFLOAT& v) { return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f; }

// The base whose third vector is `dir`, in single precision.
void BaseOf(const VECFLOAT& dir, VECFLOAT& u, VECFLOAT& v, VECFLOAT& w) {
  VECTEUR du, dv, dw;
  BuildBase(ToVecteur(dir), du, dv, dw);
  u = ToF(du);
  v = ToF(dv);
  w = ToF(dw);
}

// The best hit so far, from the entry point along the unit direction.
struct PlantHit {
  enum Kind { None, Branch, Leaf } kind = None;
  uint32_t index = 0;
  float t = 0.0f;
  VECFLOAT local;        // branch: the hit in the cylinder's base; leaf: the hit in the leaf's frame
  bool farSide = false;  // branch: the far root (seen from inside)
};

}  // namespace

BasicObject* TPlant::FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) {
  Ray local;
  AppliquerTransformationInverse(&local, ray);
  const double len = Length(local.direction);
  if (len == 0.0 || !elementBlock)
    return nullptr;
  local.direction = local.direction * (1.0 / len);
  const double limit = t * len;
  float entry = static_cast<float>(std::min(limit, 1e30));
  if (!localBox.HitBoundingBox(&local, entry))
    return nullptr;
  const VECFLOAT o = ToF(local.origin + local.direction * static_cast<double>(entry));
  const VECFLOAT d = ToF(local.direction);
  float best = static_cast<float>(limit - entry);
  PlantHit hit;

  for (uint32_t k = 0; k < cylinderCount; k++) {
    const Cylinder& c = cylinders[k];
    // Quick rejections: a ray along the axis, or one passing farther than the radius.
    const VECFLOAT n = CrossF(c.axis, d);
    const float nn = DotF(n, n);
    if (nn <= 1e-5f)
      continue;
    const float sn = DotF(Sub(c.start, o), n);
    if (sn * sn > c.radiusSquared * nn)
      continue;
    VECFLOAT u, v, w;
    BaseOf(c.axis, u, v, w);
    const VECFLOAT rel = Sub(o, c.start);
    const float x = DotF(rel, u), y = DotF(rel, v), z = DotF(rel, w);
    const float dx = DotF(d, u), dy = DotF(d, v), dz = DotF(d, w);
    const float a = 1.0f - dz * dz, b = x * dx + y * dy, cc = x * x + y * y - c.radiusSquared;
    const float disc = b * b - a * cc;
    if (disc < 0.0f || a <= 1e-5f)
      continue;
    const float root = std::sqrt(disc);
    const float t0 = (-root - b) / a, z0 = z + t0 * dz;
    if (t0 >= HitEpsilonF && t0 < best && z0 >= 0.0f && z0 < c.length) {
      best = t0;
      hit = PlantHit{PlantHit::Branch, k, t0, VECFLOAT(x + t0 * dx, y + t0 * dy, z0), false};
      continue;
    }
    const float t1 = (root - b) / a, z1 = z + t1 * dz;
    if (t1 > HitEpsilonF && t1 < best && z1 >= 0.0f && z1 <= c.length) {
      best = t1;
      hit = PlantHit{PlantHit::Branch, k, t1, VECFLOAT(x + t1 * dx, y + t1 * dy, z1), true};
    }
  }

  const bool cutOut = di && di->Rendering;
  for (uint32_t k = 0; k < paraboloidCount; k++) {
    const Paraboloid& p = paraboloids[k];
    const VECFLOAT rel = Sub(o, p.origin);
    const float x = rel.x * p.cosAngle + rel.y * p.sinAngle, y = rel.y * p.cosAngle - rel.x * p.sinAngle, z = rel.z;
    const float dx = d.x * p.cosAngle + d.y * p.sinAngle, dy = d.y * p.cosAngle - d.x * p.sinAngle, dz = d.z;
    const float A = p.curvatureX * dx * dx + p.curvatureY * dy * dy;
    const float B = 2.0f * (p.curvatureX * x * dx + p.curvatureY * y * dy) - dz;
    const float C = p.curvatureX * x * x + p.curvatureY * y * y - z;
    float roots[2];
    int rootCount = 0;
    if (A != 0.0f) {
      const float disc = B * B - 4.0f * A * C;
      if (!(disc > 0.0f))
        continue;
      const float root = std::sqrt(disc);
      roots[0] = (-B - root) / (2.0f * A);
      roots[1] = (-B + root) / (2.0f * A);
      if (A < 0.0f)
        std::swap(roots[0], roots[1]);
      rootCount = 2;
    } else if (B != 0.0f) {
      // A flat leaf, or a ray along the vertical: the surface equation is linear.
      roots[0] = -C / B;
      rootCount = 1;
    }
    for (int r = 0; r < rootCount; r++) {
      const float s = roots[r];
      if (!(s > HitEpsilonF && s < best))
        continue;
      const float hx = x + s * dx, hy = y + s * dy;
      if (!(p.xMin < hx && hx < p.xMax && p.yMin < hy && hy < p.yMax))
        continue;
      if (cutOut) {
        // Where the leaf's material is clear the ray goes on: leaf outlines come from it.
        if (const Texture* material = LandscapeMaterial(di, p.material)) {
          ImpactInfo impact;
          const float hz = o.z + s * d.z;
          impact.objectPoint = VECTEUR(((hx - p.xMin) / (p.xMax - p.xMin) - 0.5f) * 15.0f,
                                       ((hy - p.yMin) / (p.yMax - p.yMin) - 0.5f) * 15.0f, hz);
          VECTEUR world = ToVecteur(o) + ToVecteur(d) * static_cast<double>(s);
          AppliquerTransformation(&world);
          impact.worldPoint = world + centre;
          VECTEUR up(-2.0 * p.curvatureX * hx, -2.0 * p.curvatureY * hy, 1.0);
          Normalise(up);
          impact.objectNormal =
              VECTEUR(up.x * p.cosAngle - up.y * p.sinAngle, up.x * p.sinAngle + up.y * p.cosAngle, up.z);
          impact.worldNormal = impact.objectNormal;
          AppliquerTransformation(&impact.worldNormal);
          Normalise(impact.worldNormal);
          if (TransparencyOf(material, impact, this) >= 0.99f)
            continue;
        }
      }
      best = s;
      hit = PlantHit{PlantHit::Leaf, k, s, VECFLOAT(hx, hy, 0.0f), false};
      break;
    }
  }

  if (hit.kind == PlantHit::None)
    return nullptr;
  unsigned material;
  VECTEUR n, texture;
  if (hit.kind == PlantHit::Branch) {
    const Cylinder& c = cylinders[hit.index];
    material = c.material;
    const float z = hit.local.z;
    // The shading normal turns from the start joint's direction to the end joint's.
    const VECFLOAT startDir = IsZero(c.startDirection) ? c.axis : c.startDirection;
    const VECFLOAT endDir = IsZero(c.endDirection) ? c.axis : c.endDirection;
    VECFLOAT blend(z * endDir.x + (c.length - z) * startDir.x, z * endDir.y + (c.length - z) * startDir.y,
                   z * endDir.z + (c.length - z) * startDir.z);
    if (IsZero(blend))
      blend = c.axis;
    VECFLOAT u, v, w;
    BaseOf(blend, u, v, w);
    const float sign = hit.farSide ? -1.0f : 1.0f;
    const float nx = sign * hit.local.x, ny = sign * hit.local.y;
    n = VECTEUR(nx * u.x + ny * v.x, nx * u.y + ny * v.y, nx * u.z + ny * v.z);
    texture = VECTEUR(hit.local.x, hit.local.y, hit.local.z + c.baseLength);
  } else {
    const Paraboloid& p = paraboloids[hit.index];
    material = p.material;
    const float hx = hit.local.x, hy = hit.local.y;
    VECTEUR up(-2.0 * p.curvatureX * hx, -2.0 * p.curvatureY * hy, 1.0);
    Normalise(up);
    n = VECTEUR(up.x * p.cosAngle - up.y * p.sinAngle, up.x * p.sinAngle + up.y * p.cosAngle, up.z);
    texture = VECTEUR(((hx - p.xMin) / (p.xMax - p.xMin) - 0.5f) * 15.0f,
                      ((hy - p.yMin) / (p.yMax - p.yMin) - 0.5f) * 15.0f, o.z + hit.t * d.z);
  }
  if (MaterialRejectsHit(this, material, ray, di))
    return nullptr;
  Normalise(n);
  const double along = static_cast<double>(entry) + hit.t;
  // 0.01 short of the surface, but never behind the ray's origin: a hit nearer than that
  // keeps half its distance.
  const double reported = std::max(along - ShortOfSurface, along * 0.5);
  t = reported / len;
  point = texture;
  normal = n;
  ReportHitMaterial(this, point, material);
  return this;
}

TIntervalList* TPlant::FindAllIntersections(Ray* ray, TDrawInfo* di) {
  TIntervalList* list = new TIntervalList();
  Ray walker = *ray;
  TInterval current;
  bool open = false;
  if (walker.insideObjects && walker.insideObjects->HasMember(this)) {
    current.tIn = StartsInside;
    current.objIn = this;
    current.pointIn = walker.origin;
    current.normalIn = -walker.direction;
    open = true;
  }
  double travelled = 0.0;
  for (int k = 0; k < MaxBoundaries; k++) {
    double t = 100000.0;
    VECTEUR p, n;
    if (!FindNearestIntersection(&walker, di, t, p, n))
      break;
    t += ShortOfSurface;
    travelled += t;
    if (!open) {
      current = TInterval();
      current.tIn = travelled;
      current.objIn = this;
      current.pointIn = p;
      current.normalIn = n;
    } else {
      current.tOut = travelled;
      current.objOut = this;
      current.pointOut = p;
      current.normalOut = n;
      list->Add(current);
    }
    open = !open;
    walker.origin = walker.origin + walker.direction * (t + HitTolerance);
    // The next query knows on which side of the plant it starts.
    if (!walker.insideObjects)
      walker.insideObjects = new ObjectsList();
    if (walker.insideObjects->HasMember(this))
      walker.insideObjects->Detach(walker.insideObjects->Find(this));
    else
      walker.insideObjects->Add(this);
  }
  return list;
}

bool TPlant::IsInside(const VECTEUR& p, TDrawInfo* di) {
  Ray up;
  up.origin = p;
  up.direction = VECTEUR(0.0, 0.0, 1.0);
  TIntervalList* intervals = FindAllIntersections(&up, di);
  bool inside = false;
  for (int k = 0; k < intervals->Count(); k++)
    if ((*intervals)[k].tIn < 0.0 && (*intervals)[k].tOut > 0.0)
      inside = true;
  delete intervals;
  return inside;
}
