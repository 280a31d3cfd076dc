// The 18 species generators. Internal to the library.
#pragma once

#include <string>

#include "biosphere/numbers.h"

namespace biosphere {

// Grows the description string of species `model` (0 to 17), lowercased, drawing from
// `random`. Returns false, leaving `out` alone, for any other model.
bool GrowSpecies(int model, Randomness& random, std::string& out);

}  // namespace biosphere
