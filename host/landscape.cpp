#include "host/landscape.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "engine/functions/fonction3d.h"
#include "engine/materials/texture.h"
#include "engine/objects/object.h"
#include "engine/geometry/objects_list.h"
#include "engine/render/atmosphere.h"
#include "host/file_reading.h"
#include "host/json_tree.h"
#include "host/landscape_reader.h"

void LandscapeRenderSettings::ApplyTo(TEnvironment& environment) const {
  if (CustomQuality)
    environment.CustomQuality = *CustomQuality;
  if (RenderSetting)
    environment.SetRenderSetting(static_cast<TWhichRenderSetting>(*RenderSetting));
  if (PictureWidth)
    environment.PictureWidth = *PictureWidth;
  if (PictureHeight)
    environment.PictureHeight = *PictureHeight;
  if (RenderScope)
    environment.RenderScope = *RenderScope;
  if (FlatLens)
    environment.FlatLens = *FlatLens;
  if (BoundGroups)
    environment.BoundGroups = *BoundGroups;
  if (MaterialSwitch)
    environment.MaterialSwitch = *MaterialSwitch;
  if (AllLightsForSelection)
    environment.AllLightsForSelection = *AllLightsForSelection;
}

Landscape::Landscape() {
  paysage.Objects = new ObjectsList(1, 0, 1);
  paysage.Materials = new TArray<Texture*>(1, 0, 1);
  paysage.CloudLayers = new TArray<CloudLayer*>(1, 0, 1);
}

Landscape::~Landscape() {
  // Objects first: nothing they hold refers to a material by pointer, only by index.
  for (BasicObject* object : *paysage.Objects)
    delete object;
  for (Texture* material : *paysage.Materials)
    delete material;
  for (CloudLayer* layer : *paysage.CloudLayers)
    delete layer;
  delete paysage.Objects;
  delete paysage.Materials;
  delete paysage.CloudLayers;
}

LandscapeLoadResult LoadLandscapeFromText(const std::string& name, const std::string& text,
                                          const std::string& baseFolder, const LoadControl& control) {
  LandscapeLoadResult result;
  if (text.size() > MaxLandscapeFileBytes) {
    result.errors.push_back(name + ": the file is larger than " + std::to_string(MaxLandscapeFileBytes >> 20) + " MiB");
    return result;
  }
  JsonParseResult parsed = ParseJsonTree(text);
  if (!parsed.ok) {
    result.errors.push_back(name + ":" + (std::isdigit(static_cast<unsigned char>(parsed.error[0])) ? "" : " ") +
                            parsed.error);
    return result;
  }
  ReadContext ctx;
  ctx.name = name;
  ctx.baseFolder = baseFolder;
  ctx.errors = &result.errors;
  ctx.control = &control;
  ctx.warnings = &result.warnings;
  auto landscape = std::make_unique<Landscape>();
  ReadLandscape(ctx, parsed.root, *landscape);
  ctx.SortErrors();
  if (result.errors.empty())
    result.landscape = std::move(landscape);
  return result;
}

LandscapeLoadResult LoadLandscape(const std::string& path, const LoadControl& control) {
  LandscapeLoadResult result;
  std::string text, reason;
  if (!ReadWholeFile(path, MaxLandscapeFileBytes, text, reason)) {
    result.errors.push_back(path + ": cannot read the landscape file: " + reason);
    return result;
  }
  return LoadLandscapeFromText(path, text, std::filesystem::path(path).parent_path().string(), control);
}

void ReleaseHostObject(BasicObject* object) { delete object; }

void ReleaseHostListElement(ObjectsList* list, int index) {
  BasicObject* object = (*list)[index];
  list->Detach(index);
  delete object;
}

void ReleaseHostMaterial(Texture* material) { delete material; }

void ReleaseHostFunction(Fonction3D* function) { delete function; }
