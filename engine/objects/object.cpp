#include "engine/objects/object.h"

#include <cmath>
#include <cstring>

#include "engine/images/picture_mapping.h"
#include "engine/scene/context.h"
#include "engine/scene/landscape.h"
#include "engine/scene/release_callbacks.h"

namespace {

// Display names: 20 fixed entries of 24 bytes.
const char ObjectNameTable[20][24] = {
    "Bounding volume", "Infinite plane",    "Plane",       "Cylinder",   "Sphere",      "Cube",         "Cone",
    "Pyramid",         "Terrain",           "3D Mesh",     "Vegetation", "Union",       "Intersection", "Difference",
    "Group",           "Directional light", "Point light", "Spot light", "Laser light", "Camera",
};

}  // namespace

const char* ObjectNames(BasicObject::ObjectType type) { return ObjectNameTable[type]; }

const Texture* LandscapeMaterial(const TDrawInfo* di, unsigned index) {
  if (!di || !di->Landscape || !di->Landscape->Materials)
    return nullptr;
  const TArray<Texture*>& materials = *di->Landscape->Materials;
  if (index >= static_cast<unsigned>(materials.Count()))
    return nullptr;
  return materials[materials.LowerBound() + static_cast<int>(index)];
}

bool MaterialRejectsHit(BasicObject* object, unsigned materialIndex, const Ray* ray, const TDrawInfo* di) {
  const SurfaceHitFlags flags = HitFlagsOf(LandscapeMaterial(di, materialIndex));
  if (flags.surfaceFlag1 && ray->insideObjects && ray->insideObjects->HasMember(object))
    return true;
  return ray->shadowRay && !flags.castsShadows;
}

void ReleaseObject(BasicObject* object) {
  if (ReleaseObjectCallback callback = InstalledReleaseObject())
    callback(object);
  else
    delete object;
}

void ReleaseListElement(ObjectsList* list, int index) {
  if (ReleaseListCallback callback = InstalledReleaseList()) {
    callback(list, index);
    return;
  }
  BasicObject* object = (*list)[index];
  list->Detach(index);
  delete object;
}

// BasicObject ---------------------------------------------------------------

BasicObject& BasicObject::operator=(const BasicObject& o) {
  if (this != &o) {
    type = o.type;
    flags = o.flags;
    size = o.size;
    std::memcpy(name, o.name, sizeof(name));
    parent = nullptr;
  }
  return *this;
}

void BasicObject::SetType(ObjectType t) {
  type = t;
  std::memcpy(name, ObjectNames(t), sizeof(name));
}

void BasicObject::MoveOf(float, float, float, TDrawInfo*) {}
void BasicObject::MoveTo(float, float, float, TDrawInfo*) {}
VECTEUR BasicObject::GetCenter() { return VECTEUR(); }

PictureHost PictureHostOf(BasicObject* object) {
  PictureHost host;
  if (object) {
    host.type = object->type;
    host.centre = object->GetCenter();
  }
  return host;
}
int BasicObject::GetNumberOfChildren() { return 1; }
namespace {
// Zero-initialised before any code runs, so registrations made at load time are never lost.
constexpr int KindCount = BasicObject::TypeCamera + 1;
ObjectCopier copiers[KindCount];
}  // namespace

bool RegisterObjectCopier(BasicObject::ObjectType type, ObjectCopier copier) {
  if (type >= 0 && type < KindCount)
    copiers[type] = copier;
  return true;
}

BasicObject* BasicObject::Clone() const {
  const ObjectCopier copier = type >= 0 && type < KindCount ? copiers[type] : nullptr;
  return copier ? copier(*this) : nullptr;
}

void BasicObject::SetTexture(unsigned) {}
void BasicObject::DecrementTextureIfGT(unsigned) {}
unsigned BasicObject::GetTexture() { return 0; }
void BasicObject::SetDroppedDown(bool on) { flags = on ? (flags | DroppedDownBit) : (flags & ~DroppedDownBit); }
bool BasicObject::GetDroppedDown() { return (flags & DroppedDownBit) != 0; }
void BasicObject::Select(bool) {}
void BasicObject::SetWireFrameColor(unsigned char) {}
void BasicObject::ComputeObjectSize() {}

