#include "engine/render/camera.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/lights/light.h"
#include "engine/objects/object_tools.h"
#include "engine/platform/random.h"
#include "engine/render/ray_processing.h"
#include "tests/engine/render/render_scene.h"
#include "tests/printers.h"

using render_test::RayAlong;
using render_test::Scene;

namespace {

void ExpectVector(const VECTEUR& v, double x, double y, double z, double tolerance = 1e-6) {
  EXPECT_NEAR(v.x, x, tolerance);
  EXPECT_NEAR(v.y, y, tolerance);
  EXPECT_NEAR(v.z, z, tolerance);
}

double AngleBetween(const VECTEUR& a, const VECTEUR& b) {
  return std::acos(std::clamp(Dot(a, b) / (Length(a) * Length(b)), -1.0, 1.0));
}

}  // namespace

TEST(Camera, DefaultCameraIsOwnedByTheRecordAndEachCopyOwnsItsOwn) {
  Scene scene;
  scene.Prepare();
  TDrawInfo& di = scene.di;
  ASSERT_NE(+di.Camera, nullptr);
  EXPECT_EQ(+di.Camera, +di.DefaultCamera);
  EXPECT_NEAR(di.FocalLength, 17.5f, 0.0f);
  ExpectVector(di.CameraPosition, 0, 0, 0, 0.0);
  ExpectVector(di.CameraDirection, 0, 1, 0, 0.0);
  // A second call gives the same camera back at its defaults.
  di.Camera->MoveTo(4, 5, 6, nullptr);
  EXPECT_EQ(GetActiveCamera(&di), +di.DefaultCamera);
  ExpectVector(di.CameraPosition, 0, 0, 0, 0.0);

  TDrawInfo copy = di;
  EXPECT_EQ(+copy.Camera, +copy.DefaultCamera);
  EXPECT_NE(+copy.Camera, +di.Camera);
  EXPECT_EQ(*copy.Camera, *di.Camera);

  // A landscape's own camera is taken instead, and the default one let go.
  TCamera* own = new TCamera(nullptr);
  own->MoveTo(1, 2, 3, nullptr);
  scene.Add(own);
  EXPECT_EQ(GetActiveCamera(&di), own);
  EXPECT_EQ(+di.DefaultCamera, nullptr);
  ExpectVector(di.CameraPosition, 1, 2, 3, 0.0);
  TDrawInfo noLandscape;
  EXPECT_EQ(GetActiveCamera(&noLandscape), nullptr);
}

TEST(Camera, CopyEqualityFocalLimitsAndALevelCameraNeverRolls) {
  TCamera camera(nullptr);
  camera.Rotate(15, 25, 35, nullptr, false);
  camera.Rotate(-40, 10, 5, nullptr, false);
  EXPECT_NEAR(camera.forward.m[2][0], 0.0, 1e-6);  // its x axis stays horizontal
  ExpectVector(camera.inverse * (camera.forward * VECTEUR(0.3, -0.2, 0.9)), 0.3, -0.2, 0.9, 1e-5);
  TCamera rolling(nullptr);
  rolling.LevelHorizon = 0.0f;
  rolling.Rotate(15, 25, 35, nullptr, false);
  EXPECT_GT(std::fabs(rolling.forward.m[2][0]), 0.05);

  TCamera copy(&camera);
  EXPECT_EQ(copy, camera);
  copy.FocusDistance = 50.0f;
  EXPECT_FALSE(copy == camera);
  camera.Scale(100, 100, 100, nullptr, false);
  EXPECT_NEAR(camera.FocalLength, 1750.0f, 1e-3);
  camera.Scale(10, 10, 10, nullptr, false);
  EXPECT_NEAR(camera.FocalLength, 5000.0f, 0.0f);
  camera.Scale(0, 0, 0, nullptr, false);
  EXPECT_NEAR(camera.FocalLength, 8.0f, 0.0f);
}

