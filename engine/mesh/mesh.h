// TMesh: a polygon model. Points are welded as they are added (within 1e-5 on each
// axis), edges recorded once each, and before a render the faces are oriented, given
// normals, sorted into a uniform voxel grid, and given smoothed vertex normals that stop
// at creases.
//
// Memory. The five element arrays (points, vertex normals, edges, triangles, quads) live
// in one movable block, each with room to grow, so that adding an element costs
// amortised constant time. The block stays pinned for the mesh's whole life, so the five
// pointers are always valid and render threads read them without touching any lock
// count; Lock and Unlock still nest on top, as callers expect. Welding and edge lookups
// go through hash indexes rebuilt whenever the arrays have changed behind their back.
//
// Threads. Queries write nothing shared: their scratch state (the side class of each
// point and the tested mark of each triangle) is kept per thread, and the material of
// a hit is reported per thread (engine/objects/hit_material.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/objects/object.h"
#include "engine/platform/memory.h"

#pragma pack(push, 1)

// An edge: two point indices; equal in either order.
struct Ligne {
  uint16_t a, b;

  bool operator==(const Ligne& o) const { return (a == o.a && b == o.b) || (a == o.b && b == o.a); }
  bool operator<(const Ligne& o) const { return a < o.a || (a == o.a && b < o.b); }
};

// Face flag: the stored corners run against the order in which they were given (the
// orientation of PrepareFaceNormals swapped them), so the face's front, the side its
// given winding faces, is opposite to faceNormal.
constexpr uint32_t FaceReversed = 1;

struct Face3 {
  uint32_t flags;  // FaceReversed
  uint16_t a, b, c;
  uint8_t smoothMask;  // 1 for a, 2 for b, 4 for c: the corner takes its vertex normal
  VECFLOAT faceNormal;
  uint16_t material;
  int32_t projectionAxis;  // 0, 1 or 2: the largest component of the face normal

  bool operator==(const Face3& o) const { return a == o.a && b == o.b && c == o.c; }
};

struct Face4 {
  uint32_t flags;
  uint16_t a, b, c, d;
  uint8_t smoothMask;  // 8 for d
  VECFLOAT faceNormal;
  uint16_t material;
  int32_t projectionAxis;
};

#pragma pack(pop)

static_assert(sizeof(Ligne) == 4);
static_assert(sizeof(Face3) == 29);
static_assert(sizeof(Face4) == 31);
static_assert(offsetof(Face3, faceNormal) == 11 && offsetof(Face3, material) == 23);
static_assert(offsetof(Face4, faceNormal) == 13 && offsetof(Face4, material) == 25);

// Point indices are 16-bit.
constexpr uint32_t MaxMeshPoints = 65536;

// The voxel grid: for each of gridSize³ cells, the indices of the triangles that may
// cross it, in triangle order. Cell (i, j, k) is number i + gridSize·(j + gridSize·k).
struct MeshCells;
// The hash indexes of welding and edge lookup.
struct MeshBuildIndex;

class TMesh : public Obj {
 public:
  uint32_t pointCount = 0;
  uint32_t edgeCount = 0;
  uint32_t triangleCount = 0;  // also the polygon count
  uint32_t quadCount = 0;
  uint32_t gridSize = 0;  // cells per axis; 0 until SplitIntoBlocs
  MeshCells* cellLists = nullptr;
  uint8_t hasVertexNormals = 1;
  float creaseCosine;    // cos(45°): faces closer than this angle share smoothed normals
  uint8_t twoSided = 1;  // 0: only a face's front is hit
  VECFLOAT* points = nullptr;
  VECFLOAT* normals = nullptr;  // equals points when hasVertexNormals is 0
  Ligne* edges = nullptr;
  Face3* triangles = nullptr;
  Face4* quads = nullptr;
  HGLOBAL block = nullptr;
  TBoundingBox localBox;  // the points in object space, built by BuildBox
  TBoundingBox pointBox;  // every point added, moved with the object
  VECTEUR modelCentre;    // kept and copied, not interpreted
  VECTEUR modelScale;     // kept and copied, not interpreted
  uint32_t words[3] = {0, 0, 0};
  uint8_t normalsDirty = 0;  // set by every addition, cleared by PrepareNormals

