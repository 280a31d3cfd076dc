#include <gtest/gtest.h>

#include <random>

#include "engine/materials/texture.h"
#include "engine/scene/landscape.h"
#include "tests/engine/objects/scene_helpers.h"

using namespace scene;

namespace {

constexpr double Shrink = 1.0000000000000002e-06;
typedef std::vector<std::pair<double, double>> SpanList;

TEST(Csg, UnionMergesOverlapsAndKeepsTheRestInOrder) {
  TDrawInfo di = Rendering();
  Ray ray = MakeRay(VECTEUR(-5, 0, 0), VECTEUR(1, 0, 0));
  Sph *first = MakeSphere(0, 0, 0), *second = MakeSphere(1, 0, 0), *far = MakeSphere(10, 0, 0);
  ObjectsList list = ListOf({second, first, far});
  TCSGUnion u(&list);
  std::vector<TInterval> r = Intervals(&u, ray, di);
  ASSERT_EQ(r.size(), 2u);
  // One interval from the first sphere's entry to the second's exit.
  EXPECT_EQ(r[0].objIn, first);
  EXPECT_EQ(r[0].tIn, Intervals(first, ray, di)[0].tIn);
  EXPECT_EQ(r[0].objOut, second);
  EXPECT_EQ(r[0].tOut, Intervals(second, ray, di)[0].tOut);
  EXPECT_EQ(r[1].objIn, far);

  // Three intervals and one before them: all four remain. Touching intervals merge.
  ObjectsList scripted = ListOf({new ScriptedSolid({{1, 2}, {3, 4}, {5, 6}}), new ScriptedSolid({{0, 0.5}})});
  TCSGUnion v(&scripted);
  EXPECT_EQ(Spans(Intervals(&v, ray, di)), (SpanList{{0, 0.5}, {1, 2}, {3, 4}, {5, 6}}));
  ObjectsList touching = ListOf({new ScriptedSolid({{1, 2}, {4, 5}}), new ScriptedSolid({{2, 3}, {6, 7}})});
  Group g(&touching);
  EXPECT_EQ(Spans(Intervals(&g, ray, di)), (SpanList{{1, 3}, {4, 5}, {6, 7}}));
}

TEST(Csg, IntersectionPullsInTheEndsOfTheAccumulatedOperand) {
  TDrawInfo di = Rendering();
  Ray ray = MakeRay(VECTEUR(-5, 0, 0), VECTEUR(1, 0, 0));
  Sph *a = MakeSphere(0, 0, 0), *b = MakeSphere(1, 0, 0);
  const TInterval ai = Intervals(a, ray, di)[0], bi = Intervals(b, ray, di)[0];
  ObjectsList list = ListOf({a, b});
  TCSGIntersection ab(&list);
  std::vector<TInterval> r = Intervals(&ab, ray, di);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].tIn, bi.tIn);  // b's entry, exact
  EXPECT_EQ(r[0].objIn, b);
  EXPECT_EQ(r[0].tOut, ai.tOut - Shrink);  // a's exit, pulled in
  EXPECT_EQ(r[0].objOut, a);

  // A third operand pulls the accumulated ends in once more; a missed one empties all.
  Sph* a2 = MakeSphere(0, 0, 0);
  ObjectsList three = ListOf({MakeSphere(1, 0, 0), a2, MakeSphere(0, 0, 0)});
  TCSGIntersection bac(&three);
  r = Intervals(&bac, ray, di);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].tIn, bi.tIn + Shrink + Shrink);
  EXPECT_EQ(r[0].tOut, ai.tOut - Shrink);
  EXPECT_EQ(r[0].objOut, a2);
  bac.Add(MakeSphere(0, 9, 0), static_cast<unsigned>(-1));
  EXPECT_TRUE(Intervals(&bac, ray, di).empty());
}

