#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "engine/objects/block_object.h"
#include "engine/objects/object_tools.h"
#include "engine/scene/release_callbacks.h"
#include "tests/engine/objects/scene_helpers.h"

using namespace scene;

namespace {

constexpr unsigned Append = static_cast<unsigned>(-1);

// Spheres that count how many of them are alive, to catch leaks and double deletes.
class CountedSphere : public Sph {
 public:
  CountedSphere(float x, float y, float z) : Sph(0) {
    MoveTo(x, y, z, nullptr);
    live++;
  }
  ~CountedSphere() override { live--; }
  static int live;
};
int CountedSphere::live = 0;

// A host that removes the element at the index and deletes the object, as it must.
int releaseCalls = 0;
void RemoveAndDelete(ObjectsList* list, int index) {
  releaseCalls++;
  BasicObject* object = (*list)[index];
  list->Detach(index);
  delete object;
}
// A host that wrongly keeps the element where it is.
void KeepElement(ObjectsList*, int) { releaseCalls++; }

class AggregateLifetime : public ::testing::Test {
 protected:
  void SetUp() override {
    releaseCalls = CountedSphere::live = 0;
    SetReleaseCallbacks(nullptr, RemoveAndDelete, nullptr, nullptr);
  }
  void TearDown() override { SetReleaseCallbacks(nullptr, nullptr, nullptr, nullptr); }
};

TEST_F(AggregateLifetime, NestedAggregatesReleaseEveryChildOnceThroughTheHost) {
  Group* inner = new Group(nullptr);
  inner->Add(new CountedSphere(0, 0, 0), Append);
  inner->Add(new CountedSphere(1, 0, 0), Append);
  ObjectsList list = ListOf({new CountedSphere(2, 0, 0), inner});
  TCSGDifference* outer = new TCSGDifference(&list);
  EXPECT_EQ(inner->parent, outer);
  delete outer;
  EXPECT_EQ(CountedSphere::live, 0);
  EXPECT_EQ(releaseCalls, 4);

  // A host that leaves the element in the list cannot make the destructor loop for ever.
  SetReleaseCallbacks(nullptr, KeepElement, nullptr, nullptr);
  CountedSphere* kept = new CountedSphere(0, 0, 0);
  ObjectsList one = ListOf({kept});
  delete new Group(&one);
  EXPECT_EQ(CountedSphere::live, 1);
  delete kept;
}

TEST_F(AggregateLifetime, AssignmentReplacesTheChildrenWithDeepCopies) {
  ObjectsList three = ListOf({new CountedSphere(0, 0, 0), new CountedSphere(3, 0, 0), new CountedSphere(6, 0, 0)});
  Group source(&three);
  source.SetLayer(4);
  Group target(nullptr);
  target.Add(new CountedSphere(9, 9, 9), Append);
  target = source;
  EXPECT_EQ(releaseCalls, 1);
  EXPECT_EQ(CountedSphere::live, 3);  // the copies are plain spheres
  ASSERT_EQ(target.GetPointerToList()->Count(), 3);
  for (int i = 0; i < 3; i++) {
    BasicObject* copy = (*target.GetPointerToList())[i];
    EXPECT_NE(copy, (*source.GetPointerToList())[i]);
    EXPECT_EQ(copy->parent, &target);
    EXPECT_EQ(copy->GetCenter(), (*source.GetPointerToList())[i]->GetCenter());
  }
  EXPECT_EQ(target.GetLayer(), 4u);

  // Self-assignment keeps the children; assigning from an own descendant is safe.
  target = target;
  EXPECT_EQ(target.GetPointerToList()->Count(), 3);
  Group* nested = new Group(nullptr);
  nested->Add(new CountedSphere(1, 1, 1), Append);
  source.Add(nested, Append);
  source = *nested;
  ASSERT_EQ(source.GetPointerToList()->Count(), 1);
  EXPECT_EQ((*source.GetPointerToList())[0]->GetCenter(), VECTEUR(1, 1, 1));
  EXPECT_EQ(CountedSphere::live, 0);
}

TEST_F(AggregateLifetime, CopyObjectCopiesAggregatesDeeply) {
  ObjectsList parts = ListOf({MakeSphere(0, 0, 0, 2), MakeSphere(0.5, 0, 0)});
  Group holder(nullptr);
  TCSGDifference* original = new TCSGDifference(&parts);
  holder.Add(original, Append);
  BasicObject* copy = nullptr;
  CopyObject(&copy, original);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->type, BasicObject::TypeDifference);
  EXPECT_EQ(copy->parent, nullptr);
  for (BasicObject* child : *static_cast<TAggregate*>(copy)->GetPointerToList())
    EXPECT_EQ(child->parent, copy);
  // The copy carves the same solid.
  TDrawInfo di = Rendering();
  Ray ray = MakeRay(VECTEUR(-5, 0.2, 0.1), VECTEUR(1, 0, 0));
  EXPECT_EQ(Spans(Intervals(copy, ray, di)), Spans(Intervals(original, ray, di)));
  EXPECT_EQ(Intervals(copy, ray, di).size(), 2u);
  delete copy;
}

