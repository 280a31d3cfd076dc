// Internal to the engine: the noise tables, the lattice hash and the three-dimensional
// basis functions (gradient noise, value noise and the cellular patterns) that the
// fractal functions and the material displacements evaluate. The tables must have been
// built by InitNoise.
#pragma once

#include <cstdint>

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

#include "engine/functions/noise.h"
#include "engine/geometry/vectors.h"

constexpr int NoisePermutationSize = 4096;
constexpr int RTableSize = 267;  // 256 hash-addressed entries and 11 for the gradient reads beyond them
constexpr int FractalPatchSide = 65;

// The tables. While none are built they point at all-zero tables of the same sizes.
extern const int16_t* NoisePermutation;
extern const float* RTable;
extern float FractalPatch[FractalPatchSide][FractalPatchSide];
extern int32_t FastRandomCursor;

// Truncation toward zero. Values beyond the int range give INT_MIN (what the processor's
// conversion returns) instead of undefined behaviour, so far-away points still hash.
inline int Truncate(float x) {
#if defined(__SSE__) || defined(__x86_64__)
  return _mm_cvtt_ss2si(_mm_set_ss(x));
#else
  return (x > -2147483648.0f && x < 2147483648.0f) ? static_cast<int>(x) : INT32_MIN;
#endif
}

// Floor as an integer (E): truncation, minus one for negative non-integral values;
// INT_MIN stands for every value below the int range.
inline int FloorToInt(float x) {
  int i = Truncate(x);
  if (x < static_cast<float>(i) && i != INT32_MIN)
    i--;
  return i;
}

// Fractional part t - E(t), in [0, 1).
inline float Fraction(float t) { return t - static_cast<float>(FloorToInt(t)); }

// Cell index plus a small offset, wrapping instead of overflowing; the hash keeps only
// the low 12 bits anyway.
inline int CellPlus(int i, int d) { return static_cast<int>(static_cast<unsigned>(i) + static_cast<unsigned>(d)); }

inline int LatticeHash(int i, int j, int k) {
  const int16_t* p = NoisePermutation;
  return p[p[p[i & 4095] ^ (j & 4095)] ^ (k & 4095)];
}

// The low byte of the hash: the RTable index of a cell.
inline int HashByte(int i, int j, int k) { return LatticeHash(i, j, k) & 255; }

// Smooth gradient noise; at most 1, may fall below -1.
float GradientNoise(float x, float y, float z);
// Three independent gradient noises (RTable entries h..h+3, h+4..h+7, h+8..h+11).
VECTEUR VectorGradientNoise(float x, float y, float z);
// Trilinear interpolation of the corner values, in [-1, 1].
float LinearValueNoise(float x, float y, float z);

// Cellular patterns over the 27 cells around the point.
float SpotCells(float x, float y, float z);
float CrackCells(float x, float y, float z);
float BlockCells(float x, float y, float z);
float ManhattanCellValue(float x, float y, float z);
float ManhattanCellPeaks(float x, float y, float z);
float EuclidCellPits(float x, float y, float z);

// Patterns of the point's own cell (or its corners).
float NoisyPlates(float x, float y, float z);
float Plates(float x, float y, float z);
float SplitCubes(float x, float y, float z);
float BeveledCells(float x, float y, float z);
float CellMosaic(float x, float y, float z);
float CellBlobs(float x, float y, float z);
float CrystalCells(float x, float y, float z);
float InverseDistanceNoise(float x, float y, float z);
float NestedBlobs(float x, float y, float z);
float NestedBoxes(float x, float y, float z);
float PerturbedBumps(float x, float y, float z);
// Waves in latitude and longitude of the direction of (x, y, z); a and b are the
// numbers of turns per period along each.
float SphericalWaves(float x, float y, float z, float a, float b);
