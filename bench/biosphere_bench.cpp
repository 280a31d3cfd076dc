// GrowPlant per species: time per plant over successive seeds (each iteration grows a
// different plant), and the mean length of the strings it wrote.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "biosphere/biosphere.h"

namespace {

void GrowSpecies(benchmark::State& state) {
  const auto model = static_cast<EPlantModel>(state.range(0));
  unsigned seed = 1;
  double bytes = 0;
  for (auto _ : state) {
    std::srand(seed++);
    const std::string plant = GrowPlant(model);
    bytes += plant.size();
    benchmark::DoNotOptimize(plant.data());
  }
  state.counters["bytes"] = bytes / state.iterations();
  state.SetLabel("species " + std::to_string(state.range(0)));
}

BENCHMARK(GrowSpecies)->DenseRange(0, 17)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
