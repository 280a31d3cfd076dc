#include "engine/objects/bounding_volume.h"

#include <algorithm>

namespace {

struct QueueEntry {
  TBoundingVolume* volume;
  float distance;  // where the ray enters the volume's box
};

// The volumes still to visit, in ascending entry distance; equal distances keep the
// order in which they were found. Lives on the stack for the usual handful of entries.
class SearchQueue {
 public:
  SearchQueue() = default;
  SearchQueue(const SearchQueue&) = delete;
  SearchQueue& operator=(const SearchQueue&) = delete;
  ~SearchQueue() {
    if (items != local)
      delete[] items;
  }

  // Before the first entry whose distance is strictly greater.
  void Insert(TBoundingVolume* volume, float distance) {
    if (count == capacity)
      Grow();
    int position = count;
    while (position > 0 && items[position - 1].distance > distance) {
      items[position] = items[position - 1];
      position--;
    }
    items[position] = QueueEntry{volume, distance};
    count++;
  }
  int Count() const { return count; }
  const QueueEntry& operator[](int i) const { return items[i]; }

 private:
  void Grow() {
    QueueEntry* grown = new QueueEntry[capacity * 2];
    std::copy(items, items + count, grown);
    if (items != local)
      delete[] items;
    items = grown;
    capacity *= 2;
  }

  static constexpr int LocalRoom = 16;
  QueueEntry local[LocalRoom];
  QueueEntry* items = local;
  int count = 0;
  int capacity = LocalRoom;
};

}  // namespace

TBoundingVolume::TBoundingVolume(ObjectsList* list) : Group(nullptr) {
  // The name stays "Group".
  type = TypeBoundingVolume;
  if (list)
    for (BasicObject* object : *list)
      if (object)
        children->Add(object);
  for (BasicObject* child : *children)
    child->IncludeObjectInBox(Box(), false, true);
}

TBoundingVolume::~TBoundingVolume() {
  // What remains was adopted by this volume and goes through the host's callback in
  // the aggregate's destructor.
  SetAsideUnownedChildren();
}

bool TBoundingVolume::OwnsChild(const BasicObject* child) const {
  return child->type == TypeBoundingVolume || child->parent == this;
}

void TBoundingVolume::SetAsideUnownedChildren() {
  if (!children)
    return;
  for (int i = children->LowerBound() + children->Count() - 1; i >= children->LowerBound(); i--) {
    BasicObject* child = (*children)[i];
    if (child && OwnsChild(child) && child->type != TypeBoundingVolume)
      continue;
    children->Detach(i);
    if (child && child->type == TypeBoundingVolume)
      delete child;
  }
}

bool TBoundingVolume::DetachNestedVolume(const TBoundingVolume* volume) {
  if (!children)
    return false;
  for (int i = children->LowerBound(); i < children->LowerBound() + children->Count(); i++) {
    BasicObject* child = (*children)[i];
    if (!child || child->type != TypeBoundingVolume)
      continue;
    if (child == static_cast<const BasicObject*>(volume)) {
      children->Detach(i);
      return true;
    }
    if (static_cast<TBoundingVolume*>(child)->DetachNestedVolume(volume))
      return true;
  }
  return false;
}

TBoundingVolume& TBoundingVolume::operator=(const TBoundingVolume& src) {
  if (this == &src)
    return *this;
  // A source that is one of this tree's own nested volumes must outlive the copy.
  const bool rescued = DetachNestedVolume(&src);
  SetAsideUnownedChildren();
  TAggregate::operator=(src);
  Box() = src.Box();
  if (rescued)
    delete &src;
  return *this;
}

void TBoundingVolume::SeparateUnboundeds() {
  if (!children)
    return;
  ObjectsList unbounded(1, 0, 1), volumes(1, 0, 1);
  for (BasicObject* child : *children)
    (child->type != TypeBoundingVolume ? unbounded : volumes).Add(child);
  unboundedCount = static_cast<unsigned>(unbounded.Count());
  children->Flush();
  for (BasicObject* child : unbounded)
    children->Add(child);
  for (BasicObject* child : volumes) {
    static_cast<TBoundingVolume*>(child)->SeparateUnboundeds();
    children->Add(child);
  }
}

void TBoundingVolume::FindNearestBoundedIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point,
                                                     VECTEUR& normal, TObject3D*& hit) {
  if (!children)
    return;
  const int first = children->LowerBound();
  const int count = children->Count();
  const int unbounded = static_cast<int>(std::min<unsigned>(unboundedCount, static_cast<unsigned>(count)));
  // Every leaf class derives from TObject3D.
  for (int i = 0; i < unbounded; i++)
    if (BasicObject* found = (*children)[first + i]->FindNearestIntersection(ray, di, t, point, normal))
      hit = static_cast<TObject3D*>(found);

  SearchQueue queue;
  for (int i = unbounded; i < count; i++) {
    BasicObject* child = (*children)[first + i];
    if (child->type != TypeBoundingVolume) {
      // Not separated yet: an object among the volumes is still tested exactly.
      if (BasicObject* found = child->FindNearestIntersection(ray, di, t, point, normal))
        hit = static_cast<TObject3D*>(found);
      continue;
    }
    TBoundingVolume* volume = static_cast<TBoundingVolume*>(child);
    float entry = static_cast<float>(t);
    if (volume->Box().HitBoundingBox(ray, entry))
      queue.Insert(volume, entry);
  }
  for (int i = 0; i < queue.Count(); i++) {
    // No remaining box can hold a hit nearer than the one found; a box entered exactly
    // at t is still visited.
    if (queue[i].distance > t)
      break;
    queue[i].volume->FindNearestBoundedIntersection(ray, di, t, point, normal, hit);
  }
}
