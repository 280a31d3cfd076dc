// The per-view record every drawing and render call receives.
#pragma once

#include <cstdint>

#include "engine/geometry/vectors.h"
#include "engine/platform/device_context.h"

struct TPaysage;
struct TDrawInfo;
class TCamera;
class TBoundingVolume;
class ObjectsList;

// The projection of a view; any other value is treated as ViewCamera.
enum EViewType : int32_t {
  ViewCamera = 0,
  ViewTop = 1,
  ViewFront = 2,
  ViewSide = 3,
};

typedef void (*ProjectionFunction)(TDrawInfo* di, float& sx, float& sy, VECTEUR p);

#pragma pack(push, 1)

struct TDrawInfo {
  TPaysage* Landscape = nullptr;
  HDC DeviceContext = nullptr;
  float GroundLevel = -100000.0f;
  float Zoom = 1.0f;
  uint8_t Rendering = 0;  // 1 while ray tracing, 0 in wireframe views
  EViewType ViewType = ViewCamera;
  int32_t Detail = 0;
  float Scale = 1.0f;
  int32_t CentreX = 0, CentreY = 0;
  ProjectionFunction Project = nullptr;
  float FocalLength = 0.0f;
  VECTEUR CameraPosition;
  VECTEUR CameraDirection;
  uint8_t LevelFlag = 0;
  float CosLevel = 1.0f, SinLevel = 0.0f;
  float Aperture = 0.0f;
  float FocusDistance = 0.0f;
  VECTEUR LensAxisU, LensAxisV;
  TCamera* Camera = nullptr;
  float HorizonRightX = 1.0f, HorizonRightY = 0.0f;
  float SinPitch = 0.0f;
  float CosPitch = 1.0f;
  VECFLOAT SunTint;
  VECFLOAT SkyTint;
  TBoundingVolume* BoundingVolume = nullptr;
  ObjectsList* ContainersOfCamera = nullptr;
  float PixelAngle = 0.0f;
};

#pragma pack(pop)
