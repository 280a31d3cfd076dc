// Plant description strings on any bytes: the turtle builds what it can read (values read
// by the species library's number reader) and never crashes, loops or reads out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/plants/plant.h"
#include "host/plant_turtle.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string description(reinterpret_cast<const char*>(data), size);
  std::srand(1);  // random ranges in the string draw the same values every run
  TPlant plant(0);
  const TurtleCounts counts = BuildPlant(description, PlantMaterials{0, 1, 2}, plant);
  if (counts.cylinders + counts.leaves > MaxPlantElements)
    __builtin_trap();  // the element limit holds whatever the string
  return 0;
}
