// Shading of a hit by a material: ExtraireAspect and the light that passes a surface on
// a shadow ray, ExtraireShadow.
#include <cmath>

#include "engine/lights/light.h"
#include "engine/materials/texture.h"
#include "engine/objects/object.h"
#include "engine/render/lighting.h"
#include "engine/render/ray_processing.h"
#include "engine/scene/context.h"
#include "engine/scene/environment.h"
#include "engine/scene/landscape.h"

namespace {

// The landscape's ambient level: the share of the ambient light that comes from above
// (the sky) rather than from every side.
constexpr float AmbientLevel = 1.0f;
// Rays deeper than this are not continued through surfaces they ignore.
constexpr int MaxContinuationDepth = 100;
// Materials nested deeper than this (only possible through a material that contains
// itself) shade black instead of recursing without end.
constexpr int MaxMaterialNesting = 24;

// Initial-exec: read without a call into the dynamic linker on every shaded hit; four
// bytes fit the static TLS room a library loaded later still finds.
[[gnu::tls_model("initial-exec")]] thread_local int materialNesting = 0;

struct NestingGuard {
  bool ok;
  NestingGuard() : ok(++materialNesting <= MaxMaterialNesting) {}
  ~NestingGuard() { --materialNesting; }
};

void AddSaturated(uint16_t& channel, double v) { channel = ToChannel(static_cast<double>(channel) + std::trunc(v)); }

bool IsInsideOf(const Ray* ray, const BasicObject* object) {
  return object && ray->insideObjects && ray->insideObjects->HasMember(const_cast<BasicObject*>(object));
}

const Texture& PlainMaterial() {
  static const Texture plain;
  return plain;
}

// The response of a material at a point, blended between the two materials of a mixed
// material by the transition's factors.
struct Surface {
  double colour[3] = {0.0, 0.0, 0.0};
  float reflection = 0.0f, transparency = 0.0f, storedTransparency = 0.0f;
  bool skin = false;  // SurfaceFlag3: the transparency was stored and the surface lets rays on
  float refraction = 1.0f;
  float diffuse = 0.6f, ambient = 0.4f;
  VECTEUR gradient;
  float height = 0.0f;
  bool bumped = false;
  const Texture* highlight1 = nullptr;  // whose highlights the surface shows
  const Texture* highlight2 = nullptr;
  float highlightBlend = 0.0f;
  float falloff = 4.0f, glowStrength = 0.0f, glowThreshold = 0.9f;
};

struct Context {
  ImpactInfo* hit;
  BasicObject* object;
  float bumpStep;
  bool reflections, transparency;
};

bool Evaluate(const Texture* m, const Context& c, Surface& s);

void Blend(const Surface& a, const Surface& b, float colourFactor, float parameterFactor, Surface& s) {
  const double cf = colourFactor, pf = parameterFactor;
  for (int k = 0; k < 3; k++)
    s.colour[k] = a.colour[k] * (1.0 - cf) + b.colour[k] * cf;
  auto mix = [pf](float x, float y) { return static_cast<float>(x * (1.0 - pf) + y * pf); };
  s.reflection = mix(a.reflection, b.reflection);
  s.transparency = mix(a.transparency, b.transparency);
  s.storedTransparency = mix(a.storedTransparency, b.storedTransparency);
  s.skin = pf < 0.5 ? a.skin : b.skin;
  s.refraction = mix(a.refraction, b.refraction);
  s.diffuse = mix(a.diffuse, b.diffuse);
  s.ambient = mix(a.ambient, b.ambient);
  s.gradient = a.gradient * (1.0 - pf) + b.gradient * pf;
  s.height = mix(a.height, b.height);
  s.bumped = a.bumped || b.bumped;
  s.highlight1 = a.highlight1;
  s.highlight2 = b.highlight1;
  s.highlightBlend = parameterFactor;
  s.falloff = mix(a.falloff, b.falloff);
  s.glowStrength = mix(a.glowStrength, b.glowStrength);
  s.glowThreshold = mix(a.glowThreshold, b.glowThreshold);
}

// Where a mixed material stands at a hit: 0 only the first material, 2 only the second,
// 1 in the transition with factor t.
int MixPosition(const Texture& m, const Context& c, float& t) {
  const VECTEUR point = m.WorldCoordinates ? c.hit->worldPoint : c.hit->objectPoint;
  const VECTEUR n = m.MixWorldNormal ? c.hit->worldNormal : c.hit->objectNormal;
  const float v = m.MixValue(point, n, c.object, true);
  t = 0.0f;
  if (v < m.MixThreshold)
    return 0;
  if (v >= m.MixThreshold + m.MixWidth || m.MixWidth <= 0.0f) {
    if (m.TransitionMode != 4) {
      t = 1.0f;
      return 2;
    }
  }
  t = m.MixWidth > 0.0f ? (v - m.MixThreshold) / m.MixWidth : 1.0f;
  return 1;
}

void TransitionFactors(int mode, float t, float& colourFactor, float& parameterFactor) {
  switch (mode) {
    case 2:
      colourFactor = parameterFactor = t * t * (3.0f - 2.0f * t);
      break;
    case 3:
      colourFactor = t;
      parameterFactor = 1.0f;
      break;
    case 4:
      colourFactor = 0.0f;
      parameterFactor = t < 1.0f ? t : 1.0f;
      break;
    default:
      colourFactor = parameterFactor = t;
      break;
  }
}

bool Evaluate(const Texture* m, const Context& c, Surface& s) {
  NestingGuard guard;
  if (!m || !guard.ok)
    return false;
  if (m->MaterialKind == MixedMaterial) {
    if (!m->Material1 || !m->Material2)
      return Evaluate(m->Material1 ? m->Material1 : m->Material2, c, s);
    float t;
    const int where = MixPosition(*m, c, t);
    if (where == 0)
      return Evaluate(m->Material1, c, s);
    if (where == 2)
      return Evaluate(m->Material2, c, s);
    Surface a, b;
    if (!Evaluate(m->Material1, c, a) || !Evaluate(m->Material2, c, b))
      return false;
    float cf, pf;
    TransitionFactors(m->TransitionMode, t, cf, pf);
    Blend(a, b, cf, pf, s);
    return true;
  }
  VECTEUR point = m->WorldCoordinates ? c.hit->worldPoint : c.hit->objectPoint;
  m->AppliquerDeplacements(point);
  const VECTEUR& n = c.hit->worldNormal;
  CLRINT colour;
  m->ExtraireCouleurMatiere(point, n, colour, c.object);
  s.colour[0] = colour.r;
  s.colour[1] = colour.g;
  s.colour[2] = colour.b;
  float second;
  s.reflection =
      c.reflections ? m->Reflection.ExtraireReflexion(point, n, second, c.object, m->WorldCoordinates) : 0.0f;
  s.transparency =
      c.transparency ? m->Transparency.ExtraireTransparence(point, n, second, c.object, m->WorldCoordinates) : 0.0f;
  s.skin = m->SurfaceFlag3;
  if (s.skin) {
    s.storedTransparency = s.transparency;
    s.transparency = 1.0f;
  }
  s.refraction = m->Transparency.Refraction;
  s.diffuse = m->Diffuse;
  s.ambient = m->Ambient;
  s.highlight1 = s.highlight2 = m;
  s.highlightBlend = 0.0f;
  s.falloff = m->Transparency.Falloff;
  s.glowStrength = m->Transparency.GlowStrength;
  s.glowThreshold = m->Transparency.GlowThreshold;
  const KeyArray<FNCT>& layers = m->BumpFunction.Layers;
  if (!layers.IsEmpty() && layers[layers.LowerBound()].Kind != 0) {
    // A step of zero would divide by zero: keep it above the hit tolerance.
    const double step = c.bumpStep > 1e-5f ? c.bumpStep : 1e-5;
    // The filtered bump height at the point and one step along each axis.
    const VECTEUR at[4] = {point, point + VECTEUR(step, 0, 0), point + VECTEUR(0, step, 0),
                           point + VECTEUR(0, 0, step)};
    float h[4];
    m->BumpFunction.ExtraireFonctions(at, 4, n, c.object, m->WorldCoordinates, h);
    for (float& v : h)
      v = ExtraireFiltre(10000.0f * v, &m->BumpFilter);
    s.gradient = VECTEUR(h[1] - h[0], h[2] - h[0], h[3] - h[0]) * (m->BumpDepth / step);
    s.height = h[0];
    s.bumped = true;
  }
  return true;
}

// Continues a ray past a surface it ignores, from just beyond the hit point.
void Continue(const ImpactInfo& hit, Ray* ray, CLRINT& colour, TGlobalInfo* gi, TDrawInfo* di,
              const BasicObject* toggle) {
  colour = CLRINT(0, 0, 0);
  if (ray->depth >= MaxContinuationDepth)
    return;
  Ray next(*ray);
  next.origin = hit.worldPoint + Normalised(ray->direction) * 0.00001;
  next.depth = static_cast<int16_t>(ray->depth + 1);
  next.distance = ray->distance;
  float limit = RayMaxDistance;
  if (ray->shadowRay && ray->factor > 0.0f) {
    // What is left of the way to the light.
    limit = ray->factor - static_cast<float>(Length(hit.worldPoint - ray->origin));
    if (limit <= 0.0f) {
      colour = CLRINT(255, 255, 255);
      return;
    }
    next.factor = limit;
  }
  if (toggle)
    next.ToggleInside(const_cast<BasicObject*>(toggle));
  colour = CLRINT(255, 255, 255);
  TraceRay(&next, colour, gi, di, limit);
}

}  // namespace

