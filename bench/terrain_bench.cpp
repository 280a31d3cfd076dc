// Terrain ray traversal: a 1025 x 1025 fractal height field built from the noise
// functions, seen by a fan of rays from a camera standing on it, in flat and smooth mode:
// rays looking down (all hit), grazing the horizon (long walks) and looking up (misses).
// Reports rays per second, the hit fraction and the mean number of cells visited per ray;
// and the cost of preparing a render of that landscape.
//
// Then the shared comparison scene (bench/terrain-vs-povray.json over the height field of
// the shared bench folder; SHARED names that folder when it is not ../shared/bench beside
// the repository): the primary rays of its camera at 640 x 480 and the shadow rays from
// their terrain hits towards the sun, replayed against the terrain alone on one thread.
// When Embree is installed the same rays are timed against the same triangles (two per
// cell, in world space) with Embree's single-ray query, and the two answers are compared.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/lights/light.h"
#include "engine/render/camera.h"
#include "engine/render/render_session.h"
#include "host/engine_session.h"
#include "host/landscape.h"

#ifdef ORVELLE_HAVE_EMBREE
#include <embree3/rtcore.h>
#endif

namespace {

constexpr int Side = 1025;

// The fractal field, shared by both modes (filled once: a million function evaluations).
const std::vector<int16_t>& FractalField() {
  static std::vector<int16_t> field = [] {
    InitNoise();
    Fonction3D f;
    f.Layers[0].Kind = 1;
    f.Layers[0].Fractal = true;
    f.Layers[0].Octaves = 7;
    std::vector<int16_t> values(static_cast<size_t>(Side) * Side);
    for (int y = 0; y < Side; y++)
      for (int x = 0; x < Side; x++)
        values[static_cast<size_t>(y) * Side + x] = static_cast<int16_t>(
            1500.0f * f.ExtraireFonction(x * 0.004f, y * 0.004f, 0.5f, VECTEUR(0, 0, 1), nullptr, false));
    return values;
  }();
  return field;
}

std::unique_ptr<Terrain> MakeFractalTerrain(bool smooth) {
  auto terrain = std::make_unique<Terrain>(Side, Side, 0);
  const std::vector<int16_t>& field = FractalField();
  for (int y = 0; y < Side; y++)
    for (int x = 0; x < Side; x++)
      terrain->SetAltitude(x, y, field[static_cast<size_t>(y) * Side + x]);
  terrain->ZeroMinimumAltitudes();
  terrain->PrepareEdges();
  terrain->PrepareClusters();
  terrain->smoothSurface = smooth ? 1 : 0;
  return terrain;
}

Terrain& SharedTerrain(bool smooth) {
  static std::unique_ptr<Terrain> terrains[2] = {MakeFractalTerrain(false), MakeFractalTerrain(true)};
  return *terrains[smooth ? 1 : 0];
}

// A 64 x 48 fan of rays from 2 units above the surface at the centre, all around the
// horizon, between two pitches (degrees).
std::vector<Ray> Fan(Terrain& terrain, double pitchLow, double pitchHigh) {
  const VECTEUR eye(0.0, 0.0, terrain.SurfaceAltitudeAt(Side >> 1, Side >> 1) + 2.0);
  std::vector<Ray> rays;
  for (int row = 0; row < 48; row++)
    for (int col = 0; col < 64; col++) {
      const double heading = col * 2.0 * M_PI / 64.0;
      const double pitch = (pitchLow + (pitchHigh - pitchLow) * (row + 0.5) / 48.0) * M_PI / 180.0;
      Ray ray;
      ray.origin = eye;
      ray.direction =
          VECTEUR(std::cos(heading) * std::cos(pitch), std::sin(heading) * std::cos(pitch), std::sin(pitch));
      rays.push_back(ray);
    }
  return rays;
}

void Traverse(benchmark::State& state, bool smooth, double pitchLow, double pitchHigh) {
  Terrain& terrain = SharedTerrain(smooth);
  std::vector<Ray> rays = Fan(terrain, pitchLow, pitchHigh);
  TDrawInfo di;
  di.Rendering = 1;
  long hits = 0, traced = 0;
  const unsigned long long cellsBefore = TerrainCellsVisited();
  for (auto _ : state) {
    for (Ray& ray : rays) {
      double t = NoLimit;
      VECTEUR point, normal;
      hits += terrain.FindNearestIntersection(&ray, &di, t, point, normal) != nullptr;
    }
    traced += static_cast<long>(rays.size());
  }
  state.SetItemsProcessed(traced);
  state.counters["rays/s"] = benchmark::Counter(static_cast<double>(traced), benchmark::Counter::kIsRate);
  state.counters["hit_fraction"] = traced ? static_cast<double>(hits) / traced : 0.0;
  state.counters["cells_per_ray"] =
      traced ? static_cast<double>(TerrainCellsVisited() - cellsBefore) / static_cast<double>(traced) : 0.0;
}

void BM_TerrainRaysDown(benchmark::State& state) { Traverse(state, state.range(0) != 0, -30.0, -5.0); }
void BM_TerrainRaysGrazing(benchmark::State& state) { Traverse(state, state.range(0) != 0, -2.0, 2.0); }
void BM_TerrainRaysUp(benchmark::State& state) { Traverse(state, state.range(0) != 0, 5.0, 30.0); }

BENCHMARK(BM_TerrainRaysDown)->ArgName("smooth")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TerrainRaysGrazing)->ArgName("smooth")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TerrainRaysUp)->ArgName("smooth")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A render session (preparation and release) of a landscape made of the terrain, a water
// plane, a sun and a camera.
void BM_PreparerRenderOfTheTerrain(benchmark::State& state) {
  Terrain& terrain = SharedTerrain(false);
  TPaysage landscape;
  ObjectsList objects(1, 0, 1), selection(1, 0, 1);
  TArray<Texture*> materials(1, 0, 1);
  Texture material;
  materials.Add(&material);
  InfinitePlane water(0);
  water.MoveTo(0, 0, 40, nullptr);
  TDirectionLight sun;
  TCamera camera;
  camera.MoveTo(0, 0, static_cast<float>(terrain.SurfaceAltitudeAt(Side >> 1, Side >> 1) + 2.0), nullptr);
  objects.Add(&terrain);
  objects.Add(&water);
  objects.Add(&sun);
  objects.Add(&camera);
  landscape.Objects = &objects;
  landscape.Materials = &materials;
  for (auto _ : state)
    RenderSession session(&landscape, &selection);
}
BENCHMARK(BM_PreparerRenderOfTheTerrain)->Unit(benchmark::kMicrosecond);