TEST(Aggregate, AddTakesTheSlotAfterTheSharedInterface) {
  // Itanium ABI: a pointer to a virtual member holds 1 + its vtable offset; the
  // destructor takes two entries, so slot n lies at entry n + 1.
  auto add = &TAggregate::Add;
  struct {
    size_t ptr;
    ptrdiff_t adj;
  } raw;
  static_assert(sizeof(add) == sizeof(raw));
  std::memcpy(&raw, &add, sizeof(raw));
  EXPECT_EQ((raw.ptr - 1) / sizeof(void*) - 1, 27u);
}

TEST(Aggregate, BookkeepingAndPropagationPassThroughTheChildren) {
  Group* inner = new Group(nullptr);
  Sph* leaf = MakeSphere(0, 0, 0);
  inner->Add(leaf, Append);
  inner->Add(new TCube(0), Append);
  ObjectsList list = ListOf({MakeSphere(4, 2, 0), inner});
  Group outer(&list);
  EXPECT_EQ(outer.GetCenter(), VECTEUR(2, 1, 0));  // the children's barycentre
  EXPECT_EQ(outer.box.max, VECTEUR(5, 3, 1));
  int objects = 0, lights = 7;
  outer.GetNumberOfObjects(objects, lights);
  EXPECT_EQ(objects * 10 + lights, 50);  // two groups and three leaves, no light
  EXPECT_EQ(outer.GetNumberOfChildren(), 3);
  EXPECT_EQ(outer.GetNumberOfPolygons(), 256 + 256 + 12);
  outer.SetTexture(2);
  EXPECT_EQ(outer.GetTexture(), 2u);
  (*inner->GetPointerToList())[1]->SetTexture(3);
  EXPECT_EQ(outer.GetTexture(), static_cast<unsigned>(-1));
  EXPECT_EQ(Group(nullptr).GetTexture(), 0u);
  outer.Select(true);  // the children's flags, not the aggregate's
  EXPECT_TRUE(leaf->IsSelected() && !outer.IsSelected());
  outer.SetLayer(5);
  leaf->SetLayer(2);
  EXPECT_EQ(leaf->GetLayer(), 5u);  // the outermost aggregate's layer wins
}

double HitDistance(BasicObject* object, Ray ray) {
  TDrawInfo di = Rendering();
  double t = NoLimit;
  VECTEUR point, normal;
  return object->FindNearestIntersection(&ray, &di, t, point, normal) ? t : -1.0;
}

Group* TwoPartGroup() {
  Obj* bar = new TCube(0);
  bar->Scale(3, 0.5f, 0.5f, nullptr, false);
  bar->MoveTo(2, 0, 0, nullptr);
  ObjectsList list = ListOf({bar, MakeSphere(-2, 1, 0.5, 1.5f)});
  return new Group(&list);
}

TEST(Aggregate, TransformsCarryTheChildrenAsOneBody) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  Group *still = TwoPartGroup(), *turned = TwoPartGroup(), *scaled = TwoPartGroup(), *moved = TwoPartGroup();
  const VECTEUR c = still->GetCenter();
  turned->Rotate(0, 0, 20, nullptr, true);
  turned->Rotate(0, 0, 20, nullptr, true);  // absolute: the same angles again change nothing
  turned->Rotate(10, 0, 0, nullptr, false);
  scaled->Scale(2, 2, 2, nullptr, false);
  moved->MoveOf(1, 2, 3, nullptr);
  moved->MoveTo(-4, 0, 1, nullptr);
  const VECTEUR shift = VECTEUR(-4, 0, 1) - c;
  Matrix rz, rx;
  BuildRotationMatrix(rz, 0, 0, 20);
  BuildRotationMatrix(rx, 10, 0, 0);
  int hits = 0;
  for (int i = 0; i < 300; i++) {
    VECTEUR o(unit(rng) * 8, unit(rng) * 8, unit(rng) * 8);
    Ray ray = MakeRay(o, VECTEUR(unit(rng) * 3, unit(rng), unit(rng)) - o);
    const double t = HitDistance(still, ray);
    hits += t > 0;
    // The same ray carried along with each transform meets the same surface.
    EXPECT_NEAR(HitDistance(turned, MakeRay(c + rx * (rz * (o - c)), rx * (rz * ray.direction))), t, 1e-4);
    EXPECT_NEAR(HitDistance(scaled, MakeRay(c + (o - c) * 2.0, ray.direction * 2.0)), t, 1e-4);
    EXPECT_NEAR(HitDistance(moved, MakeRay(o + shift, ray.direction)), t, 1e-4);
  }
  EXPECT_GT(hits, 50);

  // Turns leave the box, moves carry it; the stored angles are those of the whole turn.
  EXPECT_EQ(turned->box.min, still->box.min);
  EXPECT_EQ(moved->box.min, still->box.min + shift);
  VECTEUR angles, sizes;
  float p, q, r;
  turned->GetTransformParameters(angles, sizes, p, q, r);
  Matrix stored;
  BuildRotationMatrix(stored, static_cast<float>(angles.x), static_cast<float>(angles.y), static_cast<float>(angles.z));
  const Matrix whole = rx * rz;
  for (int i = 0; i < 9; i++)
    EXPECT_NEAR(stored.m[i / 3][i % 3], whole.m[i / 3][i % 3], 1e-4);
  scaled->Scale(1, 3, 1, nullptr, true);
  scaled->Slant(5, 0, 0, nullptr);
  scaled->Slant(5, 0, 0, nullptr);
  scaled->GetTransformParameters(angles, sizes, p, q, r);
  EXPECT_EQ(sizes, VECTEUR(2, 6, 2));
  EXPECT_FLOAT_EQ(p, 10.0f);
  for (Group* g : {still, turned, scaled, moved})
    delete g;
}

