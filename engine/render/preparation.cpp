#include "engine/render/preparation.h"

#include <algorithm>
#include <vector>

#include "engine/lights/light.h"
#include "engine/materials/texture.h"
#include "engine/mesh/mesh.h"
#include "engine/objects/aggregates.h"
#include "engine/objects/bounding_volume.h"
#include "engine/objects/object_tools.h"
#include "engine/render/atmosphere.h"
#include "engine/render/camera.h"
#include "engine/scene/context.h"
#include "engine/scene/document.h"
#include "engine/scene/environment.h"
#include "engine/scene/landscape.h"
#include "engine/scene/release_callbacks.h"
#include "engine/terrain/terrain.h"

namespace {

// Bounding volumes made by ExpandList on this thread that no render has claimed yet.
// Preparation runs on one thread, so renders prepared on different threads never share
// this list.
thread_local std::vector<TBoundingVolume*> pendingVolumes;

// The root of a prepared hierarchy, which owns every bounding volume its preparation
// made (the root is the only record that lives as long as the render).
class RenderRoot : public TBoundingVolume {
 public:
  using TBoundingVolume::TBoundingVolume;
  std::vector<TBoundingVolume*> madeVolumes;
};

// Frees bounding volumes without reading any child: every list is emptied first, so no
// destructor looks at a scene object (which the host may already have deleted) or at a
// volume of the set that is already gone.
void FreeVolumes(std::vector<TBoundingVolume*>& volumes) {
  for (TBoundingVolume* volume : volumes)
    if (volume->children)
      volume->children->Flush();
  for (TBoundingVolume* volume : volumes)
    delete volume;
  volumes.clear();
}

// Frees a hierarchy that PreparerRender made; a root made by anyone else is left alone.
void FreeRenderVolumes(TBoundingVolume* root) {
  auto* prepared = dynamic_cast<RenderRoot*>(root);
  if (!prepared)
    return;
  std::vector<TBoundingVolume*> volumes = std::move(prepared->madeVolumes);
  volumes.push_back(prepared);
  FreeVolumes(volumes);
}

void ReleaseLightCopy(TLight* light) { ReleaseObject(light); }

ObjectsList AsObjectsList(const TArray<TObject3D*>& objects) {
  ObjectsList list(1, 0, 1);
  for (TObject3D* object : objects)
    list.Add(object);
  return list;
}

// Removes the elements for which `drop` holds, keeping the order of the others.
template <class T, class Predicate>
void RemoveIf(TArray<T*>& array, Predicate drop) {
  for (int i = array.LowerBound() + array.Count() - 1; i >= array.LowerBound(); i--)
    if (drop(array[i]))
      array.Detach(i);
}

// The object or one of its enclosing aggregates is in the list.
bool InListOrInsideMember(BasicObject* object, ObjectsList* list) {
  for (BasicObject* o = object; o; o = o->parent)
    if (list->HasMember(o))
      return true;
  return false;
}

// The guard rings of the terrains of an object (itself, or those among an aggregate's
// descendants), so that edits of the altitudes since the last render are seen at the
// edges.
void RefreshTerrainsIn(BasicObject* object) {
  if (object->type == BasicObject::TypeTerrain) {
    static_cast<Terrain*>(object)->PrepareEdges();
    return;
  }
  if (auto* aggregate = dynamic_cast<TAggregate*>(object))
    if (aggregate->children)
      for (BasicObject* child : *aggregate->children)
        if (child)
          RefreshTerrainsIn(child);
}

// Adds to `containers` every object of `object` that holds `position`. Bounding volumes
// made for groups are searched, never added: the container is the solid itself, so that
// refraction, fog and the inside list of primary rays do not depend on the grouping.
void AddContainersOf(TObject3D* object, const VECTEUR& position, TDrawInfo* di, ObjectsList& containers) {
  auto* volume = dynamic_cast<TBoundingVolume*>(object);
  if (!volume) {
    if (object->IsInside(position, di))
      containers.Add(object);
    return;
  }
  ObjectsList* children = volume->GetPointerToList();
  if (children)
    for (BasicObject* child : *children)
      if (auto* solid = dynamic_cast<TObject3D*>(child))
        AddContainersOf(solid, position, di, containers);
}

void MultiplyColour(VECFLOAT& colour, const VECFLOAT& by) {
  colour = VECFLOAT(colour.x * by.x, colour.y * by.y, colour.z * by.z);
}

}  // namespace

