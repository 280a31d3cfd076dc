// Terrain ray traversal: a 1025 x 1025 fractal height field built from the noise
// functions, seen by a fan of rays from a camera standing on it, in flat and smooth mode:
// rays looking down (all hit), grazing the horizon (long walks) and looking up (misses).
// Reports rays per second, the hit fraction and the mean number of cells visited per ray;
// and the cost of preparing a render of that landscape.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "engine/engine.h"
#include "engine/lights/light.h"
#include "engine/render/camera.h"

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
      ray.direction = VECTEUR(std::cos(heading) * std::cos(pitch), std::sin(heading) * std::cos(pitch), std::sin(pitch));
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

}  // namespace

BENCHMARK_MAIN();
