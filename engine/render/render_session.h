// A render of one landscape, from preparation to release. Constructing the session
// prepares the landscape (PreparerRender); destroying it gives back what preparation made
// (ReleaseRender) and restores the materials' user values. Between the two, any number of
// workers, one per thread, estimate pixels: each has its own records (RenderThreadRecords)
// and seeds its random draws from the pixel alone, so that a picture is the same whatever
// the split of the work (rows, tiles, bands of a cluster, threads).
#pragma once

#include "engine/geometry/array.h"
#include "engine/geometry/objects_list.h"
#include "engine/render/thread_records.h"
#include "engine/scene/context.h"
#include "engine/scene/document.h"
#include "engine/scene/environment.h"

class TLight;
struct TPaysage;

// Adaptive sampling: at least minSamples and at most maxSamples per pixel; sampling stops
// once the samples' spread (StandardDiv, on channels 0..255) falls below the threshold.
struct AdaptiveSampling {
  int minSamples = 4;
  int maxSamples = 16;
  float threshold = 6.0f;
};

// How pixels are estimated: one traced sample (SampleRect), or adaptive sampling.
struct PixelSampling {
  bool adaptive = false;
  AdaptiveSampling sampling;
};

// The pixel estimate for a quality block. The engine traces one sample per pixel unless
// MultiSample asks for sampling; HostSwitch8 (on from quality 2) asks for a light adaptive
// sampling that smooths edges at a fraction of the full cost. Depth of field with
// distributed lens positions is sampled too; its grain shrinks as the ceiling rises.
//   MultiSample                          4 to 16 samples, spread below 6
//   HostSwitch8                          2 to 6 samples, spread below 10
//   depth of field (Distribution and DepthOfFieldSampling) without either: as HostSwitch8
PixelSampling SamplingFor(const QualitySettings& quality, bool depthOfField);

class RenderSession {
 public:
  // Prepares `landscape` for a render with the environment's settings as they are now;
  // `selection` (may be null) is what a render of the selection renders. The pixel
  // estimate follows the environment's quality (SamplingFor).
  explicit RenderSession(TPaysage* landscape, ObjectsList* selection = nullptr, float zoom = 1.0f);
  ~RenderSession();
  RenderSession(const RenderSession&) = delete;
  RenderSession& operator=(const RenderSession&) = delete;

  // The prepared records, read only while workers render.
  const TGlobalInfo& Global() const { return gi; }
  const TDrawInfo& View() const { return di; }

  PixelSampling sampling;
  // The picture's own seed, mixed with each pixel's position.
  unsigned seed = 0;

  // One render thread's records and its pixel estimator.
  class Worker {
   public:
    explicit Worker(const RenderSession& session);

    // The colour of pixel (x, row) of a picture `height` rows high, rows counted from the
    // top, into rgb; returns the number of samples traced.
    int Pixel(int x, int row, int height, unsigned char rgb[3]);

    TGlobalInfo& Global() { return records.gi; }
    TDrawInfo& View() { return records.di; }

   private:
    const RenderSession& session;
    RenderThreadRecords records;
  };

 private:
  TOrvelleChild child;
  TArray<TLight*> lights{1, 0, 1};
  ObjectsList containers{1, 0, 1};
  TGlobalInfo gi;
  TDrawInfo di;
};
