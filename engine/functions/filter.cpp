#include "engine/functions/filter.h"

#include <cmath>

bool FLLISIBLE::operator==(const FLLISIBLE& f) const {
  if (Status == -1 && f.Status == -1)
    return true;
  return Word1 == f.Word1 && Word3 == f.Word3 && std::fabs(Real1 - f.Real1) < 1e-8 &&
         std::fabs(Real2 - f.Real2) < 1e-8 && Flag == f.Flag;
}

FiltreNumerique::FiltreNumerique() : Keys(2, 0) { Keys.Add(FILTRE()); }

void FiltreNumerique::RAZ() { *this = FiltreNumerique(); }

bool FiltreNumerique::operator==(const FiltreNumerique& other) const {
  if (Smooth != other.Smooth || Bypass != other.Bypass || FilterFlag3 != other.FilterFlag3)
    return false;
  if (Keys.Count() != other.Keys.Count())
    return false;
  const FILTRE* mine = Keys.begin();
  const FILTRE* theirs = other.Keys.begin();
  for (int i = 0; i < Keys.Count(); i++)
    if (!(mine[i] == theirs[i]))
      return false;
  return true;
}

namespace {

// The key positions are compared with trunc(position) kept as a float, so that a huge or
// NaN position never goes through an out-of-range conversion to an integer.
float LinearValue(float position, float q, const FILTRE* keys, int count) {
  const FLTR& first = keys[0].Linear;
  if (q > first.pos) {
    for (int j = 1; j < count; j++) {
      const FLTR& kj = keys[j].Linear;
      if (kj.pos >= q) {
        // keys[j - 1] lies below q (it was not selected), so the divisor is positive.
        const FLTR& ki = keys[j - 1].Linear;
        return (ki.val * (kj.pos - position) + kj.val * (position - ki.pos)) * (0.0001 / (kj.pos - ki.pos));
      }
    }
    return keys[count - 1].Linear.val * 0.0001f;
  }
  if (first.pos == 0)
    return first.val * 0.0001f;
  // A straight line from (0, 0) to the first key.
  return first.val * position * 0.0001 / first.pos;
}

float SmoothValue(float position, float q, const FILTRE* keys, int count) {
  for (int i = 0; i < count; i++) {
    const FLTRLISSE& segment = keys[i].SmoothSegment;
    if (segment.pos >= q) {
      double t = (position - segment.pos) * 0.0001;
      double value = segment.D + segment.C * t + segment.B * t * t + segment.A * t * t * t;
      return static_cast<float>(std::fmin(1.0, std::fmax(0.0, value)));
    }
  }
  // Beyond the last segment: its end value.
  return std::fmin(1.0f, std::fmax(0.0f, keys[count - 1].SmoothSegment.D));
}

}  // namespace

float ExtraireFiltre(float position, const FiltreNumerique* filter) {
  int count = filter->Keys.Count();
  if (count == 0)
    return 0.0f;
  float q = std::trunc(position);
  const FILTRE* keys = filter->Keys.begin();
  return filter->Smooth ? SmoothValue(position, q, keys, count) : LinearValue(position, q, keys, count);
}
