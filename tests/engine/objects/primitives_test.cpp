// The analytic primitives: the documented hits, then cross-checks over many random rays.
#include "engine/objects/primitives.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "engine/materials/texture.h"
#include "engine/scene/context.h"
#include "engine/scene/landscape.h"

namespace {

struct Hit {
  BasicObject* object = nullptr;
  double t = NoLimit;
  VECTEUR point, normal;
};

Ray MakeRay(VECTEUR o, VECTEUR d) {
  Ray r;
  r.origin = o;
  r.direction = d;
  return r;
}

class Primitives : public ::testing::Test {
 protected:
  Primitives() { di.Rendering = 1; }

  Hit Trace(BasicObject& object, VECTEUR o, VECTEUR d, double limit = NoLimit) {
    Ray ray = MakeRay(o, d);
    Hit hit;
    hit.t = limit;
    hit.object = object.FindNearestIntersection(&ray, &di, hit.t, hit.point, hit.normal);
    return hit;
  }

  TDrawInfo di;
};

void ExpectVector(const VECTEUR& v, double x, double y, double z, double tolerance = 1e-9) {
  EXPECT_NEAR(v.x, x, tolerance);
  EXPECT_NEAR(v.y, y, tolerance);
  EXPECT_NEAR(v.z, z, tolerance);
}

TEST_F(Primitives, SphereHitsOutsideThenInsideWithFacingNormals) {
  Sph s(0);
  Hit outside = Trace(s, VECTEUR(0, 0, -5), VECTEUR(0, 0, 1));
  ASSERT_EQ(outside.object, &s);
  EXPECT_DOUBLE_EQ(outside.t, 4.0);
  ExpectVector(outside.point, 0, 0, -1);
  ExpectVector(outside.normal, 0, 0, -1);
  Hit inside = Trace(s, VECTEUR(0, 0, 0), VECTEUR(0, 0, 1));
  ASSERT_EQ(inside.object, &s);
  EXPECT_DOUBLE_EQ(inside.t, 1.0);
  ExpectVector(inside.point, 0, 0, 1);
  ExpectVector(inside.normal, 0, 0, -1);
  EXPECT_EQ(Trace(s, VECTEUR(0, 2, -5), VECTEUR(0, 0, 1)).object, nullptr);
}

TEST_F(Primitives, MissLeavesTheOutputsUntouched) {
  Sph s(0);
  Ray ray = MakeRay(VECTEUR(0, 0, -5), VECTEUR(0, 0, 1));
  double t = 3.0;  // nearer than the sphere
  VECTEUR point(7, 7, 7), normal(8, 8, 8);
  EXPECT_EQ(s.FindNearestIntersection(&ray, &di, t, point, normal), nullptr);
  EXPECT_EQ(t, 3.0);
  EXPECT_EQ(point, VECTEUR(7, 7, 7));
  EXPECT_EQ(normal, VECTEUR(8, 8, 8));
}

TEST_F(Primitives, DistanceIsInUnitsOfTheWorldDirection) {
  Sph s(0);
  s.Scale(3, 3, 3, &di, false);
  Hit hit = Trace(s, VECTEUR(0, 0, -10), VECTEUR(0, 0, 2));
  EXPECT_NEAR(hit.t, 3.5, 1e-6);
  ExpectVector(hit.point, 0, 0, -1, 1e-6);  // object space: the unit sphere
}

TEST_F(Primitives, CubeFacesFaceTheRay) {
  TCube c(0);
  Hit in = Trace(c, VECTEUR(0, 0, -5), VECTEUR(0, 0, 1));
  EXPECT_DOUBLE_EQ(in.t, 4.0);
  ExpectVector(in.point, 0, 0, -1);
  ExpectVector(in.normal, 0, 0, -1);
  Hit out = Trace(c, VECTEUR(0.2, 0.3, 0), VECTEUR(0, 0, 1));
  EXPECT_DOUBLE_EQ(out.t, 1.0);
  ExpectVector(out.normal, 0, 0, -1);
  Hit side = Trace(c, VECTEUR(5, 0.5, 0.5), VECTEUR(-1, 0, 0));
  EXPECT_DOUBLE_EQ(side.t, 4.0);
  ExpectVector(side.normal, 1, 0, 0);
  ExpectVector(side.point, 1, 0.5, 0.5);
}

TEST_F(Primitives, CylinderCapWinsATieWithTheSide) {
  Cyl c(0);
  // Through the rim at z = 1: the cap and the side give the same distance.
  Hit hit = Trace(c, VECTEUR(1, 0, 3), VECTEUR(0, 0, -1));
  ASSERT_EQ(hit.object, &c);
  EXPECT_DOUBLE_EQ(hit.t, 2.0);
  ExpectVector(hit.normal, 0, 0, 1);
  Hit side = Trace(c, VECTEUR(-5, 0, 0.5), VECTEUR(1, 0, 0));
  EXPECT_DOUBLE_EQ(side.t, 4.0);
  ExpectVector(side.normal, -1, 0, 0);
  Hit fromInside = Trace(c, VECTEUR(0, 0, 0), VECTEUR(1, 0, 0));
  EXPECT_DOUBLE_EQ(fromInside.t, 1.0);
  ExpectVector(fromInside.normal, -1, 0, 0);
  // Along the axis the side is skipped: only the caps are met.
  Hit axial = Trace(c, VECTEUR(0.5, 0, -4), VECTEUR(0, 0, 1));
  EXPECT_DOUBLE_EQ(axial.t, 3.0);
}

TEST_F(Primitives, ConeAboveTheApexTakesTheLowerNappe) {
  TCone c(0);
  // Steeply down from above the apex, off the axis: the mirror cone is crossed first.
  Hit hit = Trace(c, VECTEUR(0.1, 0, 5), VECTEUR(0, 0, -1));
  ASSERT_EQ(hit.object, &c);
  EXPECT_NEAR(hit.point.z, 0.8, 1e-9);  // radius 0.1 at z = 0.8
  EXPECT_NEAR(hit.t, 4.2, 1e-9);
  EXPECT_LT(Dot(hit.normal, VECTEUR(0, 0, -1)), 0.0);  // faces the ray
  EXPECT_NEAR(Length(hit.normal), 1.0, 1e-9);
  // A shallow ray enters through the side with the outward normal.
  Hit side = Trace(c, VECTEUR(-5, 0, 0), VECTEUR(1, 0, 0));
  EXPECT_NEAR(side.t, 4.5, 1e-9);
  ExpectVector(side.normal, -0.894427191, 0, 0.4472135955, 1e-9);
  Hit base = Trace(c, VECTEUR(0.2, 0.2, -3), VECTEUR(0, 0, 1));
  EXPECT_DOUBLE_EQ(base.t, 2.0);
  ExpectVector(base.normal, 0, 0, -1);
}

TEST_F(Primitives, PyramidFacesReturnPointsRelativeToTheirReference) {
  TPyramide p(0);
  Hit hit = Trace(p, VECTEUR(0.5, 0, 5), VECTEUR(0, 0, -1));
  ASSERT_EQ(hit.object, &p);
  EXPECT_NEAR(hit.t, 5.0, 1e-9);
  ExpectVector(hit.point, -0.5, 0, 1, 1e-9);
  ExpectVector(hit.normal, 0.894427191, 0, 0.4472135955);
  Hit base = Trace(p, VECTEUR(0.9, -0.9, -4), VECTEUR(0, 0, 1));
  EXPECT_DOUBLE_EQ(base.t, 3.0);
  ExpectVector(base.point, 0.9, -0.9, -1);
  // Beside the apex the faces are missed, whatever the base below.
  EXPECT_EQ(Trace(p, VECTEUR(0.9, 0.9, 5), VECTEUR(0, 0, 1)).object, nullptr);
}

TEST_F(Primitives, FinitePlaneIsASquareOfSide45) {
  TPlane plane(0);
  Hit hit = Trace(plane, VECTEUR(22.5, -22.5, 3), VECTEUR(0, 0, -1));
  EXPECT_DOUBLE_EQ(hit.t, 3.0);
  ExpectVector(hit.normal, 0, 0, 1);
  EXPECT_EQ(Trace(plane, VECTEUR(22.6, 0, 3), VECTEUR(0, 0, -1)).object, nullptr);
  EXPECT_EQ(Trace(plane, VECTEUR(0, 0, 3), VECTEUR(1, 0, 0)).object, nullptr);
  EXPECT_FALSE(plane.IsInside(VECTEUR(0, 0, 0), &di));
  Ray ray = MakeRay(VECTEUR(0, 0, 3), VECTEUR(0, 0, -1));
  std::unique_ptr<TIntervalList> list(plane.FindAllIntersections(&ray, &di));
  ASSERT_EQ(list->Count(), 1);
  EXPECT_DOUBLE_EQ((*list)[0].tIn, 3.0);
  EXPECT_DOUBLE_EQ((*list)[0].tOut, 3.0 + 1e-5);
}

TEST_F(Primitives, HitsAtTheToleranceAreRejected) {
  TCube c(0);
  // The near face lies 5e-6 ahead: too close, so the far face is hit.
  EXPECT_NEAR(Trace(c, VECTEUR(0, 0, -1.000005), VECTEUR(0, 0, 1)).t, 2.000005, 1e-12);
  TPlane plane(0);
  EXPECT_EQ(Trace(plane, VECTEUR(0, 0, 1e-5), VECTEUR(0, 0, -1)).object, nullptr);
}

TEST_F(Primitives, InfinitePlaneInWorldSpace) {
  InfinitePlane plane(0);
  plane.MoveTo(0, 0, 2, &di);
  Hit hit = Trace(plane, VECTEUR(100, 50, 10), VECTEUR(0, 0, -2));
  ASSERT_EQ(hit.object, &plane);
  EXPECT_DOUBLE_EQ(hit.t, 4.0);
  ExpectVector(hit.normal, 0, 0, 1);
  ExpectVector(hit.point, 100, 50, 0);
  Hit below = Trace(plane, VECTEUR(0, 0, -3), VECTEUR(0, 0, 1));
  ExpectVector(below.normal, 0, 0, -1);
  EXPECT_EQ(Trace(plane, VECTEUR(0, 0, 5), VECTEUR(1, 0, 0)).object, nullptr);
  EXPECT_EQ(Trace(plane, VECTEUR(0, 0, 5), VECTEUR(0, 0, -1), 3.0).object, nullptr);
  EXPECT_TRUE(plane.IsInside(VECTEUR(0, 0, 1), &di));
  EXPECT_FALSE(plane.IsInside(VECTEUR(0, 0, 3), &di));
  EXPECT_FALSE(plane.IsInside(VECTEUR(0, 0, 2), &di));
}

TEST_F(Primitives, InfinitePlaneIntervalsAreHalfSpaces) {
  InfinitePlane plane(0);
  Ray down = MakeRay(VECTEUR(0, 0, 5), VECTEUR(0, 0, -1));
  std::unique_ptr<TIntervalList> entering(plane.FindAllIntersections(&down, &di));
  ASSERT_EQ(entering->Count(), 1);
  EXPECT_DOUBLE_EQ((*entering)[0].tIn, 5.0);
  EXPECT_EQ((*entering)[0].tOut, NoLimit);
  ExpectVector((*entering)[0].normalIn, 0, 0, 1);
  Ray up = MakeRay(VECTEUR(0, 0, -5), VECTEUR(0, 0, 1));
  std::unique_ptr<TIntervalList> leaving(plane.FindAllIntersections(&up, &di));
  ASSERT_EQ(leaving->Count(), 1);
  EXPECT_EQ((*leaving)[0].tIn, StartsInside);
  EXPECT_DOUBLE_EQ((*leaving)[0].tOut, 5.0);
  Ray parallel = MakeRay(VECTEUR(0, 0, -5), VECTEUR(1, 0, 0));
  std::unique_ptr<TIntervalList> none(plane.FindAllIntersections(&parallel, &di));
  EXPECT_TRUE(none->IsEmpty());
}

TEST_F(Primitives, IntervalOfARayStartingInsideACube) {
  TCube c(0);
  Ray ray = MakeRay(VECTEUR(0, 0, 0.5), VECTEUR(0, 0, 1));
  std::unique_ptr<TIntervalList> list(c.FindAllIntersections(&ray, &di));
  ASSERT_EQ(list->Count(), 1);
  EXPECT_EQ((*list)[0].tIn, StartsInside);
  EXPECT_DOUBLE_EQ((*list)[0].tOut, 0.5);
  EXPECT_EQ((*list)[0].objIn, &c);
  Ray miss = MakeRay(VECTEUR(3, 0, 0), VECTEUR(0, 0, 1));
  std::unique_ptr<TIntervalList> empty(c.FindAllIntersections(&miss, &di));
  EXPECT_TRUE(empty->IsEmpty());
}

TEST_F(Primitives, InsideTests) {
  Sph s(0);
  EXPECT_TRUE(s.IsInside(VECTEUR(0, 0, 0), &di));
  EXPECT_FALSE(s.IsInside(VECTEUR(0, 0, 1.5), &di));
  TCone cone(0);
  EXPECT_TRUE(cone.IsInside(VECTEUR(0, 0, 0.9), &di));
  EXPECT_FALSE(cone.IsInside(VECTEUR(0.5, 0, 0.5), &di));
  TPyramide pyramid(0);
  EXPECT_TRUE(pyramid.IsInside(VECTEUR(0.2, 0.1, -0.5), &di));
  EXPECT_FALSE(pyramid.IsInside(VECTEUR(0.9, 0.9, 0.5), &di));
}

TEST_F(Primitives, BoundingExtents) {
  Sph s(0);
  s.MoveTo(10, 0, 0, &di);
  s.Scale(2, 3, 4, &di, false);
  TBoundingBox world, local;
  s.IncludeObjectInBox(world, false, true);
  s.IncludeObjectInBox(local, false, false);
  ExpectVector(world.min, 8, -3, -4);
  ExpectVector(world.max, 12, 3, 4);
  ExpectVector(local.min, -2, -3, -4);
  TCone cone(0);
  TBoundingBox coneBox;
  cone.IncludeObjectInBox(coneBox, false, true);
  ExpectVector(coneBox.min, -1, -1, -1);
  ExpectVector(coneBox.max, 1, 1, 1);
  TPlane plane(0);
  TBoundingBox square, symbol;
  plane.IncludeObjectInBox(square, false, true);
  plane.IncludeObjectInBox(symbol, true, true);
  EXPECT_EQ(square.max.z, 0.0);
  EXPECT_EQ(symbol.max.z, 3.0);
  EXPECT_EQ(symbol.max.x, 22.5);
  InfinitePlane ground(0);
  ground.MoveTo(5, 5, 1, &di);
  TBoundingBox groundBox, groundSymbol, groundLocal;
  ground.IncludeObjectInBox(groundBox, false, true);
  ground.IncludeObjectInBox(groundSymbol, true, true);
  ground.IncludeObjectInBox(groundLocal, true, false);
  ExpectVector(groundBox.min, 5 - 100000, 5 - 100000, 1);
  ExpectVector(groundSymbol.max, 5 + 28.28, 5 + 28.28, 9, 1e-6);
  ExpectVector(groundLocal.max, 28.28, 28.28, 8, 1e-6);
  EXPECT_EQ(ground.centre, VECTEUR(5, 5, 1));
}

TEST_F(Primitives, PolygonCounts) {
  EXPECT_EQ(Sph(0).GetNumberOfPolygons(), 256);
  EXPECT_EQ(Cyl(0).GetNumberOfPolygons(), 32);
  EXPECT_EQ(TCone(0).GetNumberOfPolygons(), 16);
  EXPECT_EQ(TCube(0).GetNumberOfPolygons(), 12);
  EXPECT_EQ(TPyramide(0).GetNumberOfPolygons(), 10);
  EXPECT_EQ(TPlane(0).GetNumberOfPolygons(), 2);
  EXPECT_EQ(InfinitePlane(0).GetNumberOfPolygons(), 2);
}

TEST_F(Primitives, MaterialSwitchesDiscardHits) {
  Texture glass, opaque;
  glass.CastsShadows = false;
  glass.SurfaceFlag1 = true;
  TArray<Texture*> materials;
  materials.Add(&opaque);
  materials.Add(&glass);
  TPaysage landscape;
  landscape.Materials = &materials;
  di.Landscape = &landscape;

  Sph s(1);
  Ray shadow = MakeRay(VECTEUR(0, 0, -5), VECTEUR(0, 0, 1));
  shadow.shadowRay = true;
  double t = NoLimit;
  VECTEUR point, normal;
  EXPECT_EQ(s.FindNearestIntersection(&shadow, &di, t, point, normal), nullptr);
  Ray primary = MakeRay(VECTEUR(0, 0, -5), VECTEUR(0, 0, 1));
  EXPECT_EQ(s.FindNearestIntersection(&primary, &di, t, point, normal), &s);
  primary.insideObjects = new ObjectsList();
  primary.insideObjects->Add(&s);
  t = NoLimit;
  EXPECT_EQ(s.FindNearestIntersection(&primary, &di, t, point, normal), nullptr);

  InfinitePlane plane(1);
  Ray down = MakeRay(VECTEUR(0, 0, 5), VECTEUR(0, 0, -1));
  down.shadowRay = true;
  t = NoLimit;
  EXPECT_EQ(plane.FindNearestIntersection(&down, &di, t, point, normal), nullptr);
  EXPECT_EQ(t, NoLimit);

  // Material 0 casts shadows; an index beyond the materials behaves the same.
  Sph opaqueSphere(0), unknownMaterial(9);
  t = NoLimit;
  EXPECT_EQ(opaqueSphere.FindNearestIntersection(&shadow, &di, t, point, normal), &opaqueSphere);
  t = NoLimit;
  EXPECT_EQ(unknownMaterial.FindNearestIntersection(&shadow, &di, t, point, normal), &unknownMaterial);
  di.Landscape = nullptr;
  t = NoLimit;
  EXPECT_EQ(s.FindNearestIntersection(&shadow, &di, t, point, normal), &s);
}

TEST_F(Primitives, PickingUsesPreviewBoxesOutsideRendering) {
  di.Rendering = 0;
  di.ViewType = ViewTop;
  TPlane plane(0);
  // Its flat box is hit even edge-on, where the square itself has no area.
  Ray ray = MakeRay(VECTEUR(-50, 0, 0), VECTEUR(1, 0, 0));
  double t = NoLimit;
  VECTEUR point(1, 2, 3), normal;
  EXPECT_EQ(plane.FindNearestIntersection(&ray, &di, t, point, normal), &plane);
  EXPECT_NEAR(t, 27.5, 1e-4);
  EXPECT_EQ(point, VECTEUR(1, 2, 3));

  InfinitePlane ground(0);
  // Close to edge-on in an orthographic view: a hit at 10000.
  Ray edge = MakeRay(VECTEUR(-50, 0, 1), VECTEUR(1, 0, 0));
  t = NoLimit;
  EXPECT_EQ(ground.FindNearestIntersection(&edge, &di, t, point, normal), &ground);
  EXPECT_EQ(t, 10000.0);
  // Far from the plane in an orthographic view: the symbol box decides (missed here).
  Ray far = MakeRay(VECTEUR(-50, 0, 20), VECTEUR(1, 0, 0));
  t = NoLimit;
  EXPECT_EQ(ground.FindNearestIntersection(&far, &di, t, point, normal), nullptr);
  // Looking down at it: the symbol box is hit at its top.
  Ray look = MakeRay(VECTEUR(0, 0, 50), VECTEUR(0, 0, -1));
  t = NoLimit;
  EXPECT_EQ(ground.FindNearestIntersection(&look, &di, t, point, normal), &ground);
  EXPECT_NEAR(t, 42.0, 1e-4);
}

// Cross-checks over random rays and random transforms ------------------------

using Factory = std::function<Obj*()>;

std::vector<std::pair<const char*, Factory>> ClosedSolids() {
  return {{"sphere", [] { return new Sph(0); }},
          {"cylinder", [] { return new Cyl(0); }},
          {"cube", [] { return new TCube(0); }},
          {"cone", [] { return new TCone(0); }},
          {"pyramid", [] { return new TPyramide(0); }}};
}

// The object-space point of a hit lies on the canonical surface.
double SurfaceResidual(BasicObject::ObjectType type, const VECTEUR& p) {
  auto maxAbs = [](double a, double b, double c) { return std::fmax(std::fabs(a), std::fmax(std::fabs(b), std::fabs(c))); };
  switch (type) {
    case BasicObject::TypeSphere:
      return std::fabs(Length(p) - 1.0);
    case BasicObject::TypeCylinder:
      return std::fmin(std::fabs(std::sqrt(p.x * p.x + p.y * p.y) - 1.0), std::fabs(std::fabs(p.z) - 1.0));
    case BasicObject::TypeCube:
      return std::fabs(maxAbs(p.x, p.y, p.z) - 1.0);
    case BasicObject::TypeCone:
      return std::fmin(std::fabs(std::sqrt(p.x * p.x + p.y * p.y) - (1.0 - p.z) / 2), std::fabs(p.z + 1.0));
    default:
      return 0.0;
  }
}

class RandomRays : public Primitives {
 protected:
  std::mt19937 rng{20261207};
  double Uniform(double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); }
  VECTEUR RandomPoint(double extent) { return VECTEUR(Uniform(-extent, extent), Uniform(-extent, extent), Uniform(-extent, extent)); }
  void RandomTransform(Obj* object) {
    object->Scale(static_cast<float>(Uniform(0.5, 3)), static_cast<float>(Uniform(0.5, 3)),
                  static_cast<float>(Uniform(0.5, 3)), &di, false);
    object->Rotate(static_cast<float>(Uniform(-180, 180)), static_cast<float>(Uniform(-90, 90)),
                   static_cast<float>(Uniform(-180, 180)), &di, false);
    object->MoveTo(static_cast<float>(Uniform(-5, 5)), static_cast<float>(Uniform(-5, 5)),
                   static_cast<float>(Uniform(-5, 5)), &di);
  }
};

