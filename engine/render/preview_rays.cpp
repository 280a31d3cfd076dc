// The ray functions of the material, object and function previews: a test shape (or the
// object under preview) over a floor, lit from a fixed direction, on the preview's
// background.
#include <algorithm>
#include <cmath>

#include "engine/functions/colour_table.h"
#include "engine/functions/fonction3d.h"
#include "engine/functions/options.h"
#include "engine/geometry/bounding_box.h"
#include "engine/materials/texture.h"
#include "engine/objects/hit_material.h"
#include "engine/objects/object.h"
#include "engine/render/ray_processing.h"
#include "engine/scene/landscape.h"

namespace {

// The fixed light of the preview scenes, normalised.
const VECTEUR PreviewLight = Normalised(VECTEUR(0.6, 2.0, 3.0));
// The maximum distance of the function preview's rays.
constexpr double FunctionPreviewDistance = 10000.0;

// The preview settings of the material under preview, or those a new material would get
// when there is none.
Options MaterialPreviewOptions(const Texture* material) {
  if (material)
    return material->DefaultOptions;
  Options forFunctions, forMaterials;
  GetDefaultOptions(forFunctions, forMaterials);
  return forMaterials;
}

// True when trunc(2x + 100) + trunc(2y + 100) is odd; exact for huge values too.
bool OddChequer(double x, double y) {
  const double a = std::fmod(std::trunc(2.0 * x + 100.0), 2.0), b = std::fmod(std::trunc(2.0 * y + 100.0), 2.0);
  return (a != 0.0) != (b != 0.0);
}

// Preview test shapes -------------------------------------------------------------------

// A hit of a preview ray: distance, point and normal in the preview's coordinates, the
// object-space values, and the scene object hit (null for the analytic shapes).
struct PreviewHit {
  double t = 0.0;
  VECTEUR point, normal, objectPoint, objectNormal;
  TObject3D* object = nullptr;
  unsigned material = 0;  // the material of the part of object that was hit
};

// The nearer valid root of a·t² + 2·b·t + c = 0 within (HitTolerance, limit) whose point
// passes `accept`; false when none.
template <class Accept>
bool NearestRoot(double a, double b, double c, double limit, double& t, Accept accept) {
  if (a == 0.0) {
    if (b == 0.0)
      return false;
    const double root = -c / (2.0 * b);
    if (root > HitTolerance && root < limit && accept(root)) {
      t = root;
      return true;
    }
    return false;
  }
  const double disc = b * b - a * c;
  if (disc < 0.0)
    return false;
  const double s = std::sqrt(disc);
  double roots[2] = {(-b - s) / a, (-b + s) / a};
  if (roots[0] > roots[1])
    std::swap(roots[0], roots[1]);
  for (double root : roots)
    if (root > HitTolerance && root < limit && accept(root)) {
      t = root;
      return true;
    }
  return false;
}

// A disc of `radius` in the plane z = height, nearer than `best`.
void TryDisc(const VECTEUR& o, const VECTEUR& d, double height, double radius, double& best, VECTEUR& normal) {
  if (d.z == 0.0)
    return;
  const double t = (height - o.z) / d.z;
  if (t <= HitTolerance || t >= best)
    return;
  const VECTEUR p = o + d * t;
  if (p.x * p.x + p.y * p.y > radius * radius)
    return;
  best = t;
  normal = VECTEUR(0.0, 0.0, o.z > height ? 1.0 : -1.0);
}

// The analytic test shapes 0-5: 0 a cube of half-size `size`, 1 and 5 a sphere of radius
// `size`, 2 a cylinder of radius `size` capped at z = ±0.6667, 3 a cone of radius
// 0.6·(1 - z) from z = -0.6667 to its apex at z = 1, 4 the plane z = 0.
bool HitAnalyticShape(int shape, double size, const VECTEUR& o, const VECTEUR& d, double limit, double& t,
                      VECTEUR& normal) {
  constexpr double CapHeight = 0.6667;
  double best = limit;
  switch (shape) {
    case 0:
      return HitAlignedBox(o, d, VECTEUR(-size, -size, -size), VECTEUR(size, size, size), limit, t, normal);
    case 1:
    case 5: {
      if (!NearestRoot(Dot(d, d), Dot(o, d), Dot(o, o) - size * size, limit, t, [](double) { return true; }))
        return false;
      normal = Normalised(o + d * t);
      if (Dot(normal, d) > 0.0)
        normal = -normal;
      return true;
    }
    case 2: {
      double side = best;
      const auto within = [&](double root) { return std::fabs(o.z + d.z * root) <= CapHeight; };
      if (NearestRoot(d.x * d.x + d.y * d.y, o.x * d.x + o.y * d.y, o.x * o.x + o.y * o.y - size * size, limit, side,
                      within)) {
        best = side;
        const VECTEUR p = o + d * side;
        normal = Normalised(VECTEUR(p.x, p.y, 0.0));
        if (Dot(normal, d) > 0.0)
          normal = -normal;
      }
      TryDisc(o, d, CapHeight, size, best, normal);
      TryDisc(o, d, -CapHeight, size, best, normal);
      break;
    }
    case 3: {
      // x² + y² = 0.36·(1 - z)² between the base and the apex.
      constexpr double k = 0.36;
      const double w = 1.0 - o.z;
      double side = best;
      const auto within = [&](double root) {
        const double z = o.z + d.z * root;
        return z >= -CapHeight && z <= 1.0;
      };
      if (NearestRoot(d.x * d.x + d.y * d.y - k * d.z * d.z, o.x * d.x + o.y * d.y + k * w * d.z,
                      o.x * o.x + o.y * o.y - k * w * w, limit, side, within)) {
        best = side;
        const VECTEUR p = o + d * side;
        normal = Normalised(VECTEUR(p.x, p.y, k * (1.0 - p.z)));
        if (Dot(normal, d) > 0.0)
          normal = -normal;
      }
      TryDisc(o, d, -CapHeight, 0.6 * (1.0 + CapHeight), best, normal);
      break;
    }
    case 4:
      if (d.z == 0.0)
        return false;
      best = -o.z / d.z;
      if (best <= HitTolerance || best >= limit)
        return false;
      normal = VECTEUR(0.0, 0.0, 1.0);
      break;
    default:
      return false;
  }
  if (best >= limit)
    return false;
  t = best;
  return true;
}

// The preview object (shapes 6 and 7, and the object preview).
bool HitPreviewObject(Ray* ray, TDrawInfo* di, TGlobalInfo* gi, double limit, PreviewHit& hit) {
  if (!gi->PreviewObject)
    return false;
  double t = limit;
  VECTEUR point, normal;
  ForgetHitMaterials();
  BasicObject* found = gi->PreviewObject->FindNearestIntersection(ray, di, t, point, normal);
  if (!found)
    return false;
  hit.t = t;
  hit.point = ray->origin + ray->direction * t;
  CompleteHit(found, point, normal, hit.normal, hit.objectPoint, hit.objectNormal);
  hit.object = dynamic_cast<TObject3D*>(found);
  if (hit.object) {
    hit.material = hit.object->material;
    FindHitMaterial(found, point, hit.material);
  }
  return true;
}

// The test shape gi->PreviewShape along the ray.
bool HitPreviewShape(Ray* ray, TDrawInfo* di, TGlobalInfo* gi, double limit, PreviewHit& hit) {
  const int shape = gi->PreviewShape;
  if (shape == 6 || shape == 7)
    return HitPreviewObject(ray, di, gi, limit, hit);
  double t;
  VECTEUR normal;
  if (!HitAnalyticShape(shape, gi->PreviewSize, ray->origin, ray->direction, limit, t, normal))
    return false;
  hit.t = t;
  hit.point = hit.objectPoint = ray->origin + ray->direction * t;
  hit.normal = hit.objectNormal = normal;
  hit.object = nullptr;
  return true;
}

// The hit record handed to the material: with PreviewWorldScale the points are scaled by
// the preview size, so that the material is seen at the scene's scale.
ImpactInfo PreviewImpact(const PreviewHit& hit, const TGlobalInfo* gi) {
  const double scale = gi->PreviewWorldScale ? gi->PreviewSize : 1.0;
  return ImpactInfo{hit.point * scale, hit.objectPoint * scale, hit.normal, hit.objectNormal};
}

enum class PreviewKind { Material, Object, Function };

// The background of a preview ray that hit nothing: the plain colour, or the gradient
// above the horizon and the chequered floor (with its shadow) below it.
void PreviewBackground(PreviewKind kind, const Options& options, Ray* ray, CLRINT& colour, TGlobalInfo* gi,
                       TDrawInfo* di) {
  const VECTEUR& d = ray->direction;
  if (options.Background != 3) {
    ExtraireCouleur(0, &options.BackgroundColours, colour);
    return;
  }
  if (d.z >= 0.0) {
    ExtraireCouleur(ColourTablePosition((1.0 - d.z) * 10000.0), &options.BackgroundColours, colour);
    return;
  }
  const VECTEUR floor = ray->origin + d * ((gi->PreviewFloor - ray->origin.z) / d.z);
  gi->DepthHitPoint(ray->depth) = floor;

  // Light from the fixed direction: a shadow ray, or for functions a direct test.
  double lightR = 1.0, lightG = 1.0, lightB = 1.0;
  if (kind == PreviewKind::Function) {
    Ray toLight;
    toLight.origin = floor + PreviewLight * 1e-5;
    toLight.direction = PreviewLight;
    PreviewHit blocker;
    if (HitPreviewShape(&toLight, di, gi, FunctionPreviewDistance, blocker))
      lightR = lightG = lightB = 0.3;
  } else {
    Ray shadow;
    shadow.depth = static_cast<int16_t>(ray->depth + 1);
    shadow.shadowRay = true;
    shadow.origin = floor + PreviewLight * 1e-5;
    shadow.direction = PreviewLight;
    CLRINT passed(255, 255, 255);
    if (kind == PreviewKind::Material)
      ExtraireRay(&shadow, di, RayMaxDistance, passed, gi);
    else
      ExtraireRayObject(&shadow, di, RayMaxDistance, passed, gi);
    lightR = 0.7 * passed.r / 255.0 + 0.3;
    lightG = 0.7 * passed.g / 255.0 + 0.3;
    lightB = 0.7 * passed.b / 255.0 + 0.3;
  }

  int position;
  const bool odd = OddChequer(floor.x, floor.y);
  if (kind == PreviewKind::Object)
    position = odd ? 10000 : 0;
  else
    position =
        odd ? 10000 : ColourTablePosition(std::min(500.0 * std::sqrt(floor.x * floor.x + floor.y * floor.y), 10000.0));
  CLRINT base;
  ExtraireCouleur(position, &options.BackgroundColours, base);
  colour = CLRINT(ToChannel(base.r * lightR), ToChannel(base.g * lightG), ToChannel(base.b * lightB));
}

// The common road of the material and object previews.
double PreviewRay(PreviewKind kind, Ray* ray, TDrawInfo* di, float maxDistance, CLRINT& colour, TGlobalInfo* gi) {
  if (ray->depth > 1 && gi->PreviewWorldScale)
    ray->origin = gi->DepthHitPoint(ray->depth - 1) + ray->direction * 0.001;
  PreviewHit hit;
  const bool found = kind == PreviewKind::Material ? HitPreviewShape(ray, di, gi, maxDistance, hit)
                                                   : HitPreviewObject(ray, di, gi, maxDistance, hit);
  if (!found) {
    if (ray->shadowRay)
      colour = CLRINT(255, 255, 255);
    else
      PreviewBackground(kind, MaterialPreviewOptions(gi->PreviewMaterial), ray, colour, gi, di);
    return MissDistance;
  }
  gi->DepthHitPoint(ray->depth) = hit.point;
  ImpactInfo impact = PreviewImpact(hit, gi);
  const Texture* material = gi->PreviewMaterial;
  if (kind == PreviewKind::Object && hit.object)
    if (const Texture* own = LandscapeMaterial(di, hit.material))
      material = own;
  ShadeHit(material, impact, static_cast<float>(hit.t), ray, colour, gi, di, hit.object,
           static_cast<float>(di->PixelAngle * hit.t));
  return hit.t;
}

}  // namespace

