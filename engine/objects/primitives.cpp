#include "engine/objects/primitives.h"

#include <cmath>
#include <utility>

#include "engine/scene/context.h"

namespace {

// Parallel tolerance on a direction component or a dot product.
constexpr double ParallelTolerance = 1e-5;
// Normal components of the sloped faces of cones and pyramids: 2/sqrt(5) and 1/sqrt(5).
constexpr double SlopeHorizontal = 0.894427191;
constexpr double SlopeVertical = 0.4472135955;
// Half side of the finite plane.
constexpr double PlaneHalfSide = 22.5;

double Component(const VECTEUR& v, int axis) { return axis == 0 ? v.x : (axis == 1 ? v.y : v.z); }

void SetComponent(VECTEUR& v, int axis, double value) {
  if (axis == 0)
    v.x = value;
  else if (axis == 1)
    v.y = value;
  else
    v.z = value;
}

// The nearest accepted candidate of a canonical shape, for a unit object-space direction.
// A candidate must be strictly beyond the hit tolerance and strictly nearer than the best
// so far, so that an earlier candidate wins a tie.
struct CanonicalHit {
  double best;
  VECTEUR point;
  VECTEUR normal;
  bool found = false;

  explicit CanonicalHit(double limit) : best(limit) {}
  bool Accepts(double tau) const { return tau > HitTolerance && tau < best; }
  void Take(double tau, const VECTEUR& p, const VECTEUR& n) {
    best = tau;
    point = p;
    normal = n;
    found = true;
  }
};

typedef void (*CandidateSearch)(const VECTEUR& o, const VECTEUR& d, CanonicalHit& hit);

enum class Patch { Disc, Square };

// A flat face perpendicular to `axis` at `plane`: taken only when the ray comes from the
// face's outer side of the plane and is not parallel to it. The point gets the face
// coordinate exactly; the normal faces against the ray.
bool TryFace(const VECTEUR& o, const VECTEUR& d, int axis, double plane, Patch patch, double half,
             CanonicalHit& hit) {
  const double oc = Component(o, axis), dc = Component(d, axis);
  if (!((dc > ParallelTolerance && oc < plane) || (dc < -ParallelTolerance && oc > plane)))
    return false;
  const double tau = (plane - oc) / dc;
  if (!hit.Accepts(tau))
    return false;
  VECTEUR p = o + d * tau;
  SetComponent(p, axis, plane);
  const int u = (axis + 1) % 3, v = (axis + 2) % 3;
  const double pu = Component(p, u), pv = Component(p, v);
  const bool inside = patch == Patch::Disc ? pu * pu + pv * pv <= 1.0 : std::fabs(pu) <= half && std::fabs(pv) <= half;
  if (!inside)
    return false;
  VECTEUR n;
  SetComponent(n, axis, dc > 0.0 ? -1.0 : 1.0);
  hit.Take(tau, p, n);
  return true;
}

void SphereCandidates(const VECTEUR& o, const VECTEUR& d, CanonicalHit& hit) {
  const double b = Dot(d, o);
  const double c = Dot(o, o) - 1.0;
  const double disc = b * b - c;
  if (disc < 0.0)
    return;
  const double root = std::sqrt(disc);
  const double t1 = -root - b;
  if (hit.Accepts(t1)) {
    VECTEUR p = o + d * t1;
    hit.Take(t1, p, p);
    return;
  }
  const double t2 = root - b;
  if (hit.Accepts(t2)) {
    VECTEUR p = o + d * t2;
    hit.Take(t2, p, -p);
  }
}

void CylinderCandidates(const VECTEUR& o, const VECTEUR& d, CanonicalHit& hit) {
  TryFace(o, d, 2, -1.0, Patch::Disc, 1.0, hit);
  TryFace(o, d, 2, 1.0, Patch::Disc, 1.0, hit);
  const double a = 1.0 - d.z * d.z;
  const double b = o.x * d.x + o.y * d.y;
  const double disc = b * b - a * (o.x * o.x + o.y * o.y - 1.0);
  if (disc < 0.0 || a <= ParallelTolerance)
    return;
  const double root = std::sqrt(disc);
  const double roots[2] = {(-root - b) / a, (root - b) / a};
  for (int i = 0; i < 2; i++) {
    const double tau = roots[i];
    if (!hit.Accepts(tau))
      continue;
    VECTEUR p = o + d * tau;
    if (p.z < -1.0 || p.z > 1.0)
      continue;
    hit.Take(tau, p, i == 0 ? VECTEUR(p.x, p.y, 0.0) : VECTEUR(-p.x, -p.y, 0.0));
    return;
  }
}

void CubeCandidates(const VECTEUR& o, const VECTEUR& d, CanonicalHit& hit) {
  for (int axis = 2; axis >= 0; axis--) {
    TryFace(o, d, axis, -1.0, Patch::Square, 1.0, hit);
    TryFace(o, d, axis, 1.0, Patch::Square, 1.0, hit);
  }
}

void ConeCandidates(const VECTEUR& o, const VECTEUR& d, CanonicalHit& hit) {
  TryFace(o, d, 2, -1.0, Patch::Disc, 1.0, hit);
  const double a = d.x * d.x + d.y * d.y - 0.25 * d.z * d.z;
  const double b = d.x * o.x + d.y * o.y - 0.25 * d.z * (o.z - 1.0);
  const double c = o.x * o.x + o.y * o.y - 0.25 * (o.z - 1.0) * (o.z - 1.0);
  const double disc = b * b - a * c;
  if (disc < 0.0)
    return;
  const double root = std::sqrt(disc);
  double t1 = (-b - root) / a, t2 = (-b + root) / a;
  if (t2 < t1)
    std::swap(t1, t2);
  // A smaller root on the mirror cone above the apex leaves the larger one alone.
  const bool onlyLarger = o.z + t1 * d.z > 1.0;
  const double roots[2] = {t1, t2};
  for (int i = onlyLarger ? 1 : 0; i < 2; i++) {
    const double tau = roots[i];
    if (!hit.Accepts(tau))
      continue;
    VECTEUR p = o + d * tau;
    if (p.z < -1.0 || p.z > 1.0)
      continue;
    const double rho = std::sqrt(p.x * p.x + p.y * p.y);
    VECTEUR outward = rho == 0.0 ? VECTEUR(0.0, 0.0, SlopeVertical)
                                 : VECTEUR(SlopeHorizontal * p.x / rho, SlopeHorizontal * p.y / rho, SlopeVertical);
    Normalise(outward);
    // The normal faces the ray: outward where the ray enters the cone, inward where it
    // leaves. (Steep rays meet the roots in the other order than shallow ones.)
    hit.Take(tau, p, Dot(outward, d) <= 0.0 ? outward : -outward);
    return;
  }
}

void PyramidCandidates(const VECTEUR& o, const VECTEUR& d, CanonicalHit& hit) {
  TryFace(o, d, 2, -1.0, Patch::Square, 1.0, hit);
  struct Face {
    VECTEUR normal;
    VECTEUR reference;
    int horizontalAxis;
  };
  static const Face faces[4] = {
      {VECTEUR(SlopeHorizontal, 0.0, SlopeVertical), VECTEUR(1.0, 0.0, -1.0), 1},
      {VECTEUR(-SlopeHorizontal, 0.0, SlopeVertical), VECTEUR(-1.0, 0.0, -1.0), 1},
      {VECTEUR(0.0, -SlopeHorizontal, SlopeVertical), VECTEUR(0.0, -1.0, -1.0), 0},
      {VECTEUR(0.0, SlopeHorizontal, SlopeVertical), VECTEUR(0.0, 1.0, -1.0), 0},
  };
  for (const Face& face : faces) {
    const double nd = Dot(face.normal, d);
    if (std::fabs(nd) <= ParallelTolerance)
      continue;
    const double tau = Dot(face.normal, face.reference - o) / nd;
    if (!hit.Accepts(tau))
      continue;
    VECTEUR p = o + d * tau;
    const double h = p.z + 1.0;
    const double v = Component(p, face.horizontalAxis);
    if (h > 0.0 && 2.0 * v - h + 2.0 > 0.0 && 2.0 * v + h - 2.0 < 0.0)
      hit.Take(tau, p - face.reference, face.normal);
  }
}

void PlaneCandidates(const VECTEUR& o, const VECTEUR& d, CanonicalHit& hit) {
  TryFace(o, d, 2, 0.0, Patch::Square, PlaneHalfSide, hit);
}

// The frame shared by the canonical shapes: the world ray into object space, the
// candidates searched with a unit direction, the material's acceptance test, and the
// distance back in units of the world ray's direction.
BasicObject* NearestCanonicalHit(Obj* object, Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal,
                                 CandidateSearch candidates) {
  Ray local;
  object->AppliquerTransformationInverse(&local, ray);
  const double len = Length(local.direction);
  if (len == 0.0)
    return nullptr;
  const VECTEUR d = local.direction * (1.0 / len);
  CanonicalHit hit(t * len);
  candidates(local.origin, d, hit);
  if (!hit.found)
    return nullptr;
  if (MaterialRejectsHit(object, object->material, ray, di))
    return nullptr;
  t = hit.best / len;
  point = hit.point;
  normal = hit.normal;
  return object;
}

// Entry and exit of a closed solid: the nearest hit, then the next one from just beyond
// it; without a second hit the ray started inside.
TIntervalList* EntryExitIntervals(BasicObject* object, Ray* ray, TDrawInfo* di) {
  TIntervalList* list = new TIntervalList();
  double t1 = NoLimit;
  VECTEUR point1, normal1;
  if (!object->FindNearestIntersection(ray, di, t1, point1, normal1))
    return list;
  Ray beyond = *ray;
  beyond.origin = ray->origin + ray->direction * (t1 + HitTolerance);
  double t2 = 100000.0;
  VECTEUR point2, normal2;
  TInterval interval;
  interval.objIn = interval.objOut = object;
  if (object->FindNearestIntersection(&beyond, di, t2, point2, normal2)) {
    interval.tIn = t1;
    interval.tOut = t1 + t2;
    interval.pointIn = point1;
    interval.normalIn = normal1;
    interval.pointOut = point2;
    interval.normalOut = normal2;
  } else {
    interval.tIn = StartsInside;
    interval.tOut = t1;
    interval.pointIn = interval.pointOut = point1;
    interval.normalIn = interval.normalOut = normal1;
  }
  list->Add(interval);
  return list;
}

// Inside a closed solid: a ray straight up from p starts inside it.
bool InsideByUpwardRay(BasicObject* object, const VECTEUR& p, TDrawInfo* di) {
  Ray ray;
  ray.origin = p;
  ray.direction = VECTEUR(0.0, 0.0, 1.0);
  TIntervalList* list = object->FindAllIntersections(&ray, di);
  const bool inside = !list->IsEmpty() && (*list)[0].tIn == StartsInside;
  delete list;
  return inside;
}

// Includes object-space points, mapped by forward and (world) moved by the centre.
void IncludePoints(Obj* object, TBoundingBox& box, const VECTEUR* points, int count, bool world) {
  for (int i = 0; i < count; i++) {
    VECTEUR p = points[i];
    object->AppliquerTransformation(&p);
    if (world)
      p += object->centre;
    box.Include(p);
  }
}

const VECTEUR UnitCubeCorners[8] = {
    VECTEUR(-1, -1, -1), VECTEUR(1, -1, -1), VECTEUR(-1, 1, -1), VECTEUR(1, 1, -1),
    VECTEUR(-1, -1, 1),  VECTEUR(1, -1, 1),  VECTEUR(-1, 1, 1),  VECTEUR(1, 1, 1),
};

const VECTEUR ApexAndBaseCorners[5] = {
    VECTEUR(0, 0, 1), VECTEUR(-1, -1, -1), VECTEUR(1, -1, -1), VECTEUR(-1, 1, -1), VECTEUR(1, 1, -1),
};

bool IsRendering(const TDrawInfo* di) { return !di || di->Rendering; }

}  // namespace

