// The host's landscape: a TPaysage with every object, material, cloud layer and function
// it reaches, owned here and freed in the destructor, plus the render settings a
// landscape file may carry. Landscapes are read from JSON files (comments allowed) whose
// keys are the engine's record and field names; see docs/landscape-format.md.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/scene/environment.h"
#include "engine/scene/landscape.h"

class BasicObject;
class ObjectsList;
class Texture;
class Fonction3D;

// The environment fields a landscape file may set; fields the file leaves out stay
// unset, so that the command line and the engine's defaults decide them.
struct LandscapeRenderSettings {
  std::optional<int> PictureWidth, PictureHeight;
  std::optional<int> RenderSetting;  // 0..4 (TWhichRenderSetting)
  std::optional<int> RenderScope;    // 0..3
  std::optional<bool> FlatLens, BoundGroups, MaterialSwitch, AllLightsForSelection;
  std::optional<QualitySettings> CustomQuality;

  // Writes the fields that are set into `environment`; CustomQuality first, so that
  // RenderSetting 4 puts the file's own settings in force.
  void ApplyTo(TEnvironment& environment) const;
};

class Landscape {
 public:
  // An empty landscape: no objects, materials or cloud layers, engine defaults elsewhere.
  Landscape();
  Landscape(const Landscape&) = delete;
  Landscape& operator=(const Landscape&) = delete;
  // Frees every object (aggregates free their children), material, cloud layer and list.
  ~Landscape();

  // The record the engine reads; its lists are never null.
  TPaysage& Record() { return paysage; }
  const TPaysage& Record() const { return paysage; }
  ObjectsList& Objects() { return *paysage.Objects; }
  TArray<Texture*>& Materials() { return *paysage.Materials; }
  TArray<CloudLayer*>& CloudLayers() { return *paysage.CloudLayers; }

  LandscapeRenderSettings Settings;
  // The file gives ViewCentre or ViewScale; otherwise the views are framed to fit.
  bool ViewsPlaced = false;

 private:
  TPaysage paysage;
};

struct LandscapeLoadResult {
  std::unique_ptr<Landscape> landscape;  // null when anything was wrong
  // Every problem found, as "file:line:column: message" or "file: message".
  std::vector<std::string> errors;
  // Valid values that look mistaken (a colour factor written as 0..255...), in the same form.
  std::vector<std::string> warnings;

  bool ok() const { return landscape != nullptr; }
};

// Largest landscape file read, in bytes.
constexpr size_t MaxLandscapeFileBytes = 64u << 20;
// Largest terrain grid, in points along each side, and the smallest.
constexpr int MaxTerrainSide = 8192;
constexpr int MinTerrainSide = 2;

// What loading is told while it runs: an interruption stops it (no landscape, an error
// that says so), and long steps (sampling a function terrain) report how far they are.
struct LoadControl {
  const std::atomic<bool>* interrupt = nullptr;
  // The step ("sampling the terrain Hills") and the fraction of it done, 0..1.
  std::function<void(const std::string& step, double fraction)> progress;
  // Most grid points a function terrain may have: the format's limit, lowered by callers
  // that must stay fast (the fuzzer).
  int64_t maxTerrainPoints = int64_t{MaxTerrainSide} * MaxTerrainSide;

  bool Interrupted() const { return interrupt && interrupt->load(); }
};

// Reads a landscape file. Height-map paths are relative to the file's folder. Loading is
// all or nothing: on any error no landscape is returned and nothing of it remains. The
// noise tables must be built (InitNoise) before a file with function terrains is read.
LandscapeLoadResult LoadLandscape(const std::string& path, const LoadControl& control = {});
// The same for text already in memory; `name` prefixes the messages and `baseFolder`
// resolves relative height-map paths.
LandscapeLoadResult LoadLandscapeFromText(const std::string& name, const std::string& text,
                                          const std::string& baseFolder, const LoadControl& control = {});
// Most materials, cloud layers and objects (aggregates' children included) a file may
// hold: bounds on memory, well above what a landscape needs.
constexpr int MaxMaterials = 4096;
constexpr int MaxCloudLayers = 256;
constexpr int MaxObjects = 100000;
// Children of one aggregate: adding a child costs time in proportion to its siblings.
constexpr int MaxAggregateChildren = 10000;
// The host's release callbacks for Connect: everything the engine hands back belongs to
// a Landscape, which frees it with delete.
void ReleaseHostObject(BasicObject* object);
void ReleaseHostListElement(ObjectsList* list, int index);
void ReleaseHostMaterial(Texture* material);
void ReleaseHostFunction(Fonction3D* function);
