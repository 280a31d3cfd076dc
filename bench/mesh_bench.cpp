// Meshes: loading a model of about 200 000 triangles (a bumpy sphere of 99 000 points,
// so orvelle2 splits it into two meshes) from a binary STL file through orvelle2's
// loader, building the same meshes straight from the triangles, preparing them for a
// render, and primary rays per second against them from a pinhole camera (256 x 256
// rays, about half of them hitting), on 1 and 2 threads. When Embree is installed the
// same triangles and rays are timed with it, for comparison (the benchmark only links it).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <numbers>
#include <thread>
#include <vector>

#include "engine/engine.h"
#include "engine/mesh/mesh.h"
#include "engine/objects/aggregates.h"
#include "engine/objects/bounding_volume.h"
#include "host/model_file.h"

#ifdef ORVELLE_HAVE_EMBREE
#include <embree3/rtcore.h>
#endif

namespace {

constexpr int Rings = 224, Segments = 448;  // 2 · 448 · 223 = 199 808 triangles
constexpr int RaySide = 256;

struct Triangle {
  VECFLOAT p[3];
};

const std::vector<Triangle>& ModelTriangles() {
  static const std::vector<Triangle> triangles = [] {
    auto at = [](int r, int s) {
      const double theta = std::numbers::pi * r / Rings, phi = 2.0 * std::numbers::pi * (s % Segments) / Segments;
      const double radius = 3.0 + 0.15 * std::sin(7.0 * theta) * std::sin(9.0 * phi);
      return VECFLOAT(static_cast<float>(radius * std::sin(theta) * std::cos(phi)),
                      static_cast<float>(radius * std::sin(theta) * std::sin(phi)),
                      static_cast<float>(radius * std::cos(theta)));
    };
    std::vector<Triangle> list;
    for (int r = 0; r < Rings; r++)
      for (int s = 0; s < Segments; s++) {
        if (r > 0)
          list.push_back(Triangle{{at(r, s), at(r + 1, s), at(r, s + 1)}});
        if (r < Rings - 1)
          list.push_back(Triangle{{at(r, s + 1), at(r + 1, s), at(r + 1, s + 1)}});
      }
    return list;
  }();
  return triangles;
}

std::string ModelFile() {
  static const std::string path = [] {
    const std::string file = (std::filesystem::temp_directory_path() / "orvelle-mesh-bench.stl").string();
    std::ofstream out(file, std::ios::binary);
    char header[80] = {};
    out.write(header, sizeof(header));
    const uint32_t count = static_cast<uint32_t>(ModelTriangles().size());
    out.write(reinterpret_cast<const char*>(&count), 4);
    for (const Triangle& t : ModelTriangles()) {
      const float normal[3] = {0, 0, 0};
      out.write(reinterpret_cast<const char*>(normal), sizeof(normal));
      out.write(reinterpret_cast<const char*>(t.p), sizeof(t.p));
      const uint16_t attribute = 0;
      out.write(reinterpret_cast<const char*>(&attribute), 2);
    }
    return file;
  }();
  return path;
}

// The loaded model, prepared, with a bounding volume over its meshes as a render has.
struct PreparedModel {
  Model model;
  std::unique_ptr<BasicObject> owner;
  std::unique_ptr<TBoundingVolume> volume;

  PreparedModel() {
    std::string error;
    if (!LoadModel(ModelFile(), ModelOptions(), model, error)) {
      std::fprintf(stderr, "mesh_bench: %s\n", error.c_str());
      std::exit(1);
    }
    owner.reset(model.object);
    PrepareMeshesInObject(model.object);
    ObjectsList list(1, 0, 1);
    for (TMesh* mesh : model.meshes)
      list.Add(mesh);
    volume = std::make_unique<TBoundingVolume>(&list);
    volume->SeparateUnboundeds();
  }
  ~PreparedModel() {
    // The meshes belong to the model's group; the volume must not release them.
    volume->children->Flush();
  }
};

PreparedModel& Shared() {
  static PreparedModel prepared;
  return prepared;
}

// A pinhole camera 10 units out on -y looking at the model's centre, 50 degrees wide.
std::vector<Ray> PrimaryRays() {
  std::vector<Ray> rays;
  const double half = std::tan(25.0 * std::numbers::pi / 180.0);
  for (int row = 0; row < RaySide; row++)
    for (int col = 0; col < RaySide; col++) {
      Ray ray;
      ray.origin = VECTEUR(0.0, -10.0, 0.3);
      ray.direction = Normalised(
          VECTEUR(half * (2.0 * (col + 0.5) / RaySide - 1.0), 1.0, half * (1.0 - 2.0 * (row + 0.5) / RaySide)));
      rays.push_back(ray);
    }
  return rays;
}

void BM_MeshLoadModelFile(benchmark::State& state) {
  const std::string file = ModelFile();
  for (auto _ : state) {
    Model model;
    std::string error;
    if (!LoadModel(file, ModelOptions(), model, error))
      state.SkipWithError(error.c_str());
    std::unique_ptr<BasicObject> owner(model.object);
    state.counters["meshes"] = static_cast<double>(model.meshes.size());
    state.counters["triangles"] = model.triangles;
  }
}
BENCHMARK(BM_MeshLoadModelFile)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3)->ReportAggregatesOnly();

