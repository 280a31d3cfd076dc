// Small scene-building helpers shared by the aggregate and hierarchy tests.
#pragma once

#include <initializer_list>
#include <vector>

#include "engine/objects/aggregates.h"
#include "engine/objects/primitives.h"
#include "engine/scene/context.h"

namespace scene {

inline Sph* MakeSphere(double x, double y, double z, float r = 1.0f) {
  Sph* s = new Sph(0);
  s->Scale(r, r, r, nullptr, false);
  s->MoveTo(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z), nullptr);
  return s;
}

inline Ray MakeRay(const VECTEUR& origin, const VECTEUR& direction) {
  Ray ray;
  ray.origin = origin;
  ray.direction = direction;
  return ray;
}

inline TDrawInfo Rendering() {
  TDrawInfo di;
  di.Rendering = 1;
  return di;
}

// A list (not owning) of the given objects, for the aggregate constructors.
inline ObjectsList ListOf(std::initializer_list<BasicObject*> objects) {
  ObjectsList list(1, 0, 1);
  for (BasicObject* o : objects)
    list.Add(o);
  return list;
}

// A solid whose intervals along any ray are fixed by the test.
class ScriptedSolid : public Sph {
 public:
  explicit ScriptedSolid(std::vector<std::pair<double, double>> spans) : Sph(0), spans(std::move(spans)) {}
  TIntervalList* FindAllIntersections(Ray*, TDrawInfo*) override {
    TIntervalList* list = new TIntervalList();
    for (const auto& s : spans) {
      TInterval i;
      i.tIn = s.first;
      i.tOut = s.second;
      i.objIn = i.objOut = this;
      list->Add(i);
    }
    return list;
  }
  std::vector<std::pair<double, double>> spans;
};

// Every interval of the solid along the ray, as values.
inline std::vector<TInterval> Intervals(BasicObject* solid, Ray& ray, TDrawInfo& di) {
  TIntervalList* list = solid->FindAllIntersections(&ray, &di);
  std::vector<TInterval> out(list->begin(), list->end());
  delete list;
  return out;
}

inline std::vector<std::pair<double, double>> Spans(const std::vector<TInterval>& intervals) {
  std::vector<std::pair<double, double>> out;
  for (const TInterval& i : intervals)
    out.emplace_back(i.tIn, i.tOut);
  return out;
}

}  // namespace scene
