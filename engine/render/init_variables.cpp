// The per-render values derived from the active camera and the sun.
#include <cmath>

#include "engine/lights/light.h"
#include "engine/render/camera.h"
#include "engine/scene/context.h"
#include "engine/scene/environment.h"
#include "engine/scene/landscape.h"

void InitVariables(TGlobalInfo* gi, TDrawInfo* di) {
  if (!GetActiveCamera(di))
    return;  // no landscape: nothing to derive
  const TPaysage& landscape = *di->Landscape;
  gi->SunLight = gi->Lights ? GetSunLight(gi->Lights) : GetSunLight(landscape.Objects);

  const VECTEUR d = di->CameraDirection;
  const double cosPitch = std::sqrt(std::fmax(0.0, 1.0 - d.z * d.z));
  di->CosPitch = static_cast<float>(cosPitch);
  di->SinPitch = static_cast<float>(-d.z);
  if (di->CosPitch == 0.0f) {
    // Straight up or down: any horizontal vector is perpendicular to the view.
    di->HorizonRightX = 1.0f;
    di->HorizonRightY = 0.0f;
  } else {
    di->HorizonRightX = static_cast<float>(d.y / cosPitch);
    di->HorizonRightY = static_cast<float>(-d.x / cosPitch);
  }

  di->SunTint = landscape.LightColour;
  di->SkyTint = landscape.SkyTint;
  if (gi->SunLight) {
    const VECFLOAT sun = gi->SunLight->Colour;
    di->SunTint = VECFLOAT(di->SunTint.x * sun.x, di->SunTint.y * sun.y, di->SunTint.z * sun.z);
  }

  // Without a focal length or a picture width there is no pixel to measure.
  const double across = double(di->FocalLength) * GetEnvironment()->PictureWidth;
  di->PixelAngle = across != 0.0 ? static_cast<float>((18.0 / di->FocalLength) / GetEnvironment()->PictureWidth) : 0.0f;
}
