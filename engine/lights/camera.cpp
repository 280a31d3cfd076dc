#include "engine/lights/camera.h"

#include <algorithm>
#include <cmath>

#include "engine/lights/light.h"
#include "engine/objects/object_tools.h"
#include "engine/scene/environment.h"
#include "engine/scene/landscape.h"

namespace {

// The orientation of a camera looking along +y with +z up: camera x goes to world -x,
// camera y to world z and camera z (the viewing direction) to world y. These are the
// rotation angles (90, 0, 180) with their rounding removed.
void SetDefaultOrientation(Matrix& m) {
  const float entries[3][3] = {{-1.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 1.0f}, {0.0f, 1.0f, 0.0f}};
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++)
      m.m[i][j] = entries[i][j];
  m.angles[0] = 90.0f;
  m.angles[1] = 0.0f;
  m.angles[2] = 180.0f;
  m.slants[0] = m.slants[1] = m.slants[2] = 0.0f;
}

bool InHostSelection(BasicObject* object) {
  ObjectsList* selection = SelectedObjectList();
  return selection && selection->HasMember(object);
}

}  // namespace

// TCamera --------------------------------------------------------------------

TCamera::TCamera(const TCamera* from) : Planar(0) {
  SetType(TypeCamera);
  if (from) {
    *this = *from;
    return;
  }
  SetDefaultOrientation(forward);
  UpdateInverse();
  GetNormal();
}

BasicObject* TCamera::Clone() const { return new TCamera(this); }

TCamera::TCamera(const TCamera& other) : Planar(0) {
  SetType(TypeCamera);
  *this = other;
}

bool TCamera::operator==(const TCamera& other) const {
  return normal == other.normal && FocalLength == other.FocalLength && LevelHorizon == other.LevelHorizon &&
         Aperture == other.Aperture && FocusDistance == other.FocusDistance;
}

void TCamera::SymbolBox(int part, VECTEUR& lower, VECTEUR& upper) const {
  if (part == 0) {
    const double length = CameraViewBarLengthPerFocal * FocalLength;
    lower = VECTEUR(-CameraViewBarHalfWidth, -CameraViewBarHalfWidth, std::min(0.0, length));
    upper = VECTEUR(CameraViewBarHalfWidth, CameraViewBarHalfWidth, std::max(0.0, length));
  } else {
    lower = VECTEUR(-CameraBodyHalfWidth, -CameraBodyHalfHeight, -CameraBodyDepth);
    upper = VECTEUR(CameraBodyHalfWidth, CameraBodyHalfHeight, 0.0);
  }
}

BasicObject* TCamera::FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& nrm) {
  // Invisible in renders and in the camera view; pickable in the orthographic views.
  if (!di || di->Rendering || (di->ViewType != ViewTop && di->ViewType != ViewFront && di->ViewType != ViewSide))
    return nullptr;
  const VECTEUR o = inverse * (ray->origin - centre);
  const VECTEUR d = inverse * ray->direction;
  for (int part = 0; part < 2; part++) {
    VECTEUR lower, upper, faceNormal;
    double tau;
    SymbolBox(part, lower, upper);
    if (HitAlignedBox(o, d, lower, upper, t, tau, faceNormal)) {
      t = tau;
      point = o + d * tau;
      nrm = faceNormal;
      return this;
    }
  }
  return nullptr;
}

TIntervalList* TCamera::FindAllIntersections(Ray*, TDrawInfo*) { return new TIntervalList(); }

bool TCamera::IsInside(const VECTEUR&, TDrawInfo*) { return false; }

