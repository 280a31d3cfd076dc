// A small renderable scene for the camera, ray and sampling tests: a landscape with its
// objects, the hierarchy over them and the two render records; the process-wide
// environment is restored afterwards.
#pragma once

#include "engine/objects/bounding_volume.h"
#include "engine/objects/primitives.h"
#include "engine/render/camera.h"
#include "engine/scene/context.h"
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

// Owns the objects added to it.
struct Scene {
  EnvironmentGuard environment;
  TPaysage landscape;
  ObjectsList objects{1, 0, 1};
  TBoundingVolume* root = nullptr;
  TDrawInfo di;
  TGlobalInfo gi;

  Scene() {
    landscape.Objects = &objects;
    di.Landscape = &landscape;
    gi.RenderLandscape = &landscape;
  }
  ~Scene() {
    delete root;
    for (BasicObject* object : objects)
      delete object;
  }
  Scene(const Scene&) = delete;

  void Add(BasicObject* object) { objects.Add(object); }

  // The hierarchy over the solids, the picture size and the camera values.
  void Prepare(int width = 48, int height = 36) {
    GetEnvironment()->PictureWidth = width;
    GetEnvironment()->PictureHeight = height;
    ObjectsList solids(1, 0, 1);
    for (BasicObject* object : objects)
      if (object->type < BasicObject::TypeDirectionalLight)
        solids.Add(object);
    delete root;
    root = new TBoundingVolume(&solids);
    root->SeparateUnboundeds();
    di.BoundingVolume = root;
    di.Rendering = 1;
    InitVariables(&gi, &di);
  }
};

}  // namespace render_test
