#include "engine/objects/aggregates.h"

#include <cmath>

#include "engine/objects/hit_material.h"
#include "engine/objects/object_tools.h"
#include "engine/scene/context.h"
#include "engine/scene/release_callbacks.h"

namespace {

// The position argument of Add that appends.
constexpr unsigned AppendPosition = static_cast<unsigned>(-1);
// How far the ends of an accumulated interval are pulled in each time it meets a further
// operand of an intersection or difference.
constexpr double IntervalShrink = 1.0000000000000002e-06;

void MoveObjectTo(BasicObject* object, const VECTEUR& p, TDrawInfo* di) {
  object->MoveTo(static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z), di);
}

// The matrix that moves the children's centres when an aggregate is slanted (and that
// stands for the slant in the picking frame).
Matrix AggregateSlantMatrix(double p, double q, double r) {
  const double c1 = std::cos(p * RotationDegreesToRadians), s1 = std::sin(p * RotationDegreesToRadians);
  const double c2 = std::cos(q * RotationDegreesToRadians), s2 = std::sin(q * RotationDegreesToRadians);
  const double c3 = std::cos(r * RotationDegreesToRadians), s3 = std::sin(r * RotationDegreesToRadians);
  const double entries[3][3] = {{c2, s3 * c1, s2}, {-s1 * s2, c3 * c1, s1 * c2}, {-s2 * c1, s1, c1 * c2}};
  Matrix m;
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++)
      m.m[i][j] = static_cast<float>(entries[i][j]);
  return m;
}

// A ray from p straight up, as the inside tests use it.
void UpwardRay(Ray& ray, const VECTEUR& p) {
  ray.origin = p;
  ray.direction = VECTEUR(0.0, 0.0, 1.0);
}

TIntervalList* ChildIntervals(BasicObject* child, Ray* ray, TDrawInfo* di) {
  TIntervalList* list = child->FindAllIntersections(ray, di);
  return list ? list : new TIntervalList();
}

// Reads an interval list from the front without removing anything; the list may grow
// behind the cursor.
class IntervalCursor {
 public:
  explicit IntervalCursor(const TIntervalList& list) : list(list) {}
  bool Empty() const { return next >= list.Count(); }
  TInterval Take() { return list[list.LowerBound() + next++]; }
  void Restart() { next = 0; }

 private:
  const TIntervalList& list;
  int next = 0;
};

// Closed intervals: touching ones overlap.
bool Overlap(const TInterval& a, const TInterval& b) { return a.tIn <= b.tOut && b.tIn <= a.tOut; }

void TakeEntry(TInterval& to, const TInterval& from) {
  to.tIn = from.tIn;
  to.objIn = from.objIn;
  to.pointIn = from.pointIn;
  to.normalIn = from.normalIn;
}

void TakeExit(TInterval& to, const TInterval& from) {
  to.tOut = from.tOut;
  to.objOut = from.objOut;
  to.pointOut = from.pointOut;
  to.normalOut = from.normalOut;
}

// The entry of `to` becomes the exit of `from` (the far side of a subtracted piece).
void EntryFromExit(TInterval& to, const TInterval& from) {
  to.tIn = from.tOut;
  to.objIn = from.objOut;
  to.pointIn = from.pointOut;
  to.normalIn = from.normalOut;
}

// The exit of `to` becomes the entry of `from` (the near side of a subtracted piece).
void ExitFromEntry(TInterval& to, const TInterval& from) {
  to.tOut = from.tIn;
  to.objOut = from.objIn;
  to.pointOut = from.pointIn;
  to.normalOut = from.normalIn;
}

void Extend(TInterval& m, const TInterval& r) {
  if (r.tIn < m.tIn)
    TakeEntry(m, r);
  if (r.tOut > m.tOut)
    TakeExit(m, r);
}

