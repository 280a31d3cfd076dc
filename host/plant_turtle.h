// The turtle that turns a plant description string into the branches and leaves of a
// TPlant. docs/plants.md says what every symbol and quantity means.
#pragma once

#include <string>

class TPlant;

// The landscape materials of the three parts: "#(0)" wood, "#(1)" leaves, "#(2)" and above fruit.
struct PlantMaterials {
  unsigned wood = 0;
  unsigned leaves = 0;
  unsigned fruit = 0;
};

struct TurtleCounts {
  unsigned cylinders = 0;
  unsigned leaves = 0;
};

// Elements a plant may hold at most; the rest of a longer string is not built.
constexpr unsigned MaxPlantElements = 200000;

// Adds the elements `description` draws to `plant`, then smooths its joints and builds
// its box. Values are read with ReadValue, so every random range is drawn from rand().
TurtleCounts BuildPlant(const std::string& description, const PlantMaterials& materials, TPlant& plant);
