#include "engine/lights/light.h"

#include <cmath>
#include <vector>

#include "engine/lights/camera.h"
#include "engine/platform/random.h"
#include "engine/scene/context.h"
#include "engine/scene/environment.h"
#include "engine/scene/landscape.h"

namespace {

constexpr double BeamHalfWidth = LightBeamHalfWidth;
constexpr double BeamLength = LightBeamLength;
constexpr double PickRadius = LightPickRadius;

}  // namespace

// TLight ---------------------------------------------------------------------

TLight::TLight() : Planar(0) {}

TLight& TLight::operator=(const TLight& o) {
  if (this != &o) {
    Planar::operator=(o);
    Colour = o.Colour;
    Softness = o.Softness;
  }
  return *this;
}

void TLight::GetNumberOfObjects(int& objects, int& lights) {
  objects = 0;
  lights = 1;
}

TIntervalList* TLight::FindAllIntersections(Ray*, TDrawInfo*) { return new TIntervalList(); }

bool TLight::IsInside(const VECTEUR&, TDrawInfo*) { return false; }

void TLight::SymbolCorners(BasicObject::ObjectType type, VECTEUR corners[8]) {
  const bool beam = type == TypeDirectionalLight || type == TypeSpotLight;
  const double hx = beam ? BeamHalfWidth : PickRadius;
  const double z0 = beam ? 0.0 : -PickRadius;
  const double z1 = beam ? BeamLength : PickRadius;
  for (int i = 0; i < 8; i++)
    corners[i] = VECTEUR((i & 1) ? hx : -hx, (i & 2) ? hx : -hx, (i & 4) ? z1 : z0);
}

void TLight::IncludeObjectInBox(TBoundingBox& box, bool, bool world) {
  VECTEUR corners[8];
  SymbolCorners(type, corners);
  // The directional light's symbol is drawn and picked in three positions about its axis.
  const int turns = type == TypeDirectionalLight ? 3 : 1;
  const double angles[3] = {0.0, 60.0 * DegreesToRadians, -60.0 * DegreesToRadians};
  for (int i = 0; i < turns; i++) {
    const double ca = std::cos(angles[i]), sa = std::sin(angles[i]);
    for (const VECTEUR& c : corners) {
      VECTEUR p = forward * VECTEUR(ca * c.x - sa * c.y, sa * c.x + ca * c.y, c.z);
      if (world)
        p += centre;
      box.Include(p);
    }
  }
}

bool TLight::HitSymbol(Ray* ray, double& t, VECTEUR& point, VECTEUR& nrm, float turn) {
  // Into the light's frame (its axes are unit, so the transpose inverts them), then
  // turned about the light's axis.
  const double a = turn * DegreesToRadians, ca = std::cos(a), sa = std::sin(a);
  auto toLocal = [&](const VECTEUR& v) {
    const VECTEUR l = forward.TransposeTimes(v);
    return VECTEUR(ca * l.x + sa * l.y, -sa * l.x + ca * l.y, l.z);
  };
  const VECTEUR o = toLocal(ray->origin - centre);
  const VECTEUR d = toLocal(ray->direction);
  double tau;
  VECTEUR n;
  if (!HitAlignedBox(o, d, VECTEUR(-BeamHalfWidth, -BeamHalfWidth, 0.0),
                     VECTEUR(BeamHalfWidth, BeamHalfWidth, BeamLength), t, tau, n))
    return false;
  t = tau;
  point = ray->origin + ray->direction * tau;
  nrm = forward * VECTEUR(ca * n.x - sa * n.y, sa * n.x + ca * n.y, n.z);
  return true;
}

bool TLight::HitPickSphere(Ray* ray, double& t, VECTEUR& point, VECTEUR& nrm) {
  const VECTEUR o = ray->origin - centre;
  const double a = Dot(ray->direction, ray->direction);
  if (a == 0.0)
    return false;
  const double b = Dot(o, ray->direction);
  const double disc = b * b - a * (Dot(o, o) - PickRadius * PickRadius);
  if (disc < 0.0)
    return false;
  const double root = std::sqrt(disc);
  double tau = (-b - root) / a;
  if (tau <= HitTolerance)
    tau = (-b + root) / a;
  if (tau <= HitTolerance || tau >= t)
    return false;
  t = tau;
  point = ray->origin + ray->direction * tau;
  nrm = Normalised(point - centre);
  return true;
}

BasicObject* TLight::FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& nrm) {
  if (di && di->Rendering)
    return nullptr;
  return HitPickSphere(ray, t, point, nrm) ? this : nullptr;
}

// TDirectionLight ------------------------------------------------------------

TDirectionLight::TDirectionLight() : FollowCamera(GetEnvironment()->DirectionalFollowCamera) {
  SetType(TypeDirectionalLight);
}

bool TDirectionLight::GetLightColour(Ray*, float, VECFLOAT& colour) {
  colour = Colour;
  return true;
}

BasicObject* TDirectionLight::FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point,
                                                      VECTEUR& nrm) {
  if (di && di->Rendering)
    return nullptr;
  bool hit = false;
  for (float turn : {0.0f, 60.0f, -60.0f})
    hit = HitSymbol(ray, t, point, nrm, turn) || hit;
  return hit ? this : nullptr;
}

VECTEUR TDirectionLight::GetCenter() { return centre; }

void TDirectionLight::AimAtCamera(TDrawInfo* di) {
  if (!di || !di->Camera)
    return;
  VECTEUR dir = di->Camera->GetCenter() - centre;
  if (Length(dir) == 0.0)
    return;
  Normalise(dir);
  VECTEUR u, v, w;
  BuildBase(dir, u, v, w);
  const VECTEUR axes[3] = {u, v, dir};
  for (int j = 0; j < 3; j++) {
    forward.m[0][j] = static_cast<float>(axes[j].x);
    forward.m[1][j] = static_cast<float>(axes[j].y);
    forward.m[2][j] = static_cast<float>(axes[j].z);
  }
  RefreshAngles();
  UpdateInverse();
  GetNormal();
}

