#include "engine/geometry/ray.h"

#include "engine/geometry/objects_list.h"

Ray::Ray(const Ray& other) : factor(other.factor) { *this = other; }

Ray::~Ray() { delete insideObjects; }

Ray& Ray::operator=(const Ray& other) {
  if (this == &other)
    return *this;
  origin = other.origin;
  direction = other.direction;
  depth = other.depth;
  weight = other.weight;
  factor = other.factor;
  if (!other.insideObjects) {
    delete insideObjects;
    insideObjects = nullptr;
  } else {
    if (!insideObjects)
      insideObjects = new ObjectsList(1, 0, 1);
    else
      insideObjects->Flush();
    for (BasicObject* object : *other.insideObjects)
      insideObjects->Add(object);
  }
  shadowRay = other.shadowRay;
  flag2 = other.flag2;
  return *this;
}

void Ray::ToggleInside(BasicObject* object) {
  if (!insideObjects)
    insideObjects = new ObjectsList();
  const int index = insideObjects->Find(object);
  if (index >= insideObjects->LowerBound())
    insideObjects->Detach(index);
  else
    insideObjects->Add(object);
}