TEST(Camera, LightsThatFollowTheCameraMoveAndTurnWithItUnlessSelected) {
  Scene scene;
  TCamera* camera = render_test::Make<TCamera>(10, 20, 5, 1);
  TDirectionLight* sun = new TDirectionLight();
  TDirectionLight* fixed = new TDirectionLight();
  sun->FollowCamera = 0;
  fixed->FollowCamera = 0;
  sun->MoveTo(40, 20, 50, nullptr);
  sun->Rotate(30, 0, 0, nullptr, true);
  scene.Add(camera);
  scene.Add(sun);
  scene.Add(fixed);
  scene.landscape.SunFollowsCamera = 1;
  GetActiveCamera(&scene.di);
  const VECTEUR offset = sun->GetCenter() - camera->GetCenter(), direction = sun->Direction();
  const VECTEUR view = camera->Direction();
  camera->Rotate(0, 0, 40, &scene.di, false);
  // The first directional light turned as the view did: its relation to the view is kept.
  const VECTEUR turned = sun->GetCenter() - camera->GetCenter();
  EXPECT_NEAR(Dot(turned, camera->Direction()), Dot(offset, view), 1e-4);
  EXPECT_NEAR(Dot(sun->Direction(), camera->Direction()), Dot(direction, view), 1e-5);
  EXPECT_NEAR(turned.z, offset.z, 1e-4);
  EXPECT_NEAR(Length(turned), Length(offset), 1e-4);

  // Moving: a following light keeps its offset and aims at the camera; the others stay.
  sun->FollowCamera = 1;
  const VECTEUR before = sun->GetCenter() - camera->GetCenter();
  camera->MoveOf(3, -2, 1, &scene.di);
  ExpectVector(sun->GetCenter() - camera->GetCenter(), before.x, before.y, before.z, 1e-4);
  const VECTEUR aim = Normalised(camera->GetCenter() - sun->GetCenter());
  ExpectVector(sun->Direction(), aim.x, aim.y, aim.z, 1e-5);
  ExpectVector(fixed->GetCenter(), 0, 0, 0, 0.0);

  ObjectsList selection(1, 0, 1);
  selection.Add(sun);
  ConnectSelectedObjectList(&selection);
  const VECTEUR kept = sun->GetCenter();
  camera->Rotate(0, 0, 40, &scene.di, false);
  camera->MoveOf(3, -2, 1, &scene.di);
  ConnectSelectedObjectList(nullptr);
  ExpectVector(sun->GetCenter(), kept.x, kept.y, kept.z, 0.0);
}

TEST(Camera, PickedOnlyInOrthographicViewsThroughItsSymbol) {
  TCamera camera(nullptr);
  camera.MoveTo(5, 5, 0, nullptr);
  TDrawInfo di;
  di.ViewType = ViewTop;
  double t = 1000.0;
  VECTEUR point, normal;
  // Behind the centre only the body is there, CameraBodyHalfHeight above it (camera y is z).
  Ray onBody = RayAlong(VECTEUR(5, 2, 100), VECTEUR(0, 0, -1));
  EXPECT_EQ(camera.FindNearestIntersection(&onBody, &di, t, point, normal), &camera);
  EXPECT_NEAR(t, 100.0 - CameraBodyHalfHeight, 1e-9);
  // The view bar reaches 0.2 x FocalLength ahead; beyond it nothing.
  Ray onBar = RayAlong(VECTEUR(5, 8, 100), VECTEUR(0, 0, -1)),
      beyond = RayAlong(VECTEUR(5, 8.6, 100), VECTEUR(0, 0, -1));
  t = 1000.0;
  EXPECT_EQ(camera.FindNearestIntersection(&onBar, &di, t, point, normal), &camera);
  EXPECT_EQ(camera.FindNearestIntersection(&beyond, &di, t, point, normal), nullptr);
  di.ViewType = ViewCamera;
  t = 1000.0;
  EXPECT_EQ(camera.FindNearestIntersection(&onBody, &di, t, point, normal), nullptr);
}

