// Value records, the growable array, rays and bounding boxes.
#include <gtest/gtest.h>

#include <cstddef>
#include <limits>
#include <vector>

#include "engine/geometry/array.h"
#include "engine/geometry/bounding_box.h"
#include "engine/geometry/colours.h"
#include "engine/geometry/objects_list.h"
#include "engine/geometry/ray.h"
#include "engine/geometry/vectors.h"
#include "tests/printers.h"

namespace {

TEST(Records, LayoutsAreByteExact) {
  EXPECT_EQ(offsetof(VALCLR, clr), 2u);
  EXPECT_EQ(alignof(VECTEUR), 1u);
  EXPECT_EQ(sizeof(VECTEUR[2]), 48u);
}

TEST(Records, VecfloatOrdersLexicographically) {
  EXPECT_TRUE(VECFLOAT(1, 2, 3) < VECFLOAT(1, 2, 4));
  EXPECT_FALSE(VECFLOAT(1, 2, 4) < VECFLOAT(1, 2, 3));
  EXPECT_FALSE(VECFLOAT(1, 2, 3) < VECFLOAT(1, 2, 3));
  EXPECT_TRUE(VECFLOAT(0, 9, 9) < VECFLOAT(1, 0, 0));
  EXPECT_TRUE(VECFLOAT(1, 0, 9) < VECFLOAT(1, 1, 0));
}

TEST(Records, ColourConversionReversesTheChannels) {
  CLR c(10, 20, 30);  // blue, green, red
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&c);
  EXPECT_EQ(bytes[0], 10);
  EXPECT_EQ(bytes[2], 30);
  CLRINT i(c);
  EXPECT_EQ(i.r, 30);
  EXPECT_EQ(i.g, 20);
  EXPECT_EQ(i.b, 10);
  EXPECT_EQ(VALCLR(5, c), VALCLR(5, c));
  EXPECT_FALSE(VALCLR(5, c) == VALCLR(6, c));
  EXPECT_FALSE(VALCLR(5, c) == VALCLR(5, CLR(10, 20, 31)));
}

TEST(Records, ColourValuesConvertSaturatedAndNaNSafe) {
  const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    double value;
    uint16_t channel;
    int inRange;  // ToIntInRange(value, -1, 10001)
  } cases[] = {
      {0.0, 0, 0},
      {254.9, 254, 254},
      {-0.5, 0, 0},
      {-7.0, 0, -1},
      {65534.99, 65534, 10001},
      {65535.0, 65535, 10001},
      {1e30, 65535, 10001},
      {-1e30, 0, -1},
      {inf, 65535, 10001},
      {-inf, 0, -1},
      {nan, 0, -1},
      {-nan, 0, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToChannel(c.value), c.channel) << c.value;
    EXPECT_EQ(ToIntInRange(c.value, -1, 10001), c.inRange) << c.value;
  }
}

TEST(Records, NormalisingAZeroVectorKeepsItZero) {
  VECTEUR zero;
  Normalise(zero);
  EXPECT_EQ(zero, VECTEUR(0, 0, 0));
  EXPECT_NEAR(Length(Normalised(VECTEUR(3, 4, 12))), 1.0, 1e-15);
}

TEST(Array, GrowsKeepsOrderAndRemoves) {
  TArray<int> a(1, 0, 1);
  EXPECT_EQ(a.Capacity(), 2u);
  for (int i = 0; i < 100; i++)
    a.Add(i * 3);
  EXPECT_EQ(a.Count(), 100);
  for (int i = 0; i < 100; i++)
    ASSERT_EQ(a[i], i * 3);
  EXPECT_TRUE(a.Detach(0));
  EXPECT_EQ(a[0], 3);
  EXPECT_EQ(a.Count(), 99);
  EXPECT_FALSE(a.Detach(99));
  EXPECT_FALSE(a.Detach(-1));
  a.AddAt(-5, 1);
  EXPECT_EQ(a[1], -5);
  EXPECT_EQ(a[2], 6);
  EXPECT_EQ(a.Find(6), 2);
  EXPECT_EQ(a.Find(7), -1);
  a.Flush();
  EXPECT_TRUE(a.IsEmpty());
}

TEST(Array, ReadingBeyondTheCapacityGrowsFirst) {
  TArray<int> a(1, 0, 1);
  EXPECT_EQ(a[10], 0);
  EXPECT_GE(a.Capacity(), 11u);
  EXPECT_EQ(a.Count(), 0);
  // A read-only array cannot grow: outside its storage it reads a zero element.
  const TArray<int> fixed(1, 2, 1);
  EXPECT_EQ(fixed[200], 0);
  EXPECT_EQ(fixed[0], 0);  // below the lower bound
  EXPECT_EQ(fixed.Capacity(), 1u);
}

TEST(Array, LowerBoundShiftsIndices) {
  TArray<int> a(5, 3, 1);
  EXPECT_EQ(a.Capacity(), 3u);
  a.Add(7);
  a.Add(8);
  EXPECT_EQ(a[3], 7);
  EXPECT_EQ(a[4], 8);
  EXPECT_EQ(a.Find(8), 4);
  EXPECT_EQ(a.Find(9), 2);
}

