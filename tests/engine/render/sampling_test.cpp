#include "engine/render/sampling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <thread>
#include <vector>

#include "engine/platform/random.h"
#include "engine/render/ray_processing.h"
#include "tests/engine/render/render_scene.h"
#include "tests/printers.h"

using render_test::Scene;

namespace {

struct Pixel {
  CLRINT colour;
  float distance = 0.0f;
  bool operator==(const Pixel& o) const { return colour == o.colour && distance == o.distance; }
};

// Renders the rows y % stride == first of a width x height picture through SampleRect,
// with the draws of each pixel seeded from its position.
void RenderRows(TDrawInfo di, TGlobalInfo gi, int width, int height, int first, int stride, std::vector<Pixel>& picture,
                unsigned pictureSeed = 0) {
  RandomGenerator generator;
  di.Random = &generator;
  for (int y = first; y < height; y += stride)
    for (int x = 0; x < width; x++) {
      generator.Seed(PositionSeed(x, y, pictureSeed));
      Pixel& p = picture[y * width + x];
      p.distance = SampleRect(static_cast<float>(x), static_cast<float>(y), p.colour, &gi, &di);
    }
}

// The distance along a ray to a sphere or an axis-aligned box, computed here from the
// shapes' definitions (MissDistance when missed).
double ToSphere(const VECTEUR& o, const VECTEUR& d, const VECTEUR& c, double r) {
  const VECTEUR oc = o - c;
  const double b = Dot(oc, d), disc = b * b - (Dot(oc, oc) - r * r);
  return disc < 0.0 ? MissDistance : -b - std::sqrt(disc);
}

double ToBox(const VECTEUR& o, const VECTEUR& d, const VECTEUR& lo, const VECTEUR& hi) {
  double tNear = -1e300, tFar = 1e300;
  const double os[3] = {o.x, o.y, o.z}, ds[3] = {d.x, d.y, d.z}, l[3] = {lo.x, lo.y, lo.z}, h[3] = {hi.x, hi.y, hi.z};
  for (int i = 0; i < 3; i++) {
    if (ds[i] == 0.0) {
      if (os[i] < l[i] || os[i] > h[i])
        return MissDistance;
      continue;
    }
    double a = (l[i] - os[i]) / ds[i], b = (h[i] - os[i]) / ds[i];
    if (a > b)
      std::swap(a, b);
    tNear = std::max(tNear, a);
    tFar = std::min(tFar, b);
  }
  return tNear <= tFar && tNear > 0.0 ? tNear : MissDistance;
}

}  // namespace

TEST(SampleRect, APictureShowsTheObjectsWhereGeometryPutsThem) {
  Scene scene;
  scene.Add(render_test::Make<Sph>(-2.5, 20, 0, 3));
  scene.Add(render_test::Make<TCube>(5, 25, 1, 2));
  scene.Prepare(48, 36);
  const int width = 48, height = 36;
  std::vector<Pixel> picture(width * height);
  RenderRows(scene.di, scene.gi, width, height, 0, 1, picture);

  // The same rays through an empty scene give the background of every pixel.
  TBoundingVolume* root = scene.di.BoundingVolume;
  ObjectsList none(1, 0, 1);
  TBoundingVolume empty(&none);
  scene.di.BoundingVolume = &empty;
  std::vector<Pixel> background(width * height);
  RenderRows(scene.di, scene.gi, width, height, 0, 1, background);
  scene.di.BoundingVolume = root;

  int sphere = 0, cube = 0;
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++) {
      // The default camera at the origin looks along +y with +z up and +x to the right;
      // pixel (x, y) looks at (18·(x - 25), 17.5·48, 18·(y - 19)).
      const VECTEUR d = Normalised(VECTEUR(18.0 * (x - 25), 17.5 * 48, 18.0 * (y - 19)));
      const double toSphere = ToSphere(VECTEUR(), d, VECTEUR(-2.5, 20, 0), 3.0);
      const double toCube = ToBox(VECTEUR(), d, VECTEUR(3, 23, -1), VECTEUR(7, 27, 3));
      const double expected = std::min(toSphere, toCube);
      const Pixel& p = picture[y * width + x];
      const Pixel& sky = background[y * width + x];
      EXPECT_NEAR(p.distance, expected, expected == MissDistance ? 0.0 : 1e-4) << x << ", " << y;
      if (expected == MissDistance) {
        EXPECT_EQ(p.colour, sky.colour) << x << ", " << y;
      } else {
        EXPECT_FALSE(p.colour == sky.colour) << x << ", " << y;
        (toSphere < toCube ? sphere : cube)++;
      }
    }
  // Both silhouettes are there, the sphere the larger one on the left.
  EXPECT_GT(sphere, 60);
  EXPECT_GT(cube, 20);
  EXPECT_LT(picture[19 * width + 18].distance, MissDistance);
  EXPECT_EQ(picture[18 * width + 45].distance, MissDistance);
}

