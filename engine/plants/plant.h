// TPlant: a grown plant made of three kinds of elements: cylinders (branch segments),
// paraboloid patches (leaves) and spheres. The main program's turtle interpreter adds
// them, then calls Smooth and BuildBox.
//
// Memory. The elements live in one movable block: the cylinders, then the paraboloids,
// then the spheres, each section with room to grow so that adding an element costs
// amortised constant time rather than a copy of the whole block. The block stays pinned
// for the plant's whole life, so the three pointers are always valid and render threads
// read them without touching any lock count; Lock and Unlock nest on top, as callers
// expect.
//
// Threads. Queries write nothing shared: the material of a hit is reported per thread
// (engine/objects/hit_material.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/objects/object.h"
#include "engine/platform/memory.h"

#pragma pack(push, 1)

struct Cylinder {
  uint32_t tag;  // copied, not interpreted
  uint16_t material;
  VECFLOAT start;           // on the axis
  VECFLOAT axis;            // unit
  VECFLOAT startDirection;  // smoothed direction at the start joint; zero when there is none
  VECFLOAT endDirection;    // smoothed direction at the end joint; zero when there is none
  float radiusSquared;
  float length;      // the end is start + length * axis
  float baseLength;  // branch length from its root to start
};

// The leaf surface z = curvatureX x^2 + curvatureY y^2 over [xMin, xMax] x [yMin, yMax] in
// the leaf's frame: its vertex at origin, turned about the vertical by the angle.
struct Paraboloid {
  uint32_t tag;
  uint16_t material;
  float curvatureX, curvatureY;
  float xMin, xMax, yMin, yMax;
  VECFLOAT origin;
  float cosAngle, sinAngle;
};

struct Sphere {
  uint32_t tag;
  uint16_t material;
  float radius;
  VECFLOAT centre;
};

#pragma pack(pop)

static_assert(sizeof(Cylinder) == 66 && offsetof(Cylinder, start) == 6 && offsetof(Cylinder, radiusSquared) == 54);
static_assert(sizeof(Paraboloid) == 50 && offsetof(Paraboloid, origin) == 30);
static_assert(sizeof(Sphere) == 22 && offsetof(Sphere, centre) == 10);

// (x, y, curvatureX x^2 + curvatureY y^2): a point of the leaf surface in its own frame.
void ParaboloidEval(float x, float y, VECFLOAT& out, const Paraboloid& leaf);

class TPlant : public Obj {
 public:
  uint32_t cylinderCount = 0;
  uint32_t paraboloidCount = 0;
  uint32_t sphereCount = 0;
  Cylinder* cylinders = nullptr;
  Paraboloid* paraboloids = nullptr;
  Sphere* spheres = nullptr;
  HGLOBAL elementBlock = nullptr;
  uint32_t auxiliaryCount = 0;  // kept and copied, not filled by the engine
  uint32_t* auxiliaryTable = nullptr;
  TBoundingBox localBox;  // every element in object space, built by BuildBox

  // `id` goes to Obj's constructor. Shows the out-of-memory message when the block
  // cannot be allocated; such a plant takes no elements.
  explicit TPlant(unsigned id);
  TPlant(const TPlant&) = delete;
  ~TPlant() override;
  // A deep copy: the object part, counts, box, elements and auxiliary table.
  TPlant& operator=(const TPlant& src);
  // A new plant holding a deep copy of this one (the copier CopyObject uses).
  BasicObject* Clone() const;

  void Lock();
  void Unlock();
  // The bytes the elements take: 66 per cylinder, 50 per paraboloid, 22 per sphere.
  size_t GetBlockSize() const;

  // Append one element after the others of its kind. A failed allocation shows the
  // out-of-memory message and adds nothing.
  void AddCylinder(const Cylinder& c);
  void AddParaboloid(const Paraboloid& p);
  void AddSphere(const Sphere& s);

  // The joint directions and base lengths of the cylinders: joints meeting within
  // `angle` degrees are smoothed.
  void Smooth(float angle);
  // Grows localBox by every cylinder and leaf (widened by 2e-5), clips it to the ground
  // slab and updates the size.
  void BuildBox();

  void ComputeObjectSize() override;
  void IncludeObjectInBox(TBoundingBox& box, bool symbol, bool world) override;
  void SetTexture(unsigned m) override;
  unsigned GetTexture() override;
  void DecrementTextureIfGT(unsigned m) override;
  long GetNumberOfPolygons() override;

  // The nearest cylinder or leaf in front of the ray (single precision); the reported
  // distance stops 0.01 short of the surface, the point is the texture point and the
  // hit's material is reported per thread.
  BasicObject* FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) override;
  TIntervalList* FindAllIntersections(Ray* ray, TDrawInfo* di) override;
  bool IsInside(const VECTEUR& p, TDrawInfo* di) override;

 private:
  uint32_t cylinderCapacity = 0;
  uint32_t paraboloidCapacity = 0;
  uint32_t sphereCapacity = 0;

  // Makes room for the given capacities, keeping the elements; false on failure.
  bool Reserve(uint32_t cylinderRoom, uint32_t paraboloidRoom, uint32_t sphereRoom);
  void PointSections(void* base);
};
