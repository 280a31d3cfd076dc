#include "engine/render/ray_processing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "engine/functions/colour_table.h"
#include "engine/functions/fonction3d.h"
#include "engine/functions/noise.h"
#include "engine/functions/options.h"
#include "tests/engine/render/render_scene.h"
#include "tests/printers.h"

using render_test::Make;
using render_test::RayAlong;
using render_test::Scene;

namespace {

void ExpectVector(const VECTEUR& v, const VECTEUR& expected, double tolerance) {
  EXPECT_NEAR(v.x, expected.x, tolerance);
  EXPECT_NEAR(v.y, expected.y, tolerance);
  EXPECT_NEAR(v.z, expected.z, tolerance);
}

// The fog along a path integrated numerically (Simpson) from the density of the landscape.
double IntegratedFog(const TPaysage& p, double z, const VECTEUR& dir, double d) {
  const double s = dir.z / std::sqrt(dir.x * dir.x + dir.y * dir.y);
  const auto density = [&](double u) {
    return p.FogDensity + p.FogHeightDensity * std::exp(-p.FogFalloff * (z + s * u - p.FogAltitude));
  };
  const int n = 2000;
  double sum = density(0) + density(d);
  for (int i = 1; i < n; i++)
    sum += density(d * i / n) * (i % 2 ? 4 : 2);
  return sum * d / (3.0 * n);
}

CLRINT TableColour(const TableDeCouleurs& table, int position, double factor = 1.0) {
  CLRINT c;
  ExtraireCouleur(position, &table, c);
  return CLRINT(static_cast<uint16_t>(c.r * factor), static_cast<uint16_t>(c.g * factor),
                static_cast<uint16_t>(c.b * factor));
}

const VECTEUR Light = Normalised(VECTEUR(0.6, 2.0, 3.0));

}  // namespace

TEST(NearestHit, FillsTheHitAtTheObjectsRealSizeWithTheSurfaceNormal) {
  Scene scene;
  Sph* ellipsoid = new Sph(0);
  ellipsoid->Scale(2, 3, 4, nullptr, false);
  ellipsoid->MoveTo(10, 0, 0, nullptr);
  scene.Add(ellipsoid);
  scene.Add(Make<TPlane>(0, 0, -50, 2));
  scene.Prepare();
  VECTEUR wp, op, wn, on;
  TObject3D* object = nullptr;
  Ray ray = RayAlong(VECTEUR(11, -20, 1), VECTEUR(0, 1, 0));
  const double t = FindNearestHit(&ray, &scene.di, RayMaxDistance, wp, op, wn, on, object);
  ASSERT_EQ(object, ellipsoid);
  const double y = -3.0 * std::sqrt(1.0 - 0.25 - 1.0 / 16.0);
  EXPECT_NEAR(t, 20.0 + y, 1e-6);
  ExpectVector(wp, VECTEUR(11, y, 1), 1e-6);
  // At real size the object point is the offset from the centre, and the world normal is
  // the ellipsoid's gradient.
  ExpectVector(op, VECTEUR(1, y, 1), 1e-6);
  ExpectVector(wn, Normalised(VECTEUR(1.0 / 4, y / 9, 1.0 / 16)), 1e-6);
  ExpectVector(on, Normalised(VECTEUR(1.0, y, 1.0)), 1e-6);
  // A plane keeps its own coordinates.
  Ray down = RayAlong(VECTEUR(3, 4, 10), VECTEUR(0, 0, -1));
  EXPECT_NEAR(FindNearestHit(&down, &scene.di, RayMaxDistance, wp, op, wn, on, object), 60.0, 1e-6);
  ExpectVector(op, VECTEUR(1.5, 2, 0), 1e-6);
  // Out of reach, or without a direction: nothing.
  EXPECT_EQ(FindNearestHit(&down, &scene.di, 50.0f, wp, op, wn, on, object), 0.0);
  EXPECT_EQ(object, nullptr);
  Ray still = RayAlong(VECTEUR(10, -20, 0), VECTEUR(0, 0, 0));
  EXPECT_EQ(FindNearestHit(&still, &scene.di, RayMaxDistance, wp, op, wn, on, object), 0.0);
}