float Texture::ExtraireShadow(ImpactInfo& hit, Ray* ray, WhatSide side, float distance, CLRINT& colour, TGlobalInfo* gi,
                              TDrawInfo* di, TObject3D* object) const {
  NestingGuard guard;
  colour = CLRINT(0, 0, 0);
  if (!guard.ok)
    return 0.0f;
  const bool inside = side == SideInside || IsInsideOf(ray, object);
  if (!CastsShadows || (SurfaceFlag1 && inside)) {
    Continue(hit, ray, colour, gi, di, nullptr);
    return 0.0f;
  }
  // The transparency here, the surface colour and how much it tints the passing light.
  float transparency, tintShare;
  CLRINT surface;
  if (MaterialKind == MixedMaterial) {
    if (!Material1 || !Material2) {
      const Texture* only = Material1 ? Material1 : Material2;
      return only ? only->ExtraireShadow(hit, ray, side, distance, colour, gi, di, object) : 0.0f;
    }
    const VECTEUR point = WorldCoordinates ? hit.worldPoint : hit.objectPoint;
    const float m = MixValue(point, MixWorldNormal ? hit.worldNormal : hit.objectNormal, object, true);
    if (m < MixThreshold)
      return Material1->ExtraireShadow(hit, ray, side, distance, colour, gi, di, object);
    if (m >= MixThreshold + MixWidth || MixWidth <= 0.0f)
      return Material2->ExtraireShadow(hit, ray, side, distance, colour, gi, di, object);
    const float t = (m - MixThreshold) / MixWidth;
    transparency =
        (1.0f - t) * Material1->ExtraireTransparence(hit, object) + t * Material2->ExtraireTransparence(hit, object);
    tintShare = (1.0f - t) * (Material1->SurfaceFlag4 ? 1.0f : 0.0f) + t * (Material2->SurfaceFlag4 ? 1.0f : 0.0f);
    CLRINT c1, c2;
    VECTEUR p1 = point, p2 = point;
    Material1->AppliquerDeplacements(p1);
    Material2->AppliquerDeplacements(p2);
    Material1->ExtraireCouleurMatiere(p1, hit.worldNormal, c1, object);
    Material2->ExtraireCouleurMatiere(p2, hit.worldNormal, c2, object);
    surface = CLRINT(ToChannel((1.0f - t) * c1.r + t * c2.r), ToChannel((1.0f - t) * c1.g + t * c2.g),
                     ToChannel((1.0f - t) * c1.b + t * c2.b));
  } else {
    VECTEUR point = WorldCoordinates ? hit.worldPoint : hit.objectPoint;
    AppliquerDeplacements(point);
    float second;
    transparency = Transparency.ExtraireTransparence(point, hit.worldNormal, second, object, WorldCoordinates);
    tintShare = SurfaceFlag4 ? 1.0f : 0.0f;
    if (tintShare != 0.0f)
      ExtraireCouleurMatiere(point, hit.worldNormal, surface, object);
  }
  transparency *= ray->weight;
  if (transparency == 0.0f && !SurfaceFlag2)
    return 0.0f;

  double passing[3] = {0.0, 0.0, 0.0};
  if (transparency != 0.0f) {
    CLRINT beyond;
    Continue(hit, ray, beyond, gi, di, object);
    passing[0] = beyond.r * transparency;
    passing[1] = beyond.g * transparency;
    passing[2] = beyond.b * transparency;
  }
  if (tintShare != 0.0f) {
    const double s[3] = {surface.r / 255.0, surface.g / 255.0, surface.b / 255.0};
    for (int k = 0; k < 3; k++)
      passing[k] *= 1.0 - tintShare + tintShare * (s[k] > 1.0 ? 1.0 : s[k]);
  }
  // Water: the thickness crossed inside an enclosing water object shifts the light from
  // the thin tint to the deep one.
  if (ray->insideObjects) {
    for (int i = ray->insideObjects->LowerBound(); i < ray->insideObjects->LowerBound() + ray->insideObjects->Count();
         i++) {
      auto* solid = dynamic_cast<TObject3D*>((*ray->insideObjects)[i]);
      const Texture* m = solid ? LandscapeMaterial(di, solid->material) : nullptr;
      if (!m || !m->SurfaceFlag2)
        continue;
      const double denominator = 2.0 * m->Transparency.Absorption * solid->size;
      double a = distance >= RayMaxDistance || denominator <= 0.0 ? 1.0 : distance / denominator;
      if (a > 1.0)
        a = 1.0;
      const CLR& thin = m->Transparency.TintColour2;
      const CLR& deep = m->Transparency.TintColour1;
      passing[0] *= (thin.r + (deep.r - thin.r) * a) / 255.0;
      passing[1] *= (thin.g + (deep.g - thin.g) * a) / 255.0;
      passing[2] *= (thin.b + (deep.b - thin.b) * a) / 255.0;
    }
  }
  if (transparency > 0.009f && Transparency.Interior) {
    CLRINT interior;
    VECTEUR point = Transparency.Interior->WorldCoordinates ? hit.worldPoint : hit.objectPoint;
    Transparency.Interior->AppliquerDeplacements(point);
    Transparency.Interior->ExtraireCouleurMatiere(point, hit.worldNormal, interior, object);
    passing[0] *= interior.r / 255.0;
    passing[1] *= interior.g / 255.0;
    passing[2] *= interior.b / 255.0;
  }
  colour = CLRINT(ToChannel(passing[0]), ToChannel(passing[1]), ToChannel(passing[2]));
  return transparency;
}

