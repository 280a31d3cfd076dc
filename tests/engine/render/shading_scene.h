// A small scene for the shading tests, built by hand: a landscape with materials and cloud
// layers, objects in a bounding volume hierarchy, the lights of a render and the two
// render records, with the environment's quality switches under the test's control.
#pragma once

#include <memory>
#include <vector>

#include "engine/functions/noise.h"
#include "engine/lights/light.h"
#include "engine/materials/texture.h"
#include "engine/objects/bounding_volume.h"
#include "engine/objects/primitives.h"
#include "engine/platform/random.h"
#include "engine/render/atmosphere.h"
#include "engine/scene/context.h"
#include "engine/scene/environment.h"
#include "engine/scene/landscape.h"
#include "engine/render/ray_processing.h"

namespace shading {

// Restores the environment's quality switches when it goes out of scope.
class QualityGuard {
 public:
  QualityGuard() : saved(GetEnvironment()->Quality), savedSwitch(GetEnvironment()->MaterialSwitch) {}
  ~QualityGuard() {
    GetEnvironment()->Quality = saved;
    GetEnvironment()->MaterialSwitch = savedSwitch;
  }
  QualitySettings& operator*() { return GetEnvironment()->Quality; }
  QualitySettings* operator->() { return &GetEnvironment()->Quality; }

 private:
  QualitySettings saved;
  uint8_t savedSwitch;
};

// A simple material of one flat colour (r, g, b), without highlights.
inline Texture* FlatMaterial(uint8_t r, uint8_t g, uint8_t b) {
  Texture* m = new Texture();
  m->ColourSource = 0;
  m->Colours.Flush();
  m->Colours.Add(VALCLR(0, CLR(b, g, r)));
  m->Colours.Add(VALCLR(10000, CLR(b, g, r)));
  m->Specular.SetSpecularParams(0.0f, 0.35f, false);
  return m;
}

inline Sph* Sphere(unsigned material, double x, double y, double z, float r) {
  Sph* s = new Sph(material);
  s->Scale(r, r, r, nullptr, false);
  s->MoveTo(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z), nullptr);
  return s;
}

inline InfinitePlane* Ground(unsigned material, double z = 0.0) {
  InfinitePlane* p = new InfinitePlane(material);
  p->MoveTo(0.0f, 0.0f, static_cast<float>(z), nullptr);
  return p;
}

// A directional light pointing along `direction`.
inline TDirectionLight* Sun(const VECTEUR& direction, float softness = 0.0f) {
  TDirectionLight* sun = new TDirectionLight();
  sun->FollowCamera = 0;
  VECTEUR u, v, w;
  BuildBase(direction, u, v, w);
  const VECTEUR axes[3] = {u, v, Normalised(direction)};
  for (int j = 0; j < 3; j++) {
    sun->forward.m[0][j] = static_cast<float>(axes[j].x);
    sun->forward.m[1][j] = static_cast<float>(axes[j].y);
    sun->forward.m[2][j] = static_cast<float>(axes[j].z);
  }
  sun->GetNormal();
  sun->Softness = softness;
  return sun;
}

class Scene {
 public:
  Scene() {
    InitNoise();
    landscape.Materials = &materials;
    landscape.CloudLayers = &clouds;
    landscape.SkyColours.Flush();
    landscape.SkyColours.Add(VALCLR(0, CLR(255, 230, 200)));     // horizon: pale blue
    landscape.SkyColours.Add(VALCLR(10000, CLR(230, 140, 60)));  // zenith: deep blue
    landscape.SunColours.Flush();
    landscape.SunColours.Add(VALCLR(0, CLR(200, 240, 255)));
    landscape.SunColours.Add(VALCLR(10000, CLR(255, 255, 255)));
    landscape.GradientBase = 0.0f;
    landscape.GradientThickness = 1.5e8f;
    landscape.SunDiscCos = 0.9995f;
    landscape.GlowCos = 0.95f;
    landscape.GlowStrength = 0.3f;
    landscape.SkyTint = VECFLOAT(0.6f, 0.65f, 0.75f);
    landscape.LightColour = VECFLOAT(1.0f, 1.0f, 1.0f);
    di.Landscape = &landscape;
    di.Rendering = 1;
    di.PixelAngle = 0.01f;
    gi.RenderLandscape = &landscape;
    gi.Lights = &lights;
  }
  ~Scene() {
    delete di.BoundingVolume;
    di.BoundingVolume = nullptr;
    for (BasicObject* o : objects)
      delete o;
    for (TLight* l : lights)
      delete l;
    for (Texture* m : materials)
      delete m;
    for (CloudLayer* c : clouds)
      delete c;
  }
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;

