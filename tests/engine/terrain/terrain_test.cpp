#include "engine/terrain/terrain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/objects/object_tools.h"
#include "engine/platform/memory.h"
#include "engine/platform/messages.h"
#include "engine/scene/context.h"
#include "engine/terrain/terrain_cells.h"

namespace {

using AltitudeFunction = std::function<int(int, int)>;

std::unique_ptr<Terrain> MakeTerrain(int w, int h, const AltitudeFunction& altitude, bool smooth = false) {
  auto terrain = std::make_unique<Terrain>(w, h, 0);
  terrain->Lock();
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++)
      terrain->SetAltitude(x, y, altitude(x, y));
  terrain->Unlock();
  terrain->smoothSurface = smooth ? 1 : 0;
  terrain->PrepareEdges();
  terrain->PrepareClusters();
  return terrain;
}

// Hills of several wavelengths plus noise: steep and flat parts, peaks and valleys.
int Hills(int x, int y) {
  const int noise = static_cast<int>((static_cast<unsigned>(x) * 7919u + static_cast<unsigned>(y) * 104729u) % 13u);
  const double v = 400 + 250 * std::sin(x * 0.21) * std::cos(y * 0.17) + 120 * std::sin(x * 0.05 + y * 0.09) +
                   60 * std::cos(x * 0.7 - y * 0.4);
  return static_cast<int>(v) + noise;
}

Ray MakeRay(const VECTEUR& origin, const VECTEUR& direction) {
  Ray ray;
  ray.origin = origin;
  ray.direction = direction;
  return ray;
}

TDrawInfo RenderInfo() {
  TDrawInfo di;
  di.Rendering = 1;
  return di;
}

// The grid frame of an untransformed terrain centred at the origin.
VECTEUR GridShift(const Terrain& t) { return VECTEUR(t.width >> 1, t.height >> 1, 0.0); }

struct Hit {
  double t;
  VECTEUR point, normal;
};

std::optional<Hit> Nearest(Terrain& terrain, Ray ray, double limit = NoLimit) {
  TDrawInfo di = RenderInfo();
  Hit hit{limit, VECTEUR(), VECTEUR()};
  if (!terrain.FindNearestIntersection(&ray, &di, hit.t, hit.point, hit.normal))
    return std::nullopt;
  return hit;
}

// Independent ray-triangle test (Moller-Trumbore); distance along the direction.
std::optional<double> TriangleHit(const VECTEUR& o, const VECTEUR& d, const VECTEUR& a, const VECTEUR& b,
                                  const VECTEUR& c) {
  const VECTEUR e1 = b - a, e2 = c - a;
  const VECTEUR p = Cross(d, e2);
  const double det = Dot(e1, p);
  if (std::fabs(det) < 1e-14)
    return std::nullopt;
  const double invDet = 1.0 / det;
  const VECTEUR s = o - a;
  const double u = Dot(s, p) * invDet;
  if (u < -1e-9 || u > 1 + 1e-9)
    return std::nullopt;
  const VECTEUR q = Cross(s, e1);
  const double v = Dot(d, q) * invDet;
  if (v < -1e-9 || u + v > 1 + 1e-9)
    return std::nullopt;
  const double t = Dot(e2, q) * invDet;
  if (t <= 1e-5)
    return std::nullopt;
  return t;
}

double Z(const Terrain& t, int x, int y) { return AltitudeStep * t.GetAltitude(x, y); }

// The flat surface: both triangles of every cell, tested one by one.
std::optional<double> BruteForceFlatSurface(const Terrain& terrain, const VECTEUR& o, const VECTEUR& d) {
  std::optional<double> best;
  for (int j = 0; j < terrain.height; j++)
    for (int i = 0; i < terrain.width; i++) {
      const VECTEUR p00(i, j, Z(terrain, i, j)), p10(i + 1, j, Z(terrain, i + 1, j));
      const VECTEUR p01(i, j + 1, Z(terrain, i, j + 1)), p11(i + 1, j + 1, Z(terrain, i + 1, j + 1));
      for (auto t : {TriangleHit(o, d, p00, p10, p01), TriangleHit(o, d, p10, p11, p01)})
        if (t && (!best || *t < *best))
          best = t;
    }
  return best;
}

// Any surface: the cell test on every cell, keeping hits over the grid's data.
std::optional<double> BruteForceCells(const Terrain& terrain, const VECTEUR& o, const VECTEUR& d) {
  Ray ray = MakeRay(o, d);
  std::optional<double> best;
  for (int j = 0; j < terrain.height; j++)
    for (int i = 0; i < terrain.width; i++) {
      double x = i + 0.5, y = j + 0.5, z, t;
      VECTEUR n;
      if (IntersectTerrainCell(&terrain, &ray, x, y, z, t, 0.0, 1e9, n) && x >= 0 && x < terrain.width && y >= 0 &&
          y < terrain.height && (!best || t < *best))
        best = t;
    }
  return best;
}

// The side walls, with their linear edge profiles, and the floor, of a terrain with
// minAltitude 0, for a ray from outside the box.
std::optional<double> BruteForceWallsAndFloor(const Terrain& terrain, const VECTEUR& o, const VECTEUR& d) {
  std::optional<double> best;
  const double w = terrain.width, h = terrain.height;
  auto keep = [&](double t) {
    if (t > 1e-5 && (!best || t < *best))
      best = t;
  };
  auto profile = [&](int x0, int y0, int x1, int y1, double f) {
    return (1 - f) * Z(terrain, x0, y0) + f * Z(terrain, x1, y1);
  };
  for (double wx : {0.0, w}) {
    if (d.x == 0 || (wx == 0 ? o.x >= 0 : o.x <= w))
      continue;
    const double t = (wx - o.x) / d.x;
    const VECTEUR p = o + d * t;
    if (p.y < 0 || p.y > h || p.z < 0)
      continue;
    const int ix = static_cast<int>(wx), iy = std::min(static_cast<int>(p.y), int(terrain.height));
    if (p.z <= profile(ix, iy, ix, iy + 1, p.y - iy))
      keep(t);
  }
  for (double wy : {0.0, h}) {
    if (d.y == 0 || (wy == 0 ? o.y >= 0 : o.y <= h))
      continue;
    const double t = (wy - o.y) / d.y;
    const VECTEUR p = o + d * t;
    if (p.x < 0 || p.x > w || p.z < 0)
      continue;
    const int iy = static_cast<int>(wy), ix = std::min(static_cast<int>(p.x), int(terrain.width));
    if (p.z <= profile(ix, iy, ix + 1, iy, p.x - ix))
      keep(t);
  }
  if (d.z > 0 && o.z < 0) {
    const double t = (-0.0005 - o.z) / d.z;
    const VECTEUR p = o + d * t;
    if (p.x >= 0 && p.x < w && p.y >= 0 && p.y < h)
      keep(t);
  }
  return best;
}

// Where the ray enters the box through a side wall (below the top), or -1.
double EntryThroughSideWall(const Terrain& terrain, const VECTEUR& o, const VECTEUR& d) {
  const double w = terrain.width, h = terrain.height, top = (terrain.maxAltitude + 1) * AltitudeStep;
  for (int axis = 0; axis < 2; axis++) {
    const double oc = axis == 0 ? o.x : o.y, dc = axis == 0 ? d.x : d.y, extent = axis == 0 ? w : h;
    double plane;
    if (oc < 0 && dc > 0)
      plane = 0;
    else if (oc > extent && dc < 0)
      plane = extent;
    else
      continue;
    const double t = (plane - oc) / dc;
    const VECTEUR p = o + d * t;
    const double other = axis == 0 ? p.y : p.x, otherExtent = axis == 0 ? h : w;
    if (other >= 0 && other <= otherExtent && p.z >= 0 && p.z < top)
      return t;
  }
  return -1;
}

