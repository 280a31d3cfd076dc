#include "engine/render/sampling.h"

#include <cmath>
#include <cstdlib>

#include "engine/platform/random.h"
#include "engine/render/camera.h"
#include "engine/scene/environment.h"
#include "engine/render/ray_processing.h"

float SampleRect(float px, float py, CLRINT& colour, TGlobalInfo* gi, TDrawInfo* di) {
  Ray ray;
  const QualitySettings& quality = GetEnvironment()->Quality;
  if (quality.MultiSample || (di->Aperture != 0.0f && quality.Distribution && quality.DepthOfFieldSampling))
    return 0.0f;
  LaunchARay(&ray, px, py, di);
  return static_cast<float>(TraceRay(&ray, colour, gi, di));
}

void NewSampleRect(float* xs, float* ys, int n, RandomGenerator* generator) {
  // Starting below any distance, the first candidate is always stored, so slot n is set
  // even when every candidate coincides with an earlier sample.
  float best = -1.0f;
  for (int candidate = 0; candidate < 5; candidate++) {
    const float x = static_cast<float>(DrawRandom(generator) * 3.05185e-05);
    const float y = static_cast<float>(DrawRandom(generator) * 3.05185e-05);
    if (n == 0) {
      xs[0] = x;
      ys[0] = y;
      return;
    }
    float nearest = 100000000.0f;
    for (int i = 0; i < n; i++)
      nearest = std::fmin(nearest, std::fabs(x - xs[i]) + std::fabs(y - ys[i]));
    if (nearest > best) {
      best = nearest;
      xs[n] = x;
      ys[n] = y;
    }
  }
}

float StandardDiv(CLRINT* samples, int n, CLRINT& mean) {
  if (n < 1) {
    mean = CLRINT(0, 0, 0);
    return 0.0f;
  }
  int32_t sumR = 0, sumG = 0, sumB = 0;
  for (int i = 0; i < n; i++) {
    sumR += samples[i].r;
    sumG += samples[i].g;
    sumB += samples[i].b;
  }
  const float k = 1.0f / static_cast<float>(n);
  mean = CLRINT(static_cast<uint16_t>(sumR * k), static_cast<uint16_t>(sumG * k), static_cast<uint16_t>(sumB * k));
  float squares = 0.0f;
  for (int i = 0; i < n; i++) {
    const float dr = static_cast<float>(samples[i].r) - mean.r, dg = static_cast<float>(samples[i].g) - mean.g;
    const float db = static_cast<float>(samples[i].b) - mean.b;
    squares += dr * dr + dg * dg + db * db;
  }
  return std::sqrt(squares) * k;
}
