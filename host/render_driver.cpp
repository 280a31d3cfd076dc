#include "host/render_driver.h"

#include <cstdio>
#include <string>

#include "engine/engine.h"
#include "host/checkpoint.h"
#include "host/progress.h"
#include "host/render_loop.h"

namespace {

// The rows marked done, and only those: rows still being drawn are never read.
Checkpoint DoneRows(const Checkpoint& work) {
  Checkpoint snapshot;
  snapshot.scene = work.scene;
  snapshot.picture = Picture(work.picture.width, work.picture.height);
  snapshot.rowsDone = work.rowsDone;
  const size_t rowBytes = static_cast<size_t>(work.picture.width) * 3;
  for (int row = 0; row < work.picture.height; row++)
    if (work.rowsDone[row])
      std::copy_n(work.picture.Pixel(0, row), rowBytes, snapshot.picture.Pixel(0, row));
  return snapshot;
}

}  // namespace

RenderStatus RenderToFile(TPaysage* landscape, const RenderJob& job, const std::atomic<bool>& interrupt) {
  TEnvironment* environment = GetEnvironment();
  environment->SetRenderSetting(static_cast<TWhichRenderSetting>(job.quality));
  environment->PictureWidth = job.width;
  environment->PictureHeight = job.height;

  const std::string checkpointPath = CheckpointPath(job.output);
  Checkpoint work;
  std::string error;
  if (job.resume) {
    if (!LoadCheckpoint(checkpointPath, job.scene, job.width, job.height, work, error)) {
      std::fprintf(stderr, "orvelle2: %s\n", error.c_str());
      return RenderRefused;
    }
  } else {
    work.scene = job.scene;
    work.picture = Picture(job.width, job.height);
    work.rowsDone.assign(static_cast<size_t>(job.height), 0);
  }

  long long samples = 0;
  Progress progress(job.height, work.RowsDone(), job.quiet);
  {
    // The session prepares the landscape, and gives everything back when it ends.
    RenderSession session(landscape);
    RenderLoopSettings settings;
    settings.threads = job.threads;
    settings.stopAfterRows = job.stopAfterRows;

    double lastSave = 0.0;
    bool saveFailed = false;
    samples = RenderRows(session, settings, work, interrupt, [&](int rowsDone) {
      progress.Show(rowsDone);
      if (!saveFailed && rowsDone < job.height && progress.Elapsed() - lastSave >= job.checkpointSeconds) {
        lastSave = progress.Elapsed();
        if (!SaveCheckpoint(checkpointPath, DoneRows(work), error)) {
          std::fprintf(stderr, "\norvelle2: %s (rendering goes on without checkpoints)\n", error.c_str());
          saveFailed = true;
        }
      }
    });
    progress.Finish();
  }

  if (work.RowsDone() < job.height) {
    if (!SaveCheckpoint(checkpointPath, DoneRows(work), error)) {
      std::fprintf(stderr, "orvelle2: interrupted, and %s\n", error.c_str());
      return RenderFailed;
    }
    std::fprintf(stderr, "orvelle2: interrupted after %d of %d rows; resume with -m (checkpoint %s)\n",
                 work.RowsDone(), job.height, checkpointPath.c_str());
    return RenderInterrupted;
  }
  if (!WritePicture(job.output, work.picture, error)) {
    std::fprintf(stderr, "orvelle2: %s\n", error.c_str());
    return RenderFailed;
  }
  std::remove(checkpointPath.c_str());
  if (!job.quiet) {
    const double seconds = progress.Elapsed();
    std::printf("%s  %dx%d  %.1f s  %.0f samples/s\n", job.output.c_str(), job.width, job.height, seconds,
                seconds > 0 ? static_cast<double>(samples) / seconds : 0.0);
  }
  return RenderDone;
}
