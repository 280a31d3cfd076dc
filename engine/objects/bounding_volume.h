// TBoundingVolume: a node of the hierarchy that the ray tracer searches for the nearest
// hit. It is a Group whose children are scene objects and nested volumes, and a box that
// bounds them. The tree follows the scene's own groups; there is no spatial subdivision.
//
// Ownership: a volume owns its nested volumes (deleting the root frees the whole tree)
// and the children it adopted itself (through Add, or copied by assignment); the scene
// objects it was built over or that were appended to its list belong to the scene and
// are never released by the volume.
#pragma once

#include "engine/objects/aggregates.h"

class TBoundingVolume : public Group, public TBoundingBox {
 public:
  // The number of children that are not bounding volumes; after SeparateUnboundeds they
  // come first in the children list, followed by the nested volumes.
  unsigned unboundedCount = 0;

  // Appends every object of list (no parent link, no barycentre, the group's own box
  // untouched) and bounds them all with the node's box.
  explicit TBoundingVolume(ObjectsList* list);
  ~TBoundingVolume() override;
  // The aggregate's deep copy of the children, then the node's box; unboundedCount is
  // not copied.
  TBoundingVolume& operator=(const TBoundingVolume& src);

  // The object interface's versions, not the box's.
  using Group::GetCenter;
  using Group::MoveOf;

  TBoundingBox& Box() { return *this; }
  const TBoundingBox& Box() const { return *this; }

  // Puts the children that are not bounding volumes first, then the volumes, each in
  // their order, and does the same in every nested volume.
  void SeparateUnboundeds();

  // The nearest hit below this node closer than t: the unbounded children are tested
  // exactly, the nested volumes in the order in which the ray enters their boxes, until
  // the next box lies beyond the nearest hit so far. Sets t, point and normal as slot 1
  // does and hit to the object hit; leaves all four when nothing nearer is found.
  void FindNearestBoundedIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal,
                                      TObject3D*& hit);

 private:
  bool OwnsChild(const BasicObject* child) const;
  // Takes out of the children list what must not go through the host's removal
  // callback: nested volumes are deleted, borrowed scene objects only detached.
  void SetAsideUnownedChildren();
  // Detaches `volume` from the list of the node of this tree that holds it; true when
  // it was found.
  bool DetachNestedVolume(const TBoundingVolume* volume);
};
