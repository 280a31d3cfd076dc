// The altitude grid and its pyramid: reading and writing grid points, the guard ring, and
// the altitude bounds of the pyramid's three levels.
#include "engine/terrain/terrain_grid.h"

#include <algorithm>

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
    for (int y = 0; y < height; y++) {
      const int16_t* row = AltitudeRow(y);
      for (int x = 0; x < width; x++)
        lowest = std::min(lowest, static_cast<int>(row[x]));
    }
    const size_t count = static_cast<size_t>(width + 3) * (height + 3);
    for (size_t k = 0; k < count; k++)
      altitudes[k] = static_cast<int16_t>(altitudes[k] - lowest);
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
    const int n1x = Level1Width(), n1y = Level1Height();
    for (int cy = 0; cy < n1y; cy++)
      for (int cx = 0; cx < n1x; cx++) {
        int highest = -32768, lowest = 32767;
        const int xEnd = std::min(4 * cx + 5, static_cast<int>(width));
        for (int y = 4 * cy; y <= 4 * cy + 4 && y < height; y++) {
          const int16_t* row = AltitudeRow(y);
          for (int x = 4 * cx; x < xEnd; x++) {
            highest = std::max(highest, static_cast<int>(row[x]));
            lowest = std::min(lowest, static_cast<int>(row[x]));
          }
        }
        clusters[cy * n1x + cx] = ClusterBound{highest, lowest};
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