// The comparison scene --------------------------------------------------------------------

constexpr int SceneWidth = 640, SceneHeight = 480;

// A ray and where our walk found its hit (t < 0: none).
struct SceneRay {
  Ray ray;
  double t = -1.0;
};

struct ComparisonScene {
  std::unique_ptr<EngineSession> engine;
  std::unique_ptr<Landscape> landscape;
  Terrain* terrain = nullptr;
  std::vector<SceneRay> primary, shadow;
  std::string error;  // why the scene is not there

  ComparisonScene() {
    const std::filesystem::path source = std::filesystem::path(__FILE__).parent_path();
    const char* shared = std::getenv("SHARED");
    const std::filesystem::path folder =
        shared ? std::filesystem::path(shared) : source / ".." / ".." / "shared" / "bench";
    if (!std::filesystem::exists(folder / "terrain-1025.png")) {
      error = (folder / "terrain-1025.png").string() + " is missing: set SHARED to the shared bench folder";
      return;
    }
    std::ifstream in(source / "terrain-vs-povray.json");
    std::stringstream text;
    text << in.rdbuf();
    std::string json = text.str();
    const std::string relative = "../../shared/bench/";
    for (size_t at = json.find(relative); at != std::string::npos; at = json.find(relative, at))
      json.replace(at, relative.size(), folder.string() + "/");
    engine = std::make_unique<EngineSession>(source.parent_path().string());
    LandscapeLoadResult loaded = LoadLandscapeFromText("terrain-vs-povray.json", json, source.string());
    if (!loaded.ok()) {
      error = loaded.errors.empty() ? "the scene did not load" : loaded.errors.front();
      return;
    }
    landscape = std::move(loaded.landscape);
    for (BasicObject* object : landscape->Objects())
      if (object->type == BasicObject::TypeTerrain)
        terrain = static_cast<Terrain*>(object);
    if (!terrain) {
      error = "the scene holds no terrain";
      return;
    }
    TEnvironment* environment = engine->Environment();
    landscape->Settings.ApplyTo(*environment);
    environment->PictureWidth = SceneWidth;
    environment->PictureHeight = SceneHeight;
    RenderSession session(&landscape->Record());
    RenderSession::Worker worker(session);
    TDrawInfo& di = worker.View();
    const TLight* sun = worker.Global().SunLight;
    for (int row = 0; row < SceneHeight; row++)
      for (int x = 0; x < SceneWidth; x++) {
        SceneRay r;
        LaunchARay(&r.ray, static_cast<float>(x), static_cast<float>(SceneHeight - 1 - row), &di);
        double t = NoLimit;
        VECTEUR point, normal;
        if (terrain->FindNearestIntersection(&r.ray, &di, t, point, normal)) {
          r.t = t;
          if (sun) {
            // As shading does: from the hit, a hair off the surface, towards the sun.
            const VECTEUR hit = r.ray.origin + r.ray.direction * t;
            SceneRay s;
            s.ray.origin = hit + normal * 1e-5;
            s.ray.direction = sun->Direction() * -1e8 - hit;
            Normalise(s.ray.direction);
            s.ray.shadowRay = true;
            shadow.push_back(s);
          }
        }
        primary.push_back(r);
      }
    TDrawInfo plain;
    plain.Rendering = 1;
    for (SceneRay& s : shadow) {
      double t = NoLimit;
      VECTEUR point, normal;
      if (terrain->FindNearestIntersection(&s.ray, &plain, t, point, normal))
        s.t = t;
    }
  }
};

