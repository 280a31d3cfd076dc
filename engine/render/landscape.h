// TPaysage: the host's landscape record, with the fields the engine reads, in order.
#pragma once

#include <cstdint>

#include "engine/geometry/array.h"
#include "engine/geometry/colours.h"
#include "engine/geometry/vectors.h"

class ObjectsList;
class Texture;
class CloudLayer;

#pragma pack(push, 1)

struct TPaysage {
  ObjectsList* Objects = nullptr;            // the top-level objects
  TArray<Texture*>* Materials = nullptr;     // indexed by an object's material number
  TArray<CloudLayer*>* CloudLayers = nullptr;
  float HazeHeight = 0.0f, HazeStrength = 0.0f;
  float GradientBase = 0.0f, GradientThickness = 0.0f, SunWeight = 0.0f;
  uint8_t TintAllLights = 0;
  float FogDensity = 0.0f, FogHeightDensity = 0.0f, FogAltitude = 0.0f, FogFalloff = 0.0f;
  CLR FogColour;
  float HazeDensity = 0.0f;
  CLR HazeColour;
  float SunDiscCos = 0.0f;
  VECFLOAT SkyTint;
  VECFLOAT LightColour;
  VECTEUR ViewCentre;
  float ViewScale = 1.0f;
  float CloudShadow = 0.0f;
  uint8_t Panoramic = 0;
  float PanoramicFactor = 0.0f;
  float PictureShiftX = 0.0f, PictureShiftY = 0.0f;
  uint8_t SunFollowsCamera = 0;
  float GlowStrength = 0.0f, GlowCos = 0.0f;
};

#pragma pack(pop)
