// The terrain object: its blocks, copies and locks, and the object queries (nearest hit,
// all intervals, inside test, box and size). The grid, the cells and the walk live beside it.
#include "engine/terrain/terrain.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/platform/messages.h"
#include "engine/terrain/terrain_cells.h"
#include "engine/terrain/terrain_walk.h"

using namespace terrain_detail;

const char* const TerrainOutOfMemoryText =
    "Out of memory. If you manage, save the landscape immediately under another name and quit.";

namespace {

bool SurfaceFlag1Of(const Terrain* terrain, TDrawInfo* di) {
  return HitFlagsOf(LandscapeMaterial(di, terrain->material)).surfaceFlag1;
}

// Whether a face crossing's coordinate v lies within [lo, hi], allowing a hair of rounding:
// a ray aimed exactly at an edge of the box puts its crossing of either face a hair
// outside the other, and would otherwise pass through the edge unseen.
bool WithinFace(double v, double lo, double hi) {
  constexpr double Hair = 1e-7;
  return v >= lo - Hair && v <= hi + Hair;
}

}  // namespace

// Construction and memory ---------------------------------------------------------------

Terrain::Terrain(unsigned w, unsigned h, unsigned id)
    : Obj(id), width(static_cast<uint16_t>(w)), height(static_cast<uint16_t>(h)) {
  SetType(TypeTerrain);
  const size_t clusterRecords = static_cast<size_t>(Level1Width()) * Level1Height() +
                                static_cast<size_t>(Level2Width()) * Level2Height() +
                                static_cast<size_t>(Level3Width()) * Level3Height();
  AllocateBlocks(static_cast<size_t>(width + 3) * (height + 3) * sizeof(int16_t), clusterRecords * sizeof(ClusterBound),
                 true);
}

// A size of 0 stands for a block that is not wanted (the copy of a terrain without one).
void Terrain::AllocateBlocks(size_t altitudeBytes, size_t clusterBytes, bool zeroFill) {
  const unsigned flags = zeroFill ? GHND : GMEM_MOVEABLE;
  handle = altitudeBytes ? GlobalAlloc(flags, altitudeBytes) : nullptr;
  if (altitudeBytes && !handle) {
    MessageOutOfmemory();
    ShowMessageBox(OutOfMemoryCaption, TerrainOutOfMemoryText, MessageIconStop);
  }
  clusterHandle = clusterBytes ? GlobalAlloc(flags, clusterBytes) : nullptr;
  if (clusterBytes && !clusterHandle)
    MessageOutOfmemory();
  // The pins that keep the addresses valid for the terrain's life.
  altitudes = static_cast<int16_t*>(GlobalLock(handle));
  clusters = static_cast<ClusterBound*>(GlobalLock(clusterHandle));
}

void Terrain::FreeClusterBlock() {
  if (clusterHandle) {
    GlobalUnlock(clusterHandle);
    clusterHandle = GlobalFree(clusterHandle);
  }
  clusters = nullptr;
}

Terrain::~Terrain() {
  FreeClusterBlock();
  altitudes = nullptr;
  // BlockObject's destructor unlocks and frees the altitude grid.
}

BasicObject* Terrain::Clone() const {
  Terrain* copy = new Terrain(width, height, 0);
  *copy = *this;
  return copy;
}

Terrain& Terrain::operator=(const Terrain& src) {
  if (this == &src)
    return *this;
  Obj::operator=(src);
  width = src.width;
  height = src.height;
  minAltitude = src.minAltitude;
  maxAltitude = src.maxAltitude;
  smoothSurface = src.smoothSurface;
  extraFlag = src.extraFlag;
  FreeClusterBlock();
  FreeBlock();
  altitudes = nullptr;
  // A source without a block gives a copy without one: nothing to copy, nothing to read.
  const size_t altitudeBytes = GlobalSize(src.handle), clusterBytes = GlobalSize(src.clusterHandle);
  AllocateBlocks(src.handle ? altitudeBytes : 0, src.clusterHandle ? clusterBytes : 0, false);
  if (altitudes && src.altitudes)
    std::memcpy(altitudes, src.altitudes, altitudeBytes);
  if (clusters && src.clusters)
    std::memcpy(clusters, src.clusters, clusterBytes);
  return *this;
}

void Terrain::Lock() {
  altitudes = static_cast<int16_t*>(GlobalLock(handle));
  clusters = static_cast<ClusterBound*>(GlobalLock(clusterHandle));
}

