// A whole landscape through render preparation and pixel sampling: a fractal terrain
// filled from a function, a water plane, a sun, the sky and a cloud layer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "engine/functions/fonction3d.h"
#include "engine/platform/random.h"
#include "engine/render/camera.h"
#include "engine/render/preparation.h"
#include "engine/render/render_session.h"
#include "engine/render/sampling.h"
#include "engine/scene/document.h"
#include "engine/terrain/terrain.h"
#include "tests/engine/reference_picture.h"
#include "tests/engine/render/render_scene.h"
#include "tests/engine/render/shading_scene.h"

namespace {

constexpr int Width = 96, Height = 72;
constexpr int Side = 129;

std::string DataPath(const char* name) {
  std::string here = __FILE__;
  return here.substr(0, here.find_last_of('/')) + "/data/" + name;
}

struct LandscapeDocument {
  render_test::EnvironmentGuard environment;
  shading::QualityGuard quality;
  TPaysage landscape;
  ObjectsList objects{1, 0, 1};
  ObjectsList selection{1, 0, 1};
  TArray<Texture*> materials{1, 0, 1};
  TArray<CloudLayer*> clouds{1, 0, 1};
  Terrain* terrain = nullptr;

  LandscapeDocument() {
    InitNoise();
    GetEnvironment()->RenderScope = 3;
    GetEnvironment()->PictureWidth = Width;
    GetEnvironment()->PictureHeight = Height;
    *quality = QualityPreset(SettingNormal);
    landscape.Objects = &objects;
    landscape.Materials = &materials;
    landscape.CloudLayers = &clouds;
    landscape.SkyColours.Flush();
    landscape.SkyColours.Add(VALCLR(0, CLR(255, 230, 200)));
    landscape.SkyColours.Add(VALCLR(10000, CLR(230, 140, 60)));
    landscape.SunColours.Flush();
    landscape.SunColours.Add(VALCLR(0, CLR(200, 240, 255)));
    landscape.SunColours.Add(VALCLR(10000, CLR(255, 255, 255)));
    landscape.GradientThickness = 1.5e8f;
    landscape.SunDiscCos = 0.9995f;
    landscape.GlowCos = 0.95f;
    landscape.GlowStrength = 0.3f;
    landscape.SkyTint = VECFLOAT(0.6f, 0.65f, 0.75f);
    landscape.LightColour = VECFLOAT(1.0f, 0.97f, 0.9f);
    landscape.HazeHeight = 300000.0f;
    landscape.HazeStrength = 0.4f;
    landscape.HazeColour = CLR(240, 230, 220);

    // Rock and grass by a noise, on a fractal terrain.
    Texture* ground = shading::FlatMaterial(110, 130, 70);
    ground->ColourFunction.Layers[0].Kind = 1;
    ground->ColourFunction.Layers[0].Scale = VECFLOAT(0.01f, 0.01f, 0.01f);
    ground->Colours.Flush();
    ground->Colours.Add(VALCLR(0, CLR(60, 120, 80)));
    ground->Colours.Add(VALCLR(10000, CLR(110, 125, 135)));
    materials.Add(ground);
    materials.Add(shading::FlatMaterial(40, 80, 140));  // water

    terrain = new Terrain(Side, Side, 0);
    Fonction3D relief;
    relief.Layers[0].Kind = 1;
    relief.Layers[0].Fractal = true;
    relief.Layers[0].Octaves = 4;
    for (int y = 0; y < Side; y++)
      for (int x = 0; x < Side; x++)
        terrain->SetAltitude(x, y,
                             static_cast<int>(700.0f * relief.ExtraireFonction(x * 0.018f, y * 0.018f, 0.5f,
                                                                               VECTEUR(0, 0, 1), nullptr, false)));
    terrain->ZeroMinimumAltitudes();
    terrain->PrepareEdges();
    terrain->PrepareClusters();
    terrain->smoothSurface = 1;
    objects.Add(terrain);
    objects.Add(shading::Ground(1, 6.0));
    objects.Add(shading::Sun(VECTEUR(-0.4, 0.7, -0.5)));
    TCamera* camera = new TCamera();
    camera->MoveTo(0, -95, 38, nullptr);
    objects.Add(camera);

    CloudLayer* layer = new CloudLayer();
    layer->Altitude = 400.0f;
    Texture* cloud = shading::FlatMaterial(255, 255, 255);
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
    clouds.Add(layer);
  }
  ~LandscapeDocument() {
    for (BasicObject* o : objects)
      delete o;
    for (Texture* m : materials)
      delete m;
    for (CloudLayer* c : clouds)
      delete c;
  }

  // Renders the way orvelle2 does: one render session, its worker estimating every pixel.
  std::vector<uint8_t> Render() {
    RenderSession session(&landscape, &selection);
    RenderSession::Worker pixels(session);
    std::vector<uint8_t> rgb(Width * Height * 3);
    for (int y = 0; y < Height; y++)
      for (int x = 0; x < Width; x++)
        pixels.Pixel(x, y, Height, &rgb[(y * Width + x) * 3]);
    return rgb;
  }
};

}  // namespace

TEST(TerrainLandscape, RendersAsTheReferencePicture) {
  LandscapeDocument document;
  const std::vector<uint8_t> rgb = document.Render();
  const std::string reference = DataPath("terrain_landscape.png");
  if (std::getenv("ORVELLE_UPDATE_REFERENCES")) {
    ASSERT_TRUE(WritePng(reference, Width, Height, rgb)) << reference;
    GTEST_SKIP() << "reference written to " << reference;
  }
  std::vector<uint8_t> expected;
  ASSERT_TRUE(ReadPng(reference, Width, Height, expected)) << reference;
  EXPECT_LE(ChannelsOff(rgb, expected, 2), 20) << "channels differing by more than 2 from the reference";
}

TEST(TerrainLandscape, PreparingAgainRendersTheSamePicture) {
  LandscapeDocument document;
  const std::vector<uint8_t> first = document.Render();
  const std::vector<uint8_t> second = document.Render();
  EXPECT_EQ(first, second);
}