VECTEUR RandomUnit(std::mt19937& rng) {
  std::normal_distribution<double> n(0.0, 1.0);
  VECTEUR v(n(rng), n(rng), n(rng));
  return Normalised(v);
}

// Rays in the grid frame: from above looking down, from the sides, and from below.
std::vector<Ray> RandomRays(const Terrain& terrain, int count, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  const double w = terrain.width, h = terrain.height, top = terrain.maxAltitude * AltitudeStep;
  std::vector<Ray> rays;
  for (int k = 0; k < count; k++) {
    VECTEUR o, target(u(rng) * w, u(rng) * h, u(rng) * top);
    switch (k % 3) {
      case 0:  // above, anywhere, towards a point inside the box: grazing to steep
        o = VECTEUR(u(rng) * 3 * w - w, u(rng) * 3 * h - h, top + 1 + u(rng) * top);
        break;
      case 1: {  // beside the box, at any height
        const double angle = u(rng) * 6.283185307179586;
        o = VECTEUR(w / 2 + std::cos(angle) * w, h / 2 + std::sin(angle) * h, u(rng) * top * 1.2);
        break;
      }
      default:  // below the floor
        o = VECTEUR(u(rng) * w, u(rng) * h, -1 - u(rng) * 10);
        target = VECTEUR(o.x + (u(rng) - 0.5) * 4, o.y + (u(rng) - 0.5) * 4, 0.0);
    }
    rays.push_back(MakeRay(o, Normalised(target - o)));
  }
  return rays;
}

class MessageCapture {
 public:
  MessageCapture() {
    texts().clear();
    previous = SetMessageBoxHandler([](const char* caption, const char* text, MessageIcon) {
      texts().push_back(std::string(caption) + ": " + text);
    });
  }
  ~MessageCapture() { SetMessageBoxHandler(previous); }
  static std::vector<std::string>& texts() {
    static std::vector<std::string> t;
    return t;
  }

 private:
  MessageBoxHandler previous;
};

int beeps = 0;

}  // namespace

TEST(TerrainTest, ConstructionSetsTheTypeAndTheDefaults) {
  Terrain terrain(5, 3, 2);
  EXPECT_EQ(+terrain.type, BasicObject::TypeTerrain);
  EXPECT_STREQ(terrain.name, "Terrain");
  EXPECT_EQ(+terrain.material, 2);
  EXPECT_EQ(+terrain.minAltitude, 0);
  EXPECT_EQ(+terrain.maxAltitude, 1);
  EXPECT_EQ(+terrain.smoothSurface, 0);
  EXPECT_EQ(GlobalSize(terrain.handle), 8u * 6u * 2u);
  // Level 1: 2 x 1, level 2: 1 x 1, level 3: 1 x 1.
  EXPECT_EQ(GlobalSize(terrain.clusterHandle), (2u * 1u + 1u + 1u) * 8u);
  EXPECT_EQ(terrain.GetNumberOfPolygons(), 30);
  for (int y = -1; y <= 4; y++)
    for (int x = -1; x <= 6; x++)
      EXPECT_EQ(terrain.GetAltitude(x, y), 0);
  EXPECT_TRUE(terrain.DansRelief(4, 2));
  EXPECT_FALSE(terrain.DansRelief(5, 2));
  EXPECT_FALSE(terrain.DansRelief(0, -1));
}

TEST(TerrainTest, OneByOneTerrainHasOneLevelOneRecordOverItsPoint) {
  auto terrain = MakeTerrain(1, 1, [](int, int) { return 42; });
  EXPECT_EQ(terrain->GetNumberOfPolygons(), 2);
  EXPECT_EQ(terrain->Level1Width() * terrain->Level1Height(), 1);
  EXPECT_EQ(+terrain->Level1()[0].maxAltitude, 42);
  EXPECT_EQ(+terrain->Level1()[0].minAltitude, 42);
  EXPECT_EQ(+terrain->maxAltitude, 42);
  // Its single cell is flat at the altitude: a vertical ray lands on it.
  auto hit = Nearest(*terrain, MakeRay(VECTEUR(0.2, 0.3, 10), VECTEUR(0, 0, -1)));
  ASSERT_TRUE(hit);
  EXPECT_NEAR(10 - hit->t, 42 * AltitudeStep, 1e-9);
}

TEST(TerrainTest, AltitudesOutsideTheGuardRingAreNeitherReadNorWritten) {
  Terrain terrain(3, 3, 0);
  terrain.SetAltitude(4, 4, 9);   // the last guard point
  terrain.SetAltitude(5, 0, 7);   // beyond it: ignored
  terrain.SetAltitude(-2, 0, 7);  // ignored
  terrain.SetAltitude(0, 0, 70000);
  EXPECT_EQ(terrain.GetAltitude(4, 4), 9);
  EXPECT_EQ(terrain.GetAltitude(5, 0), 0);
  EXPECT_EQ(terrain.GetAltitude(-2, 0), 0);
  EXPECT_EQ(terrain.GetAltitude(0, 0), static_cast<int16_t>(70000));
}

TEST(TerrainTest, PrepareEdgesCopiesRowsThenColumnsSoCornersTakeCornerValues) {
  auto terrain = MakeTerrain(3, 2, [](int x, int y) { return 10 * y + x + 1; });
  // Data: row 0 = 1 2 3, row 1 = 11 12 13.
  EXPECT_EQ(terrain->GetAltitude(1, -1), 2);
  EXPECT_EQ(terrain->GetAltitude(1, 2), 12);
  EXPECT_EQ(terrain->GetAltitude(1, 3), 12);
  EXPECT_EQ(terrain->GetAltitude(-1, 1), 11);
  EXPECT_EQ(terrain->GetAltitude(3, 0), 3);
  EXPECT_EQ(terrain->GetAltitude(4, 0), 3);
  EXPECT_EQ(terrain->GetAltitude(-1, -1), 1);
  EXPECT_EQ(terrain->GetAltitude(4, 3), 13);
  EXPECT_EQ(terrain->GetAltitude(-1, 3), 11);
  EXPECT_EQ(terrain->GetAltitude(4, -1), 3);
}

TEST(TerrainTest, ZeroMinimumAltitudesShiftsEveryPointButKeepsMinAltitude) {
  auto terrain = MakeTerrain(4, 4, [](int x, int y) { return 100 + x * y; });
  terrain->SetAltitude(-1, 2, 500);
  terrain->ZeroMinimumAltitudes();
  EXPECT_EQ(terrain->GetAltitude(0, 0), 0);
  EXPECT_EQ(terrain->GetAltitude(3, 3), 9);
  EXPECT_EQ(terrain->GetAltitude(-1, 2), 400);
  EXPECT_EQ(terrain->GetAltitude(5, 5), 9);  // guard copy of (3, 3)
  EXPECT_EQ(+terrain->minAltitude, 0);
  // Wider grids, the lowest point in each part of a row (the first, the middle, the last).
  for (int lowX : {0, 20, 44}) {
    auto hills = MakeTerrain(45, 38, [lowX](int x, int y) { return x == lowX && y == 17 ? -90 : Hills(x, y); });
    hills->ZeroMinimumAltitudes();
    for (int y = -1; y <= 39; y++)
      for (int x = -1; x <= 46; x++) {
        const int gx = std::clamp(x, 0, 44), gy = std::clamp(y, 0, 37);  // the guard ring copies the edge
        const int before = gx == lowX && gy == 17 ? -90 : Hills(gx, gy);
        EXPECT_EQ(hills->GetAltitude(x, y), before + 90) << x << ", " << y;
      }
  }
}

