#include <gtest/gtest.h>

#include <random>

#include "engine/materials/texture.h"
#include "engine/render/landscape.h"
#include "tests/engine/objects/scene_helpers.h"

using namespace scene;

namespace {

constexpr double Shrink = 1.0000000000000002e-06;
const VECTEUR AlongX(1, 0, 0);

// The single interval of a convex solid along the ray.
TInterval OnlyInterval(BasicObject* solid, Ray& ray, TDrawInfo& di) {
  TIntervalList* list = solid->FindAllIntersections(&ray, &di);
  EXPECT_EQ(list->Count(), 1);
  TInterval i = (*list)[0];
  delete list;
  return i;
}

TEST(CsgUnion, MergesOverlapsAndKeepsDisjointIntervalsInOrder) {
  TDrawInfo di = Rendering();
  Sph* first = MakeSphere(0, 0, 0);
  Sph* second = MakeSphere(1, 0, 0);
  Sph* far = MakeSphere(10, 0, 0);
  ObjectsList list = ListOf({second, first, far});
  TCSGUnion u(&list);
  Ray ray = MakeRay(VECTEUR(-5, 0, 0), AlongX);
  TIntervalList* result = u.FindAllIntersections(&ray, &di);
  ASSERT_EQ(result->Count(), 2);
  const TInterval& merged = (*result)[0];
  EXPECT_EQ(merged.tIn, OnlyInterval(first, ray, di).tIn);
  EXPECT_EQ(merged.tOut, OnlyInterval(second, ray, di).tOut);
  EXPECT_EQ(merged.objIn, first);  // the entry of the first sphere, the exit of the second
  EXPECT_EQ(merged.objOut, second);
  EXPECT_EQ((*result)[1].tIn, OnlyInterval(far, ray, di).tIn);
  delete result;

  // A list of three intervals and one before them: all four remain, in order.
  ScriptedSolid* three = new ScriptedSolid({{1, 2}, {3, 4}, {5, 6}});
  ScriptedSolid* before = new ScriptedSolid({{0, 0.5}});
  ObjectsList scripted = ListOf({three, before});
  TCSGUnion v(&scripted);
  std::vector<std::pair<double, double>> expected = {{0, 0.5}, {1, 2}, {3, 4}, {5, 6}};
  EXPECT_EQ(Spans(v.FindAllIntersections(&ray, &di)), expected);
  // Touching intervals merge; the group uses the same merge.
  Group g(nullptr);
  g.Add(new ScriptedSolid({{1, 2}, {4, 5}}), static_cast<unsigned>(-1));
  g.Add(new ScriptedSolid({{2, 3}, {6, 7}}), static_cast<unsigned>(-1));
  expected = {{1, 3}, {4, 5}, {6, 7}};
  EXPECT_EQ(Spans(g.FindAllIntersections(&ray, &di)), expected);
}

TEST(CsgIntersection, ShrinksTheEndsTakenFromTheAccumulatedOperand) {
  TDrawInfo di = Rendering();
  Ray ray = MakeRay(VECTEUR(-5, 0, 0), AlongX);
  Sph* a = MakeSphere(0, 0, 0);  // [4, 6] along the ray
  Sph* b = MakeSphere(1, 0, 0);  // [5, 7]
  ObjectsList list = ListOf({a, b});
  TCSGIntersection ab(&list);
  const TInterval ai = OnlyInterval(a, ray, di), bi = OnlyInterval(b, ray, di);
  TIntervalList* r = ab.FindAllIntersections(&ray, &di);
  ASSERT_EQ(r->Count(), 1);
  EXPECT_EQ((*r)[0].tIn, bi.tIn);  // b's entry, exact
  EXPECT_EQ((*r)[0].objIn, b);
  EXPECT_EQ((*r)[0].tOut, ai.tOut - Shrink);  // a's exit, pulled in
  EXPECT_EQ((*r)[0].objOut, a);
  delete r;

  // With a third operand the accumulated ends are pulled in once more.
  Sph* b2 = MakeSphere(1, 0, 0);
  Sph* a2 = MakeSphere(0, 0, 0);
  ObjectsList three = ListOf({b2, a2, MakeSphere(0, 0, 0)});
  TCSGIntersection bac(&three);
  r = bac.FindAllIntersections(&ray, &di);
  ASSERT_EQ(r->Count(), 1);
  EXPECT_EQ((*r)[0].tIn, bi.tIn + Shrink + Shrink);
  EXPECT_EQ((*r)[0].tOut, ai.tOut - Shrink);
  EXPECT_EQ((*r)[0].objOut, a2);
  delete r;

  // An operand the ray misses empties the result.
  bac.Add(MakeSphere(0, 9, 0), static_cast<unsigned>(-1));
  EXPECT_TRUE(Spans(bac.FindAllIntersections(&ray, &di)).empty());
}

TEST(CsgDifference, CarvesPiecesWithTheSubtractorsSurfaces) {
  TDrawInfo di = Rendering();
  Sph* big = MakeSphere(0, 0, 0, 3);
  Sph* small = MakeSphere(0, 0, 0, 1);
  ObjectsList list = ListOf({big, small});
  TCSGDifference d(&list);
  Ray ray = MakeRay(VECTEUR(-10, 0, 0), AlongX);
  const TInterval bi = OnlyInterval(big, ray, di), si = OnlyInterval(small, ray, di);
  TIntervalList* r = d.FindAllIntersections(&ray, &di);
  ASSERT_EQ(r->Count(), 2);
  // The right piece first; the left piece was queued again (and pulled in again).
  EXPECT_EQ((*r)[0].tIn, si.tOut);
  EXPECT_EQ((*r)[0].objIn, small);
  EXPECT_EQ((*r)[0].tOut, bi.tOut - Shrink);
  EXPECT_EQ((*r)[1].tIn, bi.tIn + Shrink + Shrink);
  EXPECT_EQ((*r)[1].tOut, si.tIn - Shrink);
  EXPECT_EQ((*r)[1].objOut, small);
  // The carved surfaces keep the subtractor's normals, which face the ray.
  EXPECT_EQ((*r)[0].normalIn, si.normalOut);
  EXPECT_EQ((*r)[1].normalOut, si.normalIn);
  EXPECT_LT((*r)[0].normalIn.x, 0.0);
  delete r;

  // The nearest boundary is found whatever the order: the left piece's entry.
  double t = NoLimit;
  VECTEUR point, normal;
  EXPECT_EQ(d.FindNearestIntersection(&ray, &di, t, point, normal), big);
  EXPECT_NEAR(t, 7.0, 1e-5);

  // A subtractor covering the whole operand leaves nothing.
  ObjectsList covering = ListOf({MakeSphere(0, 0, 0, 1), MakeSphere(0, 0, 0, 2)});
  TCSGDifference none(&covering);
  EXPECT_TRUE(Spans(none.FindAllIntersections(&ray, &di)).empty());
  t = NoLimit;
  EXPECT_EQ(none.FindNearestIntersection(&ray, &di, t, point, normal), nullptr);
  EXPECT_EQ(t, NoLimit);
  EXPECT_FALSE(none.IsInside(VECTEUR(0, 0, 0), &di));
}

TEST(Csg, RayFromInsideStartsInsideAndHitsTheExit) {
  TDrawInfo di = Rendering();
  Sph* a = MakeSphere(0, 0, 0);
  Sph* b = MakeSphere(5, 0, 0);
  ObjectsList list = ListOf({a, b});
  TCSGUnion u(&list);
  Ray ray = MakeRay(VECTEUR(0.5, 0, 0), AlongX);
  TIntervalList* r = u.FindAllIntersections(&ray, &di);
  ASSERT_EQ(r->Count(), 2);
  EXPECT_EQ((*r)[0].tIn, StartsInside);
  delete r;
  EXPECT_TRUE(u.IsInside(VECTEUR(0.5, 0, 0), &di));
  EXPECT_FALSE(u.IsInside(VECTEUR(2.5, 0, 0), &di));
  double t = NoLimit;
  VECTEUR point, normal;
  EXPECT_EQ(u.FindNearestIntersection(&ray, &di, t, point, normal), a);
  EXPECT_NEAR(t, 0.5, 1e-9);
  EXPECT_NEAR(point.x, 1.0, 1e-9);
  // A limit nearer than every boundary gives a miss and leaves t.
  t = 0.25;
  EXPECT_EQ(u.FindNearestIntersection(&ray, &di, t, point, normal), nullptr);
  EXPECT_EQ(t, 0.25);
}

TEST(Csg, BoundariesPassTheMaterialAcceptanceTests) {
  Texture plain, noShadow, skipInside;
  noShadow.CastsShadows = false;
  skipInside.SurfaceFlag1 = true;
  TArray<Texture*> materials(2, 0, 1);
  materials.Add(&plain);
  materials.Add(&noShadow);
  materials.Add(&skipInside);
  TPaysage landscape;
  landscape.Materials = &materials;
  TDrawInfo di = Rendering();
  di.Landscape = &landscape;

  // The scripted solid keeps its interval whatever its material, so that the solid's
  // own test is the one that decides.
  Sph* a = MakeSphere(0, 0, 0);
  ScriptedSolid* b = new ScriptedSolid({{4.5, 6.5}});
  ObjectsList list = ListOf({a, b});
  TCSGIntersection lens(&list);
  Ray ray = MakeRay(VECTEUR(-5, 0, 0), AlongX);
  double t = NoLimit;
  VECTEUR point, normal;
  ASSERT_EQ(lens.FindNearestIntersection(&ray, &di, t, point, normal), b);

  // A shadow ray passes a material that casts no shadows.
  ray.shadowRay = true;
  b->SetTexture(1);
  t = NoLimit;
  EXPECT_EQ(lens.FindNearestIntersection(&ray, &di, t, point, normal), nullptr);
  EXPECT_EQ(t, NoLimit);
  ray.shadowRay = false;

  // A ray starting inside one of the solid's children skips SurfaceFlag1 boundaries; an
  // object that is not a child of this solid does not count.
  b->SetTexture(2);
  Sph stranger(0);
  ray.insideObjects = new ObjectsList(1, 0, 1);
  ray.insideObjects->Add(&stranger);
  t = NoLimit;
  EXPECT_EQ(lens.FindNearestIntersection(&ray, &di, t, point, normal), b);
  ray.insideObjects->Add(a);
  t = NoLimit;
  EXPECT_EQ(lens.FindNearestIntersection(&ray, &di, t, point, normal), nullptr);
}

// The expected membership of a point, from the leaves' own inside tests.
bool ExpectedInside(BasicObject* object, const VECTEUR& p, TDrawInfo* di) {
  if (object->type < BasicObject::TypeUnion || object->type > BasicObject::TypeGroup)
    return object->IsInside(p, di);
  ObjectsList* children = static_cast<TAggregate*>(object)->GetPointerToList();
  if (object->type == BasicObject::TypeDifference) {
    if (children->IsEmpty() || !ExpectedInside((*children)[0], p, di))
      return false;
    for (int i = 1; i < children->Count(); i++)
      if (ExpectedInside((*children)[i], p, di))
        return false;
    return true;
  }
  const bool all = object->type == BasicObject::TypeIntersection;
  for (BasicObject* child : *children)
    if (ExpectedInside(child, p, di) != all)
      return !all;
  return all && !children->IsEmpty();
}

void CollectBoundaries(BasicObject* object, Ray* ray, TDrawInfo* di, std::vector<double>& out) {
  if (object->type >= BasicObject::TypeUnion && object->type <= BasicObject::TypeGroup) {
    for (BasicObject* child : *static_cast<TAggregate*>(object)->GetPointerToList())
      CollectBoundaries(child, ray, di, out);
    return;
  }
  TIntervalList* list = object->FindAllIntersections(ray, di);
  for (const TInterval& i : *list) {
    out.push_back(i.tIn);
    out.push_back(i.tOut);
  }
  delete list;
}

BasicObject* RandomSolid(std::mt19937& rng, int depth) {
  std::uniform_real_distribution<double> pos(-2.0, 2.0), scale(0.5, 2.0), angle(0.0, 360.0);
  if (depth == 0 || rng() % 3 == 0) {
    Obj* leaf = rng() % 2 ? static_cast<Obj*>(new Sph(0)) : static_cast<Obj*>(new TCube(0));
    leaf->Scale(static_cast<float>(scale(rng)), static_cast<float>(scale(rng)), static_cast<float>(scale(rng)),
                nullptr, false);
    leaf->Rotate(static_cast<float>(angle(rng)), static_cast<float>(angle(rng)), 0, nullptr, false);
    leaf->MoveTo(static_cast<float>(pos(rng)), static_cast<float>(pos(rng)), static_cast<float>(pos(rng)), nullptr);
    return leaf;
  }
  ObjectsList list(1, 0, 1);
  const int n = 2 + static_cast<int>(rng() % 3);
  for (int i = 0; i < n; i++)
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
  int checkedInside = 0, checkedOutside = 0;
  for (int scene = 0; scene < 60; scene++) {
    BasicObject* solid = RandomSolid(rng, 3);
    for (int r = 0; r < 40; r++) {
      VECTEUR origin(unit(rng) * 6, unit(rng) * 6, unit(rng) * 6);
      VECTEUR target(unit(rng) * 2, unit(rng) * 2, unit(rng) * 2);
      Ray ray = MakeRay(origin, target - origin);
      std::vector<double> boundaries;
      CollectBoundaries(solid, &ray, &di, boundaries);
      TIntervalList* list = solid->FindAllIntersections(&ray, &di);
      for (double t = 0.0137; t < 2.5; t += 0.0213) {
        bool nearBoundary = false;
        for (double b : boundaries)
          nearBoundary = nearBoundary || std::fabs(b - t) < 1e-3;
        if (nearBoundary)
          continue;
        bool inList = false;
        for (const TInterval& i : *list)
          inList = inList || (i.tIn < t && t < i.tOut);
        const VECTEUR p = ray.origin + ray.direction * t;
        const bool expected = ExpectedInside(solid, p, &di);
        ASSERT_EQ(inList, expected) << "scene " << scene << " ray " << r << " t " << t;
        (expected ? checkedInside : checkedOutside)++;
      }
      delete list;
    }
    delete solid;
  }
  EXPECT_GT(checkedInside, 1000);
  EXPECT_GT(checkedOutside, 1000);
}

TEST(Csg, BoxesFollowTheOperation) {
  ObjectsList list = ListOf({MakeSphere(0, 0, 0), MakeSphere(1, 0, 0)});
  TCSGIntersection lens(&list);
  EXPECT_EQ(lens.box.min, VECTEUR(0, -1, -1));
  EXPECT_EQ(lens.box.max, VECTEUR(1, 1, 1));
  TBoundingBox box;
  lens.IncludeObjectInBox(box, false, true);
  EXPECT_EQ(box.min, lens.box.min);
  EXPECT_EQ(box.max, lens.box.max);

  Sph* first = MakeSphere(5, 0, 0);
  ObjectsList pair = ListOf({first, MakeSphere(7, 0, 0)});
  TCSGDifference d(&pair);
  EXPECT_EQ(d.box.min, VECTEUR(4, -1, -1));
  EXPECT_EQ(d.box.max, VECTEUR(6, 1, 1));
  // A new first operand brings its own box; a later one leaves it.
  d.Add(MakeSphere(20, 0, 0), static_cast<unsigned>(-1));
  EXPECT_EQ(d.box.max, VECTEUR(6, 1, 1));
  d.Add(MakeSphere(-5, 0, 0), 0);
  EXPECT_EQ(d.box.max, VECTEUR(-4, 1, 1));
  TBoundingBox firstOnly;
  d.IncludeObjectInBox(firstOnly, false, true);
  EXPECT_EQ(firstOnly.min, VECTEUR(-6, -1, -1));
  EXPECT_EQ(d.GetNumberOfChildren(), 4);
}

}  // namespace
