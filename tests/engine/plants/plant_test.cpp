// TPlant: the nearest hit against every element tested one by one, leaf cut-outs,
// joints, materials and copies.
#include "engine/plants/plant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>

#include "engine/geometry/array.h"
#include "engine/materials/texture.h"
#include "engine/objects/hit_material.h"
#include "engine/objects/object_tools.h"
#include "engine/scene/context.h"
#include "engine/scene/landscape.h"

namespace {

Cylinder MakeCylinder(VECFLOAT start, VECFLOAT axis, float length, float radius, uint16_t material = 0) {
  Cylinder c{};
  c.material = material;
  c.start = start;
  c.axis = axis;
  c.length = length;
  c.radiusSquared = radius * radius;
  return c;
}

Paraboloid MakeLeaf(VECFLOAT origin, float angle, float length, float width, float bend, uint16_t material = 1) {
  Paraboloid p{};
  p.material = material;
  p.origin = origin;
  p.cosAngle = std::cos(angle);
  p.sinAngle = std::sin(angle);
  p.curvatureX = bend;
  p.curvatureY = -bend;
  p.xMin = 0;
  p.xMax = length;
  p.yMin = -width / 2;
  p.yMax = width / 2;
  return p;
}

Ray RayFrom(VECTEUR origin, VECTEUR direction) {
  Ray ray;
  ray.origin = origin;
  ray.direction = direction;
  return ray;
}

// The distance to the nearest hit, or -1.
double Nearest(TPlant& plant, const VECTEUR& origin, const VECTEUR& direction, TDrawInfo* di,
               unsigned* material = nullptr) {
  Ray ray = RayFrom(origin, direction);
  double t = NoLimit;
  VECTEUR point, normal;
  ForgetHitMaterials();
  if (!plant.FindNearestIntersection(&ray, di, t, point, normal))
    return -1.0;
  if (material)
    FindHitMaterial(&plant, point, *material);
  EXPECT_NEAR(Length(normal), 1.0, 1e-6);
  return t;
}

TEST(Plant, NearestHitIsTheNearestOfItsElementsTestedAlone) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  auto direction = [&] {
    VECTEUR d(unit(random), unit(random), unit(random));
    return Normalised(d);
  };
  TPlant plant(0);
  std::vector<std::unique_ptr<TPlant>> alone;
  for (int k = 0; k < 40; k++) {
    const bool leaf = k % 3 == 2;
    auto single = std::make_unique<TPlant>(0);
    const VECFLOAT at(unit(random) * 5, unit(random) * 5, 2 + unit(random) * 2);
    if (leaf) {
      const Paraboloid p = MakeLeaf(at, unit(random) * 3, 1 + unit(random) * 0.5f, 0.6f, unit(random) * 0.5f, k);
      plant.AddParaboloid(p);
      single->AddParaboloid(p);
    } else {
      const VECTEUR d = direction();
      const Cylinder c = MakeCylinder(at, VECFLOAT(d.x, d.y, d.z), 1 + unit(random), 0.2f + 0.1f * unit(random), k);
      plant.AddCylinder(c);
      single->AddCylinder(c);
    }
    single->Smooth(30);
    single->BuildBox();
    alone.push_back(std::move(single));
  }
  plant.Smooth(30);
  plant.BuildBox();
  plant.Scale(2, 2, 2, nullptr, false);
  plant.MoveTo(10, -3, 1, nullptr);
  for (auto& single : alone) {
    single->Scale(2, 2, 2, nullptr, false);
    single->MoveTo(10, -3, 1, nullptr);
  }
  TDrawInfo di;
  int hits = 0;
  for (int r = 0; r < 2000; r++) {
    const VECTEUR origin(10 + unit(random) * 30, -3 + unit(random) * 30, 5 + unit(random) * 20);
    const VECTEUR target(10 + unit(random) * 10, -3 + unit(random) * 10, 5 + unit(random) * 5);
    const VECTEUR d = Normalised(target - origin);
    double expected = -1.0;
    unsigned expectedMaterial = 0;
    for (size_t k = 0; k < alone.size(); k++) {
      const double t = Nearest(*alone[k], origin, d, &di);
      if (t >= 0 && (expected < 0 || t < expected)) {
        expected = t;
        expectedMaterial = static_cast<unsigned>(k);
      }
    }
    unsigned material = 12345;
    const double t = Nearest(plant, origin, d, &di, &material);
    ASSERT_EQ(t >= 0, expected >= 0) << r;
    if (t >= 0) {
      hits++;
      EXPECT_NEAR(t, expected, 2e-3) << r;
      if (std::fabs(t - expected) < 1e-4) {
        EXPECT_EQ(material, expectedMaterial) << r;
      }
    }
  }
  EXPECT_GT(hits, 100);
}

