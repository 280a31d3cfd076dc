#include "engine/render/preparation.h"

#include <gtest/gtest.h>

#include <random>
#include <thread>
#include <vector>

#include "engine/lights/light.h"
#include "engine/materials/texture.h"
#include "engine/objects/aggregates.h"
#include "engine/objects/bounding_volume.h"
#include "engine/objects/primitives.h"
#include "engine/render/atmosphere.h"
#include "engine/render/camera.h"
#include "engine/scene/context.h"
#include "engine/scene/document.h"
#include "engine/scene/environment.h"
#include "engine/scene/landscape.h"
#include "engine/terrain/terrain.h"
#include "tests/engine/render/render_scene.h"

namespace {

using render_test::EnvironmentGuard;

Sph* Sphere(double x, double y, double z, float r) {
  Sph* s = new Sph(0);
  s->Scale(r, r, r, nullptr, false);
  s->MoveTo(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z), nullptr);
  return s;
}

Group* GroupOf(std::initializer_list<BasicObject*> children) {
  Group* g = new Group(nullptr);
  for (BasicObject* c : children)
    g->Add(c, static_cast<unsigned>(-1));
  return g;
}

TPointLight* Lamp(double x, double y, double z) {
  TPointLight* l = new TPointLight();
  l->MoveTo(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z), nullptr);
  return l;
}

// A document with its landscape, and the records of a render; owns everything.
struct Document {
  EnvironmentGuard environment;
  TPaysage landscape;
  ObjectsList objects{1, 0, 1};
  ObjectsList selection{1, 0, 1};
  TArray<Texture*> materials{1, 0, 1};
  TArray<CloudLayer*> clouds{1, 0, 1};
  TArray<TLight*> lights{1, 0, 1};
  ObjectsList containers{1, 0, 1};
  TOrvelleChild child{&landscape, &selection};
  TGlobalInfo gi;
  TDrawInfo di;

  Document() {
    landscape.Objects = &objects;
    landscape.Materials = &materials;
    landscape.CloudLayers = &clouds;
    landscape.LightColour = VECFLOAT(0.5f, 1.0f, 2.0f);
    materials.Add(new Texture());
    gi.RenderLandscape = &landscape;
    gi.Lights = &lights;
    di.ContainersOfCamera = &containers;
    GetEnvironment()->RenderScope = 3;
    GetEnvironment()->AllLightsForSelection = 0;
    GetEnvironment()->BoundGroups = 1;
  }
  ~Document() {
    // The host's objects go first: releasing the render must not read them.
    for (BasicObject* o : objects)
      delete o;
    ReleaseRender(&gi, &di);
    for (Texture* m : materials)
      delete m;
    for (CloudLayer* c : clouds)
      delete c;
  }
  template <class T>
  T* Add(T* object) {
    objects.Add(object);
    return object;
  }
  void Prepare() { PreparerRender(&child, &gi, &di, 1.0f); }

  // The nearest hit through the render's hierarchy.
  BasicObject* Trace(const VECTEUR& origin, const VECTEUR& direction, double& t) {
    Ray ray = render_test::RayAlong(origin, direction);
    t = NoLimit;
    VECTEUR point, normal;
    TObject3D* hit = nullptr;
    di.BoundingVolume->FindNearestBoundedIntersection(&ray, &di, t, point, normal, hit);
    return hit;
  }
};

std::vector<TObject3D*> Values(const TArray<TObject3D*>& a) { return std::vector<TObject3D*>(a.begin(), a.end()); }

}  // namespace

TEST(ExpandListTest, BoundGroupsBecomeVolumesAndLiftPlanesAndLights) {
  EnvironmentGuard environment;
  Sph *a = Sphere(0, 0, 0, 1), *b = Sphere(5, 0, 0, 1), *c = Sphere(0, 9, 0, 1), *d = Sphere(0, -9, 0, 1);
  InfinitePlane* plane = new InfinitePlane(0);
  TPointLight* lamp = Lamp(0, 0, 10);
  Group* pair = GroupOf({a, plane, b, lamp});
  pair->SetLayer(3);
  Group* single = GroupOf({c});
  ObjectsList source(1, 0, 1);
  source.Add(pair);
  source.Add(single);
  source.Add(d);

  GetEnvironment()->BoundGroups = 1;
  TArray<TObject3D*> out(1, 0, 1);
  ExpandList(&out, &out, &source);
  ASSERT_EQ(out.Count(), 5);
  EXPECT_EQ(+out[0]->type, BasicObject::TypeBoundingVolume);
  EXPECT_EQ(out[0]->GetLayer(), 3u);
  ObjectsList* inVolume = static_cast<TBoundingVolume*>(out[0])->children;
  ASSERT_EQ(inVolume->Count(), 2);
  EXPECT_EQ((*inVolume)[0], a);
  EXPECT_EQ((*inVolume)[1], b);
  EXPECT_EQ(Values(out), (std::vector<TObject3D*>{out[0], d, plane, lamp, c}));
  // The group's layer reached its children.
  EXPECT_EQ(a->GetLayer(), 3u);
  ReleaseExpandedVolumes();

  GetEnvironment()->BoundGroups = 0;
  ExpandList(&out, &out, &source);
  EXPECT_EQ(Values(out), (std::vector<TObject3D*>{d, a, plane, b, lamp, c}));
  delete pair;
  delete single;
  delete d;
}

