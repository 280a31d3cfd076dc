#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "engine/objects/block_object.h"
#include "engine/objects/object_tools.h"
#include "engine/render/release_callbacks.h"
#include "tests/engine/objects/scene_helpers.h"

using namespace scene;

namespace {

constexpr unsigned Append = static_cast<unsigned>(-1);

// Spheres that count how many of them are alive, to catch leaks and double deletes.
class CountedSphere : public Sph {
 public:
  CountedSphere(double x, double y, double z) : Sph(0) {
    MoveTo(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z), nullptr);
    live++;
  }
  ~CountedSphere() override { live--; }
  static int live;
};
int CountedSphere::live = 0;

// A host that removes the element at the given index and deletes the object, as the
// release callback must, and counts the calls.
int releaseCalls = 0;
void RemoveAndDelete(ObjectsList* list, int index) {
  releaseCalls++;
  BasicObject* object = (*list)[index];
  list->Detach(index);
  delete object;
}
// A host that keeps the element where it is.
void KeepElement(ObjectsList*, int) { releaseCalls++; }

class AggregateLifetime : public ::testing::Test {
 protected:
  void SetUp() override {
    releaseCalls = 0;
    CountedSphere::live = 0;
    SetReleaseCallbacks(nullptr, RemoveAndDelete, nullptr, nullptr);
  }
  void TearDown() override { SetReleaseCallbacks(nullptr, nullptr, nullptr, nullptr); }
};

TEST_F(AggregateLifetime, DestroyingNestedAggregatesReleasesEveryChildOnce) {
  Group* inner = new Group(nullptr);
  inner->Add(new CountedSphere(0, 0, 0), Append);
  inner->Add(new CountedSphere(1, 0, 0), Append);
  ObjectsList list = ListOf({new CountedSphere(2, 0, 0), inner});
  TCSGDifference* outer = new TCSGDifference(&list);
  EXPECT_EQ(inner->parent, outer);
  EXPECT_EQ(CountedSphere::live, 3);
  delete outer;
  EXPECT_EQ(CountedSphere::live, 0);
  EXPECT_EQ(releaseCalls, 4);  // two at each level
}

TEST_F(AggregateLifetime, AHostThatKeepsTheElementDoesNotHangTheDestructor) {
  SetReleaseCallbacks(nullptr, KeepElement, nullptr, nullptr);
  CountedSphere* kept = new CountedSphere(0, 0, 0);
  {
    Group g(nullptr);
    g.Add(kept, Append);
  }
  EXPECT_EQ(releaseCalls, 1);
  EXPECT_EQ(CountedSphere::live, 1);  // still the host's
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
  EXPECT_EQ(target.GetCenter(), source.GetCenter());
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
  EXPECT_STREQ(copy->name, "Difference");
  EXPECT_EQ(copy->parent, nullptr);
  // The copy carves the same solid.
  TDrawInfo di = Rendering();
  Ray ray = MakeRay(VECTEUR(-5, 0.2, 0.1), VECTEUR(1, 0, 0));
  EXPECT_EQ(Spans(copy->FindAllIntersections(&ray, &di)), Spans(original->FindAllIntersections(&ray, &di)));
  EXPECT_EQ(Spans(copy->FindAllIntersections(&ray, &di)).size(), 2u);
  for (BasicObject* child : *static_cast<TAggregate*>(copy)->GetPointerToList())
    EXPECT_EQ(child->parent, copy);
  delete copy;
}

TEST(Aggregate, ConstructionSetsParentsCentreBoxTypeAndName) {
  Sph* a = MakeSphere(0, 0, 0);
  Sph* b = MakeSphere(4, 2, 0);
  ObjectsList list = ListOf({a, b});
  Group g(&list);
  EXPECT_EQ(g.type, BasicObject::TypeGroup);
  EXPECT_STREQ(g.name, "Group");
  EXPECT_EQ(a->parent, &g);
  EXPECT_EQ(g.GetCenter(), VECTEUR(2, 1, 0));
  EXPECT_EQ(g.box.min, VECTEUR(-1, -1, -1));
  EXPECT_EQ(g.box.max, VECTEUR(5, 3, 1));
  // Insertion at a position.
  Sph* c = MakeSphere(-2, 0, 0);
  EXPECT_EQ(g.Add(c, 0), 1);
  EXPECT_EQ((*g.GetPointerToList())[0], c);
  EXPECT_EQ(g.Add(nullptr, Append), 0);
  EXPECT_STREQ(TCSGUnion(nullptr).name, "Union");
  EXPECT_EQ(TCSGIntersection(nullptr).type, BasicObject::TypeIntersection);
}