double ExtraireRay(Ray* ray, TDrawInfo* di, float maxDistance, CLRINT& colour, TGlobalInfo* gi) {
  return PreviewRay(PreviewKind::Material, ray, di, maxDistance, colour, gi);
}

double ExtraireRayObject(Ray* ray, TDrawInfo* di, float maxDistance, CLRINT& colour, TGlobalInfo* gi) {
  return PreviewRay(PreviewKind::Object, ray, di, maxDistance, colour, gi);
}

void ExtraireFonc(VECTEUR origin, VECTEUR direction, Fonction3D* function, CLRINT& colour, TGlobalInfo* gi,
                  TDrawInfo* di) {
  colour = CLRINT(0, 0, 0);
  if (!function)
    return;
  Ray ray;
  ray.origin = origin;
  ray.direction = direction;
  PreviewHit hit;
  if (!HitPreviewShape(&ray, di, gi, FunctionPreviewDistance, hit)) {
    PreviewBackground(PreviewKind::Function, function->DefaultOptions, &ray, colour, gi, di);
    return;
  }
  const ImpactInfo impact = PreviewImpact(hit, gi);
  const float value = function->ExtraireFonction(impact.worldPoint, impact.worldNormal, gi->PreviewObject, true);
  CLRINT base;
  ExtraireCouleur(ColourTablePosition(value * 10000.0), &function->DefaultOptions.ValueColours, base);
  const double light = std::max(0.0, Dot(impact.worldNormal, PreviewLight)) * 0.6 + 0.4;
  colour = CLRINT(ToChannel(base.r * light), ToChannel(base.g * light), ToChannel(base.b * light));
}
