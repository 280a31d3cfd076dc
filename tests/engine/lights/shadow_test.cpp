// Shadows in a scene: hard, coloured through glass, soft with a penumbra, and the
// shadow of the clouds on the ground.
#include <gtest/gtest.h>

#include "engine/render/lighting.h"
#include "tests/engine/render/shading_scene.h"

using namespace shading;

namespace {

struct ShadowTest : ::testing::Test {
  QualityGuard quality;
  Scene scene;
  InfinitePlane* ground = nullptr;
  TLight* sun = nullptr;
  void SetUp() override {
    *quality = QualityPreset(SettingNormal);
    ground = scene.Add(Ground(scene.AddMaterial(FlatMaterial(200, 200, 200))));
    sun = scene.AddLight(Sun(VECTEUR(0, 0, -1)));
  }
  // The light reaching the ground at (x, 0, 0).
  VECFLOAT At(double x) { return scene.LightAt(sun, VECTEUR(x, 0, 0), ground); }
};

TEST_F(ShadowTest, OpaqueSphereShadowsAndRedGlassTintsTheLight) {
  scene.Add(Sphere(scene.AddMaterial(FlatMaterial(50, 50, 50)), 0, 0, 3, 1));
  Texture* glass = FlatMaterial(255, 30, 30);
  glass->Transparency.Amount = 0.9f;
  glass->SurfaceFlag4 = true;  // the glass colours the light that passes it
  scene.Add(Sphere(scene.AddMaterial(glass), 10, 0, 3, 1));
  scene.Prepare();
  const VECFLOAT open = At(5);
  EXPECT_FLOAT_EQ(+open.x, 1.0f);
  EXPECT_EQ(At(0), VECFLOAT(0, 0, 0));
  const VECFLOAT red = At(10);
  EXPECT_GT(+red.x, 0.5f);
  EXPECT_LT(+red.y, 0.1f * red.x);
  EXPECT_LT(+red.z, 0.1f * red.x);
  // Without shadows every point is lit.
  quality->Shadows = 0;
  EXPECT_FLOAT_EQ(At(0).x, 1.0f);
  // A material that casts no shadow lets all the light through.
  quality->Shadows = 1;
  scene.materials[1]->CastsShadows = false;
  EXPECT_FLOAT_EQ(At(0).x, 1.0f);
}

TEST_F(ShadowTest, PenumbraWidensWithSoftness) {
  scene.Add(Sphere(scene.AddMaterial(FlatMaterial(50, 50, 50)), 0, 0, 10, 3));
  scene.Prepare();
  quality->Distribution = 1;
  quality->SoftShadowSampling = 1;
  quality->SoftShadowSamples = 4;
  quality->SoftShadowTolerance = 0.0f;  // always the full 25 samples
  RandomGenerator random;
  scene.di.Random = &random;
  auto penumbra = [&](float softness) {
    sun->Softness = softness;
    int partial = 0;
    for (int i = 0; i <= 120; i++) {
      random.Seed(static_cast<unsigned>(i + 1));
      const float x = At(i * 0.05).x;  // a line across the shadow's edge at x = 3
      if (x > 0.02f && x < 0.98f)
        partial++;
    }
    return partial;
  };
  const int hard = penumbra(0.0f), narrow = penumbra(0.05f), wide = penumbra(0.2f);
  EXPECT_EQ(hard, 0);
  EXPECT_GT(narrow, 2);
  EXPECT_GT(wide, narrow + 4);
}

// A long round of soft shadow samples stops after its first few when they agree, yet takes
// the draws of the whole round, so that what a pixel draws afterwards does not change; a
// surface turned away from the light takes the draws without sampling at all.
TEST_F(ShadowTest, AgreeingSoftSamplesEndTheRoundAndKeepItsDraws) {
  scene.Add(Sphere(scene.AddMaterial(FlatMaterial(50, 50, 50)), 0, 0, 10, 3));
  TLight* fromBelow = scene.AddLight(Sun(VECTEUR(0, 0, 1), 0.05f));
  scene.Prepare();
  sun->Softness = 0.05f;
  RandomGenerator random, reference;
  scene.di.Random = &random;
  struct Case {
    TWhichRenderSetting preset;
    TLight* light;
    double x;
    float expected;  // every channel
    int draws;       // 2 for the first sample of the round, 10 for each later one
  };
  const Case cases[] = {
      {SettingBest, sun, 20.0, 1.0f, 2 + 15 * 10},        // open ground
      {SettingBest, sun, 0.0, 0.0f, 2 + 15 * 10},         // under the ball's middle
      {SettingBest, fromBelow, 20.0, 0.0f, 2 + 15 * 10},  // lit from below
      {SettingGood, sun, 20.0, 1.0f, 2 + 2 * 10},        {SettingGood, fromBelow, 20.0, 0.0f, 2 + 2 * 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "preset " << c.preset << " at x = " << c.x);
    *quality = QualityPreset(c.preset);
    random.Seed(3);
    reference.Seed(3);
    const VECFLOAT light = scene.LightAt(c.light, VECTEUR(c.x, 0, 0), ground);
    EXPECT_EQ(light, VECFLOAT(c.expected, c.expected, c.expected));
    for (int i = 0; i < c.draws; i++)
      reference.Next();
    EXPECT_EQ(random.Next(), reference.Next());
  }
  // Across the shadow's edge the first samples disagree and the penumbra stays.
  *quality = QualityPreset(SettingBest);
  int partial = 0;
  for (int i = 0; i <= 120; i++) {
    random.Seed(static_cast<unsigned>(i + 1));
    const float x = At(i * 0.05).x;
    if (x > 0.02f && x < 0.98f)
      partial++;
  }
  EXPECT_GT(partial, 2);
}

TEST_F(ShadowTest, CloudsShadowTheSunOnlyWithACloudShadowStrength) {
  CloudLayer* layer = scene.AddCloud(new CloudLayer());
  layer->Altitude = 300.0f;
  layer->Material = FlatMaterial(255, 255, 255);  // opaque
  scene.Prepare();
  Ray up;
  up.origin = VECTEUR(0, 0, 0);
  up.direction = VECTEUR(0, 0, 1);
  EXPECT_FLOAT_EQ(CloudShadowFactor(&up, &scene.gi, &scene.di), 1.0f);
  scene.landscape.CloudShadow = 0.5f;
  // The layer's density (1.5 * 0.5 - 0.0005 * 300) = 0.6 leaves T = 0.4: 1 - 0.6 * 0.5.
  EXPECT_FLOAT_EQ(CloudShadowFactor(&up, &scene.gi, &scene.di), 0.7f);
  // Layers above 3000 times the strength cast no shadow.
  layer->Altitude = 2000.0f;
  EXPECT_FLOAT_EQ(CloudShadowFactor(&up, &scene.gi, &scene.di), 1.0f);
}

}  // namespace