// The engine's part of loading: welding and edges of the same triangles, no file.
void BM_MeshBuildFromTriangles(benchmark::State& state) {
  const std::vector<Triangle>& triangles = ModelTriangles();
  for (auto _ : state) {
    std::vector<std::unique_ptr<TMesh>> meshes;
    meshes.push_back(std::make_unique<TMesh>(0));
    for (const Triangle& t : triangles) {
      if (meshes.back()->pointCount + 3 > MaxMeshPoints)
        meshes.push_back(std::make_unique<TMesh>(0));
      meshes.back()->AddFace3(t.p[0], t.p[1], t.p[2], 0);
    }
    benchmark::DoNotOptimize(meshes.back()->triangleCount);
  }
  state.counters["triangles/s"] =
      benchmark::Counter(static_cast<double>(triangles.size()) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MeshBuildFromTriangles)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Repetitions(3)
    ->ReportAggregatesOnly();

void BM_MeshPrepare(benchmark::State& state) {
  PreparedModel& prepared = Shared();
  for (auto _ : state)
    PrepareMeshesInObject(prepared.model.object);
}
BENCHMARK(BM_MeshPrepare)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3)->ReportAggregatesOnly();

// Traces every ray once per iteration, the rays split into state.range(0) contiguous
// parts, one thread each: items_per_second is rays per wall-clock second.
template <class Trace>
void TraceOnThreads(benchmark::State& state, const std::vector<Ray>& rays, Trace trace) {
  const int threads = static_cast<int>(state.range(0));
  long hits = 0, traced = 0;
  for (auto _ : state) {
    std::vector<long> partHits(threads, 0);
    std::vector<std::thread> workers;
    for (int k = 0; k < threads; k++)
      workers.emplace_back([&, k] {
        const size_t begin = rays.size() * k / threads, end = rays.size() * (k + 1) / threads;
        for (size_t i = begin; i < end; i++)
          partHits[k] += trace(rays[i]) ? 1 : 0;
      });
    for (std::thread& worker : workers)
      worker.join();
    for (long h : partHits)
      hits += h;
    traced += static_cast<long>(rays.size());
  }
  state.SetItemsProcessed(traced);
  state.counters["hit_fraction"] = traced ? static_cast<double>(hits) / traced : 0.0;
}

void BM_MeshPrimaryRays(benchmark::State& state) {
  PreparedModel& prepared = Shared();
  const std::vector<Ray> rays = PrimaryRays();
  TraceOnThreads(state, rays, [&](const Ray& primary) {
    Ray ray = primary;
    thread_local TDrawInfo di;
    di.Rendering = 1;
    double t = NoLimit;
    VECTEUR point, normal;
    TObject3D* object = nullptr;
    prepared.volume->FindNearestBoundedIntersection(&ray, &di, t, point, normal, object);
    return object != nullptr;
  });
}
BENCHMARK(BM_MeshPrimaryRays)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(1.0)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

#ifdef ORVELLE_HAVE_EMBREE
// Embree over the same welded points and triangles as the meshes.
struct EmbreeScene {
  RTCDevice device = rtcNewDevice(nullptr);
  RTCScene scene = nullptr;

  EmbreeScene() {
    scene = rtcNewScene(device);
    for (TMesh* mesh : Shared().model.meshes) {
      RTCGeometry geometry = rtcNewGeometry(device, RTC_GEOMETRY_TYPE_TRIANGLE);
      auto* vertices = static_cast<float*>(rtcSetNewGeometryBuffer(
          geometry, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3, 3 * sizeof(float), mesh->pointCount));
      for (uint32_t k = 0; k < mesh->pointCount; k++) {
        vertices[3 * k] = mesh->points[k].x;
        vertices[3 * k + 1] = mesh->points[k].y;
        vertices[3 * k + 2] = mesh->points[k].z;
      }
      auto* indices = static_cast<unsigned*>(rtcSetNewGeometryBuffer(
          geometry, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3, 3 * sizeof(unsigned), mesh->triangleCount));
      for (uint32_t k = 0; k < mesh->triangleCount; k++) {
        const Face3 f = mesh->triangles[k];
        indices[3 * k] = f.a;
        indices[3 * k + 1] = f.b;
        indices[3 * k + 2] = f.c;
      }
      rtcCommitGeometry(geometry);
      rtcAttachGeometry(scene, geometry);
      rtcReleaseGeometry(geometry);
    }
    rtcCommitScene(scene);
  }
  ~EmbreeScene() {
    rtcReleaseScene(scene);
    rtcReleaseDevice(device);
  }
};

EmbreeScene& SharedEmbree() {
  static EmbreeScene scene;
  return scene;
}

void BM_EmbreePrimaryRays(benchmark::State& state) {
  EmbreeScene& embree = SharedEmbree();
  const std::vector<Ray> rays = PrimaryRays();
  TraceOnThreads(state, rays, [&](const Ray& ray) {
    RTCIntersectContext context;
    rtcInitIntersectContext(&context);
    RTCRayHit hit{};
    hit.ray.org_x = static_cast<float>(ray.origin.x);
    hit.ray.org_y = static_cast<float>(ray.origin.y);
    hit.ray.org_z = static_cast<float>(ray.origin.z);
    hit.ray.dir_x = static_cast<float>(ray.direction.x);
    hit.ray.dir_y = static_cast<float>(ray.direction.y);
    hit.ray.dir_z = static_cast<float>(ray.direction.z);
    hit.ray.tnear = 1e-5f;
    hit.ray.tfar = static_cast<float>(NoLimit);
    hit.ray.mask = 0xFFFFFFFFu;
    hit.hit.geomID = RTC_INVALID_GEOMETRY_ID;
    rtcIntersect1(embree.scene, &context, &hit);
    return hit.hit.geomID != RTC_INVALID_GEOMETRY_ID;
  });
}
BENCHMARK(BM_EmbreePrimaryRays)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(1.0)
    ->Repetitions(5)
    ->ReportAggregatesOnly();
#endif

}  // namespace

BENCHMARK_MAIN();
