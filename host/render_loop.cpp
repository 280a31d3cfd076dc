#include "host/render_loop.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Rows done between two wake-ups of the calling thread to hand rows on.
constexpr int HandOnRows = 8;

}  // namespace

long long RenderRows(const RenderSession& session, const RenderLoopSettings& settings, Checkpoint& work,
                     const std::atomic<bool>& stop, const std::function<void(int rowsDone)>& tick,
                     const std::function<void(int topRowsDone)>& rowsReady) {
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
  std::condition_variable changed;  // a row is done, or the last worker has ended

  // Rows from the top that are all done, handed on through rowsReady by one thread at a
  // time. When every core renders, the workers hand rows on between their own rows: the
  // calling thread would take a core from a worker at each wake-up and cost both threads
  // a switch. With a core to spare, the calling thread does it there.
  const int threads = std::max(1, settings.threads);
  const bool workersHandOn = rowsReady && threads >= static_cast<int>(std::thread::hardware_concurrency());
  std::mutex handOnMutex;
  int topRows = 0, topRowsReported = 0;
  auto handOn = [&] {
    while (topRows < height && done[topRows].load(std::memory_order_acquire))
      topRows++;
    if (rowsReady && topRows > topRowsReported) {
      rowsReady(topRows);
      topRowsReported = topRows;
    }
  };

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
      if (workersHandOn) {
        rowsDone.fetch_add(1);
        std::unique_lock<std::mutex> lock(handOnMutex, std::try_to_lock);
        if (lock.owns_lock())
          handOn();
        continue;
      }
      // Wakes the calling thread to hand rows on every few rows rather than after each
      // (a wake-up costs both threads a switch, about what encoding a row costs); the last
      // rows are handed on when the workers end. The lock is taken first, so that the
      // wake-up cannot fall between the calling thread's test and its wait.
      if ((rowsDone.fetch_add(1) + 1) % HandOnRows == 0 && rowsReady) {
        { std::lock_guard<std::mutex> lock(mutex); }
        changed.notify_all();
      }
    }
    std::lock_guard<std::mutex> lock(mutex);
    if (--running == 0)
      changed.notify_all();
  };

  running = threads;
  std::vector<std::thread> pool;
  for (int i = 0; i < threads; i++)
    pool.emplace_back(worker);
  using Clock = std::chrono::steady_clock;
  auto nextTick = Clock::now() + std::chrono::milliseconds(250);
  for (;;) {
    bool finished;
    {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait_until(lock, nextTick, [&] {
        return running == 0 ||
               (!workersHandOn && rowsReady && topRows < height && done[topRows].load(std::memory_order_acquire));
      });
      finished = running == 0;
    }
    if (!workersHandOn)
      handOn();
    if (finished)
      break;
    if (Clock::now() >= nextTick) {
      // Copy the flags of finished rows for the caller's checkpoints.
      for (int row = 0; row < height; row++)
        work.rowsDone[row] = done[row].load(std::memory_order_acquire);
      tick(rowsDone.load());
      nextTick = Clock::now() + std::chrono::milliseconds(250);
    }
  }
  for (std::thread& t : pool)
    t.join();
  handOn();
  for (int row = 0; row < height; row++)
    work.rowsDone[row] = done[row].load();
  tick(rowsDone.load());
  return samples.load();
}