void TCamera::Rotate(float a, float b, float c, TDrawInfo* di, bool absolute) {
  const bool level = LevelHorizon != 0.0f;
  if (absolute) {
    const float about = level ? 0.0f : b;
    BuildRotationMatrix(forward, a, about, c);
    forward.angles[0] = a;
    forward.angles[1] = about;
    forward.angles[2] = c;
    forward.slants[0] = forward.slants[1] = forward.slants[2] = 0.0f;
  } else {
    Matrix rotation;
    BuildRotationMatrix(rotation, a, b, c);
    Matrix rotated = rotation * forward;
    forward.SetEntries(rotated);
    RefreshAngles();
    if (level) {
      // Rebuilt from the x and z angles alone, so the camera never rolls.
      const float ax = forward.angles[0], az = forward.angles[2];
      BuildRotationMatrix(forward, ax, 0.0f, az);
      forward.angles[1] = 0.0f;
      forward.slants[0] = forward.slants[1] = forward.slants[2] = 0.0f;
    }
  }
  UpdateInverse();
  GetNormal();

  // The sun turns with the camera about the vertical through the camera: its offset from
  // the camera and its direction both turn by c about z, so the scene keeps its lighting
  // relative to the view.
  if (!di || !di->Landscape || !di->Landscape->SunFollowsCamera || !di->Landscape->Objects)
    return;
  for (BasicObject* object : *di->Landscape->Objects) {
    if (object->type != TypeDirectionalLight)
      continue;
    if (InHostSelection(object))
      return;
    const double angle = c * DegreesToRadians;
    const double cs = std::cos(angle), sn = std::sin(angle);
    const VECTEUR offset = object->GetCenter() - centre;
    const VECTEUR turned(offset.x * cs - offset.y * sn, offset.x * sn + offset.y * cs, offset.z);
    const VECTEUR position = centre + turned;
    object->MoveTo(static_cast<float>(position.x), static_cast<float>(position.y), static_cast<float>(position.z), di);
    object->Rotate(0.0f, 0.0f, c, di, false);
    return;
  }
}

void TCamera::MoveTo(float x, float y, float z, TDrawInfo* di) {
  if (di && GetEnvironment()->CameraAboveGround && z < di->GroundLevel)
    z = di->GroundLevel;
  const VECTEUR moved = VECTEUR(x, y, z) - centre;
  centre = VECTEUR(x, y, z);
  // Directional lights that follow the camera move with it, unless the host holds them.
  if (!di || !di->Landscape || !di->Landscape->Objects)
    return;
  for (BasicObject* object : *di->Landscape->Objects) {
    if (object->type != TypeDirectionalLight || InHostSelection(object))
      continue;
    TDirectionLight* light = dynamic_cast<TDirectionLight*>(object);
    if (light && light->FollowCamera)
      light->MoveOf(static_cast<float>(moved.x), static_cast<float>(moved.y), static_cast<float>(moved.z), di);
  }
}

void TCamera::MoveOf(float dx, float dy, float dz, TDrawInfo* di) {
  MoveTo(static_cast<float>(centre.x + dx), static_cast<float>(centre.y + dy), static_cast<float>(centre.z + dz), di);
}

void TCamera::Scale(float sx, float sy, float sz, TDrawInfo*, bool) {
  const double factor = std::sqrt((double(sx) * sx + double(sy) * sy + double(sz) * sz) / 3.0);
  FocalLength = static_cast<float>(std::clamp(FocalLength * factor, 8.0, 5000.0));
}

VECTEUR TCamera::GetCenter() { return centre; }

void TCamera::IncludeObjectInBox(TBoundingBox& box, bool, bool world) {
  for (int part = 0; part < 2; part++) {
    VECTEUR lower, upper;
    SymbolBox(part, lower, upper);
    for (int corner = 0; corner < 8; corner++) {
      VECTEUR p((corner & 1) ? upper.x : lower.x, (corner & 2) ? upper.y : lower.y, (corner & 4) ? upper.z : lower.z);
      p = forward * p;
      if (world)
        p += centre;
      box.Include(p);
    }
  }
}

void TCamera::GetNumberOfObjects(int& objects, int& lights) {
  objects = 0;
  lights = 0;
}

// TDrawInfo owns the default camera made here (its copies and its end are the camera
// code's: a record of the scene layer cannot copy an object).
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

namespace {
[[maybe_unused]] const bool copierRegistered = RegisterObjectCopier(BasicObject::TypeCamera, CopyOfKind<TCamera>);
}  // namespace