TEST(TerrainTest, ClusterPyramidBoundsEveryBlockOfPoints) {
  const int w = 45, h = 38;
  auto terrain = MakeTerrain(w, h, Hills);
  const ClusterBound* l1 = terrain->Level1();
  const int n1x = terrain->Level1Width(), n1y = terrain->Level1Height();
  for (int cy = 0; cy < n1y; cy++)
    for (int cx = 0; cx < n1x; cx++) {
      int hi = -32768, lo = 32767;
      for (int y = 4 * cy; y <= std::min(4 * cy + 4, h - 1); y++)
        for (int x = 4 * cx; x <= std::min(4 * cx + 4, w - 1); x++) {
          hi = std::max(hi, int(terrain->GetAltitude(x, y)));
          lo = std::min(lo, int(terrain->GetAltitude(x, y)));
        }
      EXPECT_EQ(+l1[cy * n1x + cx].maxAltitude, hi);
      EXPECT_EQ(+l1[cy * n1x + cx].minAltitude, lo);
    }
  // A level-2 record bounds the cells of its 16 x 16 block (points up to 16 further).
  const ClusterBound* l2 = terrain->Level2();
  const int n2x = terrain->Level2Width();
  int highest = -32768;
  for (int cy = 0; cy < terrain->Level2Height(); cy++)
    for (int cx = 0; cx < n2x; cx++) {
      int hi = -32768, lo = 32767;
      for (int y = 16 * cy; y <= std::min(16 * cy + 16, h - 1); y++)
        for (int x = 16 * cx; x <= std::min(16 * cx + 16, w - 1); x++) {
          hi = std::max(hi, int(terrain->GetAltitude(x, y)));
          lo = std::min(lo, int(terrain->GetAltitude(x, y)));
        }
      if (16 * cx < w && 16 * cy < h) {
        EXPECT_EQ(+l2[cy * n2x + cx].maxAltitude, hi);
        EXPECT_EQ(+l2[cy * n2x + cx].minAltitude, lo);
      }
      highest = std::max(highest, hi);
    }
  EXPECT_EQ(+terrain->maxAltitude, highest);
  // The size: Obj's (the diagonal of the unit axes) times the grid's diagonal.
  const double diagonal = std::sqrt(double(w * w + h * h + highest * highest));
  EXPECT_NEAR(terrain->size, std::sqrt(3.0) * diagonal, 1e-3);
}

TEST(TerrainTest, FlatTerrainAtZeroGetsMaxAltitudeTen) {
  auto terrain = MakeTerrain(8, 8, [](int, int) { return 0; });
  EXPECT_EQ(+terrain->maxAltitude, 10);
  // The size was computed before the raise.
  EXPECT_NEAR(terrain->size, std::sqrt(3.0) * std::sqrt(128.0), 1e-4);
}

TEST(TerrainTest, EmptyGridsBuildAPyramidAndReportNothing) {
  for (auto [w, h] : {std::pair{0, 0}, std::pair{0, 5}, std::pair{7, 0}}) {
    Terrain terrain(w, h, 0);
    terrain.ZeroMinimumAltitudes();
    terrain.PrepareEdges();
    terrain.PrepareClusters();
    EXPECT_EQ(+terrain.maxAltitude, 10);
    EXPECT_EQ(terrain.GetNumberOfPolygons(), 0);
    EXPECT_FALSE(Nearest(terrain, MakeRay(VECTEUR(0, 0, 5), VECTEUR(0, 0, -1))));
    Ray ray = MakeRay(VECTEUR(0, 0, 5), VECTEUR(0.3, 0.1, -1));
    TDrawInfo di = RenderInfo();
    TIntervalList* list = terrain.FindAllIntersections(&ray, &di);
    EXPECT_TRUE(list->IsEmpty());
    delete list;
    EXPECT_FALSE(terrain.IsInside(VECTEUR(0, 0, 0), &di));
  }
}

TEST(TerrainTest, FailedAltitudeBlockShowsBothMessagesAndTheTerrainStaysInert) {
  MessageCapture capture;
  SetAllocationFailureAfter(0);
  Terrain terrain(16, 16, 0);
  SetAllocationFailureAfter(-1);
  ASSERT_EQ(MessageCapture::texts().size(), 2u);
  EXPECT_EQ(MessageCapture::texts()[0], std::string(OutOfMemoryCaption) + ": " + OutOfMemoryText);
  EXPECT_EQ(MessageCapture::texts()[1],
            "Orvelle: Out of memory. If you manage, save the landscape immediately under another name and quit.");
  EXPECT_EQ(terrain.handle, nullptr);
  terrain.SetAltitude(3, 3, 100);
  EXPECT_EQ(terrain.GetAltitude(3, 3), 0);
  terrain.ZeroMinimumAltitudes();
  terrain.PrepareEdges();
  terrain.PrepareClusters();
  EXPECT_FALSE(Nearest(terrain, MakeRay(VECTEUR(0, 0, 50), VECTEUR(0, 0, -1))));
  TDrawInfo di = RenderInfo();
  EXPECT_FALSE(terrain.IsInside(VECTEUR(0, 0, 0), &di));
  EXPECT_NEAR(terrain.SurfaceAltitudeAt(3, 3), 0.0, 1e-12);
  // A copy of it is just as inert.
  BasicObject* copy = nullptr;
  CopyObject(&copy, &terrain);
  ASSERT_NE(copy, nullptr);
  EXPECT_FALSE(Nearest(static_cast<Terrain&>(*copy), MakeRay(VECTEUR(0, 0, 50), VECTEUR(0, 0, -1))));
  delete copy;
}

TEST(TerrainTest, FailedClusterBlockShowsOnlyTheSharedMessage) {
  MessageCapture capture;
  SetAllocationFailureAfter(1);
  Terrain terrain(16, 16, 0);
  SetAllocationFailureAfter(-1);
  ASSERT_EQ(MessageCapture::texts().size(), 1u);
  EXPECT_EQ(MessageCapture::texts()[0], std::string(OutOfMemoryCaption) + ": " + OutOfMemoryText);
  EXPECT_NE(terrain.handle, nullptr);
  EXPECT_EQ(terrain.clusterHandle, nullptr);
  terrain.PrepareClusters();
  EXPECT_FALSE(Nearest(terrain, MakeRay(VECTEUR(0, 0, 50), VECTEUR(0, 0, -1))));
}

TEST(TerrainTest, CopyOwnsItsOwnGridAndAnswersLikeTheOriginal) {
  auto terrain = MakeTerrain(20, 17, Hills, true);
  terrain->extraFlag = 3;
  terrain->MoveTo(5, -2, 1, nullptr);
  BasicObject* out = nullptr;
  CopyObject(&out, terrain.get());
  ASSERT_NE(out, nullptr);
  std::unique_ptr<Terrain> copy(static_cast<Terrain*>(out));
  EXPECT_EQ(+copy->type, BasicObject::TypeTerrain);
  EXPECT_EQ(+copy->smoothSurface, 1);
  EXPECT_EQ(+copy->extraFlag, 3);
  EXPECT_EQ(+copy->maxAltitude, +terrain->maxAltitude);
  EXPECT_NE(copy->handle, terrain->handle);
  EXPECT_NE(copy->clusters, terrain->clusters);
  for (auto& ray : RandomRays(*terrain, 60, 3)) {
    ray.origin += VECTEUR(5, -2, 1) - GridShift(*terrain);
    auto a = Nearest(*terrain, ray), b = Nearest(*copy, ray);
    ASSERT_EQ(a.has_value(), b.has_value());
    if (a) {
      EXPECT_EQ(a->t, b->t);
    }
  }
  copy->SetAltitude(4, 4, 0);
  EXPECT_NE(terrain->GetAltitude(4, 4), 0);
}