  // `id` goes to Obj's constructor. Shows the out-of-memory message when the block
  // cannot be allocated; such a mesh takes no elements.
  explicit TMesh(unsigned id);
  TMesh(const TMesh&) = delete;
  ~TMesh() override;
  // A deep copy: counts, flags, boxes, the elements and the grid.
  TMesh& operator=(const TMesh& src);
  BasicObject* Clone() const;

  void Lock();
  void Unlock();
  // The bytes the elements take.
  size_t GetBlockSize() const;

  // Triangle (a, b, c) by point indices; its three edges are recorded when new. A
  // material above 0 is the face's, else the object's own. Indices that name no point,
  // or a failed allocation, add nothing.
  void AddFace3(int a, int b, int c, int material);
  // The same from three points, welded first.
  void AddFace3(VECFLOAT p, VECFLOAT q, VECFLOAT r, int material);
  // A quad; when two of its points coincide, the triangle of the other three.
  void AddFace4(VECFLOAT p0, VECFLOAT p1, VECFLOAT p2, VECFLOAT p3, int material);

  // The mean of the points; (0, 0, 0) without points.
  VECTEUR ComputeCenter() const;
  // localBox: the points, widened by 2e-5 on every side.
  virtual void BuildBox();

  // Orients each face so that its normal has a positive component along its projection
  // axis, and stores the unit face normal.
  void PrepareFaceNormals();
  // Rebuilds the box and the voxel grid (about five triangles per cell, at least one cell).
  void SplitIntoBlocs();
  // Vertex normals per smoothing group and the corner masks (with vertex normals only).
  void PrepareNormals();

  BasicObject* FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) override;
  // Entry/exit intervals; a ray that starts inside the model (an odd number of
  // crossings ahead, or the mesh among the ray's containing objects) opens the first
  // interval at the starts-inside distance.
  TIntervalList* FindAllIntersections(Ray* ray, TDrawInfo* di) override;
  // An odd number of crossings of a ray straight up from p; meaningful for closed models.
  bool IsInside(const VECTEUR& p, TDrawInfo* di) override;
  void MoveOf(float dx, float dy, float dz, TDrawInfo* di) override;
  void MoveTo(float x, float y, float z, TDrawInfo* di) override;
  // Every k-th edge, k = (edges / 500) x (Detail - 1) + 1; its box when Detail is 0 or
  // the object is box-only. Shows the out-of-memory message, drawing nothing, when the
  // world positions of the points cannot be held.
  void DrawWireFrame(TDrawInfo* di, bool ghost) override;
  // The corners of localBox, rebuilt first when points were added since it was built.
  void IncludeObjectInBox(TBoundingBox& box, bool symbol, bool world) override;
  // Every edge is shared by an even number of faces: the model is closed.
  bool IsValidTexture() override;
  long GetNumberOfPolygons() override;
  void SetTexture(unsigned m) override;
  void DecrementTextureIfGT(unsigned m) override;
  // The material shared by all triangles; -1 (as unsigned) when two differ or there are none.
  unsigned GetTexture() override;
  // The length of localBox's diagonal.
  void ComputeObjectSize() override;

 private:
  friend int AddPoint(TMesh* mesh, VECFLOAT p);
  friend struct MeshQuery;
  // Room for `points` points, ... in the block, moving the arrays to a bigger block when
  // needed; false (after the out-of-memory message) when it cannot be had.
  bool Reserve(uint32_t points, uint32_t edges, uint32_t triangles, uint32_t quads);
  void SetPointers();
  // The vertex normal slots, wherever hasVertexNormals points `normals`.
  VECFLOAT* NormalSlots() const { return points ? points + pointCapacity : nullptr; }
  // Records edge (a, b) unless it exists; false when it could not be stored.
  bool AddEdge(uint16_t a, uint16_t b);
  // The build index, brought up to date with the arrays.
  MeshBuildIndex& BuildIndex();
  uint16_t FaceMaterial(int material) const;

  uint32_t pointCapacity = 0, edgeCapacity = 0, triangleCapacity = 0, quadCapacity = 0;
  std::unique_ptr<MeshBuildIndex> buildIndex;
};

// The index of the first point within 1e-5 of p on every axis; otherwise p is appended
// (and included in pointBox) and its new index returned. -1 when the mesh already holds
// MaxMeshPoints points or the block cannot grow.
int AddPoint(TMesh* mesh, VECFLOAT p);
