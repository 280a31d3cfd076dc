#include "engine/functions/noise.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "engine/functions/noise_basis.h"
#include "engine/platform/memory.h"
#include "engine/platform/messages.h"
#include "engine/platform/quit_request.h"
#include "engine/platform/random.h"

namespace {

// Read while no table is built, so that a noise call before InitNoise (or after a failed
// allocation, or after FreeNoiseData) reads zeros instead of a missing block.
const int16_t zeroPermutation[NoisePermutationSize] = {};
const float zeroRTable[RTableSize] = {};

HGLOBAL permutationBlock = nullptr;
HGLOBAL rTableBlock = nullptr;

// A block of `bytes` bytes, locked; on failure the out-of-memory message, the table's
// label on standard output and a quit request, and null.
void* AllocateTable(size_t bytes, const char* label, HGLOBAL& handle) {
  handle = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (!handle) {
    MessageOutOfmemory();
    std::printf("%s\n", label);
    std::fflush(stdout);
    PostQuitMessage(0);
    return nullptr;
  }
  return GlobalLock(handle);
}

void BuildPermutation(int16_t* table) {
  std::srand(0);
  for (int n = 0; n < NoisePermutationSize; n++)
    table[n] = static_cast<int16_t>(n);
  for (int n = NoisePermutationSize - 1; n >= 0; n--) {
    int m = StandardRandom() % 4096;
    std::swap(table[n], table[m]);
  }
}

// CRC-16/ARC (reflected polynomial 0xA001, initial value 0, no final XOR), table-driven.
uint16_t Crc16Arc(const unsigned char* bytes, size_t count) {
  static uint16_t table[256];
  static bool built = false;
  if (!built) {
    for (unsigned n = 0; n < 256; n++) {
      unsigned crc = n;
      for (int bit = 0; bit < 8; bit++)
        crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
      table[n] = static_cast<uint16_t>(crc);
    }
    built = true;
  }
  unsigned crc = 0;
  for (size_t n = 0; n < count; n++)
    crc = table[(crc ^ bytes[n]) & 0xFF] ^ (crc >> 8);
  return static_cast<uint16_t>(crc);
}

void BuildRTable(float* table) {
  for (int n = 0; n < RTableSize; n++) {
    double triple[3] = {n * 0.12345, n * 0.12345, n * 0.12345};
    unsigned char bytes[sizeof triple];
    std::memcpy(bytes, triple, sizeof bytes);  // little-endian IEEE-754 on every target we build for
    table[n] = static_cast<float>(Crc16Arc(bytes, sizeof bytes) * 3.0518043793392844e-05 - 1.0);
  }
}

float PatchNoise() { return FastRandomFloat() - 0.5f; }

float DiagonalMean(int i, int j, int s) {
  return 0.25f * (GetFromFractalPatch(i - s, j - s) + GetFromFractalPatch(i + s, j - s) +
                  GetFromFractalPatch(i + s, j + s) + GetFromFractalPatch(i - s, j + s));
}

float EdgeMean(int i, int j, int s) {
  return 0.25f * (GetFromFractalPatch(i, j - s) + GetFromFractalPatch(i + s, j) + GetFromFractalPatch(i, j + s) +
                  GetFromFractalPatch(i - s, j));
}

// Toroidal diamond-square midpoint displacement, normalised to [0, 1].
void BuildFractalPatch() {
  const int last = FractalPatchSide - 1;
  FastRandomCursor = 0;
  std::memset(FractalPatch, 0, sizeof FractalPatch);
  int s = last;
  do {
    s /= 2;
    const float a = s < 8 ? static_cast<float>(s) : 0.0f;
    const float a2 = s < 8 ? static_cast<float>(static_cast<int>(s * 0.707)) : 0.0f;
    for (int i = s; i <= last; i += 2 * s)
      for (int j = s; j <= last; j += 2 * s)
        FractalPatch[i][j] = DiagonalMean(i, j, s) + a * PatchNoise();
    int row = 0;
    for (int i = 0; i <= last; i += s, row++)
      for (int j = row % 2 == 0 ? s : 0; j <= last; j += 2 * s)
        FractalPatch[i][j] = EdgeMean(i, j, s) + a2 * PatchNoise();
    for (int i = s; i <= last; i += 2 * s)
      for (int j = s; j <= last; j += 2 * s)
        FractalPatch[i][j] = EdgeMean(i, j, s) + a2 * PatchNoise();
    for (int i = 0; i <= last; i += 2 * s)
      for (int j = 0; j <= last; j += 2 * s)
        FractalPatch[i][j] = DiagonalMean(i, j, s) + a * PatchNoise();
  } while (s > 1);

  float low = 32000.0f, high = -32000.0f;
  for (int i = 0; i < last; i++)
    for (int j = 0; j < last; j++) {
      low = std::min(low, FractalPatch[i][j]);
      high = std::max(high, FractalPatch[i][j]);
    }
  // high > low: the tables are fixed and the displaced levels always vary.
  for (auto& row : FractalPatch)
    for (float& cell : row)
      cell = (cell - low) / (high - low);
}

}  // namespace

const int16_t* NoisePermutation = zeroPermutation;
const float* RTable = zeroRTable;
float FractalPatch[FractalPatchSide][FractalPatchSide];
int32_t FastRandomCursor = 0;

void InitNoise() {
  FreeNoiseData();  // a second call rebuilds the tables instead of leaking the first ones

  auto* permutation = static_cast<int16_t*>(
      AllocateTable(NoisePermutationSize * sizeof(int16_t), "table de hachage", permutationBlock));
  if (!permutation)
    return;
  BuildPermutation(permutation);
  NoisePermutation = permutation;

  auto* rTable = static_cast<float*>(AllocateTable(RTableSize * sizeof(float), "RTable", rTableBlock));
  if (!rTable)
    return;
  BuildRTable(rTable);
  RTable = rTable;

  BuildFractalPatch();
}

void FreeNoiseData() {
  NoisePermutation = zeroPermutation;
  RTable = zeroRTable;
  for (HGLOBAL* block : {&permutationBlock, &rTableBlock}) {
    if (*block) {
      GlobalUnlock(*block);
      GlobalFree(*block);
      *block = nullptr;
    }
  }
}

void SetFastRandomSeed(int seed) { FastRandomCursor = seed; }

int FastRandom() {
  FastRandomCursor &= 4095;
  return NoisePermutation[FastRandomCursor++];
}

float FastRandomFloat() {
  FastRandomCursor &= 4095;
  return NoisePermutation[FastRandomCursor++] * 0.000244140625f;
}

float GetFromFractalPatch(int i, int j) { return FractalPatch[i & 63][j & 63]; }

int E(float x) { return FloorToInt(x); }
