// Light sources: directional (the sun), point, spot and laser lights. Lights are planar
// scene objects whose direction is where they point; during a render the material code
// asks each light how much of its colour reaches a surface point, shadows included.
#pragma once

#include <cstdint>

#include "engine/geometry/array.h"
#include "engine/geometry/colours.h"
#include "engine/objects/object.h"

class Texture;
struct TGlobalInfo;
struct TDrawInfo;

// The wireframe symbols in the light's own frame (its direction is +z), which drawing,
// bounding and picking share: directional and spot lights are a slim box along their
// direction, point and laser lights a cube around a pick sphere.
constexpr double LightBeamHalfWidth = 2.0;
constexpr double LightBeamLength = 12.0;
constexpr double LightPickRadius = 8.0;

class TLight : public Planar {
 public:
  VECFLOAT Colour{1.0f, 1.0f, 1.0f};  // colour and strength per channel
  float Softness = 0.0f;              // angular radius of the source, radians; 0: hard shadows
  // The scene light this one is a render copy of (BuildListOfLights); null for the
  // scene's own lights. Not copied by assignment.
  BasicObject* copiedFrom = nullptr;

  TLight();
  // Hand written: copiedFrom is not passed on.
  TLight& operator=(const TLight& o);

  // The light arriving at a surface point along `toLight` (unit direction from the point
  // to the light): the material's response to the angle of incidence, the cloud shadow
  // of the sun, the light's own falloff and the scene's shadows. False when no light
  // arrives. `object` is the lit surface's object, null when a cloud is lit.
  virtual bool ComputeLightContribution(Texture* material, float blend, Ray* toLight, bool cloudShadow, VECTEUR& normal,
                                        float invDistance, VECFLOAT& colour, TGlobalInfo* gi, TDrawInfo* di,
                                        const BasicObject* object);
  // The light's colour at 1 / invDistance along `toLight`; false when none arrives.
  virtual bool GetLightColour(Ray* toLight, float invDistance, VECFLOAT& colour) = 0;

  // Picking: lights are never hit while rendering.
  BasicObject* FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) override;
  TIntervalList* FindAllIntersections(Ray* ray, TDrawInfo* di) override;
  bool IsInside(const VECTEUR& p, TDrawInfo* di) override;
  // The eight corners of the light's wireframe symbol, turned by its orientation, placed
  // at its centre (world true) or around the origin.
  void IncludeObjectInBox(TBoundingBox& box, bool symbol, bool world) override;
  bool IsValidTexture() override { return true; }
  void GetNumberOfObjects(int& objects, int& lights) override;
  long GetNumberOfPolygons() override { return 0; }

  // The light's direction (where it points), unit length.
  VECTEUR Direction() const { return normal; }
  // The corners of the wireframe symbol in the light's own frame (before orientation);
  // the same symbol serves drawing, bounding and picking.
  static void SymbolCorners(BasicObject::ObjectType type, VECTEUR corners[8]);

 protected:
  // Picking against the symbol box turned by `turn` degrees about the light's axis.
  bool HitSymbol(Ray* ray, double& t, VECTEUR& point, VECTEUR& nrm, float turn);
  // Picking against a sphere of radius 8 around the centre.
  bool HitPickSphere(Ray* ray, double& t, VECTEUR& point, VECTEUR& nrm);
};

class TDirectionLight : public TLight {
 public:
  uint8_t FollowCamera;  // re-aims at the active camera when moved

  TDirectionLight();
  BasicObject* Clone() const;

  bool GetLightColour(Ray* toLight, float invDistance, VECFLOAT& colour) override;
  BasicObject* FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) override;
  // An arrow along the direction, its head drawn in the three turns that picking tests.
  void DrawWireFrame(TDrawInfo* di, bool ghost) override;
  VECTEUR GetCenter() override;
  void MoveTo(float x, float y, float z, TDrawInfo* di) override;
  void MoveOf(float dx, float dy, float dz, TDrawInfo* di) override;
  void Rotate(float a, float b, float c, TDrawInfo* di, bool absolute) override;

  // Points the light at the active camera of `di` and rebuilds its orientation.
  void AimAtCamera(TDrawInfo* di);
};

class TPointLight : public TLight {
 public:
  float Power = 50.0f;

  TPointLight();
  BasicObject* Clone() const;

  bool GetLightColour(Ray* toLight, float invDistance, VECFLOAT& colour) override;
  BasicObject* FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) override;
  // A star within the pick sphere.
  void DrawWireFrame(TDrawInfo* di, bool ghost) override;
  using TLight::Scale;
  // Power *= sqrt((sx² + sy² + sz²) / 3), kept within 0.01 .. 1e8.
  virtual void Scale(float sx, float sy, float sz, bool flag);
};

class TSpotLight : public TLight {
 public:
  float Penumbra = 0.2f;       // share of the cone (in cosine) where the light ramps up
  float CosCone = 0.9063078f;  // cosine of the cone's half angle (25 degrees)
  float Power = 100.0f;

  TSpotLight();
  BasicObject* Clone() const;

  bool GetLightColour(Ray* toLight, float invDistance, VECFLOAT& colour) override;
  BasicObject* FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) override;
  // A cone from the light along its direction, its rim drawn through 21 points.
  void DrawWireFrame(TDrawInfo* di, bool ghost) override;
  using TLight::Scale;
  virtual void Scale(float sx, float sy, float sz, bool flag);
};

// Neither lights nor draws; its two settings are only kept and copied.
class TLaserLight : public TLight {
 public:
  float Setting1 = 0.1f;
  float Setting2 = 10.0f;

  TLaserLight();
  BasicObject* Clone() const;

  bool GetLightColour(Ray* toLight, float invDistance, VECFLOAT& colour) override;
  BasicObject* FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) override;
  void DrawWireFrame(TDrawInfo*, bool) override {}
};

// The first directional light of a list or array, or null.
TLight* GetSunLight(ObjectsList* list);
TLight* GetSunLight(TArray<TLight*>* lights);

// True for the four light types.
bool IsLight(const BasicObject* object);
// A new copy of a light of any kind (null for anything that is not a light).
TLight* CopyLight(BasicObject* light);
