#include "host/render_driver.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <new>
#include <string>

#include "engine/engine.h"
#include "host/band_file.h"
#include "host/checkpoint.h"
#include "host/progress.h"
#include "host/render_loop.h"
#include "host/safe_file.h"

namespace {

std::string Gibibytes(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f GiB", static_cast<double>(bytes) / (1ull << 30));
  return text;
}

}  // namespace

uint64_t RenderMemoryBytes(int width, int height) {
  const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  // The picture, its row flags (twice: the loop's and the checkpoint's), and the
  // encoders' and scene's working memory, which does not grow with the picture.
  return pixels * 3 + static_cast<uint64_t>(height) * 2 + (64ull << 20);
}

uint64_t AvailableMemoryBytes() {
  std::ifstream meminfo("/proc/meminfo");
  std::string key;
  uint64_t value = 0, available = 0, swap = 0;
  bool found = false;
  while (meminfo >> key >> value) {
    if (key == "MemAvailable:") {
      available = value << 10;
      found = true;
    } else if (key == "SwapFree:") {
      swap = value << 10;
    }
    meminfo.ignore(64, '\n');
  }
  return found ? available + swap : UINT64_MAX;
}

RenderStatus RenderToFile(TPaysage* landscape, const RenderJob& job, const std::atomic<bool>& interrupt) {
  std::string error;
  // Everything that can be known before rendering is checked before rendering.
  // A band file is no picture: only its place is checked.
  const bool band = job.rowCount > 0;
  if (band ? !CheckOutputPlace(job.output, error) : !CheckPictureOutput(job.output, job.width, job.height, error)) {
    std::fprintf(stderr, "orvelle2: %s\n", error.c_str());
    return RenderRefused;
  }
  const uint64_t needed = RenderMemoryBytes(job.width, job.height);
  const uint64_t available = job.availableMemory ? job.availableMemory : AvailableMemoryBytes();
  if (needed > available) {
    std::fprintf(stderr, "orvelle2: a %d x %d picture needs about %s of memory, and %s are available\n", job.width,
                 job.height, Gibibytes(needed).c_str(), Gibibytes(available).c_str());
    return RenderRefused;
  }

  TEnvironment* environment = GetEnvironment();
  environment->SetRenderSetting(static_cast<TWhichRenderSetting>(job.quality));
  environment->PictureWidth = job.width;
  environment->PictureHeight = job.height;

  const std::string checkpointPath = CheckpointPath(job.output);
  // A band's checkpoint is of its rows only: another band under the same name must not
  // take it for its own (its rows would count as done and stay black).
  const uint64_t checkpointScene =
      band ? job.scene ^ ((static_cast<uint64_t>(job.firstRow) << 32 | static_cast<uint32_t>(job.rowCount)) *
                          0x9E3779B97F4A7C15ull)
           : job.scene;
  // Temporary files of killed renders of this picture are removed now.
  RemoveStaleTemporaries(job.output);
  RemoveStaleTemporaries(checkpointPath);
  Checkpoint work;
  try {
    if (job.resume) {
      int damaged = 0;
      if (!LoadCheckpoint(checkpointPath, checkpointScene, job.width, job.height, work, error, &damaged)) {
        std::fprintf(stderr, "orvelle2: %s\n", error.c_str());
        return RenderRefused;
      }
      if (damaged > 0)
        std::fprintf(stderr, "orvelle2: %s: %d damaged rows are rendered again\n", checkpointPath.c_str(), damaged);
    } else {
      work.scene = checkpointScene;
      work.picture = Picture(job.width, job.height);
      work.rowsDone.assign(static_cast<size_t>(job.height), 0);
      // A band: the rows of the other bands count as done and stay black.
      if (job.rowCount > 0)
        for (int row = 0; row < job.height; row++)
          work.rowsDone[row] = row < job.firstRow || row >= job.firstRow + job.rowCount;
    }
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "orvelle2: not enough memory for a %d x %d picture\n", job.width, job.height);
    return RenderFailed;
  }

  long long samples = 0;
  Progress progress(job.height, work.RowsDone(), job.quiet);
  // The picture file is written while the picture renders, row by row as the rows from
  // the top are done, so that little is left to write at the end. When it cannot be
  // opened now, WritePicture tries again at the end and reports why.
  PictureStream stream(work.picture);
  std::string streamError;
  // A band is written whole at the end.
  const bool streaming = !band && stream.Open(job.output, streamError);
  {
    // The session prepares the landscape, and gives everything back when it ends.
    RenderSession session(landscape);
    RenderLoopSettings settings;
    settings.threads = job.threads;
    settings.stopAfterRows = job.stopAfterRows;

    // Checkpoints every checkpointSeconds, and never more than a tenth of the time on them
    // (a huge picture takes seconds to save).
    double nextSave = job.checkpointSeconds;
    bool saveFailed = false;
    samples = RenderRows(
        session, settings, work, interrupt,
        [&](int rowsDone) {
          progress.Show(rowsDone);
          if (!saveFailed && rowsDone < job.height && progress.Elapsed() >= nextSave) {
            const double start = progress.Elapsed();
            if (!SaveCheckpoint(checkpointPath, work, error)) {
              std::fprintf(stderr, "\norvelle2: %s (rendering goes on without checkpoints)\n", error.c_str());
              saveFailed = true;
            }
            nextSave = progress.Elapsed() + std::max(job.checkpointSeconds, 10.0 * (progress.Elapsed() - start));
          }
        },
        [&](int topRowsDone) {
          if (streaming)
            stream.Advance(topRowsDone);
        });
    progress.Finish();
  }

  if (work.RowsDone() < job.height) {
    if (!SaveCheckpoint(checkpointPath, work, error)) {
      std::fprintf(stderr, "orvelle2: interrupted, and %s\n", error.c_str());
      return RenderFailed;
    }
    std::fprintf(stderr, "orvelle2: interrupted after %d of %d rows; resume with -m (checkpoint %s)\n", work.RowsDone(),
                 job.height, checkpointPath.c_str());
    return RenderInterrupted;
  }
  bool written;
  if (band)
    written = SaveBand(job.output, CutBand(work.picture, job.scene, job.quality, job.firstRow, job.rowCount), error);
  else
    written = streaming ? stream.Finish(error) : WritePicture(job.output, work.picture, error);
  if (!written) {
    // The rendered picture (or band) is not lost: its rows stay in the checkpoint, for -m once the
    // disk has room.
    std::string saveError;
    if (SaveCheckpoint(checkpointPath, work, saveError))
      std::fprintf(stderr, "orvelle2: %s\norvelle2: the rendered rows are kept in %s; resume with -m\n", error.c_str(),
                   checkpointPath.c_str());
    else
      std::fprintf(stderr, "orvelle2: %s\norvelle2: and %s\n", error.c_str(), saveError.c_str());
    return RenderFailed;
  }
  // The checkpoint is removed once the picture is in place, and only when it is this
  // render's own (another size of the same picture name keeps its checkpoint).
  uint64_t scene = 0;
  int width = 0, height = 0;
  if (CheckpointIdentity(checkpointPath, scene, width, height) && scene == checkpointScene && width == job.width &&
      height == job.height)
    std::remove(checkpointPath.c_str());
  if (!job.quiet) {
    const double seconds = progress.Elapsed();
    std::printf("%s  %dx%d  %.1f s  %.0f samples/s\n", job.output.c_str(), job.width, job.height, seconds,
                seconds > 0 ? static_cast<double>(samples) / seconds : 0.0);
    if (std::fflush(stdout) != 0)
      return RenderFailed;
  }
  return RenderDone;
}