TEST(Plant, CylinderEdgeCases) {
  TPlant plant(0);
  plant.AddCylinder(MakeCylinder(VECFLOAT(0, 0, 0), VECFLOAT(0, 0, 1), 2, 0.5f));
  plant.Smooth(30);
  plant.BuildBox();
  TDrawInfo di;
  // Along the axis: never.
  EXPECT_LT(Nearest(plant, VECTEUR(0, 0, -5), VECTEUR(0, 0, 1), &di), 0.0);
  EXPECT_LT(Nearest(plant, VECTEUR(0.2, 0.1, 5), VECTEUR(0, 0, -1), &di), 0.0);
  // Across: the wall at x = -0.5, reported 0.01 short (the direction's length counts).
  EXPECT_NEAR(Nearest(plant, VECTEUR(-5, 0, 1), VECTEUR(1, 0, 0), &di), 4.5 - 0.01, 1e-5);
  EXPECT_NEAR(Nearest(plant, VECTEUR(-5, 0, 1), VECTEUR(2, 0, 0), &di), (4.5 - 0.01) / 2, 1e-5);
  // From inside: the far wall; beyond the ends: nothing.
  EXPECT_NEAR(Nearest(plant, VECTEUR(0, 0, 1), VECTEUR(0, 1, 0), &di), 0.5 - 0.01, 1e-5);
  EXPECT_LT(Nearest(plant, VECTEUR(-5, 0, 2.5), VECTEUR(1, 0, 0), &di), 0.0);
  // A hit nearer than 0.01 is never reported behind the ray's origin.
  EXPECT_GT(Nearest(plant, VECTEUR(-0.505, 0, 1), VECTEUR(1, 0, 0), &di), 0.0);
}

TEST(Plant, LeavesAreHitFromAboveAndCutOutWhereTheirMaterialIsClear) {
  TPaysage landscape;
  TArray<Texture*> materials(1, 0, 1);
  Texture opaque, clear;
  clear.Transparency.Amount = 1.0f;
  materials.Add(&opaque);
  materials.Add(&clear);
  landscape.Materials = &materials;
  TDrawInfo di;
  di.Landscape = &landscape;
  di.Rendering = 1;

  TPlant plant(0);
  plant.AddParaboloid(MakeLeaf(VECFLOAT(0, 0, 1), 0, 2, 1, 0, 1));     // flat, clear, at z = 1
  plant.AddParaboloid(MakeLeaf(VECFLOAT(0, 0, 0), 0, 2, 1, 0.1f, 0));  // curved, opaque, below
  plant.BuildBox();
  // Straight down: the clear leaf lets the ray through to the opaque one (z = 0.1 at x = 1).
  unsigned material = 99;
  EXPECT_NEAR(Nearest(plant, VECTEUR(1, 0, 5), VECTEUR(0, 0, -1), &di, &material), 4.9 - 0.01, 1e-4);
  EXPECT_EQ(material, 0u);
  // Outside a render the material is not consulted: the clear leaf is hit.
  di.Rendering = 0;
  EXPECT_NEAR(Nearest(plant, VECTEUR(1, 0, 5), VECTEUR(0, 0, -1), &di, &material), 4.0 - 0.01, 1e-4);
  EXPECT_EQ(material, 1u);
  // Beside the rectangle, nothing.
  EXPECT_LT(Nearest(plant, VECTEUR(1, 0.6, 5), VECTEUR(0, 0, -1), &di), 0.0);
  landscape.Materials = nullptr;
}

TEST(Plant, SmoothJoinsCollinearSegmentsAndCountsTheirLength) {
  TPlant plant(0);
  plant.AddCylinder(MakeCylinder(VECFLOAT(0, 0, 0), VECFLOAT(0, 0, 1), 2, 0.3f));
  plant.AddCylinder(MakeCylinder(VECFLOAT(0, 0, 2.005f), VECFLOAT(0, 0, 1), 1, 0.2f));
  // A side branch at 60 degrees from the joint: beyond the smoothing angle.
  plant.AddCylinder(MakeCylinder(VECFLOAT(0, 0, 2), VECFLOAT(0.8660254f, 0, 0.5f), 1, 0.1f));
  plant.Smooth(30);
  const Cylinder* c = plant.cylinders;
  EXPECT_EQ(+c[1].baseLength, 2.0f);
  EXPECT_EQ(+c[0].baseLength, 0.0f);
  EXPECT_EQ(+c[2].baseLength, 0.0f);
  for (const VECFLOAT& joint : {c[0].endDirection, c[1].startDirection}) {
    EXPECT_FLOAT_EQ(joint.x, 0.0f);
    EXPECT_FLOAT_EQ(joint.z, 1.0f);
  }
  EXPECT_EQ(+c[0].startDirection.z, 0.0f);  // no joint: zero
  EXPECT_EQ(+c[1].endDirection.z, 0.0f);
  EXPECT_EQ(+c[2].startDirection.z, 0.0f);
}

