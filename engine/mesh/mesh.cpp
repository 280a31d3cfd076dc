#include "engine/mesh/mesh.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/mesh/mesh_cells.h"
#include "engine/platform/messages.h"

namespace {

constexpr float WeldTolerance = 1e-5f;
// Welding cells are larger than the tolerance, so that a point's matches lie in its own
// cell or, when it is near a cell's side, in the neighbour across that side.
constexpr double WeldCell = 1e-4;
constexpr double WeldMargin = 1.5e-5;
// Coordinates beyond this share the outermost welding cells (their matches are still
// checked exactly), so that a cell number always fits in an integer.
constexpr double WeldRange = 1e12;

constexpr size_t PointBytes = sizeof(VECFLOAT);

// The element records are plain bytes in the block.
void CopyBytes(void* to, const void* from, size_t bytes) { std::memcpy(to, from, bytes); }

// The welding cell of one coordinate.
int64_t WeldCellOf(double v) {
  return static_cast<int64_t>(std::floor(std::clamp(v, -WeldRange, WeldRange) / WeldCell));
}

bool Finite(const VECFLOAT& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

uint64_t CellKey(int64_t x, int64_t y, int64_t z) {
  // Only a hash: different cells may share a key, every candidate is checked exactly.
  uint64_t h = static_cast<uint64_t>(x) * 0x9E3779B97F4A7C15ull;
  h ^= static_cast<uint64_t>(y) * 0xC2B2AE3D27D4EB4Full + (h << 6) + (h >> 2);
  h ^= static_cast<uint64_t>(z) * 0x165667B19E3779F9ull + (h << 6) + (h >> 2);
  return h;
}

uint32_t EdgeKey(uint16_t a, uint16_t b) {
  return a < b ? (static_cast<uint32_t>(a) << 16) | b : (static_cast<uint32_t>(b) << 16) | a;
}

VECFLOAT Sub(const VECFLOAT& a, const VECFLOAT& b) { return VECFLOAT(a.x - b.x, a.y - b.y, a.z - b.z); }
VECFLOAT CrossF(const VECFLOAT& a, const VECFLOAT& b) {
  return VECFLOAT(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}
float DotF(const VECFLOAT& a, const VECFLOAT& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
float Component(const VECFLOAT& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

// The index of the largest absolute component: x first on ties, then y.
int LargestAxis(const VECFLOAT& n) {
  const float ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
  if (ax >= ay && ax >= az)
    return 0;
  return ay >= az ? 1 : 2;
}

// Unit length with the reciprocal taken in single precision; a zero vector stays.
VECFLOAT NormalisedF(const VECFLOAT& v) {
  const float length = std::sqrt(DotF(v, v));
  if (length == 0.0f)
    return v;
  const float inv = 1.0f / length;
  return VECFLOAT(v.x * inv, v.y * inv, v.z * inv);
}

// Orients a face by its first three corners and stores its unit normal. A face whose
// normal is negative along its projection axis is turned over by `turn` (a triangle
// swaps a and b, a quad b and d). Fields are copied, never bound by reference: the
// records are packed.
template <class Face, class Turn>
void OrientFace(Face& face, const VECFLOAT* points, Turn turn) {
  const VECFLOAT pa = points[face.a], pb = points[face.b], pc = points[face.c];
  const VECFLOAT n = CrossF(Sub(pb, pa), Sub(pc, pa));
  const int axis = LargestAxis(n);
  face.projectionAxis = axis;
  if (Component(n, axis) < 0.0f) {
    turn(face);
    face.flags = face.flags ^ FaceReversed;
  }
  const VECFLOAT qa = points[face.a], qb = points[face.b], qc = points[face.c];
  face.faceNormal = NormalisedF(CrossF(Sub(qb, qa), Sub(qc, qa)));
}

void TurnTriangle(Face3& face) {
  const uint16_t a = face.a;
  face.a = face.b;
  face.b = a;
}

void TurnQuad(Face4& face) {
  const uint16_t b = face.b;
  face.b = face.d;
  face.d = b;
}

}  // namespace

struct MeshBuildIndex {
  // Welding: the newest point of each cell key, and for each point the next older one
  // with the same key.
  std::unordered_map<uint64_t, uint32_t> cellHead;
  std::vector<uint32_t> nextInCell;
  uint32_t pointsIndexed = 0;
  std::unordered_set<uint32_t> edgeKeys;
  uint32_t edgesIndexed = 0;
  const VECFLOAT* pointsSeen = nullptr;  // the array the index was built from

  static constexpr uint32_t None = 0xFFFFFFFFu;

  void IndexPoint(const VECFLOAT& p, uint32_t index) {
    if (!Finite(p)) {
      nextInCell.push_back(None);
      return;
    }
    const uint64_t key = CellKey(WeldCellOf(p.x), WeldCellOf(p.y), WeldCellOf(p.z));
    auto [it, inserted] = cellHead.try_emplace(key, index);
    nextInCell.push_back(inserted ? None : it->second);
    it->second = index;
  }

  // The smallest index of a point within the tolerance of p, or None.
  uint32_t Find(const VECFLOAT* points, const VECFLOAT& p) const {
    if (!Finite(p))
      return None;
    const double c[3] = {p.x, p.y, p.z};
    int64_t cell[3], low[3], high[3];
    for (int a = 0; a < 3; a++) {
      cell[a] = WeldCellOf(c[a]);
      const double clamped = std::clamp(c[a], -WeldRange, WeldRange);
      low[a] = cell[a] - (WeldCellOf(clamped - WeldMargin) < cell[a] ? 1 : 0);
      high[a] = cell[a] + (WeldCellOf(clamped + WeldMargin) > cell[a] ? 1 : 0);
    }
    uint32_t best = None;
    for (int64_t x = low[0]; x <= high[0]; x++)
      for (int64_t y = low[1]; y <= high[1]; y++)
        for (int64_t z = low[2]; z <= high[2]; z++) {
          const auto it = cellHead.find(CellKey(x, y, z));
          if (it == cellHead.end())
            continue;
          for (uint32_t k = it->second; k != None; k = nextInCell[k]) {
            const VECFLOAT& q = points[k];
            if (k < best && std::fabs(q.x - p.x) < WeldTolerance && std::fabs(q.y - p.y) < WeldTolerance &&
                std::fabs(q.z - p.z) < WeldTolerance)
              best = k;
          }
        }
    return best;
  }
};

// Construction, copy and memory -----------------------------------------------------------

TMesh::TMesh(unsigned id)
    : Obj(id),
      creaseCosine(static_cast<float>(std::cos(std::numbers::pi / 4.0))),
      modelCentre(0.0, 0.0, 0.0),
      modelScale(1.0, 1.0, 1.0) {
  SetType(TypeMesh);
  block = GlobalAlloc(GHND, 0);
  if (!block)
    MessageOutOfmemory();
  GlobalLock(block);  // the pin that keeps the arrays' address for the mesh's life
  SetPointers();
}

TMesh::~TMesh() {
  if (block) {
    while (GlobalUnlock(block)) {
    }
    block = GlobalFree(block);
  }
  delete cellLists;
}

BasicObject* TMesh::Clone() const {
  TMesh* copy = new TMesh(0);
  *copy = *this;
  return copy;
}

TMesh& TMesh::operator=(const TMesh& src) {
  if (this == &src)
    return *this;
  Obj::operator=(src);
  hasVertexNormals = src.hasVertexNormals;
  creaseCosine = src.creaseCosine;
  twoSided = src.twoSided;
  localBox = src.localBox;
  pointBox = src.pointBox;
  modelCentre = src.modelCentre;
  modelScale = src.modelScale;
  std::memcpy(words, src.words, sizeof(words));
  normalsDirty = src.normalsDirty;
  pointCount = edgeCount = triangleCount = quadCount = 0;
  buildIndex.reset();
  if (Reserve(src.pointCount, src.edgeCount, src.triangleCount, src.quadCount)) {
    pointCount = src.pointCount;
    edgeCount = src.edgeCount;
    triangleCount = src.triangleCount;
    quadCount = src.quadCount;
    if (pointCount) {
      CopyBytes(points, src.points, pointCount * PointBytes);
      CopyBytes(NormalSlots(), src.NormalSlots(), pointCount * PointBytes);
    }
    if (edgeCount)
      CopyBytes(edges, src.edges, edgeCount * sizeof(Ligne));
    if (triangleCount)
      CopyBytes(triangles, src.triangles, triangleCount * sizeof(Face3));
    if (quadCount)
      CopyBytes(quads, src.quads, quadCount * sizeof(Face4));
  }
  delete cellLists;
  cellLists = src.cellLists ? new MeshCells(*src.cellLists) : nullptr;
  gridSize = cellLists ? src.gridSize : 0;
  return *this;
}

void TMesh::Lock() {
  GlobalLock(block);
  SetPointers();
}

void TMesh::Unlock() {
  // The block's own pin (see the header) keeps it locked at least once.
  if (GlobalLockCount(block) > 1)
    GlobalUnlock(block);
}

size_t TMesh::GetBlockSize() const {
  return (1 + (hasVertexNormals ? 1 : 0)) * static_cast<size_t>(pointCount) * PointBytes +
         static_cast<size_t>(edgeCount) * sizeof(Ligne) + static_cast<size_t>(triangleCount) * sizeof(Face3) +
         static_cast<size_t>(quadCount) * sizeof(Face4);
}

void TMesh::SetPointers() {
  // The block carries the mesh's own pin, so its address holds after this pair.
  char* base = static_cast<char*>(GlobalLock(block));
  GlobalUnlock(block);
  if (!base) {
    points = normals = nullptr;
    edges = nullptr;
    triangles = nullptr;
    quads = nullptr;
    return;
  }
  // Every array keeps room for its capacity; vertex normals always have their slots, so
  // that switching hasVertexNormals never moves the arrays.
  points = reinterpret_cast<VECFLOAT*>(base);
  VECFLOAT* normalSlots = points + pointCapacity;
  normals = hasVertexNormals ? normalSlots : points;
  edges = reinterpret_cast<Ligne*>(normalSlots + pointCapacity);
  triangles = reinterpret_cast<Face3*>(edges + edgeCapacity);
  quads = reinterpret_cast<Face4*>(reinterpret_cast<char*>(triangles) + triangleCapacity * sizeof(Face3));
}

bool TMesh::Reserve(uint32_t pointsWanted, uint32_t edgesWanted, uint32_t trianglesWanted, uint32_t quadsWanted) {
  if (!block)
    return false;
  if (pointsWanted <= pointCapacity && edgesWanted <= edgeCapacity && trianglesWanted <= triangleCapacity &&
      quadsWanted <= quadCapacity) {
    SetPointers();
    return true;
  }
  // Grow by half again, so that a long run of additions copies each element a bounded
  // number of times.
  auto grown = [](uint32_t capacity, uint32_t wanted) {
    if (wanted <= capacity)
      return capacity;
    const uint64_t next = std::max<uint64_t>(wanted, static_cast<uint64_t>(capacity) + capacity / 2 + 8);
    return static_cast<uint32_t>(std::min<uint64_t>(next, 0xFFFFFFFFull));
  };
  const uint32_t pc = std::min(grown(pointCapacity, pointsWanted), std::max(MaxMeshPoints, pointsWanted));
  const uint32_t ec = grown(edgeCapacity, edgesWanted), tc = grown(triangleCapacity, trianglesWanted);
  const uint32_t qc = grown(quadCapacity, quadsWanted);
  const size_t bytes = 2 * static_cast<size_t>(pc) * PointBytes + static_cast<size_t>(ec) * sizeof(Ligne) +
                       static_cast<size_t>(tc) * sizeof(Face3) + static_cast<size_t>(qc) * sizeof(Face4);
  HGLOBAL grownBlock = GlobalAlloc(GHND, bytes);
  if (!grownBlock) {
    MessageOutOfmemory();
    return false;
  }
  char* base = static_cast<char*>(GlobalLock(grownBlock));  // its own pin
  VECFLOAT* newPoints = reinterpret_cast<VECFLOAT*>(base);
  VECFLOAT* newNormals = newPoints + pc;
  Ligne* newEdges = reinterpret_cast<Ligne*>(newNormals + pc);
  Face3* newTriangles = reinterpret_cast<Face3*>(newEdges + ec);
  Face4* newQuads = reinterpret_cast<Face4*>(reinterpret_cast<char*>(newTriangles) + tc * sizeof(Face3));
  if (pointCount) {
    CopyBytes(newPoints, points, pointCount * PointBytes);
    CopyBytes(newNormals, NormalSlots(), pointCount * PointBytes);
  }
  if (edgeCount)
    CopyBytes(newEdges, edges, edgeCount * sizeof(Ligne));
  if (triangleCount)
    CopyBytes(newTriangles, triangles, triangleCount * sizeof(Face3));
  if (quadCount)
    CopyBytes(newQuads, quads, quadCount * sizeof(Face4));
  // The new block takes over the old one's extra locks, so Lock/Unlock pairs stay balanced.
  const unsigned extraLocks = GlobalLockCount(block) > 0 ? GlobalLockCount(block) - 1 : 0;
  for (unsigned k = 0; k < extraLocks; k++)
    GlobalLock(grownBlock);
  while (GlobalUnlock(block)) {
  }
  GlobalFree(block);
  block = grownBlock;
  pointCapacity = pc;
  edgeCapacity = ec;
  triangleCapacity = tc;
  quadCapacity = qc;
  SetPointers();
  if (buildIndex)
    buildIndex->pointsSeen = points;
  return true;
}

MeshBuildIndex& TMesh::BuildIndex() {
  if (!buildIndex)
    buildIndex = std::make_unique<MeshBuildIndex>();
  MeshBuildIndex& index = *buildIndex;
  // Points or edges changed by other means than the additions: index them afresh.
  if (index.pointsIndexed > pointCount || index.pointsSeen != points) {
    index.cellHead.clear();
    index.nextInCell.clear();
    index.pointsIndexed = 0;
  }
  for (; index.pointsIndexed < pointCount; index.pointsIndexed++)
    index.IndexPoint(points[index.pointsIndexed], index.pointsIndexed);
  index.pointsSeen = points;
  if (index.edgesIndexed > edgeCount) {
    index.edgeKeys.clear();
    index.edgesIndexed = 0;
  }
  for (; index.edgesIndexed < edgeCount; index.edgesIndexed++)
    index.edgeKeys.insert(EdgeKey(edges[index.edgesIndexed].a, edges[index.edgesIndexed].b));
  return index;
}

// Building --------------------------------------------------------------------------------

int AddPoint(TMesh* mesh, VECFLOAT p) {
  if (!mesh || !mesh->block)
    return -1;
  MeshBuildIndex& index = mesh->BuildIndex();
  const uint32_t found = index.Find(mesh->points, p);
  if (found != MeshBuildIndex::None)
    return static_cast<int>(found);
  if (mesh->pointCount >= MaxMeshPoints || !mesh->Reserve(mesh->pointCount + 1, 0, 0, 0))
    return -1;
  const uint32_t k = mesh->pointCount;
  mesh->points[k] = p;
  mesh->NormalSlots()[k] = VECFLOAT(0.0f, 0.0f, 0.0f);
  mesh->pointCount++;
  mesh->pointBox.Include(p);
  mesh->normalsDirty = 1;
  mesh->buildIndex->IndexPoint(p, k);
  mesh->buildIndex->pointsIndexed = mesh->pointCount;
  return static_cast<int>(k);
}

bool TMesh::AddEdge(uint16_t a, uint16_t b) {
  MeshBuildIndex& index = BuildIndex();
  const uint32_t key = EdgeKey(a, b);
  if (index.edgeKeys.count(key))
    return true;
  if (!Reserve(0, edgeCount + 1, 0, 0))
    return false;
  edges[edgeCount] = Ligne{a, b};
  edgeCount++;
  buildIndex->edgeKeys.insert(key);
  buildIndex->edgesIndexed = edgeCount;
  return true;
}

uint16_t TMesh::FaceMaterial(int m) const { return static_cast<uint16_t>(m > 0 ? m : material); }

void TMesh::AddFace3(int a, int b, int c, int m) {
  const int n = static_cast<int>(pointCount);
  if (a < 0 || b < 0 || c < 0 || a >= n || b >= n || c >= n)
    return;
  const uint16_t ia = static_cast<uint16_t>(a), ib = static_cast<uint16_t>(b), ic = static_cast<uint16_t>(c);
  if (!AddEdge(ia, ib) || !AddEdge(ia, ic) || !AddEdge(ib, ic))
    return;
  if (!Reserve(0, 0, triangleCount + 1, 0))
    return;
  Face3 face{};
  face.a = ia;
  face.b = ib;
  face.c = ic;
  face.material = FaceMaterial(m);
  triangles[triangleCount] = face;
  triangleCount++;
  normalsDirty = 1;
}

void TMesh::AddFace3(VECFLOAT p, VECFLOAT q, VECFLOAT r, int m) {
  const int a = AddPoint(this, p), b = AddPoint(this, q), c = AddPoint(this, r);
  AddFace3(a, b, c, m);
}

void TMesh::AddFace4(VECFLOAT p0, VECFLOAT p1, VECFLOAT p2, VECFLOAT p3, int m) {
  const int i0 = AddPoint(this, p0), i1 = AddPoint(this, p1), i2 = AddPoint(this, p2), i3 = AddPoint(this, p3);
  if (i0 < 0 || i1 < 0 || i2 < 0 || i3 < 0)
    return;
  if (i2 == i3) {
    AddFace3(i0, i1, i2, m);
    return;
  }
  if (i1 == i2 || i1 == i3) {
    AddFace3(i0, i2, i3, m);
    return;
  }
  if (i0 == i1 || i0 == i2 || i0 == i3) {
    AddFace3(i1, i2, i3, m);
    return;
  }
  const uint16_t a = static_cast<uint16_t>(i0), b = static_cast<uint16_t>(i1), c = static_cast<uint16_t>(i2),
                 d = static_cast<uint16_t>(i3);
  if (!AddEdge(a, b) || !AddEdge(b, c) || !AddEdge(c, d) || !AddEdge(d, a))
    return;
  if (!Reserve(0, 0, 0, quadCount + 1))
    return;
  Face4 face{};
  face.a = a;
  face.b = b;
  face.c = c;
  face.d = d;
  face.material = FaceMaterial(m);
  quads[quadCount] = face;
  quadCount++;
  normalsDirty = 1;
}

// Shape -----------------------------------------------------------------------------------

VECTEUR TMesh::ComputeCenter() const {
  if (pointCount == 0 || !points)
    return VECTEUR(0.0, 0.0, 0.0);
  VECTEUR sum(0.0, 0.0, 0.0);
  for (uint32_t k = 0; k < pointCount; k++)
    sum += ToVecteur(points[k]);
  return sum * (1.0 / pointCount);
}

void TMesh::BuildBox() {
  localBox = TBoundingBox();
  for (uint32_t k = 0; k < pointCount; k++)
    localBox.Include(points[k]);
  localBox.Expand(2e-5f);
}

void TMesh::ComputeObjectSize() { size = static_cast<float>(Length(localBox.max - localBox.min)); }

void TMesh::IncludeObjectInBox(TBoundingBox& box, bool, bool world) {
  // Render preparation bounds groups before it prepares their meshes: a box never built,
  // or built before the latest additions, is brought up to date first.
  if (normalsDirty || localBox.min.x > localBox.max.x)
    BuildBox();
  for (int k = 0; k < 8; k++) {
    VECTEUR p((k & 1) ? localBox.max.x : localBox.min.x, (k & 2) ? localBox.max.y : localBox.min.y,
              (k & 4) ? localBox.max.z : localBox.min.z);
    AppliquerTransformation(&p);
    if (world)
      p += centre;
    box.Include(p);
  }
}

void TMesh::MoveOf(float dx, float dy, float dz, TDrawInfo* di) {
  pointBox.min += VECTEUR(dx, dy, dz);
  pointBox.max += VECTEUR(dx, dy, dz);
  TObject3D::MoveOf(dx, dy, dz, di);
}

void TMesh::MoveTo(float x, float y, float z, TDrawInfo* di) {
  const VECTEUR offset = VECTEUR(x, y, z) - centre;
  pointBox.min += offset;
  pointBox.max += offset;
  TObject3D::MoveTo(x, y, z, di);
}

long TMesh::GetNumberOfPolygons() { return static_cast<long>(triangleCount); }

bool TMesh::IsValidTexture() {
  std::unordered_map<uint32_t, uint32_t> uses;
  for (uint32_t k = 0; k < triangleCount; k++) {
    const Face3 f = triangles[k];
    uses[EdgeKey(f.a, f.b)]++;
    uses[EdgeKey(f.b, f.c)]++;
    uses[EdgeKey(f.c, f.a)]++;
  }
  for (uint32_t k = 0; k < quadCount; k++) {
    const Face4 f = quads[k];
    uses[EdgeKey(f.a, f.b)]++;
    uses[EdgeKey(f.b, f.c)]++;
    uses[EdgeKey(f.c, f.d)]++;
    uses[EdgeKey(f.d, f.a)]++;
  }
  for (uint32_t k = 0; k < edgeCount; k++) {
    const auto it = uses.find(EdgeKey(edges[k].a, edges[k].b));
    if (it != uses.end() && it->second % 2 != 0)
      return false;
  }
  return true;
}

void TMesh::SetTexture(unsigned m) {
  TObject3D::SetTexture(m);
  for (uint32_t k = 0; k < triangleCount; k++)
    triangles[k].material = static_cast<uint16_t>(m);
  for (uint32_t k = 0; k < quadCount; k++)
    quads[k].material = static_cast<uint16_t>(m);
}

void TMesh::DecrementTextureIfGT(unsigned m) {
  TObject3D::DecrementTextureIfGT(m);
  for (uint32_t k = 0; k < triangleCount; k++)
    if (triangles[k].material > m)
      triangles[k].material = static_cast<uint16_t>(triangles[k].material - 1);
  for (uint32_t k = 0; k < quadCount; k++)
    if (quads[k].material > m)
      quads[k].material = static_cast<uint16_t>(quads[k].material - 1);
}

unsigned TMesh::GetTexture() {
  if (triangleCount == 0)
    return static_cast<unsigned>(-1);
  const uint16_t first = triangles[0].material;
  for (uint32_t k = 1; k < triangleCount; k++)
    if (triangles[k].material != first)
      return static_cast<unsigned>(-1);
  return first;
}

// Preparation -------------------------------------------------------------------------------

void TMesh::PrepareFaceNormals() {
  if (!points)
    return;
  for (uint32_t k = 0; k < triangleCount; k++)
    OrientFace(triangles[k], points, TurnTriangle);
  for (uint32_t k = 0; k < quadCount; k++)
    OrientFace(quads[k], points, TurnQuad);
}

void TMesh::SplitIntoBlocs() {
  BuildBox();
  delete cellLists;
  cellLists = nullptr;
  // trunc((n / 5)^(1/3)), with an exponent a little below a third; at least one cell.
  const double cells = std::trunc(std::pow(triangleCount * 0.2, 0.333333333));
  gridSize = static_cast<uint32_t>(std::clamp(cells, 1.0, static_cast<double>(MaxGridSize)));
  cellLists = new MeshCells();
  cellLists->Build(*this);
  gridSize = cellLists->size;
}

void TMesh::PrepareNormals() {
  if (!hasVertexNormals || pointCount == 0 || !points) {
    normalsDirty = 0;
    return;
  }
  SetPointers();
  VECFLOAT* normalSlots = NormalSlots();
  for (uint32_t k = 0; k < triangleCount; k++)
    triangles[k].smoothMask = 0;
  for (uint32_t k = 0; k < quadCount; k++)
    quads[k].smoothMask = 0;
  // The triangles around each point, in triangle order: the same faces, in the same
  // order, as those of the point's grid cell that use the point.
  std::vector<uint32_t> start(pointCount + 1, 0);
  for (uint32_t k = 0; k < triangleCount; k++) {
    const Face3 f = triangles[k];
    start[f.a + 1]++;
    if (f.b != f.a)
      start[f.b + 1]++;
    if (f.c != f.a && f.c != f.b)
      start[f.c + 1]++;
  }
  for (uint32_t p = 0; p < pointCount; p++)
    start[p + 1] += start[p];
  std::vector<uint32_t> around(start[pointCount]);
  std::vector<uint32_t> fill(start.begin(), start.end() - 1);
  for (uint32_t k = 0; k < triangleCount; k++) {
    const Face3 f = triangles[k];
    around[fill[f.a]++] = k;
    if (f.b != f.a)
      around[fill[f.b]++] = k;
    if (f.c != f.a && f.c != f.b)
      around[fill[f.c]++] = k;
  }

  struct SmoothingGroup {
    VECFLOAT sum;  // the members' normals, each turned to agree with the group
    float count;
    float area;
  };
  std::vector<SmoothingGroup> groups;
  for (uint32_t p = 0; p < pointCount; p++) {
    groups.clear();
    float totalArea = 0.0f;
    for (uint32_t i = start[p]; i < start[p + 1]; i++) {
      const Face3 f = triangles[around[i]];
      const VECFLOAT cross = CrossF(Sub(points[f.b], points[f.a]), Sub(points[f.c], points[f.a]));
      const float area = 0.5f * std::sqrt(DotF(cross, cross));
      groups.push_back(SmoothingGroup{f.faceNormal, 1.0f, area});
      totalArea += area;
    }
    // Merge groups whose mean normals lie within the crease angle, whichever way they
    // face: a model's faces need not all be wound alike, and orientation turns some.
    for (bool merged = true; merged;) {
      merged = false;
      for (size_t i = 0; i < groups.size() && !merged; i++)
        for (size_t j = i + 1; j < groups.size() && !merged; j++) {
          const float dot = DotF(groups[i].sum, groups[j].sum);
          if (std::fabs(dot / (groups[i].count * groups[j].count)) >= creaseCosine) {
            const float sign = dot < 0.0f ? -1.0f : 1.0f;
            groups[i].sum = VECFLOAT(groups[i].sum.x + sign * groups[j].sum.x, groups[i].sum.y + sign * groups[j].sum.y,
                                     groups[i].sum.z + sign * groups[j].sum.z);
            groups[i].count += groups[j].count;
            groups[i].area += groups[j].area;
            groups.erase(groups.begin() + static_cast<std::ptrdiff_t>(j));
            merged = true;
          }
        }
    }
    // One group remains: the one whose area outweighs all others together, else the last.
    size_t front = 0;
    std::vector<SmoothingGroup> queue(groups.begin(), groups.end());
    float remainingArea = totalArea;
    while (queue.size() - front > 1) {
      const SmoothingGroup g = queue[front++];
      if (g.area > remainingArea - g.area)
        queue.push_back(g);
      else
        remainingArea -= g.area;
    }
    VECFLOAT vertexNormal(0.0f, 0.0f, 0.0f);
    if (front < queue.size()) {
      const SmoothingGroup& kept = queue[front];
      vertexNormal = VECFLOAT(kept.sum.x / kept.count, kept.sum.y / kept.count, kept.sum.z / kept.count);
    }
    normalSlots[p] = vertexNormal;
    // Corners whose face lies within the crease angle of the vertex normal take it.
    for (uint32_t i = start[p]; i < start[p + 1]; i++) {
      Face3& f = triangles[around[i]];
      if (std::fabs(DotF(f.faceNormal, vertexNormal)) < creaseCosine)
        continue;
      uint8_t mask = f.smoothMask;
      if (f.a == p)
        mask |= 1;
      if (f.b == p)
        mask |= 2;
      if (f.c == p)
        mask |= 4;
      f.smoothMask = mask;
    }
  }
  normalsDirty = 0;
}

namespace {
[[maybe_unused]] const bool copierRegistered = RegisterObjectCopier(BasicObject::TypeMesh, CopyOfKind<TMesh>);
}  // namespace
