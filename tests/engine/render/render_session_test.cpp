// The render session: preparation and release of one render, and pixels that depend on
// nothing but their position, whichever worker renders them and in whatever order.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "engine/lights/camera.h"
#include "engine/render/render_session.h"
#include "tests/engine/render/render_scene.h"
#include "tests/engine/render/shading_scene.h"

namespace {

constexpr int Width = 40, Height = 30;

// A ball on a floor under a soft sun (soft shadows draw random numbers), seen by a camera.
struct SessionScene {
  render_test::EnvironmentGuard environment;
  shading::QualityGuard quality;
  TPaysage landscape;
  ObjectsList objects{1, 0, 1};
  TArray<Texture*> materials{1, 0, 1};

  SessionScene() {
    InitNoise();
    GetEnvironment()->RenderScope = 3;
    GetEnvironment()->PictureWidth = Width;
    GetEnvironment()->PictureHeight = Height;
    *quality = QualityPreset(SettingBest);
    landscape.Objects = &objects;
    landscape.Materials = &materials;
    landscape.LightColour = VECFLOAT(1.0f, 1.0f, 1.0f);
    landscape.SkyTint = VECFLOAT(0.6f, 0.65f, 0.75f);
    landscape.SkyColours.Flush();
    landscape.SkyColours.Add(VALCLR(0, CLR(255, 230, 200)));
    landscape.SkyColours.Add(VALCLR(10000, CLR(90, 140, 230)));
    materials.Add(shading::FlatMaterial(200, 180, 150));
    materials.Add(shading::FlatMaterial(90, 140, 90));
    objects.Add(shading::Sphere(0, 0.0, 0.0, 1.0, 1.0f));
    objects.Add(shading::Ground(1));
    objects.Add(shading::Sun(VECTEUR(-0.5, 0.6, -0.62), 0.08f));
    TCamera* camera = new TCamera();
    camera->MoveTo(0, -6, 1.5, nullptr);
    objects.Add(camera);
  }
  ~SessionScene() {
    for (BasicObject* o : objects)
      delete o;
    for (Texture* m : materials)
      delete m;
  }
};

using Picture = std::vector<unsigned char>;

// Renders the pixels listed by `order` (indices y * Width + x) with one worker.
void RenderPixels(const RenderSession& session, const std::vector<int>& order, Picture& rgb) {
  RenderSession::Worker pixels(session);
  for (int i : order)
    pixels.Pixel(i % Width, i / Width, Height, &rgb[static_cast<size_t>(i) * 3]);
}

}  // namespace

TEST(RenderSession, AnySplitOfThePixelsGivesTheSamePicture) {
  SessionScene scene;
  RenderSession session(&scene.landscape);
  ASSERT_TRUE(session.sampling.adaptive) << "the best quality samples pixels adaptively";

  std::vector<int> rows;  // row by row, as one thread
  for (int i = 0; i < Width * Height; i++)
    rows.push_back(i);
  Picture byRows(Width * Height * 3);
  RenderPixels(session, rows, byRows);
  ASSERT_NE(byRows, Picture(Width * Height * 3)) << "the scene must be visible";

  // Columns backwards in two threads: every pixel on another worker, in another order.
  std::vector<int> evenColumns, oddColumns;
  for (int x = Width - 1; x >= 0; x--)
    for (int y = Height - 1; y >= 0; y--)
      (x % 2 ? oddColumns : evenColumns).push_back(y * Width + x);
  Picture byColumns(Width * Height * 3);
  std::thread odd(RenderPixels, std::cref(session), std::cref(oddColumns), std::ref(byColumns));
  RenderPixels(session, evenColumns, byColumns);
  odd.join();
  EXPECT_EQ(byRows, byColumns);

  // The picture's own seed changes the draws, and so the soft shadows.
  session.seed = 7;
  Picture reseeded(Width * Height * 3);
  RenderPixels(session, rows, reseeded);
  EXPECT_NE(byRows, reseeded);
}

TEST(RenderSession, PreparesOnConstructionAndGivesEverythingBackAtItsEnd) {
  SessionScene scene;
  {
    RenderSession session(&scene.landscape);
    // Packed members: copied before the checks bind references to them.
    const TBoundingVolume* volume = session.View().BoundingVolume;
    const auto* lights = session.Global().Lights;
    EXPECT_NE(volume, nullptr);
    ASSERT_NE(lights, nullptr);
    EXPECT_EQ(lights->Count(), 1);
    EXPECT_TRUE(scene.materials[0]->IsPrepared());
  }
  EXPECT_FALSE(scene.materials[0]->IsPrepared());
  EXPECT_FALSE(scene.materials[1]->IsPrepared());
}
