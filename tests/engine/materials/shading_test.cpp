// Shading of hits by materials, in small scenes.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/engine/render/shading_scene.h"

using namespace shading;

namespace {

struct ShadingTest : ::testing::Test {
  QualityGuard quality;
  Scene scene;
  void SetUp() override { *quality = QualityPreset(SettingNormal); }
  // Shades the top of a unit sphere at the origin, seen from above.
  CLRINT Top(Texture* material, float* result = nullptr, Ray* with = nullptr) {
    Sph sphere(0);
    ImpactInfo hit;
    hit.worldPoint = hit.objectPoint = VECTEUR(0, 0, 1);
    hit.worldNormal = hit.objectNormal = VECTEUR(0, 0, 1);
    Ray ray;
    ray.origin = VECTEUR(0, 0, 5);
    ray.direction = VECTEUR(0, 0, -1);
    if (with)
      ray = *with;
    CLRINT c;
    const float e = material->ExtraireAspect(hit, 4.0f, &ray, c, &scene.gi, &scene.di, &sphere, 0.001f);
    if (result)
      *result = e;
    return c;
  }
};

TEST_F(ShadingTest, DiffuseAndAmbientLightOfAFlatSurface) {
  scene.landscape.SkyTint = VECFLOAT(0, 0, 0);
  Texture* m = FlatMaterial(200, 100, 50);
  scene.AddMaterial(m);
  scene.AddLight(Sun(VECTEUR(0, 0, -1)));
  scene.Prepare();
  // Facing the sun: the colour times the diffuse coefficient.
  EXPECT_EQ(Top(m), CLRINT(120, 60, 30));
  // The sky tint adds the ambient part: (1.5 - 1) * 0.4 + 2/3 * 1 * 0.6 = 0.6 of the colour.
  scene.di.SkyTint = VECFLOAT(1, 1, 1);
  EXPECT_EQ(Top(m), CLRINT(240, 120, 60));
  // Materials switched off: plain grey, lit the same way.
  quality->Materials = 0;
  EXPECT_EQ(Top(m), CLRINT(230, 230, 230));
}

TEST_F(ShadingTest, ChannelsSaturateInsteadOfWrapping) {
  Texture* m = FlatMaterial(255, 255, 255);
  scene.AddMaterial(m);
  scene.AddLight(Sun(VECTEUR(0, 0, -1)))->Colour = VECFLOAT(1000, 1000, 1000);
  scene.Prepare();
  EXPECT_EQ(Top(m), CLRINT(65535, 65535, 65535));
}

TEST_F(ShadingTest, MixedMaterialAtItsThresholdShowsTheFirstMaterial) {
  Texture* mixed = new Texture();
  mixed->MaterialKind = MixedMaterial;
  mixed->Material1 = FlatMaterial(200, 0, 0);
  mixed->Material2 = FlatMaterial(0, 0, 200);
  mixed->MixThreshold = 0.5f;  // the default colour function is 0.5 everywhere
  scene.AddMaterial(mixed);
  scene.landscape.SkyTint = VECFLOAT(0, 0, 0);
  scene.AddLight(Sun(VECTEUR(0, 0, -1)));
  scene.Prepare();
  for (int mode = 0; mode <= 3; mode++) {
    mixed->TransitionMode = mode;
    EXPECT_EQ(Top(mixed), Top(mixed->Material1)) << mode;
  }
  // Half way through the transition, linear modes mix the colours evenly.
  mixed->MixThreshold = 0.4f;
  mixed->MixWidth = 0.2f;
  mixed->TransitionMode = 1;
  const CLRINT half = Top(mixed);
  EXPECT_NEAR(+half.r, 60, 1);
  EXPECT_NEAR(+half.b, 60, 1);
  // Beyond the transition the second material alone.
  mixed->MixThreshold = 0.1f;
  EXPECT_EQ(Top(mixed), Top(mixed->Material2));
}

TEST_F(ShadingTest, BumpOfKindZeroAndTheMaterialSwitch) {
  Texture* m = FlatMaterial(100, 100, 100);
  m->BumpFunction.Layers[0].Kind = 0;
  m->BumpDepth = 50.0f;
  scene.AddMaterial(m);
  scene.AddLight(Sun(VECTEUR(-1, 0, -1)));
  scene.Prepare();
  Texture flat(*m);
  flat.BumpDepth = 0.0f;
  EXPECT_EQ(Top(m), Top(&flat));
  // A real bump changes the lighting.
  m->DePreparer(1.0f);
  m->BumpFunction.Layers[0].Kind = 1;
  m->BumpFunction.Layers[0].Scale = VECFLOAT(0.01f, 0.01f, 0.01f);
  ASSERT_TRUE(m->Preparer(&scene.landscape, nullptr, 1.0f));
  EXPECT_FALSE(Top(m) == Top(&flat));
  // With the material switch the filtered bump height replaces the normal's z.
  GetEnvironment()->MaterialSwitch = 1;
  Sph sphere(0);
  ImpactInfo hit;
  hit.worldPoint = hit.objectPoint = VECTEUR(0, 0, 1);
  hit.worldNormal = hit.objectNormal = VECTEUR(0, 0, 1);
  Ray ray;
  ray.direction = VECTEUR(0, 0, -1);
  CLRINT c;
  EXPECT_FLOAT_EQ(m->ExtraireAspect(hit, 1.0f, &ray, c, &scene.gi, &scene.di, &sphere, 0.001f), 0.0f);
  EXPECT_EQ(c, CLRINT(100, 100, 100));
  EXPECT_GE(+hit.worldNormal.z, 0.0);
  EXPECT_LE(+hit.worldNormal.z, 1.0);
}

TEST_F(ShadingTest, ReflectionStopsAtDepthSixAndGlassShowsWhatIsBehind) {
  scene.landscape.SkyTint = VECFLOAT(0, 0, 0);
  Texture* mirror = FlatMaterial(0, 0, 0);
  mirror->Reflection.Amount = 1.0f;
  scene.AddMaterial(mirror);
  scene.Prepare();
  // The mirror reflects the sky straight above.
  Ray up;
  up.origin = VECTEUR(0, 0, 0);
  up.direction = VECTEUR(0, 0, 1);
  const CLRINT sky = Scene::TraceWith(up.origin, up.direction, scene.gi, scene.di);
  EXPECT_EQ(Top(mirror), sky);
  Ray deep;
  deep.origin = VECTEUR(0, 0, 5);
  deep.direction = VECTEUR(0, 0, -1);
  deep.depth = 6;
  EXPECT_EQ(Top(mirror, nullptr, &deep), CLRINT(0, 0, 0));
  // Clear glass without refraction: the sky behind, and a transparency of 1.
  Texture* glass = FlatMaterial(0, 0, 0);
  glass->Transparency.Amount = 1.0f;
  glass->Transparency.GlowStrength = 0.0f;
  float e = 0.0f;
  const CLRINT below = Scene::TraceWith(VECTEUR(0, 0, 0.9), VECTEUR(0, 0, -1), scene.gi, scene.di);
  EXPECT_EQ(Top(glass, &e), below);
  EXPECT_FLOAT_EQ(e, 1.0f);
  delete glass;
}

TEST_F(ShadingTest, MaterialsOutOfRangeOrMissingShadeWithoutFailing) {
  Texture* lone = new Texture();
  lone->MaterialKind = MixedMaterial;
  lone->Material2 = FlatMaterial(10, 20, 30);
  scene.AddMaterial(lone);
  scene.Add(Sphere(7, 0, 10, 0, 1));  // no material 7
  scene.Add(Sphere(0, 0, 20, 5, 1));
  scene.AddLight(Sun(VECTEUR(0, 1, -1)));
  scene.Prepare();
  // Its preparation fails, for want of its first material; the render goes on without it.
  EXPECT_FALSE(lone->Preparer(&scene.landscape, nullptr, MaterialPreparationScale));
  EXPECT_EQ(scene.Trace(VECTEUR(0, 0, 0), VECTEUR(0, 1, 0)), CLRINT(192, 192, 192));
  EXPECT_EQ(Top(lone), Top(lone->Material2));
}

// A 2 x 1 picture, red then blue, mapped flat: prepared, it spans 15 units centred on the
// origin, its first column towards +x (planar u = -x).
TEST_F(ShadingTest, PictureColouredMaterialShowsItsPicture) {
  Texture* m = new Texture();
  m->ColourSource = 1;
  m->PictureMapping = 0;
  ASSERT_TRUE(m->Picture.Allocate(2, 1, ColourImage));
  {
    ImagePixels pixels(m->Picture);
    const uint8_t redThenBlue[6] = {0, 0, 255, 255, 0, 0};  // blue, green, red per pixel
    std::memcpy(pixels.Rows(), redThenBlue, sizeof(redThenBlue));
  }
  scene.AddMaterial(m);
  scene.Prepare();
  CLRINT c;
  m->ExtraireCouleurBitmap(VECTEUR(1, 0, 0), VECTEUR(0, 0, 1), c, nullptr);
  EXPECT_EQ(c, CLRINT(255, 0, 0));
  m->ExtraireCouleurBitmap(VECTEUR(-1, 0, 0), VECTEUR(0, 0, 1), c, nullptr);
  EXPECT_EQ(c, CLRINT(0, 0, 255));
  // Shading lights the picture's colour: the top of the sphere lies at x = 0, on the blue side.
  scene.landscape.SkyTint = VECFLOAT(0, 0, 0);
  scene.AddLight(Sun(VECTEUR(0, 0, -1)));
  const CLRINT lit = Top(m);
  EXPECT_GT(lit.b, lit.r + 100);  // blue, under the white of the highlight
}

}  // namespace
