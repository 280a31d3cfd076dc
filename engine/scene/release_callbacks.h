// The host's release callbacks: the engine hands objects, lists, materials and
// functions that belong to the host back through these, and never deletes them itself.
// Functions are given back here; objects and list elements by objects/ (ReleaseObject,
// ReleaseListElement) and materials by materials/ (ReleaseMaterial), each layer through
// the callback installed here.
#pragma once

class BasicObject;
class ObjectsList;
class Texture;
class Fonction3D;

typedef void (*ReleaseObjectCallback)(BasicObject* object);
// Must remove the element at `index` from the list (and release it).
typedef void (*ReleaseListCallback)(ObjectsList* list, int index);
typedef void (*ReleaseMaterialCallback)(Texture* material);
typedef void (*ReleaseFunctionCallback)(Fonction3D* function);

// Installs the four callbacks (Connect does this for the host).
void SetReleaseCallbacks(ReleaseObjectCallback releaseObject, ReleaseListCallback releaseList,
                         ReleaseMaterialCallback releaseMaterial, ReleaseFunctionCallback releaseFunction);

// The installed callbacks; null while none is installed, and the engine then releases
// the item itself.
ReleaseObjectCallback InstalledReleaseObject();
ReleaseListCallback InstalledReleaseList();
ReleaseMaterialCallback InstalledReleaseMaterial();
ReleaseFunctionCallback InstalledReleaseFunction();

// Hands a function back through its callback, or deletes it when no host is connected.
void ReleaseFunction(Fonction3D* function);
