// How much light arrives at a surface point: a light's contribution through the scene's
// shadows (hard, or soft by sampling the light's disc), and the shadow of the clouds on
// the sun. Shadow rays are traced, so this is render code, though it defines TLight's
// ComputeLightContribution.
#include "engine/render/lighting.h"

#include <algorithm>
#include <cmath>

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

// The most samples one soft light takes for one surface point.
constexpr int MostConeSamples = 25;
// The draws NextConeSample takes: two for the first sample (its first candidate is taken
// as it is), two per candidate for every later one.
constexpr int FirstSampleDraws = 2;
constexpr int LaterSampleDraws = 10;
// A round of more samples than this stops after as many when they all give the same
// colour: at the edge of a shadow the disc's first, widely spread samples already disagree.
constexpr int AgreeingSamples = 4;

// Best-candidate sampling of a cone of angular radius r: the first sample is the first
// candidate, later ones the candidate farthest (Manhattan) from the `count` samples so far.
ConeSample NextConeSample(float r, const ConeSample* previous, int count, RandomGenerator* random) {
  VECTEUR chosen;
  float chosenTheta = 0.0f;
  float best = 0.0f;
  for (int candidate = 0; candidate < 5; candidate++) {
    const float phi = static_cast<float>(DrawRandom(random)) * 0.0001917534f;
    const float theta = r * static_cast<float>(DrawRandom(random)) * 3.05185e-05f;
    const VECTEUR d(std::cos(phi) * std::sin(theta), -std::sin(phi) * std::sin(theta), std::cos(theta));
    if (candidate == 0) {
      chosen = d;  // also the answer when no later candidate is farther
      chosenTheta = theta;
    }
    if (count == 0)
      break;
    float nearest = 100000000.0f;
    for (int i = 0; i < count; i++) {
      const VECTEUR& s = previous[i].offset;
      const float m = static_cast<float>(std::fabs(d.x - s.x) + std::fabs(d.y - s.y) + std::fabs(d.z - s.z));
      if (m < nearest)
        nearest = m;
    }
    if (nearest > best) {
      best = nearest;
      chosen = d;
      chosenTheta = theta;
    }
  }
  // The weight of the chosen candidate only: the others' would be thrown away.
  return ConeSample{chosen, std::exp(-(chosenTheta * chosenTheta) / (r * r))};
}

// Takes the draws of cone samples `from` to `to` - 1 without making them, so that the
// draws that follow (the pixel's next sub-sample, the next light) stay those they would be.
void SkipConeSamples(int from, int to, RandomGenerator* random) {
  if (from < to)
    SkipRandom(random, (to - from) * LaterSampleDraws - (from == 0 ? LaterSampleDraws - FirstSampleDraws : 0));
}

// The weighted spread of the samples' colours, and their weighted mean.
float WeightedSpread(const CLRINT* colours, const ConeSample* samples, int count, double mean[3]) {
  double total = 0.0, sum[3] = {0.0, 0.0, 0.0};
  for (int i = 0; i < count; i++) {
    total += samples[i].weight;
    sum[0] += colours[i].r * static_cast<double>(samples[i].weight);
    sum[1] += colours[i].g * static_cast<double>(samples[i].weight);
    sum[2] += colours[i].b * static_cast<double>(samples[i].weight);
  }
  if (!(total > 0.0)) {
    mean[0] = mean[1] = mean[2] = 0.0;
    return 0.0f;
  }
  for (int k = 0; k < 3; k++)
    mean[k] = std::trunc(sum[k] / total);
  double squares = 0.0;
  for (int i = 0; i < count; i++) {
    const double c[3] = {static_cast<double>(colours[i].r), static_cast<double>(colours[i].g),
                         static_cast<double>(colours[i].b)};
    for (int k = 0; k < 3; k++)
      squares += (c[k] - mean[k]) * (c[k] - mean[k]) * samples[i].weight;
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
    const int budget = env->Quality.Distribution && env->Quality.SoftShadowSampling ? MostConeSamples : 1;
    // A count of zero or less would never finish a round: take one sample per round then.
    const int perRound = env->Quality.SoftShadowSamples > 0 ? env->Quality.SoftShadowSamples : 1;
    // Samples that all agree have no spread: the first round ends the sampling then.
    const bool agreementEnds = env->Quality.SoftShadowTolerance >= 0.0f;
    RandomGenerator* random = di ? di->Random : nullptr;
    if (!(k > 0.0f) && agreementEnds) {
      // The surface turns away from the light: every sample would be black.
      SkipConeSamples(0, std::min(perRound, budget), random);
      return false;
    }
    ConeSample samples[MostConeSamples];
    CLRINT colours[MostConeSamples];
    int count = 0;
    double mean[3] = {0.0, 0.0, 0.0};
    while (true) {
      const bool first = count == 0;
      const int roundEnd = std::min(count + perRound, budget);
      while (count < roundEnd) {
        const ConeSample s = NextConeSample(Softness, samples, count, random);
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
        samples[count] = s;
        colours[count] = sample;
        count++;
        if (first && count == AgreeingSamples && roundEnd > AgreeingSamples && agreementEnds &&
            std::all_of(colours + 1, colours + count, [&](const CLRINT& c) { return c == colours[0]; })) {
          // Fully lit or fully shadowed (or behind one colour of glass): the rest of the round
          // would almost always agree too, and their weighted mean is this colour exactly.
          SkipConeSamples(count, roundEnd, random);
          break;
        }
      }
      const float spread = WeightedSpread(colours, samples, count, mean);
      if (spread <= env->Quality.SoftShadowTolerance || count >= budget)
        break;
    }
    // The weighted mean, before its truncation, over 255.
    double total = 0.0, sum[3] = {0.0, 0.0, 0.0};
    for (int i = 0; i < count; i++) {
      total += samples[i].weight;
      sum[0] += colours[i].r * static_cast<double>(samples[i].weight);
      sum[1] += colours[i].g * static_cast<double>(samples[i].weight);
      sum[2] += colours[i].b * static_cast<double>(samples[i].weight);
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