// Sphere ----------------------------------------------------------------------

Sph::Sph(unsigned materialIndex) : Obj(materialIndex) { SetType(TypeSphere); }

BasicObject* Sph::FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) {
  return NearestCanonicalHit(this, ray, di, t, point, normal, SphereCandidates);
}
TIntervalList* Sph::FindAllIntersections(Ray* ray, TDrawInfo* di) { return EntryExitIntervals(this, ray, di); }
bool Sph::IsInside(const VECTEUR& p, TDrawInfo* di) { return InsideByUpwardRay(this, p, di); }
void Sph::IncludeObjectInBox(TBoundingBox& box, bool, bool world) { IncludePoints(this, box, UnitCubeCorners, 8, world); }

// Cylinder --------------------------------------------------------------------

Cyl::Cyl(unsigned materialIndex) : Obj(materialIndex) { SetType(TypeCylinder); }

BasicObject* Cyl::FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) {
  return NearestCanonicalHit(this, ray, di, t, point, normal, CylinderCandidates);
}
TIntervalList* Cyl::FindAllIntersections(Ray* ray, TDrawInfo* di) { return EntryExitIntervals(this, ray, di); }
bool Cyl::IsInside(const VECTEUR& p, TDrawInfo* di) { return InsideByUpwardRay(this, p, di); }
void Cyl::IncludeObjectInBox(TBoundingBox& box, bool, bool world) { IncludePoints(this, box, UnitCubeCorners, 8, world); }

