// Basis noise functions: nanoseconds per call over a fixed set of points spread over
// many lattice cells (so that the hash lookups are not all cache-warm repeats).
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "engine/functions/noise.h"
#include "engine/functions/noise_basis.h"

namespace {

struct Points {
  std::vector<float> x, y, z;
  Points() {
    std::mt19937 generator(42);
    std::uniform_real_distribution<float> coordinate(-500.0f, 500.0f);
    for (int n = 0; n < 4096; n++) {
      x.push_back(coordinate(generator));
      y.push_back(coordinate(generator));
      z.push_back(coordinate(generator));
    }
  }
};

const Points& SamplePoints() {
  static Points points;
  return points;
}

template <class Function>
void RunOverPoints(benchmark::State& state, Function function) {
  InitNoise();
  const Points& p = SamplePoints();
  size_t n = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(function(p.x[n], p.y[n], p.z[n]));
    n = (n + 1) & 4095;
  }
  state.SetItemsProcessed(state.iterations());
  FreeNoiseData();
}

void BM_GradientNoise(benchmark::State& state) { RunOverPoints(state, GradientNoise); }
void BM_VectorGradientNoise(benchmark::State& state) { RunOverPoints(state, VectorGradientNoise); }
void BM_CrackCells(benchmark::State& state) { RunOverPoints(state, CrackCells); }

BENCHMARK(BM_GradientNoise);
BENCHMARK(BM_VectorGradientNoise);
BENCHMARK(BM_CrackCells);

}  // namespace

BENCHMARK_MAIN();