// Merges the sorted, non-overlapping list B into A.
void MergeUnion(TIntervalList* A, const TIntervalList& B) {
  const TIntervalList C(*A);
  A->Flush();
  IntervalCursor cs(C), bs(B);
  TInterval c, b, m;
  bool hasC = false, hasB = false, hasM = false;
  while (!cs.Empty() || !bs.Empty() || hasC || hasB || hasM) {
    if (!hasC && !cs.Empty()) {
      c = cs.Take();
      hasC = true;
    }
    if (!hasB && !bs.Empty()) {
      b = bs.Take();
      hasB = true;
    }
    if (hasM) {
      if (hasC && Overlap(c, m)) {
        Extend(m, c);
        hasC = false;
      } else if (hasB && Overlap(b, m)) {
        Extend(m, b);
        hasB = false;
      } else {
        A->Add(m);
        hasM = false;
      }
    } else if (hasC && hasB) {
      if (Overlap(c, b)) {
        m = c;
        Extend(m, b);
        hasM = true;
        hasC = hasB = false;
      } else if (c.tIn < b.tIn) {
        A->Add(c);
        hasC = false;
      } else {
        A->Add(b);
        hasB = false;
      }
    } else if (hasC) {
      A->Add(c);
      hasC = false;
    } else if (hasB) {
      A->Add(b);
      hasB = false;
    }
  }
}

TIntervalList* UnionOfChildren(ObjectsList* children, Ray* ray, TDrawInfo* di) {
  if (!children || children->IsEmpty())
    return new TIntervalList();
  TIntervalList* A = ChildIntervals((*children)[0], ray, di);
  for (int i = 1; i < children->Count(); i++) {
    TIntervalList* B = ChildIntervals((*children)[i], ray, di);
    if (!B->IsEmpty()) {
      if (A->IsEmpty())
        for (const TInterval& r : *B)
          A->Add(r);
      else
        MergeUnion(A, *B);
    }
    delete B;
  }
  return A;
}

// Keeps in A the parts of A's intervals that B's intervals cover.
void IntersectWith(TIntervalList* A, const TIntervalList& B) {
  const TIntervalList C(*A);
  A->Flush();
  IntervalCursor cs(C), bs(B);
  TInterval a, b;
  bool hasA = false, hasB = false;
  for (;;) {
    if (!hasA) {
      if (cs.Empty())
        break;
      a = cs.Take();
      a.tIn += IntervalShrink;
      a.tOut -= IntervalShrink;
      hasA = true;
    }
    if (!hasB) {
      if (bs.Empty())
        break;
      b = bs.Take();
      hasB = true;
    }
    if (b.tOut < a.tIn || a.tOut < b.tIn) {
      if (b.tIn <= a.tIn)
        hasB = false;
      else
        hasA = false;
      continue;
    }
    TInterval r = a;
    if (b.tIn > a.tIn)
      TakeEntry(r, b);
    if (b.tOut < a.tOut)
      TakeExit(r, b);
    A->Add(r);
    if (b.tOut <= a.tOut)
      hasB = false;
    else
      hasA = false;
  }
}

// Removes from A's intervals every interval of B. A piece left of a subtracting interval
// goes to the back of the queue and meets all of B again.
void Subtract(TIntervalList* A, const TIntervalList& B) {
  TIntervalList C(*A);
  A->Flush();
  IntervalCursor cs(C), bs(B);  // bs restarting from B's front stands for a fresh copy
  TInterval a, b;
  bool hasA = false, hasB = false;
  for (;;) {
    if (cs.Empty() && !hasA)
      break;
    if (bs.Empty() && hasA) {
      A->Add(a);  // it survived every subtracting interval
      hasA = false;
    }
    if (!hasA) {
      if (cs.Empty())
        break;
      a = cs.Take();
      a.tIn += IntervalShrink;
      a.tOut -= IntervalShrink;
      hasA = true;
      bs.Restart();
      hasB = false;
    }
    if (!hasB) {
      if (bs.Empty())
        continue;
      b = bs.Take();
      hasB = true;
    }
    if (a.tIn > b.tOut || a.tOut < b.tIn) {
      hasB = false;
      continue;
    }
    switch ((a.tIn < b.tIn ? 2 : 0) + (a.tOut <= b.tOut ? 1 : 0)) {
      case 0:  // b covers a's start
        EntryFromExit(a, b);
        hasB = false;
        break;
      case 1:  // b covers a
        hasA = false;
        break;
      case 2: {  // b lies inside a: the left piece is queued again
        TInterval left;
        left.tIn = a.tIn;
        left.objIn = a.objIn;
        left.pointIn = a.pointIn;
        left.normalIn = a.normalIn;
        ExitFromEntry(left, b);
        C.Add(left);
        EntryFromExit(a, b);
        hasB = false;
        break;
      }
      default:  // 3: b covers a's end
        ExitFromEntry(a, b);
        hasB = false;
        break;
    }
  }
  if (hasA)
    A->Add(a);
}

