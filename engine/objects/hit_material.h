// The material of a hit, for objects whose parts carry materials of their own (the faces
// of a mesh, the pieces of a plant). Such an object reports, on the calling thread, the
// material of every hit it returns, keyed by itself and the object-space point it
// returned; whoever keeps a hit asks for its material by the same two keys. Nothing is
// written to the object, so threads tracing one scene never see each other's hits.
//
// The key includes the point because a constructive solid queries its children many
// times and keeps one of their boundaries: the point it hands on is the one the child
// returned, so the material found is that boundary's, not the last one reported.
#pragma once

#include "engine/geometry/vectors.h"

class BasicObject;

// Forgets this thread's reports: called before each top-level nearest-hit search.
void ForgetHitMaterials();

// Records that `object` returned a hit at `point` on a part with material `material`.
// The thread keeps the latest reports (a fixed number; the oldest are dropped).
void ReportHitMaterial(const BasicObject* object, const VECTEUR& point, unsigned material);

// The material reported for `object` at `point` (the latest such report) into
// `material`; false, leaving `material` alone, when there is none, so that the caller
// keeps the object's own material.
bool FindHitMaterial(const BasicObject* object, const VECTEUR& point, unsigned& material);