TEST(ProcessARay, ShadowRaysAndTheHazeAndFogOverSurfaces) {
  Scene scene;
  scene.Add(Make<Sph>(0, 10, 0, 2));
  scene.Prepare();
  const auto trace = [&](float travelled, bool shadow = false) {
    Ray ray = RayAlong(VECTEUR(0, 0, 0), VECTEUR(0, 1, 0));
    ray.distance = travelled;
    ray.shadowRay = shadow;
    CLRINT colour;
    EXPECT_NEAR(ProcessARay(&ray, &scene.di, RayMaxDistance, colour, &scene.gi), 8.0, 1e-9);
    EXPECT_NEAR(ray.distance, travelled + 8.0f, 1e-5);
    return colour;
  };
  Ray escaping = RayAlong(VECTEUR(0, 0, 0), VECTEUR(0, -1, 0));
  escaping.shadowRay = true;
  CLRINT colour;
  EXPECT_EQ(ProcessARay(&escaping, &scene.di, RayMaxDistance, colour, &scene.gi), MissDistance);
  EXPECT_EQ(colour, CLRINT(255, 255, 255));

  const CLRINT surface = trace(0.0f);  // no fog, no haze: as the surface gives it
  scene.landscape.HazeDensity = 0.01f;
  scene.landscape.HazeColour = CLR(40, 20, 10);  // blue, green, red
  const double y = std::min(0.00196078 * surface.r + 0.001372549 * surface.g + 0.000588235 * surface.b, 1.0);
  const double h = 0.25 * 100 * 0.01 * (1.0 - 0.8 * y);  // 100 travelled in all
  EXPECT_EQ(trace(92.0f), CLRINT(surface.r + static_cast<int>(10 * h), surface.g + static_cast<int>(20 * h),
                                 surface.b + static_cast<int>(40 * h)));
  EXPECT_EQ(trace(92.0f, true), trace(0.0f, true));  // no atmosphere on shadow rays

  // Fog whose reference altitude lies far above saturates: the pure fog colour.
  scene.landscape.HazeDensity = 0.0f;
  scene.landscape.FogColour = CLR(200, 150, 100);
  scene.landscape.FogHeightDensity = 0.001f;
  scene.landscape.FogFalloff = 0.1f;
  scene.landscape.FogAltitude = 1000.0f;
  EXPECT_EQ(trace(0.0f), CLRINT(100, 150, 200));
}

TEST(ProcessARay, TheDispatchFollowsTheRayMode) {
  Scene scene;
  scene.Add(Make<Sph>(0, 10, 0, 2));
  scene.Prepare();
  scene.gi.PreviewShape = 1;
  scene.gi.PreviewSize = 3.0f;
  scene.gi.PreviewObject = scene.objects[0];
  const VECTEUR origin(0, -20, 0.5), direction(0, 1, 0);
  // The scene's sphere, the preview sphere of radius 3 at the origin, the preview object.
  const double expected[3] = {30.0 - std::sqrt(4.0 - 0.25), 20.0 - std::sqrt(9.0 - 0.25), 30.0 - std::sqrt(4.0 - 0.25)};
  for (int mode = 0; mode < 3; mode++) {
    scene.gi.RayMode = mode;
    Ray viaDispatch = RayAlong(origin, direction), direct = RayAlong(origin, direction);
    CLRINT a, b;
    EXPECT_NEAR(TraceRay(&viaDispatch, a, &scene.gi, &scene.di), expected[mode], 1e-9);
    const double t = mode == 0   ? ProcessARay(&direct, &scene.di, RayMaxDistance, b, &scene.gi)
                     : mode == 1 ? ExtraireRay(&direct, &scene.di, RayMaxDistance, b, &scene.gi)
                                 : ExtraireRayObject(&direct, &scene.di, RayMaxDistance, b, &scene.gi);
    EXPECT_NEAR(t, expected[mode], 1e-9);
    EXPECT_EQ(a, b) << "mode " << mode;
  }
  scene.gi.RayMode = 7;
  Ray other = RayAlong(origin, direction);
  CLRINT untouched(1, 2, 3);
  EXPECT_EQ(TraceRay(&other, untouched, &scene.gi, &scene.di), MissDistance);
  EXPECT_EQ(untouched, CLRINT(1, 2, 3));
}

