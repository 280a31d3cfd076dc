// TPaysage: the host's landscape record, with the fields the engine reads, in order.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/geometry/array.h"
#include "engine/geometry/colours.h"
#include "engine/geometry/vectors.h"
#include "engine/functions/colour_table.h"

class ObjectsList;
class Texture;
class CloudLayer;

// Number of layers an object can be placed on.
constexpr unsigned LayerCount = 8;

#pragma pack(push, 1)

struct TPaysage {
  ObjectsList* Objects = nullptr;         // the top-level objects
  TArray<Texture*>* Materials = nullptr;  // indexed by an object's material number
  TArray<CloudLayer*>* CloudLayers = nullptr;
  float HazeHeight = 0.0f, HazeStrength = 0.0f;                           // horizon haze of the sky
  float GradientBase = 0.0f, GradientThickness = 0.0f, SunWeight = 0.0f;  // sky gradient
  uint8_t TintAllLights = 0;  // the light colour tints every light, not only the sun
  float FogDensity = 0.0f, FogHeightDensity = 0.0f, FogAltitude = 0.0f, FogFalloff = 0.0f;
  CLR FogColour;
  float HazeDensity = 0.0f;  // haze over surfaces
  CLR HazeColour;
  float SunDiscCos = 0.0f;
  VECFLOAT SkyTint;
  VECFLOAT LightColour;
  VECTEUR ViewCentre;      // orthographic views
  float ViewScale = 1.0f;  // orthographic views: pixels per world unit
  float CloudShadow = 0.0f;
  uint8_t Panoramic = 0;
  float PanoramicFactor = 0.0f;  // angle per picture width
  float PictureShiftX = 0.0f, PictureShiftY = 0.0f;
  uint8_t SunFollowsCamera = 0;
  float GlowStrength = 0.0f, GlowCos = 0.0f;
  TableDeCouleurs SunColours;
  TableDeCouleurs SkyColours;
  // Status of each layer: 0 hidden, 1 visible, 2 active (visible and worked on).
  int32_t LayerStatus[LayerCount] = {2, 2, 2, 2, 2, 2, 2, 2};

  // Layer `layer` has status 2; false for a layer number past the last layer.
  bool IsLayerActive(unsigned layer) const;
  // Status of layer `layer`; 0 for a layer number past the last layer.
  int GetLayerStatus(unsigned layer) const;
};

#pragma pack(pop)

static_assert(offsetof(TPaysage, HazeHeight) == 24);
static_assert(offsetof(TPaysage, TintAllLights) == 44);
static_assert(offsetof(TPaysage, FogColour) == 61);
static_assert(offsetof(TPaysage, SkyTint) == 75);
static_assert(offsetof(TPaysage, ViewCentre) == 99);
static_assert(offsetof(TPaysage, Panoramic) == 131);
static_assert(offsetof(TPaysage, SunFollowsCamera) == 144);
static_assert(offsetof(TPaysage, SunColours) == 153);
static_assert(offsetof(TPaysage, LayerStatus) == 153 + 2 * sizeof(TableDeCouleurs));
