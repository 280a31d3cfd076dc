#include "engine/objects/bounding_volume.h"

#include <gtest/gtest.h>

#include <random>

#include "engine/scene/release_callbacks.h"
#include "tests/engine/objects/scene_helpers.h"

using namespace scene;

namespace {

constexpr unsigned Append = static_cast<unsigned>(-1);

// The volume tree as render preparation builds it: a group with at least two children
// (infinite planes aside) becomes a volume over its expanded children, a smaller group
// dissolves into its parent, infinite planes go to the root.
void Expand(ObjectsList* source, ObjectsList& out, ObjectsList& planes) {
  for (BasicObject* object : *source) {
    if (object->type != BasicObject::TypeGroup) {
      (object->type == BasicObject::TypeInfinitePlane ? planes : out).Add(object);
      continue;
    }
    ObjectsList bounded(1, 0, 1), inner(1, 0, 1);
    for (BasicObject* child : *static_cast<Group*>(object)->GetPointerToList())
      (child->type == BasicObject::TypeInfinitePlane ? planes : bounded).Add(child);
    Expand(&bounded, bounded.Count() < 2 ? out : inner, planes);
    if (bounded.Count() >= 2)
      out.Add(new TBoundingVolume(&inner));
  }
}

TBoundingVolume* BuildHierarchy(ObjectsList* scene) {
  ObjectsList out(1, 0, 1), planes(1, 0, 1);
  Expand(scene, out, planes);
  TBoundingVolume* root = new TBoundingVolume(&out);
  for (BasicObject* plane : planes)
    root->GetPointerToList()->Add(plane);
  root->SeparateUnboundeds();
  return root;
}

void CollectLeaves(BasicObject* object, std::vector<BasicObject*>& leaves) {
  if (object->type != BasicObject::TypeGroup)
    leaves.push_back(object);
  else
    for (BasicObject* child : *static_cast<Group*>(object)->GetPointerToList())
      CollectLeaves(child, leaves);
}

BasicObject* RandomScenePart(std::mt19937& rng, const VECTEUR& around, double spread, int depth) {
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  const VECTEUR at = around + VECTEUR(unit(rng), unit(rng), unit(rng)) * spread;
  if (depth == 0 || rng() % 4 == 0) {
    Obj* leaf = rng() % 3 == 0 ? static_cast<Obj*>(new TCone(0)) : static_cast<Obj*>(new Sph(0));
    const float s = static_cast<float>(0.3 + 0.1 * spread * (unit(rng) + 1.0));
    leaf->Scale(s, s * 1.5f, s, nullptr, false);
    leaf->Rotate(static_cast<float>(unit(rng) * 180), static_cast<float>(unit(rng) * 90), 0, nullptr, false);
    leaf->MoveTo(static_cast<float>(at.x), static_cast<float>(at.y), static_cast<float>(at.z), nullptr);
    if (rng() % 5)
      return leaf;
    ObjectsList pair = ListOf({leaf, MakeSphere(at.x + s, at.y, at.z, s)});  // a solid as one leaf
    return new TCSGDifference(&pair);
  }
  Group* group = new Group(nullptr);
  for (int i = 1 + static_cast<int>(rng() % 6); i > 0; i--)
    group->Add(RandomScenePart(rng, at, spread * 0.4, depth - 1), Append);
  return group;
}

TEST(BoundingVolume, HierarchyFindsTheSameNearestHitAsBruteForce) {
  std::mt19937 rng(99);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  TDrawInfo di = Rendering();
  int hits = 0, planeHits = 0;
  for (int s = 0; s < 12; s++) {
    ObjectsList scene(1, 0, 1);
    for (int i = 0; i < 6; i++)
      scene.Add(RandomScenePart(rng, VECTEUR(0, 0, 0), 20.0, 4));
    InfinitePlane* ground = new InfinitePlane(0);
    ground->MoveTo(0, 0, -30, nullptr);
    scene.Add(ground);
    std::vector<BasicObject*> leaves;
    for (BasicObject* object : scene)
      CollectLeaves(object, leaves);
    TBoundingVolume* root = BuildHierarchy(&scene);
    for (int r = 0; r < 400; r++) {
      // From outside and from within the scene, most of them aimed near a leaf.
      const VECTEUR origin = VECTEUR(unit(rng), unit(rng), unit(rng)) * (r % 2 ? 60.0 : 15.0);
      VECTEUR direction(unit(rng), unit(rng), unit(rng) - 0.3);
      if (r % 3)
        direction = leaves[rng() % leaves.size()]->GetCenter() + VECTEUR(unit(rng), unit(rng), unit(rng)) - origin;
      Ray ray = MakeRay(origin, direction);
      double tTree = NoLimit, tBrute = NoLimit;
      VECTEUR pTree, nTree, pBrute, nBrute;
      TObject3D* hitTree = nullptr;
      BasicObject* hitBrute = nullptr;
      root->FindNearestBoundedIntersection(&ray, &di, tTree, pTree, nTree, hitTree);
      for (BasicObject* leaf : leaves)
        if (BasicObject* found = leaf->FindNearestIntersection(&ray, &di, tBrute, pBrute, nBrute))
          hitBrute = found;
      ASSERT_EQ(static_cast<BasicObject*>(hitTree), hitBrute) << "scene " << s << " ray " << r;
      ASSERT_EQ(tTree, tBrute);
      EXPECT_EQ(nTree, nBrute);
      hits += hitBrute != nullptr && hitBrute != ground;
      planeHits += hitBrute == ground;
    }
    delete root;  // the volumes only; the scene keeps its objects
    for (BasicObject* object : scene)
      delete object;
  }
  EXPECT_GT(hits, 1500);
  EXPECT_GT(planeHits, 200);
}

// Spheres that log every exact test made on them.
std::vector<BasicObject*> visits;
class SpySphere : public Sph {
 public:
  SpySphere(float x, float y, float z) : Sph(0) { MoveTo(x, y, z, nullptr); }
  BasicObject* FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) override {
    visits.push_back(this);
    return Sph::FindNearestIntersection(ray, di, t, point, normal);
  }
};