TEST(ExpandListTest, NestedGroupsBecomeNestedVolumes) {
  EnvironmentGuard environment;
  GetEnvironment()->BoundGroups = 1;
  Sph *a = Sphere(0, 0, 0, 1), *b = Sphere(3, 0, 0, 1), *c = Sphere(9, 0, 0, 1);
  InfinitePlane* deepPlane = new InfinitePlane(0);
  Group* outer = GroupOf({GroupOf({a, b, deepPlane}), c});
  ObjectsList source(1, 0, 1);
  source.Add(outer);
  TArray<TObject3D*> out(1, 0, 1);
  ExpandList(&out, &out, &source);
  // The plane of the inner group rises to the top; the groups nest as volumes.
  ASSERT_EQ(out.Count(), 2);
  EXPECT_EQ(out[1], deepPlane);
  auto* top = static_cast<TBoundingVolume*>(out[0]);
  ASSERT_EQ(top->children->Count(), 2);
  EXPECT_EQ(+(*top->children)[0]->type, BasicObject::TypeBoundingVolume);
  EXPECT_EQ((*top->children)[1], c);
  EXPECT_NEAR(top->Box().max.x, 10, 1e-9);
  ReleaseExpandedVolumes();
  delete outer;
}

// A render prepared and released on another thread neither claims nor frees the volumes
// that ExpandList made here; a hierarchy made by hand is not the render's to free.
TEST(PreparerRenderTest, RendersOnOtherThreadsLeaveThisThreadsVolumesAlone) {
  Document doc;
  Group* pair = doc.Add(GroupOf({Sphere(0, 0, 0, 1), Sphere(5, 0, 0, 1)}));
  ObjectsList source(1, 0, 1);
  source.Add(pair);
  TArray<TObject3D*> out(1, 0, 1);
  ExpandList(&out, &out, &source);
  ASSERT_EQ(out.Count(), 1);
  auto* mine = static_cast<TBoundingVolume*>(out[0]);

  std::thread other([&] {
    doc.Prepare();
    ReleaseRender(&doc.gi, &doc.di);
  });
  other.join();
  // Still alive (the sanitizer build sees a use after free otherwise), still bounding
  // both spheres.
  ASSERT_EQ(mine->children->Count(), 2);
  EXPECT_NEAR(mine->Box().max.x, 6, 1e-9);
  ReleaseExpandedVolumes();

  ObjectsList spheres(1, 0, 1);
  Sph* ball = Sphere(0, 0, 0, 1);
  spheres.Add(ball);
  auto* byHand = new TBoundingVolume(&spheres);
  doc.di.BoundingVolume = byHand;
  ReleaseRender(&doc.gi, &doc.di);
  EXPECT_EQ(+doc.di.BoundingVolume, nullptr);
  ASSERT_EQ(byHand->children->Count(), 1);  // not freed
  byHand->children->Flush();
  delete byHand;
  delete ball;
}

