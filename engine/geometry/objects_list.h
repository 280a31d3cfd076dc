// ObjectsList: the growable array of scene-object pointers (top-level objects, children
// of aggregates, selections, the objects a ray starts inside).
#pragma once

#include "engine/geometry/array.h"

class BasicObject;

class ObjectsList : public TArray<BasicObject*> {
 public:
  explicit ObjectsList(unsigned upper = 1, unsigned lower = 0, unsigned delta = 1)
      : TArray<BasicObject*>(upper, lower, delta) {}

  // Same count and every element of this list is found in the other (membership, not order).
  bool operator==(const ObjectsList& other) const;
};
