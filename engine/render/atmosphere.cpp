#include "engine/render/atmosphere.h"

#include <cmath>

#include "engine/lights/light.h"
#include "engine/materials/texture.h"
#include "engine/objects/aggregates.h"
#include "engine/objects/object.h"
#include "engine/scene/context.h"
#include "engine/scene/landscape.h"
#include "engine/scene/release_callbacks.h"

// The sky ---------------------------------------------------------------------

namespace {

// The fog colour seen from inside an object filled with a fogged material; false when
// the ray does not start inside such an object.
bool FogOfEnclosingObject(Ray* ray, TDrawInfo* di, CLRINT& colour) {
  if (!ray->insideObjects || ray->insideObjects->IsEmpty())
    return false;
  BasicObject* object = (*ray->insideObjects)[ray->insideObjects->LowerBound()];
  // A constructive solid stands for its first child, all the way down.
  for (int guard = 0; guard < 64; guard++) {
    auto* csg = dynamic_cast<TCSG*>(object);
    if (!csg)
      break;
    ObjectsList* children = csg->GetPointerToList();
    if (!children || children->IsEmpty())
      return false;
    object = (*children)[children->LowerBound()];
  }
  auto* solid = dynamic_cast<TObject3D*>(object);
  if (!solid)
    return false;
  const Texture* material = LandscapeMaterial(di, solid->material);
  if (!material || material->SurfaceFlag1)
    return false;
  double r = 0.0, g = 0.0, b = 0.0, density = 0.0;
  auto add = [&](const Texture* m, double share) {
    r += m->Transparency.TintColour1.r * share;
    g += m->Transparency.TintColour1.g * share;
    b += m->Transparency.TintColour1.b * share;
    density += m->Transparency.SecondAmount * share;
  };
  if (material->MaterialKind == MixedMaterial) {
    const Texture* m1 = material->Material1;
    const Texture* m2 = material->Material2;
    const bool clear1 = m1 && m1->Transparency.Amount != 0.0f;
    const bool clear2 = m2 && m2->Transparency.Amount != 0.0f;
    if (clear1 && clear2) {
      add(m1, 0.5);
      add(m2, 0.5);
    } else if (clear1) {
      add(m1, 1.0);
    } else if (clear2) {
      add(m2, 1.0);
    } else {
      return false;
    }
  } else {
    add(material, 1.0);
  }
  if (density == 0.0)
    return false;
  colour = CLRINT(ToChannel(r), ToChannel(g), ToChannel(b));
  return true;
}

}  // namespace

