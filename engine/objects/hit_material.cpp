#include "engine/objects/hit_material.h"

#include <cstdint>

namespace {

struct HitReport {
  const BasicObject* object;
  VECTEUR point;
  unsigned material;
};

// Enough for every boundary a constructive solid of meshes meets along one ray in
// practice; a search normally leaves one or two.
constexpr unsigned ReportCapacity = 64;

// The ring's place and fill, which every ray resets and every hit reads, use the
// initial-exec thread-local model (no call into the dynamic linker, and eight bytes fit the
// static room a library loaded later still finds); its reports, written only by meshes and
// plants, stay in the general model.
struct RingState {
  unsigned next = 0;   // where the next report goes
  unsigned count = 0;  // valid reports, at most ReportCapacity
};

[[gnu::tls_model("initial-exec")]] thread_local RingState ring;
thread_local HitReport reports[ReportCapacity];

}  // namespace

void ForgetHitMaterials() {
  ring.next = 0;
  ring.count = 0;
}

void ReportHitMaterial(const BasicObject* object, const VECTEUR& point, unsigned material) {
  reports[ring.next] = HitReport{object, point, material};
  ring.next = (ring.next + 1) % ReportCapacity;
  if (ring.count < ReportCapacity)
    ring.count++;
}

bool FindHitMaterial(const BasicObject* object, const VECTEUR& point, unsigned& material) {
  const unsigned count = ring.count, next = ring.next;
  if (count == 0)
    return false;
  const HitReport* all = reports;
  for (unsigned k = 1; k <= count; k++) {
    const HitReport& report = all[(next + ReportCapacity - k) % ReportCapacity];
    if (report.object == object && report.point == point) {
      material = report.material;
      return true;
    }
  }
  return false;
}