TEST(PreparerRenderTest, EverythingRendersAndLightsAreCopiedTintedAndRemembered) {
  Document doc;
  Sph* hidden = doc.Add(Sphere(0, 20, 0, 2));
  hidden->SetLayer(5);
  doc.landscape.LayerStatus[5] = 0;
  Sph* shell = doc.Add(Sphere(0, 0, 0, 50));  // the camera stands inside it
  TCamera* camera = doc.Add(new TCamera());
  camera->MoveTo(0, 0, 1, nullptr);
  TDirectionLight* sun = doc.Add(new TDirectionLight());
  sun->Colour = VECFLOAT(1, 1, 1);
  TPointLight* lamp = doc.Add(Lamp(3, 3, 3));
  lamp->Colour = VECFLOAT(1, 1, 1);
  for (float altitude : {3000.0f, 1000.0f, 2000.0f}) {
    CloudLayer* layer = new CloudLayer();
    layer->Altitude = altitude;
    doc.clouds.Add(layer);
  }
  doc.Prepare();

  // Scope 3: every object whatever its layer, every light, as copies.
  double t;
  EXPECT_EQ(doc.Trace(VECTEUR(0, 0, 1), VECTEUR(0, 1, 0), t), hidden);
  ASSERT_EQ(doc.lights.Count(), 2);
  EXPECT_NE(doc.lights[0], sun);
  EXPECT_EQ(LightCopyOrigin(doc.lights[0]), sun);
  EXPECT_EQ(LightCopyOrigin(doc.lights[1]), lamp);
  EXPECT_EQ(+doc.gi.SunLight, doc.lights[0]);
  // The tint reaches the sun's copy only; the scene's lights keep their colours.
  EXPECT_FLOAT_EQ(doc.lights[0]->Colour.z, 2.0f);
  EXPECT_FLOAT_EQ(doc.lights[1]->Colour.z, 1.0f);
  EXPECT_FLOAT_EQ(sun->Colour.z, 1.0f);
  // The view record is set for rendering, from the scene's camera.
  EXPECT_EQ(+doc.di.Camera, camera);
  EXPECT_EQ(+doc.di.Rendering, 1);
  EXPECT_EQ(+doc.di.DeviceContext, nullptr);
  ASSERT_EQ(doc.containers.Count(), 1);
  EXPECT_EQ(doc.containers[0], shell);
  std::vector<float> altitudes;
  for (CloudLayer* layer : doc.clouds)
    altitudes.push_back(layer->Altitude);
  EXPECT_EQ(altitudes, (std::vector<float>{1000, 2000, 3000}));

  // Tinting every light; the previous copies are given back first.
  doc.landscape.TintAllLights = 1;
  doc.Prepare();
  ASSERT_EQ(doc.lights.Count(), 2);
  EXPECT_FLOAT_EQ(doc.lights[0]->Colour.x, 0.5f);
  EXPECT_FLOAT_EQ(doc.lights[1]->Colour.x, 0.5f);
}

TEST(PreparerRenderTest, TheCameraIsContainedByTheSolidWhateverItsGrouping) {
  Document doc;
  Sph* water = Sphere(0, 0, 0, 5);  // the camera stands inside it
  Group* inner = GroupOf({water, Sphere(0, 30, 0, 1)});
  doc.Add(GroupOf({inner, Sphere(0, -30, 0, 1)}));
  doc.Add(new TCamera())->MoveTo(0, 0, 1, nullptr);
  for (unsigned char bound : {1, 0}) {
    GetEnvironment()->BoundGroups = bound;
    doc.Prepare();
    ASSERT_EQ(doc.containers.Count(), 1) << "BoundGroups " << int(bound);
    EXPECT_EQ(doc.containers[0], water);
  }
}

TEST(PreparerRenderTest, LayerScopesChooseObjectsAndLights) {
  Document doc;
  Sph* front = doc.Add(Sphere(0, 10, 0, 1));
  Sph* back = doc.Add(Sphere(0, 20, 0, 1));
  front->SetLayer(1);
  TPointLight* visibleLamp = doc.Add(Lamp(0, 0, 5));
  TPointLight* hiddenLamp = doc.Add(Lamp(0, 0, 6));
  hiddenLamp->SetLayer(1);
  doc.landscape.LayerStatus[1] = 1;  // visible, not active
  double t;

  GetEnvironment()->RenderScope = 1;  // active layers only
  doc.Prepare();
  EXPECT_EQ(doc.Trace(VECTEUR(0, 0, 0), VECTEUR(0, 1, 0), t), back);
  ASSERT_EQ(doc.lights.Count(), 1);
  EXPECT_EQ(LightCopyOrigin(doc.lights[0]), visibleLamp);

  GetEnvironment()->RenderScope = 2;  // every layer that is not hidden
  doc.Prepare();
  EXPECT_EQ(doc.Trace(VECTEUR(0, 0, 0), VECTEUR(0, 1, 0), t), front);
  EXPECT_EQ(doc.lights.Count(), 2);

  doc.landscape.LayerStatus[1] = 0;
  doc.Prepare();
  EXPECT_EQ(doc.Trace(VECTEUR(0, 0, 0), VECTEUR(0, 1, 0), t), back);
  ASSERT_EQ(doc.lights.Count(), 1);

  // Lights for the selection are not filtered when every light is wanted.
  GetEnvironment()->AllLightsForSelection = 1;
  doc.Prepare();
  EXPECT_EQ(doc.lights.Count(), 2);
}

