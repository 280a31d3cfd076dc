#include "engine/lights/light.h"

#include <cmath>
#include <vector>

#include "engine/materials/texture.h"
#include "engine/platform/random.h"
#include "engine/render/atmosphere.h"
#include "engine/render/camera.h"
#include "engine/render/context.h"
#include "engine/render/environment.h"
#include "engine/render/landscape.h"
#include "engine/render/ray_processing.h"

namespace {

// Half sizes of the wireframe symbols in the light's own frame: directional and spot
// lights are a slim box along their direction, point and laser lights a cube.
constexpr double BeamHalfWidth = 2.0;
constexpr double BeamLength = 12.0;
constexpr double PickRadius = 8.0;

uint16_t SaturatedChannel(double v) {
  if (!(v > 0.0))
    return 0;
  return v >= 65535.0 ? 65535 : static_cast<uint16_t>(v);
}

// One sample of the soft light's disc, with its weight.
struct ConeSample {
  VECTEUR offset;
  float weight;
};

// Best-candidate sampling of a cone of angular radius r: the first sample is the first
// candidate, later ones the candidate farthest (Manhattan) from the samples so far.
ConeSample NextConeSample(float r, const std::vector<ConeSample>& previous, RandomGenerator* random) {
  ConeSample chosen{};
  float best = 0.0f;
  for (int candidate = 0; candidate < 5; candidate++) {
    const float phi = static_cast<float>(DrawRandom(random)) * 0.0001917534f;
    const float theta = r * static_cast<float>(DrawRandom(random)) * 3.05185e-05f;
    const VECTEUR d(std::cos(phi) * std::sin(theta), -std::sin(phi) * std::sin(theta), std::cos(theta));
    const float w = std::exp(-(theta * theta) / (r * r));
    if (candidate == 0)
      chosen = ConeSample{d, w};  // also the answer when no later candidate is farther
    if (previous.empty())
      return chosen;
    float nearest = 100000000.0f;
    for (const ConeSample& s : previous) {
      const float m =
          static_cast<float>(std::fabs(d.x - s.offset.x) + std::fabs(d.y - s.offset.y) + std::fabs(d.z - s.offset.z));
      if (m < nearest)
        nearest = m;
    }
    if (nearest > best) {
      best = nearest;
      chosen = ConeSample{d, w};
    }
  }
  return chosen;
}

// The weighted spread of the samples, and their weighted mean.
float WeightedSpread(const std::vector<CLRINT>& colours, const std::vector<float>& weights, double mean[3]) {
  double total = 0.0, sum[3] = {0.0, 0.0, 0.0};
  for (size_t i = 0; i < colours.size(); i++) {
    total += weights[i];
    sum[0] += colours[i].r * static_cast<double>(weights[i]);
    sum[1] += colours[i].g * static_cast<double>(weights[i]);
    sum[2] += colours[i].b * static_cast<double>(weights[i]);
  }
  if (!(total > 0.0)) {
    mean[0] = mean[1] = mean[2] = 0.0;
    return 0.0f;
  }
  for (int k = 0; k < 3; k++)
    mean[k] = std::trunc(sum[k] / total);
  double squares = 0.0;
  for (size_t i = 0; i < colours.size(); i++) {
    const double c[3] = {static_cast<double>(colours[i].r), static_cast<double>(colours[i].g),
                         static_cast<double>(colours[i].b)};
    for (int k = 0; k < 3; k++)
      squares += (c[k] - mean[k]) * (c[k] - mean[k]) * weights[i];
  }
  return static_cast<float>(std::sqrt(squares) / total);
}

TPaysage* LandscapeOf(TGlobalInfo* gi, TDrawInfo* di) {
  if (di && di->Landscape)
    return di->Landscape;
  return gi ? gi->RenderLandscape : nullptr;
}

}  // namespace

