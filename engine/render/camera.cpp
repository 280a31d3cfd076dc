#include "engine/render/camera.h"

#include <algorithm>
#include <cmath>

#include "engine/functions/noise.h"
#include "engine/lights/light.h"
#include "engine/objects/object_tools.h"
#include "engine/platform/random.h"
#include "engine/scene/environment.h"
#include "engine/scene/landscape.h"
#include "engine/render/ray_processing.h"

namespace {

constexpr double Pi = 3.14159265358979323846;

// The camera a view projects through: its own, or a default one when it has none.
const TCamera& ProjectingCamera(const TDrawInfo* di) {
  static const TCamera defaultCamera(nullptr);
  return di->Camera ? *di->Camera : defaultCamera;
}

}  // namespace

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
