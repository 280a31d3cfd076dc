#include "engine/scene/release_callbacks.h"

#include "engine/functions/fonction3d.h"

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

ReleaseObjectCallback InstalledReleaseObject() { return objectCallback; }
ReleaseListCallback InstalledReleaseList() { return listCallback; }
ReleaseMaterialCallback InstalledReleaseMaterial() { return materialCallback; }
ReleaseFunctionCallback InstalledReleaseFunction() { return functionCallback; }

void ReleaseFunction(Fonction3D* function) {
  if (functionCallback)
    functionCallback(function);
  else
    delete function;
}
