#include "engine/objects/bounding_volume.h"

#include <gtest/gtest.h>

#include <random>

#include "engine/render/release_callbacks.h"
#include "tests/engine/objects/scene_helpers.h"

using namespace scene;

namespace {

constexpr unsigned Append = static_cast<unsigned>(-1);

// Builds the volume tree the way render preparation does: a group with at least two
// children (infinite planes aside) becomes a volume over its expanded children, a
// smaller group dissolves into its parent, infinite planes are lifted to the root.
void Expand(ObjectsList* source, ObjectsList& out, ObjectsList& planes) {
  for (BasicObject* object : *source) {
    if (object->type == BasicObject::TypeInfinitePlane) {
      planes.Add(object);
    } else if (object->type != BasicObject::TypeGroup) {
      out.Add(object);
    } else {
      ObjectsList bounded(1, 0, 1);
      for (BasicObject* child : *static_cast<Group*>(object)->GetPointerToList())
        (child->type == BasicObject::TypeInfinitePlane ? planes : bounded).Add(child);
      if (bounded.Count() < 2) {
        Expand(&bounded, out, planes);
      } else {
        ObjectsList inner(1, 0, 1);
        Expand(&bounded, inner, planes);
        out.Add(new TBoundingVolume(&inner));
      }
    }
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
  if (object->type == BasicObject::TypeGroup) {
    for (BasicObject* child : *static_cast<Group*>(object)->GetPointerToList())
      CollectLeaves(child, leaves);
  } else {
    leaves.push_back(object);
  }
}

BasicObject* RandomScenePart(std::mt19937& rng, const VECTEUR& around, double spread, int depth) {
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  const VECTEUR at = around + VECTEUR(unit(rng), unit(rng), unit(rng)) * spread;
  if (depth == 0 || rng() % 4 == 0) {
    Obj* leaf;
    switch (rng() % 4) {
      case 0:
        leaf = new TCube(0);
        break;
      case 1:
        leaf = new TCone(0);
        break;
      default:
        leaf = new Sph(0);
    }
    const float s = static_cast<float>(0.3 + 0.1 * spread * (unit(rng) + 1.0));
    leaf->Scale(s, s * 1.5f, s, nullptr, false);
    leaf->Rotate(static_cast<float>(unit(rng) * 180), static_cast<float>(unit(rng) * 90), 0, nullptr, false);
    leaf->MoveTo(static_cast<float>(at.x), static_cast<float>(at.y), static_cast<float>(at.z), nullptr);
    if (rng() % 5 == 0) {  // now and then a constructive solid stands as one leaf
      ObjectsList pair = ListOf({leaf, MakeSphere(at.x + s, at.y, at.z, s)});
      return new TCSGDifference(&pair);
    }
    return leaf;
  }
  Group* group = new Group(nullptr);
  const int n = 1 + static_cast<int>(rng() % 6);
  for (int i = 0; i < n; i++)
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
      // Rays from outside and from within the scene, most of them aimed near a leaf.
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
  SpySphere(double x, double y, double z, float r) : Sph(0) {
    Scale(r, r, r, nullptr, false);
    MoveTo(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z), nullptr);
  }
  BasicObject* FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) override {
    visits.push_back(this);
    return Sph::FindNearestIntersection(ray, di, t, point, normal);
  }
};