  unsigned AddMaterial(Texture* m) {
    materials.Add(m);
    return static_cast<unsigned>(materials.Count() - 1);
  }
  template <class T>
  T* Add(T* object) {
    objects.push_back(object);
    return object;
  }
  TLight* AddLight(TLight* light) {
    lights.Add(light);
    gi.SunLight = GetSunLight(&lights);
    return light;
  }
  CloudLayer* AddCloud(CloudLayer* layer) {
    clouds.Add(layer);
    return layer;
  }
  // Prepares the materials and builds the hierarchy; call once the scene is complete.
  bool Prepare() {
    TArray<TObject3D*> solids(1, 0, 1);
    for (BasicObject* o : objects)
      solids.Add(static_cast<TObject3D*>(o));
    bool ok = true;
    for (Texture* m : materials)
      ok = m->Preparer(&landscape, &solids, 1.0f) && ok;
    for (CloudLayer* c : clouds)
      if (c->Material)
        ok = c->Material->Preparer(&landscape, nullptr, 1.0f) && ok;
    ObjectsList bounded(1, 0, 1), planes(1, 0, 1);
    for (BasicObject* o : objects)
      (o->type == BasicObject::TypeInfinitePlane ? planes : bounded).Add(o);
    di.BoundingVolume = new TBoundingVolume(&bounded);
    for (BasicObject* p : planes)
      di.BoundingVolume->GetPointerToList()->Add(p);
    di.BoundingVolume->SeparateUnboundeds();
    di.SunTint = gi.SunLight ? gi.SunLight->Colour : landscape.LightColour;
    di.SkyTint = landscape.SkyTint;
    return ok;
  }

  // The colour of a ray traced from `origin` along `direction` with these records.
  CLRINT Trace(const VECTEUR& origin, const VECTEUR& direction) { return TraceWith(origin, direction, gi, di); }
  static CLRINT TraceWith(const VECTEUR& origin, const VECTEUR& direction, TGlobalInfo& g, TDrawInfo& d) {
    Ray ray;
    ray.origin = origin;
    ray.direction = Normalised(direction);
    CLRINT colour;
    ProcessARay(&ray, &d, RayMaxDistance, colour, &g);
    return colour;
  }

  // The light of `light` arriving at a point of a horizontal surface facing up (the
  // shadows of the scene included), as ComputeLightContribution gives it.
  VECFLOAT LightAt(TLight* light, const VECTEUR& point, BasicObject* surface) {
    Ray toLight;
    toLight.origin = point;
    VECTEUR up(0, 0, 1);
    float inv = 1e-8f;
    if (light->type == BasicObject::TypeDirectionalLight) {
      toLight.direction = -light->Direction();
    } else {
      const VECTEUR v = light->GetCenter() - point;
      inv = static_cast<float>(1.0 / Length(v));
      toLight.direction = Normalised(v);
    }
    VECFLOAT colour;
    light->ComputeLightContribution(materials.IsEmpty() ? nullptr : materials[0], 0.0f, &toLight, false, up, inv,
                                    colour, &gi, &di, surface);
    return colour;
  }

  TPaysage landscape;
  TArray<Texture*> materials{1, 0, 1};
  TArray<CloudLayer*> clouds{1, 0, 1};
  TArray<TLight*> lights{1, 0, 1};
  std::vector<BasicObject*> objects;
  TGlobalInfo gi;
  TDrawInfo di;
};

// A render thread's own records: a copy of the draw record and of every light.
struct ThreadRecords {
  explicit ThreadRecords(Scene& scene) : di(scene.di), gi(scene.gi) {
    for (TLight* l : scene.lights)
      lights.Add(CopyLight(l));
    gi.Lights = &lights;
    gi.SunLight = GetSunLight(&lights);
    di.Random = &random;
  }
  ~ThreadRecords() {
    for (TLight* l : lights)
      delete l;
  }
  TDrawInfo di;
  TGlobalInfo gi;
  TArray<TLight*> lights{1, 0, 1};
  RandomGenerator random;
};

}  // namespace shading