ComparisonScene& SharedScene() {
  static ComparisonScene scene;
  return scene;
}

// Five repetitions reported as their mean, median, spread and minimum: on a shared
// machine the minimum is the least disturbed figure.
void Repeated(benchmark::internal::Benchmark* b) {
  b->Unit(benchmark::kMillisecond)
      ->Repetitions(5)
      ->ReportAggregatesOnly()
      ->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); });
}

void ReplayOurs(benchmark::State& state, bool shadows) {
  ComparisonScene& scene = SharedScene();
  if (!scene.error.empty()) {
    state.SkipWithError(scene.error.c_str());
    return;
  }
  std::vector<SceneRay>& rays = shadows ? scene.shadow : scene.primary;
  TDrawInfo di;
  di.Rendering = 1;
  long hits = 0, traced = 0;
  const unsigned long long cellsBefore = TerrainCellsVisited();
  for (auto _ : state) {
    for (SceneRay& r : rays) {
      double t = NoLimit;
      VECTEUR point, normal;
      hits += scene.terrain->FindNearestIntersection(&r.ray, &di, t, point, normal) != nullptr;
    }
    traced += static_cast<long>(rays.size());
  }
  state.SetItemsProcessed(traced);
  state.counters["ns_per_ray"] =
      benchmark::Counter(static_cast<double>(traced) * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["hit_fraction"] = traced ? static_cast<double>(hits) / traced : 0.0;
  state.counters["cells_per_ray"] =
      traced ? static_cast<double>(TerrainCellsVisited() - cellsBefore) / static_cast<double>(traced) : 0.0;
}

void BM_SceneTerrainPrimaryRays(benchmark::State& state) { ReplayOurs(state, false); }
void BM_SceneTerrainShadowRays(benchmark::State& state) { ReplayOurs(state, true); }
BENCHMARK(BM_SceneTerrainPrimaryRays)->Apply(Repeated);
BENCHMARK(BM_SceneTerrainShadowRays)->Apply(Repeated);

#ifdef ORVELLE_HAVE_EMBREE
// Embree over the terrain's triangles: each cell split along the diagonal from (i + 1, j)
// to (i, j + 1), the grid points placed in the world as the terrain places them.
struct EmbreeTerrain {
  RTCDevice device = rtcNewDevice(nullptr);
  RTCScene scene = nullptr;

  explicit EmbreeTerrain(Terrain& terrain) {
    scene = rtcNewScene(device);
    const int w = terrain.width, h = terrain.height;
    RTCGeometry geometry = rtcNewGeometry(device, RTC_GEOMETRY_TYPE_TRIANGLE);
    auto* vertices = static_cast<float*>(rtcSetNewGeometryBuffer(geometry, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3,
                                                                 3 * sizeof(float), static_cast<size_t>(w) * h));
    for (int j = 0; j < h; j++)
      for (int i = 0; i < w; i++) {
        VECTEUR p(i - (w >> 1), j - (h >> 1), terrain.GetAltitude(i, j) * AltitudeStep);
        terrain.AppliquerTransformation(&p);
        p += terrain.centre;
        float* v = vertices + 3 * (static_cast<size_t>(j) * w + i);
        v[0] = static_cast<float>(p.x);
        v[1] = static_cast<float>(p.y);
        v[2] = static_cast<float>(p.z);
      }
    const size_t cells = static_cast<size_t>(w - 1) * (h - 1);
    auto* indices = static_cast<unsigned*>(
        rtcSetNewGeometryBuffer(geometry, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3, 3 * sizeof(unsigned), 2 * cells));
    size_t k = 0;
    for (int j = 0; j + 1 < h; j++)
      for (int i = 0; i + 1 < w; i++) {
        const unsigned p00 = j * w + i, p10 = p00 + 1, p01 = p00 + w, p11 = p01 + 1;
        const unsigned lower[3] = {p00, p10, p01}, upper[3] = {p10, p11, p01};
        for (int c = 0; c < 3; c++) {
          indices[k * 3 + c] = lower[c];
          indices[(k + 1) * 3 + c] = upper[c];
        }
        k += 2;
      }
    rtcCommitGeometry(geometry);
    rtcAttachGeometry(scene, geometry);
    rtcReleaseGeometry(geometry);
    rtcCommitScene(scene);
  }
  ~EmbreeTerrain() {
    rtcReleaseScene(scene);
    rtcReleaseDevice(device);
  }

  // The nearest hit's distance, or -1.
  float Nearest(const Ray& ray) const {
    RTCIntersectContext context;
    rtcInitIntersectContext(&context);
    RTCRayHit hit{};
    hit.ray.org_x = static_cast<float>(ray.origin.x);
    hit.ray.org_y = static_cast<float>(ray.origin.y);
    hit.ray.org_z = static_cast<float>(ray.origin.z);
    hit.ray.dir_x = static_cast<float>(ray.direction.x);
    hit.ray.dir_y = static_cast<float>(ray.direction.y);
    hit.ray.dir_z = static_cast<float>(ray.direction.z);
    // Single precision near coordinates of 1000 resolves about 6e-5: a nearer start lets
    // Embree meet the surface that a shadow ray leaves.
    hit.ray.tnear = 1e-3f;
    hit.ray.tfar = static_cast<float>(NoLimit);
    hit.ray.mask = 0xFFFFFFFFu;
    hit.hit.geomID = RTC_INVALID_GEOMETRY_ID;
    rtcIntersect1(scene, &context, &hit);
    return hit.hit.geomID != RTC_INVALID_GEOMETRY_ID ? hit.ray.tfar : -1.0f;
  }
};

void ReplayEmbree(benchmark::State& state, bool shadows) {
  ComparisonScene& scene = SharedScene();
  if (!scene.error.empty()) {
    state.SkipWithError(scene.error.c_str());
    return;
  }
  static EmbreeTerrain embree(*scene.terrain);
  const std::vector<SceneRay>& rays = shadows ? scene.shadow : scene.primary;
  long hits = 0, traced = 0;
  for (auto _ : state) {
    for (const SceneRay& r : rays)
      hits += embree.Nearest(r.ray) >= 0.0f;
    traced += static_cast<long>(rays.size());
  }
  // How often the two agree: both miss, or both hit within a relative 1e-4 (Embree works
  // in single precision).
  long agree = 0;
  for (const SceneRay& r : rays) {
    const double t = embree.Nearest(r.ray);
    agree += (t < 0.0 && r.t < 0.0) || (t >= 0.0 && r.t >= 0.0 && std::fabs(t - r.t) <= 1e-4 * std::max(1.0, r.t));
  }
  state.SetItemsProcessed(traced);
  state.counters["ns_per_ray"] =
      benchmark::Counter(static_cast<double>(traced) * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["hit_fraction"] = traced ? static_cast<double>(hits) / traced : 0.0;
  state.counters["agreement"] = rays.empty() ? 0.0 : static_cast<double>(agree) / static_cast<double>(rays.size());
}

void BM_SceneEmbreePrimaryRays(benchmark::State& state) { ReplayEmbree(state, false); }
void BM_SceneEmbreeShadowRays(benchmark::State& state) { ReplayEmbree(state, true); }
BENCHMARK(BM_SceneEmbreePrimaryRays)->Apply(Repeated);
BENCHMARK(BM_SceneEmbreeShadowRays)->Apply(Repeated);
#endif

}  // namespace

BENCHMARK_MAIN();
