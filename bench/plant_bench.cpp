// Plants: growing and building one large plant (species 13, about 700 branch segments and
// leaves), and rays per second against it from a pinhole camera (256 x 256 rays framing
// the plant, about a ninth of them hitting), on 1 and 2 threads. One plant has no
// hierarchy of its own: one box guards every element, so this measures the element tests.
// The forest over a 1025 x 1025 terrain is timed as a whole render by bench/forest.sh.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "biosphere/biosphere.h"
#include "engine/engine.h"
#include "engine/plants/plant.h"
#include "host/plant_turtle.h"

namespace {

constexpr int Species = 13;
constexpr unsigned Seed = 1;
constexpr int RaySide = 256;

std::unique_ptr<TPlant> GrowLargePlant() {
  std::srand(Seed);
  const std::string text = GrowPlant(static_cast<EPlantModel>(Species));
  auto plant = std::make_unique<TPlant>(0);
  BuildPlant(text, PlantMaterials{0, 1, 2}, *plant);
  return plant;
}

TPlant& Shared() {
  static std::unique_ptr<TPlant> plant = GrowLargePlant();
  return *plant;
}

// A camera on -y, twice the plant's height away, looking at its middle, 40 degrees wide.
std::vector<Ray> PrimaryRays(const TPlant& plant) {
  const VECTEUR middle = (plant.localBox.min + plant.localBox.max) * 0.5;
  const double height = plant.localBox.max.z - plant.localBox.min.z;
  const double half = std::tan(20.0 * std::numbers::pi / 180.0);
  std::vector<Ray> rays;
  for (int row = 0; row < RaySide; row++)
    for (int col = 0; col < RaySide; col++) {
      Ray ray;
      ray.origin = VECTEUR(middle.x, middle.y - 2.0 * height, middle.z);
      ray.direction = Normalised(
          VECTEUR(half * (2.0 * (col + 0.5) / RaySide - 1.0), 1.0, half * (1.0 - 2.0 * (row + 0.5) / RaySide)));
      rays.push_back(ray);
    }
  return rays;
}

void BM_PlantGrowAndBuild(benchmark::State& state) {
  unsigned elements = 0;
  for (auto _ : state) {
    std::unique_ptr<TPlant> plant = GrowLargePlant();
    elements = plant->cylinderCount + plant->paraboloidCount;
    benchmark::DoNotOptimize(plant->localBox);
  }
  state.counters["elements"] = elements;
}
BENCHMARK(BM_PlantGrowAndBuild)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly();

// Traces every ray once per iteration, the rays split into state.range(0) contiguous
// parts, one thread each: items_per_second is rays per wall-clock second.
void BM_PlantPrimaryRays(benchmark::State& state) {
  TPlant& plant = Shared();
  const std::vector<Ray> rays = PrimaryRays(plant);
  const int threads = static_cast<int>(state.range(0));
  long hits = 0, traced = 0;
  for (auto _ : state) {
    std::vector<long> partHits(threads, 0);
    std::vector<std::thread> workers;
    for (int k = 0; k < threads; k++)
      workers.emplace_back([&, k] {
        TDrawInfo di;
        di.Rendering = 1;
        const size_t begin = rays.size() * k / threads, end = rays.size() * (k + 1) / threads;
        for (size_t i = begin; i < end; i++) {
          Ray ray = rays[i];
          double t = NoLimit;
          VECTEUR point, normal;
          partHits[k] += plant.FindNearestIntersection(&ray, &di, t, point, normal) ? 1 : 0;
        }
      });
    for (std::thread& worker : workers)
      worker.join();
    for (long h : partHits)
      hits += h;
    traced += static_cast<long>(rays.size());
  }
  state.SetItemsProcessed(traced);
  state.counters["hit_fraction"] = traced ? static_cast<double>(hits) / traced : 0.0;
  state.counters["elements"] = plant.cylinderCount + plant.paraboloidCount;
}
BENCHMARK(BM_PlantPrimaryRays)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(1.0)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

}  // namespace

BENCHMARK_MAIN();