// Whether a boundary of a constructive solid on `object` is refused: the ray starts
// inside one of the solid's children and the boundary's material has SurfaceFlag1, or a
// shadow ray meets a material that casts no shadows.
bool RejectsBoundary(const TCSG* solid, BasicObject* object, const VECTEUR& point, const Ray* ray,
                     const TDrawInfo* di) {
  unsigned index = object ? object->GetTexture() : 0;
  if (object)
    FindHitMaterial(object, point, index);
  const SurfaceHitFlags flags = HitFlagsOf(object ? LandscapeMaterial(di, index) : nullptr);
  if (flags.surfaceFlag1 && ray->insideObjects)
    for (BasicObject* inside : *ray->insideObjects)
      if (inside && inside->parent == solid)
        return true;
  return ray->shadowRay && !flags.castsShadows;
}

}  // namespace

// TAggregate -------------------------------------------------------------------

TAggregate::TAggregate(ObjectsList* list)
    : TObject3D(0),
      children(new ObjectsList(1, 0, 1)),
      angles(0.0, 0.0, 0.0),
      size(1.0, 1.0, 1.0),
      slants{0.0f, 0.0f, 0.0f} {
  if (list)
    for (BasicObject* object : *list)
      TAggregate::Add(object, AppendPosition);
}

TAggregate::~TAggregate() {
  ReleaseChildren();
  delete children;
}

void TAggregate::ReleaseChildren() {
  if (!children)
    return;
  while (!children->IsEmpty()) {
    const int before = children->Count();
    ReleaseListElement(children, children->LowerBound());
    // A callback that leaves the element in place would keep this loop going for ever.
    if (children->Count() >= before)
      children->Detach(children->LowerBound());
  }
}

TAggregate& TAggregate::operator=(const TAggregate& src) {
  if (this == &src)
    return *this;
  // Copy first: src may be one of this aggregate's own descendants, which releasing the
  // children would destroy.
  ObjectsList copies(1, 0, 1);
  if (src.children)
    for (BasicObject* child : *src.children) {
      BasicObject* copy = nullptr;
      CopyObject(&copy, child);
      if (copy)
        copies.Add(copy);
    }
  TObject3D::operator=(src);
  angles = src.angles;
  size = src.size;
  for (int i = 0; i < 3; i++)
    slants[i] = src.slants[i];
  box = src.box;
  ReleaseChildren();
  if (!children)
    children = new ObjectsList(1, 0, 1);
  for (BasicObject* copy : copies) {
    copy->parent = this;
    children->Add(copy);
  }
  return *this;
}

int TAggregate::Add(BasicObject* obj, unsigned position) {
  if (!obj || !children)
    return 0;
  obj->IncludeObjectInBox(box, false, true);
  return Insert(obj, position);
}

int TAggregate::Insert(BasicObject* obj, unsigned position) {
  if (!obj || !children)
    return 0;
  if (position == AppendPosition)
    children->Add(obj);
  else
    children->AddAt(obj, children->LowerBound() + static_cast<int>(position));
  obj->parent = this;
  FindBarycenter(centre, children);
  return 1;
}

void TAggregate::Rotate(float a, float b, float c, TDrawInfo* di, bool absolute) {
  if (!children)
    return;
  float applied[3] = {a, b, c};
  if (!absolute) {
    Matrix turn, stored;
    BuildRotationMatrix(turn, a, b, c);
    BuildRotationMatrix(stored, static_cast<float>(angles.x), static_cast<float>(angles.y),
                        static_cast<float>(angles.z));
    // The angle recovery may stop early and leave outputs unset: they keep their values.
    float na = static_cast<float>(angles.x), nb = static_cast<float>(angles.y), nc = static_cast<float>(angles.z);
    float p = slants[0], q = slants[1], r = slants[2];
    GetRotationMatrixAngles(turn * stored, na, nb, nc, p, q, r);
    angles = VECTEUR(na, nb, nc);
    slants[0] = p;
    slants[1] = q;
    slants[2] = r;
  } else {
    applied[0] = static_cast<float>(a - angles.x);
    applied[1] = static_cast<float>(b - angles.y);
    applied[2] = static_cast<float>(c - angles.z);
    angles = VECTEUR(a, b, c);
  }
  Matrix rotation;
  BuildRotationMatrix(rotation, applied[0], applied[1], applied[2]);
  const VECTEUR pivot = centre;
  for (BasicObject* child : *children) {
    child->Rotate(applied[0], applied[1], applied[2], di, false);
    MoveObjectTo(child, pivot + rotation * (child->GetCenter() - pivot), di);
  }
}

