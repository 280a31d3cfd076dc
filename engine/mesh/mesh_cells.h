// The voxel grid of a mesh: gridSize³ cells over its box, each listing the triangles
// whose corners' cell range covers it, in triangle order.
#pragma once

#include <cstdint>
#include <vector>

class TMesh;

// Cells per axis at most, so that the cell count stays within memory and 32 bits.
constexpr uint32_t MaxGridSize = 512;
// Triangle registrations at most (each a 32-bit index).
constexpr uint64_t MaxRegistrations = 1ull << 28;

struct MeshCells {
  uint32_t size = 0;            // cells per axis
  double lower[3] = {0, 0, 0};  // the box's lower corner
  double scale[3] = {0, 0, 0};  // cells per object-space unit, per axis
  std::vector<uint32_t> start;  // cell c lists triangles[start[c]] .. triangles[start[c + 1] - 1]
  std::vector<uint32_t> triangles;

  // Registers every triangle of the mesh over its localBox, with mesh.gridSize cells per axis.
  void Build(const TMesh& mesh);
  // The cell of a coordinate on an axis, clamped to the grid.
  uint32_t CellOf(double coordinate, int axis) const;
  uint32_t Index(uint32_t i, uint32_t j, uint32_t k) const { return i + size * (j + size * k); }
};
