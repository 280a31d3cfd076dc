// Scattered plants: every plant stands on the terrain inside the region and the limits,
// the same seed brings the same forest back, and the groups nest by place.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/functions/noise.h"
#include "engine/objects/aggregates.h"
#include "engine/plants/plant.h"
#include "engine/scene/context.h"
#include "engine/terrain/terrain.h"
#include "host/landscape.h"

namespace {

const std::string DataFolder = (std::filesystem::path(__FILE__).parent_path() / "data").string();

class Scatter : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitNoise(); }
  static void TearDownTestSuite() { FreeNoiseData(); }
};

// A rolling 65 x 65 terrain named "land" (world x, y from -32 to 32), then `scatter`.
std::string Landscape(const std::string& scatter) {
  return R"({ "Materials": [ {}, {}, {} ], "Objects": [
    { "type": "Terrain", "name": "land", "width": 65, "height": 65, "AltitudeScale": 800,
      "Function": { "Layers": [ { "Kind": 1, "Scale": [16, 16, 16] } ] } },
    { "type": "Scatter", "On": "land", "Species": [4, 9], "Wood": 1, "Leaves": 2, "Variants": 2)" +
         scatter + " } ] }";
}

struct Forest {
  LandscapeLoadResult loaded;
  Terrain* terrain = nullptr;
  std::vector<TPlant*> plants;
  std::vector<Group*> groups;
};

void Collect(BasicObject* object, Forest& forest) {
  if (auto* plant = dynamic_cast<TPlant*>(object)) {
    forest.plants.push_back(plant);
  } else if (auto* group = dynamic_cast<Group*>(object)) {
    forest.groups.push_back(group);
    for (int k = 0; k < group->children->Count(); k++)
      Collect((*group->children)[k], forest);
  }
}

Forest Load(const std::string& scatter) {
  Forest forest;
  forest.loaded = LoadLandscapeFromText("forest.json", Landscape(scatter), DataFolder);
  if (!forest.loaded.ok())
    return forest;
  forest.terrain = dynamic_cast<Terrain*>(forest.loaded.landscape->Objects()[0]);
  Collect(forest.loaded.landscape->Objects()[1], forest);
  return forest;
}

// The ground below (x, y), found by a ray straight down.
double Ground(Terrain& terrain, double x, double y) {
  TDrawInfo di;
  di.Rendering = 1;
  Ray down;
  down.origin = VECTEUR(x, y, 1e5);
  down.direction = VECTEUR(0, 0, -1);
  double t = NoLimit;
  VECTEUR point, normal;
  EXPECT_TRUE(terrain.FindNearestIntersection(&down, &di, t, point, normal)) << x << ", " << y;
  return 1e5 - t;
}

TEST_F(Scatter, PlantsStandOnTheGroundInsideTheRegionAtTheirHeights) {
  Forest f = Load(R"(, "Count": 60, "Seed": 3, "Region": [-20, -10, 20, 10], "Height": [2, 3], "MaxSlope": 90)");
  for (const std::string& e : f.loaded.errors)
    ADD_FAILURE() << e;
  ASSERT_TRUE(f.loaded.ok());
  ASSERT_EQ(f.plants.size(), 60u);
  for (TPlant* plant : f.plants) {
    const VECTEUR foot = plant->GetCenter();
    EXPECT_TRUE(foot.x >= -20 && foot.x <= 20 && foot.y >= -10 && foot.y <= 10) << foot.x << ", " << foot.y;
    EXPECT_NEAR(foot.z, Ground(*f.terrain, foot.x, foot.y), 1e-3);
    TBoundingBox box;
    plant->IncludeObjectInBox(box, false, true);
    EXPECT_GE(box.max.z - foot.z, 2 - 1e-3);
    EXPECT_LE(box.max.z - foot.z, 3 + 1e-3);
  }
  // Groups by place: a few plants each, or two groups; every group's box holds its plants.
  for (Group* group : f.groups) {
    const int count = group->children->Count();
    EXPECT_GE(count, 1);
    EXPECT_LE(count, 6);
    for (int k = 0; k < count; k++) {
      TBoundingBox child;
      (*group->children)[k]->IncludeObjectInBox(child, false, true);
      EXPECT_TRUE(child.min.x >= group->box.min.x - 1e-3 && child.max.x <= group->box.max.x + 1e-3 &&
                  child.min.y >= group->box.min.y - 1e-3 && child.max.y <= group->box.max.y + 1e-3);
    }
  }
  EXPECT_GE(f.groups.size(), 60u / 6);
}