double TraceRayWithin(Ray* ray, float maxDistance, CLRINT& colour, TGlobalInfo* gi, TDrawInfo* di) {
  colour = CLRINT(255, 255, 255);
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

// TLight ---------------------------------------------------------------------

TLight::TLight() : Planar(0) {}

TLight& TLight::operator=(const TLight& o) {
  if (this != &o) {
    Planar::operator=(o);
    Colour = o.Colour;
    Softness = o.Softness;
  }
  return *this;
}

void TLight::GetNumberOfObjects(int& objects, int& lights) {
  objects = 0;
  lights = 1;
}

TIntervalList* TLight::FindAllIntersections(Ray*, TDrawInfo*) { return new TIntervalList(); }

bool TLight::IsInside(const VECTEUR&, TDrawInfo*) { return false; }

void TLight::SymbolCorners(BasicObject::ObjectType type, VECTEUR corners[8]) {
  const bool beam = type == TypeDirectionalLight || type == TypeSpotLight;
  const double hx = beam ? BeamHalfWidth : PickRadius;
  const double z0 = beam ? 0.0 : -PickRadius;
  const double z1 = beam ? BeamLength : PickRadius;
  for (int i = 0; i < 8; i++)
    corners[i] = VECTEUR((i & 1) ? hx : -hx, (i & 2) ? hx : -hx, (i & 4) ? z1 : z0);
}

void TLight::IncludeObjectInBox(TBoundingBox& box, bool, bool world) {
  VECTEUR corners[8];
  SymbolCorners(type, corners);
  // The directional light's symbol is drawn and picked in three positions about its axis.
  const int turns = type == TypeDirectionalLight ? 3 : 1;
  const double angles[3] = {0.0, 60.0 * DegreesToRadians, -60.0 * DegreesToRadians};
  for (int i = 0; i < turns; i++) {
    const double ca = std::cos(angles[i]), sa = std::sin(angles[i]);
    for (const VECTEUR& c : corners) {
      VECTEUR p = forward * VECTEUR(ca * c.x - sa * c.y, sa * c.x + ca * c.y, c.z);
      if (world)
        p += centre;
      box.Include(p);
    }
  }
}

bool TLight::HitSymbol(Ray* ray, double& t, VECTEUR& point, VECTEUR& nrm, float turn) {
  // Into the light's frame (its axes are unit, so the transpose inverts them), then
  // turned about the light's axis.
  const double a = turn * DegreesToRadians, ca = std::cos(a), sa = std::sin(a);
  auto toLocal = [&](const VECTEUR& v) {
    const VECTEUR l = forward.TransposeTimes(v);
    return VECTEUR(ca * l.x + sa * l.y, -sa * l.x + ca * l.y, l.z);
  };
  const VECTEUR o = toLocal(ray->origin - centre);
  const VECTEUR d = toLocal(ray->direction);
  double tau;
  VECTEUR n;
  if (!HitAlignedBox(o, d, VECTEUR(-BeamHalfWidth, -BeamHalfWidth, 0.0),
                     VECTEUR(BeamHalfWidth, BeamHalfWidth, BeamLength), t, tau, n))
    return false;
  t = tau;
  point = ray->origin + ray->direction * tau;
  nrm = forward * VECTEUR(ca * n.x - sa * n.y, sa * n.x + ca * n.y, n.z);
  return true;
}

bool TLight::HitPickSphere(Ray* ray, double& t, VECTEUR& point, VECTEUR& nrm) {
  const VECTEUR o = ray->origin - centre;
  const double a = Dot(ray->direction, ray->direction);
  if (a == 0.0)
    return false;
  const double b = Dot(o, ray->direction);
  const double disc = b * b - a * (Dot(o, o) - PickRadius * PickRadius);
  if (disc < 0.0)
    return false;
  const double root = std::sqrt(disc);
  double tau = (-b - root) / a;
  if (tau <= HitTolerance)
    tau = (-b + root) / a;
  if (tau <= HitTolerance || tau >= t)
    return false;
  t = tau;
  point = ray->origin + ray->direction * tau;
  nrm = Normalised(point - centre);
  return true;
}

BasicObject* TLight::FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& nrm) {
  if (di && di->Rendering)
    return nullptr;
  return HitPickSphere(ray, t, point, nrm) ? this : nullptr;
}

