#include "engine/objects/object_tools.h"

#include <cstring>

namespace {

ObjectsList* selectedObjects = nullptr;

}  // namespace

void CopyObject(BasicObject** out, BasicObject* src) {
  if (!src)
    return;
  if (BasicObject* copy = src->Clone())
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
