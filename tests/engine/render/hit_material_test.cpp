#include "engine/objects/hit_material.h"

#include <gtest/gtest.h>

#include <thread>

#include "engine/objects/aggregates.h"
#include "engine/render/ray_processing.h"
#include "tests/engine/render/render_scene.h"

using render_test::RayAlong;
using render_test::Scene;

namespace {

// A sphere whose upper half (z > 0 in its own space) is material 7 and lower half 9,
// reported per hit the way meshes and plants report their parts.
class TwoToneSphere : public Sph {
 public:
  TwoToneSphere() : Sph(1) {}
  BasicObject* FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) override {
    BasicObject* hit = Sph::FindNearestIntersection(ray, di, t, point, normal);
    if (hit)
      ReportHitMaterial(this, point, point.z > 0.0 ? 7 : 9);
    return hit;
  }
};

unsigned MaterialAlong(Scene& scene, const VECTEUR& origin, const VECTEUR& direction, TObject3D*& object) {
  VECTEUR wp, op, wn, on;
  Ray ray = RayAlong(origin, direction);
  unsigned material = 12345;
  FindNearestHit(&ray, &scene.di, RayMaxDistance, wp, op, wn, on, object, &material);
  return material;
}

}  // namespace

TEST(HitMaterial, TravelsWithTheHitKeptAndFallsBackToTheObjectsOwn) {
  Scene scene;
  TwoToneSphere* tone = new TwoToneSphere();
  tone->Scale(2, 2, 2, nullptr, false);
  scene.Add(tone);
  Sph* plain = new Sph(4);
  plain->MoveTo(0, 10, 0, nullptr);
  scene.Add(plain);
  scene.Prepare();
  TObject3D* object = nullptr;
  EXPECT_EQ(MaterialAlong(scene, VECTEUR(0, -20, 1), VECTEUR(0, 1, 0), object), 7u);
  EXPECT_EQ(object, tone);
  EXPECT_EQ(MaterialAlong(scene, VECTEUR(0, -20, -1), VECTEUR(0, 1, 0), object), 9u);
  // The sphere's reports do not stick to the next object hit: a plain object gives its
  // own material, even right after the two-tone sphere reported a hit in the same search.
  EXPECT_EQ(MaterialAlong(scene, VECTEUR(0, 10, 20), VECTEUR(0, 0, -1), object), 4u);
  EXPECT_EQ(object, plain);
}

TEST(HitMaterial, AConstructiveSolidKeepsTheMaterialOfTheBoundaryItReturns) {
  Scene scene;
  ObjectsList parts(1, 0, 1);
  TwoToneSphere* tone = new TwoToneSphere();
  tone->Scale(2, 2, 2, nullptr, false);
  parts.Add(tone);
  scene.Add(new TCSGUnion(&parts));
  scene.Prepare();
  // The union asks for every boundary along the ray: the last one reported is the exit
  // through the lower half, but the entry through the upper half is the one kept.
  TObject3D* object = nullptr;
  EXPECT_EQ(MaterialAlong(scene, VECTEUR(0, -20, 20), Normalised(VECTEUR(0, 1, -1)), object), 7u);
  EXPECT_EQ(object, tone);
}

TEST(HitMaterial, ReportsStayOnTheirThread) {
  Sph sphere(0);
  const VECTEUR point(1, 2, 3);
  ForgetHitMaterials();
  ReportHitMaterial(&sphere, point, 5);
  unsigned elsewhere = 0;
  bool foundElsewhere = true;
  std::thread other([&] {
    ReportHitMaterial(&sphere, point, 6);
    foundElsewhere = FindHitMaterial(&sphere, VECTEUR(1, 2, 3), elsewhere);
    ForgetHitMaterials();
  });
  other.join();
  EXPECT_TRUE(foundElsewhere);
  EXPECT_EQ(elsewhere, 6u);
  unsigned here = 0;
  ASSERT_TRUE(FindHitMaterial(&sphere, point, here));
  EXPECT_EQ(here, 5u);
  // Another point of the same object has no report.
  EXPECT_FALSE(FindHitMaterial(&sphere, VECTEUR(1, 2, 4), here));
  ForgetHitMaterials();
  EXPECT_FALSE(FindHitMaterial(&sphere, point, here));
}