void Terrain::Unlock() {
  GlobalUnlock(handle);
  GlobalUnlock(clusterHandle);
}

// Object interface ----------------------------------------------------------------------

void Terrain::ComputeObjectSize() {
  Obj::ComputeObjectSize();
  const long long span = maxAltitude - minAltitude;
  const long long sum = static_cast<long long>(width) * width + static_cast<long long>(height) * height + span * span;
  size = static_cast<float>(size * std::sqrt(static_cast<double>(sum)));
}

long Terrain::GetNumberOfPolygons() { return static_cast<long>(width) * height * 2; }

void Terrain::IncludeObjectInBox(TBoundingBox& box, bool, bool world) {
  const double hx = width * 0.5, hy = height * 0.5;
  const double zs[2] = {minAltitude * AltitudeStep, maxAltitude * AltitudeStep};
  for (double z : zs)
    for (int k = 0; k < 4; k++) {
      VECTEUR p((k & 1) ? hx : -hx, (k & 2) ? hy : -hy, z);
      AppliquerTransformation(&p);
      if (world)
        p += centre;
      box.Include(p);
    }
}

BasicObject* Terrain::FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) {
  TerrainGrid g;
  if (!MakeGrid(this, g))
    return nullptr;
  Ray local;
  AppliquerTransformationInverse(&local, ray);
  const double len = Length(local.direction);
  if (len == 0.0)
    return nullptr;
  const double inv = 1.0 / len;
  const VECTEUR d = local.direction * inv;
  const double limit = t * len;
  const VECTEUR o = local.origin + VECTEUR(width >> 1, height >> 1, 0.0);
  const bool rayInside = ray->insideObjects && ray->insideObjects->HasMember(this);
  double floorZ = static_cast<float>(minAltitude * 0.08f);
  const double top = static_cast<float>((maxAltitude + 1) * 0.08f);
  if (minAltitude == 0 && (o.z < floorZ || (rayInside && d.z < 0.0)))
    floorZ = static_cast<float>(floorZ - 0.0005f);

  // The floor crossing: counts over the grid's data, for a ray coming from outside.
  struct FloorHit {
    bool valid = false;
    double dist;
    VECTEUR point, normal;
  };
  auto floorCrossing = [&](double maxDist) {
    FloorHit f;
    if (!((d.z > 1e-5 && o.z < floorZ) || (d.z < -1e-5 && o.z > floorZ)))
      return f;
    const double dist = (floorZ - o.z) / d.z;
    if (!(dist > 1e-5 && dist < maxDist))
      return f;
    const VECTEUR p = o + d * dist;
    if (!(p.x >= 0.0 && p.x < width && p.y >= 0.0 && p.y < height))
      return f;
    if (rayInside && SurfaceFlag1Of(this, di))
      return f;
    f.valid = true;
    f.dist = dist;
    f.point = VECTEUR(p.x, p.y, floorZ);
    f.normal = d.z > 0.0 ? VECTEUR(0.0, 0.0, -1.0) : VECTEUR(0.0, 0.0, 1.0);
    return f;
  };
  auto take = [&](double dist, const VECTEUR& p, const VECTEUR& n) -> BasicObject* {
    t = dist * inv;
    point = p;
    normal = n;
    return this;
  };

  // Where the ray enters the box of the solid.
  double best;
  FloorHit pending;
  const bool originInBox = o.x >= 0.0 && o.x < width && o.y >= 0.0 && o.y < height && o.z >= floorZ && o.z <= top;
  if (originInBox) {
    best = 1e-5;
  } else {
    best = limit;
    auto wall = [&](double along, double origin, double position, int axis) {
      const double dist = (position - origin) / along;
      if (!(dist >= 1e-5 && dist < best))
        return;
      const VECTEUR p = o + d * dist;
      const double other = axis == 0 ? p.y : p.x;
      if (WithinFace(other, 0.0, axis == 0 ? height : width) && p.z >= floorZ && p.z < top)
        best = dist;
    };
    if (d.x > 1e-5 && o.x < 0.0)
      wall(d.x, o.x, 0.0, 0);
    if (d.x < -1e-5 && o.x > width)
      wall(d.x, o.x, width, 0);
    if (d.y > 1e-5 && o.y < 0.0)
      wall(d.y, o.y, 0.0, 1);
    if (d.y < -1e-5 && o.y > height)
      wall(d.y, o.y, height, 1);
    const FloorHit f = floorCrossing(best);
    if (f.valid) {
      if (d.z > 0.0) {
        // From below: the floor is solid where the surface stands above it.
        const int ci = std::min(Trunc(f.point.x), width - 1), cj = std::min(Trunc(f.point.y), height - 1);
        int above = 0;
        for (int k = 0; k < 4; k++)
          above += g.A(ci + (k & 1), cj + (k >> 1)) > minAltitude;
        if (minAltitude == 0 || above == 4 || (above > 0 && SurfaceAltitudeAt(f.point.x, f.point.y) > floorZ))
          return take(f.dist, f.point, f.normal);
        pending = f;
      }
      best = f.dist;
    }
    if (d.z < -1e-5 && o.z > top) {
      const double dist = (top - o.z) / d.z;
      const VECTEUR p = o + d * dist;
      if (dist >= 1e-5 && dist < best && WithinFace(p.x, 0.0, width) && WithinFace(p.y, 0.0, height))
        best = dist;
    }
  }
  if (limit <= best)
    return nullptr;

  // Entering below the edge profile is a hit on a side wall.
  const VECTEUR P = o + d * best;
  const int ix = std::clamp(Trunc(P.x), 0, static_cast<int>(width)),
            iy = std::clamp(Trunc(P.y), 0, static_cast<int>(height));
  double wallZ = -1e9;
  if (P.x <= 1e-5 || P.x >= width)
    wallZ = AltitudeStep * ((iy + 1 - P.y) * g.A(ix, iy) + (P.y - iy) * g.A(ix, iy + 1));
  if (P.y <= 1e-5 || P.y >= height)
    wallZ = AltitudeStep * ((ix + 1 - P.x) * g.A(ix, iy) + (P.x - ix) * g.A(ix + 1, iy));
  if (P.z <= wallZ) {
    VECTEUR n;
    if (ix == 0)
      n = VECTEUR(-1.0, 0.0, 0.0);
    if (ix >= width)
      n = VECTEUR(1.0, 0.0, 0.0);
    if (iy == 0)
      n = VECTEUR(0.0, -1.0, 0.0);
    if (iy >= height)
      n = VECTEUR(0.0, 1.0, 0.0);
    if (MaterialRejectsHit(this, material, ray, di))
      return nullptr;
    return take(best, P, n);
  }

  // The surface.
  double th = 0.0;
  VECTEUR ph, nh;
  const bool found = NearestInGrid(g, Line{P, d}, rayInside, ph, nh, th, limit - best);
  if (found) {
    if (MaterialRejectsHit(this, material, ray, di))
      return nullptr;
    if (ph.z + 1e-5 >= minAltitude * AltitudeStep)
      return take(th + best, ph, nh);
  }
  if (pending.valid)
    return take(pending.dist, pending.point, pending.normal);
  if (originInBox) {
    const FloorHit f = floorCrossing(limit);
    if (f.valid)
      return take(f.dist, f.point, f.normal);
  }
  return nullptr;
}

