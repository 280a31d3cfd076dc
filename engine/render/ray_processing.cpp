#include "engine/render/ray_processing.h"

#include <algorithm>
#include <cmath>

#include "engine/materials/texture.h"
#include "engine/objects/bounding_volume.h"
#include "engine/objects/hit_material.h"
#include "engine/render/atmosphere.h"
#include "engine/scene/landscape.h"

namespace {

// Lays the landscape's fog and haze over the opaque part (1 - transparency) of a surface
// colour seen along `ray`.
void ApplyAtmosphere(const TPaysage& landscape, const Ray* ray, double transparency, CLRINT& colour) {
  const double length = ray->distance;
  double fog = FogAmount(landscape, ray->origin.z, ray->direction, FogPathLength(length));
  fog = std::clamp(fog, 0.0, 1.0) * (1.0 - transparency);
  double haze = landscape.HazeDensity == 0.0f ? 0.0 : std::clamp(0.25 * length * landscape.HazeDensity, 0.0, 1.0);
  const double brightness = std::min(0.00196078 * colour.r + 0.001372549 * colour.g + 0.000588235 * colour.b, 1.0);
  haze = (1.0 - transparency) * haze * (1.0 - 0.8 * brightness);

  const CLRINT hazeColour(landscape.HazeColour), fogColour(landscape.FogColour);
  colour.r = ToChannel(colour.r + std::trunc(hazeColour.r * haze));
  colour.g = ToChannel(colour.g + std::trunc(hazeColour.g * haze));
  colour.b = ToChannel(colour.b + std::trunc(hazeColour.b * haze));
  colour.r = ToChannel((1.0 - fog) * colour.r + fogColour.r * fog);
  colour.g = ToChannel((1.0 - fog) * colour.g + fogColour.g * fog);
  colour.b = ToChannel((1.0 - fog) * colour.b + fogColour.b * fog);
}

}  // namespace

float ShadeHit(const Texture* material, ImpactInfo& hit, float distance, Ray* ray, CLRINT& colour, TGlobalInfo* gi,
               TDrawInfo* di, TObject3D* object, float footprint) {
  if (material)
    return material->ExtraireAspect(hit, distance, ray, colour, gi, di, object, footprint);
  colour = ray->shadowRay ? CLRINT(0, 0, 0) : CLRINT(192, 192, 192);
  return 0.0f;
}

void CompleteHit(BasicObject* object, const VECTEUR& point, const VECTEUR& normal, VECTEUR& worldNormal,
                 VECTEUR& objectPoint, VECTEUR& objectNormal) {
  objectPoint = point;
  objectNormal = normal;
  worldNormal = normal;
  if (Obj* obj = AsObj(object)) {
    worldNormal = obj->inverse.TransposeTimes(normal);
    const double sx = obj->forward.ColumnLength(0), sy = obj->forward.ColumnLength(1);
    const double sz = obj->forward.ColumnLength(2);
    objectNormal = VECTEUR(normal.x * sx, normal.y * sy, normal.z * sz);
    if (object->type != BasicObject::TypePlane && object->type != BasicObject::TypeVegetation)
      objectPoint = VECTEUR(point.x * sx, point.y * sy, point.z * sz);
  }
  Normalise(worldNormal);
  Normalise(objectNormal);
}

double TraceRay(Ray* ray, CLRINT& colour, TGlobalInfo* gi, TDrawInfo* di, float maxDistance) {
  switch (gi ? gi->RayMode : RayModeScene) {
    case RayModeScene:
      return ProcessARay(ray, di, maxDistance, colour, gi);
    case RayModeMaterialPreview:
      return ExtraireRay(ray, di, maxDistance, colour, gi);
    case RayModeObjectPreview:
      return ExtraireRayObject(ray, di, maxDistance, colour, gi);
    default:
      return MissDistance;
  }
}

double FindNearestHit(Ray* ray, TDrawInfo* di, float maxDistance, VECTEUR& worldPoint, VECTEUR& objectPoint,
                      VECTEUR& worldNormal, VECTEUR& objectNormal, TObject3D*& object, unsigned* material) {
  object = nullptr;
  // A ray without a direction goes nowhere and meets nothing.
  if (!di->BoundingVolume || Dot(ray->direction, ray->direction) == 0.0)
    return 0.0;
  double t = maxDistance;
  VECTEUR point, normal;
  ForgetHitMaterials();
  di->BoundingVolume->FindNearestBoundedIntersection(ray, di, t, point, normal, object);
  if (!object)
    return 0.0;
  if (material) {
    *material = object->material;
    FindHitMaterial(object, point, *material);
  }
  worldPoint = ray->origin + ray->direction * t;
  CompleteHit(object, point, normal, worldNormal, objectPoint, objectNormal);
  return t;
}

double ProcessARay(Ray* ray, TDrawInfo* di, float maxDistance, CLRINT& colour, TGlobalInfo* gi) {
  ImpactInfo impact;
  TObject3D* object = nullptr;
  unsigned materialIndex = 0;
  const double t = FindNearestHit(ray, di, maxDistance, impact.worldPoint, impact.objectPoint, impact.worldNormal,
                                  impact.objectNormal, object, &materialIndex);
  if (!object) {
    if (ray->shadowRay)
      colour = CLRINT(255, 255, 255);
    else
      SkyColour(ray, di, gi, colour);
    return MissDistance;
  }
  ray->distance = static_cast<float>(ray->distance + t);
  const float footprint = static_cast<float>(di->PixelAngle * t);
  const Texture* material = LandscapeMaterial(di, materialIndex);
  const float transparency = ShadeHit(material, impact, static_cast<float>(t), ray, colour, gi, di, object, footprint);
  if (ray->shadowRay)
    return t;
  if (di->Landscape)
    ApplyAtmosphere(*di->Landscape, ray, transparency, colour);
  return t;
}

double FogPathLength(double length) {
  length = std::max(length, 0.0);
  return (0.21862956 * length + 0.0095801063) / (0.00014475205 * length + 1.0);
}

double FogAmount(const TPaysage& landscape, double z, const VECTEUR& direction, double d) {
  const double a = landscape.FogDensity, b = landscape.FogHeightDensity;
  const double z0 = landscape.FogAltitude, c = landscape.FogFalloff;
  // Without height fog only the constant density remains, whatever the altitudes (the
  // exponent tests below would otherwise saturate a fog that has no density).
  if (c == 0.0 || b == 0.0)
    return d * a;
  const double horizontal = std::sqrt(direction.x * direction.x + direction.y * direction.y);
  const double s = horizontal == 0.0 ? direction.z * 1e8 : direction.z / horizontal;
  const double e1 = -c * ((s * d + z) - z0);
  if (e1 >= 40.0)
    return 100.0;
  if (std::fabs(c * s) >= 0.0001) {
    const double e0 = -c * (z - z0);
    if (e0 >= 40.0)
      return 100.0;
    return d * a - (b / (c * s)) * (std::exp(e1) - std::exp(e0));
  }
  return (std::exp(-c * (z - z0)) * b + a) * d;
}
