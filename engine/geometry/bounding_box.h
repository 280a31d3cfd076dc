// Axis-aligned boxes: object bounds, ray culling and the bounding volume hierarchy.
#pragma once

#include "engine/geometry/vectors.h"

class Ray;

// The extent of the empty box: its first Include sets both corners.
constexpr double EmptyBoxExtent = 100000.0;

class TBoundingBox {
 public:
  VECTEUR min;
  VECTEUR max;

  TBoundingBox()
      : min(EmptyBoxExtent, EmptyBoxExtent, EmptyBoxExtent), max(-EmptyBoxExtent, -EmptyBoxExtent, -EmptyBoxExtent) {}
  TBoundingBox(const VECTEUR& lower, const VECTEUR& upper) : min(lower), max(upper) {}
  TBoundingBox(const TBoundingBox& b) = default;
  virtual ~TBoundingBox() = default;
  TBoundingBox& operator=(const TBoundingBox& b) = default;

  virtual double SurfaceArea() const;

  // Closed intervals on every axis: touching boxes overlap.
  bool Overlap(const TBoundingBox& b) const;
  // The common part; disjoint boxes give the degenerate box at the origin.
  void Intersect(const TBoundingBox& b);
  VECTEUR GetMin() const { return min; }
  VECTEUR GetMax() const { return max; }
  VECTEUR GetCenter() const { return (min + max) * 0.5; }
  void Include(const VECTEUR& p);
  void Include(const VECFLOAT& p) { Include(ToVecteur(p)); }
  void Include(const TBoundingBox& b);
  void MoveOf(float dx, float dy, float dz);
  void Expand(float e);

  // Nearest entry distance closer than t (in units of the ray's direction length); on a
  // hit stores it into t. A ray starting strictly inside hits at 0.
  bool HitBoundingBox(Ray* r, float& t) const;
  // Entry and exit distances; true when the entry is nearer than the incoming tNear.
  bool HitBoundingBoxExtrema(Ray* r, float& tNear, float& tFar) const;
};

// The nearest crossing of the ray o + tau·d (tau beyond HitTolerance and below limit)
// with the axis-aligned box [lower, upper]: its entry, or its exit for a ray starting
// inside. Sets tau and the normal of the face crossed, facing against the ray.
bool HitAlignedBox(const VECTEUR& o, const VECTEUR& d, const VECTEUR& lower, const VECTEUR& upper, double limit,
                   double& tau, VECTEUR& normal);