TEST_F(RandomRays, HitPointsLieOnTheSurfaceAndMatchTheWorldPoint) {
  for (auto& [name, make] : ClosedSolids()) {
    int hits = 0;
    for (int i = 0; i < 400; i++) {
      std::unique_ptr<Obj> object(make());
      RandomTransform(object.get());
      VECTEUR origin = RandomPoint(15);
      VECTEUR target = object->centre + RandomPoint(1);
      Ray ray = MakeRay(origin, target - origin);
      double t = NoLimit;
      VECTEUR point, normal;
      if (!object->FindNearestIntersection(&ray, &di, t, point, normal))
        continue;
      hits++;
      if (object->type != BasicObject::TypePyramid) {
        EXPECT_LT(SurfaceResidual(object->type, point), 1e-6) << name;
      }
      // The world hit point maps back onto the object-space point.
      VECTEUR world = origin + ray.direction * t;
      VECTEUR local = object->inverse * (world - object->centre);
      // Sloped pyramid faces return the point relative to a corner of their base edge.
      if (object->type == BasicObject::TypePyramid && std::fabs(local.z + 1.0) > 1e-9) {
        const VECTEUR corners[4] = {VECTEUR(1, 0, -1), VECTEUR(-1, 0, -1), VECTEUR(0, -1, -1), VECTEUR(0, 1, -1)};
        double best = 1e9;
        for (const VECTEUR& q : corners)
          best = std::fmin(best, Length(local - (point + q)));
        EXPECT_LT(best, 1e-4) << name;
      } else {
        EXPECT_LT(Length(local - point), 1e-4) << name;
      }
    }
    EXPECT_GT(hits, 100) << name;
  }
}