TEST(Array, CopiesAreIndependent) {
  TArray<int> a;
  a.Add(1);
  TArray<int> b = a;
  b.Add(2);
  a[0] = 5;
  EXPECT_EQ(a.Count(), 1);
  EXPECT_EQ(b[0], 1);
  b = a;
  EXPECT_EQ(b.Count(), 1);
  EXPECT_EQ(b[0], 5);
}

TEST(ObjectsList, EqualityIsMembershipNotOrder) {
  int storage[3];
  auto object = [&](int i) { return reinterpret_cast<BasicObject*>(&storage[i]); };
  ObjectsList a, b;
  a.Add(object(0));
  a.Add(object(1));
  b.Add(object(1));
  b.Add(object(0));
  EXPECT_EQ(a, b);
  b.Add(object(2));
  EXPECT_FALSE(a == b);
  a.Add(object(0));
  // Same count: every element of the first must be in the second, not the reverse.
  EXPECT_EQ(a, b);
  EXPECT_FALSE(b == a);
}

TEST(Ray, DefaultsAndAssignmentRules) {
  Ray r;
  EXPECT_EQ(r.depth, 1);
  EXPECT_EQ(r.weight, 1.0f);
  EXPECT_EQ(r.insideObjects, nullptr);
  EXPECT_FALSE(r.shadowRay);
  EXPECT_FALSE(r.flag2);
  EXPECT_EQ(r.distance, 0.0f);

  int a, b;
  Ray source;
  source.origin = VECTEUR(1, 2, 3);
  source.direction = VECTEUR(0, 0, 1);
  source.depth = 4;
  source.weight = 0.5f;
  source.factor = 0.25f;
  source.shadowRay = true;
  source.flag2 = true;
  source.distance = 9.0f;
  source.insideObjects = new ObjectsList();
  source.insideObjects->Add(reinterpret_cast<BasicObject*>(&a));
  source.insideObjects->Add(reinterpret_cast<BasicObject*>(&b));

  Ray* target = new Ray;
  target->distance = 2.0f;
  *target = source;
  EXPECT_EQ(target->origin, source.origin);
  EXPECT_EQ(target->depth, 4);
  EXPECT_EQ(target->factor, 0.25f);
  EXPECT_TRUE(target->shadowRay);
  EXPECT_TRUE(target->flag2);
  EXPECT_EQ(target->distance, 2.0f);  // not copied
  ASSERT_NE(target->insideObjects, nullptr);
  EXPECT_NE(target->insideObjects, source.insideObjects);
  EXPECT_EQ(*target->insideObjects, *source.insideObjects);

  // The target keeps its own list when the source goes away.
  {
    Ray temporary = source;
    *target = temporary;
  }
  EXPECT_EQ(target->insideObjects->Count(), 2);

  // Assigning a ray without a list drops the target's.
  Ray plain;
  *target = plain;
  EXPECT_EQ(target->insideObjects, nullptr);
  delete target;
}

TEST(Ray, CrossingASurfaceEntersOrLeavesTheObject) {
  int a, b;
  BasicObject* A = reinterpret_cast<BasicObject*>(&a);
  BasicObject* B = reinterpret_cast<BasicObject*>(&b);
  struct Case {
    const char* what;
    std::vector<BasicObject*> before;  // empty: no list at all
    BasicObject* crossed;
    std::vector<BasicObject*> after;
  };
  const Case cases[] = {
      {"entering without a list makes one", {}, A, {A}},
      {"entering a second object keeps the first", {A}, B, {A, B}},
      {"leaving the only object empties the list", {A}, A, {}},
      {"leaving the first keeps the second", {A, B}, A, {B}},
      {"leaving the second keeps the first", {A, B}, B, {A}},
  };
  for (const Case& c : cases) {
    Ray ray;
    if (!c.before.empty()) {
      ray.insideObjects = new ObjectsList();
      for (BasicObject* o : c.before)
        ray.insideObjects->Add(o);
    }
    ray.ToggleInside(c.crossed);
    ASSERT_NE(ray.insideObjects, nullptr) << c.what;
    EXPECT_EQ(std::vector<BasicObject*>(ray.insideObjects->begin(), ray.insideObjects->end()), c.after) << c.what;
  }
}

Ray MakeRay(VECTEUR o, VECTEUR d) {
  Ray r;
  r.origin = o;
  r.direction = d;
  return r;
}

TEST(BoundingBox, EmptyBoxTakesTheFirstPoint) {
  TBoundingBox box;
  EXPECT_EQ(box.min, VECTEUR(100000, 100000, 100000));
  EXPECT_EQ(box.max, VECTEUR(-100000, -100000, -100000));
  box.Include(VECTEUR(1, -2, 3));
  EXPECT_EQ(box.min, VECTEUR(1, -2, 3));
  EXPECT_EQ(box.max, VECTEUR(1, -2, 3));
  box.Include(VECFLOAT(-1, 5, 3));
  EXPECT_EQ(box.min, VECTEUR(-1, -2, 3));
  EXPECT_EQ(box.max, VECTEUR(1, 5, 3));
}