bool TLight::ComputeLightContribution(Texture* material, float blend, Ray* toLight, bool cloudShadow, VECTEUR& nrm,
                                      float invDistance, VECFLOAT& colour, TGlobalInfo* gi, TDrawInfo* di,
                                      const BasicObject* object) {
  colour = VECFLOAT(0.0f, 0.0f, 0.0f);
  Ray ray(*toLight);
  ray.origin += nrm * 1e-5;
  ray.shadowRay = true;

  // Response of the material to the angle of incidence.
  const float c = static_cast<float>(Dot(nrm, toLight->direction));
  float k;
  if (!material) {
    k = c > 0.0f ? 1.0f : 0.0f;
  } else if (blend != 0.0f && material->MaterialKind == MixedMaterial && material->Material1 && material->Material2) {
    k = blend * material->Material2->Eclairement(c) + (1.0f - blend) * material->Material1->Eclairement(c);
  } else {
    k = material->Eclairement(c);
  }
  if (cloudShadow)
    k *= CloudShadowFactor(&ray, gi, di);

  const TEnvironment* env = GetEnvironment();
  const bool shadows = env->Quality.RayEffects && env->Quality.Shadows && object;
  const float maxDistance = invDistance > 0.0f ? 1.0f / invDistance : RayMaxDistance;

  if (Softness == 0.0f || !object) {
    if (k <= 0.0f)
      return false;
    if (!GetLightColour(&ray, invDistance, colour))
      return false;
    colour.x *= k;
    colour.y *= k;
    colour.z *= k;
    if (shadows) {
      CLRINT passed;
      ray.factor = maxDistance;
      TraceRayWithin(&ray, maxDistance, passed, gi, di);
      colour.x *= passed.r / 255.0f;
      colour.y *= passed.g / 255.0f;
      colour.z *= passed.b / 255.0f;
    }
  } else {
    VECTEUR u, v, w;
    BuildBase(-Direction(), u, v, w);
    const VECTEUR d = toLight->direction;
    const int budget = env->Quality.Distribution && env->Quality.SoftShadowSampling ? 25 : 1;
    // A count of zero or less would never finish a round: take one sample per round then.
    const int perRound = env->Quality.SoftShadowSamples > 0 ? env->Quality.SoftShadowSamples : 1;
    RandomGenerator* random = di ? di->Random : nullptr;
    std::vector<ConeSample> samples;
    std::vector<CLRINT> colours;
    std::vector<float> weights;
    double mean[3] = {0.0, 0.0, 0.0};
    while (true) {
      for (int i = 0; i < perRound && static_cast<int>(samples.size()) < budget; i++) {
        const ConeSample s = NextConeSample(Softness, samples, random);
        samples.push_back(s);
        VECTEUR dir = u * s.offset.x + v * s.offset.y + d * s.offset.z;
        if (Dot(dir, nrm) <= 0.0)
          dir = u * -s.offset.x - v * s.offset.y + d * s.offset.z;
        ray.direction = dir;
        CLRINT sample;
        VECFLOAT light;
        if (k > 0.0f && GetLightColour(&ray, invDistance, light)) {
          sample = CLRINT(SaturatedChannel(std::trunc(light.x * k * 255.0f)),
                          SaturatedChannel(std::trunc(light.y * k * 255.0f)),
                          SaturatedChannel(std::trunc(light.z * k * 255.0f)));
          if (shadows) {
            CLRINT passed;
            Ray shadow(ray);
            shadow.factor = maxDistance;
            TraceRayWithin(&shadow, maxDistance, passed, gi, di);
            sample =
                CLRINT(SaturatedChannel(sample.r * (passed.r / 255.0)), SaturatedChannel(sample.g * (passed.g / 255.0)),
                       SaturatedChannel(sample.b * (passed.b / 255.0)));
          }
        } else {
          k = 0.0f;
        }
        colours.push_back(sample);
        weights.push_back(s.weight);
      }
      const float spread = WeightedSpread(colours, weights, mean);
      if (spread <= env->Quality.SoftShadowTolerance || static_cast<int>(samples.size()) >= budget)
        break;
    }
    // The weighted mean, before its truncation, over 255.
    double total = 0.0, sum[3] = {0.0, 0.0, 0.0};
    for (size_t i = 0; i < colours.size(); i++) {
      total += weights[i];
      sum[0] += colours[i].r * static_cast<double>(weights[i]);
      sum[1] += colours[i].g * static_cast<double>(weights[i]);
      sum[2] += colours[i].b * static_cast<double>(weights[i]);
    }
    if (total > 0.0)
      colour = VECFLOAT(static_cast<float>(sum[0] / total / 255.0), static_cast<float>(sum[1] / total / 255.0),
                        static_cast<float>(sum[2] / total / 255.0));
  }
  return colour.x != 0.0f || colour.y != 0.0f || colour.z != 0.0f;
}

// TDirectionLight ------------------------------------------------------------

TDirectionLight::TDirectionLight() : FollowCamera(GetEnvironment()->DirectionalFollowCamera) {
  SetType(TypeDirectionalLight);
}