TEST_F(RandomRays, MovingObjectAndRayTogetherKeepsTheDistance) {
  for (auto& [name, make] : ClosedSolids()) {
    for (int i = 0; i < 200; i++) {
      std::unique_ptr<Obj> object(make());
      RandomTransform(object.get());
      VECTEUR origin = RandomPoint(10);
      VECTEUR direction = object->centre + RandomPoint(1) - origin;
      Ray ray = MakeRay(origin, direction);
      double t1 = NoLimit;
      VECTEUR p1, n1;
      BasicObject* first = object->FindNearestIntersection(&ray, &di, t1, p1, n1);
      VECTEUR offset(3.25, -1.5, 2.0);
      object->MoveOf(3.25f, -1.5f, 2.0f, &di);
      Ray moved = MakeRay(origin + offset, direction);
      double t2 = NoLimit;
      VECTEUR p2, n2;
      BasicObject* second = object->FindNearestIntersection(&moved, &di, t2, p2, n2);
      ASSERT_EQ(first == nullptr, second == nullptr) << name;
      if (first) {
        EXPECT_NEAR(t1, t2, 1e-6 * (1 + t1)) << name;
      }
    }
  }
}

TEST_F(RandomRays, ScalingAboutTheCentreScalesTheHitDistanceFromTheCentre) {
  for (auto& [name, make] : ClosedSolids()) {
    for (int i = 0; i < 200; i++) {
      std::unique_ptr<Obj> object(make());
      RandomTransform(object.get());
      // A ray from the centre outwards leaves the solid at a distance that doubles
      // when the solid is scaled by 2 about its centre.
      VECTEUR direction = RandomPoint(1);
      if (Length(direction) < 0.1)
        continue;
      Ray ray = MakeRay(object->centre, direction);
      double t1 = NoLimit, t2 = NoLimit;
      VECTEUR p, n;
      ASSERT_NE(object->FindNearestIntersection(&ray, &di, t1, p, n), nullptr) << name;
      object->Scale(2, 2, 2, &di, true);
      ASSERT_NE(object->FindNearestIntersection(&ray, &di, t2, p, n), nullptr) << name;
      EXPECT_NEAR(t2, 2 * t1, 1e-5 * (1 + t1)) << name;
    }
  }
}

