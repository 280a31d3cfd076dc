// orvelle2: renders landscape files into pictures.
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "biosphere/biosphere.h"
#include "engine/scene/environment.h"
#include "host/band_file.h"
#include "host/checkpoint.h"
#include "host/command_line.h"
#include "host/default_landscape.h"
#include "host/engine_session.h"
#include "host/file_reading.h"
#include "host/landscape.h"
#include "host/landscape_name.h"
#include "host/landscape_placement.h"
#include "host/render_driver.h"
#include "host/views.h"

namespace {

std::atomic<bool> interrupted{false};

void OnInterrupt(int) { interrupted = true; }

// Picture size without -x/-y and without a size in the landscape file.
constexpr int DefaultWidth = 640;
constexpr int DefaultHeight = 480;

// Shows how far a long load has come, on a terminal, once it has taken a second.
class LoadProgress {
 public:
  explicit LoadProgress(bool quiet) : visible(!quiet && isatty(STDERR_FILENO)), start(Clock::now()) {}
  ~LoadProgress() {
    if (shown)
      std::fputc('\n', stderr);
  }
  void Show(const std::string& step, double fraction) {
    const Clock::time_point now = Clock::now();
    if (!visible || now - start < std::chrono::seconds(1) || now - last < std::chrono::milliseconds(200))
      return;
    last = now;
    shown = true;
    std::fprintf(stderr, "\rloading: %s %3d%%   ", step.c_str(), static_cast<int>(fraction * 100.0));
    std::fflush(stderr);
  }

 private:
  using Clock = std::chrono::steady_clock;
  bool visible;
  bool shown = false;
  Clock::time_point start, last;
};

}  // namespace