// A searchable root over volumes of two spheres each (listed in pairs).
struct Tree {
  explicit Tree(std::vector<BasicObject*> pairs) : leaves(pairs) {
    ObjectsList volumes(1, 0, 1);
    for (size_t i = 0; i + 1 < pairs.size(); i += 2) {
      ObjectsList two = ListOf({pairs[i], pairs[i + 1]});
      volumes.Add(new TBoundingVolume(&two));
    }
    root = new TBoundingVolume(&volumes);
  }
  ~Tree() {
    delete root;
    for (BasicObject* o : leaves)
      delete o;
  }
  BasicObject* Search(Ray ray, double& t) {
    TDrawInfo di = Rendering();
    VECTEUR point, normal;
    TObject3D* hit = nullptr;
    visits.clear();
    root->FindNearestBoundedIntersection(&ray, &di, t, point, normal, hit);
    return hit;
  }
  std::vector<BasicObject*> leaves;
  TBoundingVolume* root;
};

TEST(BoundingVolume, VisitsBoxesNearestFirstAndStopsBeyondTheHit) {
  // Along +x from the origin the box of the first pair is entered at 5, the second's at 3.
  SpySphere *beyond = new SpySphere(6, 0, 0), *target = new SpySphere(4.5f, 0, 0), *widener = new SpySphere(3.5f, 5, 0);
  target->Scale(0.5f, 0.5f, 0.5f, nullptr, false);   // hit at 4
  widener->Scale(0.5f, 0.5f, 0.5f, nullptr, false);  // stretches the box back to x = 3
  Tree tree({beyond, new SpySphere(6, 3, 0), target, widener});
  tree.root->SeparateUnboundeds();
  double t = NoLimit;
  EXPECT_EQ(tree.Search(MakeRay(VECTEUR(0, 0, 0), VECTEUR(1, 0, 0)), t), target);
  EXPECT_DOUBLE_EQ(t, 4.0);
  EXPECT_EQ(visits, (std::vector<BasicObject*>{target, widener}));
  // Without that hit the farther box is visited next.
  t = NoLimit;
  EXPECT_EQ(tree.Search(MakeRay(VECTEUR(0, 0.45, 0.45), VECTEUR(1, 0, 0)), t), beyond);
  ASSERT_EQ(visits.size(), 4u);
  EXPECT_EQ(visits[2], beyond);
  // A limit nearer than both boxes visits nothing.
  t = 2.0;
  EXPECT_EQ(tree.Search(MakeRay(VECTEUR(0, 0, 0), VECTEUR(1, 0, 0)), t), nullptr);
  EXPECT_TRUE(visits.empty());
}

TEST(BoundingVolume, EqualEntriesKeepTheirOrderAndABoxAroundTheOriginComesFirst) {
  // The ray passes the corners of the spheres' boxes: every box is entered, nothing is hit.
  SpySphere *a = new SpySphere(4, 0, 0), *b = new SpySphere(4, 0, 0), *around = new SpySphere(-1, 2, 2);
  Tree tree({a, new SpySphere(4, 0, 0), b, new SpySphere(4, 0, 0), around, new SpySphere(1, -1, -1)});
  tree.root->SeparateUnboundeds();
  double t = NoLimit;
  EXPECT_EQ(tree.Search(MakeRay(VECTEUR(0, 0.9, 0.9), VECTEUR(1, 0, 0)), t), nullptr);
  ASSERT_EQ(visits.size(), 6u);
  EXPECT_EQ(visits[0], around);  // entry distance 0
  EXPECT_EQ(visits[2], a);
  EXPECT_EQ(visits[4], b);
}

