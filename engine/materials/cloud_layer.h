// CloudLayer: one layer of clouds, a sphere concentric with the earth at an altitude,
// shaded by its own material; and the geometry that places a point on such a layer.
#pragma once

#include <cstddef>

#include "engine/geometry/array.h"
#include "engine/geometry/ray.h"
#include "engine/geometry/vectors.h"
#include "engine/materials/owned_material.h"

class Texture;

// The earth is a sphere of this radius whose top lies at altitude 0 below the origin.
constexpr double EarthRadius = 6400000.0;

#pragma pack(push, 1)

class CloudLayer {
 public:
  float Exposure = 0.0f;             // light and sky tint are scaled by 2^Exposure on the layer
  float Altitude = 1000.0f;          // height above the ground
  float SunBoost = 0.5f;             // added to the sun's light factor on the layer
  float SunBoostByClearance = 0.8f;  // times the sky still visible below, added to it too
  float FadeRange = 3.0f;            // how far away the layer stays visible
  OwnedMaterial Material;            // released through the host's material callback

  bool operator==(const CloudLayer& other) const;
};

#pragma pack(pop)

static_assert(sizeof(CloudLayer) == 28 && offsetof(CloudLayer, Material) == 20);

// The distance t along the unit direction d from the earth-centred origin o to the sphere
// of radius r around the earth's centre: the near root beyond 1e-5, else the far one.
bool HitCloudSphere(const VECTEUR& o, const VECTEUR& d, double r, double& t);
// The hit record of an earth-centred cloud point: its texture point (scaled by 0.0005,
// altitude measured from the ground) as both points, its direction from the earth's
// centre as both normals.
void CloudHitRecord(const VECTEUR& q, ImpactInfo& hit);

// Visits, in the order of `layers` (null: none), every layer with a material that the ray
// from the earth-centred point o along the unit direction d reaches: visit(layer, t, hit)
// gets the distance to the layer and its hit record, and returns false to stop.
template <class Visit>
void ForEachCloudCrossing(const TArray<CloudLayer*>* layers, const VECTEUR& o, const VECTEUR& d, Visit visit) {
  if (!layers)
    return;
  for (CloudLayer* layer : *layers) {
    if (!layer || !layer->Material)
      continue;
    double t;
    if (!HitCloudSphere(o, d, EarthRadius + layer->Altitude, t))
      continue;
    ImpactInfo hit;
    CloudHitRecord(o + d * t, hit);
    if (!visit(*layer, t, hit))
      return;
  }
}
