// A small scene for the shading tests: a landscape with materials, cloud layers, objects
// and lights, prepared for a render by the engine's own render preparation (as a render
// session prepares it), with the environment's quality switches under the test's control.
#pragma once

#include <vector>

#include "engine/functions/noise.h"
#include "engine/lights/light.h"
#include "engine/materials/cloud_layer.h"
#include "engine/materials/texture.h"
#include "engine/objects/bounding_volume.h"
#include "engine/objects/primitives.h"
#include "engine/platform/random.h"
#include "engine/render/atmosphere.h"
#include "engine/render/preparation.h"
#include "engine/render/ray_processing.h"
#include "engine/scene/context.h"
#include "engine/scene/document.h"
#include "engine/scene/environment.h"
#include "engine/scene/landscape.h"
#include "tests/engine/render/render_scene.h"

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
    GetEnvironment()->RenderScope = 3;  // everything is rendered
    landscape.Objects = &document;
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
    di.ContainersOfCamera = &containers;
    gi.RenderLandscape = &landscape;
    gi.Lights = &renderLights;
  }
  ~Scene() {
    // The hierarchy and the light copies of the render go first; they read no object.
    ReleaseRender(&gi, &di);
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
    document.Add(object);
    return object;
  }
  // A light of the scene; the render shines with a copy of it, made by Prepare.
  TLight* AddLight(TLight* light) {
    lights.Add(light);
    document.Add(light);
    return light;
  }
  CloudLayer* AddCloud(CloudLayer* layer) {
    clouds.Add(layer);
    return layer;
  }
  // Prepares the render (PreparerRender); call once the scene is complete, and again after
  // a change to its lights.
  void Prepare() {
    TOrvelleChild child(&landscape, nullptr);
    PreparerRender(&child, &gi, &di, 1.0f);
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

  render_test::EnvironmentGuard environment;
  TPaysage landscape;
  TArray<Texture*> materials{1, 0, 1};
  TArray<CloudLayer*> clouds{1, 0, 1};
  TArray<TLight*> lights{1, 0, 1};  // the scene's lights
  std::vector<BasicObject*> objects;
  ObjectsList document{1, 0, 1};  // the landscape's objects: the objects and the lights
  TArray<TLight*> renderLights{1, 0, 1};
  ObjectsList containers{1, 0, 1};
  TGlobalInfo gi;
  TDrawInfo di;
};

}  // namespace shading