void TAggregate::MoveOf(float dx, float dy, float dz, TDrawInfo* di) {
  if (!children)
    return;
  for (BasicObject* child : *children)
    child->MoveOf(dx, dy, dz, di);
  centre += VECTEUR(dx, dy, dz);
  box.MoveOf(dx, dy, dz);
}

void TAggregate::MoveTo(float x, float y, float z, TDrawInfo* di) {
  if (!children)
    return;
  const VECTEUR target(x, y, z);
  for (BasicObject* child : *children)
    MoveObjectTo(child, target + (child->GetCenter() - centre), di);
  const VECTEUR offset = target - centre;
  box.MoveOf(static_cast<float>(offset.x), static_cast<float>(offset.y), static_cast<float>(offset.z));
  centre = target;
}

void TAggregate::Scale(float sx, float sy, float sz, TDrawInfo* di, bool worldAxes) {
  if (!children)
    return;
  size = VECTEUR(size.x * sx, size.y * sy, size.z * sz);
  const VECTEUR pivot = centre;
  for (BasicObject* child : *children) {
    child->Scale(sx, sy, sz, di, worldAxes);
    const VECTEUR d = child->GetCenter() - pivot;
    MoveObjectTo(child, pivot + VECTEUR(d.x * sx, d.y * sy, d.z * sz), di);
  }
}

void TAggregate::Slant(float p, float q, float r, TDrawInfo* di) {
  if (!children)
    return;
  slants[0] += p;
  slants[1] += q;
  slants[2] += r;
  const Matrix m = AggregateSlantMatrix(p, q, r);
  const VECTEUR pivot = centre;
  for (BasicObject* child : *children) {
    child->Slant(p, q, r, di);
    MoveObjectTo(child, pivot + m * (child->GetCenter() - pivot), di);
  }
}

VECTEUR TAggregate::GetCenter() { return centre; }

void TAggregate::IncludeObjectInBox(TBoundingBox& b, bool symbol, bool world) {
  if (!children)
    return;
  for (BasicObject* child : *children)
    child->IncludeObjectInBox(b, symbol, world);
}

void TAggregate::GetTransformParameters(VECTEUR& outAngles, VECTEUR& sizes, float& p, float& q, float& r) {
  outAngles = angles;
  sizes = size;
  p = slants[0];
  q = slants[1];
  r = slants[2];
}

int TAggregate::GetNumberOfChildren() {
  int total = 0;
  if (children)
    for (BasicObject* child : *children)
      total += child->GetNumberOfChildren();
  return total;
}

bool TAggregate::IsValidTexture() {
  if (children)
    for (BasicObject* child : *children)
      if (!child->IsValidTexture())
        return false;
  return true;
}

void TAggregate::GetNumberOfObjects(int& objects, int& lights) {
  objects = 1;
  lights = 0;
  if (!children)
    return;
  for (BasicObject* child : *children) {
    int childObjects = 0, childLights = 0;
    child->GetNumberOfObjects(childObjects, childLights);
    objects += childObjects;
    lights += childLights;
  }
}

long TAggregate::GetNumberOfPolygons() {
  long total = 0;
  if (children)
    for (BasicObject* child : *children)
      total += child->GetNumberOfPolygons();
  return total;
}

void TAggregate::SetTexture(unsigned m) {
  if (!children)
    return;
  material = static_cast<uint16_t>(m);
  for (BasicObject* child : *children)
    child->SetTexture(m);
}

unsigned TAggregate::GetTexture() {
  const unsigned none = static_cast<unsigned>(-1);
  if (!children)
    return none;
  if (children->IsEmpty())
    return 0;
  const unsigned common = (*children)[children->LowerBound()]->GetTexture();
  for (BasicObject* child : *children)
    if (child->GetTexture() != common)
      return none;
  return common;
}

void TAggregate::Select(bool on) {
  if (children)
    for (BasicObject* child : *children)
      child->Select(on);
}