TEST(PreparerRenderTest, SelectionScopeRendersTheSelectionWithItsLights) {
  Document doc;
  Sph* selected = doc.Add(Sphere(0, 20, 0, 1));
  doc.Add(Sphere(0, 10, 0, 1));
  TPointLight* selectedLamp = Lamp(0, 0, 5);
  Group* lampGroup = doc.Add(GroupOf({Sphere(30, 0, 0, 1), selectedLamp}));
  TPointLight* otherLamp = doc.Add(Lamp(0, 0, 6));
  doc.selection.Add(selected);
  doc.selection.Add(lampGroup);
  GetEnvironment()->RenderScope = 0;
  GetEnvironment()->AllLightsForSelection = 0;
  doc.Prepare();
  double t;
  EXPECT_EQ(doc.Trace(VECTEUR(0, 0, 0), VECTEUR(0, 1, 0), t), selected);
  // A light inside a selected group counts as selected.
  ASSERT_EQ(doc.lights.Count(), 1);
  EXPECT_EQ(LightCopyOrigin(doc.lights[0]), selectedLamp);

  // Every light of the scene, a selected one only once.
  GetEnvironment()->AllLightsForSelection = 1;
  doc.selection.Add(otherLamp);
  doc.Prepare();
  ASSERT_EQ(doc.lights.Count(), 2);
  EXPECT_NE(LightCopyOrigin(doc.lights[0]), LightCopyOrigin(doc.lights[1]));
}

TEST(PreparerRenderTest, BoundGroupsOnAndOffGiveTheSameNearestHits) {
  Document doc;
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> u(-10, 10);
  // Groups of groups of spheres, a lone group member and a plane inside a group.
  for (int g = 0; g < 4; g++) {
    Group* outer = new Group(nullptr);
    for (int h = 0; h < 3; h++) {
      Group* inner = new Group(nullptr);
      for (int k = 0; k < 1 + h; k++)
        inner->Add(Sphere(u(rng), u(rng), u(rng), 1.5f), static_cast<unsigned>(-1));
      outer->Add(inner, static_cast<unsigned>(-1));
    }
    doc.Add(outer);
  }
  InfinitePlane* floor = new InfinitePlane(0);
  floor->MoveTo(0, 0, -12, nullptr);
  doc.Add(GroupOf({floor}));
  std::vector<Ray> rays;
  for (int k = 0; k < 500; k++)
    rays.push_back(render_test::RayAlong(VECTEUR(u(rng), u(rng), 15), Normalised(VECTEUR(u(rng), u(rng), -10))));
  std::vector<std::pair<BasicObject*, double>> hits[2];
  for (int bound = 0; bound < 2; bound++) {
    GetEnvironment()->BoundGroups = static_cast<uint8_t>(bound);
    doc.Prepare();
    for (Ray& ray : rays) {
      double t;
      BasicObject* hit = doc.Trace(ray.origin, ray.direction, t);
      hits[bound].emplace_back(hit, hit ? t : 0.0);
    }
  }
  int found = 0;
  for (size_t k = 0; k < rays.size(); k++) {
    EXPECT_EQ(hits[0][k].first, hits[1][k].first);
    EXPECT_DOUBLE_EQ(hits[0][k].second, hits[1][k].second);
    found += hits[0][k].first != nullptr && hits[0][k].first != floor;
  }
  EXPECT_GT(found, 50);
}

TEST(PreparerRenderTest, TerrainGuardRingsAreRefreshedAndTheTerrainRenders) {
  Document doc;
  Terrain* terrain = new Terrain(8, 6, 0);
  for (int y = 0; y < 6; y++)
    for (int x = 0; x < 8; x++)
      terrain->SetAltitude(x, y, 100 + x);
  terrain->PrepareEdges();
  terrain->PrepareClusters();
  // Edited after the edges were prepared: the border moves, the ring follows at render.
  terrain->SetAltitude(7, 2, 120);
  terrain->SetAltitude(0, 0, 90);
  const unsigned locks = GlobalLockCount(terrain->handle);
  doc.Add(GroupOf({terrain, Sphere(0, 0, 50, 1)}));
  doc.Prepare();
  EXPECT_EQ(terrain->GetAltitude(8, 2), 120);
  EXPECT_EQ(terrain->GetAltitude(9, 2), 120);
  EXPECT_EQ(terrain->GetAltitude(0, -1), 90);
  EXPECT_EQ(terrain->GetAltitude(-1, -1), 90);
  EXPECT_EQ(GlobalLockCount(terrain->handle), locks);
  double t;
  EXPECT_EQ(doc.Trace(VECTEUR(0.0, 0.25, 30), VECTEUR(0, 0, -1), t), terrain);
  EXPECT_NEAR(30 - t, AltitudeStep * 104, 1e-6);
}