TEST(Camera, PerspectiveProjectionCentresTheViewAxisAndStaysFinite) {
  Scene scene;
  scene.Prepare();
  TDrawInfo& di = scene.di;
  di.CentreX = 25;
  di.CentreY = 19;
  di.Project = ChooseProjection(ViewCamera, ProjectCamera);
  float sx, sy, nearX, farX, upY;
  TransformationEcranExterne(&di, sx, sy, VECTEUR(0, 50, 0));
  EXPECT_NEAR(sx, 25.0f, 1e-5);
  EXPECT_NEAR(sy, 18.0f, 1e-5);
  TransformationEcranExterne(&di, nearX, sy, VECTEUR(1, 10, 0));
  TransformationEcranExterne(&di, farX, sy, VECTEUR(1, 20, 0));
  TransformationEcranExterne(&di, sx, upY, VECTEUR(0, 10, 1));
  EXPECT_NEAR(nearX - 25.0f, 2.0f * (farX - 25.0f), 1e-4);  // right is right, shrinking with depth
  EXPECT_GT(farX, 25.0f);
  EXPECT_LT(upY, 18.0f);
  TransformationEcranExterne(&di, sx, sy, VECTEUR(3, 0, 0));  // in the camera's own plane
  EXPECT_TRUE(std::isfinite(sx) && std::isfinite(sy));
}

TEST(Camera, CentrePixelLooksAlongTheViewAndEdgePixelAtTheHalfFieldOfView) {
  Scene scene;
  TCamera* camera = new TCamera(nullptr);
  camera->Rotate(20, 0, 35, nullptr, true);
  camera->FocalLength = 30.0f;
  scene.Add(camera);
  scene.Prepare(96, 72);
  const VECTEUR right(-camera->forward.m[0][0], -camera->forward.m[1][0], -camera->forward.m[2][0]);
  for (float zoom : {1.0f, 2.0f}) {
    scene.di.Zoom = zoom;
    Ray ray;
    LaunchARay(&ray, 49, 37, &scene.di);
    const VECTEUR view = scene.di.CameraDirection;
    ExpectVector(ray.direction, view.x, view.y, view.z);
    ExpectVector(ray.origin, 0, 0, 0, 0.0);
    LaunchARay(&ray, 49 + 48, 37, &scene.di);
    EXPECT_NEAR(AngleBetween(ray.direction, view), std::atan(9.0 / (30.0 * zoom)), 1e-6);
    EXPECT_GT(Dot(ray.direction, right), 0.0);
  }
  // A zero focal length: the centre ray has no direction and sees the sky, without NaN.
  scene.di.FocalLength = 0.0f;
  Ray ray;
  LaunchARay(&ray, 49, 37, &scene.di);
  CLRINT colour;
  EXPECT_EQ(ProcessARay(&ray, &scene.di, RayMaxDistance, colour, &scene.gi), MissDistance);
}

TEST(Camera, PanoramicLensSpreadsTheAngleEvenly) {
  Scene scene;
  scene.landscape.Panoramic = 1;
  scene.landscape.PanoramicFactor = 3.0f;  // radians across the picture
  scene.Prepare(60, 40);
  GetEnvironment()->FlatLens = 0;
  Ray ray;
  optique(10, 0, 60, &ray, &scene.di);
  EXPECT_NEAR(AngleBetween(ray.direction, scene.di.CameraDirection), 0.5, 1e-9);
  optique(0, -20, 60, &ray, &scene.di);
  EXPECT_NEAR(AngleBetween(ray.direction, scene.di.CameraDirection), 1.0, 1e-9);
  EXPECT_LT(ray.direction.z, 0.0);
  optique(10, 5, 0, &ray, &scene.di);  // no width: straight ahead, no division by zero
  ExpectVector(ray.direction, 0, 1, 0, 1e-12);
  GetEnvironment()->FlatLens = 1;
  optique(10, 0, 60, &ray, &scene.di);
  EXPECT_NEAR(AngleBetween(ray.direction, scene.di.CameraDirection), std::atan(180.0 / (17.5 * 60)), 1e-9);
}