TEST(FogAmount, MatchesTheIntegratedDensityGrowsWithLengthAndSaturates) {
  TPaysage p;
  p.FogDensity = 0.002f;
  p.FogHeightDensity = 0.01f;
  p.FogAltitude = 20.0f;
  p.FogFalloff = 0.05f;
  const VECTEUR rising = Normalised(VECTEUR(1, 2, 0.4)), falling = Normalised(VECTEUR(-1, 0.5, -0.3));
  for (const VECTEUR& dir : {rising, falling, VECTEUR(1, 1, 1e-7)}) {
    for (double z : {-30.0, 5.0, 60.0}) {
      EXPECT_EQ(FogAmount(p, z, dir, 0.0), 0.0);
      double previous = 0.0;
      for (double d : {1.0, 10.0, 100.0, 400.0}) {
        const double amount = FogAmount(p, z, dir, d);
        if (amount == 100.0)
          break;  // saturated
        EXPECT_NEAR(amount, IntegratedFog(p, z, dir, d), 1e-6 * std::max(1.0, amount));
        EXPECT_GT(amount, previous);
        previous = amount;
      }
    }
  }
  // Vertical rays take the slope as dir.z x 1e8 instead of dividing by zero.
  EXPECT_NEAR(FogAmount(p, 0.0, VECTEUR(0, 0, 1), 10.0), 10.0 * p.FogDensity, 1e-7);
  EXPECT_EQ(FogAmount(p, 0.0, VECTEUR(0, 0, -1), 10.0), 100.0);
  EXPECT_EQ(FogAmount(p, -2000.0, rising, 1.0), 100.0);
  // Without height fog only the constant density counts, even far below its altitude.
  p.FogHeightDensity = 0.0f;
  EXPECT_NEAR(FogAmount(p, -5000.0, rising, 30.0), 30.0 * p.FogDensity, 1e-9);

  EXPECT_NEAR(FogPathLength(0.0), 0.0095801063, 1e-12);
  double previous = FogPathLength(0.0);
  for (double length = 1.0; length < 1e9; length *= 3.0) {
    EXPECT_GT(FogPathLength(length), previous);
    previous = FogPathLength(length);
  }
  EXPECT_NEAR(previous, 1510.0, 1.0);
}

TEST(PreviewRays, TestShapesAreHitOnTheirSurfacesAndNothingBefore) {
  Scene scene;
  scene.Prepare();
  TGlobalInfo& gi = scene.gi;
  std::mt19937 generator(11);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  const auto offSurface = [](int shape, const VECTEUR& p) {
    const double r = std::hypot(p.x, p.y), e = 1e-9;
    switch (shape) {
      case 0:
        return std::fabs(std::max({std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)}) - 1.0);
      case 2:
        return std::fabs(p.z) > 0.6667 + e || r > 1 + e
                   ? 1.0
                   : std::min(std::fabs(r - 1), std::fabs(std::fabs(p.z) - 0.6667));
      case 3:
        return p.z < -0.6667 - e || r > 1 + e ? 1.0 : std::min(std::fabs(r - 0.6 * (1 - p.z)), std::fabs(p.z + 0.6667));
      case 4:
        return std::fabs(p.z);
      default:
        return std::fabs(Length(p) - 1.0);
    }
  };
  for (int shape = 0; shape < 6; shape++) {
    gi.PreviewShape = shape;
    int hits = 0;
    for (int i = 0; i < 200; i++) {
      const VECTEUR origin = Normalised(VECTEUR(unit(generator), unit(generator), unit(generator))) * 5.0;
      const VECTEUR target(0.5 * unit(generator), 0.5 * unit(generator), 0.5 * unit(generator));
      Ray ray = RayAlong(origin, Normalised(target - origin)), half = ray;
      CLRINT colour;
      const double t = ExtraireRay(&ray, &scene.di, RayMaxDistance, colour, &gi);
      if (t == MissDistance)
        continue;
      hits++;
      const VECTEUR p = origin + ray.direction * t;
      EXPECT_LT(offSurface(shape, p), 1e-6) << "shape " << shape;
      ExpectVector(gi.DepthHitPoints[1], p, 1e-12);
      EXPECT_EQ(ExtraireRay(&half, &scene.di, static_cast<float>(t * 0.5), colour, &gi), MissDistance);
    }
    EXPECT_GT(hits, 100) << "shape " << shape;
  }
}

