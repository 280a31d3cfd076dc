// The example landscapes render as they are and still look as they did: each is rendered
// at 96 x 72 and compared with its committed picture in tests/host/data/examples/.
// Renders are deterministic; the tolerance only absorbs floating-point differences between
// compilers and build types (the sanitizer build is a Debug build).
//
// To regenerate the pictures after an intended change of the renderer or of an example,
// run the test with ORVELLE_UPDATE_REFERENCES=1 in the environment, then look at every
// picture before committing it.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/engine_session.h"
#include "host/landscape.h"
#include "host/picture_file.h"
#include "host/render_driver.h"
#include "host/views.h"

namespace {

const std::filesystem::path SourceRoot = std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
const std::filesystem::path ExamplesFolder = SourceRoot / "examples";
const std::filesystem::path ReferenceFolder = SourceRoot / "tests" / "host" / "data" / "examples";

constexpr int Width = 96;
constexpr int Height = 72;
// Largest mean absolute difference allowed in each colour channel (0..255).
constexpr double MaxMeanDifference = 2.0;
// A pixel differs when any channel is off by more than this; at most MaxDifferingShare
// of the pixels may differ (a few edge pixels where a ray grazes a surface).
constexpr int PixelThreshold = 16;
constexpr double MaxDifferingShare = 0.01;

bool UpdateReferences() {
  const char* value = std::getenv("ORVELLE_UPDATE_REFERENCES");
  return value && std::string(value) == "1";
}

struct Difference {
  double meanPerChannel[3] = {0, 0, 0};
  int differingPixels = 0;
};

Difference Compare(const Picture& a, const Picture& b) {
  Difference d;
  double sums[3] = {0, 0, 0};
  for (int y = 0; y < a.height; y++)
    for (int x = 0; x < a.width; x++) {
      bool differs = false;
      for (int c = 0; c < 3; c++) {
        const int delta = std::abs(a.Pixel(x, y)[c] - b.Pixel(x, y)[c]);
        sums[c] += delta;
        differs = differs || delta > PixelThreshold;
      }
      d.differingPixels += differs ? 1 : 0;
    }
  for (int c = 0; c < 3; c++)
    d.meanPerChannel[c] = sums[c] / (static_cast<double>(a.width) * a.height);
  return d;
}

class ExampleRender : public ::testing::TestWithParam<const char*> {
 protected:
  static void SetUpTestSuite() { session = std::make_unique<EngineSession>(SourceRoot.string()); }
  static void TearDownTestSuite() { session.reset(); }
  static std::unique_ptr<EngineSession> session;
};

std::unique_ptr<EngineSession> ExampleRender::session;

TEST_P(ExampleRender, MatchesItsReferencePicture) {
  ASSERT_TRUE(session->Ready());
  const std::string name = GetParam();
  const std::filesystem::path example = ExamplesFolder / (name + ".json");
  const std::filesystem::path reference = ReferenceFolder / (name + ".png");

  LandscapeLoadResult loaded = LoadLandscape(example.string());
  for (const std::string& error : loaded.errors)
    ADD_FAILURE() << error;
  ASSERT_TRUE(loaded.ok());
  loaded.landscape->Settings.ApplyTo(*session->Environment());

  RenderJob job;
  job.output = (std::filesystem::path(::testing::TempDir()) / ("example-" + name + ".png")).string();
  job.width = Width;
  job.height = Height;
  job.quality = loaded.landscape->Settings.RenderSetting.value_or(1);
  job.threads = 2;
  job.quiet = true;
  std::atomic<bool> interrupt{false};
  ASSERT_EQ(RenderToFile(&loaded.landscape->Record(), job, interrupt), RenderDone);

  Picture rendered;
  std::string error;
  ASSERT_TRUE(ReadPicture(job.output, rendered, error)) << error;
  std::filesystem::remove(job.output);
  ASSERT_EQ(rendered.width, Width);
  ASSERT_EQ(rendered.height, Height);

  if (UpdateReferences()) {
    std::filesystem::create_directories(ReferenceFolder);
    ASSERT_TRUE(WritePicture(reference.string(), rendered, error)) << error;
  }

  Picture expected;
  ASSERT_TRUE(ReadPicture(reference.string(), expected, error))
      << error << " (set ORVELLE_UPDATE_REFERENCES=1 to create the reference picture)";
  ASSERT_EQ(expected.width, Width);
  ASSERT_EQ(expected.height, Height);

  const Difference d = Compare(rendered, expected);
  for (int c = 0; c < 3; c++)
    EXPECT_LE(d.meanPerChannel[c], MaxMeanDifference) << name << ": channel " << c;
  EXPECT_LE(d.differingPixels, static_cast<int>(MaxDifferingShare * Width * Height))
      << name << ": pixels off by more than " << PixelThreshold;
}

// The four wireframe views draw what the render shows; drawing is exact integer work on
// projected points, so only a few pixels may differ between compilers.
TEST_P(ExampleRender, ViewsMatchTheirReferencePictures) {
  ASSERT_TRUE(session->Ready());
  const std::string name = GetParam();
  LandscapeLoadResult loaded = LoadLandscape((ExamplesFolder / (name + ".json")).string());
  ASSERT_TRUE(loaded.ok());
  loaded.landscape->Settings.ApplyTo(*session->Environment());
  ViewsRequest views;
  views.prefix = (std::filesystem::path(::testing::TempDir()) / ("views-" + name)).string();
  views.width = 2 * Width;
  views.height = 2 * Height;
  views.fit = !loaded.landscape->ViewsPlaced;
  std::string error;
  ASSERT_EQ(WriteViews(&loaded.landscape->Record(), views, error), ViewsResult::Written) << error;
  const std::vector<std::string> drawn = ViewPaths(views.prefix);
  const std::vector<std::string> references = ViewPaths((ReferenceFolder / "views" / name).string());
  for (size_t v = 0; v < drawn.size(); v++) {
    Picture picture, expected;
    ASSERT_TRUE(ReadPicture(drawn[v], picture, error)) << error;
    std::filesystem::remove(drawn[v]);
    if (UpdateReferences()) {
      std::filesystem::create_directories(ReferenceFolder / "views");
      ASSERT_TRUE(WritePicture(references[v], picture, error)) << error;
    }
    ASSERT_TRUE(ReadPicture(references[v], expected, error)) << error;
    ASSERT_EQ(picture.width, expected.width);
    ASSERT_EQ(picture.height, expected.height);
    EXPECT_LE(Compare(picture, expected).differingPixels, picture.width * picture.height / 200) << references[v];
  }
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleRender,
                         ::testing::Values("valley", "architecture", "glass-and-mirrors", "dusk", "models", "pictures", "plants"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           for (char& c : name)
                             if (c == '-')
                               c = '_';
                           return name;
                         });

}  // namespace
