// Rays, the interval records of FindAllIntersections and the hit record handed to
// materials.
#pragma once

#include <cstdint>

#include "engine/geometry/array.h"
#include "engine/geometry/vectors.h"

class BasicObject;
class ObjectsList;

class Ray {
 public:
  VECTEUR origin;
  VECTEUR direction;                     // not necessarily unit length
  int16_t depth = 1;                     // 1 for primary rays; parent's + 1 for secondary rays
  float weight = 1.0f;                   // first weight
  float factor;                          // second weight: not set here, copied by assignment
  ObjectsList* insideObjects = nullptr;  // owned: the objects the ray starts inside
  bool shadowRay = false;
  bool flag2 = false;
  float distance = 0.0f;  // length travelled so far; not copied by assignment

  Ray() = default;
  Ray(const Ray& other);
  ~Ray();
  // Copies origin, direction, depth, weights and flags; the target gets its own copy of
  // the source's inside-objects list (or none). distance is not copied.
  Ray& operator=(const Ray& other);

  // Crossing the surface of `object`: the ray leaves it when it started inside, else it
  // enters it (the inside list is made when the ray had none).
  void ToggleInside(BasicObject* object);
};

// One entry/exit interval of a ray with a solid.
struct TInterval {
  double tIn = 0.0;  // StartsInside when the ray starts inside the solid
  double tOut = 0.0;
  BasicObject* objIn = nullptr;
  BasicObject* objOut = nullptr;
  VECTEUR pointIn;
  VECTEUR pointOut;
  VECTEUR normalIn;
  VECTEUR normalOut;
};

// Heap-allocated by FindAllIntersections and deleted by its caller.
class TIntervalList : public TArray<TInterval> {
 public:
  TIntervalList() : TArray<TInterval>(1, 0, 1) {}
};

// The tIn of an interval whose ray starts inside the solid.
constexpr double StartsInside = -200000.0;
// The distance that stands for no limit on a ray.
constexpr double NoLimit = 200000.0;
// Hits closer than this (in object units) are ignored.
constexpr double HitTolerance = 1e-5;

struct ImpactInfo {
  VECTEUR worldPoint;
  VECTEUR objectPoint;   // object-space point scaled by the object's size per axis
  VECTEUR worldNormal;   // unit
  VECTEUR objectNormal;  // scaled like objectPoint, unit
};