TEST(PreviewRays, BackgroundGradientChequeredFloorAndTheShapesShadow) {
  InitNoise();
  Scene scene;
  Sph* sphere = Make<Sph>(0, 0, 0, 1);
  scene.Add(sphere);
  scene.Prepare();
  TGlobalInfo& gi = scene.gi;
  gi.PreviewShape = 1;
  gi.PreviewFloor = -2.0f;
  gi.PreviewObject = sphere;
  Options functions, materials;
  GetDefaultOptions(functions, materials);
  const TableDeCouleurs& table = materials.BackgroundColours;
  CLRINT colour;
  const auto preview = [&](double (*function)(Ray*, TDrawInfo*, float, CLRINT&, TGlobalInfo*), VECTEUR origin,
                           VECTEUR direction) {
    Ray ray = RayAlong(origin, direction);
    function(&ray, &scene.di, RayMaxDistance, colour, &gi);
    return colour;
  };
  EXPECT_EQ(preview(ExtraireRay, VECTEUR(5, 5, 0), VECTEUR(0, 0, 1)), CLRINT(149, 191, 255));  // zenith
  EXPECT_EQ(preview(ExtraireRay, VECTEUR(5, 5, 0), VECTEUR(0, 0.8660254037844386, 0.5)), TableColour(table, 5000));
  // The floor: even squares by the distance from the centre, odd ones the far end; the
  // shape's shadow (below it along the fixed light) darkens the floor to 0.3.
  const VECTEUR down(0, 0, -1), shadowed = Light * (-2.0 / Light.z);
  const int radial = static_cast<int>(500 * std::hypot(shadowed.x, shadowed.y));
  EXPECT_EQ(preview(ExtraireRay, VECTEUR(3.1, 3.1, 10), down),
            TableColour(table, static_cast<int>(500 * std::sqrt(2 * 3.1 * 3.1))));
  ExpectVector(gi.DepthHitPoints[1], VECTEUR(3.1, 3.1, -2), 1e-12);
  EXPECT_EQ(preview(ExtraireRay, VECTEUR(3.75, 3.25, 10), down), TableColour(table, 10000));
  EXPECT_EQ(preview(ExtraireRay, VECTEUR(shadowed.x, shadowed.y, 10), down), TableColour(table, radial, 0.3));
  // The object preview alternates the two ends of the table.
  EXPECT_EQ(preview(ExtraireRayObject, VECTEUR(3.1, 3.1, 10), down), TableColour(table, 0));
  EXPECT_EQ(preview(ExtraireRayObject, VECTEUR(shadowed.x, shadowed.y, 10), down), TableColour(table, 0, 0.3));

  // The function preview: the value through the value colours, lit by the fixed light;
  // its floor is shadowed by a direct test against the shape.
  Fonction3D function;  // 0.5 everywhere
  const CLRINT grey = TableColour(function.DefaultOptions.ValueColours, 5000);
  ExtraireFonc(Light * 5.0, -Light, &function, colour, &gi, &scene.di);
  EXPECT_EQ(colour, grey);
  ExtraireFonc(-Light * 5.0, Light, &function, colour, &gi, &scene.di);
  EXPECT_EQ(colour, TableColour(function.DefaultOptions.ValueColours, 5000, 0.4));
  ExtraireFonc(VECTEUR(shadowed.x, shadowed.y, 10), down, &function, colour, &gi, &scene.di);
  EXPECT_EQ(colour, TableColour(function.DefaultOptions.BackgroundColours, radial, 0.3));
  function.DefaultOptions.Background = 1;  // plain, whatever the direction
  ExtraireFonc(VECTEUR(0, 0, 10), VECTEUR(1, 0, 0), &function, colour, &gi, &scene.di);
  EXPECT_EQ(colour, TableColour(function.DefaultOptions.BackgroundColours, 0));
}
