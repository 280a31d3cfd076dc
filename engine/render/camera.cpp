#include "engine/render/camera.h"

#include <algorithm>
#include <cmath>

#include "engine/functions/noise.h"
#include "engine/lights/light.h"
#include "engine/objects/object_tools.h"
#include "engine/platform/random.h"
#include "engine/render/environment.h"
#include "engine/render/landscape.h"
#include "engine/render/ray_processing.h"

namespace {

constexpr double Pi = 3.14159265358979323846;

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

// The camera a view projects through: its own, or a default one when it has none.
const TCamera& ProjectingCamera(const TDrawInfo* di) {
  static const TCamera defaultCamera(nullptr);
  return di->Camera ? *di->Camera : defaultCamera;
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

TCamera::TCamera(const TCamera& other) : Planar(0) {
  SetType(TypeCamera);
  *this = other;
}

TCamera& TCamera::operator=(const TCamera& other) {
  Planar::operator=(other);
  FocalLength = other.FocalLength;
  LevelHorizon = other.LevelHorizon;
  Aperture = other.Aperture;
  FocusDistance = other.FocusDistance;
  return *this;
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

// The active camera -------------------------------------------------------------

TCamera* GetActiveCamera(TDrawInfo* di) {
  if (!di || !di->Landscape)
    return nullptr;
  TCamera* camera = nullptr;
  if (ObjectsList* objects = di->Landscape->Objects)
    for (BasicObject* object : *objects)
      if (object->type == BasicObject::TypeCamera && (camera = dynamic_cast<TCamera*>(object)))
        break;
  // A landscape without a camera is seen through a default camera, which the record owns.
  // One made by an earlier call is set back to the defaults rather than replaced, so that
  // no pointer to it (the host's, or a camera method's own) is left dangling.
  if (!camera) {
    if (di->DefaultCamera)
      *di->DefaultCamera = TCamera(nullptr);
    else
      di->DefaultCamera = new TCamera(nullptr);
    camera = di->DefaultCamera;
  } else {
    delete di->DefaultCamera;
    di->DefaultCamera = nullptr;
  }

  di->FocalLength = camera->FocalLength;
  di->CameraDirection = camera->Direction();
  di->CameraPosition = camera->GetCenter();
  di->LevelFlag = camera->LevelHorizon != 0.0f;
  const double level = camera->LevelHorizon * Pi / 180.0;
  di->CosLevel = static_cast<float>(std::cos(level));
  di->SinLevel = static_cast<float>(std::sin(level));
  di->Aperture = camera->Aperture;
  if (camera->Aperture != 0.0f) {
    VECTEUR u, v, w;
    BuildBase(camera->Direction(), u, v, w);
    const double spread = double(camera->FocalLength) * camera->Aperture;
    di->LensAxisU = u * spread;
    di->LensAxisV = v * spread;
  }
  di->FocusDistance = camera->FocusDistance;
  di->Camera = camera;
  return camera;
}

// Projection ---------------------------------------------------------------------

void ProjectCamera(TDrawInfo* di, float& sx, float& sy, VECTEUR p) {
  const VECTEUR v = ProjectingCamera(di).inverse * (p - di->CameraPosition);
  // A point in the camera's own plane would divide by zero: it is taken a hair in front,
  // which throws it far off the screen instead.
  const double depth = std::max(std::fabs(v.z), 1e-9);
  const double f = ((2.0 * di->CentreX + 2.0) * di->FocalLength) / (depth * 18.0) * di->Zoom;
  sx = static_cast<float>(di->CentreX - f * v.x);
  sy = static_cast<float>(di->CentreY - f * v.y - 1.0);
}

void TransformationEcranExterne(TDrawInfo* di, float& sx, float& sy, VECTEUR p) {
  ProjectionFunction project = di->Project ? di->Project : ChooseProjection(di->ViewType, ProjectCamera);
  project(di, sx, sy, p);
}

// Primary rays ---------------------------------------------------------------------

void optique(float x, float y, float width, Ray* ray, TDrawInfo* di) {
  const TPaysage* landscape = di->Landscape;
  if (landscape) {
    x += landscape->PictureShiftX;
    y += landscape->PictureShiftY;
  }
  VECTEUR d;
  const bool panoramic = landscape && landscape->Panoramic && !GetEnvironment()->FlatLens && di->Rendering;
  if (!panoramic) {
    d = VECTEUR(-18.0 * x, 18.0 * y, double(di->FocalLength) * width * di->Zoom);
    Normalise(d);
  } else {
    // A picture without width has no angle per pixel.
    const double k = width != 0.0f ? landscape->PanoramicFactor / double(width) : 0.0;
    const double a = -k * x, b = k * y;
    d = VECTEUR(std::sin(a) * std::cos(b), std::sin(b), std::cos(a) * std::cos(b));
  }
  ray->direction = ProjectingCamera(di).forward * d;
  ray->origin = di->CameraPosition;
  ray->distance = 0.0f;
  ray->weight = 1.0f;
  ray->factor = 1.0f;
  ray->depth = 1;
  delete ray->insideObjects;
  ray->insideObjects = nullptr;
  if (di->ContainersOfCamera && !di->ContainersOfCamera->IsEmpty())
    ray->insideObjects = new ObjectsList(*di->ContainersOfCamera);
}

void LaunchARay(Ray* ray, float px, float py, TDrawInfo* di) {
  di->Rendering = 1;
  const TEnvironment* environment = GetEnvironment();
  const int width = environment->PictureWidth, height = environment->PictureHeight;
  optique(px - width / 2 - 1, py - height / 2 - 1, static_cast<float>(width), ray, di);
  if (di->Aperture == 0.0f)
    return;

  // Depth of field: the ray leaves from a point of the lens disc and passes through the
  // point of the unmoved ray that lies at the focus distance.
  const QualitySettings& quality = environment->Quality;
  double angle, radius;
  if (!quality.MultiSample && !(quality.Distribution && quality.DepthOfFieldSampling)) {
    angle = DrawRandom(di->Random) * 0.0001917534;
    radius = std::sqrt(DrawRandom(di->Random) * 3.05185e-05);
  } else {
    // The sub-pixel position chooses the lens point, so the caller's samples cover the lens.
    angle = (px - E(px)) * 12.566371;
    radius = std::sqrt((py - E(py)) * 2.0);
  }
  const VECTEUR sharp = ray->origin + ray->direction * di->FocusDistance;
  ray->origin += (di->LensAxisV * std::sin(angle) + di->LensAxisU * std::cos(angle)) * radius;
  ray->direction = Normalised(sharp - ray->origin);
}
