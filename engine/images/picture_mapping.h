// From a point on a surface to a colour of a picture: the projections that map a point
// to picture coordinates (u, v), one period of the picture per unit, and the samplers
// that read the picture there. Shared by picture layers of functions and by
// picture-coloured materials.
#pragma once

#include <cstdint>

#include "engine/geometry/colours.h"
#include "engine/geometry/vectors.h"
#include "engine/images/image.h"

class BasicObject;

// Projections (PictureMapping).
enum PictureProjection : int32_t {
  PlanarProjection = 0,          // (-x, -y)
  CubicProjection = 1,           // planar along the normal's dominant axis
  CylindricalProjection = 2,     // angle around z, height along z
  SphericalProjection = 3,       // longitude, latitude
  ToroidalProjection = 4,        // angles around z and around the ring of radius 1
  CappedCylinderProjection = 5,  // cylindrical, planar on faces turned up or down
  AutomaticProjection = 6,       // chosen by the object's type
};

// Object types the automatic projection tells apart (BasicObject::ObjectType numbers).
constexpr int32_t InfinitePlaneType = 1;

struct PictureCoordinates {
  double u = 0.0, v = 0.0;
};

// Maps q (relative to the object's reference point) to picture coordinates: the origin is
// subtracted, the projection `mapping` applied (the automatic one by `objectType`), and u
// and v divided by the sizes sx and sy. `scale` is the prepared scale the automatic
// projection folds into the sizes, as preparation does for the other projections. A zero
// size counts as a huge one, so nothing divides by zero.
PictureCoordinates MapToPicture(int32_t mapping, int32_t objectType, VECTEUR q, const VECTEUR& normal, float sx,
                                float sy, const VECFLOAT& origin, const VECFLOAT& scale);

// Sampling modes (PictureMode).
enum PictureSampling : int32_t {
  NearestSample = 0,
  BilinearSample = 1,
  InverseDistanceSample = 2,
  BicubicSample = 3,  // Catmull-Rom over 4 x 4 pixels, clamped to 0..255
};

// The picture at (u, v): u and v wrap into [0, 1) (mirrored with flipU / flipV), pixel
// (i, j) sitting at (i / width, j / height), row 0 the bottom one. Every mode returns the
// pixel itself there; unknown modes sample the nearest pixel. An image without pixels
// (or with coordinates that are not finite) reads black.
uint8_t SamplePictureByte(const Image& picture, int32_t mode, bool flipU, bool flipV, double u, double v);
CLRINT SamplePictureColour(const Image& picture, int32_t mode, bool flipU, bool flipV, double u, double v);

// The object a picture lies on: its type picks the automatic projection and its centre
// is the reference point of picture coordinates. Declared here for the layers below the
// objects and defined by the objects layer.
struct PictureHost {
  int32_t type = InfinitePlaneType;
  VECTEUR centre;
};
PictureHost PictureHostOf(BasicObject* object);