TEST(TerrainTest, LockNestsAndQueriesLeaveLockCountsAlone) {
  auto terrain = MakeTerrain(10, 10, Hills);
  const unsigned base = GlobalLockCount(terrain->handle);
  terrain->Lock();
  terrain->Lock();
  EXPECT_EQ(GlobalLockCount(terrain->handle), base + 2);
  EXPECT_EQ(GlobalLockCount(terrain->clusterHandle), base + 2);
  terrain->Unlock();
  terrain->Unlock();
  EXPECT_EQ(GlobalLockCount(terrain->handle), base);
  // Render threads query concurrently: a query must not write the lock counts.
  Nearest(*terrain, MakeRay(VECTEUR(0, 0, 100), VECTEUR(0.1, 0.2, -1)));
  TDrawInfo di = RenderInfo();
  terrain->IsInside(VECTEUR(0, 0, 1), &di);
  EXPECT_EQ(GlobalLockCount(terrain->handle), base);
  EXPECT_EQ(GlobalLockCount(terrain->clusterHandle), base);
}

TEST(TerrainTest, BoxAndSizeFollowTheTransform) {
  auto terrain = MakeTerrain(10, 6, [](int x, int) { return 10 * x; });
  terrain->Scale(2, 3, 1, nullptr, false);
  terrain->MoveTo(100, 0, 0, nullptr);
  TBoundingBox box;
  terrain->IncludeObjectInBox(box, false, true);
  EXPECT_NEAR(box.min.x, 90, 1e-9);
  EXPECT_NEAR(box.max.x, 110, 1e-9);
  EXPECT_NEAR(box.min.y, -9, 1e-9);
  EXPECT_NEAR(box.max.y, 9, 1e-9);
  EXPECT_NEAR(box.min.z, 0, 1e-9);
  EXPECT_NEAR(box.max.z, 90 * AltitudeStep, 1e-6);
  TBoundingBox relative;
  terrain->IncludeObjectInBox(relative, false, false);
  EXPECT_NEAR(relative.min.x, -10, 1e-9);
}

// Nearest hit against brute force ----------------------------------------------------------

TEST(TerrainTest, FlatModeNearestHitAgreesWithEveryTriangleWallAndFloor) {
  auto terrain = MakeTerrain(61, 47, Hills);
  const VECTEUR shift = GridShift(*terrain);
  int hits = 0, checked = 0;
  for (const Ray& gridRay : RandomRays(*terrain, 3000, 11)) {
    const VECTEUR o = gridRay.origin, d = gridRay.direction;
    std::optional<double> expected = BruteForceFlatSurface(*terrain, o, d);
    const std::optional<double> solid = BruteForceWallsAndFloor(*terrain, o, d);
    if (solid && (!expected || *solid < *expected))
      expected = solid;
    auto hit = Nearest(*terrain, MakeRay(o - shift, d));
    checked++;
    ASSERT_EQ(hit.has_value(), expected.has_value()) << "ray " << checked;
    if (!hit)
      continue;
    hits++;
    // Within the walk's step past a surface it slipped through.
    EXPECT_NEAR(hit->t, *expected, 2e-5) << "ray " << checked;
    // The hit lies on the line, and on the surface or its solid.
    const VECTEUR p = hit->point;
    EXPECT_NEAR(Length(o + d * hit->t - p), 0.0, 2e-5);
    EXPECT_NEAR(Length(hit->normal), 1.0, 1e-6);
    if (p.x > 1e-4 && p.x < terrain->width - 1e-4 && p.y > 1e-4 && p.y < terrain->height - 1e-4 && p.z > 0.0) {
      // On the plane of its triangle, between the corner altitudes.
      const int i = static_cast<int>(p.x), j = static_cast<int>(p.y);
      const double fx = p.x - i, fy = p.y - j;
      const double z = fx + fy <= 1 ? Z(*terrain, i, j) + fx * (Z(*terrain, i + 1, j) - Z(*terrain, i, j)) +
                                          fy * (Z(*terrain, i, j + 1) - Z(*terrain, i, j))
                                    : Z(*terrain, i + 1, j + 1) +
                                          (1 - fx) * (Z(*terrain, i, j + 1) - Z(*terrain, i + 1, j + 1)) +
                                          (1 - fy) * (Z(*terrain, i + 1, j) - Z(*terrain, i + 1, j + 1));
      EXPECT_NEAR(p.z, z, 1e-5);
      const double lo =
          std::min({Z(*terrain, i, j), Z(*terrain, i + 1, j), Z(*terrain, i, j + 1), Z(*terrain, i + 1, j + 1)});
      const double hi =
          std::max({Z(*terrain, i, j), Z(*terrain, i + 1, j), Z(*terrain, i, j + 1), Z(*terrain, i + 1, j + 1)});
      EXPECT_GE(p.z, lo - 1e-6);
      EXPECT_LE(p.z, hi + 1e-6);
      EXPECT_NEAR(p.z, terrain->SurfaceAltitudeAt(p.x, p.y), 1e-5);
      EXPECT_GT(hit->normal.z, 0.0);
    }
  }
  EXPECT_GT(hits, 1500);
}

TEST(TerrainTest, SmoothModeWalkFindsTheNearestOfEveryCellTest) {
  auto terrain = MakeTerrain(53, 41, Hills, true);
  const VECTEUR shift = GridShift(*terrain);
  int hits = 0;
  for (const Ray& gridRay : RandomRays(*terrain, 3000, 5)) {
    const VECTEUR o = gridRay.origin, d = gridRay.direction;
    std::optional<double> expected = BruteForceCells(*terrain, o, d);
    const std::optional<double> solid = BruteForceWallsAndFloor(*terrain, o, d);
    if (solid && (!expected || *solid < *expected))
      expected = solid;
    // Entering through a side wall above its straight edge profile but below the curved
    // edge of the smooth surface, the ray is inside at once: no cell test describes that.
    const double wallEntry = EntryThroughSideWall(*terrain, o, d);
    if (wallEntry >= 0 && (!solid || *solid > wallEntry))
      continue;
    auto hit = Nearest(*terrain, MakeRay(o - shift, d));
    ASSERT_EQ(hit.has_value(), expected.has_value());
    if (!hit)
      continue;
    hits++;
    EXPECT_NEAR(hit->t, *expected, 2e-5);
  }
  EXPECT_GT(hits, 1500);
}

