// Renders through the driver that orvelle2 uses: degenerate scenes still give a picture.
#include "host/render_driver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>

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

}  // namespace