void TAggregate::SetWireFrameColor(unsigned char c) {
  if (children)
    for (BasicObject* child : *children)
      child->SetWireFrameColor(c);
}

void TAggregate::SetLayer(unsigned n) {
  BasicObject::SetLayer(n);
  if (children)
    for (BasicObject* child : *children)
      child->SetLayer(n);
}

// Group ---------------------------------------------------------------------------

Group::Group(ObjectsList* list) : TAggregate(list) { SetType(TypeGroup); }

BasicObject* Group::FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) {
  if (!children)
    return nullptr;
  if (!di || di->Rendering) {
    // Each child reports only hits nearer than the best so far.
    BasicObject* hit = nullptr;
    for (BasicObject* child : *children)
      if (BasicObject* found = child->FindNearestIntersection(ray, di, t, point, normal))
        hit = found;
    return hit;
  }
  if (!(flags & BoxOnlyBit)) {
    for (BasicObject* child : *children) {
      double childT = t;
      VECTEUR childPoint, childNormal;
      if (child->FindNearestIntersection(ray, di, childT, childPoint, childNormal))
        return child;
    }
    return nullptr;
  }
  // Box-only: the ray is taken back into the frame in which box was computed (the
  // group's stored scale, turn and slant undone about its centre) and tested against it.
  Matrix scale;
  scale.m[0][0] = static_cast<float>(size.x);
  scale.m[1][1] = static_cast<float>(size.y);
  scale.m[2][2] = static_cast<float>(size.z);
  Matrix turn;
  BuildRotationMatrix(turn, static_cast<float>(-angles.x), static_cast<float>(-angles.y),
                      static_cast<float>(-angles.z));
  Matrix frame = scale * turn * AggregateSlantMatrix(slants[0], slants[1], slants[2]);
  frame.Invert();
  Ray local;
  local.direction = frame * ray->direction;
  local.origin = centre + frame * (ray->origin - centre);
  float boxDistance = static_cast<float>(NoLimit);
  return box.HitBoundingBox(&local, boxDistance) ? this : nullptr;
}

TIntervalList* Group::FindAllIntersections(Ray* ray, TDrawInfo* di) { return UnionOfChildren(children, ray, di); }

bool Group::IsInside(const VECTEUR& p, TDrawInfo* di) {
  Ray ray;
  UpwardRay(ray, p);
  TIntervalList* list = FindAllIntersections(&ray, di);
  const bool inside = !list->IsEmpty() && (*list)[list->LowerBound()].tIn == StartsInside;
  delete list;
  return inside;
}

// Constructive solids ---------------------------------------------------------------

BasicObject* TCSG::FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) {
  TIntervalList* list = FindAllIntersections(ray, di);
  // t only decreases, so the boundary kept is the nearest whatever the list's order.
  double best = t;
  VECTEUR bestPoint, bestNormal;
  BasicObject* hit = nullptr;
  bool refused = false;
  for (const TInterval& interval : *list) {
    if (interval.tIn > HitTolerance && interval.tIn < best) {
      if (RejectsBoundary(this, interval.objIn, interval.pointIn, ray, di)) {
        refused = true;
        break;
      }
      best = interval.tIn;
      bestPoint = interval.pointIn;
      bestNormal = interval.normalIn;
      hit = interval.objIn;
    }
    if (interval.tOut > HitTolerance && interval.tOut < best) {
      if (RejectsBoundary(this, interval.objOut, interval.pointOut, ray, di)) {
        refused = true;
        break;
      }
      best = interval.tOut;
      bestPoint = interval.pointOut;
      bestNormal = interval.normalOut;
      hit = interval.objOut;
    }
  }
  delete list;
  if (refused || !hit)
    return nullptr;
  t = best;
  point = bestPoint;
  normal = bestNormal;
  return hit;
}

bool TCSG::IsInside(const VECTEUR& p, TDrawInfo* di) {
  Ray ray;
  UpwardRay(ray, p);
  TIntervalList* list = FindAllIntersections(&ray, di);
  bool inside = false;
  for (const TInterval& interval : *list)
    if (interval.tIn < 0.0 && interval.tOut > 0.0)
      inside = true;
  delete list;
  return inside;
}

TCSGUnion::TCSGUnion(ObjectsList* list) : TCSG(list) { SetType(TypeUnion); }

TIntervalList* TCSGUnion::FindAllIntersections(Ray* ray, TDrawInfo* di) { return UnionOfChildren(children, ray, di); }

