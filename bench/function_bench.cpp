// Function evaluation: nanoseconds per ExtraireFonction call of a one-layer gradient
// noise function with 6 summed octaves, over a fixed set of points.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "engine/functions/fonction3d.h"
#include "engine/functions/noise.h"

namespace {

void BM_ExtraireFonctionGradient6Octaves(benchmark::State& state) {
  InitNoise();
  Fonction3D f;
  FNCT& layer = f.Layers[0];
  layer.Kind = 1;
  layer.Fractal = true;
  layer.Octaves = 6;
  layer.OctaveMode = 0;
  f.Preparer(VECFLOAT(1, 1, 1), 1.0f);
  std::mt19937 generator(42);
  std::uniform_real_distribution<float> coordinate(-500.0f, 500.0f);
  std::vector<float> x(4096), y(4096), z(4096);
  for (int n = 0; n < 4096; n++) {
    x[n] = coordinate(generator);
    y[n] = coordinate(generator);
    z[n] = coordinate(generator);
  }
  const VECTEUR normal(0, 0, 1);
  size_t n = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(f.ExtraireFonction(x[n], y[n], z[n], normal, nullptr, false));
    n = (n + 1) & 4095;
  }
  state.SetItemsProcessed(state.iterations());
  f.DePreparer(VECFLOAT(1, 1, 1), 1.0f);
  FreeNoiseData();
}

BENCHMARK(BM_ExtraireFonctionGradient6Octaves);

}  // namespace

BENCHMARK_MAIN();
