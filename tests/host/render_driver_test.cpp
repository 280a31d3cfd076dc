// Renders through the driver that orvelle2 uses: degenerate scenes still give a picture,
// hopeless requests are refused before rendering, and no failure loses rendered rows.
#include "host/render_driver.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "host/checkpoint.h"
#include "host/engine_session.h"
#include "host/landscape.h"
#include "host/picture_file.h"

namespace {

namespace fs = std::filesystem;

class RenderDriver : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { session = std::make_unique<EngineSession>(fs::current_path().string()); }
  static void TearDownTestSuite() { session.reset(); }
  static std::unique_ptr<EngineSession> session;

  // Renders `text` at width x height into a temporary PNG and reads it back.
  RenderStatus Render(const std::string& text, int width, int height, Picture& picture) {
    LandscapeLoadResult loaded = LoadLandscapeFromText("test", text, ".");
    for (const std::string& error : loaded.errors)
      ADD_FAILURE() << error;
    if (!loaded.ok())
      return RenderRefused;
    loaded.landscape->Settings.ApplyTo(*session->Environment());
    RenderJob job;
    job.output = (fs::path(::testing::TempDir()) / "render-driver.png").string();
    job.width = width;
    job.height = height;
    job.threads = 2;
    job.quiet = true;
    std::atomic<bool> interrupt{false};
    const RenderStatus status = RenderToFile(&loaded.landscape->Record(), job, interrupt);
    std::string error;
    if (status == RenderDone) {
      EXPECT_TRUE(ReadPicture(job.output, picture, error)) << error;
    }
    fs::remove(job.output);
    return status;
  }
};

std::unique_ptr<EngineSession> RenderDriver::session;

// A light a thousand billion times too bright, seen through a cloud layer, shading a
// surface: colours overflow to infinity and NaN on the way and must saturate, never
// convert with undefined behaviour (the sanitizer build checks float-to-integer casts).
TEST_F(RenderDriver, AHugeLightThroughCloudsSaturatesInsteadOfOverflowing) {
  const std::string text = R"({
    "SkyTint": [1, 1, 1], "LightColour": [1e30, 1e30, 1e30], "HazeDensity": 0.01,
    "Materials": [ { "ColourSource": 0, "Colours": [ { "pos": 10000, "clr": [200, 150, 100] } ],
                     "Specular": { "Intensity": 1, "Sharpness": 0.5 } } ],
    "CloudLayers": [ { "Altitude": 500, "Material": { "ColourSource": 0,
        "ColourFunction": { "Layers": [ { "Kind": 1, "Scale": [0.5, 0.5, 0.5], "Fractal": true, "Octaves": 3 } ] },
        "Colours": [ { "pos": 0, "clr": [255, 255, 255] }, { "pos": 10000, "clr": [90, 90, 90] } ] } } ],
    "Objects": [
      { "type": "InfinitePlane", "material": 0, "centre": [0, 0, 0] },
      { "type": "DirectionalLight", "Colour": [1, 1, 1], "Direction": [0.3, 0.5, -0.4] },
      { "type": "Camera", "centre": [0, -200, 100], "Direction": [0, 1, 0.05], "FocalLength": 24 } ] })";
  Picture picture;
  ASSERT_EQ(Render(text, 24, 16, picture), RenderDone);
  // The lit ground saturates to white; nothing is black from a NaN turned into 0.
  const uint8_t* bottom = picture.Pixel(12, 15);
  EXPECT_EQ(bottom[0], 255);
}

const char* SmallScene = R"({
  "SkyTint": [1, 1, 1], "LightColour": [1, 1, 1],
  "SkyColours": [ { "pos": 0, "clr": [200, 210, 240] }, { "pos": 10000, "clr": [40, 80, 180] } ],
  "Materials": [ { "ColourSource": 0, "Colours": [ { "pos": 10000, "clr": [200, 60, 40] } ] } ],
  "Objects": [
    { "type": "Sphere", "centre": [0, 10, 0], "sizes": [2, 2, 2] },
    { "type": "DirectionalLight", "Direction": [1, 1, -1] },
    { "type": "Camera", "centre": [0, 0, 1], "Direction": [0, 1, -0.1] } ] })";