TDirectionLight& TDirectionLight::operator=(const TDirectionLight& o) {
  TLight::operator=(o);
  FollowCamera = o.FollowCamera;
  return *this;
}

bool TDirectionLight::GetLightColour(Ray*, float, VECFLOAT& colour) {
  colour = Colour;
  return true;
}

BasicObject* TDirectionLight::FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point,
                                                      VECTEUR& nrm) {
  if (di && di->Rendering)
    return nullptr;
  bool hit = false;
  for (float turn : {0.0f, 60.0f, -60.0f})
    hit = HitSymbol(ray, t, point, nrm, turn) || hit;
  return hit ? this : nullptr;
}

VECTEUR TDirectionLight::GetCenter() { return centre; }

void TDirectionLight::AimAtCamera(TDrawInfo* di) {
  if (!di || !di->Camera)
    return;
  VECTEUR dir = di->Camera->GetCenter() - centre;
  if (Length(dir) == 0.0)
    return;
  Normalise(dir);
  VECTEUR u, v, w;
  BuildBase(dir, u, v, w);
  const VECTEUR axes[3] = {u, v, dir};
  for (int j = 0; j < 3; j++) {
    forward.m[0][j] = static_cast<float>(axes[j].x);
    forward.m[1][j] = static_cast<float>(axes[j].y);
    forward.m[2][j] = static_cast<float>(axes[j].z);
  }
  RefreshAngles();
  UpdateInverse();
  GetNormal();
}

void TDirectionLight::MoveTo(float x, float y, float z, TDrawInfo* di) {
  TLight::MoveTo(x, y, z, di);
  if (FollowCamera && di)
    AimAtCamera(di);
}

void TDirectionLight::MoveOf(float dx, float dy, float dz, TDrawInfo* di) {
  TLight::MoveOf(dx, dy, dz, di);
  if (FollowCamera)
    AimAtCamera(di);
}

void TDirectionLight::Rotate(float a, float b, float c, TDrawInfo* di, bool absolute) {
  const bool follow = FollowCamera && di && di->Camera;
  const double distance = follow ? Length(centre - di->Camera->GetCenter()) : 0.0;
  Planar::Rotate(a, b, c, di, absolute);
  if (follow)
    centre = di->Camera->GetCenter() - Direction() * distance;
}

// TPointLight ----------------------------------------------------------------

TPointLight::TPointLight() { SetType(TypePointLight); }

TPointLight& TPointLight::operator=(const TPointLight& o) {
  TLight::operator=(o);
  Power = o.Power;
  return *this;
}

bool TPointLight::GetLightColour(Ray*, float invDistance, VECFLOAT& colour) {
  const float i = Power * invDistance;
  colour = VECFLOAT(Colour.x * i, Colour.y * i, Colour.z * i);
  return colour.x != 0.0f || colour.y != 0.0f || colour.z != 0.0f;
}

BasicObject* TPointLight::FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& nrm) {
  return TLight::FindNearestIntersection(ray, di, t, point, nrm);
}

namespace {
float ScaledPower(float power, float sx, float sy, float sz) {
  const float p = power * std::sqrt((sx * sx + sy * sy + sz * sz) / 3.0f);
  return p < 0.01f ? 0.01f : (p > 1e8f ? 1e8f : p);
}
}  // namespace

void TPointLight::Scale(float sx, float sy, float sz, bool) { Power = ScaledPower(Power, sx, sy, sz); }

// TSpotLight -----------------------------------------------------------------

TSpotLight::TSpotLight() { SetType(TypeSpotLight); }

TSpotLight& TSpotLight::operator=(const TSpotLight& o) {
  TLight::operator=(o);
  Penumbra = o.Penumbra;
  CosCone = o.CosCone;
  Power = o.Power;
  return *this;
}

bool TSpotLight::GetLightColour(Ray* toLight, float invDistance, VECFLOAT& colour) {
  colour = VECFLOAT(0.0f, 0.0f, 0.0f);
  const float c = static_cast<float>(-Dot(toLight->direction, Direction()));
  if (c <= CosCone)
    return false;
  const float inner = (1.0f - CosCone) * Penumbra + CosCone;
  float i = Power * invDistance;
  if (c < inner)
    i *= (c - CosCone) / (inner - CosCone);
  colour = VECFLOAT(Colour.x * i, Colour.y * i, Colour.z * i);
  return colour.x != 0.0f || colour.y != 0.0f || colour.z != 0.0f;
}