void ExpandList(TArray<TObject3D*>* collect, TArray<TObject3D*>* out, ObjectsList* source) {
  out->Flush();
  if (source)
    for (BasicObject* object : *source)
      if (auto* object3d = dynamic_cast<TObject3D*>(object)) {
        out->Add(object3d);
        // An aggregate passes its layer down to its children.
        object3d->SetLayer(object3d->GetLayer());
      }
  const bool boundGroups = GetEnvironment()->BoundGroups != 0;
  int i = out->LowerBound();
  while (i < out->LowerBound() + out->Count()) {
    TObject3D* object = (*out)[i];
    if (object->type != BasicObject::TypeGroup) {
      i++;
      continue;
    }
    ObjectsList* children = static_cast<Group*>(object)->children;
    if (!boundGroups) {
      out->Detach(i);
      if (children)
        for (BasicObject* child : *children)
          if (auto* child3d = dynamic_cast<TObject3D*>(child))
            collect->Add(child3d);
      continue;
    }
    TArray<TObject3D*> bounded(1, 0, 1);
    if (children)
      for (BasicObject* child : *children) {
        auto* child3d = dynamic_cast<TObject3D*>(child);
        if (!child3d)
          continue;
        if (child3d->type == BasicObject::TypeInfinitePlane || IsLight(child3d))
          collect->Add(child3d);
        else
          bounded.Add(child3d);
      }
    if (bounded.Count() < 2) {
      out->Detach(i);
      for (TObject3D* child : bounded)
        out->Add(child);
      continue;
    }
    ObjectsList boundedList = AsObjectsList(bounded);
    TArray<TObject3D*> expanded(1, 0, 1);
    ExpandList(collect, &expanded, &boundedList);
    ObjectsList expandedList = AsObjectsList(expanded);
    auto* volume = new TBoundingVolume(&expandedList);
    volume->SetLayer(object->GetLayer());
    pendingVolumes.push_back(volume);
    (*out)[i] = volume;
    i++;
  }
}

void ReleaseExpandedVolumes() { FreeVolumes(pendingVolumes); }

void BuildListOfLights(TPaysage* landscape, TArray<TLight*>* lights, TDrawInfo*, TArray<TObject3D*>* objects) {
  if (!lights)
    return;
  while (!lights->IsEmpty()) {
    const int last = lights->LowerBound() + lights->Count() - 1;
    TLight* light = (*lights)[last];
    lights->Detach(last);
    if (light)
      ReleaseLightCopy(light);
  }
  auto copyLight = [&](BasicObject* object) {
    if (!object || !IsLight(object))
      return;
    BasicObject* copy = nullptr;
    CopyObject(&copy, object);
    if (!copy)
      return;
    auto* light = static_cast<TLight*>(copy);
    light->copiedFrom = object;
    lights->Add(light);
  };
  if (objects) {
    for (TObject3D* object : *objects)
      copyLight(object);
  } else if (landscape && landscape->Objects) {
    for (BasicObject* object : *landscape->Objects)
      copyLight(object);
  }
}

BasicObject* LightCopyOrigin(const TLight* copy) { return copy ? copy->copiedFrom : nullptr; }

void PrepareMeshesInObject(BasicObject* object) {
  if (!object)
    return;
  // The grid, normals and masks are rebuilt for every render, so that edits between
  // renders are allowed.
  if (auto* mesh = dynamic_cast<TMesh*>(object)) {
    mesh->PrepareFaceNormals();
    mesh->SplitIntoBlocs();
    mesh->PrepareNormals();
    return;
  }
  if (auto* aggregate = dynamic_cast<TAggregate*>(object))
    if (aggregate->children)
      for (BasicObject* child : *aggregate->children)
        PrepareMeshesInObject(child);
}

void ReleaseRender(TGlobalInfo* gi, TDrawInfo* di) {
  if (di) {
    FreeRenderVolumes(di->BoundingVolume);
    di->BoundingVolume = nullptr;
  }
  if (gi && gi->Lights) {
    while (!gi->Lights->IsEmpty()) {
      const int last = gi->Lights->LowerBound() + gi->Lights->Count() - 1;
      TLight* light = (*gi->Lights)[last];
      gi->Lights->Detach(last);
      if (light)
        ReleaseLightCopy(light);
    }
    gi->SunLight = nullptr;
  }
}