class RenderFiles : public RenderDriver {
 protected:
  void SetUp() override {
    folder = fs::path(::testing::TempDir()) / ("render-files-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    loaded = LoadLandscapeFromText("small", SmallScene, ".");
    ASSERT_TRUE(loaded.ok());
  }
  void TearDown() override { fs::remove_all(folder); }

  RenderStatus Render(const std::string& output, int width, int height, bool resume, bool interrupted = false,
                      uint64_t availableMemory = 0) {
    RenderJob job;
    job.output = (folder / output).string();
    job.width = width;
    job.height = height;
    job.quiet = true;
    job.resume = resume;
    job.scene = SceneIdentity(SmallScene, width, height, 1);
    job.availableMemory = availableMemory;
    std::atomic<bool> interrupt{interrupted};
    return RenderToFile(&loaded.landscape->Record(), job, interrupt);
  }

  fs::path folder;
  LandscapeLoadResult loaded;
};

// Requests that cannot end in a picture are refused before rendering, writing nothing.
TEST_F(RenderFiles, HopelessOutputsAreRefusedBeforeRendering) {
  std::ofstream(folder / "file.txt") << "a file";
  EXPECT_EQ(Render("a.tiff", 32, 24, false), RenderRefused);
  EXPECT_EQ(Render("file.txt/a.png", 32, 24, false), RenderRefused);
  EXPECT_EQ(Render("a.bmp", 32768, 32768, false, false, 1u << 30), RenderRefused);  // 3 GiB in 1 GiB
  EXPECT_EQ(Render("a.bmp", 32, 24, false, false, 1u << 30), RenderDone);
  fs::remove(folder / "a.bmp");
  fs::remove(folder / "file.txt");
  EXPECT_TRUE(fs::is_empty(folder));
}

// A full disk while the picture is written: the render fails, nothing appears under the
// picture's name, and the checkpoint stays for -m.
TEST_F(RenderFiles, AFullDiskKeepsTheCheckpoint) {
  const std::string checkpoint = CheckpointPath((folder / "a.bmp").string());
  ASSERT_EQ(Render("a.bmp", 64, 48, false, true), RenderInterrupted);
  ASSERT_TRUE(fs::exists(checkpoint));
  struct rlimit previousLimit {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previousLimit), 0);
  void (*previousHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = previousLimit;
  small.rlim_cur = 1024;  // the 9 KiB picture does not fit
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const RenderStatus status = Render("a.bmp", 64, 48, true);
  setrlimit(RLIMIT_FSIZE, &previousLimit);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_EQ(status, RenderFailed);
  EXPECT_FALSE(fs::exists(folder / "a.bmp"));
  // The disk has room again: -m completes the picture.
  EXPECT_EQ(Render("a.bmp", 64, 48, true), RenderDone);
  EXPECT_TRUE(fs::exists(folder / "a.bmp"));
  EXPECT_FALSE(fs::exists(checkpoint));
}

// A finished render removes its own checkpoint only; one of another size stays. Names as
// long as a name may be keep their checkpoints too.
TEST_F(RenderFiles, CheckpointsAreFoundAndOnlyTheirOwnRemoved) {
  const std::string longName = std::string(251, 'n') + ".png";
  ASSERT_EQ(Render(longName, 32, 24, false, true), RenderInterrupted);
  EXPECT_EQ(Render(longName, 32, 24, true), RenderDone);
  EXPECT_TRUE(fs::exists(folder / longName));

  ASSERT_EQ(Render("a.png", 40, 30, false, true), RenderInterrupted);
  EXPECT_EQ(Render("a.png", 32, 24, false), RenderDone);
  EXPECT_TRUE(fs::exists(CheckpointPath((folder / "a.png").string())));
  EXPECT_EQ(Render("a.png", 40, 30, true), RenderDone);
  EXPECT_FALSE(fs::exists(CheckpointPath((folder / "a.png").string())));
}

}  // namespace