// A root over the given volumes, ready to search.
struct Tree {
  explicit Tree(std::initializer_list<BasicObject*> parts) {
    for (BasicObject* part : parts)
      if (part->type != BasicObject::TypeBoundingVolume)
        owned.push_back(part);
    ObjectsList list = ListOf(parts);
    root = new TBoundingVolume(&list);
    root->SeparateUnboundeds();
  }
  ~Tree() {
    delete root;
    for (BasicObject* o : owned)
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
  TBoundingVolume* root;
  std::vector<BasicObject*> owned;
};

TBoundingVolume* VolumeOver(std::initializer_list<BasicObject*> parts, std::vector<BasicObject*>& owned) {
  for (BasicObject* part : parts)
    owned.push_back(part);
  ObjectsList list = ListOf(parts);
  return new TBoundingVolume(&list);
}

TEST(BoundingVolume, VisitsBoxesNearestFirstAndStopsBeyondTheHit) {
  std::vector<BasicObject*> owned;
  // Along +x from the origin: the box of `later` is entered at 5, that of `sooner` at 3.
  SpySphere* target = new SpySphere(4.5, 0, 0, 0.5f);  // hit at 4
  SpySphere* widener = new SpySphere(3.5, 5, 0, 0.5f);  // stretches the box back to x = 3
  SpySphere* beyond = new SpySphere(6, 0, 0, 1.0f);
  TBoundingVolume* later = VolumeOver({beyond, new SpySphere(6, 3, 0, 1.0f)}, owned);
  TBoundingVolume* sooner = VolumeOver({target, widener}, owned);
  Tree tree({later, sooner});
  tree.owned = owned;
  double t = NoLimit;
  EXPECT_EQ(tree.Search(MakeRay(VECTEUR(0, 0, 0), VECTEUR(1, 0, 0)), t), target);
  EXPECT_DOUBLE_EQ(t, 4.0);
  EXPECT_EQ(visits, (std::vector<BasicObject*>{target, widener}));

  // Without the hit the farther box is visited next.
  t = NoLimit;
  EXPECT_EQ(tree.Search(MakeRay(VECTEUR(0, 0.45, 0.45), VECTEUR(1, 0, 0)), t), beyond);
  EXPECT_EQ(visits.size(), 4u);
  EXPECT_EQ(visits[0], target);
  EXPECT_EQ(visits[2], beyond);

  // A limit nearer than both boxes visits nothing and leaves t.
  t = 2.0;
  EXPECT_EQ(tree.Search(MakeRay(VECTEUR(0, 0, 0), VECTEUR(1, 0, 0)), t), nullptr);
  EXPECT_TRUE(visits.empty());
  EXPECT_EQ(t, 2.0);
}

TEST(BoundingVolume, EqualEntriesKeepTheirOrderAndABoxAroundTheOriginComesFirst) {
  // The ray passes the corners of the spheres' boxes, so every box is entered and
  // nothing is hit.
  std::vector<BasicObject*> owned;
  SpySphere* a = new SpySphere(4, 0, 0, 1.0f);
  SpySphere* b = new SpySphere(4, 0, 0, 1.0f);
  SpySphere* around = new SpySphere(-1, 2, 2, 1.0f);  // with the next one, a box around the origin
  TBoundingVolume* first = VolumeOver({a, new SpySphere(4, 0, 0, 1.0f)}, owned);
  TBoundingVolume* second = VolumeOver({b, new SpySphere(4, 0, 0, 1.0f)}, owned);
  TBoundingVolume* container = VolumeOver({around, new SpySphere(1, -1, -1, 1.0f)}, owned);
  Tree tree({first, second, container});
  tree.owned = owned;
  double t = NoLimit;
  EXPECT_EQ(tree.Search(MakeRay(VECTEUR(0, 0.9, 0.9), VECTEUR(1, 0, 0)), t), nullptr);
  ASSERT_EQ(visits.size(), 6u);
  EXPECT_EQ(visits[0], around);  // entry distance 0
  EXPECT_EQ(visits[2], a);
  EXPECT_EQ(visits[4], b);
}

TEST(BoundingVolume, SeparateUnboundedsPutsObjectsBeforeVolumesAtEveryLevel) {
  Sph* sphere = MakeSphere(0, 0, 0);
  Sph* inner = MakeSphere(3, 0, 0);
  InfinitePlane* plane = new InfinitePlane(0);
  std::vector<BasicObject*> owned{sphere, inner, plane};
  TBoundingVolume* c = VolumeOver({MakeSphere(5, 0, 0), MakeSphere(6, 0, 0)}, owned);
  ObjectsList aList = ListOf({c, inner});
  TBoundingVolume* a = new TBoundingVolume(&aList);
  TBoundingVolume* b = VolumeOver({MakeSphere(9, 0, 0), MakeSphere(9, 3, 0)}, owned);
  ObjectsList rootList = ListOf({a, sphere, b, plane});
  TBoundingVolume root(&rootList);
  EXPECT_EQ(root.type, BasicObject::TypeBoundingVolume);
  EXPECT_STREQ(root.name, "Group");
  root.SeparateUnboundeds();
  EXPECT_EQ(root.unboundedCount, 2u);
  const ObjectsList& order = *root.GetPointerToList();
  EXPECT_EQ(order[0], sphere);
  EXPECT_EQ(order[1], plane);
  EXPECT_EQ(order[2], a);
  EXPECT_EQ(order[3], b);
  EXPECT_EQ(a->unboundedCount, 1u);
  EXPECT_EQ((*a->GetPointerToList())[0], inner);
  EXPECT_EQ((*a->GetPointerToList())[1], c);
  // The volumes bound their children; they are no one's parent.
  EXPECT_EQ(a->Box().min, VECTEUR(2, -1, -1));
  EXPECT_EQ(a->Box().max, VECTEUR(7, 1, 1));
  EXPECT_EQ(inner->parent, nullptr);
  root.GetPointerToList()->Flush();  // hand a and b back
  delete a;
  delete b;
  for (BasicObject* o : owned)
    delete o;
}

TEST(BoundingVolume, AnAppendedInfinitePlaneIsAlwaysTestedAndNeverBoxed) {
  Sph* sphere = MakeSphere(0, 0, 0);
  InfinitePlane* plane = new InfinitePlane(0);
  plane->MoveTo(0, 0, -10, nullptr);
  Tree tree({sphere});
  tree.root->GetPointerToList()->Add(plane);
  tree.root->SeparateUnboundeds();
  tree.owned.push_back(plane);
  EXPECT_EQ(tree.root->Box().min, VECTEUR(-1, -1, -1));
  double t = NoLimit;
  EXPECT_EQ(tree.Search(MakeRay(VECTEUR(50, 50, 0), VECTEUR(0, 0, -1)), t), plane);
  EXPECT_DOUBLE_EQ(t, 10.0);
  t = NoLimit;
  EXPECT_EQ(tree.Search(MakeRay(VECTEUR(0, 0, 5), VECTEUR(0, 0, -1)), t), sphere);
}

// Host release callback that removes the element, deletes it and counts.
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
  ASSERT_EQ(root->GetPointerToList()->Count(), 2);
  delete root;  // the nested volume goes with it; nothing reaches the host
  EXPECT_EQ(released, 0);
  EXPECT_EQ(group->GetPointerToList()->Count(), 4);

  // A copy owns copies of the leaves it holds directly (the nested volume cannot be
  // copied), and releases them like any aggregate.
  root = BuildHierarchy(&scene);
  TBoundingVolume copy(nullptr);
  copy = *root;
  ASSERT_EQ(copy.GetPointerToList()->Count(), 1);
  EXPECT_NE((*copy.GetPointerToList())[0], scene[1]);
  EXPECT_EQ((*copy.GetPointerToList())[0]->parent, &copy);
  EXPECT_EQ(copy.Box().max, root->Box().max);
  EXPECT_EQ(copy.unboundedCount, 0u);
  // Assigning a root from its own nested volume is safe.
  *root = *static_cast<TBoundingVolume*>((*root->GetPointerToList())[1]);
  EXPECT_EQ(root->GetPointerToList()->Count(), 4);
  delete root;
  EXPECT_EQ(released, 4);
  for (BasicObject* o : scene)
    delete o;
  SetReleaseCallbacks(nullptr, nullptr, nullptr, nullptr);
}

}  // namespace