unsigned BasicObject::GetLayer() {
  if (parent)
    return parent->GetLayer();
  return (flags & LayerMask) >> LayerShift;
}

void BasicObject::SetLayer(unsigned n) { flags = (flags & ~LayerMask) | ((n & 7u) << LayerShift); }

// TObject3D -----------------------------------------------------------------

TObject3D::TObject3D(unsigned materialIndex) : material(static_cast<uint16_t>(materialIndex)) { flags = 0; }

void TObject3D::MoveOf(float dx, float dy, float dz, TDrawInfo*) { centre += VECTEUR(dx, dy, dz); }
void TObject3D::MoveTo(float x, float y, float z, TDrawInfo*) { centre = VECTEUR(x, y, z); }
VECTEUR TObject3D::GetCenter() { return centre; }
int TObject3D::GetNumberOfChildren() { return 1; }
void TObject3D::SetTexture(unsigned m) { material = static_cast<uint16_t>(m); }

void TObject3D::DecrementTextureIfGT(unsigned m) {
  if (material > m)
    material--;
}

unsigned TObject3D::GetTexture() { return material; }
void TObject3D::Select(bool on) { flags = on ? (flags | SelectedBit) : (flags & ~SelectedBit); }
void TObject3D::SetWireFrameColor(unsigned char c) { flags = (flags & ~ColourMask) | (c & ColourMask); }

// Obj -----------------------------------------------------------------------

Obj::Obj(unsigned materialIndex) : TObject3D(materialIndex) { isObj = true; }

void Obj::UpdateInverse() {
  // A singular forward matrix (a zero scale) keeps the previous inverse.
  if (forward.IsSingular())
    return;
  inverse = forward;
  inverse.Invert();
}

void Obj::RefreshAngles() {
  float a = forward.angles[0], b = forward.angles[1], c = forward.angles[2];
  float p = forward.slants[0], q = forward.slants[1], r = forward.slants[2];
  GetRotationMatrixAngles(forward, a, b, c, p, q, r);
  forward.SetAngles(a, b, c, p, q, r);
}

void Obj::Rotate(float a, float b, float c, TDrawInfo* di, bool absolute) {
  if (!absolute) {
    Matrix rotation;
    BuildRotationMatrix(rotation, a, b, c);
    Matrix rotated = rotation * forward;
    forward.SetEntries(rotated);
    RefreshAngles();
  } else {
    VECTEUR angles, sizes;
    float p, q, r;
    GetTransformParameters(angles, sizes, p, q, r);
    BuildRotationMatrix(forward, a, b, c);
    Scale(static_cast<float>(sizes.x), static_cast<float>(sizes.y), static_cast<float>(sizes.z), di, false);
    const double sp = std::sin(p * DegreesToRadians), sq = std::sin(q * DegreesToRadians);
    const double sr = std::sin(r * DegreesToRadians), cr = std::cos(r * DegreesToRadians);
    Matrix slant;
    slant.m[1][0] = static_cast<float>(sr);
    slant.m[1][1] = static_cast<float>(cr);
    slant.m[2][0] = static_cast<float>(sp);
    slant.m[2][1] = static_cast<float>(sq);
    slant.m[2][2] = static_cast<float>(std::sqrt(std::fmax(0.0, 1.0 - sp * sp - sq * sq)));
    Matrix slanted = slant * forward;
    forward.SetEntries(slanted);
    forward.SetAngles(a, b, c, p, q, r);
  }
  UpdateInverse();
}

void Obj::Scale(float sx, float sy, float sz, TDrawInfo*, bool worldAxes) {
  const float s[3] = {sx, sy, sz};
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++)
      forward.m[i][j] *= worldAxes ? s[i] : s[j];
  UpdateInverse();
  ComputeObjectSize();
  RefreshAngles();
}

