#include "host/render_loop.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/geometry/ray.h"
#include "engine/render/camera.h"
#include "engine/render/ray_processing.h"
#include "engine/render/sampling.h"
#include "engine/render/thread_records.h"

namespace {

unsigned char Channel(unsigned value) { return static_cast<unsigned char>(std::min(value, 255u)); }

}  // namespace

RenderLoopSettings SamplingFor(const QualitySettings& quality, bool depthOfField) {
  RenderLoopSettings settings;
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

int RenderPixel(int x, int row, int /*width*/, int height, const RenderLoopSettings& settings, TGlobalInfo* gi,
                 TDrawInfo* di, unsigned char rgb[3]) {
  // Picture rows run top to bottom; the engine's py counts upwards from the bottom row.
  const float py = static_cast<float>(height - 1 - row);
  const float px = static_cast<float>(x);
  CLRINT colour;
  int n = 1;
  if (!settings.adaptive) {
    SampleRect(px, py, colour, gi, di);
  } else {
    const AdaptiveSampling& s = settings.sampling;
    float xs[256], ys[256];
    CLRINT samples[256];
    const int most = std::clamp(s.maxSamples, 1, 256);
    n = 0;
    while (n < most) {
      NewSampleRect(xs, ys, n, di->Random);
      Ray ray;
      LaunchARay(&ray, px + xs[n], py + ys[n], di);
      samples[n] = CLRINT();
      ProcessARay(&ray, di, 200000.0f, samples[n], gi);
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

long long RenderRows(const TGlobalInfo& gi, const TDrawInfo& di, const RenderLoopSettings& settings, Checkpoint& work,
                const std::atomic<bool>& stop, const std::function<void(int rowsDone)>& tick) {
  const int width = work.picture.width, height = work.picture.height;
  std::vector<std::atomic<uint8_t>> done(static_cast<size_t>(height));
  int alreadyDone = 0;
  for (int row = 0; row < height; row++) {
    done[row] = work.rowsDone[row];
    alreadyDone += work.rowsDone[row] ? 1 : 0;
  }
  std::atomic<int> nextRow{0};
  std::atomic<int> rowsDone{alreadyDone};
  std::atomic<long long> samples{0};
  // Workers still running; the calling thread wakes when the last one ends.
  int running = 0;
  std::mutex mutex;
  std::condition_variable ended;

  auto worker = [&]() {
    RenderThreadRecords records(gi, di);
    for (;;) {
      if (stop.load() || (settings.stopAfterRows > 0 && rowsDone.load() >= settings.stopAfterRows))
        break;
      const int row = nextRow.fetch_add(1);
      if (row >= height)
        break;
      if (done[row].load())
        continue;
      records.random.Seed(PositionSeed(0, row, settings.seed));
      long long rowSamples = 0;
      for (int x = 0; x < width; x++)
        rowSamples += RenderPixel(x, row, width, height, settings, &records.gi, &records.di, work.picture.Pixel(x, row));
      samples.fetch_add(rowSamples);
      done[row].store(1, std::memory_order_release);
      rowsDone.fetch_add(1);
    }
    std::lock_guard<std::mutex> lock(mutex);
    if (--running == 0)
      ended.notify_all();
  };

  const int threads = std::max(1, settings.threads);
  running = threads;
  std::vector<std::thread> pool;
  for (int i = 0; i < threads; i++)
    pool.emplace_back(worker);
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex);
      if (ended.wait_for(lock, std::chrono::milliseconds(250), [&] { return running == 0; }))
        break;
    }
    // Copy the flags of finished rows for the caller's checkpoints.
    for (int row = 0; row < height; row++)
      work.rowsDone[row] = done[row].load(std::memory_order_acquire);
    tick(rowsDone.load());
  }
  for (std::thread& t : pool)
    t.join();
  for (int row = 0; row < height; row++)
    work.rowsDone[row] = done[row].load();
  tick(rowsDone.load());
  return samples.load();
}