int main(int argc, char** argv) {
  // Buffers up to 32 MiB (a height map, its decoding's steps, the picture) come from the
  // heap and stay there when freed, so that the next one reuses pages already mapped
  // instead of mapping and faulting in fresh ones: a tenth of the loading time here.
  // Larger ones (a huge picture) are still mapped apart and given back when freed.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  RenderRequest request;
  std::string message;
  switch (ParseCommandLine(argc, argv, request, message)) {
    case CommandLineResult::Exit:
      std::fputs(message.c_str(), stdout);
      return 0;
    case CommandLineResult::Error:
      std::fprintf(stderr, "orvelle2: %s\n", message.c_str());
      return 2;
    case CommandLineResult::Run:
      break;
  }

  if (request.plant >= 0) {
    std::srand(request.plantSeed);
    const std::string plant = GrowPlant(static_cast<EPlantModel>(request.plant));
    std::fwrite(plant.data(), 1, plant.size(), stdout);
    std::fputc('\n', stdout);
    return 0;
  }
  // A file-size limit makes writes fail (and be reported) instead of killing the program.
  std::signal(SIGXFSZ, SIG_IGN);
  // Bands rendered apart are merged without the engine.
  if (!request.merge.empty())
    return MergeBandFiles(request.merge, OutputPath(request));

  // From here on an interruption stops the render cleanly (before it starts, if need be).
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);

  EngineSession session(std::filesystem::current_path().string());
  if (!session.Ready())
    return 1;

  // The landscape: the named file (or standard input, "-"), or the embedded default.
  std::string text;
  LandscapeLoadResult loaded;
  {
    LoadProgress loadProgress(request.quiet);
    LoadControl control;
    control.interrupt = &interrupted;
    control.progress = [&](const std::string& step, double fraction) { loadProgress.Show(step, fraction); };
    if (request.landscape.empty()) {
      text = DefaultLandscapeText;
      loaded = LoadLandscapeFromText("default landscape", text, ".", control);
    } else {
      std::vector<std::string> tried;
      std::string path = request.landscape == "-" ? request.landscape : FindLandscapeFile(request.landscape, tried);
      // Nothing found: read the name as given, to say why it cannot be read.
      if (path.empty())
        path = request.landscape;
      std::string reason;
      if (!ReadWholeFile(path, MaxLandscapeFileBytes, text, reason)) {
        std::string names;
        for (const std::string& name : tried)
          names += (names.empty() ? "" : ", ") + name;
        if (tried.size() > 1)
          names = " (tried " + names + ")";
        else
          names.clear();
        std::fprintf(stderr, "%s: cannot read the landscape file%s: %s\n", request.landscape.c_str(), names.c_str(),
                     reason.c_str());
        return 2;
      }
      const bool standardInput = path == "-";
      loaded = LoadLandscapeFromText(standardInput ? "standard input" : path, text,
                                     standardInput ? "." : std::filesystem::path(path).parent_path().string(), control);
    }
  }
  if (interrupted) {
    std::fprintf(stderr, "orvelle2: interrupted while loading the landscape\n");
    return 130;
  }
  if (!loaded.ok()) {
    for (const std::string& error : loaded.errors)
      std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  // Valid values that look mistaken are worth a word where someone reads it.
  if (!request.quiet && isatty(STDERR_FILENO))
    for (const std::string& warning : loaded.warnings)
      std::fprintf(stderr, "%s\n", warning.c_str());
  Landscape& landscape = *loaded.landscape;
  if (request.groundQuery) {
    const auto ground = GroundAltitude(landscape.Objects(), request.groundX, request.groundY);
    if (!ground) {
      std::fprintf(stderr, "orvelle2: no terrain lies under (%g, %g)\n", request.groundX, request.groundY);
      return 2;
    }
    std::printf("%.6g\n", *ground);
    return 0;
  }
  TEnvironment* environment = session.Environment();
  landscape.Settings.ApplyTo(*environment);

  // The command line decides over the file, the file over the defaults.
  RenderJob job;
  job.output = OutputPath(request);
  job.width = request.width ? request.width : landscape.Settings.PictureWidth.value_or(DefaultWidth);
  job.height = request.height ? request.height : landscape.Settings.PictureHeight.value_or(DefaultHeight);
  if (request.fullScreen)
    FitToScreen(request, job.width, job.height);
  if (!request.views.empty()) {
    ViewsRequest views;
    views.prefix = request.views;
    views.width = job.width;
    views.height = job.height;
    views.detail = request.viewDetail;
    views.selected = request.selected;
    views.ghosts = request.ghosts;
    views.fit = !landscape.ViewsPlaced;
    std::string error;
    const ViewsResult result = WriteViews(&landscape.Record(), views, error);
    if (result != ViewsResult::Written) {
      std::fprintf(stderr, "orvelle2: %s\n", error.c_str());
      return result == ViewsResult::UnknownName ? 2 : 1;
    }
    if (!request.quiet)
      for (const std::string& path : ViewPaths(views.prefix))
        std::printf("%s: %d x %d\n", path.c_str(), views.width, views.height);
    return 0;
  }
  job.quality = request.quality >= 0 ? request.quality : landscape.Settings.RenderSetting.value_or(SettingNormal);
  const unsigned cores = std::thread::hardware_concurrency();
  job.threads = request.threads ? request.threads : static_cast<int>(cores ? cores : 1);
  job.quiet = request.quiet;
  job.resume = request.resume;
  job.scene = SceneIdentity(text, job.width, job.height, job.quality);
  // Tests interrupt a render at a known row this way; nobody else sets it.
  if (const char* rows = std::getenv("ORVELLE2_STOP_AFTER_ROWS"))
    job.stopAfterRows = std::max(0, std::atoi(rows));
  if (request.rowCount > 0) {
    if (request.firstRow + request.rowCount > job.height) {
      std::fprintf(stderr, "orvelle2: --rows %d:%d reaches beyond the picture's %d rows\n", request.firstRow,
                   request.rowCount, job.height);
      return 2;
    }
    job.firstRow = request.firstRow;
    job.rowCount = request.rowCount;
  }
  return RenderToFile(&landscape.Record(), job, interrupted);
}
