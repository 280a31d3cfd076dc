#include "engine/render/render_session.h"

#include <algorithm>

#include "engine/materials/cloud_layer.h"
#include "engine/materials/texture.h"
#include "engine/platform/random.h"
#include "engine/render/camera.h"
#include "engine/render/preparation.h"
#include "engine/render/ray_processing.h"
#include "engine/render/sampling.h"
#include "engine/scene/environment.h"
#include "engine/scene/landscape.h"

namespace {

unsigned char Channel(unsigned value) { return static_cast<unsigned char>(std::min(value, 255u)); }

}  // namespace

PixelSampling SamplingFor(const QualitySettings& quality, bool depthOfField) {
  PixelSampling settings;
  const bool distributedLens = depthOfField && quality.Distribution && quality.DepthOfFieldSampling;
  if (quality.MultiSample) {
    settings.adaptive = true;
  } else if (quality.HostSwitch8 || distributedLens) {
    settings.adaptive = true;
    settings.sampling.minSamples = 2;
    settings.sampling.maxSamples = 6;
    settings.sampling.threshold = 10.0f;
  }
  return settings;
}

RenderSession::RenderSession(TPaysage* landscape, ObjectsList* selection, float zoom)
    : child(landscape, selection) {
  gi.RenderLandscape = landscape;
  gi.Lights = &lights;
  di.ContainersOfCamera = &containers;
  PreparerRender(&child, &gi, &di, zoom);
  sampling = SamplingFor(GetEnvironment()->Quality, di.Aperture != 0.0f);
}

RenderSession::~RenderSession() {
  ReleaseRender(&gi, &di);
  // Every material and cloud material gets its user values back.
  TPaysage* landscape = child.Landscape;
  if (!landscape)
    return;
  if (landscape->Materials)
    for (Texture* material : *landscape->Materials)
      if (material)
        material->DePreparer(MaterialPreparationScale);
  if (landscape->CloudLayers)
    for (CloudLayer* layer : *landscape->CloudLayers)
      if (layer && layer->Material)
        layer->Material->DePreparer(CloudPreparationScale);
}

RenderSession::Worker::Worker(const RenderSession& session) : session(session), records(session.gi, session.di) {}

int RenderSession::Worker::Pixel(int x, int row, int height, unsigned char rgb[3]) {
  records.random.Seed(PositionSeed(x, row, session.seed));
  // Picture rows run top to bottom; the engine's py counts upwards from the bottom row.
  const float py = static_cast<float>(height - 1 - row);
  const float px = static_cast<float>(x);
  TGlobalInfo* gi = &records.gi;
  TDrawInfo* di = &records.di;
  CLRINT colour;
  int n = 1;
  if (!session.sampling.adaptive) {
    SampleRect(px, py, colour, gi, di);
  } else {
    const AdaptiveSampling& s = session.sampling.sampling;
    constexpr int MostSamples = 256;
    float xs[MostSamples], ys[MostSamples];
    CLRINT samples[MostSamples];
    const int most = std::clamp(s.maxSamples, 1, MostSamples);
    n = 0;
    while (n < most) {
      NewSampleRect(xs, ys, n, di->Random);
      Ray ray;
      LaunchARay(&ray, px + xs[n], py + ys[n], di);
      samples[n] = CLRINT();
      TraceRay(&ray, samples[n], gi, di);
      n++;
      if (n >= s.minSamples && StandardDiv(samples, n, colour) < s.threshold)
        break;
    }
    StandardDiv(samples, n, colour);
  }
  rgb[0] = Channel(colour.r);
  rgb[1] = Channel(colour.g);
  rgb[2] = Channel(colour.b);
  return n;
}