// Cube ------------------------------------------------------------------------

TCube::TCube(unsigned materialIndex) : Obj(materialIndex) { SetType(TypeCube); }

BasicObject* TCube::FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) {
  return NearestCanonicalHit(this, ray, di, t, point, normal, CubeCandidates);
}
TIntervalList* TCube::FindAllIntersections(Ray* ray, TDrawInfo* di) { return EntryExitIntervals(this, ray, di); }
bool TCube::IsInside(const VECTEUR& p, TDrawInfo* di) { return InsideByUpwardRay(this, p, di); }
void TCube::IncludeObjectInBox(TBoundingBox& box, bool, bool world) {
  IncludePoints(this, box, UnitCubeCorners, 8, world);
}

// Cone ------------------------------------------------------------------------

TCone::TCone(unsigned materialIndex) : Obj(materialIndex) { SetType(TypeCone); }

BasicObject* TCone::FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) {
  return NearestCanonicalHit(this, ray, di, t, point, normal, ConeCandidates);
}
TIntervalList* TCone::FindAllIntersections(Ray* ray, TDrawInfo* di) { return EntryExitIntervals(this, ray, di); }
bool TCone::IsInside(const VECTEUR& p, TDrawInfo* di) { return InsideByUpwardRay(this, p, di); }
void TCone::IncludeObjectInBox(TBoundingBox& box, bool, bool world) {
  IncludePoints(this, box, ApexAndBaseCorners, 5, world);
}

