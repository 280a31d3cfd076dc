// Placing things once the scene is built: the ground's altitude under a point, objects
// given a height above the ground, and a camera that frames a landscape that has none.
#pragma once

#include <optional>

#include "engine/geometry/bounding_box.h"

class ObjectsList;
struct TPaysage;

// The altitude of the highest terrain surface at (x, y), looking through groups; none
// when no terrain lies under that point.
std::optional<double> GroundAltitude(ObjectsList& objects, double x, double y);

// When `objects` holds no camera at the top level (where the renderer looks for one),
// appends a camera that sees every finite object: it stands in front of them (towards
// -y), looks along +y and down by about 20 degrees, far enough back for the whole box of
// the objects to fit the default lens. Returns true when a camera was added.
bool AddFramingCamera(ObjectsList& objects);

// The box of the finite objects of `objects` (not infinite planes, not lights; cameras
// when `withCameras`); empty (min above max) when there are none.
TBoundingBox FiniteObjectsBox(ObjectsList& objects, bool withCameras);

// Sets the landscape's ViewCentre and ViewScale so that the orthographic views of a
// width x height picture show every finite object and camera, with a margin. Leaves them
// as they are when there is nothing finite.
void FrameViews(TPaysage& landscape, ObjectsList& objects, int width, int height);
