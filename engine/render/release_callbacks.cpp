#include "engine/render/release_callbacks.h"

#include "engine/functions/fonction3d.h"
#include "engine/materials/texture.h"
#include "engine/objects/object.h"

namespace {

ReleaseObjectCallback objectCallback = nullptr;
ReleaseListCallback listCallback = nullptr;
ReleaseMaterialCallback materialCallback = nullptr;
ReleaseFunctionCallback functionCallback = nullptr;

}  // namespace

void SetReleaseCallbacks(ReleaseObjectCallback releaseObject, ReleaseListCallback releaseList,
                         ReleaseMaterialCallback releaseMaterial, ReleaseFunctionCallback releaseFunction) {
  objectCallback = releaseObject;
  listCallback = releaseList;
  materialCallback = releaseMaterial;
  functionCallback = releaseFunction;
}

void ReleaseObject(BasicObject* object) {
  if (objectCallback)
    objectCallback(object);
  else
    delete object;
}

void ReleaseListElement(ObjectsList* list, int index) {
  if (listCallback) {
    listCallback(list, index);
    return;
  }
  BasicObject* object = (*list)[index];
  list->Detach(index);
  delete object;
}

void ReleaseMaterial(Texture* material) {
  if (materialCallback)
    materialCallback(material);
  else
    delete material;
}

void ReleaseFunction(Fonction3D* function) {
  if (functionCallback)
    functionCallback(function);
  else
    delete function;
}
