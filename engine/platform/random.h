// The C library's generator reduced to the range the engine's formulas assume (0 to
// 32767): every draw the engine takes from rand() goes through this helper, so that
// a library whose rand() reaches 2^31 - 1 draws the same low 15 bits everywhere.
#pragma once

#include <cstdlib>

inline int StandardRandom() { return std::rand() % 32768; }
