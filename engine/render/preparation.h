// Render preparation: turns the editable landscape of a document into a render-ready
// scene hanging off the render's TDrawInfo and TGlobalInfo: groups become bounding
// volumes (or are flattened), the objects to render are chosen by the render scope and
// the layers, the lights are copied, materials and cloud materials are prepared,
// terrains and meshes are readied, the hierarchy is built, the camera values derived and
// the lights tinted.
//
// Ownership. The render owns what preparation creates: the light copies in gi->Lights
// (given back through the host's object callback; each copy names the light it was made
// from) and every bounding volume, which the root di->BoundingVolume owns. They live
// until the next PreparerRender with the same records, or until ReleaseRender. Neither
// ever reads a scene object while freeing, so the host may delete its objects before
// releasing the render. Nothing of a render is kept in process-wide tables: renders
// prepared on different threads share nothing.
#pragma once

#include "engine/geometry/array.h"

class BasicObject;
class ObjectsList;
class TObject3D;
class TLight;
class TOrvelleChild;
struct TPaysage;
struct TDrawInfo;
struct TGlobalInfo;

// The scales PreparerRender prepares materials and cloud materials with; the host gives
// them back to Texture::DePreparer after the render.
constexpr float MaterialPreparationScale = 3.0f;
constexpr float CloudPreparationScale = 1.0f;

// Prepares the render of the child's landscape; gi->Lights and di->ContainersOfCamera
// must point to existing lists and gi->RenderLandscape be set.
void PreparerRender(TOrvelleChild* child, TGlobalInfo* gi, TDrawInfo* di, float zoom);

// Frees what the last preparation of these records created: the hierarchy's bounding
// volumes and the light copies. di->BoundingVolume becomes null and gi->Lights empty.
void ReleaseRender(TGlobalInfo* gi, TDrawInfo* di);

// Expands `source` into `out` (emptied first): every object in order, then every group
// replaced, by the environment's BoundGroups switch, either by its children (appended to
// `collect`) or by a new bounding volume over its expanded children. Infinite planes and
// lights inside bounded groups are lifted into `collect`. The new bounding volumes belong
// to the render: they are freed by the next PreparerRender or by ReleaseRender of the
// records prepared with them, or, when no preparation on this thread claims them, by
// ReleaseExpandedVolumes on this thread.
void ExpandList(TArray<TObject3D*>* collect, TArray<TObject3D*>* out, ObjectsList* source);
// Frees the bounding volumes that ExpandList made on this thread outside a render
// preparation.
void ReleaseExpandedVolumes();

// Empties `lights`, giving each light back through the host's object callback, then
// appends a copy of every light of `objects` (or, when null, of the landscape's top-level
// objects). Each copy remembers the light it was copied from.
void BuildListOfLights(TPaysage* landscape, TArray<TLight*>* lights, TDrawInfo* di, TArray<TObject3D*>* objects);
// The light a copy of BuildListOfLights was made from, or null.
BasicObject* LightCopyOrigin(const TLight* copy);

// Readies the meshes of an object for rendering: a mesh itself, the meshes among an
// aggregate's descendants; anything else is left alone.
void PrepareMeshesInObject(BasicObject* object);