// Pyramid ---------------------------------------------------------------------

TPyramide::TPyramide(unsigned materialIndex) : Obj(materialIndex) { SetType(TypePyramid); }

BasicObject* TPyramide::FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point,
                                                VECTEUR& normal) {
  return NearestCanonicalHit(this, ray, di, t, point, normal, PyramidCandidates);
}
TIntervalList* TPyramide::FindAllIntersections(Ray* ray, TDrawInfo* di) { return EntryExitIntervals(this, ray, di); }
bool TPyramide::IsInside(const VECTEUR& p, TDrawInfo* di) { return InsideByUpwardRay(this, p, di); }
void TPyramide::IncludeObjectInBox(TBoundingBox& box, bool, bool world) {
  IncludePoints(this, box, ApexAndBaseCorners, 5, world);
}

// Finite plane ----------------------------------------------------------------

TPlane::TPlane(unsigned materialIndex) : Obj(materialIndex) { SetType(TypePlane); }

BasicObject* TPlane::FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) {
  if (IsRendering(di))
    return NearestCanonicalHit(this, ray, di, t, point, normal, PlaneCandidates);
  // Picking: the box of the preview symbol stands for the plane.
  TBoundingBox box;
  IncludeObjectInBox(box, false, true);
  float boxDistance = static_cast<float>(t);
  if (!box.HitBoundingBox(ray, boxDistance))
    return nullptr;
  t = boxDistance;
  return this;
}