TEST(BoundingBox, OverlapIntersectAreaMoveExpand) {
  TBoundingBox a(VECTEUR(0, 0, 0), VECTEUR(1, 1, 1));
  TBoundingBox touching(VECTEUR(1, 0, 0), VECTEUR(2, 1, 1));
  TBoundingBox apart(VECTEUR(3, 3, 3), VECTEUR(4, 4, 4));
  EXPECT_TRUE(a.Overlap(touching));
  EXPECT_FALSE(a.Overlap(apart));
  TBoundingBox common = a;
  common.Intersect(TBoundingBox(VECTEUR(0.5, -1, 0.25), VECTEUR(2, 0.5, 2)));
  EXPECT_EQ(common.min, VECTEUR(0.5, 0, 0.25));
  EXPECT_EQ(common.max, VECTEUR(1, 0.5, 1));
  TBoundingBox none = a;
  none.Intersect(apart);
  EXPECT_EQ(none.min, VECTEUR(0, 0, 0));
  EXPECT_EQ(none.max, VECTEUR(0, 0, 0));
  EXPECT_DOUBLE_EQ(TBoundingBox(VECTEUR(0, 0, 0), VECTEUR(1, 2, 3)).SurfaceArea(), 22.0);
  a.MoveOf(1, 2, 3);
  EXPECT_EQ(a.GetCenter(), VECTEUR(1.5, 2.5, 3.5));
  a.Expand(0.5f);
  EXPECT_EQ(a.min, VECTEUR(0.5, 1.5, 2.5));
  EXPECT_EQ(a.max, VECTEUR(2.5, 3.5, 4.5));
}

TEST(BoundingBox, HitFromOutsideInsideAndOnAFace) {
  TBoundingBox box(VECTEUR(-1, -1, -1), VECTEUR(1, 1, 1));
  Ray ray = MakeRay(VECTEUR(0, 0, -5), VECTEUR(0, 0, 2));
  float t = 1000.0f;
  EXPECT_TRUE(box.HitBoundingBox(&ray, t));
  EXPECT_FLOAT_EQ(t, 2.0f);  // in units of the direction's length
  float limited = 1.5f;
  EXPECT_FALSE(box.HitBoundingBox(&ray, limited));
  EXPECT_EQ(limited, 1.5f);

  Ray inside = MakeRay(VECTEUR(0, 0, 0), VECTEUR(1, 0, 0));
  t = 1000.0f;
  EXPECT_TRUE(box.HitBoundingBox(&inside, t));
  EXPECT_EQ(t, 0.0f);
  float tNear = 1000.0f, tFar = 0.0f;
  EXPECT_TRUE(box.HitBoundingBoxExtrema(&inside, tNear, tFar));
  EXPECT_EQ(tNear, 0.0f);
  EXPECT_EQ(tFar, 1.0f);

  // On a face: neither strictly inside nor strictly outside that face's slab.
  const VECTEUR directions[] = {VECTEUR(1, 0, 0), VECTEUR(-1, 0, 0), VECTEUR(0, 1, 0), VECTEUR(0.3, 0.2, 0.1)};
  for (const VECTEUR& d : directions) {
    Ray onFace = MakeRay(VECTEUR(1, 0, 0), d);
    t = 1000.0f;
    EXPECT_FALSE(box.HitBoundingBox(&onFace, t));
  }
}

TEST(BoundingBox, EdgesAreClosedAndTinyDistancesIgnored) {
  TBoundingBox box(VECTEUR(-1, -1, -1), VECTEUR(1, 1, 1));
  Ray grazing = MakeRay(VECTEUR(1, 1, -5), VECTEUR(0, 0, 1));
  float t = 1000.0f;
  EXPECT_TRUE(box.HitBoundingBox(&grazing, t));
  EXPECT_FLOAT_EQ(t, 4.0f);
  Ray close = MakeRay(VECTEUR(0, 0, -1.000001), VECTEUR(0, 0, 0.1));  // tau = 1e-5 exactly
  t = 1000.0f;
  EXPECT_FALSE(box.HitBoundingBox(&close, t));
}

TEST(BoundingBox, ExtremaGiveEntryAndExit) {
  TBoundingBox box(VECTEUR(0, 0, 0), VECTEUR(2, 2, 2));
  Ray ray = MakeRay(VECTEUR(-1, 1, 1), VECTEUR(1, 0, 0));
  float tNear = 1000.0f, tFar = 0.0f;
  EXPECT_TRUE(box.HitBoundingBoxExtrema(&ray, tNear, tFar));
  EXPECT_FLOAT_EQ(tNear, 1.0f);
  EXPECT_FLOAT_EQ(tFar, 3.0f);
  Ray away = MakeRay(VECTEUR(-1, 1, 1), VECTEUR(-1, 0, 0));
  tNear = 1000.0f;
  EXPECT_FALSE(box.HitBoundingBoxExtrema(&away, tNear, tFar));
}

}  // namespace
