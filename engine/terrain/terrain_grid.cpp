// The altitude grid and its pyramid: reading and writing grid points, the guard ring, and
// the altitude bounds of the pyramid's three levels.
#include "engine/terrain/terrain_grid.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// The grid's passes over every point, eight points at a time where the processor can:
// they run once per terrain, before anything renders.

// The lowest of `count` altitudes and `lowest`.
int Lowest(const int16_t* values, int count, int lowest) {
  int x = 0;
#ifdef __SSE2__
  if (count >= 8) {
    __m128i low = _mm_set1_epi16(static_cast<int16_t>(lowest));
    for (; x + 8 <= count; x += 8)
      low = _mm_min_epi16(low, _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + x)));
    alignas(16) int16_t lanes[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), low);
    for (int16_t lane : lanes)
      lowest = std::min(lowest, static_cast<int>(lane));
  }
#endif
  for (; x < count; x++)
    lowest = std::min(lowest, static_cast<int>(values[x]));
  return lowest;
}

// Subtracts `amount` from `count` altitudes, wrapping as 16-bit values do.
void Lower(int16_t* values, size_t count, int amount) {
  size_t k = 0;
#ifdef __SSE2__
  const __m128i step = _mm_set1_epi16(static_cast<int16_t>(amount));
  for (; k + 8 <= count; k += 8) {
    __m128i* at = reinterpret_cast<__m128i*>(values + k);
    _mm_storeu_si128(at, _mm_sub_epi16(_mm_loadu_si128(at), step));
  }
#endif
  for (; k < count; k++)
    values[k] = static_cast<int16_t>(values[k] - amount);
}

// Widens column bounds by a row: highest[x] and lowest[x] take in row[x].
void FoldRow(const int16_t* row, int16_t* highest, int16_t* lowest, int count) {
  int x = 0;
#ifdef __SSE2__
  for (; x + 8 <= count; x += 8) {
    const __m128i values = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
    __m128i* high = reinterpret_cast<__m128i*>(highest + x);
    __m128i* low = reinterpret_cast<__m128i*>(lowest + x);
    _mm_storeu_si128(high, _mm_max_epi16(_mm_loadu_si128(high), values));
    _mm_storeu_si128(low, _mm_min_epi16(_mm_loadu_si128(low), values));
  }
#endif
  for (; x < count; x++) {
    highest[x] = std::max(highest[x], row[x]);
    lowest[x] = std::min(lowest[x], row[x]);
  }
}

}  // namespace

// Grid access -------------------------------------------------------------------------

int16_t Terrain::GetAltitude(int x, int y) const {
  if (!altitudes || x < -1 || y < -1 || x > width + 1 || y > height + 1)
    return 0;
  return altitudes[(y + 1) * (width + 3) + (x + 1)];
}

void Terrain::SetAltitude(int x, int y, int altitude) {
  if (!altitudes || x < -1 || y < -1 || x > width + 1 || y > height + 1)
    return;
  altitudes[(y + 1) * (width + 3) + (x + 1)] = static_cast<int16_t>(altitude);
}

bool Terrain::DansRelief(int x, int y) const { return x >= 0 && x < width && y >= 0 && y < height; }

void Terrain::ZeroMinimumAltitudes() {
  Lock();
  if (altitudes && width > 0 && height > 0) {
    int lowest = 32767;
    for (int y = 0; y < height; y++)
      lowest = Lowest(AltitudeRow(y), width, lowest);
    if (lowest != 0)
      Lower(altitudes, static_cast<size_t>(width + 3) * (height + 3), lowest);
  }
  Unlock();
}

void Terrain::PrepareEdges() {
  Lock();
  for (int x = -1; x <= width + 1; x++) {
    SetAltitude(x, -1, GetAltitude(x, 0));
    SetAltitude(x, height, GetAltitude(x, height - 1));
    SetAltitude(x, height + 1, GetAltitude(x, height - 1));
  }
  for (int y = -1; y <= height + 1; y++) {
    SetAltitude(-1, y, GetAltitude(0, y));
    SetAltitude(width, y, GetAltitude(width - 1, y));
    SetAltitude(width + 1, y, GetAltitude(width - 1, y));
  }
  Unlock();
}

void Terrain::PrepareClusters() {
  Lock();
  if (clusters && altitudes) {
    // Each level-1 record bounds the points of its 4 x 4 cells, far edges included (5 x 5
    // points) and clipped to the grid (a record past the grid is empty): each column's
    // bounds over the record row's five rows first, then across each record's columns.
    const int n1x = Level1Width(), n1y = Level1Height();
    std::vector<int16_t> columnHighest(width), columnLowest(width);
    for (int cy = 0; cy < n1y; cy++) {
      std::fill(columnHighest.begin(), columnHighest.end(), INT16_MIN);
      std::fill(columnLowest.begin(), columnLowest.end(), INT16_MAX);
      for (int y = 4 * cy; y <= 4 * cy + 4 && y < height; y++)
        FoldRow(AltitudeRow(y), columnHighest.data(), columnLowest.data(), width);
      for (int cx = 0; cx < n1x; cx++) {
        int high = -32768, low = 32767;
        const int xEnd = std::min(4 * cx + 5, static_cast<int>(width));
        for (int x = 4 * cx; x < xEnd; x++) {
          high = std::max(high, static_cast<int>(columnHighest[x]));
          low = std::min(low, static_cast<int>(columnLowest[x]));
        }
        clusters[cy * n1x + cx] = ClusterBound{high, low};
      }
    }
    // Levels 2 and 3: 4 x 4 records of the level below that start on the grid.
    auto combine = [&](const ClusterBound* below, int belowStride, ClusterBound* level, int nx, int ny, int span) {
      for (int cy = 0; cy < ny; cy++)
        for (int cx = 0; cx < nx; cx++) {
          ClusterBound b{-32768, 32767};
          for (int dy = 0; dy < 4; dy++)
            for (int dx = 0; dx < 4; dx++) {
              const int bx = 4 * cx + dx, by = 4 * cy + dy;
              if (span * bx >= width || span * by >= height)
                continue;
              const ClusterBound& r = below[by * belowStride + bx];
              b.maxAltitude = std::max(b.maxAltitude, r.maxAltitude);
              b.minAltitude = std::min(b.minAltitude, r.minAltitude);
            }
          level[cy * nx + cx] = b;
        }
    };
    ClusterBound* level2 = clusters + n1x * n1y;
    ClusterBound* level3 = level2 + Level2Width() * Level2Height();
    combine(clusters, n1x, level2, Level2Width(), Level2Height(), 4);
    combine(level2, Level2Width(), level3, Level3Width(), Level3Height(), 16);
    int highest = -32768;
    for (int k = 0; k < Level3Width() * Level3Height(); k++)
      highest = std::max(highest, level3[k].maxAltitude);
    maxAltitude = static_cast<int16_t>(highest);
  }
  ComputeObjectSize();
  if (maxAltitude < 10)
    maxAltitude = 10;
  Unlock();
}
