// The Paeth predictor of PNG rows, shared by the encoder and the height-map decoder: of the
// pixels left (a), above (b) and above-left (c), the one nearest a + b - c, ties going to
// a, then b.
#pragma once

#include <cstdint>
#include <cstdlib>

inline uint8_t PaethPredictor(int a, int b, int c) {
  const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
  return static_cast<uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}