TIntervalList* Terrain::FindAllIntersections(Ray* ray, TDrawInfo*) {
  TIntervalList* list = new TIntervalList();
  TerrainGrid g;
  if (!MakeGrid(this, g))
    return list;
  // From far behind the origin every boundary along the line lies ahead.
  Ray moved = *ray;
  moved.origin = ray->origin - ray->direction * 100000.0;
  Ray local;
  AppliquerTransformationInverse(&local, &moved);
  const double len = Length(local.direction);
  if (len == 0.0)
    return list;
  const double inv = 1.0 / len;
  const VECTEUR d = local.direction * inv;
  const VECTEUR o = local.origin + VECTEUR(width >> 1, height >> 1, 0.0);
  const bool rayInside = ray->insideObjects && ray->insideObjects->HasMember(this);
  double floorZ = static_cast<float>(minAltitude * 0.08f);
  const double top = static_cast<float>((maxAltitude + 1) * 0.08f);
  if (minAltitude == 0 && (o.z < floorZ || (rayInside && d.z < 0.0)))
    floorZ = static_cast<float>(floorZ - 0.0005f);

  // Box entry and exit: the first and last face crossings.
  const double xMax = width - 1, yMax = height - 1, zMin = -0.0005;
  bool any = false;
  double entry = 0.0, exit = 0.0;
  VECTEUR entryNormal, exitNormal;
  auto face = [&](double along, double origin, double position, int axis) {
    if (along == 0.0)
      return;
    const double dist = (position - origin) / along;
    const VECTEUR p = o + d * dist;
    bool inside;
    if (axis == 0)
      inside = p.y >= 0.0 && p.y <= yMax && p.z >= zMin && p.z <= top;
    else if (axis == 1)
      inside = p.x >= 0.0 && p.x <= xMax && p.z >= zMin && p.z <= top;
    else
      inside = p.x >= 0.0 && p.x <= xMax && p.y >= 0.0 && p.y <= yMax;
    if (!inside)
      return;
    VECTEUR facing;
    if (axis == 0)
      facing = VECTEUR(along > 0.0 ? -1.0 : 1.0, 0.0, 0.0);
    else if (axis == 1)
      facing = VECTEUR(0.0, along > 0.0 ? -1.0 : 1.0, 0.0);
    else
      facing = VECTEUR(0.0, 0.0, along > 0.0 ? -1.0 : 1.0);
    if (!any || dist < entry) {
      entry = dist;
      entryNormal = facing;
    }
    if (!any || dist > exit) {
      exit = dist;
      exitNormal = -facing;
    }
    any = true;
  };
  face(d.x, o.x, 0.0, 0);
  face(d.x, o.x, xMax, 0);
  face(d.y, o.y, 0.0, 1);
  face(d.y, o.y, yMax, 1);
  face(d.z, o.z, zMin, 2);
  face(d.z, o.z, top, 2);
  if (!any)
    return list;

  const Line line{o + d * entry, d};
  IntervalVisitor visitor{g, line, this, list, exit - entry, entry, inv, false, false, 0.0, TInterval()};
  // The solid starts at the entry when the entry lies below the surface.
  if (line.o.z <= SurfaceHeight(g, std::clamp(line.o.x, 0.0, xMax), std::clamp(line.o.y, 0.0, yMax))) {
    visitor.inside = true;
    visitor.open.tIn = visitor.World(0.0);
    visitor.open.objIn = this;
    visitor.open.pointIn = line.o;
    visitor.open.normalIn = entryNormal;
  }
  WalkIntervals(g, line, exit - entry, visitor);
  if (visitor.inside) {
    TInterval& open = visitor.open;
    open.tOut = exit * inv - 100000.0;
    open.objOut = this;
    open.pointOut = o + d * exit;
    open.normalOut = exitNormal == VECTEUR() ? VECTEUR(0.0, 0.0, 1.0) : exitNormal;
    list->Add(open);
  }

  // Clip at the floor: for a rising ray the solid starts there, for a falling one it ends.
  if (d.z != 0.0 && !list->IsEmpty()) {
    const double clipZ = minAltitude * AltitudeStep - 1e-5;
    const double tc = (clipZ - o.z) / d.z;
    const double world = tc * inv - 100000.0;
    const VECTEUR p = o + d * tc;
    TIntervalList* clipped = new TIntervalList();
    for (TInterval interval : *list) {
      if (d.z > 0.0) {
        if (interval.tOut <= world)
          continue;
        if (interval.tIn < world) {
          interval.tIn = world;
          interval.objIn = this;
          interval.pointIn = p;
          interval.normalIn = VECTEUR(0.0, 0.0, -1.0);
        }
      } else {
        if (interval.tIn >= world)
          continue;
        if (interval.tOut > world) {
          interval.tOut = world;
          interval.objOut = this;
          interval.pointOut = p;
          interval.normalOut = VECTEUR(0.0, 0.0, 1.0);
        }
      }
      clipped->Add(interval);
    }
    delete list;
    list = clipped;
  }
  // A ray known to start inside: the interval holding its origin opens at the
  // starts-inside distance.
  if (rayInside)
    for (TInterval& interval : *list)
      if (interval.tOut > 0.0) {
        if (interval.tIn <= HitTolerance) {
          interval.tIn = StartsInside;
          interval.objIn = this;
        }
        break;
      }
  return list;
}

bool Terrain::IsInside(const VECTEUR& p, TDrawInfo* di) {
  Ray ray;
  ray.origin = p;
  ray.direction = VECTEUR(0.0, 0.0, 1.0);
  TIntervalList* list = FindAllIntersections(&ray, di);
  bool inside = false;
  for (const TInterval& interval : *list)
    if (interval.tIn < 0.0 && interval.tOut > 0.0)
      inside = true;
  delete list;
  return inside;
}

namespace {
[[maybe_unused]] const bool copierRegistered = RegisterObjectCopier(BasicObject::TypeTerrain, CopyOfKind<Terrain>);
}  // namespace
