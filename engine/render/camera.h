// The camera's view: the active camera of a view, the perspective projection of the
// camera view and the primary rays of a render (flat and panoramic lenses, depth of field).
//
// Camera space: +z is the viewing direction, +y the top of the picture and -x its right.
#pragma once

#include "engine/lights/camera.h"
#include "engine/scene/context.h"

// The first camera of the landscape's top-level objects, or a default camera owned by di
// (di->DefaultCamera) when there is none; null without a landscape. Fills the camera
// fields of di.
TCamera* GetActiveCamera(TDrawInfo* di);

// The perspective projection of the camera view: world point p to screen (sx, sy), with
// screen y growing downwards.
void ProjectCamera(TDrawInfo* di, float& sx, float& sy, VECTEUR p);
// The projection of the view (di->Project), reachable from outside.
void TransformationEcranExterne(TDrawInfo* di, float& sx, float& sy, VECTEUR p);

// The lens: sets up `ray` for the picture position (x, y), in pixels from the picture
// centre (y upwards), of a picture `width` pixels wide.
void optique(float x, float y, float width, Ray* ray, TDrawInfo* di);

// The primary ray for picture position (px, py) in pixels (py upwards, row 0 at the
// bottom; fractions address sub-pixel samples), with depth of field when the camera has
// an aperture. Random lens samples come from di->Random (rand() when null).
void LaunchARay(Ray* ray, float px, float py, TDrawInfo* di);
