#include "tests/engine/render/shading_scene.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/lights/camera.h"
#include "engine/render/render_session.h"
#include "engine/scene/environment.h"
#include "tests/engine/reference_picture.h"
#include "tests/engine/render/render_scene.h"

using namespace shading;

namespace {

constexpr int Width = 96, Height = 72;

std::string DataPath(const char* name) {
  std::string here = __FILE__;
  return here.substr(0, here.find_last_of('/')) + "/data/" + name;
}

// The test scene: a sphere with a mixed material (rock and snow by a noise, turned by the
// slope) and a small blue glass ball over a grassy plane, a soft sun and one cloud layer.
struct PictureScene : Scene {
  PictureScene() {
    Texture* ground = FlatMaterial(90, 140, 60);
    ground->ColourFunction.Layers[0].Kind = 1;
    ground->ColourFunction.Layers[0].Scale = VECFLOAT(0.5f, 0.5f, 0.5f);
    ground->Colours.Flush();
    ground->Colours.Add(VALCLR(0, CLR(30, 100, 60)));
    ground->Colours.Add(VALCLR(10000, CLR(60, 170, 120)));
    const unsigned groundIndex = AddMaterial(ground);

    Texture* rock = FlatMaterial(120, 110, 100);
    rock->Specular.SetSpecularParams(0.5f, 0.5f, false);
    Texture* snow = FlatMaterial(245, 245, 255);
    Texture* mixed = new Texture();
    mixed->MaterialKind = MixedMaterial;
    mixed->Material1 = rock;
    mixed->Material2 = snow;
    mixed->ColourFunction.Layers[0].Kind = 1;
    mixed->ColourFunction.Layers[0].Scale = VECFLOAT(0.3f, 0.3f, 0.3f);
    mixed->MixThreshold = 0.6f;
    mixed->MixWidth = 0.2f;
    mixed->EnvironmentInfluence = true;
    mixed->SlopeInfluence = 0.4f;
    mixed->AltitudeInfluence = 0.0f;
    mixed->TransitionMode = 2;
    const unsigned sphereIndex = AddMaterial(mixed);

    Texture* glass = FlatMaterial(120, 170, 255);
    glass->Transparency.Amount = 0.8f;
    glass->Transparency.Refraction = 1.3f;
    glass->SurfaceFlag4 = true;
    glass->Specular.SetSpecularParams(0.8f, 0.7f, false);
    const unsigned glassIndex = AddMaterial(glass);

    Add(Ground(groundIndex));
    Add(Sphere(sphereIndex, 0.0, 0.0, 1.2, 1.2f));
    Add(Sphere(glassIndex, 1.9, -1.6, 0.55, 0.55f));
    AddLight(Sun(VECTEUR(-0.5, 0.6, -0.62), 0.06f))->Colour = VECFLOAT(1.6f, 1.55f, 1.45f);

    CloudLayer* layer = AddCloud(new CloudLayer());
    layer->Altitude = 400.0f;
    Texture* cloud = FlatMaterial(255, 255, 255);
    cloud->Transparency.Variable = true;
    cloud->Transparency.Amount = 1.0f;
    cloud->Transparency.Function.Layers[0].Kind = 1;
    cloud->Transparency.Function.Layers[0].Scale = VECFLOAT(0.2f, 0.2f, 0.2f);
    cloud->Transparency.Filter1.Keys.Flush();
    FILTRE low, high;
    low.Linear = FLTR(4500, 0);
    high.Linear = FLTR(5500, 10000);
    cloud->Transparency.Filter1.Keys.Add(low);
    cloud->Transparency.Filter1.Keys.Add(high);
    layer->Material = cloud;
    landscape.CloudShadow = 0.3f;
    landscape.HazeHeight = 300000.0f;
    landscape.HazeStrength = 0.4f;
    landscape.HazeColour = CLR(240, 230, 220);
    landscape.FogColour = CLR(250, 240, 230);
  }
};

// Renders the scene the way orvelle2 does: one render session over the scene's objects,
// its lights and a camera, and on each of `threads` threads a worker estimating every
// threads-th row.
std::vector<uint8_t> Render(PictureScene& scene, int threads) {
  render_test::EnvironmentGuard environment;
  GetEnvironment()->RenderScope = 3;
  GetEnvironment()->PictureWidth = Width;
  GetEnvironment()->PictureHeight = Height;
  TCamera camera;
  camera.MoveTo(0.0f, -7.0f, 2.2f, nullptr);
  scene.document.Add(&camera);

  std::vector<uint8_t> rgb(Width * Height * 3);
  {
    RenderSession session(&scene.landscape);
    auto rows = [&](int first) {
      RenderSession::Worker pixels(session);
      for (int y = first; y < Height; y += threads)
        for (int x = 0; x < Width; x++)
          pixels.Pixel(x, y, Height, &rgb[(y * Width + x) * 3]);
    };
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; t++)
      pool.emplace_back(rows, t);
    for (std::thread& t : pool)
      t.join();
  }
  scene.document.Detach(scene.document.Find(&camera));
  return rgb;
}

TEST(ShadingScene, RendersAsTheReferencePicture) {
  QualityGuard quality;
  *quality = QualityPreset(SettingGood);
  PictureScene scene;
  const std::vector<uint8_t> rgb = Render(scene, 1);
  const std::string reference = DataPath("shading_scene.png");
  if (std::getenv("ORVELLE_UPDATE_REFERENCES")) {
    ASSERT_TRUE(WritePng(reference, Width, Height, rgb)) << reference;
    GTEST_SKIP() << "reference written to " << reference;
  }
  std::vector<uint8_t> expected;
  ASSERT_TRUE(ReadPng(reference, Width, Height, expected)) << reference;
  EXPECT_LE(ChannelsOff(rgb, expected, 2), 20) << "channels differing by more than 2 from the reference";
}

TEST(ShadingScene, TwoThreadsShadeLikeOne) {
  QualityGuard quality;
  *quality = QualityPreset(SettingGood);
  PictureScene scene;
  EXPECT_EQ(Render(scene, 1), Render(scene, 2));
}

}  // namespace
