// Terrain: the landscape's ground, a rectangular grid of 16-bit altitudes treated as a
// closed solid (the surface on top, four vertical side walls and a flat floor), with a
// three-level pyramid of altitude bounds that lets rays skip empty space.
//
// Frames. Grid point (i, j) with altitude a lies at local (i - (width >> 1),
// j - (height >> 1), 0.08 a). Intersection work happens in the grid frame, the local frame
// shifted by (width >> 1, height >> 1, 0), where grid point (i, j) lies at x = i, y = j.
// Hit points are reported in the grid frame, normals in the local frame.
//
// Memory. Both blocks stay pinned for the terrain's whole life, so that `altitudes` and
// `clusters` are always valid addresses and queries from several render threads read
// them without touching any lock count. Lock and Unlock still nest on top, as callers
// expect. A terrain whose altitude block could not be allocated reads and writes
// nothing, reports no hit and no intervals.
#pragma once

#include <cstdint>

#include "engine/objects/block_object.h"
#include "engine/objects/object.h"

#pragma pack(push, 1)

// One record of the cluster pyramid: the altitude bounds of a block of grid points.
struct ClusterBound {
  int32_t maxAltitude;
  int32_t minAltitude;
};

#pragma pack(pop)

static_assert(sizeof(ClusterBound) == 8);

// Vertical size of one altitude unit, in local units.
constexpr double AltitudeStep = 0.08;

// Shown, after the shared out-of-memory message, when the altitude grid cannot be allocated.
extern const char* const TerrainOutOfMemoryText;

class Terrain : public Obj, public BlockObject {
 public:
  HGLOBAL clusterHandle = nullptr;  // the cluster pyramid; the altitude grid is BlockObject::handle
  uint16_t width;                   // grid points along x
  uint16_t height;                  // grid points along y
  int16_t minAltitude = 0;          // the floor, in altitude units
  int16_t maxAltitude = 1;          // set by PrepareClusters
  uint8_t smoothSurface = 0;        // 0: two flat triangles per cell; else a cubic surface
  uint8_t extraFlag = 0;            // copied, never read
  int16_t* altitudes = nullptr;     // (width + 3) x (height + 3) values, guard ring included
  ClusterBound* clusters = nullptr;

  // Allocates both blocks zero-filled; `id` goes to Obj's constructor.
  Terrain(unsigned width, unsigned height, unsigned id);
  Terrain(const Terrain&) = delete;
  ~Terrain() override;
  // The Obj part and the fields, and copies of both blocks: the copy owns its memory.
  Terrain& operator=(const Terrain& src);
  BasicObject* Clone() const;

  void Lock();
  void Unlock();

  // Grid point (x, y); x may run from -1 to width + 1 and y from -1 to height + 1 (the
  // guard ring). Reads outside that range give 0 and writes there are ignored.
  int16_t GetAltitude(int x, int y) const;
  // Stores the low 16 bits of altitude.
  void SetAltitude(int x, int y, int altitude);
  // (x, y) is a data point: 0 <= x < width and 0 <= y < height.
  bool DansRelief(int x, int y) const;
  // Data points (0, y) to (width - 1, y) of row y, 0 <= y < height, in order: a whole grid
  // is filled and scanned a row at a time through these rather than a point at a time.
  int16_t* AltitudeRow(int y) { return altitudes + static_cast<size_t>(y + 1) * (width + 3) + 1; }
  const int16_t* AltitudeRow(int y) const { return altitudes + static_cast<size_t>(y + 1) * (width + 3) + 1; }

  // Subtracts the lowest data altitude from every point, guard ring included.
  void ZeroMinimumAltitudes();
  // Copies the border values into the guard ring: rows first, then columns.
  void PrepareEdges();
  // Builds the three pyramid levels, sets maxAltitude (at least 10) and the size.
  void PrepareClusters();

  // The grid-frame altitude (in local units) of the surface at (x, y): a vertical probe
  // through the cell there; the floor when nothing is hit.
  double SurfaceAltitudeAt(double x, double y) const;

  BasicObject* FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) override;
  // Entry/exit intervals of the solid, clipped at the floor.
  TIntervalList* FindAllIntersections(Ray* ray, TDrawInfo* di) override;
  // A ray straight up from p has an interval around p.
  bool IsInside(const VECTEUR& p, TDrawInfo* di) override;
  // Altitude lines every Detail x 5 grid points (more on axes over 256 points), or the
  // box when Detail is 0 or the object is box-only.
  void DrawWireFrame(TDrawInfo* di, bool ghost) override;
  // The box of the grid from the floor to maxAltitude.
  void IncludeObjectInBox(TBoundingBox& box, bool symbol, bool world) override;
  long GetNumberOfPolygons() override;
  // Obj's size times the grid's diagonal (altitudes in altitude units).
  void ComputeObjectSize() override;

  // The pyramid's dimensions for this grid.
  int Level1Width() const { return (width >> 2) + 1; }
  int Level1Height() const { return (height >> 2) + 1; }
  int Level2Width() const { return (Level1Width() >> 2) + 1; }
  int Level2Height() const { return (Level1Height() >> 2) + 1; }
  int Level3Width() const { return (Level2Width() >> 2) + 1; }
  int Level3Height() const { return (Level2Height() >> 2) + 1; }
  // Records of each level, in the order they are stored.
  const ClusterBound* Level1() const { return clusters; }
  const ClusterBound* Level2() const { return clusters ? clusters + Level1Width() * Level1Height() : nullptr; }
  const ClusterBound* Level3() const { return clusters ? Level2() + Level2Width() * Level2Height() : nullptr; }

 private:
  void AllocateBlocks(size_t altitudeBytes, size_t clusterBytes, bool zeroFill);
  void FreeClusterBlock();
};

// The nearest hit, from outside the solid, of a ray already in the grid frame with a
// unit direction and its origin where it enters the terrain's box. t starts at 0 and
// receives the hit distance; only hits nearer than limit count. The last argument is
// not used.
bool inter(Terrain* terrain, Ray* ray, VECTEUR& point, VECTEUR& normal, double& t, double limit, bool flag);
// The same for a ray that starts inside the solid: the hit normal faces the ray; when
// the surface is not met the ray leaves through a side wall.
bool interInside(Terrain* terrain, Ray* ray, VECTEUR& point, VECTEUR& normal, double& t, double limit, bool flag);

// The nearest hit, in (tmin + 1e-5, tmax), of a grid-frame ray (unit direction) with the
// surface over the cell that holds (x, y). On a hit sets t, (x, y, z) to the hit point
// and normal to the (shading) normal.
bool IntersectTerrainCell(const Terrain* terrain, const Ray* ray, double& x, double& y, double& z, double& t,
                          double tmin, double tmax, VECTEUR& normal);

// The number of cells the calling thread's terrain walks have visited so far (a
// diagnostic for tests and benchmarks: how well the pyramid skips empty space).
unsigned long long TerrainCellsVisited();
// The number of level-2 records (16 x 16 cells) those walks have looked into: level-3
// records that cannot hold the surface are passed over without looking into theirs.
unsigned long long TerrainRecordsVisited();
