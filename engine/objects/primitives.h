// The analytic primitives: fixed canonical shapes in their own space, given size,
// orientation, slant and position by the object's matrices and centre.
//   Sph        unit sphere                     Cyl       x^2 + y^2 <= 1, -1 <= z <= 1
//   TCube      -1 <= x, y, z <= 1              TCone     base disc at z = -1, apex (0, 0, 1)
//   TPyramide  square base at z = -1, apex     TPlane    square of side 45 at z = 0
//   InfinitePlane  the plane through the centre with Planar's normal; the half-space
//                  behind it as a solid
#pragma once

#include "engine/objects/object.h"

// Sphere, cylinder, cube, cone and pyramid share their interval search and inside test.
class Sph : public Obj {
 public:
  explicit Sph(unsigned materialIndex);
  BasicObject* Clone() const;
  BasicObject* FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) override;
  TIntervalList* FindAllIntersections(Ray* ray, TDrawInfo* di) override;
  bool IsInside(const VECTEUR& p, TDrawInfo* di) override;
  void DrawWireFrame(TDrawInfo* di, bool ghost) override;
  void IncludeObjectInBox(TBoundingBox& box, bool symbol, bool world) override;
  long GetNumberOfPolygons() override { return 256; }
};

class Cyl : public Obj {
 public:
  explicit Cyl(unsigned materialIndex);
  BasicObject* Clone() const;
  BasicObject* FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) override;
  TIntervalList* FindAllIntersections(Ray* ray, TDrawInfo* di) override;
  bool IsInside(const VECTEUR& p, TDrawInfo* di) override;
  void DrawWireFrame(TDrawInfo* di, bool ghost) override;
  void IncludeObjectInBox(TBoundingBox& box, bool symbol, bool world) override;
  long GetNumberOfPolygons() override { return 32; }
};

class TCube : public Obj {
 public:
  explicit TCube(unsigned materialIndex);
  BasicObject* Clone() const;
  BasicObject* FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) override;
  TIntervalList* FindAllIntersections(Ray* ray, TDrawInfo* di) override;
  bool IsInside(const VECTEUR& p, TDrawInfo* di) override;
  void DrawWireFrame(TDrawInfo* di, bool ghost) override;
  void IncludeObjectInBox(TBoundingBox& box, bool symbol, bool world) override;
  long GetNumberOfPolygons() override { return 12; }
};

class TCone : public Obj {
 public:
  explicit TCone(unsigned materialIndex);
  BasicObject* Clone() const;
  BasicObject* FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) override;
  TIntervalList* FindAllIntersections(Ray* ray, TDrawInfo* di) override;
  bool IsInside(const VECTEUR& p, TDrawInfo* di) override;
  void DrawWireFrame(TDrawInfo* di, bool ghost) override;
  void IncludeObjectInBox(TBoundingBox& box, bool symbol, bool world) override;
  long GetNumberOfPolygons() override { return 16; }
};

class TPyramide : public Obj {
 public:
  explicit TPyramide(unsigned materialIndex);
  BasicObject* Clone() const;
  BasicObject* FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) override;
  TIntervalList* FindAllIntersections(Ray* ray, TDrawInfo* di) override;
  bool IsInside(const VECTEUR& p, TDrawInfo* di) override;
  void DrawWireFrame(TDrawInfo* di, bool ghost) override;
  void IncludeObjectInBox(TBoundingBox& box, bool symbol, bool world) override;
  long GetNumberOfPolygons() override { return 10; }
};

// A flat square: no inside. Outside rendering (picking in wireframe views) it is hit
// through the box of its preview symbol.
class TPlane : public Obj {
 public:
  explicit TPlane(unsigned materialIndex);
  BasicObject* Clone() const;
  BasicObject* FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) override;
  TIntervalList* FindAllIntersections(Ray* ray, TDrawInfo* di) override;
  bool IsInside(const VECTEUR& p, TDrawInfo* di) override;
  void DrawWireFrame(TDrawInfo* di, bool ghost) override;
  void IncludeObjectInBox(TBoundingBox& box, bool symbol, bool world) override;
  long GetNumberOfPolygons() override { return 2; }
};

// Intersected in world space; point is relative to the centre along the world axes.
class InfinitePlane : public Planar {
 public:
  explicit InfinitePlane(unsigned materialIndex);
  BasicObject* Clone() const;
  BasicObject* FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) override;
  TIntervalList* FindAllIntersections(Ray* ray, TDrawInfo* di) override;
  bool IsInside(const VECTEUR& p, TDrawInfo* di) override;
  void DrawWireFrame(TDrawInfo* di, bool ghost) override;
  void IncludeObjectInBox(TBoundingBox& box, bool symbol, bool world) override;
  bool IsValidTexture() override { return true; }
  long GetNumberOfPolygons() override { return 2; }
};
