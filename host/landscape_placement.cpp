#include "host/landscape_placement.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/geometry/ray.h"
#include "engine/lights/light.h"
#include "engine/objects/aggregates.h"
#include "engine/geometry/objects_list.h"
#include "engine/render/camera.h"
#include "engine/scene/context.h"
#include "engine/scene/landscape.h"
#include "engine/terrain/terrain.h"
#include "host/landscape_reader.h"

namespace {

void HighestTerrainHit(BasicObject* object, double x, double y, std::optional<double>& ground) {
  if (auto* aggregate = dynamic_cast<TAggregate*>(object)) {
    if (ObjectsList* children = aggregate->GetPointerToList())
      for (BasicObject* child : *children)
        HighestTerrainHit(child, x, y, ground);
    return;
  }
  auto* terrain = dynamic_cast<Terrain*>(object);
  if (!terrain)
    return;
  TBoundingBox box;
  terrain->IncludeObjectInBox(box, false, true);
  if (box.max.z < box.min.z)
    return;
  // A vertical ray from just above the terrain's box.
  const double top = box.max.z + 1.0;
  Ray ray;
  ray.origin = VECTEUR(x, y, top);
  ray.direction = VECTEUR(0.0, 0.0, -1.0);
  ray.factor = 1.0f;
  TDrawInfo di;
  double t = top - box.min.z + 2.0;
  VECTEUR point, normal;
  if (!terrain->FindNearestIntersection(&ray, &di, t, point, normal))
    return;
  const double z = top - t;
  if (!ground || z > *ground)
    ground = z;
}

}  // namespace

std::optional<double> GroundAltitude(ObjectsList& objects, double x, double y) {
  std::optional<double> ground;
  for (BasicObject* object : objects)
    HighestTerrainHit(object, x, y, ground);
  return ground;
}

TBoundingBox FiniteObjectsBox(ObjectsList& objects, bool withCameras) {
  TBoundingBox box;
  for (BasicObject* object : objects) {
    if (object->type == BasicObject::TypeCamera && !withCameras)
      continue;
    auto* solid = dynamic_cast<TObject3D*>(object);
    if (solid && object->type != BasicObject::TypeInfinitePlane && !dynamic_cast<TLight*>(object))
      solid->IncludeObjectInBox(box, false, true);
  }
  return box;
}

void FrameViews(TPaysage& landscape, ObjectsList& objects, int width, int height) {
  const TBoundingBox box = FiniteObjectsBox(objects, true);
  if (box.min.x > box.max.x || width <= 0 || height <= 0)
    return;
  // The orthographic views show (-ViewCentre.x, ViewCentre.y, ViewCentre.z) at their centre.
  const VECTEUR centre = (box.min + box.max) * 0.5;
  landscape.ViewCentre = VECTEUR(-centre.x, centre.y, centre.z);
  // Top: x across, y up the picture; front: x and z; side: y and z. A tenth of margin.
  const VECTEUR size = box.max - box.min;
  const double across = std::max({size.x, size.y, 1e-6}), upwards = std::max({size.y, size.z, 1e-6});
  const double scale = 0.9 * std::min(width / across, height / upwards);
  landscape.ViewScale = static_cast<float>(std::clamp(scale, 1e-9, 1e9));
}

bool AddFramingCamera(ObjectsList& objects) {
  for (BasicObject* object : objects)
    if (object->type == BasicObject::TypeCamera)
      return false;
  const TBoundingBox box = FiniteObjectsBox(objects, false);
  VECTEUR centre(0.0, 0.0, 0.0);
  double radius = 5.0;  // nothing finite: a view of the ground around the origin
  if (box.min.x <= box.max.x) {
    centre = (box.min + box.max) * 0.5;
    radius = std::max(0.5 * Length(box.max - box.min), 1e-3);
  }
  // The default lens (focal length 17.5 on a 36 mm frame) sees about 21 degrees above and
  // below its axis at 4:3: a sphere around the box fits at radius / sin(21 degrees).
  const VECTEUR direction = Normalised(VECTEUR(0.0, 1.0, -0.36));
  const double distance = radius / std::sin(21.0 * M_PI / 180.0);
  const VECTEUR position = centre - direction * distance;
  auto* camera = new TCamera();
  std::snprintf(camera->name, sizeof camera->name, "%s", "Framing camera");
  const VECTEUR angles = AnglesOfDirection(direction);
  camera->Rotate(static_cast<float>(angles.x), static_cast<float>(angles.y), static_cast<float>(angles.z), nullptr,
                 true);
  camera->MoveTo(static_cast<float>(position.x), static_cast<float>(position.y), static_cast<float>(position.z),
                 nullptr);
  objects.Add(camera);
  return true;
}
