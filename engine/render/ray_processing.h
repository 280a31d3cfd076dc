// The road of a ray through the scene: the nearest hit through the bounding volume
// hierarchy, the shading of the hit, fog and haze over the result, and the sky for rays
// that hit nothing (ray_processing.cpp). Also the ray functions of the material, object
// and function previews (preview_rays.cpp), and the dispatch by TGlobalInfo::RayMode that
// the material and light code use for every reflected, transmitted and shadow ray.
//
// Threads: these functions write only the ray, the colour and the two records they are
// given (DepthHitPoints in previews), so several threads may trace rays of one prepared
// scene at once, each with its own TGlobalInfo and TDrawInfo.
#pragma once

#include "engine/geometry/colours.h"
#include "engine/geometry/ray.h"
#include "engine/geometry/vectors.h"
#include "engine/scene/context.h"

class BasicObject;
class Fonction3D;
class TObject3D;
class Texture;

// The distance reported for a ray that hits nothing.
constexpr double MissDistance = 100000000.0;
// The maximum distance of primary, secondary and shadow rays.
constexpr float RayMaxDistance = 200000.0f;

// Rays of this depth or deeper are neither reflected nor transmitted.
constexpr int MaxSecondaryDepth = 6;

// The one dispatch of every ray, primary, reflected, transmitted and shadow: traces `ray`
// with the ray function that gi->RayMode selects (0 ProcessARay, 1 ExtraireRay,
// 2 ExtraireRayObject; a null gi is a scene render) up to maxDistance, and returns its
// distance. Any other mode leaves the colour untouched and returns MissDistance. A shadow
// ray's colour starts white (unobstructed) and carries its remaining length in `factor`.
double TraceRay(Ray* ray, CLRINT& colour, TGlobalInfo* gi, TDrawInfo* di, float maxDistance = RayMaxDistance);

// The colour of a scene ray and the distance to what it hit (MissDistance for none).
// A shadow ray that hits nothing comes back white (unobstructed); one that hits a surface
// gets the light that passes it.
double ProcessARay(Ray* ray, TDrawInfo* di, float maxDistance, CLRINT& colour, TGlobalInfo* gi);

// The nearest hit of the whole scene (di->BoundingVolume) within maxDistance: returns its
// distance and fills the five outputs, or returns 0 and sets object to null on a miss.
// Normals come back unit length; the object-space point and normal are scaled by the
// object's size along its axes (the point not for planes and vegetation). `material`,
// when given, receives the material of the part hit: the one the object reported for
// this hit (a mesh face, a plant piece), else the object's own.
double FindNearestHit(Ray* ray, TDrawInfo* di, float maxDistance, VECTEUR& worldPoint, VECTEUR& objectPoint,
                      VECTEUR& worldNormal, VECTEUR& objectNormal, TObject3D*& object, unsigned* material = nullptr);

// The shading of a hit: the material's ExtraireAspect, returning its transparency. A hit
// without a material (its index lies beyond the landscape's materials) is opaque plain
// grey and stops shadow rays.
float ShadeHit(const Texture* material, ImpactInfo& hit, float distance, Ray* ray, CLRINT& colour, TGlobalInfo* gi,
               TDrawInfo* di, TObject3D* object, float footprint);
// The world normal and the object-space values at real size of a hit on `object`, from
// the object-space point and normal its intersection method gave.
void CompleteHit(BasicObject* object, const VECTEUR& point, const VECTEUR& normal, VECTEUR& worldNormal,
                 VECTEUR& objectPoint, VECTEUR& objectNormal);

// The fog met along a path of length d starting at altitude z in `direction`, with the
// density a + b·exp(-c·(altitude - z0)) of the landscape's fog (a FogDensity, b
// FogHeightDensity, c FogFalloff, z0 FogAltitude). 100 stands for saturation.
double FogAmount(const TPaysage& landscape, double z, const VECTEUR& direction, double d);

// The fog path length of a ray that has travelled `length`: nearly proportional at first,
// levelling off at about 1510 for very long rays.
double FogPathLength(double length);

// The material preview: the material under preview on the test shape gi->PreviewShape.
double ExtraireRay(Ray* ray, TDrawInfo* di, float maxDistance, CLRINT& colour, TGlobalInfo* gi);
// The object preview: gi->PreviewObject over the preview floor.
double ExtraireRayObject(Ray* ray, TDrawInfo* di, float maxDistance, CLRINT& colour, TGlobalInfo* gi);
// The function preview: the value of `function` on the test shape, through its value colours.
void ExtraireFonc(VECTEUR origin, VECTEUR direction, Fonction3D* function, CLRINT& colour, TGlobalInfo* gi,
                  TDrawInfo* di);
