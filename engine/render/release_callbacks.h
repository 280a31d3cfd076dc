// The host's release callbacks: the engine hands objects, lists, materials and
// functions that belong to the host back through these, and never deletes them itself.
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

// Hand an item back through its callback. Without an installed callback the engine
// releases it itself: a list element is removed and its object deleted, an object,
// material or function is deleted, so that nothing leaks when no host is connected.
void ReleaseObject(BasicObject* object);
void ReleaseListElement(ObjectsList* list, int index);
void ReleaseMaterial(Texture* material);
void ReleaseFunction(Fonction3D* function);