void PreparerRender(TOrvelleChild* child, TGlobalInfo* gi, TDrawInfo* di, float zoom) {
  if (!child || !gi || !di || !child->Landscape)
    return;
  // The hierarchy of the previous render with these records goes first.
  FreeRenderVolumes(di->BoundingVolume);
  di->BoundingVolume = nullptr;
  TPaysage* landscape = child->Landscape;
  const TEnvironment& environment = *GetEnvironment();
  const int scope = environment.RenderScope;
  const bool allLights = environment.AllLightsForSelection != 0;

  // 1. The whole scene, groups expanded.
  TArray<TObject3D*> scene(1, 0, 1);
  ExpandList(&scene, &scene, landscape->Objects);

  // 2. What is rendered.
  TArray<TObject3D*> render(1, 0, 1);
  if (scope == 0) {
    ExpandList(&render, &render, child->Selection);
    if (allLights)
      for (TObject3D* object : scene)
        // A selected light is there already: it must not shine twice.
        if (IsLight(object) && !render.HasMember(object))
          render.Add(object);
  } else {
    render = scene;
  }

  // 3. The render's lights, 4. which are not rendered as objects, nor are cameras.
  BuildListOfLights(landscape, gi->Lights, di, &render);
  RemoveIf(render, [](TObject3D* o) { return IsLight(o) || o->type == BasicObject::TypeCamera; });

  // 5. The layers.
  auto layerHidden = [&](BasicObject* o) {
    if (scope == 1)
      return !landscape->IsLayerActive(o->GetLayer());
    if (scope == 2)
      return landscape->GetLayerStatus(o->GetLayer()) == 0;
    return false;
  };
  RemoveIf(render, layerHidden);

  // 6. The lights follow the same choice.
  if (!allLights && scope != 3 && gi->Lights) {
    TArray<TLight*>& lights = *gi->Lights;
    for (int i = lights.LowerBound() + lights.Count() - 1; i >= lights.LowerBound(); i--) {
      TLight* light = lights[i];
      BasicObject* origin = LightCopyOrigin(light);
      bool keep;
      if (scope == 0)
        keep = origin && child->Selection && InListOrInsideMember(origin, child->Selection);
      else
        keep = !layerHidden(origin ? origin : light);
      if (!keep) {
        lights.Detach(i);
        ReleaseLightCopy(light);
      }
    }
  }

  // 7. The view record set for rendering, the camera and the per-render values.
  di->Landscape = landscape;
  di->DeviceContext = nullptr;
  di->GroundLevel = -100000.0f;
  di->Zoom = zoom;
  di->Rendering = 1;
  di->ViewType = ViewCamera;
  di->Detail = 0;
  di->Scale = 1.0f;
  di->CentreX = di->CentreY = 0;
  di->Project = ProjectCamera;
  GetActiveCamera(di);
  InitVariables(gi, di);

  // 8. Materials for the scene's scale, cloud materials for the sky's.
  if (landscape->Materials)
    for (Texture* material : *landscape->Materials)
      if (material)
        material->Preparer(gi->RenderLandscape, &scene, MaterialPreparationScale);
  if (landscape->CloudLayers)
    for (CloudLayer* layer : *landscape->CloudLayers)
      if (layer && layer->Material)
        layer->Material->Preparer(gi->RenderLandscape, nullptr, CloudPreparationScale);

  // 9. Terrain guard rings.
  for (TObject3D* object : render)
    RefreshTerrainsIn(object);

  // 10. Infinite planes are not bounded; meshes are readied.
  ObjectsList bounded(1, 0, 1), unbounded(1, 0, 1);
  for (TObject3D* object : render) {
    if (object->type == BasicObject::TypeInfinitePlane) {
      unbounded.Add(object);
    } else {
      bounded.Add(object);
      PrepareMeshesInObject(object);
    }
  }

  // 11. The hierarchy: the root over the bounded objects, the planes tested directly.
  auto* root = new RenderRoot(&bounded);
  for (BasicObject* plane : unbounded)
    root->children->Add(plane);
  root->SeparateUnboundeds();
  di->BoundingVolume = root;
  root->madeVolumes.swap(pendingVolumes);

  // 12. The objects the camera stands in.
  if (di->ContainersOfCamera) {
    di->ContainersOfCamera->Flush();
    for (TObject3D* object : render)
      AddContainersOf(object, di->CameraPosition, di, *di->ContainersOfCamera);
  }

  // 13. The light colour tints the sun, or every light.
  if (!landscape->TintAllLights) {
    if (gi->SunLight)
      MultiplyColour(gi->SunLight->Colour, landscape->LightColour);
  } else if (gi->Lights) {
    for (TLight* light : *gi->Lights)
      MultiplyColour(light->Colour, landscape->LightColour);
  }

  // 14. Cloud layers from the lowest up, equal altitudes keeping their order.
  if (landscape->CloudLayers && landscape->CloudLayers->Count() > 1) {
    TArray<CloudLayer*>& layers = *landscape->CloudLayers;
    std::stable_sort(layers.begin(), layers.end(), [](const CloudLayer* a, const CloudLayer* b) {
      const float altA = a ? a->Altitude : 0.0f, altB = b ? b->Altitude : 0.0f;
      return altA < altB;
    });
  }
  // 15. The working lists go with this scope.
}
