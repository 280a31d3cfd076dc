#include "engine/objects/object_tools.h"

#include <cstring>

#include "engine/lights/light.h"
#include "engine/mesh/mesh.h"
#include "engine/objects/aggregates.h"
#include "engine/objects/primitives.h"
#include "engine/render/camera.h"
#include "engine/terrain/terrain.h"

namespace {

ObjectsList* selectedObjects = nullptr;

// A primitive of class T with material 0, assigned with Obj's (or Planar's) assignment.
template <class T, class Assign>
BasicObject* CopyPrimitive(BasicObject* src) {
  T* copy = new T(0);
  static_cast<Assign&>(*copy) = static_cast<Assign&>(*src);
  return copy;
}

// An empty aggregate of class T assigned with TAggregate's deep copy.
template <class T>
BasicObject* CopyAggregate(BasicObject* src) {
  T* copy = new T(nullptr);
  static_cast<TAggregate&>(*copy) = static_cast<TAggregate&>(*src);
  return copy;
}

}  // namespace

void CopyObject(BasicObject** out, BasicObject* src) {
  if (!src)
    return;
  BasicObject* copy = nullptr;
  switch (src->type) {
    case BasicObject::TypeInfinitePlane:
      copy = CopyPrimitive<InfinitePlane, Planar>(src);
      break;
    case BasicObject::TypePlane:
      copy = CopyPrimitive<TPlane, Obj>(src);
      break;
    case BasicObject::TypeCylinder:
      copy = CopyPrimitive<Cyl, Obj>(src);
      break;
    case BasicObject::TypeSphere:
      copy = CopyPrimitive<Sph, Obj>(src);
      break;
    case BasicObject::TypeCube:
      copy = CopyPrimitive<TCube, Obj>(src);
      break;
    case BasicObject::TypeCone:
      copy = CopyPrimitive<TCone, Obj>(src);
      break;
    case BasicObject::TypePyramid:
      copy = CopyPrimitive<TPyramide, Obj>(src);
      break;
    case BasicObject::TypeTerrain: {
      const Terrain& terrain = static_cast<Terrain&>(*src);
      Terrain* grid = new Terrain(terrain.width, terrain.height, 0);
      *grid = terrain;
      copy = grid;
      break;
    }
    case BasicObject::TypeMesh: {
      TMesh* mesh = new TMesh(0);
      *mesh = static_cast<TMesh&>(*src);
      copy = mesh;
      break;
    }
    case BasicObject::TypeDirectionalLight:
    case BasicObject::TypePointLight:
    case BasicObject::TypeSpotLight:
    case BasicObject::TypeLaserLight:
      copy = CopyLight(src);
      break;
    case BasicObject::TypeCamera:
      copy = new TCamera(static_cast<TCamera*>(src));
      break;
    case BasicObject::TypeUnion:
      copy = CopyAggregate<TCSGUnion>(src);
      break;
    case BasicObject::TypeIntersection:
      copy = CopyAggregate<TCSGIntersection>(src);
      break;
    case BasicObject::TypeDifference:
      copy = CopyAggregate<TCSGDifference>(src);
      break;
    case BasicObject::TypeGroup:
      copy = CopyAggregate<Group>(src);
      break;
    default:
      return;
  }
  if (copy)
    *out = copy;
}

void ConnectSelectedObjectList(ObjectsList* selection) { selectedObjects = selection; }

ObjectsList* SelectedObjectList() { return selectedObjects; }

void MyCopyMemory(char* dst, char* src, long n) {
  if (n > 0)
    std::memmove(dst, src, static_cast<size_t>(n));
}

void FindBarycenter(VECTEUR& out, ObjectsList* list) {
  out = VECTEUR(0.0, 0.0, 0.0);
  if (!list || list->IsEmpty())
    return;
  VECTEUR sum;
  for (BasicObject* object : *list)
    sum += object->GetCenter();
  out = sum * (1.0 / list->Count());
}

void FindBoundingBox(VECTEUR& min, VECTEUR& max, ObjectsList* list, bool symbol) {
  TBoundingBox box;
  if (list && !list->IsEmpty())
    for (BasicObject* object : *list)
      object->IncludeObjectInBox(box, symbol, true);
  min = box.min;
  max = box.max;
}

void RotateObjectAroundPoint(BasicObject* obj, VECTEUR& pivot, float a, float b, float c, TDrawInfo* di) {
  const VECTEUR offset = obj->GetCenter() - pivot;
  Matrix rotation;
  BuildRotationMatrix(rotation, a, b, c);
  const VECTEUR turned = rotation * offset;
  obj->Rotate(a, b, c, di, false);
  const VECTEUR position = pivot + turned;
  obj->MoveTo(static_cast<float>(position.x), static_cast<float>(position.y), static_cast<float>(position.z), di);
}
