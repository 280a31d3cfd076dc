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

struct ReportRing {
  HitReport reports[ReportCapacity];
  unsigned next = 0;   // where the next report goes
  unsigned count = 0;  // valid reports, at most ReportCapacity
};

thread_local ReportRing ring;

}  // namespace

void ForgetHitMaterials() {
  ring.next = 0;
  ring.count = 0;
}

void ReportHitMaterial(const BasicObject* object, const VECTEUR& point, unsigned material) {
  ring.reports[ring.next] = HitReport{object, point, material};
  ring.next = (ring.next + 1) % ReportCapacity;
  if (ring.count < ReportCapacity)
    ring.count++;
}

bool FindHitMaterial(const BasicObject* object, const VECTEUR& point, unsigned& material) {
  for (unsigned k = 1; k <= ring.count; k++) {
    const HitReport& report = ring.reports[(ring.next + ReportCapacity - k) % ReportCapacity];
    if (report.object == object && report.point == point) {
      material = report.material;
      return true;
    }
  }
  return false;
}
