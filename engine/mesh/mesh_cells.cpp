#include "engine/mesh/mesh_cells.h"

#include <algorithm>
#include <cmath>

#include "engine/mesh/mesh.h"

uint32_t MeshCells::CellOf(double coordinate, int axis) const {
  const double g = (coordinate - lower[axis]) * scale[axis];
  // Not-a-number and points below the box go to the first cell.
  if (!(g >= 1.0))
    return 0;
  return static_cast<uint32_t>(std::min(g, static_cast<double>(size - 1)));
}

void MeshCells::Build(const TMesh& mesh) {
  const double lo[3] = {mesh.localBox.min.x, mesh.localBox.min.y, mesh.localBox.min.z};
  const double hi[3] = {mesh.localBox.max.x, mesh.localBox.max.y, mesh.localBox.max.z};
  // The cell range of each triangle, then two passes: count, then fill in triangle order.
  struct Range {
    uint32_t low[3], high[3];
  };
  std::vector<Range> ranges(mesh.points ? mesh.triangleCount : 0);
  // A grid whose registrations would not fit in 32-bit indices (triangles spanning most
  // of the box) is coarsened until they do.
  for (size = std::max<uint32_t>(mesh.gridSize, 1);; size = std::max<uint32_t>(size / 2, 1)) {
    for (int a = 0; a < 3; a++) {
      lower[a] = lo[a];
      const double extent = hi[a] - lo[a];
      scale[a] = extent > 0.0 ? size / extent : 0.0;
    }
    uint64_t registrations = 0;
    for (uint32_t t = 0; t < ranges.size(); t++) {
      const Face3 f = mesh.triangles[t];
      const VECFLOAT corners[3] = {mesh.points[f.a], mesh.points[f.b], mesh.points[f.c]};
      Range& r = ranges[t];
      uint64_t cells = 1;
      for (int a = 0; a < 3; a++) {
        uint32_t low = size, high = 0;
        for (const VECFLOAT& p : corners) {
          const uint32_t c = CellOf(a == 0 ? p.x : a == 1 ? p.y : p.z, a);
          low = std::min(low, c);
          high = std::max(high, c);
        }
        r.low[a] = low;
        r.high[a] = high;
        cells *= high - low + 1;
      }
      registrations += cells;
    }
    if (registrations <= MaxRegistrations || size == 1)
      break;
  }
  const size_t cellCount = static_cast<size_t>(size) * size * size;
  start.assign(cellCount + 1, 0);
  triangles.clear();
  for (uint32_t t = 0; t < ranges.size(); t++) {
    const Range& r = ranges[t];
    for (uint32_t k = r.low[2]; k <= r.high[2]; k++)
      for (uint32_t j = r.low[1]; j <= r.high[1]; j++)
        for (uint32_t i = r.low[0]; i <= r.high[0]; i++)
          start[Index(i, j, k) + 1]++;
  }
  for (size_t c = 0; c < cellCount; c++)
    start[c + 1] += start[c];
  triangles.resize(start[cellCount]);
  std::vector<uint32_t> fill(start.begin(), start.end() - 1);
  for (uint32_t t = 0; t < ranges.size(); t++) {
    const Range& r = ranges[t];
    for (uint32_t k = r.low[2]; k <= r.high[2]; k++)
      for (uint32_t j = r.low[1]; j <= r.high[1]; j++)
        for (uint32_t i = r.low[0]; i <= r.high[0]; i++)
          triangles[fill[Index(i, j, k)]++] = t;
  }
}