TIntervalList* TPlane::FindAllIntersections(Ray* ray, TDrawInfo* di) {
  TIntervalList* list = new TIntervalList();
  double t = NoLimit;
  VECTEUR point, normal;
  if (FindNearestIntersection(ray, di, t, point, normal)) {
    TInterval interval;
    interval.tIn = t;
    interval.tOut = t + HitTolerance;
    interval.objIn = interval.objOut = this;
    interval.pointIn = interval.pointOut = point;
    interval.normalIn = interval.normalOut = normal;
    list->Add(interval);
  }
  return list;
}

bool TPlane::IsInside(const VECTEUR&, TDrawInfo*) { return false; }

void TPlane::IncludeObjectInBox(TBoundingBox& box, bool symbol, bool world) {
  const double s = PlaneHalfSide;
  const VECTEUR square[4] = {VECTEUR(-s, -s, 0), VECTEUR(s, -s, 0), VECTEUR(-s, s, 0), VECTEUR(s, s, 0)};
  const VECTEUR symbolBox[8] = {VECTEUR(-s, -s, -3), VECTEUR(s, -s, -3), VECTEUR(-s, s, -3), VECTEUR(s, s, -3),
                                VECTEUR(-s, -s, 3),  VECTEUR(s, -s, 3),  VECTEUR(-s, s, 3),  VECTEUR(s, s, 3)};
  if (symbol)
    IncludePoints(this, box, symbolBox, 8, world);
  else
    IncludePoints(this, box, square, 4, world);
}

// Infinite plane ----------------------------------------------------------------

InfinitePlane::InfinitePlane(unsigned materialIndex) : Planar(materialIndex) { SetType(TypeInfinitePlane); }

BasicObject* InfinitePlane::FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point,
                                                    VECTEUR& normal) {
  const VECTEUR& n = this->normal;
  if (IsRendering(di)) {
    const double den = Dot(n, ray->direction);
    if (std::fabs(den) <= 1e-7)
      return nullptr;
    const double tau = Dot(n, centre - ray->origin) / den;
    if (tau <= HitTolerance || tau >= t)
      return nullptr;
    if (ray->shadowRay && !HitFlagsOf(LandscapeMaterial(di, this->material)).castsShadows)
      return nullptr;
    normal = den >= 0.0 ? -n : n;
    point = ray->origin + ray->direction * tau - centre;
    t = tau;
    return this;
  }
  // Picking in a wireframe view.
  TBoundingBox box;
  IncludeObjectInBox(box, true, true);
  const bool orthographic = di->ViewType == ViewTop || di->ViewType == ViewFront || di->ViewType == ViewSide;
  const double c = std::fabs(Dot(n, ray->direction));
  const double limit = orthographic ? 1e-5 : 0.02;
  if (c >= limit || (orthographic && std::fabs(Dot(n, ray->origin - centre)) >= 8.0)) {
    float boxDistance = static_cast<float>(t);
    if (!box.HitBoundingBox(ray, boxDistance))
      return nullptr;
    t = boxDistance;
    return this;
  }
  // Seen edge-on and close to the ray.
  t = 10000.0;
  return this;
}