TEST(BoundingVolume, SeparateUnboundedsPutsObjectsFirstAtEveryLevelAndPlanesStayUnboxed) {
  // A root over [A, sphere, B] with A over [C, sphere]; a plane appended afterwards.
  Group* cGroup = new Group(nullptr);
  cGroup->Add(MakeSphere(5, 0, 0), Append);
  cGroup->Add(MakeSphere(6, 0, 0), Append);
  Group* aGroup = new Group(nullptr);
  aGroup->Add(cGroup, Append);
  aGroup->Add(MakeSphere(3, 0, 0), Append);
  Group* bGroup = new Group(nullptr);
  bGroup->Add(MakeSphere(9, 0, 0), Append);
  bGroup->Add(MakeSphere(9, 3, 0), Append);
  Sph* sphere = MakeSphere(0, 0, 0);
  InfinitePlane* plane = new InfinitePlane(0);
  plane->MoveTo(0, 0, -10, nullptr);
  ObjectsList scene = ListOf({aGroup, sphere, bGroup, plane});
  TBoundingVolume* root = BuildHierarchy(&scene);
  const ObjectsList& order = *root->GetPointerToList();
  ASSERT_EQ(order.Count(), 4);
  EXPECT_EQ(root->unboundedCount, 2u);
  EXPECT_EQ(order[0], sphere);
  EXPECT_EQ(order[1], plane);
  TBoundingVolume* a = static_cast<TBoundingVolume*>(order[2]);
  EXPECT_EQ(a->unboundedCount, 1u);
  EXPECT_EQ((*a->GetPointerToList())[1]->type, BasicObject::TypeBoundingVolume);
  EXPECT_EQ(a->Box().min, VECTEUR(2, -1, -1));
  EXPECT_EQ(root->Box().min, VECTEUR(-1, -1, -1));  // the plane is not boxed...
  double t = NoLimit;
  VECTEUR point, normal;
  TObject3D* hit = nullptr;
  Ray ray = MakeRay(VECTEUR(50, 50, 0), VECTEUR(0, 0, -1));
  TDrawInfo di = Rendering();
  root->FindNearestBoundedIntersection(&ray, &di, t, point, normal, hit);
  EXPECT_EQ(hit, plane);  // ...but always tested
  EXPECT_DOUBLE_EQ(t, 10.0);
  delete root;
  for (BasicObject* o : scene)
    delete o;
}

int released = 0;
void RemoveAndDelete(ObjectsList* list, int index) {
  released++;
  BasicObject* object = (*list)[index];
  list->Detach(index);
  delete object;
}

TEST(BoundingVolume, VolumesFreeTheirTreeAndCopiesButNeverTheSceneObjects) {
  SetReleaseCallbacks(nullptr, RemoveAndDelete, nullptr, nullptr);
  released = 0;
  Group* group = new Group(nullptr);
  for (int i = 0; i < 4; i++)
    group->Add(MakeSphere(3 * i, 0, 0), Append);
  ObjectsList scene = ListOf({group, MakeSphere(0, 5, 0)});
  TBoundingVolume* root = BuildHierarchy(&scene);
  delete root;  // the nested volume goes with it; nothing reaches the host
  EXPECT_EQ(released, 0);
  EXPECT_EQ(group->GetPointerToList()->Count(), 4);

  // A copy owns copies of the leaves it holds directly (a nested volume is not copied).
  root = BuildHierarchy(&scene);
  {
    TBoundingVolume copy(nullptr);
    copy = *root;
    ASSERT_EQ(copy.GetPointerToList()->Count(), 1);
    EXPECT_NE((*copy.GetPointerToList())[0], scene[1]);
    EXPECT_EQ((*copy.GetPointerToList())[0]->parent, &copy);
    EXPECT_EQ(copy.Box().max, root->Box().max);
  }
  EXPECT_EQ(released, 1);
  // Assigning a root from its own nested volume is safe.
  *root = *static_cast<TBoundingVolume*>((*root->GetPointerToList())[1]);
  EXPECT_EQ(root->GetPointerToList()->Count(), 4);
  delete root;
  EXPECT_EQ(released, 5);
  for (BasicObject* o : scene)
    delete o;
  SetReleaseCallbacks(nullptr, nullptr, nullptr, nullptr);
}

}  // namespace