BasicObject* TSpotLight::FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& nrm) {
  if (di && di->Rendering)
    return nullptr;
  return HitSymbol(ray, t, point, nrm, 0.0f) ? this : nullptr;
}

void TSpotLight::Scale(float sx, float sy, float sz, bool) { Power = ScaledPower(Power, sx, sy, sz); }

// TLaserLight ----------------------------------------------------------------

TLaserLight::TLaserLight() { SetType(TypeLaserLight); }

TLaserLight& TLaserLight::operator=(const TLaserLight& o) {
  TLight::operator=(o);
  Setting1 = o.Setting1;
  Setting2 = o.Setting2;
  return *this;
}

bool TLaserLight::GetLightColour(Ray*, float, VECFLOAT& colour) {
  colour = VECFLOAT(0.0f, 0.0f, 0.0f);
  return false;
}

BasicObject* TLaserLight::FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& nrm) {
  return TLight::FindNearestIntersection(ray, di, t, point, nrm);
}

// Free functions -------------------------------------------------------------

TLight* GetSunLight(ObjectsList* list) {
  if (!list)
    return nullptr;
  for (int i = list->LowerBound(); i < list->LowerBound() + list->Count(); i++)
    if (auto* sun = dynamic_cast<TDirectionLight*>((*list)[i]))
      return sun;
  return nullptr;
}

TLight* GetSunLight(TArray<TLight*>* lights) {
  if (!lights)
    return nullptr;
  for (int i = lights->LowerBound(); i < lights->LowerBound() + lights->Count(); i++)
    if (auto* sun = dynamic_cast<TDirectionLight*>((*lights)[i]))
      return sun;
  return nullptr;
}

bool IsLight(const BasicObject* object) { return dynamic_cast<const TLight*>(object) != nullptr; }

namespace {
template <class L>
TLight* CopyAs(BasicObject* object) {
  auto* source = dynamic_cast<L*>(object);
  if (!source)
    return nullptr;
  auto* copy = new L();
  *copy = *source;
  return copy;
}
}  // namespace

TLight* CopyLight(BasicObject* light) {
  if (!light)
    return nullptr;
  switch (light->type) {
    case BasicObject::TypeDirectionalLight:
      return CopyAs<TDirectionLight>(light);
    case BasicObject::TypePointLight:
      return CopyAs<TPointLight>(light);
    case BasicObject::TypeSpotLight:
      return CopyAs<TSpotLight>(light);
    case BasicObject::TypeLaserLight:
      return CopyAs<TLaserLight>(light);
    default:
      return nullptr;
  }
}

float CloudShadowFactor(Ray* toSun, TGlobalInfo* gi, TDrawInfo* di) {
  TPaysage* landscape = LandscapeOf(gi, di);
  if (!landscape)
    return 1.0f;
  const float s = landscape->CloudShadow;
  if (s == 0.0f || !landscape->CloudLayers)
    return 1.0f;
  float T = 1.0f;
  const VECTEUR o = toSun->origin + VECTEUR(0.0, 0.0, EarthRadius);
  const VECTEUR d = Normalised(toSun->direction);
  const TArray<CloudLayer*>& layers = *landscape->CloudLayers;
  for (int i = layers.LowerBound(); i < layers.LowerBound() + layers.Count(); i++) {
    CloudLayer* layer = layers[i];
    if (!layer || !layer->Material || layer->Altitude > s * 3000.0f)
      continue;
    double t;
    if (!HitCloudSphere(o, d, EarthRadius + layer->Altitude, t))
      continue;
    ImpactInfo hit;
    CloudHitRecord(o + d * t, hit);
    float fade = static_cast<float>(layer->FadeRange / (t * 0.0005));
    fade = fade >= 1.0f ? 1.0f : fade * fade;
    float density = (1.5f * s - 0.0005f * layer->Altitude) * fade;
    if (density > 1.0f)
      density = 1.0f;
    Ray cloudRay;
    cloudRay.origin = toSun->origin;
    cloudRay.direction = d;
    cloudRay.depth = toSun->depth;
    CLRINT cloudColour;
    const float e = layer->Material->ExtraireAspect(hit, 1e8f, &cloudRay, cloudColour, gi, di, nullptr, 0.1f);
    T = (1.0f - (1.0f - e) * density) * T;
    if (T < 0.009f) {
      T = 0.0f;
      break;
    }
  }
  return 1.0f - (1.0f - T) * s;
}