TEST(Csg, DifferenceQueuesTheLeftPieceAndCarvesWithTheSubtractorsSurfaces) {
  TDrawInfo di = Rendering();
  Ray ray = MakeRay(VECTEUR(-10, 0, 0), VECTEUR(1, 0, 0));
  Sph *big = MakeSphere(0, 0, 0, 3), *small = MakeSphere(0, 0, 0, 1);
  const TInterval bi = Intervals(big, ray, di)[0], si = Intervals(small, ray, di)[0];
  ObjectsList list = ListOf({big, small});
  TCSGDifference d(&list);
  std::vector<TInterval> r = Intervals(&d, ray, di);
  ASSERT_EQ(r.size(), 2u);
  // The right piece first; the left piece, queued again, is pulled in a second time.
  EXPECT_EQ(Spans(r), (SpanList{{si.tOut, bi.tOut - Shrink}, {bi.tIn + Shrink + Shrink, si.tIn - Shrink}}));
  EXPECT_EQ(r[0].objIn, small);
  EXPECT_EQ(r[0].normalIn, si.normalOut);
  EXPECT_EQ(r[1].normalOut, si.normalIn);
  // The nearest boundary is found whatever the order.
  double t = NoLimit;
  VECTEUR point, normal;
  EXPECT_EQ(d.FindNearestIntersection(&ray, &di, t, point, normal), big);
  EXPECT_NEAR(t, bi.tIn, 1e-5);

  // A subtractor covering the whole operand leaves nothing.
  ObjectsList covering = ListOf({MakeSphere(0, 0, 0, 1), MakeSphere(0, 0, 0, 2)});
  TCSGDifference none(&covering);
  EXPECT_TRUE(Intervals(&none, ray, di).empty());
  t = NoLimit;
  EXPECT_EQ(none.FindNearestIntersection(&ray, &di, t, point, normal), nullptr);
  EXPECT_EQ(t, NoLimit);
  EXPECT_FALSE(none.IsInside(VECTEUR(0, 0, 0), &di));
}

TEST(Csg, ARayFromInsideStartsInsideAndMeetsTheExit) {
  TDrawInfo di = Rendering();
  Sph* a = MakeSphere(0, 0, 0);
  ObjectsList list = ListOf({a, MakeSphere(5, 0, 0)});
  TCSGUnion u(&list);
  Ray ray = MakeRay(VECTEUR(0.5, 0, 0), VECTEUR(1, 0, 0));
  EXPECT_EQ(Intervals(&u, ray, di)[0].tIn, StartsInside);
  EXPECT_TRUE(u.IsInside(VECTEUR(0.5, 0, 0), &di));
  EXPECT_FALSE(u.IsInside(VECTEUR(2.5, 0, 0), &di));
  double t = NoLimit;
  VECTEUR point, normal;
  EXPECT_EQ(u.FindNearestIntersection(&ray, &di, t, point, normal), a);
  EXPECT_NEAR(t, 0.5, 1e-9);
  t = 0.25;  // no boundary nearer than the limit
  EXPECT_EQ(u.FindNearestIntersection(&ray, &di, t, point, normal), nullptr);
  EXPECT_EQ(t, 0.25);
}

TEST(Csg, BoundariesPassTheMaterialAcceptanceTests) {
  Texture plain, noShadow, skipInside;
  noShadow.CastsShadows = false;
  skipInside.SurfaceFlag1 = true;
  TArray<Texture*> materials(2, 0, 1);
  for (Texture* m : {&plain, &noShadow, &skipInside})
    materials.Add(m);
  TPaysage landscape;
  landscape.Materials = &materials;
  TDrawInfo di = Rendering();
  di.Landscape = &landscape;
  // The scripted solid keeps its interval whatever its material, so the solid's own test decides.
  Sph* a = MakeSphere(0, 0, 0);
  ScriptedSolid* b = new ScriptedSolid({{4.5, 6.5}});
  ObjectsList list = ListOf({a, b});
  TCSGIntersection lens(&list);
  Ray ray = MakeRay(VECTEUR(-5, 0, 0), VECTEUR(1, 0, 0));
  auto nearest = [&]() {
    double t = NoLimit;
    VECTEUR point, normal;
    return lens.FindNearestIntersection(&ray, &di, t, point, normal);
  };
  EXPECT_EQ(nearest(), b);
  ray.shadowRay = true;
  b->SetTexture(1);
  EXPECT_EQ(nearest(), nullptr);
  ray.shadowRay = false;
  // Starting inside one of the solid's own children hides SurfaceFlag1 boundaries.
  b->SetTexture(2);
  Sph stranger(0);
  ray.insideObjects = new ObjectsList(1, 0, 1);
  ray.insideObjects->Add(&stranger);
  EXPECT_EQ(nearest(), b);
  ray.insideObjects->Add(a);
  EXPECT_EQ(nearest(), nullptr);
}

// The expected membership of a point, from the leaves' own inside tests.
bool ExpectedInside(BasicObject* object, const VECTEUR& p, TDrawInfo* di) {
  if (object->type < BasicObject::TypeUnion || object->type > BasicObject::TypeGroup)
    return object->IsInside(p, di);
  ObjectsList& children = *static_cast<TAggregate*>(object)->GetPointerToList();
  if (object->type == BasicObject::TypeDifference) {
    bool inside = ExpectedInside(children[0], p, di);
    for (int i = 1; i < children.Count(); i++)
      inside = inside && !ExpectedInside(children[i], p, di);
    return inside;
  }
  const bool all = object->type == BasicObject::TypeIntersection;
  for (BasicObject* child : children)
    if (ExpectedInside(child, p, di) != all)
      return !all;
  return all;
}

