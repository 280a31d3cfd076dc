// orvelle2: renders landscape files into pictures.
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "biosphere/biosphere.h"
#include "engine/scene/environment.h"
#include "host/checkpoint.h"
#include "host/command_line.h"
#include "host/default_landscape.h"
#include "host/engine_session.h"
#include "host/landscape.h"
#include "host/landscape_name.h"
#include "host/landscape_placement.h"
#include "host/render_driver.h"

namespace {

std::atomic<bool> interrupted{false};

void OnInterrupt(int) { interrupted = true; }

// Picture size without -x/-y and without a size in the landscape file.
constexpr int DefaultWidth = 640;
constexpr int DefaultHeight = 480;

bool ReadText(const std::string& path, std::string& text) {
  std::ifstream file(path, std::ios::binary);
  if (!file)
    return false;
  std::ostringstream contents;
  contents << file.rdbuf();
  text = contents.str();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
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

  // From here on an interruption stops the render cleanly (before it starts, if need be).
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);

  EngineSession session(std::filesystem::current_path().string());
  if (!session.Ready())
    return 1;

  // The landscape: the named file, or the embedded default.
  std::string text;
  LandscapeLoadResult loaded;
  if (request.landscape.empty()) {
    text = DefaultLandscapeText;
    loaded = LoadLandscapeFromText("default landscape", text, ".");
  } else {
    std::vector<std::string> tried;
    const std::string path = FindLandscapeFile(request.landscape, tried);
    if (path.empty() || !ReadText(path, text)) {
      std::string names;
      for (const std::string& name : tried)
        names += (names.empty() ? "" : ", ") + name;
      std::fprintf(stderr, "%s: cannot read the landscape file (tried %s)\n", request.landscape.c_str(), names.c_str());
      return 2;
    }
    loaded = LoadLandscape(path);
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
  job.quality = request.quality >= 0 ? request.quality : landscape.Settings.RenderSetting.value_or(SettingNormal);
  const unsigned cores = std::thread::hardware_concurrency();
  job.threads = request.threads ? request.threads : static_cast<int>(cores ? cores : 1);
  job.quiet = request.quiet;
  job.resume = request.resume;
  job.scene = SceneIdentity(text, job.width, job.height, job.quality);
  // Tests interrupt a render at a known row this way; nobody else sets it.
  if (const char* rows = std::getenv("ORVELLE2_STOP_AFTER_ROWS"))
    job.stopAfterRows = std::max(0, std::atoi(rows));
  return RenderToFile(&landscape.Record(), job, interrupted);
}
