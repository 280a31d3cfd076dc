// How much light arrives at a surface point: a light's contribution through the scene's
// shadows (hard, or soft by sampling the light's disc), and the shadow of the clouds on
// the sun. Shadow rays are traced, so this is render code, though it defines TLight's
// ComputeLightContribution.
#include "engine/render/lighting.h"

#include <cmath>
#include <vector>

#include "engine/lights/light.h"
#include "engine/materials/cloud_layer.h"
#include "engine/materials/texture.h"
#include "engine/platform/random.h"
#include "engine/render/ray_processing.h"
#include "engine/scene/context.h"
#include "engine/scene/environment.h"
#include "engine/scene/landscape.h"

namespace {

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

}  // namespace

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
      passed = CLRINT(255, 255, 255);
      TraceRay(&ray, passed, gi, di, maxDistance);
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
          sample = CLRINT(ToChannel(std::trunc(light.x * k * 255.0f)), ToChannel(std::trunc(light.y * k * 255.0f)),
                          ToChannel(std::trunc(light.z * k * 255.0f)));
          if (shadows) {
            CLRINT passed;
            Ray shadow(ray);
            shadow.factor = maxDistance;
            passed = CLRINT(255, 255, 255);
            TraceRay(&shadow, passed, gi, di, maxDistance);
            sample = CLRINT(ToChannel(sample.r * (passed.r / 255.0)), ToChannel(sample.g * (passed.g / 255.0)),
                            ToChannel(sample.b * (passed.b / 255.0)));
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

float CloudShadowFactor(Ray* toSun, TGlobalInfo* gi, TDrawInfo* di) {
  TPaysage* landscape = TracedLandscape(gi, di);
  if (!landscape)
    return 1.0f;
  const float s = landscape->CloudShadow;
  if (s == 0.0f || !landscape->CloudLayers)
    return 1.0f;
  float T = 1.0f;
  const VECTEUR o = toSun->origin + VECTEUR(0.0, 0.0, EarthRadius);
  const VECTEUR d = Normalised(toSun->direction);
  ForEachCloudCrossing(landscape->CloudLayers, o, d, [&](const CloudLayer& layer, double t, ImpactInfo& hit) {
    // Only layers below a height that grows with the shadow's strength cast one.
    if (layer.Altitude > s * 3000.0f)
      return true;
    float fade = static_cast<float>(layer.FadeRange / (t * 0.0005));
    fade = fade >= 1.0f ? 1.0f : fade * fade;
    float density = (1.5f * s - 0.0005f * layer.Altitude) * fade;
    if (density > 1.0f)
      density = 1.0f;
    Ray cloudRay;
    cloudRay.origin = toSun->origin;
    cloudRay.direction = d;
    cloudRay.depth = toSun->depth;
    CLRINT cloudColour;
    const float e = layer.Material->ExtraireAspect(hit, 1e8f, &cloudRay, cloudColour, gi, di, nullptr, 0.1f);
    T = (1.0f - (1.0f - e) * density) * T;
    if (T < 0.009f) {
      T = 0.0f;
      return false;
    }
    return true;
  });
  return 1.0f - (1.0f - T) * s;
}
