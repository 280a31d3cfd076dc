#include "engine/lights/light.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/materials/texture.h"
#include "engine/platform/random.h"
#include "engine/render/camera.h"
#include "engine/scene/context.h"
#include "engine/scene/environment.h"
#include "tests/engine/render/shading_scene.h"

using namespace shading;

namespace {

Ray Towards(const VECTEUR& origin, const VECTEUR& direction) {
  Ray r;
  r.origin = origin;
  r.direction = Normalised(direction);
  return r;
}

// The light a point light at height h gives a point on the ground below it, through
// ComputeLightContribution with every ray effect off.
VECFLOAT PointLightBelow(TPointLight& light, double h) {
  light.MoveTo(0, 0, static_cast<float>(h), nullptr);
  Ray toLight = Towards(VECTEUR(0, 0, 0), VECTEUR(0, 0, 1));
  VECTEUR up(0, 0, 1);
  VECFLOAT colour;
  TDrawInfo di;
  TGlobalInfo gi;
  Texture plain;
  light.ComputeLightContribution(&plain, 0.0f, &toLight, false, up, static_cast<float>(1.0 / h), colour, &gi, &di,
                                 nullptr);
  return colour;
}

TEST(Lights, PointLightFallsAsOneOverDistance) {
  TPointLight light;
  Ray r = Towards(VECTEUR(), VECTEUR(0, 0, 1));
  VECFLOAT c;
  ASSERT_TRUE(light.GetLightColour(&r, 0.1f, c));
  EXPECT_FLOAT_EQ(+c.x, 5.0f);
  const VECFLOAT near = PointLightBelow(light, 10.0);
  const VECFLOAT far = PointLightBelow(light, 20.0);
  EXPECT_FLOAT_EQ(+near.y, 5.0f);
  EXPECT_FLOAT_EQ(near.y / far.y, 2.0f);
  light.Colour = VECFLOAT(0, 0, 0);
  EXPECT_FALSE(light.GetLightColour(&r, 0.1f, c));
}

TEST(Lights, SpotLightIsDarkOutsideItsConeAndFullInsideItsInnerCone) {
  TSpotLight spot;  // points along -z once turned
  spot.Rotate(180, 0, 0, nullptr, true);
  ASSERT_NEAR(spot.Direction().z, -1.0, 1e-6);
  auto lightAtAngle = [&](double cosine, VECFLOAT& c) {
    // The direction from the point back to the light makes `cosine` with the spot's axis.
    const double s = std::sqrt(1.0 - cosine * cosine);
    Ray toLight = Towards(VECTEUR(), VECTEUR(s, 0, cosine));
    return spot.GetLightColour(&toLight, 0.1f, c);
  };
  VECFLOAT c;
  EXPECT_FALSE(lightAtAngle(0.5, c));
  EXPECT_FALSE(lightAtAngle(spot.CosCone, c));
  const double inner = (1.0 - spot.CosCone) * spot.Penumbra + spot.CosCone;
  ASSERT_TRUE(lightAtAngle(1.0, c));
  EXPECT_FLOAT_EQ(+c.x, 10.0f);
  ASSERT_TRUE(lightAtAngle(inner + 1e-4, c));
  EXPECT_FLOAT_EQ(+c.x, 10.0f);
  ASSERT_TRUE(lightAtAngle((inner + spot.CosCone) / 2, c));
  EXPECT_NEAR(+c.x, 5.0f, 0.05f);  // half way up the penumbra's ramp
}

TEST(Lights, KindsCopiesAndPowerScaling) {
  TDirectionLight sun;
  TLaserLight laser;
  Ray r = Towards(VECTEUR(), VECTEUR(0, 0, 1));
  VECFLOAT c(9, 9, 9);
  EXPECT_FALSE(laser.GetLightColour(&r, 1.0f, c));
  EXPECT_EQ(c, VECFLOAT(0, 0, 0));
  sun.Colour = VECFLOAT(0.5f, 0.6f, 0.7f);
  ASSERT_TRUE(sun.GetLightColour(&r, 1e-8f, c));
  EXPECT_EQ(c, sun.Colour);
  EXPECT_EQ(+sun.type, BasicObject::TypeDirectionalLight);
  EXPECT_EQ(int(sun.FollowCamera), int(GetEnvironment()->DirectionalFollowCamera));

  TSpotLight spot;
  spot.Penumbra = 0.4f;
  spot.Softness = 0.1f;
  spot.MoveTo(1, 2, 3, nullptr);
  TLight* copy = CopyLight(&spot);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(+copy->type, BasicObject::TypeSpotLight);
  EXPECT_FLOAT_EQ(static_cast<TSpotLight*>(copy)->Penumbra, 0.4f);
  EXPECT_FLOAT_EQ(+copy->Softness, 0.1f);
  EXPECT_EQ(copy->GetCenter(), VECTEUR(1, 2, 3));
  delete copy;
  Sph ball(0);
  EXPECT_EQ(CopyLight(&ball), nullptr);

  TPointLight point;
  point.Scale(2, 2, 2, false);
  EXPECT_FLOAT_EQ(+point.Power, 100.0f);
  point.Scale(1e-9f, 0, 0, false);
  EXPECT_FLOAT_EQ(+point.Power, 0.01f);
  spot.Scale(1e9f, 1e9f, 1e9f, false);
  EXPECT_FLOAT_EQ(+spot.Power, 1e8f);
}

TEST(Lights, SunIsTheFirstDirectionalLight) {
  TPointLight point;
  TDirectionLight first, second;
  ObjectsList list(1, 0, 1);
  EXPECT_EQ(GetSunLight(&list), nullptr);
  list.Add(&point);
  list.Add(&first);
  list.Add(&second);
  EXPECT_EQ(GetSunLight(&list), &first);
  TArray<TLight*> array(1, 0, 1);
  array.Add(&point);
  EXPECT_EQ(GetSunLight(&array), nullptr);
  array.Add(&second);
  EXPECT_EQ(GetSunLight(&array), &second);
  EXPECT_EQ(GetSunLight(static_cast<TArray<TLight*>*>(nullptr)), nullptr);
}

TEST(Lights, PickingUsesTheSymbolAndNeverHitsWhileRendering) {
  TPointLight point;
  point.MoveTo(0, 0, 50, nullptr);
  TDrawInfo view;
  Ray r = Towards(VECTEUR(0, -100, 50), VECTEUR(0, 1, 0));
  double t = 200000.0;
  VECTEUR p, n;
  ASSERT_EQ(point.FindNearestIntersection(&r, &view, t, p, n), &point);
  EXPECT_NEAR(t, 92.0, 1e-9);  // the pick sphere of radius 8
  view.Rendering = 1;
  t = 200000.0;
  EXPECT_EQ(point.FindNearestIntersection(&r, &view, t, p, n), nullptr);

  TDirectionLight sun;
  sun.FollowCamera = 0;
  sun.MoveTo(10, 0, 0, nullptr);
  view.Rendering = 0;
  t = 200000.0;
  Ray across = Towards(VECTEUR(10, -50, 5), VECTEUR(0, 1, 0));  // through the symbol along the axis
  ASSERT_EQ(sun.FindNearestIntersection(&across, &view, t, p, n), &sun);
  // The bounding box holds the symbol and the hit point on it.
  TBoundingBox box;
  sun.IncludeObjectInBox(box, true, true);
  EXPECT_LE(+box.min.y, +p.y);
  EXPECT_GE(+box.max.z, +p.z);
  Ray beside = Towards(VECTEUR(40, -50, 5), VECTEUR(0, 1, 0));
  t = 200000.0;
  EXPECT_EQ(sun.FindNearestIntersection(&beside, &view, t, p, n), nullptr);
}

TEST(Lights, DirectionalLightFollowingTheCameraAimsAtIt) {
  TCamera camera;
  camera.MoveTo(0, 0, 0, nullptr);
  TDrawInfo di;
  di.Camera = &camera;
  TDirectionLight sun;
  sun.FollowCamera = 1;
  sun.MoveTo(0, 30, 40, &di);
  EXPECT_NEAR(sun.Direction().y, -0.6, 1e-6);
  EXPECT_NEAR(sun.Direction().z, -0.8, 1e-6);
  // Turning keeps its distance from the camera, on the line along its new direction.
  sun.Rotate(10, 20, 30, &di, false);
  EXPECT_NEAR(Length(sun.GetCenter() - camera.GetCenter()), 50.0, 1e-3);
  const VECTEUR back = Normalised(camera.GetCenter() - sun.GetCenter());
  EXPECT_NEAR(Dot(back, sun.Direction()), 1.0, 1e-5);
  // Without the flag the light keeps its direction.
  sun.FollowCamera = 0;
  const VECTEUR before = sun.Direction();
  sun.MoveOf(5, 0, 0, &di);
  EXPECT_EQ(sun.Direction(), before);
}

TEST(Lights, HardLightsNeverSampleAndASoftLightWithoutDistributionSamplesOnce) {
  QualityGuard quality;
  *quality = QualityPreset(SettingNormal);
  quality->Distribution = 0;
  Scene scene;
  Sph* ground = scene.Add(Sphere(scene.AddMaterial(FlatMaterial(200, 200, 200)), 0, 0, -100, 1));
  TDirectionLight* sun = static_cast<TDirectionLight*>(scene.AddLight(Sun(VECTEUR(0, 0, -1))));
  scene.Prepare();
  RandomGenerator random(7), reference(7);
  scene.di.Random = &random;
  scene.LightAt(sun, VECTEUR(0, 0, 0), ground);
  EXPECT_EQ(random.Next(), reference.Next());  // no draw was taken
  sun->Softness = 0.1f;
  random.Seed(7);
  reference.Seed(7);
  scene.LightAt(sun, VECTEUR(0, 0, 0), ground);
  reference.Next();
  reference.Next();  // one sample: the azimuth and the angle of its first candidate
  EXPECT_EQ(random.Next(), reference.Next());
  // A light behind the surface gives black, and false.
  sun->Softness = 0.0f;
  Ray toLight = Towards(VECTEUR(), VECTEUR(0, 0, 1));
  VECTEUR down(0, 0, -1);
  VECFLOAT c(1, 1, 1);
  EXPECT_FALSE(sun->ComputeLightContribution(scene.materials[0], 0.0f, &toLight, false, down, 1e-8f, c, &scene.gi,
                                             &scene.di, ground));
  EXPECT_EQ(c, VECFLOAT(0, 0, 0));
}

}  // namespace
