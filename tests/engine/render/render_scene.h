// A small renderable scene for the camera, ray and sampling tests: a landscape with its
// objects and the two render records, prepared by the engine's render preparation; the
// process-wide environment is restored afterwards.
#pragma once

#include "engine/objects/bounding_volume.h"
#include "engine/objects/primitives.h"
#include "engine/render/camera.h"
#include "engine/render/preparation.h"
#include "engine/scene/context.h"
#include "engine/scene/document.h"
#include "engine/scene/environment.h"
#include "engine/scene/landscape.h"

namespace render_test {

class EnvironmentGuard {
 public:
  EnvironmentGuard() : saved(*GetEnvironment()) {}
  ~EnvironmentGuard() { *GetEnvironment() = saved; }

 private:
  TEnvironment saved;
};

template <class Shape>
Shape* Make(double x, double y, double z, float size) {
  Shape* s = new Shape(0);
  s->Scale(size, size, size, nullptr, false);
  s->MoveTo(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z), nullptr);
  return s;
}

inline Ray RayAlong(const VECTEUR& origin, const VECTEUR& direction) {
  Ray ray;
  ray.origin = origin;
  ray.direction = direction;
  ray.factor = 1.0f;
  return ray;
}

// Owns the objects added to it; prepared for a render by the engine's own render
// preparation (as a render session prepares).
struct Scene {
  EnvironmentGuard environment;
  TPaysage landscape;
  ObjectsList objects{1, 0, 1};
  TArray<TLight*> lights{1, 0, 1};  // the render's light copies
  ObjectsList containers{1, 0, 1};
  TDrawInfo di;
  TGlobalInfo gi;

  Scene() {
    landscape.Objects = &objects;
    di.Landscape = &landscape;
    di.ContainersOfCamera = &containers;
    gi.RenderLandscape = &landscape;
    gi.Lights = &lights;
  }
  ~Scene() {
    // The hierarchy and the light copies go first; they read no object.
    ReleaseRender(&gi, &di);
    for (BasicObject* object : objects)
      delete object;
  }
  Scene(const Scene&) = delete;

  void Add(BasicObject* object) { objects.Add(object); }

  // Prepares the render of everything (PreparerRender) for a picture of this size: the
  // hierarchy over the solids, the lights, the camera values.
  void Prepare(int width = 48, int height = 36) {
    GetEnvironment()->RenderScope = 3;
    GetEnvironment()->PictureWidth = width;
    GetEnvironment()->PictureHeight = height;
    TOrvelleChild child(&landscape, nullptr);
    PreparerRender(&child, &gi, &di, 1.0f);
  }
};

}  // namespace render_test
