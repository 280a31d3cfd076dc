// Options: the preview settings that every procedural function and every material
// carries, and the two process-wide defaults that new functions and materials copy.
#pragma once

#include <cstdint>

#include "engine/functions/colour_table.h"

#pragma pack(push, 1)

struct Options {
  int32_t Setting = 1;                // kept for the host
  int32_t Background = 3;             // 3: sky gradient over a chequered floor; other: plain colour
  TableDeCouleurs BackgroundColours;  // light sky blue at 0 to white at 10000
  TableDeCouleurs ValueColours;       // black at 0 to white at 10000: a function's value in previews

  Options();
};

#pragma pack(pop)

// Copies out the defaults for new functions and for new materials.
void GetDefaultOptions(Options& forFunctions, Options& forMaterials);
// Replaces both defaults.
void SetDefaultOptions(Options& forFunctions, Options& forMaterials);