TEST(Aggregate, GroupNearestHitAndPicking) {
  Sph *far = MakeSphere(10, 0, 0), *nearSphere = MakeSphere(5, 0, 0);
  Group* inner = new Group(nullptr);
  inner->Add(nearSphere, Append);
  ObjectsList list = ListOf({far, inner});
  Group g(&list);
  Ray ray = MakeRay(VECTEUR(0, 0, 0), VECTEUR(1, 0, 0));
  TDrawInfo di = Rendering();
  double t = NoLimit;
  VECTEUR point, normal;
  EXPECT_EQ(g.FindNearestIntersection(&ray, &di, t, point, normal), nearSphere);  // the leaf
  EXPECT_DOUBLE_EQ(t, 4.0);
  EXPECT_FALSE(g.IsInside(VECTEUR(0, 0, 0), &di));
  EXPECT_TRUE(g.IsInside(VECTEUR(5, 0, 0.5), &di));

  // Picking: the first child in list order that is hit, and t is left alone.
  di.Rendering = 0;
  t = NoLimit;
  EXPECT_EQ(g.FindNearestIntersection(&ray, &di, t, point, normal), far);
  // Box-only: the group's box stands for it, carried by moves and scales.
  g.flags |= BasicObject::BoxOnlyBit;
  Ray between = MakeRay(VECTEUR(7, 0, 10), VECTEUR(0, 0, -1));
  EXPECT_EQ(g.FindNearestIntersection(&between, &di, t, point, normal), &g);
  Ray outside = MakeRay(VECTEUR(13, 0, 10), VECTEUR(0, 0, -1));
  EXPECT_EQ(g.FindNearestIntersection(&outside, &di, t, point, normal), nullptr);
  g.Scale(2, 1, 1, nullptr, false);  // the far sphere now spans x 10.5 to 14.5
  EXPECT_EQ(g.FindNearestIntersection(&outside, &di, t, point, normal), &g);
  g.MoveOf(0, 20, 0, nullptr);
  EXPECT_EQ(g.FindNearestIntersection(&outside, &di, t, point, normal), nullptr);
  EXPECT_EQ(t, NoLimit);
}

TEST(BlockObjectTest, AssignmentGivesEachRecordItsOwnBlock) {
  BlockObject a, b;
  a.handle = GlobalAlloc(GMEM_MOVEABLE, 16);
  std::memcpy(GlobalLock(a.handle), "fifteen letters", 16);
  b.handle = GlobalAlloc(GMEM_MOVEABLE, 4);
  b = a;  // b's old block is freed (the sanitizer run checks it)
  ASSERT_NE(b.handle, a.handle);
  EXPECT_EQ(GlobalLockCount(b.handle), 0u);
  EXPECT_STREQ(static_cast<char*>(GlobalLock(b.handle)), "fifteen letters");
  static_cast<char*>(GlobalLock(a.handle))[0] = 'F';
  EXPECT_EQ(static_cast<char*>(GlobalLock(b.handle))[0], 'f');
  // When the copy cannot be made the record is left without a block.
  SetAllocationFailureAfter(0);
  b = a;
  SetAllocationFailureAfter(-1);
  EXPECT_EQ(b.handle, nullptr);
}

}  // namespace