void SkyColour(Ray* ray, TDrawInfo* di, TGlobalInfo* gi, CLRINT& colour) {
  colour = CLRINT(0, 0, 0);
  TPaysage* landscape = TracedLandscape(gi, di);
  if (!landscape)
    return;
  // 1. Inside a fog-filled object only the fog is seen.
  if (FogOfEnclosingObject(ray, di, colour))
    return;

  const VECTEUR o = ray->origin;
  const VECTEUR d = Normalised(ray->direction);
  // 2-3. Horizon haze at the far point.
  const VECTEUR far = o + d * 1e8;
  double hz = 0.0;
  if (landscape->HazeHeight != 0.0f) {
    const double u = (landscape->HazeHeight - far.z) / landscape->HazeHeight;
    hz = u < 0.0 ? 0.0 : u * u * landscape->HazeStrength;
  }
  if (hz > 1.0)
    hz = 1.0;
  // 4. Elevation; a gradient without thickness is a step at its base.
  double g;
  const double top = static_cast<double>(landscape->GradientBase) + landscape->GradientThickness;
  if (landscape->GradientThickness != 0.0f)
    g = (top - far.z) / landscape->GradientThickness;
  else
    g = far.z < landscape->GradientBase ? 1.0 : 0.0;
  g = g < 0.0 ? 0.0 : (g > 1.0 ? 1.0 : g);
  // 5. Alignment with the sun.
  TLight* sun = gi ? gi->SunLight : nullptr;
  double s = sun ? -Dot(d, sun->Direction()) : 0.0;
  s = s < 0.0 ? 0.0 : (s > 1.0 ? 1.0 : s);
  // 6. Sun disc or gradient.
  CLRINT base;
  const double disc = landscape->SunDiscCos;
  if (s > disc) {
    ExtraireCouleur(ColourTablePosition((s - disc) * 10000.0 / (1.0 - disc)), &landscape->SunColours, base);
  } else {
    const double weight = landscape->SunWeight;
    const double gp = weight != -1.0 ? (s * weight + g) / (weight + 1.0) : g;
    ExtraireCouleur(ColourTablePosition((1.0 - gp) * 10000.0), &landscape->SkyColours, base);
  }
  // 7. Glow around the sun, each channel's gain clamped to 255.
  if (landscape->GlowCos != 1.0f) {
    double k = (s - landscape->GlowCos) * landscape->GlowStrength / (1.0 - landscape->GlowCos);
    if (k > 0.0) {
      k = 255.0 * k * k * k * k;
      const VECFLOAT tint = di ? di->SunTint : VECFLOAT(1.0f, 1.0f, 1.0f);
      auto gain = [k](float t) {
        const double v = std::trunc(k * t);
        return v < 0.0 ? 0.0 : (v > 255.0 ? 255.0 : v);
      };
      base =
          CLRINT(ToChannel(base.r + gain(tint.x)), ToChannel(base.g + gain(tint.y)), ToChannel(base.b + gain(tint.z)));
    }
  }
  // 8. Cloud layers, lowest first.
  double T = 1.0;
  double c[3] = {0.0, 0.0, 0.0};
  ForEachCloudCrossing(
      landscape->CloudLayers, o + VECTEUR(0.0, 0.0, EarthRadius), d,
      [&](const CloudLayer& layer, double t, ImpactInfo& hit) {
        double fade = layer.FadeRange * layer.Altitude / (t * 0.0005 * 2000.0);
        fade = fade < 1.0 ? fade * fade : 1.0;
        // The layer's light: the thread's own sun copy and sky tint are scaled for the
        // length of this evaluation, then restored.
        const float exposure = std::exp2(layer.Exposure);
        VECFLOAT savedSun, savedSky;
        if (sun) {
          savedSun = sun->Colour;
          const float f = (1.0f + layer.SunBoost + layer.SunBoostByClearance * static_cast<float>(T)) * exposure;
          sun->Colour = VECFLOAT(savedSun.x * f, savedSun.y * f, savedSun.z * f);
        }
        if (di) {
          savedSky = di->SkyTint;
          di->SkyTint = VECFLOAT(savedSky.x * exposure, savedSky.y * exposure, savedSky.z * exposure);
        }
        CLRINT cloud;
        const float footprint = di ? static_cast<float>(0.01 * di->PixelAngle * t) : 0.0f;
        const float e = layer.Material->ExtraireAspect(hit, 1e8f, ray, cloud, gi, di, nullptr, footprint);
        if (sun)
          sun->Colour = savedSun;
        if (di)
          di->SkyTint = savedSky;
        c[0] = std::trunc(c[0] + cloud.r * T * fade);
        c[1] = std::trunc(c[1] + cloud.g * T * fade);
        c[2] = std::trunc(c[2] + cloud.b * T * fade);
        T = (1.0 - (1.0 - e) * fade) * T;
        if (T < 0.009)
          T = 0.0;
        return T > 0.0;
      });
  // 9. The sky behind the clouds.
  c[0] = std::trunc(c[0] + base.r * T);
  c[1] = std::trunc(c[1] + base.g * T);
  c[2] = std::trunc(c[2] + base.b * T);
  // 10. Haze, less over bright colours.
  double y = 0.00196078 * c[0] + 0.001372549 * c[1] + 0.000588235 * c[2];
  if (y > 1.0)
    y = 1.0;
  const double hazeShare = (1.0 - 0.8 * y) * hz;
  c[0] = std::trunc(c[0] + landscape->HazeColour.r * hazeShare);
  c[1] = std::trunc(c[1] + landscape->HazeColour.g * hazeShare);
  c[2] = std::trunc(c[2] + landscape->HazeColour.b * hazeShare);
  // 11. Fog.
  c[0] = (1.0 - hz) * c[0] + landscape->FogColour.r * hz;
  c[1] = (1.0 - hz) * c[1] + landscape->FogColour.g * hz;
  c[2] = (1.0 - hz) * c[2] + landscape->FogColour.b * hz;
  colour = CLRINT(ToChannel(c[0]), ToChannel(c[1]), ToChannel(c[2]));
}
