// Readers of plants: one grown plant, and plants scattered over a terrain, grouped by
// place so that the bounding volume hierarchy culls them.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "biosphere/biosphere.h"
#include "engine/objects/aggregates.h"
#include "engine/objects/object_tools.h"
#include "engine/plants/plant.h"
#include "engine/scene/context.h"
#include "engine/terrain/terrain.h"
#include "host/landscape_reader.h"
#include "host/plant_turtle.h"

namespace {

// Plants in one group of a scattered forest at most: small groups, deep hierarchy.
constexpr size_t PlantsPerGroup = 6;
// Tries per requested plant before a scatter gives up on places that fit.
constexpr int TriesPerPlant = 30;

// The landscape material named by `key`, checked against the materials.
unsigned ReadPartMaterial(ReadContext& ctx, Fields& f, const char* key) {
  const JsonNode* n = f.Get(key);
  if (!n)
    return 0;
  auto v = ReadInteger(ctx, *n, key, 0, UINT16_MAX);
  if (!v)
    return 0;
  if (*v >= static_cast<int64_t>(ctx.materialCount)) {
    ctx.Error(n->position, std::string(key) + " material " + std::to_string(*v) + " is beyond the materials");
    return 0;
  }
  return static_cast<unsigned>(*v);
}

PlantMaterials ReadPlantMaterials(ReadContext& ctx, Fields& f) {
  PlantMaterials m;
  m.wood = ReadPartMaterial(ctx, f, "Wood");
  m.leaves = ReadPartMaterial(ctx, f, "Leaves");
  m.fruit = ReadPartMaterial(ctx, f, "Fruit");
  return m;
}

// A plant of `species` grown from `seed`, standing on its own origin; null when it has
// no elements.
std::unique_ptr<TPlant> Grow(int species, unsigned seed, const PlantMaterials& materials) {
  std::srand(seed);
  const std::string description = GrowPlant(static_cast<EPlantModel>(species));
  auto plant = std::make_unique<TPlant>(materials.wood);
  const TurtleCounts counts = BuildPlant(description, materials, *plant);
  if (counts.cylinders + counts.leaves == 0)
    return nullptr;
  return plant;
}

// Scales a grown plant uniformly so that it stands `height` tall.
void ScaleToHeight(TPlant& plant, double height) {
  const double natural = plant.localBox.max.z - std::max(0.0, plant.localBox.min.z);
  if (natural > 0.0 && height > 0.0) {
    const float k = static_cast<float>(height / natural);
    plant.Scale(k, k, k, nullptr, false);
  }
}

// Deterministic draws for placing plants, the same on every machine.
class Placement {
 public:
  explicit Placement(uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 1) {}
  // Uniform in [0, 1).
  double Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<double>(state >> 11) * (1.0 / 9007199254740992.0);
  }

 private:
  uint64_t state;
};

// The terrain's surface height below (x, y), or false where the terrain is not.
bool SurfaceAt(Terrain& terrain, TDrawInfo& di, double x, double y, double top, double& z) {
  Ray down;
  down.origin = VECTEUR(x, y, top);
  down.direction = VECTEUR(0.0, 0.0, -1.0);
  double t = NoLimit;
  VECTEUR point, normal;
  if (!terrain.FindNearestIntersection(&down, &di, t, point, normal))
    return false;
  z = top - t;
  return true;
}

// Groups of at most PlantsPerGroup plants, split by place along the longer side.
BasicObject* GroupByPlace(std::vector<BasicObject*>& plants, size_t begin, size_t end) {
  Group* group = new Group(nullptr);
  if (end - begin <= PlantsPerGroup) {
    for (size_t k = begin; k < end; k++)
      group->Add(plants[k], static_cast<unsigned>(-1));
    return group;
  }
  TBoundingBox box;
  for (size_t k = begin; k < end; k++)
    box.Include(plants[k]->GetCenter());
  const bool alongX = box.max.x - box.min.x >= box.max.y - box.min.y;
  const size_t middle = begin + (end - begin) / 2;
  std::nth_element(plants.begin() + begin, plants.begin() + middle, plants.begin() + end,
                   [alongX](BasicObject* a, BasicObject* b) {
                     return alongX ? a->GetCenter().x < b->GetCenter().x : a->GetCenter().y < b->GetCenter().y;
                   });
  group->Add(GroupByPlace(plants, begin, middle), static_cast<unsigned>(-1));
  group->Add(GroupByPlace(plants, middle, end), static_cast<unsigned>(-1));
  return group;
}

}  // namespace