TEST(SampleRect, TwoThreadsRenderExactlyWhatOneThreadRenders) {
  Scene scene;
  scene.Add(render_test::Make<Sph>(-3, 20, 0, 3));
  scene.Add(render_test::Make<TCube>(5, 25, 1, 2));
  scene.landscape.HazeDensity = 0.002f;
  scene.landscape.HazeColour = CLR(200, 180, 160);
  scene.Prepare(40, 30);
  // Depth of field: each pixel draws its lens point, through the default camera that each
  // thread's copy of the record owns.
  scene.di.Aperture = 0.08f;
  scene.di.FocusDistance = 22.0f;
  scene.di.LensAxisU = VECTEUR(1.4, 0, 0);
  scene.di.LensAxisV = VECTEUR(0, 0, 1.4);
  ASSERT_NE(+scene.di.DefaultCamera, nullptr);
  const int width = 40, height = 30;
  std::vector<Pixel> single(width * height), shared(width * height), reseeded(width * height);
  RenderRows(scene.di, scene.gi, width, height, 0, 1, single, 0u);
  std::thread even(RenderRows, scene.di, scene.gi, width, height, 0, 2, std::ref(shared), 0u);
  std::thread odd(RenderRows, scene.di, scene.gi, width, height, 1, 2, std::ref(shared), 0u);
  even.join();
  odd.join();
  RenderRows(scene.di, scene.gi, width, height, 0, 1, reseeded, 99u);
  int differing = 0, changed = 0;
  for (int i = 0; i < width * height; i++) {
    differing += !(single[i] == shared[i]);
    changed += !(single[i] == reseeded[i]);
  }
  EXPECT_EQ(differing, 0);
  EXPECT_GT(changed, 0);  // the lens draws do shape the picture
}

TEST(SampleRect, TracesNothingWhenTheCallerSamples) {
  Scene scene;
  scene.Add(render_test::Make<Sph>(0, 20, 0, 5));
  scene.Prepare(20, 20);
  QualitySettings& quality = GetEnvironment()->Quality;
  quality.Distribution = quality.DepthOfFieldSampling = 1;
  CLRINT colour(1, 2, 3);
  EXPECT_NEAR(SampleRect(11, 11, colour, &scene.gi, &scene.di), 15.0, 1e-5);  // pinhole: traced
  scene.di.Aperture = 0.1f;                                                   // the caller samples the lens
  colour = CLRINT(1, 2, 3);
  EXPECT_EQ(SampleRect(11, 11, colour, &scene.gi, &scene.di), 0.0f);
  EXPECT_EQ(colour, CLRINT(1, 2, 3));
  scene.di.Aperture = 0.0f;
  quality.MultiSample = 1;
  EXPECT_EQ(SampleRect(11, 11, colour, &scene.gi, &scene.di), 0.0f);
  EXPECT_EQ(colour, CLRINT(1, 2, 3));
}

TEST(NewSampleRect, FirstSampleIsTheFirstCandidateAndLaterOnesTheFarthestOfFive) {
  float xs[8], ys[8];
  RandomGenerator generator(21), replay(21);
  const auto draw = [&replay] { return static_cast<float>(replay.Next() * 3.05185e-05); };
  NewSampleRect(xs, ys, 0, &generator);
  EXPECT_EQ(xs[0], draw());
  EXPECT_EQ(ys[0], draw());
  for (int n = 1; n < 8; n++) {
    float bestX = -1, bestY = -1, best = -1;
    for (int c = 0; c < 5; c++) {
      const float x = draw(), y = draw();
      float nearest = 1e8f;
      for (int i = 0; i < n; i++)
        nearest = std::min(nearest, std::fabs(x - xs[i]) + std::fabs(y - ys[i]));
      if (nearest > best) {
        best = nearest;
        bestX = x;
        bestY = y;
      }
    }
    NewSampleRect(xs, ys, n, &generator);
    EXPECT_EQ(xs[n], bestX);
    EXPECT_EQ(ys[n], bestY);
  }
}

TEST(StandardDiv, MeanAndSpreadOfTheSamples) {
  CLRINT same[3] = {CLRINT(10, 20, 30), CLRINT(10, 20, 30), CLRINT(10, 20, 30)};
  CLRINT mean;
  EXPECT_EQ(StandardDiv(same, 3, mean), 0.0f);
  EXPECT_EQ(mean, CLRINT(10, 20, 30));
  CLRINT extremes[2] = {CLRINT(0, 0, 0), CLRINT(255, 255, 255)};
  EXPECT_NEAR(StandardDiv(extremes, 2, mean), 156.16, 0.01);  // sqrt(3 (127² + 128²)) / 2
  EXPECT_EQ(mean, CLRINT(127, 127, 127));
  // No samples: no mean and no spread, rather than a division by zero.
  EXPECT_EQ(StandardDiv(extremes, 0, mean), 0.0f);
  EXPECT_EQ(mean, CLRINT(0, 0, 0));
}
