#include "engine/render/atmosphere.h"

#include <gtest/gtest.h>

#include "engine/scene/release_callbacks.h"
#include "tests/engine/render/shading_scene.h"
#include "tests/printers.h"

using namespace shading;

namespace {

int released = 0;
void CountRelease(Texture* m) {
  ++released;
  delete m;
}

TEST(CloudLayer, CopyEqualityAndRelease) {
  released = 0;
  SetReleaseCallbacks(nullptr, nullptr, CountRelease, nullptr);
  {
    CloudLayer a, b;
    EXPECT_EQ(a, b);
    a.Material = new Texture();
    EXPECT_FALSE(a == b);
    b = a;
    EXPECT_NE(+b.Material, +a.Material);
    EXPECT_EQ(a, b);
    b.Material->Diffuse = 0.2f;
    EXPECT_FALSE(a == b);
    b = a;
    EXPECT_EQ(released, 1);
    b.FadeRange = 4.0f;
    EXPECT_FALSE(a == b);
  }
  EXPECT_EQ(released, 3);
  SetReleaseCallbacks(nullptr, nullptr, nullptr, nullptr);
}

TEST(CloudLayer, SphereAroundTheEarthIsMetOnceFromBelow) {
  const VECTEUR o(0, 0, EarthRadius);
  double t;
  ASSERT_TRUE(HitCloudSphere(o, VECTEUR(0, 0, 1), EarthRadius + 1000.0, t));
  EXPECT_NEAR(t, 1000.0, 1e-6);
  // Towards the horizon the layer is far away; straight down it is met on the far side.
  ASSERT_TRUE(HitCloudSphere(o, VECTEUR(1, 0, 0), EarthRadius + 1000.0, t));
  EXPECT_NEAR(t, std::sqrt(2.0 * EarthRadius * 1000.0 + 1e6), 1e-3);
  ImpactInfo hit;
  CloudHitRecord(VECTEUR(2000, 0, EarthRadius + 1000), hit);
  EXPECT_NEAR(+hit.worldPoint.x, 1.0, 1e-9);
  EXPECT_NEAR(+hit.worldPoint.z, 0.5, 1e-9);
}

struct SkyTest : ::testing::Test {
  Scene scene;
  QualityGuard quality;
  CLRINT Sky(const VECTEUR& direction) {
    Ray ray;
    ray.origin = VECTEUR(0, 0, 1);
    ray.direction = direction;
    CLRINT c;
    SkyColour(&ray, &scene.di, &scene.gi, c);
    return c;
  }
  CLRINT TableColour(const TableDeCouleurs& table, int position) {
    CLRINT c;
    ExtraireCouleur(position, &table, c);
    return c;
  }
};

TEST_F(SkyTest, SunDiscAndHorizonGradient) {
  scene.landscape.GlowStrength = 0.0f;
  TLight* sun = scene.AddLight(Sun(VECTEUR(0, -1, -1)));
  scene.Prepare();
  const CLRINT atSun = Sky(-sun->Direction());
  const CLRINT disc = TableColour(scene.landscape.SunColours, 10000);
  EXPECT_NEAR(+atSun.r, +disc.r, 1);
  EXPECT_NEAR(+atSun.g, +disc.g, 1);
  EXPECT_NEAR(+atSun.b, +disc.b, 1);
  // At the horizon, away from the sun, the gradient's horizon colour (position 0).
  EXPECT_EQ(Sky(VECTEUR(0, 1, 0)), TableColour(scene.landscape.SkyColours, 0));
  // Without a sun, the elevation alone decides.
  scene.gi.SunLight = nullptr;
  EXPECT_EQ(Sky(VECTEUR(0, 0, 1)), TableColour(scene.landscape.SkyColours, 6666));
}

TEST_F(SkyTest, GlowBrightensTowardsTheSunWithinEightBits) {
  TLight* sun = scene.AddLight(Sun(VECTEUR(0, -1, -0.2)));
  scene.landscape.SunDiscCos = 1.0f;  // no disc: the gradient and its glow only
  scene.landscape.GlowStrength = 5.0f;
  scene.Prepare();
  const CLRINT near = Sky(-sun->Direction());
  scene.landscape.GlowStrength = 0.0f;
  const CLRINT plain = Sky(-sun->Direction());
  EXPECT_EQ(+near.r, plain.r + 255);  // a huge glow gains 255 at most
  EXPECT_GT(+near.b, +plain.b);
}

TEST_F(SkyTest, AnOpaqueFadedInCloudLayerHidesTheSky) {
  CloudLayer* layer = scene.AddCloud(new CloudLayer());
  layer->Altitude = 500.0f;
  layer->Material = FlatMaterial(255, 255, 255);
  TLight* sun = scene.AddLight(Sun(VECTEUR(0.3, 0.2, -1)));
  scene.Prepare();
  const VECFLOAT sunColour = sun->Colour;
  const VECFLOAT skyTint = scene.di.SkyTint;
  const CLRINT covered = Sky(VECTEUR(0, 0, 1));
  EXPECT_GT(+covered.r, 0);
  // Another sky behind it changes nothing.
  scene.landscape.SkyColours.Flush();
  scene.landscape.SkyColours.Add(VALCLR(10000, CLR(0, 0, 255)));
  EXPECT_EQ(Sky(VECTEUR(0, 0, 1)), covered);
  // The light and tint scaled for the cloud are back afterwards.
  EXPECT_EQ(sun->Colour, sunColour);
  EXPECT_EQ(scene.di.SkyTint, skyTint);
  // A brighter exposure brightens the cloud.
  layer->Exposure = 1.0f;
  const CLRINT exposed = Sky(VECTEUR(0, 0, 1));
  EXPECT_GT(+exposed.r, +covered.r);
  // Without materials clouds are invisible.
  quality->Materials = 0;
  EXPECT_EQ(Sky(VECTEUR(0, 0, 1)), TableColour(scene.landscape.SkyColours, 6666));
}

TEST_F(SkyTest, FogFromInsideAFoggedObjectAndHazeAtTheHorizon) {
  Texture* water = FlatMaterial(0, 80, 120);
  water->Transparency.Amount = 0.5f;
  water->Transparency.SecondAmount = 0.02f;  // the water's fog density
  water->Transparency.TintColour1 = CLR(90, 60, 10);
  Sph* pool = scene.Add(Sphere(scene.AddMaterial(water), 0, 0, 0, 5));
  scene.Prepare();
  Ray ray;
  ray.origin = VECTEUR(0, 0, 1);
  ray.direction = VECTEUR(0, 0, 1);
  ray.insideObjects = new ObjectsList();
  ray.insideObjects->Add(pool);
  CLRINT c;
  SkyColour(&ray, &scene.di, &scene.gi, c);
  EXPECT_EQ(c, CLRINT(10, 60, 90));
  // Full haze at the horizon gives the fog colour.
  scene.landscape.HazeHeight = 1000.0f;
  scene.landscape.HazeStrength = 5.0f;
  scene.landscape.FogColour = CLR(1, 2, 3);
  EXPECT_EQ(Sky(VECTEUR(1, 0, -0.001)), CLRINT(3, 2, 1));
}

}  // namespace