// Terrains of many level-3 records (64 x 64 cells), where the walk passes over whole
// records and over single cells without testing them: every hit still agrees with brute
// force, for random rays and for rays skimming the surface.
TEST(TerrainTest, WalkOverManyLevelThreeRecordsAgreesWithEveryTriangle) {
  struct Case {
    const char* name;
    int w, h;
    AltitudeFunction altitude;
  };
  const Case cases[] = {
      {"hills", 203, 157, Hills},
      // Deep basins between plateaus: records far below a skimming ray, cells just below it.
      {"plateaus", 190, 170, [](int x, int y) { return ((x / 50 + y / 40) % 2 ? 900 : 60) + Hills(x, y) / 8; }},
      // One tall needle in a flat plain: the pyramid's bounds are high only around it.
      {"needle", 260, 140, [](int x, int y) { return (x == 150 && y == 70) ? 3000 : Hills(x, y) / 20; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto terrain = MakeTerrain(c.w, c.h, c.altitude);
    const VECTEUR shift = GridShift(*terrain);
    std::vector<Ray> rays = RandomRays(*terrain, 240, 17);
    std::mt19937 rng(23);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (int k = 0; k < 240; k++) {
      // Skimming: from above a random point, nearly level, a little above the surface there.
      const double x = u(rng) * c.w, y = u(rng) * c.h, heading = u(rng) * 6.283185307179586;
      const double z = terrain->SurfaceAltitudeAt(x, y) + 0.05 + u(rng) * 3;
      const double pitch = (u(rng) - 0.7) * 0.05;
      rays.push_back(MakeRay(VECTEUR(x, y, z), Normalised(VECTEUR(std::cos(heading), std::sin(heading), pitch))));
    }
    int hits = 0, checked = 0;
    for (const Ray& gridRay : rays) {
      const VECTEUR o = gridRay.origin, d = gridRay.direction;
      std::optional<double> expected = BruteForceFlatSurface(*terrain, o, d);
      const std::optional<double> solid = BruteForceWallsAndFloor(*terrain, o, d);
      if (solid && (!expected || *solid < *expected))
        expected = solid;
      auto hit = Nearest(*terrain, MakeRay(o - shift, d));
      checked++;
      ASSERT_EQ(hit.has_value(), expected.has_value()) << "ray " << checked;
      if (!hit)
        continue;
      hits++;
      EXPECT_NEAR(hit->t, *expected, 2e-5) << "ray " << checked;
    }
    EXPECT_GT(hits, 200);
  }
}

// Rays along grid lines and cell diagonals, in every direction: the walk's steps meet
// ties between the x and y boundaries, zero direction components and falling indices,
// where the record it expects next is not the one it comes to; and rays a hair off a grid
// line, whose distances to the boundaries across it are huge.
TEST(TerrainTest, RaysAlongGridLinesAndDiagonalsAgreeWithEveryTriangle) {
  auto terrain = MakeTerrain(203, 157, Hills);
  const VECTEUR shift = GridShift(*terrain);
  const double headings[][2] = {{1, 0},  {-1, 0},  {0, 1}, {0, -1},   {1, 1},       {-1, 1},
                                {1, -1}, {-1, -1}, {2, 1}, {1, 1e-9}, {-1e-12, -1}, {-1, 3e-7}};
  int hits = 0;
  for (const auto& heading : headings) {
    for (int k = 0; k < 40; k++) {
      // From a grid point or the middle of a cell, at a few pitches, a little above the surface.
      const double x = 20 + (k * 37) % 160 + (k % 2) * 0.5, y = 15 + (k * 23) % 125 + (k % 2) * 0.5;
      const double pitch = -0.02 * (k % 5) - 0.002;
      const VECTEUR o(x, y, terrain->SurfaceAltitudeAt(x, y) + 1.0 + k % 3);
      const VECTEUR d = Normalised(VECTEUR(heading[0], heading[1], pitch));
      std::optional<double> expected = BruteForceFlatSurface(*terrain, o, d);
      const std::optional<double> solid = BruteForceWallsAndFloor(*terrain, o, d);
      if (solid && (!expected || *solid < *expected))
        expected = solid;
      auto hit = Nearest(*terrain, MakeRay(o - shift, d));
      ASSERT_EQ(hit.has_value(), expected.has_value()) << heading[0] << ", " << heading[1] << " ray " << k;
      if (!hit)
        continue;
      hits++;
      EXPECT_NEAR(hit->t, *expected, 2e-5) << heading[0] << ", " << heading[1] << " ray " << k;
    }
  }
  EXPECT_GT(hits, 380);
}

// Rays through the corners of level-3 records (64 x 64 cells), of level-2 records
// (16 x 16) and of level-1 records (4 x 4, in squares of 8) of a checkerboard of low and
// tall squares: the walk passes over the low ones in a row, taking each next record from
// its exit planes, and at a corner the record it expects is not the one the line comes to.
// Every hit agrees with brute force. (Squares of 4 make cliffs so steep that the cells'
// edge tolerance meets a line grazing a ridge that the exact triangles miss.)
TEST(TerrainTest, RaysThroughRecordCornersAgreeWithEveryTriangle) {
  for (const int size : {64, 16, 8}) {
    SCOPED_TRACE(size);
    auto terrain =
        MakeTerrain(300, 270, [size](int x, int y) { return (x / size + y / size) % 2 ? 700 : Hills(x, y) / 10; });
    const VECTEUR shift = GridShift(*terrain);
    const double headings[][2] = {{1, 1}, {-1, -1}, {1, -1}, {-1, 1}, {2, 1}, {-1, 2}, {1, 0}, {0, -1}};
    int hits = 0, rays = 0;
    for (const auto& heading : headings) {
      for (int k = 0; k < 24; k++) {
        // Falling at a few pitches from above the plateaus through a record corner below
        // their tops (where the x and y exits tie), or a hair beside it; only beside it along
        // the cells' split diagonal, where the line would run on the triangles' common edge.
        const double hair = k % 2 || heading[0] == heading[1] ? 3e-6 : 0.0;
        const VECTEUR corner(size * (1 + k % 3) + hair, size * (1 + (k / 3) % 3), 8.0 + 9.0 * (k % 5));
        const VECTEUR d = Normalised(VECTEUR(heading[0], heading[1], -0.03 - 0.04 * (k % 4)));
        const VECTEUR o = corner - d * ((60.0 + 4.0 * (k % 3) - corner.z) / -d.z);
        std::optional<double> expected = BruteForceFlatSurface(*terrain, o, d);
        const std::optional<double> solid = BruteForceWallsAndFloor(*terrain, o, d);
        if (solid && (!expected || *solid < *expected))
          expected = solid;
        auto hit = Nearest(*terrain, MakeRay(o - shift, d));
        rays++;
        ASSERT_EQ(hit.has_value(), expected.has_value()) << heading[0] << ", " << heading[1] << " ray " << k;
        if (!hit)
          continue;
        hits++;
        EXPECT_NEAR(hit->t, *expected, 2e-5) << heading[0] << ", " << heading[1] << " ray " << k;
      }
    }
    EXPECT_GT(hits, rays * 3 / 4);
  }
}

// Normalising two vectors at once gives the bits of normalising each alone, also where
// one of them has no length.
TEST(TerrainTest, PairedNormalisingMatchesSingleBitForBit) {
  const VECTEUR cases[][2] = {
      {VECTEUR(0.08, -0.16, 1.0), VECTEUR(-2.4, 0.0, 1.0)},
      {VECTEUR(1e-3, 3e-4, 0.25), VECTEUR(123.456, -654.321, 1.0)},
      {VECTEUR(0.0, 0.0, 0.0), VECTEUR(0.3, 0.4, 0.5)},
      {VECTEUR(-7.0, 1e-9, -0.5), VECTEUR(0.0, 0.0, 0.0)},
      {VECTEUR(1e150, 1.0, 1.0), VECTEUR(1e-160, 0.0, 0.0)},
  };
  for (const auto& c : cases) {
    VECTEUR a = c[0], b = c[1];
    terrain_detail::NormalisedSinglePair(a, b);
    const VECTEUR ea = terrain_detail::NormalisedSingle(c[0]), eb = terrain_detail::NormalisedSingle(c[1]);
    EXPECT_EQ(std::memcmp(&a, &ea, sizeof a), 0) << a.x << " " << a.y << " " << a.z;
    EXPECT_EQ(std::memcmp(&b, &eb, sizeof b), 0) << b.x << " " << b.y << " " << b.z;
  }
}

// The cell test's shortcut against the cell test itself: wherever it says the line passes
// above a cell, the cell's surface is not met, also when the line passes within a hair.
TEST(TerrainTest, CellsTheLinePassesAboveHoldNoHit) {
  auto terrain = MakeTerrain(61, 47, Hills);
  terrain_detail::TerrainGrid g;
  ASSERT_TRUE(terrain_detail::MakeGrid(terrain.get(), g));
  std::mt19937 rng(41);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  int passedAbove = 0, closeCalls = 0;
  for (int k = 0; k < 400; k++) {
    // Lines through a point a little above a random grid altitude, any heading, nearly
    // level or steep.
    const int i0 = static_cast<int>(u(rng) * 60), j0 = static_cast<int>(u(rng) * 46);
    // Every other line grazes a grid point.
    const VECTEUR at = k % 2 ? VECTEUR(i0, j0, Z(*terrain, i0, j0) + u(rng) * 0.005)
                             : VECTEUR(i0 + u(rng), j0 + u(rng), Z(*terrain, i0, j0) + (u(rng) - 0.3) * 0.2);
    const double heading = u(rng) * 6.283185307179586, pitch = (u(rng) - 0.5) * (k % 4 < 2 ? 0.02 : 3.0);
    const VECTEUR d = Normalised(VECTEUR(std::cos(heading), std::sin(heading), pitch));
    const terrain_detail::Line line{at - d * 80.0, d};
    const double inv[2] = {d.x != 0.0 ? 1.0 / d.x : 1e8, d.y != 0.0 ? 1.0 / d.y : 1e8};
    Ray ray = MakeRay(line.o, line.d);
    for (int j = 0; j < terrain->height; j++)
      for (int i = 0; i < terrain->width; i++) {
        if (!terrain_detail::LinePassesAboveCell(g, line, inv, i, j))
          continue;
        passedAbove++;
        double x = i + 0.5, y = j + 0.5, z, t;
        VECTEUR n;
        EXPECT_FALSE(IntersectTerrainCell(terrain.get(), &ray, x, y, z, t, -1e9, 1e9, n)) << i << ", " << j;
        // The line's lowest point over the cell's square, against its highest corner.
        double t0 = -1e18, t1 = 1e18;
        for (int axis = 0; axis < 2; axis++) {
          const double oc = axis ? line.o.y : line.o.x, dc = axis ? d.y : d.x, edge = axis ? j : i;
          if (dc == 0.0)
            continue;
          const double a = (edge - oc) / dc, b = (edge + 1 - oc) / dc;
          t0 = std::max(t0, std::min(a, b));
          t1 = std::min(t1, std::max(a, b));
        }
        if (t0 > t1)
          continue;
        const double lowest = std::min(line.At(t0).z, line.At(t1).z);
        const double high =
            std::max({Z(*terrain, i, j), Z(*terrain, i + 1, j), Z(*terrain, i, j + 1), Z(*terrain, i + 1, j + 1)});
        EXPECT_GT(lowest, high);
        closeCalls += lowest < high + 0.01;
      }
  }
  EXPECT_GT(passedAbove, 10000);
  EXPECT_GT(closeCalls, 20);
}

TEST(TerrainTest, LongGrazingRayPassesOverWholeLevelThreeRecords) {
  // A valley floor at 0, 1024 cells long, with a ridge near the far end: a ray skimming
  // the floor crosses 64 level-2 records but looks into those of the last level-3 record
  // only.
  auto terrain = MakeTerrain(1024, 64, [](int x, int) { return x >= 1000 && x < 1004 ? 400 : 0; });
  const VECTEUR shift = GridShift(*terrain);
  const unsigned long long before = TerrainRecordsVisited();
  auto hit = Nearest(*terrain, MakeRay(VECTEUR(-1, 30.5, 2) - shift, Normalised(VECTEUR(1, 0.001, 0))));
  ASSERT_TRUE(hit);
  EXPECT_NEAR(hit->point.x, 999.0 + 2.0 / 32.0, 1e-6);
  EXPECT_LT(TerrainRecordsVisited() - before, 8u);
}

TEST(TerrainTest, FlatCellTestAgreesWithIndependentTriangles) {
  auto terrain = MakeTerrain(30, 30, Hills);
  int compared = 0;
  for (const Ray& ray : RandomRays(*terrain, 600, 21)) {
    auto cells = BruteForceCells(*terrain, ray.origin, ray.direction);
    auto triangles = BruteForceFlatSurface(*terrain, ray.origin, ray.direction);
    ASSERT_EQ(cells.has_value(), triangles.has_value());
    if (cells) {
      EXPECT_NEAR(*cells, *triangles, 1e-6);
      compared++;
    }
  }
  EXPECT_GT(compared, 200);
}

TEST(TerrainTest, MovingTheTerrainAndTheRayTogetherKeepsTheHit) {
  auto terrain = MakeTerrain(40, 40, Hills, false);
  auto moved = MakeTerrain(40, 40, Hills, false);
  moved->Rotate(0, 0, 30, nullptr, false);
  moved->Scale(2, 2, 2, nullptr, true);
  moved->MoveTo(100, -50, 7, nullptr);
  int hits = 0;
  for (Ray ray : RandomRays(*terrain, 300, 8)) {
    ray.origin -= GridShift(*terrain);
    Ray other = ray;
    VECTEUR o = ray.origin, d = ray.direction;
    moved->AppliquerTransformation(&o);
    moved->AppliquerTransformation(&d);
    other.origin = o + moved->centre;
    other.direction = d;
    auto a = Nearest(*terrain, ray), b = Nearest(*moved, other);
    ASSERT_EQ(a.has_value(), b.has_value());
    if (!a)
      continue;
    hits++;
    EXPECT_NEAR(a->t, b->t, 1e-4);
    EXPECT_NEAR(Length(a->point - b->point), 0.0, 1e-3);
  }
  EXPECT_GT(hits, 100);
}

// Nearest-hit details ------------------------------------------------------------------------

TEST(TerrainTest, RayAboveTheTerrainPointingUpMissesWithoutVisitingACell) {
  auto terrain = MakeTerrain(32, 32, Hills);
  const unsigned long long before = TerrainCellsVisited();
  EXPECT_FALSE(Nearest(*terrain, MakeRay(VECTEUR(0, 0, 200), VECTEUR(0.3, 0.2, 0.5))));
  EXPECT_FALSE(Nearest(*terrain, MakeRay(VECTEUR(-100, 0, 200), VECTEUR(1, 0, 0))));
  EXPECT_EQ(TerrainCellsVisited(), before);
}

TEST(TerrainTest, GrazingRayVisitsOnlyCellsNearTheSurface) {
  // A long valley floor at 0 with one ridge of 400 near the far end: a ray skimming just
  // above the floor walks 16 x 16 blocks until it comes near the ridge.
  auto terrain = MakeTerrain(256, 64, [](int x, int) { return x >= 200 && x < 204 ? 400 : 0; });
  const VECTEUR shift = GridShift(*terrain);
  const unsigned long long before = TerrainCellsVisited();
  auto hit = Nearest(*terrain, MakeRay(VECTEUR(-1, 30.5, 2) - shift, Normalised(VECTEUR(1, 0.01, 0))));
  ASSERT_TRUE(hit);
  EXPECT_NEAR(hit->point.x, 199.0 + 2.0 / 32.0, 1e-6);
  // The ray crosses some 200 cells; only those near the ridge are tested.
  EXPECT_LT(TerrainCellsVisited() - before, 40u);
}

TEST(TerrainTest, SideWallIsHitBelowTheEdgeProfileAndPassedAbove) {
  // A ramp rising along x: 10 at x = 0 to 10 + 10 * 15 at x = 15.
  auto terrain = MakeTerrain(16, 16, [](int x, int) { return 10 + 10 * x; });
  const VECTEUR shift = GridShift(*terrain);
  // Entering the x = 0 wall below its height of 0.8: the wall, facing -x.
  auto wall = Nearest(*terrain, MakeRay(VECTEUR(-5, 8, 0.5) - shift, VECTEUR(1, 0, 0)));
  ASSERT_TRUE(wall);
  EXPECT_NEAR(wall->t, 5.0, 1e-9);
  EXPECT_EQ(wall->normal, VECTEUR(-1, 0, 0));
  // The y = 0 wall, facing -y, for a ray along +y below the profile at x = 5.5.
  auto side = Nearest(*terrain, MakeRay(VECTEUR(5.5, -3, 1.0) - shift, VECTEUR(0, 1, 0)));
  ASSERT_TRUE(side);
  EXPECT_NEAR(side->t, 3.0, 1e-9);
  EXPECT_EQ(side->normal, VECTEUR(0, -1, 0));
  // Above the profile at x = 0 the ray flies on and meets the rising surface where
  // 0.08 * (10 + 10 x) = 2.
  auto surface = Nearest(*terrain, MakeRay(VECTEUR(-5, 8, 2.0) - shift, VECTEUR(1, 0, 0)));
  ASSERT_TRUE(surface);
  EXPECT_NEAR(surface->t, 5.0 + 1.5, 1e-6);
  EXPECT_GT(surface->normal.z, 0.0);
  EXPECT_LT(surface->normal.x, 0.0);
}

// Rays aimed exactly at a vertical edge of the box, from many distances along the
// diagonals: rounding puts the crossing of either side wall a hair outside the other, yet
// the ray enters and hits the wall at the corner.
TEST(TerrainTest, RaysThroughTheBoxCornersHitTheWallThere) {
  auto terrain = MakeTerrain(16, 16, [](int, int) { return 100; });  // a slab from 0 to 8
  const VECTEUR shift = GridShift(*terrain);
  for (const double cx : {0.0, 16.0})
    for (const double cy : {0.0, 16.0})
      for (int k = 1; k <= 40; k++) {
        const VECTEUR corner(cx, cy, 4.0);
        const VECTEUR d = Normalised(VECTEUR(cx == 0.0 ? 1 : -1, cy == 0.0 ? 1 : -1, -0.01 * (k % 7)));
        const double distance = 3.7 * k + 1.0 / k;
        auto hit = Nearest(*terrain, MakeRay(corner - d * distance - shift, d));
        ASSERT_TRUE(hit) << cx << ", " << cy << " at " << distance;
        EXPECT_NEAR(hit->t, distance, 1e-6);
      }
}

TEST(TerrainTest, RayFromBelowHitsTheFloorAtOnce) {
  auto terrain = MakeTerrain(16, 16, Hills);
  auto hit = Nearest(*terrain, MakeRay(VECTEUR(1, 2, -4), VECTEUR(0, 0, 2)));
  ASSERT_TRUE(hit);
  EXPECT_NEAR(hit->t, (4 - 0.0005) / 2, 1e-7);
  EXPECT_EQ(hit->normal, VECTEUR(0, 0, -1));
  EXPECT_NEAR(hit->point.z, -0.0005, 1e-7);
}

TEST(TerrainTest, HitsBelowTheFloorAreNotReported) {
  // Left half low (0), right half high (200); the floor raised to 100.
  auto terrain = MakeTerrain(16, 16, [](int x, int) { return x < 8 ? 0 : 200; });
  terrain->minAltitude = 100;
  const VECTEUR shift = GridShift(*terrain);
  EXPECT_FALSE(Nearest(*terrain, MakeRay(VECTEUR(3.5, 8, 30) - shift, VECTEUR(0, 0, -1))));
  auto high = Nearest(*terrain, MakeRay(VECTEUR(12.5, 8, 30) - shift, VECTEUR(0, 0, -1)));
  ASSERT_TRUE(high);
  EXPECT_NEAR(30 - high->t, 16.0, 1e-6);
}

TEST(TerrainTest, RayStartingInsideLeavesThroughTheSurfaceOrAWall) {
  auto terrain = MakeTerrain(16, 16, [](int, int) { return 100; });  // flat at 8
  const VECTEUR shift = GridShift(*terrain);
  Ray up = MakeRay(VECTEUR(5.3, 6.2, 3) - shift, VECTEUR(0, 0, 1));
  up.insideObjects = new ObjectsList(1, 0, 1);
  up.insideObjects->Add(terrain.get());
  auto exit = Nearest(*terrain, up);
  ASSERT_TRUE(exit);
  EXPECT_NEAR(exit->t, 5.0, 1e-6);
  EXPECT_NEAR(exit->normal.z, -1.0, 1e-6);  // faces the ray
  Ray across = MakeRay(VECTEUR(5.3, 6.2, 3) - shift, VECTEUR(1, 0, 0));
  across.insideObjects = new ObjectsList(1, 0, 1);
  across.insideObjects->Add(terrain.get());
  auto wall = Nearest(*terrain, across);
  ASSERT_TRUE(wall);
  EXPECT_NEAR(wall->t, 16 - 5.3, 1e-6);
  EXPECT_EQ(wall->normal, VECTEUR(-1, 0, 0));
  Ray down = MakeRay(VECTEUR(5.3, 6.2, 3) - shift, VECTEUR(0, 0, -1));
  down.insideObjects = new ObjectsList(1, 0, 1);
  down.insideObjects->Add(terrain.get());
  auto floor = Nearest(*terrain, down);
  ASSERT_TRUE(floor);
  EXPECT_NEAR(floor->t, 3.0005, 1e-6);
  EXPECT_EQ(floor->normal, VECTEUR(0, 0, 1));
}

// Smooth surface ------------------------------------------------------------------------------

TEST(TerrainTest, SmoothSurfacePassesThroughEveryGridAltitude) {
  auto terrain = MakeTerrain(12, 9, Hills, true);
  const VECTEUR shift = GridShift(*terrain);
  for (int y = 0; y < 9; y++)
    for (int x = 0; x < 12; x++) {
      const double z = AltitudeStep * terrain->GetAltitude(x, y);
      auto hit = Nearest(*terrain, MakeRay(VECTEUR(x, y, 100) - shift, VECTEUR(0, 0, -1)));
      ASSERT_TRUE(hit) << x << "," << y;
      EXPECT_NEAR(100 - hit->t, z, 1e-9);
      EXPECT_NEAR(terrain->SurfaceAltitudeAt(x, y), z, 1e-9);
      // A slanted ray through the same point crosses the surface there too.
      const VECTEUR d = Normalised(VECTEUR(0.37, -0.21, -1));
      auto slanted = Nearest(*terrain, MakeRay(VECTEUR(x, y, z) - d * 10 - shift, d));
      if (x > 0 && y > 0 && x < 11 && y < 8) {
        ASSERT_TRUE(slanted);
        EXPECT_LE(slanted->t, 10 + 1e-6);
      }
    }
}

TEST(TerrainTest, SmoothSurfaceOfALinearFieldIsItsPlane) {
  auto terrain = MakeTerrain(
      40, 40, [](int x, int y) { return 500 + 7 * x - 4 * y; }, true);
  const VECTEUR shift = GridShift(*terrain);
  const VECTEUR expectedNormal = Normalised(VECTEUR(-7 * AltitudeStep, 4 * AltitudeStep, 1));
  std::mt19937 rng(4);
  std::uniform_real_distribution<double> u(0, 1);
  int hits = 0;
  for (int k = 0; k < 500; k++) {
    const VECTEUR target(3 + u(rng) * 34, 3 + u(rng) * 34, 0);
    const double zt = AltitudeStep * (500 + 7 * target.x - 4 * target.y);
    const VECTEUR d = RandomUnit(rng);
    if (d.z > -0.05)
      continue;
    const VECTEUR start = VECTEUR(target.x, target.y, zt) - d * (1 + u(rng) * 2);
    if (start.z <= AltitudeStep * (500 + 7 * start.x - 4 * start.y))
      continue;
    auto hit = Nearest(*terrain, MakeRay(start - shift, d));
    ASSERT_TRUE(hit);
    hits++;
    const VECTEUR p = hit->point;
    EXPECT_NEAR(p.z, AltitudeStep * (500 + 7 * p.x - 4 * p.y), 1e-6);
    EXPECT_NEAR(Length(hit->normal - expectedNormal), 0.0, 1e-6);
  }
  EXPECT_GT(hits, 100);
}

TEST(TerrainTest, RaysLeavingASmoothSurfaceDoNotHitItAgainAtOnce) {
  // The interpolated surface depends on the ray's direction: a shadow or reflected ray
  // from a hit point must not find its own start a hair below its version of the surface.
  auto terrain = MakeTerrain(48, 48, Hills, true);
  const VECTEUR shift = GridShift(*terrain);
  std::mt19937 rng(12);
  int leaving = 0, again = 0;
  for (const Ray& gridRay : RandomRays(*terrain, 1500, 13)) {
    auto hit = Nearest(*terrain, MakeRay(gridRay.origin - shift, gridRay.direction));
    if (!hit || hit->point.z <= 0.01 || hit->normal.z <= 0.0 || hit->point.x < 1 || hit->point.y < 1 ||
        hit->point.x > terrain->width - 2 || hit->point.y > terrain->height - 2)
      continue;
    VECTEUR d = RandomUnit(rng);
    if (Dot(d, hit->normal) < 0.1)
      d = d - hit->normal * (2 * Dot(d, hit->normal));
    if (Dot(d, hit->normal) < 0.1)
      continue;
    leaving++;
    auto next = Nearest(*terrain, MakeRay(hit->point - shift, d));
    again += next && next->t < 0.005;
  }
  EXPECT_GT(leaving, 300);
  // Without the crossing test about a third of them would; the walk's fallback for a ray
  // that slipped under the surface may still catch a rare one.
  EXPECT_LE(again, leaving / 100);
}

TEST(TerrainTest, SmoothRayParallelToAFlatCellAtItsHeightReportsNoHit) {
  beeps = 0;
  BeepHandler previous = SetBeepHandler([](MessageIcon) { beeps++; });
  auto terrain = MakeTerrain(
      8, 8, [](int, int) { return 50; }, true);
  double x = 3.5, y = 3.5, z, t;
  VECTEUR n;
  Ray ray = MakeRay(VECTEUR(3.2, 3.5, 4.0), VECTEUR(1, 0, 0));
  EXPECT_FALSE(IntersectTerrainCell(terrain.get(), &ray, x, y, z, t, 0.0, 1e9, n));
  EXPECT_EQ(beeps, 1);
  SetBeepHandler(previous);
}

// All intervals -------------------------------------------------------------------------------

namespace {

void CheckIntervalsAgainstInsideTest(bool smooth, unsigned seed) {
  auto terrain = MakeTerrain(37, 33, Hills, smooth);
  const VECTEUR shift = GridShift(*terrain);
  TDrawInfo di = RenderInfo();
  int samples = 0, insideSamples = 0, nearestChecks = 0;
  for (const Ray& gridRay : RandomRays(*terrain, 400, seed)) {
    Ray ray = MakeRay(gridRay.origin - shift, gridRay.direction * 2.0);  // not unit: distances scale
    TIntervalList* list = terrain->FindAllIntersections(&ray, &di);
    std::vector<TInterval> intervals(list->begin(), list->end());
    delete list;
    for (size_t k = 0; k < intervals.size(); k++) {
      ASSERT_LT(intervals[k].tIn, intervals[k].tOut);
      if (k > 0) {
        ASSERT_LE(intervals[k - 1].tOut, intervals[k].tIn);
      }
      EXPECT_EQ(intervals[k].objIn, terrain.get());
    }
    // The first entry ahead of a ray from outside is its nearest hit.
    const VECTEUR o = gridRay.origin;
    if (!intervals.empty() && intervals[0].tIn > 0) {
      const VECTEUR p = intervals[0].pointIn;
      if (p.x > 0.01 && p.y > 0.01 && p.x < terrain->width - 1.01 && p.y < terrain->height - 1.01 && p.z > 0.01) {
        // The interval box ends at the last data point, the nearest-hit box one cell further.
        auto hit = Nearest(*terrain, ray);
        ASSERT_TRUE(hit);
        if (hit->point.x < terrain->width - 1 && hit->point.y < terrain->height - 1) {
          EXPECT_NEAR(hit->t, intervals[0].tIn, 1e-6);
          nearestChecks++;
        }
      }
    }
    // Points along the ray are inside exactly when an interval holds them.
    for (int s = 0; s < 40; s++) {
      const double t = (s + 0.5) * 2.0;
      const VECTEUR g = o + gridRay.direction * (2.0 * t);
      if (!(g.x > 0.01 && g.y > 0.01 && g.x < terrain->width - 1.01 && g.y < terrain->height - 1.01 && g.z > 0.01))
        continue;
      bool near = false, inInterval = false;
      for (const TInterval& i : intervals) {
        near = near || std::fabs(t - i.tIn) < 1e-3 || std::fabs(t - i.tOut) < 1e-3;
        inInterval = inInterval || (i.tIn < t && t < i.tOut);
      }
      if (near || std::fabs(g.z - terrain->SurfaceAltitudeAt(g.x, g.y)) < 1e-3)
        continue;
      samples++;
      insideSamples += inInterval;
      EXPECT_EQ(terrain->IsInside(g - shift, &di), inInterval) << "at " << g.x << "," << g.y << "," << g.z;
      EXPECT_EQ(g.z < terrain->SurfaceAltitudeAt(g.x, g.y), inInterval);
    }
  }
  EXPECT_GT(samples, 1000);
  EXPECT_GT(insideSamples, 200);
  EXPECT_GT(nearestChecks, 50);
}

}  // namespace

TEST(TerrainTest, FlatModeIntervalsAlternateAndAgreeWithTheInsideTest) { CheckIntervalsAgainstInsideTest(false, 31); }

TEST(TerrainTest, SmoothModeIntervalsAlternateAndAgreeWithTheInsideTest) { CheckIntervalsAgainstInsideTest(true, 32); }

TEST(TerrainTest, IntervalsAreClippedAtTheFloorAndMarkARayThatStartsInside) {
  auto terrain = MakeTerrain(16, 16, [](int, int) { return 100; });  // a slab from 0 to 8
  const VECTEUR shift = GridShift(*terrain);
  TDrawInfo di = RenderInfo();
  Ray up = MakeRay(VECTEUR(5, 5, -2) - shift, VECTEUR(0, 0, 1));
  TIntervalList* list = terrain->FindAllIntersections(&up, &di);
  ASSERT_EQ(list->Count(), 1);
  EXPECT_NEAR((*list)[0].tIn, 2 - 1e-5, 1e-9);
  EXPECT_EQ((*list)[0].normalIn, VECTEUR(0, 0, -1));
  EXPECT_NEAR((*list)[0].tOut, 10, 1e-6);
  EXPECT_NEAR((*list)[0].normalOut.z, -1, 1e-6);
  delete list;
  Ray down = MakeRay(VECTEUR(5, 5, 4) - shift, VECTEUR(0, 0, -1));
  down.insideObjects = new ObjectsList(1, 0, 1);
  down.insideObjects->Add(terrain.get());
  list = terrain->FindAllIntersections(&down, &di);
  ASSERT_EQ(list->Count(), 1);
  EXPECT_EQ((*list)[0].tIn, StartsInside);
  EXPECT_NEAR((*list)[0].tOut, 4 + 1e-5, 1e-9);
  EXPECT_EQ((*list)[0].normalOut, VECTEUR(0, 0, 1));
  delete list;
}