TEST(Plant, MaterialsCountsBoxesAndCopies) {
  TPlant empty(0);
  EXPECT_EQ(empty.GetTexture(), static_cast<unsigned>(-1));
  TPlant spheres(0);
  Sphere s{};
  s.radius = 1;
  s.centre = VECFLOAT(0, 0, 5);
  spheres.AddSphere(s);
  spheres.BuildBox();
  TDrawInfo di;
  EXPECT_LT(Nearest(spheres, VECTEUR(0, 0, 20), VECTEUR(0, 0, -1), &di), 0.0);  // spheres are never hit
  EXPECT_GT(spheres.localBox.min.x, spheres.localBox.max.x - 1e-3);             // and not boxed

  TPlant plant(0);
  s.material = 2;
  for (int k = 0; k < 40; k++)
    plant.AddCylinder(MakeCylinder(VECFLOAT(k, 0, 0), VECFLOAT(0, 0, 1), 1, 0.1f, 2));
  plant.AddParaboloid(MakeLeaf(VECFLOAT(0, 0, 3), 0, 1, 1, 0, 2));
  plant.AddSphere(s);
  EXPECT_EQ(plant.GetTexture(), 2u);
  plant.AddParaboloid(MakeLeaf(VECFLOAT(0, 0, 3), 0, 1, 1, 0, 5));
  EXPECT_EQ(plant.GetTexture(), static_cast<unsigned>(-1));
  plant.DecrementTextureIfGT(3);
  EXPECT_EQ(+plant.paraboloids[1].material, 4);
  EXPECT_EQ(+plant.cylinders[39].material, 2);
  EXPECT_EQ(plant.GetBlockSize(), 40u * 66 + 2 * 50 + 22);
  EXPECT_EQ(plant.GetNumberOfPolygons(), 40 * 64 + 2 * 128 + 256);
  plant.BuildBox();
  EXPECT_NEAR(plant.localBox.max.x, 39.1, 1e-4);

  plant.MoveTo(0, 50, 0, nullptr);
  BasicObject* copy = nullptr;
  CopyObject(&copy, &plant);
  ASSERT_NE(copy, nullptr);
  TPlant& twin = static_cast<TPlant&>(*copy);
  EXPECT_EQ(twin.cylinderCount, 40u);
  EXPECT_EQ(twin.sphereCount, 1u);
  EXPECT_EQ(+twin.paraboloids[1].material, 4);
  EXPECT_NEAR(Nearest(twin, VECTEUR(7, 40, 0.5), VECTEUR(0, 1, 0), &di),
              Nearest(plant, VECTEUR(7, 40, 0.5), VECTEUR(0, 1, 0), &di), 1e-9);
  EXPECT_GT(Nearest(twin, VECTEUR(7, 40, 0.5), VECTEUR(0, 1, 0), &di), 0.0);
  delete copy;
  plant.SetTexture(3);
  EXPECT_EQ(plant.GetTexture(), 3u);
}

TEST(Plant, IntervalsOpenAndCloseAtEachWall) {
  TPlant plant(0);
  plant.AddCylinder(MakeCylinder(VECFLOAT(0, 0, 2), VECFLOAT(1, 0, 0), 4, 1));
  plant.BuildBox();
  TDrawInfo di;
  Ray ray = RayFrom(VECTEUR(2, -5, 2), VECTEUR(0, 1, 0));
  TIntervalList* list = plant.FindAllIntersections(&ray, &di);
  ASSERT_EQ(list->Count(), 1);
  EXPECT_NEAR((*list)[0].tIn, 4.0, 1e-4);
  EXPECT_NEAR((*list)[0].tOut, 6.0, 1e-3);
  delete list;
  EXPECT_FALSE(plant.IsInside(VECTEUR(2, 0, -3), &di));
}

}  // namespace