TCSGIntersection::TCSGIntersection(ObjectsList* list) : TCSG(list) {
  SetType(TypeIntersection);
  // Added again with this class's own Add, so that its box rule applies.
  children->Flush();
  if (list)
    for (BasicObject* object : *list)
      TCSGIntersection::Add(object, AppendPosition);
}

int TCSGIntersection::Add(BasicObject* obj, unsigned position) {
  if (!obj || !children)
    return 0;
  TBoundingBox objectBox;
  obj->IncludeObjectInBox(objectBox, false, true);
  box.Intersect(objectBox);
  return Insert(obj, position);
}

TIntervalList* TCSGIntersection::FindAllIntersections(Ray* ray, TDrawInfo* di) {
  if (!children || children->IsEmpty())
    return new TIntervalList();
  TIntervalList* A = ChildIntervals((*children)[0], ray, di);
  if (A->IsEmpty())
    return A;
  for (int i = 1; i < children->Count(); i++) {
    TIntervalList* B = ChildIntervals((*children)[i], ray, di);
    if (B->IsEmpty()) {
      A->Flush();
      delete B;
      return A;
    }
    IntersectWith(A, *B);
    delete B;
  }
  return A;
}

void TCSGIntersection::IncludeObjectInBox(TBoundingBox& b, bool, bool world) {
  if (!children || children->IsEmpty())
    return;
  // The caller's world flag goes in the symbol position, and the boxes are world boxes.
  TBoundingBox common;
  (*children)[0]->IncludeObjectInBox(common, world, true);
  for (int i = 1; i < children->Count(); i++) {
    TBoundingBox other;
    (*children)[i]->IncludeObjectInBox(other, world, true);
    common.Intersect(other);
  }
  b.Include(common);
}

TCSGDifference::TCSGDifference(ObjectsList* list) : TCSG(list) {
  SetType(TypeDifference);
  children->Flush();
  if (list)
    for (BasicObject* object : *list)
      TCSGDifference::Add(object, AppendPosition);
}

int TCSGDifference::Add(BasicObject* obj, unsigned position) {
  if (!obj || !children)
    return 0;
  TBoundingBox objectBox;
  obj->IncludeObjectInBox(objectBox, false, true);
  if (position == 0 || (position == AppendPosition && children->IsEmpty()))
    box = objectBox;
  return Insert(obj, position);
}

TIntervalList* TCSGDifference::FindAllIntersections(Ray* ray, TDrawInfo* di) {
  if (!children || children->IsEmpty())
    return new TIntervalList();
  TIntervalList* A = ChildIntervals((*children)[0], ray, di);
  if (A->IsEmpty())
    return A;
  for (int i = 1; i < children->Count(); i++) {
    TIntervalList* B = ChildIntervals((*children)[i], ray, di);
    if (!B->IsEmpty())
      Subtract(A, *B);
    delete B;
  }
  return A;
}

void TCSGDifference::IncludeObjectInBox(TBoundingBox& b, bool, bool world) {
  if (children && !children->IsEmpty())
    (*children)[0]->IncludeObjectInBox(b, world, true);
}

// Copies: an empty aggregate of the same class given this one's fields and copies of its
// children by TAggregate's assignment.
namespace {
template <class T>
BasicObject* CopyAggregate(const T& source) {
  T* copy = new T(nullptr);
  static_cast<TAggregate&>(*copy) = source;
  return copy;
}
}  // namespace

BasicObject* Group::Clone() const { return CopyAggregate(*this); }
BasicObject* TCSGUnion::Clone() const { return CopyAggregate(*this); }
BasicObject* TCSGIntersection::Clone() const { return CopyAggregate(*this); }
BasicObject* TCSGDifference::Clone() const { return CopyAggregate(*this); }

namespace {
[[maybe_unused]] const bool copiersRegistered =
    RegisterObjectCopier(BasicObject::TypeUnion, CopyOfKind<TCSGUnion>) &&
    RegisterObjectCopier(BasicObject::TypeIntersection, CopyOfKind<TCSGIntersection>) &&
    RegisterObjectCopier(BasicObject::TypeDifference, CopyOfKind<TCSGDifference>) &&
    RegisterObjectCopier(BasicObject::TypeGroup, CopyOfKind<Group>);
}  // namespace
