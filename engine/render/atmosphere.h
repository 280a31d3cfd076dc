// The atmosphere: cloud layers drawn as spheres concentric with the earth, and the sky
// colour of a ray that leaves the scene (elevation gradient, sun disc and glow, cloud
// layers, horizon haze and fog).
#pragma once

#include "engine/geometry/colours.h"
#include "engine/geometry/ray.h"
#include "engine/geometry/vectors.h"
#include "engine/materials/cloud_layer.h"

struct TDrawInfo;
struct TGlobalInfo;

// The colour of the sky seen along a ray that hit nothing.
void SkyColour(Ray* ray, TDrawInfo* di, TGlobalInfo* gi, CLRINT& colour);
