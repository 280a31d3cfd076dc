#include "engine/plants/plant.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "engine/geometry/matrix.h"
#include "engine/platform/messages.h"

namespace {

constexpr uint32_t InitialRoom = 16;

// memcpy that accepts the null pointers of empty sections.
void CopyBytes(void* to, const void* from, size_t bytes) {
  if (bytes > 0)
    std::memcpy(to, from, bytes);
}

VECTEUR ToV(const VECFLOAT& v) { return ToVecteur(v); }

VECFLOAT EndOf(const Cylinder& c) {
  return VECFLOAT(c.start.x + c.length * c.axis.x, c.start.y + c.length * c.axis.y, c.start.z + c.length * c.axis.z);
}

// Two joint points coincide when every coordinate differs by less than 0.01.
bool Coincide(const VECFLOAT& a, const VECFLOAT& b) {
  return std::fabs(a.x - b.x) < 0.01f && std::fabs(a.y - b.y) < 0.01f && std::fabs(a.z - b.z) < 0.01f;
}

float DotF(const VECFLOAT& a, const VECFLOAT& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// The cylinders with an end near a point, found through a grid of 0.01 cells, so that
// smoothing a plant of thousands of segments does not compare every pair.
class JointIndex {
 public:
  explicit JointIndex(const Cylinder* cylinders, uint32_t count) {
    for (uint32_t k = 0; k < count; k++) {
      cells[Key(cylinders[k].start)].push_back(k);
      cells[Key(EndOf(cylinders[k]))].push_back(k);
    }
  }

  // The cylinders whose start or end coincides with p, in storage order, each once.
  void Near(const Cylinder* cylinders, const VECFLOAT& p, std::vector<uint32_t>& out) const {
    out.clear();
    const int64_t cx = Cell(p.x), cy = Cell(p.y), cz = Cell(p.z);
    for (int64_t i = cx - 1; i <= cx + 1; i++)
      for (int64_t j = cy - 1; j <= cy + 1; j++)
        for (int64_t k = cz - 1; k <= cz + 1; k++) {
          auto found = cells.find(Pack(i, j, k));
          if (found == cells.end())
            continue;
          for (uint32_t c : found->second)
            if (Coincide(cylinders[c].start, p) || Coincide(EndOf(cylinders[c]), p))
              out.push_back(c);
        }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
  }

 private:
  // Points far out share the outermost cells, and a point that is not a number the
  // middle one: never an out-of-range conversion.
  static int64_t Cell(float v) {
    const double c = std::floor(static_cast<double>(v) * 100.0);
    return std::isnan(c) ? 0 : static_cast<int64_t>(std::clamp(c, -1e15, 1e15));
  }
  static uint64_t Pack(int64_t i, int64_t j, int64_t k) {
    return (static_cast<uint64_t>(i) * 73856093u) ^ (static_cast<uint64_t>(j) * 19349663u) ^
           (static_cast<uint64_t>(k) * 83492791u);
  }
  static uint64_t Key(const VECFLOAT& p) { return Pack(Cell(p.x), Cell(p.y), Cell(p.z)); }

  std::unordered_map<uint64_t, std::vector<uint32_t>> cells;
};

// The mean of the axes of the cylinders meeting cylinder i's axis within the angle at a
// joint; zero when none does. `lengthened` receives the last such cylinder that ends there.
VECFLOAT JointDirection(const Cylinder* cylinders, uint32_t i, const std::vector<uint32_t>& near, const VECFLOAT& joint,
                        float cosine, int64_t& lengthened) {
  const Cylinder& c = cylinders[i];
  VECFLOAT sum = c.axis;
  int count = 1;
  lengthened = -1;
  for (uint32_t j : near) {
    if (j == i || DotF(c.axis, cylinders[j].axis) <= cosine)
      continue;
    sum = VECFLOAT(sum.x + cylinders[j].axis.x, sum.y + cylinders[j].axis.y, sum.z + cylinders[j].axis.z);
    count++;
    if (Coincide(EndOf(cylinders[j]), joint))
      lengthened = j;
  }
  if (count < 2)
    return VECFLOAT(0.0f, 0.0f, 0.0f);
  const VECFLOAT mean(sum.x / count, sum.y / count, sum.z / count);
  const float length = std::sqrt(DotF(mean, mean));
  return length > 0.0f ? VECFLOAT(mean.x / length, mean.y / length, mean.z / length) : mean;
}

}  // namespace

void ParaboloidEval(float x, float y, VECFLOAT& out, const Paraboloid& leaf) {
  out = VECFLOAT(x, y, leaf.curvatureX * x * x + leaf.curvatureY * y * y);
}

TPlant::TPlant(unsigned id) : Obj(id) {
  SetType(TypeVegetation);
  elementBlock = GlobalAlloc(GHND, 0);
  if (!elementBlock) {
    MessageOutOfmemory();
    return;
  }
  GlobalLock(elementBlock);  // pinned for life
}

TPlant::~TPlant() {
  if (elementBlock) {
    while (GlobalLockCount(elementBlock) > 0)
      GlobalUnlock(elementBlock);
    GlobalFree(elementBlock);
  }
  delete[] auxiliaryTable;
}

void TPlant::PointSections(void* base) {
  char* bytes = static_cast<char*>(base);
  cylinders = reinterpret_cast<Cylinder*>(bytes);
  paraboloids = reinterpret_cast<Paraboloid*>(bytes + size_t(cylinderCapacity) * sizeof(Cylinder));
  spheres = reinterpret_cast<Sphere*>(bytes + size_t(cylinderCapacity) * sizeof(Cylinder) +
                                      size_t(paraboloidCapacity) * sizeof(Paraboloid));
}

bool TPlant::Reserve(uint32_t cylinderRoom, uint32_t paraboloidRoom, uint32_t sphereRoom) {
  if (!elementBlock)
    return false;
  if (cylinderRoom <= cylinderCapacity && paraboloidRoom <= paraboloidCapacity && sphereRoom <= sphereCapacity)
    return true;
  cylinderRoom = std::max(cylinderRoom, cylinderCapacity);
  paraboloidRoom = std::max(paraboloidRoom, paraboloidCapacity);
  sphereRoom = std::max(sphereRoom, sphereCapacity);
  const size_t bytes = size_t(cylinderRoom) * sizeof(Cylinder) + size_t(paraboloidRoom) * sizeof(Paraboloid) +
                       size_t(sphereRoom) * sizeof(Sphere);
  HGLOBAL block = GlobalAlloc(GHND, bytes);
  if (!block) {
    MessageOutOfmemory();
    return false;
  }
  char* target = static_cast<char*>(GlobalLock(block));
  char* at = target;
  CopyBytes(at, cylinders, size_t(cylinderCount) * sizeof(Cylinder));
  at += size_t(cylinderRoom) * sizeof(Cylinder);
  CopyBytes(at, paraboloids, size_t(paraboloidCount) * sizeof(Paraboloid));
  at += size_t(paraboloidRoom) * sizeof(Paraboloid);
  CopyBytes(at, spheres, size_t(sphereCount) * sizeof(Sphere));
  // The new block takes over the old one's locks.
  const unsigned locks = GlobalLockCount(elementBlock);
  while (GlobalLockCount(elementBlock) > 0)
    GlobalUnlock(elementBlock);
  GlobalFree(elementBlock);
  for (unsigned k = 1; k < locks; k++)
    GlobalLock(block);
  elementBlock = block;
  cylinderCapacity = cylinderRoom;
  paraboloidCapacity = paraboloidRoom;
  sphereCapacity = sphereRoom;
  PointSections(target);
  return true;
}

BasicObject* TPlant::Clone() const {
  TPlant* copy = new TPlant(0);
  *copy = *this;
  return copy;
}

TPlant& TPlant::operator=(const TPlant& src) {
  if (this == &src)
    return *this;
  Obj::operator=(src);
  cylinderCount = paraboloidCount = sphereCount = 0;
  if (Reserve(src.cylinderCount, src.paraboloidCount, src.sphereCount)) {
    CopyBytes(cylinders, src.cylinders, size_t(src.cylinderCount) * sizeof(Cylinder));
    CopyBytes(paraboloids, src.paraboloids, size_t(src.paraboloidCount) * sizeof(Paraboloid));
    CopyBytes(spheres, src.spheres, size_t(src.sphereCount) * sizeof(Sphere));
    cylinderCount = src.cylinderCount;
    paraboloidCount = src.paraboloidCount;
    sphereCount = src.sphereCount;
  }
  delete[] auxiliaryTable;
  auxiliaryTable = nullptr;
  auxiliaryCount = 0;
  if (src.auxiliaryCount > 0 && src.auxiliaryTable) {
    auxiliaryTable = new uint32_t[src.auxiliaryCount];
    std::memcpy(auxiliaryTable, src.auxiliaryTable, src.auxiliaryCount * sizeof(uint32_t));
    auxiliaryCount = src.auxiliaryCount;
  }
  localBox = src.localBox;
  return *this;
}

void TPlant::Lock() {
  if (elementBlock)
    GlobalLock(elementBlock);
}

void TPlant::Unlock() {
  // The lock taken at construction stays.
  if (elementBlock && GlobalLockCount(elementBlock) > 1)
    GlobalUnlock(elementBlock);
}

size_t TPlant::GetBlockSize() const {
  return size_t(cylinderCount) * sizeof(Cylinder) + size_t(paraboloidCount) * sizeof(Paraboloid) +
         size_t(sphereCount) * sizeof(Sphere);
}

void TPlant::AddCylinder(const Cylinder& c) {
  if (cylinderCount == cylinderCapacity &&
      !Reserve(std::max(InitialRoom, cylinderCapacity * 2), paraboloidCapacity, sphereCapacity))
    return;
  cylinders[cylinderCount++] = c;
}

void TPlant::AddParaboloid(const Paraboloid& p) {
  if (paraboloidCount == paraboloidCapacity &&
      !Reserve(cylinderCapacity, std::max(InitialRoom, paraboloidCapacity * 2), sphereCapacity))
    return;
  paraboloids[paraboloidCount++] = p;
}

void TPlant::AddSphere(const Sphere& s) {
  if (sphereCount == sphereCapacity &&
      !Reserve(cylinderCapacity, paraboloidCapacity, std::max(InitialRoom, sphereCapacity * 2)))
    return;
  spheres[sphereCount++] = s;
}

void TPlant::Smooth(float angle) {
  if (cylinderCount == 0)
    return;
  const float cosine = static_cast<float>(std::cos(angle * 0.017453292522222223));
  const JointIndex index(cylinders, cylinderCount);
  std::vector<uint32_t> near;
  for (uint32_t i = 0; i < cylinderCount; i++) {
    Cylinder& c = cylinders[i];
    int64_t parent = -1;
    index.Near(cylinders, c.start, near);
    c.startDirection = JointDirection(cylinders, i, near, c.start, cosine, parent);
    if (parent >= 0)
      c.baseLength = cylinders[parent].baseLength + cylinders[parent].length;
    const VECFLOAT end = EndOf(c);
    index.Near(cylinders, end, near);
    c.endDirection = JointDirection(cylinders, i, near, end, cosine, parent);
  }
}

void TPlant::BuildBox() {
  for (uint32_t k = 0; k < cylinderCount; k++) {
    const Cylinder& c = cylinders[k];
    const double r = std::sqrt(static_cast<double>(c.radiusSquared));
    VECTEUR u, v, w;
    BuildBase(ToV(c.axis), u, v, w);
    for (int corner = 0; corner < 8; corner++) {
      const double x = (corner & 1) ? r : -r, y = (corner & 2) ? r : -r;
      const double z = (corner & 4) ? c.length + r : -r;
      localBox.Include(ToV(c.start) + u * x + v * y + w * z);
    }
  }
  for (uint32_t k = 0; k < paraboloidCount; k++) {
    const Paraboloid& p = paraboloids[k];
    auto include = [&](float x, float y) {
      VECFLOAT q;
      ParaboloidEval(x, y, q, p);
      localBox.Include(VECTEUR(p.origin.x + q.x * p.cosAngle - q.y * p.sinAngle,
                               p.origin.y + q.x * p.sinAngle + q.y * p.cosAngle, p.origin.z + q.z));
    };
    include(p.xMin, p.yMin);
    include(p.xMin, p.yMax);
    include(p.xMax, p.yMin);
    include(p.xMax, p.yMax);
    // Where the rectangle holds an axis, the surface's extreme lies on it.
    if (p.xMin < 0 && 0 < p.xMax) {
      include(0, p.yMin);
      include(0, p.yMax);
      if (p.yMin < 0 && 0 < p.yMax)
        localBox.Include(p.origin);
    }
    if (p.yMin < 0 && 0 < p.yMax) {
      include(p.xMin, 0);
      include(p.xMax, 0);
    }
  }
  localBox.Expand(1.9999999494757503e-05f);
  localBox.Intersect(TBoundingBox(VECTEUR(-100000, -100000, 0), VECTEUR(100000, 100000, 100000)));
  ComputeObjectSize();
}

void TPlant::ComputeObjectSize() {
  Obj::ComputeObjectSize();
  size *= static_cast<float>(Length(localBox.max - localBox.min));
}

void TPlant::IncludeObjectInBox(TBoundingBox& box, bool, bool world) {
  for (int k = 0; k < 8; k++) {
    VECTEUR p((k & 1) ? localBox.max.x : localBox.min.x, (k & 2) ? localBox.max.y : localBox.min.y,
              (k & 4) ? localBox.max.z : localBox.min.z);
    AppliquerTransformation(&p);
    if (world)
      p += centre;
    box.Include(p);
  }
}

void TPlant::SetTexture(unsigned m) {
  TObject3D::SetTexture(m);
  for (uint32_t k = 0; k < cylinderCount; k++)
    cylinders[k].material = static_cast<uint16_t>(m);
  for (uint32_t k = 0; k < paraboloidCount; k++)
    paraboloids[k].material = static_cast<uint16_t>(m);
  for (uint32_t k = 0; k < sphereCount; k++)
    spheres[k].material = static_cast<uint16_t>(m);
}

unsigned TPlant::GetTexture() {
  int64_t shared = -1;
  bool mixed = false;
  auto look = [&](uint16_t m) {
    if (shared < 0)
      shared = m;
    else if (shared != m)
      mixed = true;
  };
  for (uint32_t k = 0; k < cylinderCount; k++)
    look(cylinders[k].material);
  for (uint32_t k = 0; k < paraboloidCount; k++)
    look(paraboloids[k].material);
  for (uint32_t k = 0; k < sphereCount; k++)
    look(spheres[k].material);
  return mixed || shared < 0 ? static_cast<unsigned>(-1) : static_cast<unsigned>(shared);
}

void TPlant::DecrementTextureIfGT(unsigned m) {
  TObject3D::DecrementTextureIfGT(m);
  auto lower = [m](uint16_t material) { return static_cast<uint16_t>(material > m ? material - 1 : material); };
  for (uint32_t k = 0; k < cylinderCount; k++)
    cylinders[k].material = lower(cylinders[k].material);
  for (uint32_t k = 0; k < paraboloidCount; k++)
    paraboloids[k].material = lower(paraboloids[k].material);
  for (uint32_t k = 0; k < sphereCount; k++)
    spheres[k].material = lower(spheres[k].material);
}

long TPlant::GetNumberOfPolygons() {
  return static_cast<long>(cylinderCount) * 64 + static_cast<long>(paraboloidCount) * 128 +
         static_cast<long>(sphereCount) * 256;
}

namespace {
[[maybe_unused]] const bool copierRegistered = RegisterObjectCopier(BasicObject::TypeVegetation, CopyOfKind<TPlant>);
}  // namespace
