// The light arriving at surface points through the scene's shadows (TLight's
// ComputeLightContribution is defined here, beside the tracing it needs).
#pragma once

#include "engine/geometry/colours.h"
#include "engine/geometry/ray.h"
#include "engine/scene/context.h"

// The factor by which the clouds of the landscape dim the sun along `toSun` (1: no
// shadow), for the render context's landscape and its CloudShadow strength.
float CloudShadowFactor(Ray* toSun, TGlobalInfo* gi, TDrawInfo* di);
