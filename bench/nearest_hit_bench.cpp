// Nearest-hit search through the bounding volume hierarchy: 10 000 unit spheres on a
// jittered 25 x 20 x 20 grid, seen by camera rays, once grouped as a balanced hierarchy
// of groups (at most 8 children each) and once as one flat list. Reports rays per second.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "engine/engine.h"

namespace {

constexpr int GridX = 25, GridY = 20, GridZ = 20;
constexpr double Spacing = 3.0;
constexpr int ImageSide = 64;  // camera rays per side of the picture

struct Scene {
  std::vector<Sph*> spheres;  // indexed by grid cell
  Group* top = nullptr;       // owns the spheres when grouped
  ObjectsList flat{1, 0, 1};  // the same spheres as one list
  std::vector<Ray> rays;

  Sph* At(int x, int y, int z) const { return spheres[(x * GridY + y) * GridZ + z]; }
};

// A group over the cells of the box [lo, hi): the spheres themselves when there are at
// most 8, else the groups of its (up to 8) halves.
Group* GroupCells(const Scene& scene, const int lo[3], const int hi[3]) {
  Group* group = new Group(nullptr);
  const int count = (hi[0] - lo[0]) * (hi[1] - lo[1]) * (hi[2] - lo[2]);
  if (count <= 8) {
    for (int x = lo[0]; x < hi[0]; x++)
      for (int y = lo[1]; y < hi[1]; y++)
        for (int z = lo[2]; z < hi[2]; z++)
          group->Add(scene.At(x, y, z), static_cast<unsigned>(-1));
    return group;
  }
  int cuts[3][3];
  int parts[3];
  for (int a = 0; a < 3; a++) {
    const int mid = (lo[a] + hi[a]) / 2;
    parts[a] = hi[a] - lo[a] > 1 ? 2 : 1;
    cuts[a][0] = lo[a];
    cuts[a][1] = parts[a] == 2 ? mid : hi[a];
    cuts[a][2] = hi[a];
  }
  for (int i = 0; i < parts[0]; i++)
    for (int j = 0; j < parts[1]; j++)
      for (int k = 0; k < parts[2]; k++) {
        const int sublo[3] = {cuts[0][i], cuts[1][j], cuts[2][k]};
        const int subhi[3] = {cuts[0][i + 1], cuts[1][j + 1], cuts[2][k + 1]};
        group->Add(GroupCells(scene, sublo, subhi), static_cast<unsigned>(-1));
      }
  return group;
}

// As render preparation does: every group with at least two children becomes a bounding
// volume over its expanded children.
void Expand(ObjectsList* source, ObjectsList& out) {
  for (BasicObject* object : *source) {
    if (object->type != BasicObject::TypeGroup) {
      out.Add(object);
      continue;
    }
    ObjectsList* children = static_cast<Group*>(object)->GetPointerToList();
    if (children->Count() < 2) {
      Expand(children, out);
      continue;
    }
    ObjectsList inner(1, 0, 1);
    Expand(children, inner);
    out.Add(new TBoundingVolume(&inner));
  }
}

std::unique_ptr<Scene> BuildScene() {
  auto scene = std::make_unique<Scene>();
  std::mt19937 rng(2024);
  std::uniform_real_distribution<double> jitter(-0.6, 0.6);
  for (int x = 0; x < GridX; x++)
    for (int y = 0; y < GridY; y++)
      for (int z = 0; z < GridZ; z++) {
        Sph* s = new Sph(0);
        s->MoveTo(static_cast<float>(x * Spacing + jitter(rng)), static_cast<float>(y * Spacing + jitter(rng)),
                  static_cast<float>(z * Spacing + jitter(rng)), nullptr);
        scene->spheres.push_back(s);
        scene->flat.Add(s);
      }
  const int lo[3] = {0, 0, 0}, hi[3] = {GridX, GridY, GridZ};
  scene->top = GroupCells(*scene, lo, hi);

  // A camera outside a corner of the grid, looking at its centre, whose picture frames it.
  const VECTEUR centre((GridX - 1) * Spacing / 2, (GridY - 1) * Spacing / 2, (GridZ - 1) * Spacing / 2);
  const VECTEUR eye = centre + VECTEUR(-90.0, -110.0, 70.0);
  VECTEUR u, v, w;
  BuildBase(centre - eye, u, v, w);
  const double halfWidth = 0.22;
  for (int py = 0; py < ImageSide; py++)
    for (int px = 0; px < ImageSide; px++) {
      const double sx = (2.0 * (px + 0.5) / ImageSide - 1.0) * halfWidth;
      const double sy = (2.0 * (py + 0.5) / ImageSide - 1.0) * halfWidth;
      Ray ray;
      ray.origin = eye;
      ray.direction = w + u * sx + v * sy;
      scene->rays.push_back(ray);
    }
  return scene;
}

void ReleaseScene(Scene& scene) {
  // The top group owns the spheres; without it the flat list's holder deletes them.
  if (scene.top)
    delete scene.top;
  else
    for (Sph* s : scene.spheres)
      delete s;
}

void Trace(benchmark::State& state, TBoundingVolume* root, Scene& scene) {
  TDrawInfo di;
  di.Rendering = 1;
  size_t next = 0;
  long hits = 0;
  for (auto _ : state) {
    Ray& ray = scene.rays[next];
    // An odd stride visits every ray once per cycle and spreads even a short run (the
    // flat list manages only a few thousand rays) over the whole picture.
    next = (next + 2477) % scene.rays.size();
    double t = NoLimit;
    VECTEUR point, normal;
    TObject3D* hit = nullptr;
    root->FindNearestBoundedIntersection(&ray, &di, t, point, normal, hit);
    hits += hit != nullptr;
    benchmark::DoNotOptimize(hit);
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["hit_fraction"] = static_cast<double>(hits) / static_cast<double>(state.iterations());
  char label[96];
  std::snprintf(label, sizeof(label), "%zu unit spheres, %zu camera rays", scene.spheres.size(), scene.rays.size());
  state.SetLabel(label);
}

void BM_NearestHitGrouped(benchmark::State& state) {
  std::unique_ptr<Scene> scene = BuildScene();
  ObjectsList topLevel(1, 0, 1), expanded(1, 0, 1);
  topLevel.Add(scene->top);
  Expand(&topLevel, expanded);
  TBoundingVolume* root = new TBoundingVolume(&expanded);
  root->SeparateUnboundeds();
  Trace(state, root, *scene);
  delete root;  // the volumes; the groups keep the spheres
  ReleaseScene(*scene);
}

void BM_NearestHitFlat(benchmark::State& state) {
  std::unique_ptr<Scene> scene = BuildScene();
  TBoundingVolume* root = new TBoundingVolume(&scene->flat);
  root->SeparateUnboundeds();
  Trace(state, root, *scene);
  delete root;
  ReleaseScene(*scene);
}

}  // namespace

BENCHMARK(BM_NearestHitGrouped)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NearestHitFlat)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