void TDirectionLight::MoveTo(float x, float y, float z, TDrawInfo* di) {
  TLight::MoveTo(x, y, z, di);
  if (FollowCamera && di)
    AimAtCamera(di);
}

void TDirectionLight::MoveOf(float dx, float dy, float dz, TDrawInfo* di) {
  TLight::MoveOf(dx, dy, dz, di);
  if (FollowCamera)
    AimAtCamera(di);
}

void TDirectionLight::Rotate(float a, float b, float c, TDrawInfo* di, bool absolute) {
  const bool follow = FollowCamera && di && di->Camera;
  const double distance = follow ? Length(centre - di->Camera->GetCenter()) : 0.0;
  Planar::Rotate(a, b, c, di, absolute);
  if (follow)
    centre = di->Camera->GetCenter() - Direction() * distance;
}

// TPointLight ----------------------------------------------------------------

TPointLight::TPointLight() { SetType(TypePointLight); }

bool TPointLight::GetLightColour(Ray*, float invDistance, VECFLOAT& colour) {
  const float i = Power * invDistance;
  colour = VECFLOAT(Colour.x * i, Colour.y * i, Colour.z * i);
  return colour.x != 0.0f || colour.y != 0.0f || colour.z != 0.0f;
}

BasicObject* TPointLight::FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& nrm) {
  return TLight::FindNearestIntersection(ray, di, t, point, nrm);
}

namespace {
float ScaledPower(float power, float sx, float sy, float sz) {
  const float p = power * std::sqrt((sx * sx + sy * sy + sz * sz) / 3.0f);
  return p < 0.01f ? 0.01f : (p > 1e8f ? 1e8f : p);
}
}  // namespace

void TPointLight::Scale(float sx, float sy, float sz, bool) { Power = ScaledPower(Power, sx, sy, sz); }

// TSpotLight -----------------------------------------------------------------

TSpotLight::TSpotLight() { SetType(TypeSpotLight); }

bool TSpotLight::GetLightColour(Ray* toLight, float invDistance, VECFLOAT& colour) {
  colour = VECFLOAT(0.0f, 0.0f, 0.0f);
  const float c = static_cast<float>(-Dot(toLight->direction, Direction()));
  if (c <= CosCone)
    return false;
  const float inner = (1.0f - CosCone) * Penumbra + CosCone;
  float i = Power * invDistance;
  if (c < inner)
    i *= (c - CosCone) / (inner - CosCone);
  colour = VECFLOAT(Colour.x * i, Colour.y * i, Colour.z * i);
  return colour.x != 0.0f || colour.y != 0.0f || colour.z != 0.0f;
}

BasicObject* TSpotLight::FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& nrm) {
  if (di && di->Rendering)
    return nullptr;
  return HitSymbol(ray, t, point, nrm, 0.0f) ? this : nullptr;
}

void TSpotLight::Scale(float sx, float sy, float sz, bool) { Power = ScaledPower(Power, sx, sy, sz); }

// TLaserLight ----------------------------------------------------------------

TLaserLight::TLaserLight() { SetType(TypeLaserLight); }

bool TLaserLight::GetLightColour(Ray*, float, VECFLOAT& colour) {
  colour = VECFLOAT(0.0f, 0.0f, 0.0f);
  return false;
}

BasicObject* TLaserLight::FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& nrm) {
  return TLight::FindNearestIntersection(ray, di, t, point, nrm);
}

// Free functions -------------------------------------------------------------

TLight* GetSunLight(ObjectsList* list) {
  if (!list)
    return nullptr;
  for (int i = list->LowerBound(); i < list->LowerBound() + list->Count(); i++)
    if (auto* sun = dynamic_cast<TDirectionLight*>((*list)[i]))
      return sun;
  return nullptr;
}

TLight* GetSunLight(TArray<TLight*>* lights) {
  if (!lights)
    return nullptr;
  for (int i = lights->LowerBound(); i < lights->LowerBound() + lights->Count(); i++)
    if (auto* sun = dynamic_cast<TDirectionLight*>((*lights)[i]))
      return sun;
  return nullptr;
}

bool IsLight(const BasicObject* object) { return dynamic_cast<const TLight*>(object) != nullptr; }

namespace {
template <class L>
BasicObject* CopyAs(const L& source) {
  auto* copy = new L();
  *copy = source;
  return copy;
}
}  // namespace

BasicObject* TDirectionLight::Clone() const { return CopyAs(*this); }
BasicObject* TPointLight::Clone() const { return CopyAs(*this); }
BasicObject* TSpotLight::Clone() const { return CopyAs(*this); }
BasicObject* TLaserLight::Clone() const { return CopyAs(*this); }

TLight* CopyLight(BasicObject* light) {
  if (!dynamic_cast<TLight*>(light))
    return nullptr;
  return dynamic_cast<TLight*>(light->Clone());
}

namespace {
[[maybe_unused]] const bool copiersRegistered =
    RegisterObjectCopier(BasicObject::TypeDirectionalLight, CopyOfKind<TDirectionLight>) &&
    RegisterObjectCopier(BasicObject::TypePointLight, CopyOfKind<TPointLight>) &&
    RegisterObjectCopier(BasicObject::TypeSpotLight, CopyOfKind<TSpotLight>) &&
    RegisterObjectCopier(BasicObject::TypeLaserLight, CopyOfKind<TLaserLight>);
}  // namespace
