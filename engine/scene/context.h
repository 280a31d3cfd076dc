// The records every drawing and render call receives: the per-view TDrawInfo and the
// per-render TGlobalInfo, and the projections of the orthographic views.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/geometry/array.h"
#include "engine/geometry/vectors.h"
#include "engine/platform/device_context.h"

struct TPaysage;
struct TDrawInfo;
class TCamera;
class TBoundingVolume;
class ObjectsList;
class BasicObject;
class Texture;
class TLight;
class RandomGenerator;

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
  HDC DeviceContext = nullptr;     // where wireframes are drawn; null while rendering
  float GroundLevel = -100000.0f;  // altitude of the horizontal infinite plane, -100000 for none
  float Zoom = 1.0f;               // multiplies the camera's focal length
  uint8_t Rendering = 0;           // 1 while ray tracing, 0 in wireframe views
  EViewType ViewType = ViewCamera;
  int32_t Detail = 0;                    // wireframe level of detail; 0 when rendering
  float Scale = 1.0f;                    // pixels per world unit of the orthographic views
  int32_t CentreX = 0, CentreY = 0;      // screen position of the view's origin
  ProjectionFunction Project = nullptr;  // chosen by ViewType
  float FocalLength = 0.0f;
  VECTEUR CameraPosition;
  VECTEUR CameraDirection;
  uint8_t LevelFlag = 0;  // the camera levels the horizon
  float CosLevel = 1.0f, SinLevel = 0.0f;
  float Aperture = 0.0f;  // lens aperture for depth of field; 0 = pinhole
  float FocusDistance = 0.0f;
  VECTEUR LensAxisU, LensAxisV;  // span the lens disc
  TCamera* Camera = nullptr;
  float HorizonRightX = 1.0f, HorizonRightY = 0.0f;  // horizontal unit vector across the view
  float SinPitch = 0.0f;
  float CosPitch = 1.0f;
  VECFLOAT SunTint;  // read by the sky
  VECFLOAT SkyTint;
  TBoundingVolume* BoundingVolume = nullptr;  // root of the render's hierarchy, owned by the render
  ObjectsList* ContainersOfCamera = nullptr;  // objects whose inside holds the camera
  float PixelAngle = 0.0f;                    // size of one pixel at distance 1

  // Engine-private part, after the fields shared with the host.
  // The generator of the random draws made while rendering through this record (lens
  // samples, soft shadows): each render thread gives its own, seeded from the picture
  // position. Null: the draws come from rand() % 32768. Not owned.
  RandomGenerator* Random = nullptr;
  // The default camera GetActiveCamera made for a landscape without a camera. Owned by
  // this record: freed with it, and a copy of the record gets its own copy of the camera
  // (and its Camera field points there), so that no two records share it.
  TCamera* DefaultCamera = nullptr;

  TDrawInfo() = default;
  TDrawInfo(const TDrawInfo& other);
  TDrawInfo& operator=(const TDrawInfo& other);
  ~TDrawInfo();
};

// Ray functions that trace secondary and shadow rays (TGlobalInfo::RayMode).
enum RayModes : int32_t {
  RayModeScene = 0,            // ProcessARay
  RayModeMaterialPreview = 1,  // ExtraireRay
  RayModeObjectPreview = 2,    // ExtraireRayObject
};

// Depths for which a hit point is kept. Deeper rays share the last slot.
constexpr int DepthHitPointCount = 64;

// The per-render record: which ray function to use, the preview set-up, the lights.
struct TGlobalInfo {
  int32_t RayMode = RayModeScene;
  int32_t PreviewShape = 0;              // material previews: test shape 0-7
  BasicObject* PreviewObject = nullptr;  // shapes 6 and 7, and object previews
  float PreviewSize = 1.0f;
  float PreviewFloor = 0.0f;  // altitude of the preview's ground plane
  uint8_t PreviewWorldScale = 0;
  Texture* PreviewMaterial = nullptr;
  TPaysage* RenderLandscape = nullptr;         // the landscape the material code reads
  TArray<TLight*>* Lights = nullptr;           // the render's light copies; null in object-list previews
  TLight* SunLight = nullptr;                  // the first directional light, or null
  VECTEUR DepthHitPoints[DepthHitPointCount];  // last hit point of the ray at each depth

  // The hit-point slot of a ray depth; negative depths use slot 0 and depths past the
  // array share the last slot, so no depth ever reaches outside the array.
  VECTEUR& DepthHitPoint(int depth) {
    return DepthHitPoints[depth < 0 ? 0 : (depth >= DepthHitPointCount ? DepthHitPointCount - 1 : depth)];
  }
};

#pragma pack(pop)

static_assert(sizeof(EViewType) == 4);
static_assert(offsetof(TDrawInfo, DeviceContext) == 8);
static_assert(offsetof(TDrawInfo, Rendering) == 24);
static_assert(offsetof(TDrawInfo, ViewType) == 25);
static_assert(offsetof(TDrawInfo, CentreY) == 41);
static_assert(offsetof(TDrawInfo, Project) == 45);
static_assert(offsetof(TDrawInfo, CameraPosition) == 57);
static_assert(offsetof(TDrawInfo, LevelFlag) == 105);
static_assert(offsetof(TDrawInfo, LensAxisU) == 122);
static_assert(offsetof(TDrawInfo, Camera) == 170);
static_assert(offsetof(TDrawInfo, SunTint) == 194);
static_assert(offsetof(TDrawInfo, BoundingVolume) == 218);
static_assert(offsetof(TDrawInfo, PixelAngle) == 234);
static_assert(offsetof(TDrawInfo, Random) == 238);
static_assert(offsetof(TGlobalInfo, PreviewObject) == 8);
static_assert(offsetof(TGlobalInfo, PreviewWorldScale) == 24);
static_assert(offsetof(TGlobalInfo, PreviewMaterial) == 25);
static_assert(offsetof(TGlobalInfo, Lights) == 41);
static_assert(offsetof(TGlobalInfo, DepthHitPoints) == 57);
static_assert(sizeof(TGlobalInfo) == 57 + 24 * DepthHitPointCount);

// The landscape a ray is traced in: the view's, else the render's; null without either.
inline TPaysage* TracedLandscape(const TGlobalInfo* gi, const TDrawInfo* di) {
  if (di && di->Landscape)
    return di->Landscape;
  return gi ? gi->RenderLandscape : nullptr;
}

// Derives the per-render camera values of di (through GetActiveCamera), the sun light of
// gi, the sun and sky tints and the pixel angle. Works without any light.
void InitVariables(TGlobalInfo* gi, TDrawInfo* di);

// Orthographic projections of a world point to the screen of a view:
// top:   sx = Scale·x + CentreX, sy = CentreY - Scale·y
// front: sx = Scale·x + CentreX, sy = CentreY - Scale·z
// side:  sx = Scale·y + CentreX, sy = CentreY - Scale·z
void ProjectTop(TDrawInfo* di, float& sx, float& sy, VECTEUR p);
void ProjectFront(TDrawInfo* di, float& sx, float& sy, VECTEUR p);
void ProjectSide(TDrawInfo* di, float& sx, float& sy, VECTEUR p);

// The projection of a view type: one of the three above, or `cameraProjection` (the
// perspective of the active camera) for ViewCamera and for any unknown value.
ProjectionFunction ChooseProjection(EViewType viewType, ProjectionFunction cameraProjection);
