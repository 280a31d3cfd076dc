// Aggregates: scene objects made of other scene objects. TAggregate owns the children
// and carries the transform, bookkeeping and propagation slots for all of them; Group is
// a plain collection whose solid is the union of its children; TCSGUnion,
// TCSGIntersection and TCSGDifference combine their children's entry/exit intervals.
// Children are released through the host's list-removal callback.
#pragma once

#include "engine/objects/object.h"

class TAggregate : public TObject3D {
 public:
  ObjectsList* children;  // owned; every child's parent is this aggregate
  VECTEUR angles;         // rotation angles, degrees: bookkeeping for the host and picking
  VECTEUR size;           // accumulated scale factors
  float slants[3];        // accumulated slant angles, degrees
  TBoundingBox box;       // world box of the children as they were added (moved, never turned)

  // Adds every object of list (which may be null, and is not kept) with slot 27.
  explicit TAggregate(ObjectsList* list);
  TAggregate(const TAggregate&) = delete;
  ~TAggregate() override;
  // Releases the own children, copies src's fields and deep copies its children.
  TAggregate& operator=(const TAggregate& src);

  void Rotate(float a, float b, float c, TDrawInfo* di, bool absolute) override;
  void MoveOf(float dx, float dy, float dz, TDrawInfo* di) override;
  void MoveTo(float x, float y, float z, TDrawInfo* di) override;
  void Scale(float sx, float sy, float sz, TDrawInfo* di, bool worldAxes) override;
  void Slant(float p, float q, float r, TDrawInfo* di) override;
  VECTEUR GetCenter() override;
  // With children, not box-only and Detail not 0: its box with the dotted pens, then each
  // child's own drawing; otherwise its box alone.
  void DrawWireFrame(TDrawInfo* di, bool ghost) override;
  void IncludeObjectInBox(TBoundingBox& box, bool symbol, bool world) override;
  void GetTransformParameters(VECTEUR& angles, VECTEUR& sizes, float& p, float& q, float& r) override;
  int GetNumberOfChildren() override;
  bool IsValidTexture() override;
  void GetNumberOfObjects(int& objects, int& lights) override;
  long GetNumberOfPolygons() override;
  void SetTexture(unsigned m) override;
  // The children's common material index; -1 (as unsigned) without a list or when two
  // children differ; 0 for an empty list.
  unsigned GetTexture() override;
  void Select(bool on) override;
  void SetWireFrameColor(unsigned char c) override;
  void SetLayer(unsigned n) override;
  // Slot 27: grows box by obj, appends it (position -1) or inserts it at position, makes
  // this aggregate its parent and moves the centre to the children's barycentre. Returns
  // 1 when obj was added, 0 for a null object.
  virtual int Add(BasicObject* obj, unsigned position);

  ObjectsList* GetPointerToList() { return children; }

 protected:
  // Inserts obj without touching box: the shared tail of every Add.
  int Insert(BasicObject* obj, unsigned position);
  // Empties the children list through the host's list-removal callback.
  void ReleaseChildren();
};

class Group : public TAggregate {
 public:
  explicit Group(ObjectsList* list);
  BasicObject* Clone() const;

  // Rendering: the nearest hit over the children (the leaf hit). Picking: the first
  // child hit in list order, or, with the box-only flag, the group itself when its box
  // is hit; picking never changes t.
  BasicObject* FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) override;
  // The union of the children's intervals.
  TIntervalList* FindAllIntersections(Ray* ray, TDrawInfo* di) override;
  // A ray straight up from p starts inside the union.
  bool IsInside(const VECTEUR& p, TDrawInfo* di) override;
};

// The constructive solids: the nearest hit and the inside test come from the interval
// list of the kind's FindAllIntersections.
class TCSG : public TAggregate {
 public:
  explicit TCSG(ObjectsList* list) : TAggregate(list) {}

  // The nearest entry or exit boundary beyond the hit tolerance, with the acceptance
  // tests of the boundary's object applied.
  BasicObject* FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) override;
  // Some interval of a ray straight up from p contains p.
  bool IsInside(const VECTEUR& p, TDrawInfo* di) override;
};

class TCSGUnion : public TCSG {
 public:
  explicit TCSGUnion(ObjectsList* list);
  BasicObject* Clone() const;
  TIntervalList* FindAllIntersections(Ray* ray, TDrawInfo* di) override;
};

class TCSGIntersection : public TCSG {
 public:
  explicit TCSGIntersection(ObjectsList* list);
  BasicObject* Clone() const;
  // Ends of the first operand's intervals are pulled in by 1e-6 each time they meet a
  // further operand, so that coincident surfaces do not leave slivers.
  TIntervalList* FindAllIntersections(Ray* ray, TDrawInfo* di) override;
  // The common part of the children's boxes.
  void IncludeObjectInBox(TBoundingBox& box, bool symbol, bool world) override;
  // Intersects box with the object's box instead of growing it.
  int Add(BasicObject* obj, unsigned position) override;
};

// Child 0 minus every other child.
class TCSGDifference : public TCSG {
 public:
  explicit TCSGDifference(ObjectsList* list);
  BasicObject* Clone() const;
  // Not necessarily sorted: a piece left of a subtractor is queued again at the end.
  TIntervalList* FindAllIntersections(Ray* ray, TDrawInfo* di) override;
  // The first operand's box.
  void IncludeObjectInBox(TBoundingBox& box, bool symbol, bool world) override;
  // box becomes the first operand's box; later operands leave it alone.
  int Add(BasicObject* obj, unsigned position) override;
};
