// The light arriving at surface points through the scene's shadows (TLight's
// ComputeLightContribution is defined here, beside the tracing it needs).
#pragma once

#include "engine/geometry/colours.h"
#include "engine/geometry/ray.h"
#include "engine/scene/context.h"

// Traces `ray` with the ray function of gi->RayMode up to maxDistance; colour starts
// white (an unobstructed shadow ray). Shadow rays carry their remaining length in
// `factor`, so that a shadow ray continued past a transparent surface stops at the light.
double TraceRayWithin(Ray* ray, float maxDistance, CLRINT& colour, TGlobalInfo* gi, TDrawInfo* di);

// The factor by which the clouds of the landscape dim the sun along `toSun` (1: no
// shadow), for the render context's landscape and its CloudShadow strength.
float CloudShadowFactor(Ray* toSun, TGlobalInfo* gi, TDrawInfo* di);
