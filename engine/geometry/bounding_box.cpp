#include "engine/geometry/bounding_box.h"

#include <algorithm>

#include "engine/geometry/ray.h"

namespace {

double Get(const VECTEUR& v, int axis) { return axis == 0 ? v.x : (axis == 1 ? v.y : v.z); }

bool StrictlyInside(const TBoundingBox& box, const VECTEUR& o) {
  return box.min.x < o.x && o.x < box.max.x && box.min.y < o.y && o.y < box.max.y && box.min.z < o.z &&
         o.z < box.max.z;
}

// The two coordinates other than `axis` of the point at tau lie within the closed face.
bool WithinFace(const TBoundingBox& box, const VECTEUR& o, const VECTEUR& d, int axis, double tau) {
  for (int other = 0; other < 3; other++) {
    if (other == axis)
      continue;
    double c = Get(o, other) + tau * Get(d, other);
    if (c < Get(box.min, other) || c > Get(box.max, other))
      return false;
  }
  return true;
}

}  // namespace

double TBoundingBox::SurfaceArea() const {
  VECTEUR d = max - min;
  return 2.0 * (d.y * d.z + d.x * d.z + d.x * d.y);
}

bool TBoundingBox::Overlap(const TBoundingBox& b) const {
  return min.x <= b.max.x && b.min.x <= max.x && min.y <= b.max.y && b.min.y <= max.y && min.z <= b.max.z &&
         b.min.z <= max.z;
}

void TBoundingBox::Intersect(const TBoundingBox& b) {
  if (!Overlap(b)) {
    min = VECTEUR(0, 0, 0);
    max = VECTEUR(0, 0, 0);
    return;
  }
  min = VECTEUR(std::max(min.x, b.min.x), std::max(min.y, b.min.y), std::max(min.z, b.min.z));
  max = VECTEUR(std::min(max.x, b.max.x), std::min(max.y, b.max.y), std::min(max.z, b.max.z));
}

void TBoundingBox::Include(const VECTEUR& p) {
  min = VECTEUR(std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z));
  max = VECTEUR(std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z));
}

void TBoundingBox::Include(const TBoundingBox& b) {
  Include(b.min);
  Include(b.max);
}

void TBoundingBox::MoveOf(float dx, float dy, float dz) {
  VECTEUR d(dx, dy, dz);
  min += d;
  max += d;
}

void TBoundingBox::Expand(float e) {
  VECTEUR d(e, e, e);
  min -= d;
  max += d;
}

bool TBoundingBox::HitBoundingBox(Ray* r, float& t) const {
  const VECTEUR o = r->origin;
  const VECTEUR d = r->direction;
  double best = t;
  if (StrictlyInside(*this, o)) {
    t = 0.0f;
    return true;
  }
  for (int axis = 0; axis < 3; axis++) {
    const double oc = Get(o, axis), dc = Get(d, axis);
    const double lower = Get(min, axis), upper = Get(max, axis);
    // Lower face: the ray comes from below it; upper face: from above it.
    if (dc > 0.0 && oc < lower) {
      double tau = (lower - oc) / dc;
      if (tau < best && tau > HitTolerance && WithinFace(*this, o, d, axis, tau))
        best = tau;
    }
    if (dc < 0.0 && oc > upper) {
      double tau = (upper - oc) / dc;
      if (tau < best && tau > HitTolerance && WithinFace(*this, o, d, axis, tau))
        best = tau;
    }
  }
  if (best < t) {
    t = static_cast<float>(best);
    return true;
  }
  return false;
}

bool TBoundingBox::HitBoundingBoxExtrema(Ray* r, float& tNear, float& tFar) const {
  const VECTEUR o = r->origin;
  const VECTEUR d = r->direction;
  double nearest = tNear, farthest = 0.0;
  if (StrictlyInside(*this, o))
    nearest = 0.0;
  for (int axis = 0; axis < 3; axis++) {
    const double dc = Get(d, axis);
    if (dc == 0.0)
      continue;
    const double planes[2] = {Get(min, axis), Get(max, axis)};
    for (double plane : planes) {
      double tau = (plane - Get(o, axis)) / dc;
      if (tau > 0.0 && WithinFace(*this, o, d, axis, tau)) {
        if (tau < nearest)
          nearest = tau;
        if (tau > farthest)
          farthest = tau;
      }
    }
  }
  if (nearest < tNear) {
    tNear = static_cast<float>(nearest);
    tFar = static_cast<float>(farthest);
    return true;
  }
  return false;
}

bool HitAlignedBox(const VECTEUR& o, const VECTEUR& d, const VECTEUR& lower, const VECTEUR& upper, double limit,
                   double& tau, VECTEUR& normal) {
  const double origin[3] = {o.x, o.y, o.z}, dir[3] = {d.x, d.y, d.z};
  const double lo[3] = {lower.x, lower.y, lower.z}, hi[3] = {upper.x, upper.y, upper.z};
  double tNear = -1e300, tFar = 1e300;
  int nearAxis = -1, farAxis = -1;
  for (int axis = 0; axis < 3; axis++) {
    if (dir[axis] == 0.0) {
      if (origin[axis] < lo[axis] || origin[axis] > hi[axis])
        return false;
      continue;
    }
    double t0 = (lo[axis] - origin[axis]) / dir[axis], t1 = (hi[axis] - origin[axis]) / dir[axis];
    if (t0 > t1)
      std::swap(t0, t1);
    if (t0 > tNear) {
      tNear = t0;
      nearAxis = axis;
    }
    if (t1 < tFar) {
      tFar = t1;
      farAxis = axis;
    }
  }
  if (tNear > tFar)
    return false;
  double candidate = tNear;
  int axis = nearAxis;
  if (candidate <= HitTolerance) {
    candidate = tFar;
    axis = farAxis;
  }
  if (axis < 0 || candidate <= HitTolerance || candidate >= limit)
    return false;
  double n[3] = {0.0, 0.0, 0.0};
  n[axis] = dir[axis] > 0.0 ? -1.0 : 1.0;
  tau = candidate;
  normal = VECTEUR(n[0], n[1], n[2]);
  return true;
}
