// Quality levels: what each samples, and that quality 2 smooths edges that 1 leaves hard.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "host/engine_session.h"
#include "host/landscape.h"
#include "host/picture_file.h"
#include "host/render_driver.h"
#include "host/render_loop.h"

namespace {

TEST(RenderQuality, SampleCeilingsRiseWithTheQuality) {
  struct Case {
    TWhichRenderSetting setting;
    bool adaptive, adaptiveWithDepthOfField;
  };
  const Case cases[] = {
      {SettingDraft, false, false},
      {SettingNormal, false, false},
      {SettingGood, true, true},
      {SettingBest, true, true},
  };
  int previousCeiling = 1, previousDepthCeiling = 1;
  for (const Case& c : cases) {
    const QualitySettings q = QualityPreset(c.setting);
    const PixelSampling plain = SamplingFor(q, false), lens = SamplingFor(q, true);
    EXPECT_EQ(plain.adaptive, c.adaptive) << c.setting;
    EXPECT_EQ(lens.adaptive, c.adaptiveWithDepthOfField) << c.setting;
    // Depth-of-field grain shrinks as the quality rises: never fewer samples at a higher level.
    const int ceiling = plain.adaptive ? plain.sampling.maxSamples : 1;
    const int depthCeiling = lens.adaptive ? lens.sampling.maxSamples : 1;
    EXPECT_GE(ceiling, previousCeiling) << c.setting;
    EXPECT_GE(depthCeiling, previousDepthCeiling) << c.setting;
    if (c.setting == SettingBest) {
      EXPECT_GT(ceiling, SamplingFor(QualityPreset(SettingGood), false).sampling.maxSamples);
      EXPECT_LT(plain.sampling.threshold, SamplingFor(QualityPreset(SettingGood), false).sampling.threshold);
    }
    previousCeiling = ceiling;
    previousDepthCeiling = depthCeiling;
  }
}

// A white ball on black, lit by nothing but its ambient light: every pixel is one of two
// colours unless edge pixels mix samples from both sides.
const char* Ball = R"({
  "SkyColours": [ { "pos": 0, "clr": [0, 0, 0] } ], "SunDiscCos": 1,
  "SkyTint": [1, 1, 1], "LightColour": [1, 1, 1],
  "Materials": [ { "ColourSource": 0, "Colours": [ { "pos": 10000, "clr": [255, 255, 255] } ], "Ambient": 1,
                   "Diffuse": 0 } ],
  "Objects": [
    { "type": "Sphere", "centre": [0, 10, 0], "sizes": [2, 2, 2] },
    { "type": "Camera", "centre": [0, 0, 0], "Direction": [0, 1, 0] }
  ]
})";

TEST(RenderQuality, QualityTwoSmoothsEdgesThatOneLeavesHard) {
  EngineSession session(".");
  ASSERT_TRUE(session.Ready());
  std::vector<size_t> distinctColours;
  for (int quality : {1, 2}) {
    LandscapeLoadResult loaded = LoadLandscapeFromText("ball.json", Ball, ".");
    ASSERT_TRUE(loaded.ok()) << (loaded.errors.empty() ? "" : loaded.errors.front());
    RenderJob job;
    job.output = (std::filesystem::path(::testing::TempDir()) / "quality-ball.png").string();
    job.width = 40;
    job.height = 30;
    job.quality = quality;
    job.threads = 2;
    job.quiet = true;
    std::atomic<bool> interrupt{false};
    ASSERT_EQ(RenderToFile(&loaded.landscape->Record(), job, interrupt), RenderDone);
    Picture picture;
    std::string error;
    ASSERT_TRUE(ReadPicture(job.output, picture, error)) << error;
    std::filesystem::remove(job.output);
    std::set<std::tuple<int, int, int>> colours;
    for (int y = 0; y < picture.height; y++)
      for (int x = 0; x < picture.width; x++) {
        const unsigned char* p = picture.Pixel(x, y);
        colours.insert({p[0], p[1], p[2]});
      }
    distinctColours.push_back(colours.size());
  }
  EXPECT_EQ(distinctColours[0], 2u);
  EXPECT_GT(distinctColours[1], 6u);
}

// The render loop hands rows on from the top as soon as they and every row above them are
// done, rows resumed from a checkpoint first, each row final when it is handed on: by the
// calling thread beside one worker, and by the workers themselves when they fill every core.
TEST(RenderLoop, RowsAreHandedOnFromTheTopOnceFinal) {
  EngineSession engine(".");
  ASSERT_TRUE(engine.Ready());
  LandscapeLoadResult loaded = LoadLandscapeFromText("ball.json", Ball, ".");
  ASSERT_TRUE(loaded.ok());
  engine.Environment()->PictureWidth = 40;
  engine.Environment()->PictureHeight = 30;
  RenderSession session(&loaded.landscape->Record());
  const int everyCore = std::max(2, static_cast<int>(std::thread::hardware_concurrency()));
  for (int threads : {1, everyCore})
    for (int resumed : {0, 7}) {
      SCOPED_TRACE(std::to_string(threads) + " threads, " + std::to_string(resumed) + " rows resumed");
      Checkpoint work;
      work.picture = Picture(40, 30);
      work.rowsDone.assign(30, 0);
      for (int row = 0; row < resumed; row++) {
        work.rowsDone[row] = 1;
        work.picture.Pixel(0, row)[0] = 201;  // a resumed row is not rendered again
      }
      RenderLoopSettings settings;
      settings.threads = threads;
      std::vector<int> handed;
      std::vector<std::vector<uint8_t>> seen;  // the rows as they were when handed on
      std::atomic<bool> stop{false};
      RenderRows(
          session, settings, work, stop, [](int) {},
          [&](int top) {
            handed.push_back(top);
            for (int row = static_cast<int>(seen.size()); row < top; row++)
              seen.emplace_back(work.picture.Pixel(0, row), work.picture.Pixel(0, row) + work.picture.RowBytes());
          });
      ASSERT_FALSE(handed.empty());
      EXPECT_GE(handed.front(), resumed);
      EXPECT_EQ(handed.back(), 30);
      EXPECT_TRUE(std::is_sorted(handed.begin(), handed.end()));
      EXPECT_EQ(std::adjacent_find(handed.begin(), handed.end()), handed.end());
      for (int row = 0; row < 30; row++)
        EXPECT_TRUE(std::equal(seen[row].begin(), seen[row].end(), work.picture.Pixel(0, row))) << "row " << row;
      if (resumed > 0) {
        EXPECT_EQ(seen[0][0], 201);
      }
    }
}

}  // namespace