BasicObject* ReadPlant(ReadContext& ctx, Fields& f) {
  const JsonNode* speciesNode = f.Get("Species");
  auto seed = f.Integer("Seed", 0, UINT32_MAX);
  auto height = f.Number("Height", 1e-3, 1e6);
  const PlantMaterials materials = ReadPlantMaterials(ctx, f);
  if (!speciesNode) {
    ctx.Error(f.Node().position, "a plant needs its Species: 0 to 17");
    return nullptr;
  }
  auto species = ReadInteger(ctx, *speciesNode, "Species", 0, PlantModelCount - 1);
  if (!species || ctx.Failed())
    return nullptr;
  std::unique_ptr<TPlant> plant = Grow(static_cast<int>(*species), static_cast<unsigned>(seed.value_or(1)), materials);
  if (!plant) {
    ctx.Error(speciesNode->position, "the plant grew no branches or leaves");
    return nullptr;
  }
  if (height)
    ScaleToHeight(*plant, *height);
  return plant.release();
}

BasicObject* ReadScatter(ReadContext& ctx, Fields& f, const std::vector<Terrain*>& terrains) {
  const JsonNode* on = f.Get("On");
  const JsonNode* speciesNode = f.Get("Species");
  auto count = f.Integer("Count", 1, MaxScatteredPlants);
  auto density = f.Number("Density", 1e-9, 1e6);
  auto seed = f.Integer("Seed", 0, UINT32_MAX);
  auto variants = f.Integer("Variants", 1, 64);
  auto maxSlope = f.Number("MaxSlope", 0.0, 90.0);
  double region[4] = {0, 0, 0, 0}, heights[2] = {8, 12}, altitudes[2] = {-1e9, 1e9};
  const JsonNode* regionNode = f.Get("Region");
  if (regionNode)
    ReadNumbers(ctx, *regionNode, "Region", 4, -1e9, 1e9, region);
  if (const JsonNode* n = f.Get("Height"))
    ReadNumbers(ctx, *n, "Height", 2, 1e-3, 1e6, heights);
  if (const JsonNode* n = f.Get("Altitude"))
    ReadNumbers(ctx, *n, "Altitude", 2, -1e9, 1e9, altitudes);
  const PlantMaterials materials = ReadPlantMaterials(ctx, f);
  std::vector<int> species;
  if (!speciesNode || speciesNode->kind != JsonNode::Kind::Array || speciesNode->items.empty() ||
      speciesNode->items.size() > 18) {
    ctx.Error(speciesNode ? speciesNode->position : f.Node().position,
              "a scatter needs its Species: an array of 1 to 18 species numbers, 0 to 17");
  } else {
    for (const JsonNode& item : speciesNode->items)
      if (auto v = ReadInteger(ctx, item, "a species", 0, PlantModelCount - 1))
        species.push_back(static_cast<int>(*v));
  }
  Terrain* terrain = nullptr;
  if (!on || on->kind != JsonNode::Kind::String) {
    ctx.Error(on ? on->position : f.Node().position, "a scatter needs On: the name of a terrain given before it");
  } else {
    for (Terrain* t : terrains)
      if (on->string == t->name)
        terrain = t;
    if (!terrain)
      ctx.Error(on->position, "no terrain named \"" + on->string + "\" comes before this scatter");
  }
  if (!count && !density)
    ctx.Error(f.Node().position, "a scatter needs its Count (1 to " + std::to_string(MaxScatteredPlants) +
                                     ") or its Density (plants per square unit of the region)");
  if (count && density)
    ctx.Error(f.Node().position, "a scatter takes Count or Density, not both");
  if (regionNode && (region[2] <= region[0] || region[3] <= region[1]))
    ctx.Error(regionNode->position, "Region is [xmin, ymin, xmax, ymax] with each max above its min");
  if (heights[1] < heights[0] || altitudes[1] < altitudes[0])
    ctx.Error(f.Node().position, "Height and Altitude are [lowest, highest]");
  if (ctx.Failed())
    return nullptr;

  // The places: the terrain's box unless a region is given.
  TBoundingBox box;
  terrain->IncludeObjectInBox(box, false, true);
  if (!regionNode) {
    region[0] = box.min.x;
    region[1] = box.min.y;
    region[2] = box.max.x;
    region[3] = box.max.y;
  }
  const double top = box.max.z + 1.0;
  const double slopeLimit = std::tan(maxSlope.value_or(35.0) * 0.017453292519943295);

  // A few plants of each species, copied for every place.
  const int variantCount = static_cast<int>(variants.value_or(8));
  std::vector<std::unique_ptr<TPlant>> grown;
  for (size_t s = 0; s < species.size(); s++)
    for (int v = 0; v < variantCount; v++) {
      auto plant = Grow(species[s], static_cast<unsigned>(seed.value_or(1) + 7919 * (s * 64 + v)), materials);
      grown.push_back(std::move(plant));
    }

  TDrawInfo di;
  di.Rendering = 1;
  Placement draw(static_cast<uint64_t>(seed.value_or(1)));
  std::vector<BasicObject*> plants;
  // A density asks for as many plants as it gives over the region's ground plan.
  const double area = (region[2] - region[0]) * (region[3] - region[1]);
  const int64_t wanted = count ? *count : static_cast<int64_t>(std::llround(std::min(*density * area, 1e12)));
  if (wanted < 1 || wanted > MaxScatteredPlants) {
    ctx.Error(f.Node().position, "Density gives " + std::to_string(wanted) + " plants over the region: 1 to " +
                                     std::to_string(MaxScatteredPlants) + " can be scattered");
    return nullptr;
  }
  for (int64_t tries = 0; static_cast<int64_t>(plants.size()) < wanted && tries < wanted * TriesPerPlant; tries++) {
    const double x = region[0] + draw.Next() * (region[2] - region[0]);
    const double y = region[1] + draw.Next() * (region[3] - region[1]);
    const size_t pick = static_cast<size_t>(draw.Next() * grown.size());
    const double height = heights[0] + draw.Next() * (heights[1] - heights[0]);
    const double turn = draw.Next() * 360.0;
    double z, east, west, north, south;
    if (!SurfaceAt(*terrain, di, x, y, top, z) || z < altitudes[0] || z > altitudes[1])
      continue;
    if (!SurfaceAt(*terrain, di, x + 0.5, y, top, east) || !SurfaceAt(*terrain, di, x - 0.5, y, top, west) ||
        !SurfaceAt(*terrain, di, x, y + 0.5, top, north) || !SurfaceAt(*terrain, di, x, y - 0.5, top, south))
      continue;
    if (std::hypot(east - west, north - south) > slopeLimit)
      continue;
    TPlant* model = grown[std::min(pick, grown.size() - 1)].get();
    if (!model)
      continue;
    BasicObject* copy = nullptr;
    CopyObject(&copy, model);
    if (!copy)
      continue;
    TPlant& plant = static_cast<TPlant&>(*copy);
    plant.Rotate(0.0f, 0.0f, static_cast<float>(turn), nullptr, true);
    ScaleToHeight(plant, height);
    plant.MoveTo(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z), nullptr);
    plants.push_back(copy);
  }
  if (plants.empty()) {
    ctx.Error(f.Node().position, "no place in the region fits the scatter's slope and altitude limits");
    return nullptr;
  }
  return GroupByPlace(plants, 0, plants.size());
}