float Texture::ExtraireAspect(ImpactInfo& hit, float distance, Ray* ray, CLRINT& colour, TGlobalInfo* gi, TDrawInfo* di,
                              TObject3D* object, float bumpStep) const {
  NestingGuard guard;
  colour = CLRINT(0, 0, 0);
  if (!guard.ok)
    return 0.0f;
  // 1-3. Shadow rays, and surfaces ignored from inside.
  const bool inside = IsInsideOf(ray, object);
  if (ray->shadowRay)
    return ExtraireShadow(hit, ray, inside ? SideInside : SideOutside, distance, colour, gi, di, object);
  if (inside && (SurfaceFlag1 || SurfaceFlag3)) {
    Continue(hit, ray, colour, gi, di, nullptr);
    return 0.0f;
  }
  const TEnvironment* env = GetEnvironment();
  const QualitySettings& q = env->Quality;
  const bool effects = q.RayEffects != 0;

  // 4-7. The surface's response at the hit.
  Surface s;
  const Texture* lightingMaterial = this;
  float lightingBlend = 0.0f;
  if (!q.Materials) {
    if (!object)
      return 1.0f;  // no clouds without materials
    s.colour[0] = s.colour[1] = s.colour[2] = 192.0;
    lightingMaterial = &PlainMaterial();
  } else {
    const bool reflections = (ray->depth < MaxSecondaryDepth && effects && q.Reflections) || !object;
    const bool transparency = !(object && (!effects || !q.Transparency));
    Context c{&hit, object, bumpStep, reflections, transparency};
    if (MaterialKind == MixedMaterial) {
      if (!Material1 || !Material2) {
        const Texture* only = Material1 ? Material1 : Material2;
        return only ? only->ExtraireAspect(hit, distance, ray, colour, gi, di, object, bumpStep) : 0.0f;
      }
      float t;
      const int where = MixPosition(*this, c, t);
      if (where == 0)
        return Material1->ExtraireAspect(hit, distance, ray, colour, gi, di, object, bumpStep);
      if (where == 2)
        return Material2->ExtraireAspect(hit, distance, ray, colour, gi, di, object, bumpStep);
      if (TransitionMode == 0) {
        // Both materials shaded fully, colours and results mixed.
        ImpactInfo hit2 = hit;
        CLRINT c1, c2;
        const float e1 = Material1->ExtraireAspect(hit, distance, ray, c1, gi, di, object, bumpStep);
        const float e2 = Material2->ExtraireAspect(hit2, distance, ray, c2, gi, di, object, bumpStep);
        colour = CLRINT(ToChannel((1.0f - t) * c1.r + t * c2.r), ToChannel((1.0f - t) * c1.g + t * c2.g),
                        ToChannel((1.0f - t) * c1.b + t * c2.b));
        return (1.0f - t) * e1 + t * e2;
      }
      Surface a, b;
      if (!Evaluate(Material1, c, a) || !Evaluate(Material2, c, b))
        return 0.0f;
      float cf, pf;
      TransitionFactors(TransitionMode, t, cf, pf);
      Blend(a, b, cf, pf, s);
      lightingBlend = pf;
    } else if (!Evaluate(this, c, s)) {
      return 0.0f;
    }
  }

  const VECTEUR point = hit.worldPoint;
  VECTEUR n = hit.worldNormal;
  if (s.bumped) {
    n = object ? n - s.gradient : n + s.gradient;
    Normalise(n);
    if (n.z > 0.9999)
      n = VECTEUR(0.0, 0.0, 1.0);
  }
  // 8. The bump height instead of a shaded colour.
  if (env->MaterialSwitch) {
    hit.worldNormal.z = s.height;
    colour = CLRINT(ToChannel(s.colour[0]), ToChannel(s.colour[1]), ToChannel(s.colour[2]));
    return 0.0f;
  }

  // 9. Weights too small to matter are dropped.
  const float weight = ray->weight;
  float r = s.reflection, tau = s.transparency;
  if (r * weight < 0.009f)
    r = 0.0f;
  if (tau * weight < 0.009f)
    tau = 0.0f;

  // 10. Refraction: part of the transmitted light turns into reflection.
  const VECTEUR incident = Normalised(ray->direction);
  VECTEUR facing = Dot(incident, n) > 0.0 ? -n : n;  // the normal on the ray's side
  const double cosIncidence = -Dot(incident, facing);
  const float refraction = s.refraction > 0.0f ? s.refraction : 1.0f;  // a zero index would divide by zero
  const double eta = inside ? refraction : 1.0 / refraction;
  const double k = 1.0 - eta * eta * (1.0 - cosIncidence * cosIncidence);
  VECTEUR transmitted;
  if (tau > 0.0f) {
    if (k > 0.0) {
      transmitted = incident * eta + facing * (eta * cosIncidence - std::sqrt(k));
      float f;
      if (eta > 1.0) {
        f = static_cast<float>(1.0 - 5.0 * k);
        f = f < 0.0f ? 0.0f : (f > 0.9f ? 0.9f : f);
        r += 0.6f * f * tau;
      } else if (s.falloff == 0.0f) {
        f = 0.0f;
      } else {
        f = static_cast<float>((1.0 - eta) * (1.0 - 4.0 / (0.01 + s.falloff) * std::sqrt(std::fabs(cosIncidence))) *
                               4.0);
        f = f < 0.0f ? 0.0f : (f > 0.9f ? 0.9f : f);
        r += f * tau;
      }
      tau *= 1.0f - f;
    } else {
      // Total internal reflection: nothing is transmitted, all of it is reflected.
      r += tau;
      tau = 0.0f;
    }
  }

  // 11. Reflected and transmitted rays. A surface without an object is a cloud: the sky
  // behind it is composed by the sky itself, through the transparency returned.
  double total[3] = {0.0, 0.0, 0.0};
  const VECTEUR mirrored = incident - facing * (2.0 * Dot(incident, facing));
  if (object && r * weight > 0.009f && ray->depth < MaxSecondaryDepth) {
    Ray reflected(*ray);
    reflected.origin = point + facing * 0.00001;
    reflected.direction = mirrored;
    reflected.depth = static_cast<int16_t>(ray->depth + 1);
    reflected.weight = r * weight;
    reflected.distance = ray->distance;
    CLRINT c;
    TraceRay(&reflected, c, gi, di);
    total[0] += c.r * r;
    total[1] += c.g * r;
    total[2] += c.b * r;
  }
  if (object && tau * weight > 0.009f && ray->depth < MaxSecondaryDepth) {
    Ray through(*ray);
    through.origin = point - facing * 0.00001;
    through.direction = transmitted;
    through.depth = static_cast<int16_t>(ray->depth + 1);
    through.weight = tau * weight;
    through.distance = ray->distance;
    through.ToggleInside(object);
    CLRINT c;
    TraceRay(&through, c, gi, di);
    total[0] += c.r * tau;
    total[1] += c.g * tau;
    total[2] += c.b * tau;
  }

  // 12. Lights.
  const float transparencyShare = s.skin ? s.storedTransparency : tau;
  float diffuseShare = 1.0f - r - transparencyShare;
  if (diffuseShare < 0.0f)
    diffuseShare = 0.0f;
  const bool surfaceFlag3 = s.skin;
  TPaysage* landscape = TracedLandscape(gi, di);
  auto shadeLight = [&](TLight* light) {
    if (!light)
      return;
    VECTEUR toLight;
    float invDistance;
    if (light->type == BasicObject::TypeDirectionalLight) {
      toLight = light->Direction() * -1e8 - point;
      invDistance = 1e-8f;
      Normalise(toLight);
    } else {
      toLight = light->GetCenter() - point;
      const double length = Length(toLight);
      invDistance = length > 0.0 ? static_cast<float>(1.0 / length) : 1e8f;
      Normalise(toLight);
    }
    Ray lightRay(*ray);
    lightRay.origin = point;
    lightRay.direction = toLight;
    lightRay.depth = static_cast<int16_t>(ray->depth + 1);
    lightRay.weight = 1.0f;
    lightRay.factor = 0.0f;
    const bool cloudShadow = gi && light == gi->SunLight && landscape && landscape->CloudShadow != 0.0f && object;
    VECFLOAT lit;
    if (!light->ComputeLightContribution(const_cast<Texture*>(lightingMaterial), lightingBlend, &lightRay, cloudShadow,
                                         n, invDistance, lit, gi, di, object))
      return;
    const float l[3] = {lit.x, lit.y, lit.z};
    double h = 0.0;
    VECFLOAT highlightColour(0.0f, 0.0f, 0.0f);
    bool tinted = false;
    if (s.highlight1) {
      // The highlight follows the mirror direction of the viewing ray.
      const VECTEUR view = incident - n * (2.0 * Dot(incident, n));
      const float h1 = static_cast<float>(s.highlight1->ExtraireBrillance(point, view, toLight, object, 0.0f));
      const float h2 = s.highlight2 == s.highlight1
                           ? h1
                           : static_cast<float>(s.highlight2->ExtraireBrillance(point, view, toLight, object, 0.0f));
      h = h1 + (h2 - h1) * s.highlightBlend;
      const VECFLOAT& c1 = s.highlight1->Specular.HighlightColour;
      const VECFLOAT& c2 = s.highlight2->Specular.HighlightColour;
      const float b = s.highlightBlend;
      highlightColour = VECFLOAT(c1.x + (c2.x - c1.x) * b, c1.y + (c2.y - c1.y) * b, c1.z + (c2.z - c1.z) * b);
      tinted = (b < 0.5f ? s.highlight1 : s.highlight2)->Specular.HighlightMode;
      if (!surfaceFlag3) {
        const float f = refraction >= 1.0f ? refraction - 1.0f : 1.0f / refraction - 1.0f;
        h *= 1.0 - (1.0 - f) * tau;
      }
    }
    const float hc[3] = {highlightColour.x, highlightColour.y, highlightColour.z};
    for (int ch = 0; ch < 3; ch++) {
      const double c = s.colour[ch];
      if (tinted)
        total[ch] += (h / 255.0 * hc[ch] + diffuseShare) * c * l[ch] * s.diffuse;
      else
        total[ch] += (c * diffuseShare + h * hc[ch]) * l[ch] * s.diffuse;
    }
    // Glow of a light seen through the material.
    if (tau > 0.0f && s.glowStrength != 0.0f && s.glowThreshold < 1.0f) {
      const double cg = Dot(incident, toLight);
      if (cg > s.glowThreshold) {
        VECFLOAT glowColour;
        if (light->GetLightColour(&lightRay, invDistance, glowColour)) {
          const double glow =
              (1.0 - tau) * tau * s.glowStrength * 25.5 * (cg - s.glowThreshold) / (1.0 - s.glowThreshold);
          total[0] += glow * glowColour.x;
          total[1] += glow * glowColour.y;
          total[2] += glow * glowColour.z;
        }
      }
    }
  };
  if (object) {
    if (gi && gi->Lights)
      for (int i = gi->Lights->LowerBound(); i < gi->Lights->LowerBound() + gi->Lights->Count(); i++)
        shadeLight((*gi->Lights)[i]);
  } else if (gi) {
    shadeLight(gi->SunLight);
  }

  // 13. Ambient light, from the sky tint of this thread's records.
  const VECFLOAT tint = di ? di->SkyTint : (landscape ? landscape->SkyTint : VECFLOAT());
  double ambient = (1.5 - AmbientLevel) * s.ambient;
  if (n.z > 0.0)
    ambient += 0.6666667 * n.z * AmbientLevel * s.diffuse;
  const float tk[3] = {tint.x, tint.y, tint.z};
  for (int ch = 0; ch < 3; ch++)
    total[ch] += diffuseShare * tk[ch] * ambient * s.colour[ch];

  AddSaturated(colour.r, total[0]);
  AddSaturated(colour.g, total[1]);
  AddSaturated(colour.b, total[2]);
  return tau;
}