TEST_F(RandomRays, IntervalsEnterBeforeTheyLeaveAndAgreeWithInsideTests) {
  for (auto& [name, make] : ClosedSolids()) {
    int intervals = 0;
    for (int i = 0; i < 300; i++) {
      std::unique_ptr<Obj> object(make());
      RandomTransform(object.get());
      VECTEUR origin = RandomPoint(12);
      Ray ray = MakeRay(origin, object->centre + RandomPoint(1) - origin);
      std::unique_ptr<TIntervalList> list(object->FindAllIntersections(&ray, &di));
      if (list->IsEmpty())
        continue;
      ASSERT_EQ(list->Count(), 1) << name;
      const TInterval& interval = (*list)[0];
      intervals++;
      EXPECT_LT(interval.tIn, interval.tOut) << name;
      EXPECT_EQ(interval.tIn == StartsInside, object->IsInside(origin, &di)) << name;
      // A point in the middle of the interval is inside; points beyond it are not.
      double from = interval.tIn == StartsInside ? 0.0 : interval.tIn;
      if (interval.tOut - from > 1e-3) {
        EXPECT_TRUE(object->IsInside(origin + ray.direction * ((from + interval.tOut) / 2), &di)) << name;
        EXPECT_FALSE(object->IsInside(origin + ray.direction * (interval.tOut + 1e-3), &di)) << name;
      }
    }
    EXPECT_GT(intervals, 100) << name;
  }
}

}  // namespace
