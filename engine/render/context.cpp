#include "engine/render/context.h"

#include "engine/render/camera.h"

TDrawInfo::TDrawInfo(const TDrawInfo& other) { *this = other; }

TDrawInfo& TDrawInfo::operator=(const TDrawInfo& other) {
  if (this == &other)
    return *this;
  Landscape = other.Landscape;
  DeviceContext = other.DeviceContext;
  GroundLevel = other.GroundLevel;
  Zoom = other.Zoom;
  Rendering = other.Rendering;
  ViewType = other.ViewType;
  Detail = other.Detail;
  Scale = other.Scale;
  CentreX = other.CentreX;
  CentreY = other.CentreY;
  Project = other.Project;
  FocalLength = other.FocalLength;
  CameraPosition = other.CameraPosition;
  CameraDirection = other.CameraDirection;
  LevelFlag = other.LevelFlag;
  CosLevel = other.CosLevel;
  SinLevel = other.SinLevel;
  Aperture = other.Aperture;
  FocusDistance = other.FocusDistance;
  LensAxisU = other.LensAxisU;
  LensAxisV = other.LensAxisV;
  Camera = other.Camera;
  HorizonRightX = other.HorizonRightX;
  HorizonRightY = other.HorizonRightY;
  SinPitch = other.SinPitch;
  CosPitch = other.CosPitch;
  SunTint = other.SunTint;
  SkyTint = other.SkyTint;
  BoundingVolume = other.BoundingVolume;
  ContainersOfCamera = other.ContainersOfCamera;
  PixelAngle = other.PixelAngle;
  Random = other.Random;
  // The default camera is never shared: this record gets its own copy.
  delete DefaultCamera;
  DefaultCamera = other.DefaultCamera ? new TCamera(other.DefaultCamera) : nullptr;
  if (other.DefaultCamera && other.Camera == other.DefaultCamera)
    Camera = DefaultCamera;
  return *this;
}

TDrawInfo::~TDrawInfo() { delete DefaultCamera; }

void ProjectTop(TDrawInfo* di, float& sx, float& sy, VECTEUR p) {
  sx = static_cast<float>(di->Scale * p.x + di->CentreX);
  sy = static_cast<float>(di->CentreY - di->Scale * p.y);
}

void ProjectFront(TDrawInfo* di, float& sx, float& sy, VECTEUR p) {
  sx = static_cast<float>(di->Scale * p.x + di->CentreX);
  sy = static_cast<float>(di->CentreY - di->Scale * p.z);
}

void ProjectSide(TDrawInfo* di, float& sx, float& sy, VECTEUR p) {
  sx = static_cast<float>(di->Scale * p.y + di->CentreX);
  sy = static_cast<float>(di->CentreY - di->Scale * p.z);
}

ProjectionFunction ChooseProjection(EViewType viewType, ProjectionFunction cameraProjection) {
  switch (viewType) {
    case ViewTop:
      return ProjectTop;
    case ViewFront:
      return ProjectFront;
    case ViewSide:
      return ProjectSide;
    default:
      return cameraProjection;
  }
}