void CollectBoundaries(BasicObject* object, Ray& ray, TDrawInfo& di, std::vector<double>& out) {
  if (object->type >= BasicObject::TypeUnion && object->type <= BasicObject::TypeGroup) {
    for (BasicObject* child : *static_cast<TAggregate*>(object)->GetPointerToList())
      CollectBoundaries(child, ray, di, out);
    return;
  }
  for (const TInterval& i : Intervals(object, ray, di)) {
    out.push_back(i.tIn);
    out.push_back(i.tOut);
  }
}

BasicObject* RandomSolid(std::mt19937& rng, int depth) {
  std::uniform_real_distribution<float> pos(-2.0f, 2.0f), scale(0.5f, 2.0f), angle(0.0f, 360.0f);
  if (depth == 0 || rng() % 3 == 0) {
    Obj* leaf = rng() % 2 ? static_cast<Obj*>(new Sph(0)) : static_cast<Obj*>(new TCube(0));
    leaf->Scale(scale(rng), scale(rng), scale(rng), nullptr, false);
    leaf->Rotate(angle(rng), angle(rng), 0, nullptr, false);
    leaf->MoveTo(pos(rng), pos(rng), pos(rng), nullptr);
    return leaf;
  }
  ObjectsList list(1, 0, 1);
  for (int i = 2 + static_cast<int>(rng() % 3); i > 0; i--)
    list.Add(RandomSolid(rng, depth - 1));
  switch (rng() % 4) {
    case 0:
      return new TCSGUnion(&list);
    case 1:
      return new TCSGIntersection(&list);
    case 2:
      return new TCSGDifference(&list);
    default:
      return new Group(&list);
  }
}

TEST(Csg, IntervalsAgreeWithTheLeavesInsideTestsAlongRandomRays) {
  std::mt19937 rng(1234);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  TDrawInfo di = Rendering();
  int inside = 0, outside = 0;
  for (int scene = 0; scene < 60; scene++) {
    BasicObject* solid = RandomSolid(rng, 3);
    for (int r = 0; r < 40; r++) {
      VECTEUR origin(unit(rng) * 6, unit(rng) * 6, unit(rng) * 6);
      Ray ray = MakeRay(origin, VECTEUR(unit(rng) * 2, unit(rng) * 2, unit(rng) * 2) - origin);
      std::vector<double> boundaries;
      CollectBoundaries(solid, ray, di, boundaries);
      const std::vector<TInterval> list = Intervals(solid, ray, di);
      // Sample points between the boundaries of every leaf along the ray.
      for (double t = 0.0137; t < 2.5; t += 0.0213) {
        bool nearBoundary = false;
        for (double b : boundaries)
          nearBoundary = nearBoundary || std::fabs(b - t) < 1e-3;
        if (nearBoundary)
          continue;
        bool inList = false;
        for (const TInterval& i : list)
          inList = inList || (i.tIn < t && t < i.tOut);
        const bool expected = ExpectedInside(solid, ray.origin + ray.direction * t, &di);
        ASSERT_EQ(inList, expected) << "scene " << scene << " ray " << r << " t " << t;
        (expected ? inside : outside)++;
      }
    }
    delete solid;
  }
  EXPECT_GT(inside, 1000);
  EXPECT_GT(outside, 1000);
}

TEST(Csg, BoxesFollowTheOperation) {
  ObjectsList list = ListOf({MakeSphere(0, 0, 0), MakeSphere(1, 0, 0)});
  TCSGIntersection lens(&list);
  TBoundingBox box;
  lens.IncludeObjectInBox(box, false, true);
  for (const TBoundingBox& b : {lens.box, box}) {
    EXPECT_EQ(b.min, VECTEUR(0, -1, -1));
    EXPECT_EQ(b.max, VECTEUR(1, 1, 1));
  }
  ObjectsList pair = ListOf({MakeSphere(5, 0, 0), MakeSphere(7, 0, 0)});
  TCSGDifference d(&pair);
  EXPECT_EQ(d.box.max, VECTEUR(6, 1, 1));
  // A later operand leaves the box; a new first operand brings its own.
  d.Add(MakeSphere(20, 0, 0), static_cast<unsigned>(-1));
  EXPECT_EQ(d.box.max, VECTEUR(6, 1, 1));
  d.Add(MakeSphere(-5, 0, 0), 0);
  EXPECT_EQ(d.box.max, VECTEUR(-4, 1, 1));
  TBoundingBox firstOnly;
  d.IncludeObjectInBox(firstOnly, false, true);
  EXPECT_EQ(firstOnly.max, VECTEUR(-4, 1, 1));
}

}  // namespace