TEST_F(Scatter, TheSameSeedBringsTheSameForestBack) {
  const std::string keys = R"(, "Count": 25, "Region": [-27, -27, 27, 27], "MaxSlope": 90, "Seed": )";
  Forest a = Load(keys + "11"), b = Load(keys + "11"), c = Load(keys + "12");
  ASSERT_TRUE(a.loaded.ok() && b.loaded.ok() && c.loaded.ok());
  ASSERT_EQ(a.plants.size(), 25u);
  ASSERT_EQ(b.plants.size(), 25u);
  ASSERT_EQ(c.plants.size(), 25u);
  int moved = 0;
  std::vector<std::pair<double, double>> places, again, other;
  for (size_t k = 0; k < 25; k++) {
    places.emplace_back(a.plants[k]->GetCenter().x, a.plants[k]->GetCenter().y);
    again.emplace_back(b.plants[k]->GetCenter().x, b.plants[k]->GetCenter().y);
    other.emplace_back(c.plants[k]->GetCenter().x, c.plants[k]->GetCenter().y);
    EXPECT_EQ(a.plants[k]->cylinderCount, b.plants[k]->cylinderCount);
    EXPECT_EQ(a.plants[k]->paraboloidCount, b.plants[k]->paraboloidCount);
  }
  std::sort(places.begin(), places.end());
  std::sort(again.begin(), again.end());
  std::sort(other.begin(), other.end());
  EXPECT_EQ(places, again);
  for (size_t k = 0; k < 25; k++)
    moved += places[k] != other[k] ? 1 : 0;
  EXPECT_GT(moved, 20);
}

TEST_F(Scatter, LimitsKeepPlantsOffSteepAndOutOfRangeGround) {
  Forest all = Load(R"(, "Count": 1, "MaxSlope": 90)");
  ASSERT_TRUE(all.loaded.ok());
  TBoundingBox land;
  all.terrain->IncludeObjectInBox(land, false, true);
  const double low = land.min.z, high = land.max.z, middle = (low + high) / 2;
  struct Case {
    std::string keys;
    double lowest, highest, maxSlope;  // degrees
  } cases[] = {
      {R"(, "Count": 40, "MaxSlope": 90, "Altitude": [)" + std::to_string(middle) + ", 1e9]", middle, 1e9, 90},
      {R"(, "Count": 40, "MaxSlope": 90, "Altitude": [-1e9, )" + std::to_string(middle) + "]", -1e9, middle, 90},
      {R"(, "Count": 40, "MaxSlope": 20)", -1e9, 1e9, 20},
      {R"(, "Density": 0.05, "Region": [-20, -10, 20, 10], "MaxSlope": 90)", -1e9, 1e9, 90},  // 40 over 800
  };
  // The slope limit has something to refuse: part of the land is steeper than 20 degrees.
  int steep = 0;
  for (double x = land.min.x + 2; x < land.max.x - 2; x += 2)
    for (double y = land.min.y + 2; y < land.max.y - 2; y += 2) {
      const double dx = Ground(*all.terrain, x + 0.5, y) - Ground(*all.terrain, x - 0.5, y);
      const double dy = Ground(*all.terrain, x, y + 0.5) - Ground(*all.terrain, x, y - 0.5);
      steep += std::hypot(dx, dy) > std::tan(20 * 0.017453292519943295) ? 1 : 0;
    }
  EXPECT_GT(steep, 50);
  for (const Case& c : cases) {
    Forest f = Load(c.keys);
    for (const std::string& e : f.loaded.errors)
      ADD_FAILURE() << c.keys << ": " << e;
    ASSERT_TRUE(f.loaded.ok()) << c.keys;
    EXPECT_EQ(f.plants.size(), 40u) << c.keys;
    for (TPlant* plant : f.plants) {
      const VECTEUR foot = plant->GetCenter();
      EXPECT_GE(foot.z, c.lowest - 1e-3) << c.keys;
      EXPECT_LE(foot.z, c.highest + 1e-3) << c.keys;
      const double dx = Ground(*f.terrain, foot.x + 0.5, foot.y) - Ground(*f.terrain, foot.x - 0.5, foot.y);
      const double dy = Ground(*f.terrain, foot.x, foot.y + 0.5) - Ground(*f.terrain, foot.x, foot.y - 0.5);
      EXPECT_LE(std::hypot(dx, dy), std::tan(c.maxSlope * 0.017453292519943295) + 1e-6) << c.keys;
    }
  }
  // Ground that no place fits is an error that says so, not an empty forest.
  Forest none = Load(R"(, "Count": 5, "MaxSlope": 90, "Altitude": [)" + std::to_string(high + 10) + ", 1e9]");
  EXPECT_FALSE(none.loaded.ok());
  ASSERT_EQ(none.loaded.errors.size(), 1u);
  EXPECT_NE(none.loaded.errors[0].find("no place in the region fits"), std::string::npos) << none.loaded.errors[0];
}

}  // namespace