TEST(Aggregate, CountsMaterialsAndFlagsPassThroughTheChildren) {
  Group* inner = new Group(nullptr);
  inner->Add(MakeSphere(0, 0, 0), Append);
  inner->Add(new TCube(0), Append);
  ObjectsList list = ListOf({MakeSphere(5, 0, 0), inner});
  Group outer(&list);
  int objects = 0, lights = 7;
  outer.GetNumberOfObjects(objects, lights);
  EXPECT_EQ(objects, 5);  // two groups and three leaves
  EXPECT_EQ(lights, 0);
  EXPECT_EQ(outer.GetNumberOfChildren(), 3);
  EXPECT_EQ(outer.GetNumberOfPolygons(), 256 + 256 + 12);
  EXPECT_TRUE(outer.IsValidTexture());

  outer.SetTexture(2);
  EXPECT_EQ(outer.GetTexture(), 2u);
  (*inner->GetPointerToList())[1]->SetTexture(3);
  EXPECT_EQ(inner->GetTexture(), static_cast<unsigned>(-1));
  EXPECT_EQ(outer.GetTexture(), static_cast<unsigned>(-1));
  EXPECT_EQ(Group(nullptr).GetTexture(), 0u);
  outer.DecrementTextureIfGT(0);  // the aggregate's own index only
  EXPECT_EQ(outer.material, 1);
  EXPECT_EQ((*outer.GetPointerToList())[0]->GetTexture(), 2u);

  outer.Select(true);
  outer.SetWireFrameColor(9);
  BasicObject* leaf = (*inner->GetPointerToList())[0];
  EXPECT_TRUE(leaf->IsSelected());
  EXPECT_EQ(leaf->GetWireFrameColor(), 1u);
  EXPECT_FALSE(outer.IsSelected());
  EXPECT_EQ(outer.GetWireFrameColor(), 0u);

  outer.SetLayer(5);
  EXPECT_EQ(leaf->GetLayer(), 5u);
  leaf->SetLayer(2);
  EXPECT_EQ(leaf->GetLayer(), 5u);  // the parent's layer wins
  EXPECT_EQ(leaf->flags & BasicObject::LayerMask, 2u << BasicObject::LayerShift);
}

// Nearest hit distance of a ray, or -1.
double HitDistance(BasicObject* object, const Ray& r) {
  Ray ray = r;
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

TEST(Aggregate, TransformsMoveTheChildrenAsOneRigidBody) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  Group* still = TwoPartGroup();
  Group* turned = TwoPartGroup();
  Group* scaled = TwoPartGroup();
  Group* moved = TwoPartGroup();
  const VECTEUR c = still->GetCenter();
  turned->Rotate(0, 0, 20, nullptr, true);
  turned->Rotate(0, 0, 20, nullptr, true);  // absolute: the same angles again change nothing
  VECTEUR angles, sizes;
  float p, q, r;
  turned->GetTransformParameters(angles, sizes, p, q, r);
  EXPECT_EQ(angles, VECTEUR(0, 0, 20));
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
    VECTEUR o(unit(rng) * 8, unit(rng) * 8, unit(rng) * 8), target(unit(rng) * 3, unit(rng), unit(rng));
    Ray ray = MakeRay(o, target - o);
    const double t = HitDistance(still, ray);
    hits += t > 0;
    // The same ray carried along with each transform meets the same surface.
    Ray r2 = MakeRay(c + rx * (rz * (o - c)), rx * (rz * ray.direction));
    Ray r3 = MakeRay(c + (o - c) * 2.0, ray.direction * 2.0);
    Ray r4 = MakeRay(o + shift, ray.direction);
    EXPECT_NEAR(HitDistance(turned, r2), t, 1e-4);
    EXPECT_NEAR(HitDistance(scaled, r3), t, 1e-4);
    EXPECT_NEAR(HitDistance(moved, r4), t, 1e-4);
  }
  EXPECT_GT(hits, 50);

  // Rotations leave the box, moves carry it; the stored parameters accumulate.
  EXPECT_EQ(turned->box.min, still->box.min);
  EXPECT_EQ(moved->box.min, still->box.min + shift);
  scaled->Scale(1, 3, 1, nullptr, true);
  scaled->Slant(5, 0, 0, nullptr);
  scaled->Slant(5, 0, 0, nullptr);
  scaled->GetTransformParameters(angles, sizes, p, q, r);
  EXPECT_EQ(sizes, VECTEUR(2, 6, 2));
  EXPECT_FLOAT_EQ(p, 10.0f);
  // The stored angles are those of the whole turn.
  turned->GetTransformParameters(angles, sizes, p, q, r);
  Matrix stored;
  BuildRotationMatrix(stored, static_cast<float>(angles.x), static_cast<float>(angles.y),
                      static_cast<float>(angles.z));
  const Matrix whole = rx * rz;
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++)
      EXPECT_NEAR(stored.m[i][j], whole.m[i][j], 1e-4);
  for (Group* g : {still, turned, scaled, moved})
    delete g;
}

TEST(Aggregate, GroupNearestHitAndPicking) {
  Sph* far = MakeSphere(10, 0, 0);
  Sph* nearSphere = MakeSphere(5, 0, 0);
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
  EXPECT_EQ(t, NoLimit);
  // Box-only: the group's box stands for it, carried by moves and scales.
  g.flags |= BasicObject::BoxOnlyBit;
  Ray above = MakeRay(VECTEUR(7, 0, 10), VECTEUR(0, 0, -1));  // between the spheres, inside the box
  EXPECT_EQ(g.FindNearestIntersection(&above, &di, t, point, normal), &g);
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
  ASSERT_NE(b.handle, nullptr);
  EXPECT_NE(b.handle, a.handle);
  EXPECT_EQ(GlobalSize(b.handle), 16u);
  EXPECT_EQ(GlobalLockCount(b.handle), 0u);
  EXPECT_STREQ(static_cast<char*>(GlobalLock(b.handle)), "fifteen letters");
  GlobalUnlock(b.handle);
  static_cast<char*>(GlobalLock(a.handle))[0] = 'F';
  EXPECT_EQ(static_cast<char*>(GlobalLock(b.handle))[0], 'f');
  // When the copy cannot be made the record is left without a block.
  SetAllocationFailureAfter(0);
  b = a;
  SetAllocationFailureAfter(-1);
  EXPECT_EQ(b.handle, nullptr);
  b = b;
}

}  // namespace
