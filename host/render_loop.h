// The picture loop: rows shared among worker threads, each with its own records, one
// sample per pixel or adaptive sampling until a pixel's samples agree. Every row draws its
// random numbers from a generator seeded by the row, so the picture is the same bit for
// bit whatever the number of threads.
#pragma once

#include <atomic>
#include <functional>

#include "engine/scene/context.h"
#include "engine/scene/environment.h"
#include "host/checkpoint.h"

// Adaptive sampling (when the quality asks the host to sample pixels itself): at least
// MinSamples and at most MaxSamples per pixel; sampling stops once the samples' spread
// (StandardDiv, on channels 0..255) falls below the threshold.
struct AdaptiveSampling {
  int minSamples = 4;
  int maxSamples = 16;
  float threshold = 6.0f;
};

struct RenderLoopSettings {
  int threads = 1;
  bool adaptive = false;
  AdaptiveSampling sampling;
  // The seed that makes this picture's random draws (with the row).
  unsigned seed = 0;
  // When above 0, no row is started once this many rows are done, as if interrupted
  // (tests stop a render at a known place this way).
  int stopAfterRows = 0;
};

// How the picture loop samples pixels for a quality block. The engine traces one sample
// per pixel unless MultiSample asks the host to sample itself; the host keeps
// HostSwitch8 (on from quality 2) for a light adaptive sampling that smooths edges at a
// fraction of the full cost. Depth of field with distributed lens positions needs the
// host's loop too; its grain shrinks as the sample ceiling rises with the quality.
//   MultiSample                          4 to 16 samples, spread below 6
//   HostSwitch8                          2 to 6 samples, spread below 10
//   depth of field (Distribution and DepthOfFieldSampling) without either: as HostSwitch8
RenderLoopSettings SamplingFor(const QualitySettings& quality, bool depthOfField);

// Renders every row of `work` not yet marked done, writing pixels and then the row's flag;
// returns the number of samples traced.
// `tick` is called on the calling thread about four times a second with the number of
// rows done so far; rendering stops early (rows in progress are finished) once `stop`
// becomes true. `gi` and `di` are the prepared records, read only.
long long RenderRows(const TGlobalInfo& gi, const TDrawInfo& di, const RenderLoopSettings& settings, Checkpoint& work,
                const std::atomic<bool>& stop, const std::function<void(int rowsDone)>& tick);

// The colour of one pixel, as RenderRows computes it; returns the number of samples.
int RenderPixel(int x, int row, int width, int height, const RenderLoopSettings& settings, TGlobalInfo* gi,
                 TDrawInfo* di, unsigned char rgb[3]);