TIntervalList* InfinitePlane::FindAllIntersections(Ray* ray, TDrawInfo*) {
  TIntervalList* list = new TIntervalList();
  const double den = Dot(normal, ray->direction);
  if (std::fabs(den) <= ParallelTolerance)
    return list;
  const double tau = Dot(normal, centre - ray->origin) / den;
  TInterval interval;
  interval.objIn = interval.objOut = this;
  if (den <= 0.0) {
    interval.tIn = tau;
    interval.tOut = NoLimit;
    interval.normalIn = normal;
  } else {
    interval.tIn = StartsInside;
    interval.tOut = tau;
    interval.normalOut = normal;
  }
  interval.pointIn = ray->origin + ray->direction * interval.tIn - centre;
  interval.pointOut = ray->origin + ray->direction * interval.tOut - centre;
  list->Add(interval);
  return list;
}

bool InfinitePlane::IsInside(const VECTEUR& p, TDrawInfo*) { return Dot(normal, centre - p) > 0.0; }

void InfinitePlane::IncludeObjectInBox(TBoundingBox& box, bool symbol, bool world) {
  // Without the world flag the plane is bounded as if it stood at the origin.
  const VECTEUR c = world ? centre : VECTEUR();
  if (symbol) {
    const double h = 28.28, v = 8.0;
    const VECTEUR symbolBox[8] = {VECTEUR(-h, -h, -v), VECTEUR(h, -h, -v), VECTEUR(-h, h, -v), VECTEUR(h, h, -v),
                                  VECTEUR(-h, -h, v),  VECTEUR(h, -h, v),  VECTEUR(-h, h, v),  VECTEUR(h, h, v)};
    for (const VECTEUR& corner : symbolBox) {
      VECTEUR p = corner;
      AppliquerTransformation(&p);
      box.Include(p + c);
    }
    return;
  }
  const double f00 = forward.m[0][0], f01 = forward.m[0][1], f10 = forward.m[1][0], f11 = forward.m[1][1];
  const double signs[4][2] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
  for (const auto& s : signs)
    box.Include(VECTEUR(c.x + s[0] * 100000.0 * (f00 + f01), c.y + s[1] * 100000.0 * (f10 + f11), c.z));
}

// Copies: a new primitive with material 0, given this one's values by the assignment of
// the class that holds them (Obj, or Planar for the infinite plane).
namespace {
template <class T, class Assign>
BasicObject* CopyPrimitive(const T& source) {
  T* copy = new T(0);
  static_cast<Assign&>(*copy) = static_cast<const Assign&>(source);
  return copy;
}
}  // namespace

BasicObject* Sph::Clone() const { return CopyPrimitive<Sph, Obj>(*this); }
BasicObject* Cyl::Clone() const { return CopyPrimitive<Cyl, Obj>(*this); }
BasicObject* TCube::Clone() const { return CopyPrimitive<TCube, Obj>(*this); }
BasicObject* TCone::Clone() const { return CopyPrimitive<TCone, Obj>(*this); }
BasicObject* TPyramide::Clone() const { return CopyPrimitive<TPyramide, Obj>(*this); }
BasicObject* TPlane::Clone() const { return CopyPrimitive<TPlane, Obj>(*this); }
BasicObject* InfinitePlane::Clone() const { return CopyPrimitive<InfinitePlane, Planar>(*this); }

namespace {
[[maybe_unused]] const bool copiersRegistered =
    RegisterObjectCopier(BasicObject::TypeInfinitePlane, CopyOfKind<InfinitePlane>) &&
    RegisterObjectCopier(BasicObject::TypePlane, CopyOfKind<TPlane>) &&
    RegisterObjectCopier(BasicObject::TypeCylinder, CopyOfKind<Cyl>) &&
    RegisterObjectCopier(BasicObject::TypeSphere, CopyOfKind<Sph>) &&
    RegisterObjectCopier(BasicObject::TypeCube, CopyOfKind<TCube>) &&
    RegisterObjectCopier(BasicObject::TypeCone, CopyOfKind<TCone>) &&
    RegisterObjectCopier(BasicObject::TypePyramid, CopyOfKind<TPyramide>);
}  // namespace