TEST(Camera, DepthOfFieldRaysStartOnTheLensAndMeetAtTheFocusDistance) {
  Scene scene;
  TCamera* camera = render_test::Make<TCamera>(3, -4, 2, 1);
  camera->Aperture = 0.1f;
  camera->FocusDistance = 40.0f;
  scene.Add(camera);
  scene.Prepare(64, 48);
  TDrawInfo& di = scene.di;
  EXPECT_NEAR(Length(di.LensAxisU), 17.5 * 0.1, 1e-5);
  EXPECT_NEAR(Dot(di.LensAxisV, di.CameraDirection), 0.0, 1e-9);
  Ray pinhole;
  di.Aperture = 0.0f;
  LaunchARay(&pinhole, 40, 30, &di);
  ExpectVector(pinhole.origin, 3, -4, 2, 0.0);
  const VECTEUR sharp = pinhole.origin + pinhole.direction * 40.0;
  di.Aperture = 0.1f;
  RandomGenerator generator(7);
  di.Random = &generator;
  double farthest = 0.0;
  for (int i = 0; i < 50; i++) {
    Ray ray;
    LaunchARay(&ray, 40, 30, &di);
    const VECTEUR offset = ray.origin - pinhole.origin;
    farthest = std::max(farthest, Length(offset));
    EXPECT_LE(Length(offset), 17.5 * 0.1 + 1e-9);
    EXPECT_NEAR(Dot(offset, di.CameraDirection), 0.0, 1e-9);
    const VECTEUR reached = ray.origin + ray.direction * Length(sharp - ray.origin);
    ExpectVector(reached, sharp.x, sharp.y, sharp.z, 1e-9);
  }
  EXPECT_GT(farthest, 0.5);
  // When the caller samples, the sub-pixel position picks the lens point.
  GetEnvironment()->Quality.MultiSample = 1;
  Ray corner;
  LaunchARay(&corner, 40, 30, &di);
  ExpectVector(corner.origin, 3, -4, 2, 0.0);
}

TEST(Camera, RaysOfACameraInsideASphereCarryItAndMeetItFromInside) {
  Scene scene;
  Sph* sphere = render_test::Make<Sph>(0, 0, 0, 10);
  scene.Add(sphere);
  scene.Prepare();
  ObjectsList containers(1, 0, 1);
  containers.Add(sphere);
  scene.di.ContainersOfCamera = &containers;
  Ray ray;
  LaunchARay(&ray, 10, 30, &scene.di);
  ASSERT_NE(ray.insideObjects, nullptr);
  EXPECT_NE(ray.insideObjects, &containers);
  EXPECT_TRUE(ray.insideObjects->HasMember(sphere));
  CLRINT colour;
  EXPECT_NEAR(ProcessARay(&ray, &scene.di, RayMaxDistance, colour, &scene.gi), 10.0, 1e-6);
}

TEST(Camera, InitVariablesHandlesAVerticalViewAndNeedsNoLight) {
  Scene scene;
  TCamera* camera = new TCamera(nullptr);
  camera->Rotate(180, 0, 0, nullptr, true);  // straight down
  scene.Add(camera);
  scene.landscape.LightColour = VECFLOAT(0.9f, 0.8f, 0.7f);
  scene.landscape.SkyTint = VECFLOAT(0.1f, 0.2f, 0.3f);
  scene.Prepare(200, 100);
  TDrawInfo& di = scene.di;
  EXPECT_EQ(+scene.gi.SunLight, nullptr);
  EXPECT_EQ(di.SunTint, scene.landscape.LightColour);
  EXPECT_EQ(di.SkyTint, scene.landscape.SkyTint);
  EXPECT_NEAR(di.PixelAngle, 18.0 / 17.5 / 200.0, 1e-9);
  EXPECT_NEAR(di.HorizonRightX * di.HorizonRightX + di.HorizonRightY * di.HorizonRightY, 1.0, 1e-3);
  camera->forward.m[0][2] = camera->forward.m[1][2] = 0.0f;  // exactly vertical
  camera->forward.m[2][2] = -1.0f;
  camera->GetNormal();
  InitVariables(&scene.gi, &di);
  EXPECT_NEAR(di.CosPitch, 0.0f, 0.0f);
  EXPECT_NEAR(di.HorizonRightX, 1.0f, 0.0f);
  EXPECT_NEAR(di.HorizonRightY, 0.0f, 0.0f);
  camera->Rotate(30, 0, 50, nullptr, true);
  InitVariables(&scene.gi, &di);
  const VECTEUR right(di.HorizonRightX, di.HorizonRightY, 0.0);
  EXPECT_NEAR(Length(right), 1.0, 1e-6);
  EXPECT_NEAR(Dot(right, di.CameraDirection), 0.0, 1e-6);
  camera->FocalLength = 0.0f;
  InitVariables(&scene.gi, &di);
  EXPECT_NEAR(di.PixelAngle, 0.0f, 0.0f);
}
