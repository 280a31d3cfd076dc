#include "engine/materials/cloud_layer.h"

#include <cmath>

#include "engine/materials/texture.h"

// CloudLayer -----------------------------------------------------------------

bool CloudLayer::operator==(const CloudLayer& other) const {
  if (Exposure != other.Exposure || Altitude != other.Altitude || SunBoost != other.SunBoost ||
      SunBoostByClearance != other.SunBoostByClearance || FadeRange != other.FadeRange)
    return false;
  if (!Material || !other.Material)
    return !Material && !other.Material;
  return *Material == *other.Material;
}

// Geometry of the layers ------------------------------------------------------

bool HitCloudSphere(const VECTEUR& o, const VECTEUR& d, double r, double& t) {
  const double b = Dot(d, o);
  const double disc = b * b - (Dot(o, o) - r * r);
  if (disc < 0.0)
    return false;
  const double root = std::sqrt(disc);
  t = -root - b;
  if (t > 1e-5)
    return true;
  t = root - b;
  return t > 1e-5;
}

void CloudHitRecord(const VECTEUR& q, ImpactInfo& hit) {
  const VECTEUR p(q.x * 0.0005, q.y * 0.0005, (q.z - EarthRadius) * 0.0005);
  const VECTEUR n = Normalised(q);
  hit.worldPoint = hit.objectPoint = p;
  hit.worldNormal = hit.objectNormal = n;
}