void Obj::Slant(float p, float q, float r, TDrawInfo* di) {
  const float lengths[3] = {static_cast<float>(forward.ColumnLength(0)), static_cast<float>(forward.ColumnLength(1)),
                            static_cast<float>(forward.ColumnLength(2))};
  RefreshAngles();
  BuildRotationMatrix(forward, forward.angles[0], forward.angles[1], forward.angles[2]);
  Obj::Scale(lengths[0], lengths[1], lengths[2], di, false);
  const double pr = p * RotationDegreesToRadians, qr = q * RotationDegreesToRadians;
  const double rr = r * RotationDegreesToRadians;
  Matrix slant;
  slant.m[0][1] = static_cast<float>(std::sin(rr));
  slant.m[0][2] = static_cast<float>(std::sin(pr));
  slant.m[1][1] = static_cast<float>(std::cos(rr));
  slant.m[1][2] = static_cast<float>(std::sin(qr));
  slant.m[2][2] = static_cast<float>(std::cos(pr) * std::cos(qr));
  Matrix slanted = slant * forward;
  forward.SetEntries(slanted);
  RefreshAngles();
  UpdateInverse();
}

void Obj::GetTransformParameters(VECTEUR& angles, VECTEUR& sizes, float& p, float& q, float& r) {
  angles = VECTEUR(forward.angles[0], forward.angles[1], forward.angles[2]);
  sizes = VECTEUR(forward.ColumnLength(0), forward.ColumnLength(1), forward.ColumnLength(2));
  p = forward.slants[0];
  q = forward.slants[1];
  r = forward.slants[2];
}

bool Obj::IsValidTexture() { return true; }

void Obj::GetNumberOfObjects(int& objects, int& lights) {
  objects = 1;
  lights = 0;
}

void Obj::ComputeObjectSize() {
  VECTEUR angles, sizes;
  float p, q, r;
  GetTransformParameters(angles, sizes, p, q, r);
  size = static_cast<float>(std::sqrt(sizes.x * sizes.x + sizes.y * sizes.y + sizes.z * sizes.z));
}

void Obj::AppliquerTransformationInverse(VECTEUR* v) { *v = inverse * *v; }

void Obj::AppliquerTransformationInverse(Ray* out, Ray* in) {
  out->direction = inverse * in->direction;
  out->origin = inverse * (in->origin - centre);
}

void Obj::AppliquerTransformation(VECTEUR* v) { *v = forward * *v; }

// Planar --------------------------------------------------------------------

Planar::Planar(unsigned materialIndex) : Obj(materialIndex), normal(0.0, 0.0, 1.0) {}

void Planar::GetNormal() { normal = VECTEUR(forward.m[0][2], forward.m[1][2], forward.m[2][2]); }

void Planar::Rotate(float a, float b, float c, TDrawInfo* di, bool absolute) {
  if (!absolute) {
    Obj::Rotate(a, b, c, di, false);
  } else {
    VECTEUR angles, sizes;
    float p, q, r;
    GetTransformParameters(angles, sizes, p, q, r);
    BuildRotationMatrix(forward, a, b, c);
    Scale(static_cast<float>(sizes.x), static_cast<float>(sizes.y), static_cast<float>(sizes.z), di, false);
    forward.SetAngles(a, b, c, 0.0f, 0.0f, 0.0f);
    UpdateInverse();
  }
  GetNormal();
}

void Planar::Scale(float sx, float sy, float sz, TDrawInfo* di, bool worldAxes) {
  Obj::Scale(sx, sy, sz, di, worldAxes);
  // forward keeps unit axes; inverse keeps the scale, so the plane's own coordinates
  // (and with them its texture) scale while its normal stays unit.
  for (int j = 0; j < 3; j++) {
    double len = forward.ColumnLength(j);
    if (len != 0.0)
      for (int i = 0; i < 3; i++)
        forward.m[i][j] = static_cast<float>(forward.m[i][j] / len);
  }
  GetNormal();
}

void Planar::Slant(float, float, float, TDrawInfo*) {}

void Planar::ComputeObjectSize() {}
