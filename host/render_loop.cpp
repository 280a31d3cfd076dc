#include "host/render_loop.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>


long long RenderRows(const RenderSession& session, const RenderLoopSettings& settings, Checkpoint& work,
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
    RenderSession::Worker pixels(session);
    for (;;) {
      if (stop.load() || (settings.stopAfterRows > 0 && rowsDone.load() >= settings.stopAfterRows))
        break;
      const int row = nextRow.fetch_add(1);
      if (row >= height)
        break;
      if (done[row].load())
        continue;
      long long rowSamples = 0;
      for (int x = 0; x < width; x++)
        rowSamples += pixels.Pixel(x, row, height, work.picture.Pixel(x, row));
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
