// The scene-object hierarchy: every solid, plane, terrain, mesh, plant, group, light and
// camera is a BasicObject and is used only through this virtual interface. Its
// declaration order is the slot order of the interface; do not reorder.
#pragma once

#include <cstdint>

#include "engine/geometry/bounding_box.h"
#include "engine/geometry/matrix.h"
#include "engine/geometry/objects_list.h"
#include "engine/geometry/ray.h"

struct TDrawInfo;
class Texture;

class BasicObject {
 public:
  enum ObjectType : int32_t {
    TypeBoundingVolume = 0,
    TypeInfinitePlane = 1,
    TypePlane = 2,
    TypeCylinder = 3,
    TypeSphere = 4,
    TypeCube = 5,
    TypeCone = 6,
    TypePyramid = 7,
    TypeTerrain = 8,
    TypeMesh = 9,
    TypeVegetation = 10,
    TypeUnion = 11,
    TypeIntersection = 12,
    TypeDifference = 13,
    TypeGroup = 14,
    TypeDirectionalLight = 15,
    TypePointLight = 16,
    TypeSpotLight = 17,
    TypeLaserLight = 18,
    TypeCamera = 19,
  };

  // Flag bits.
  static constexpr uint32_t ColourMask = 0x7;  // bits 0-2: wireframe colour
  static constexpr uint32_t SelectedBit = 1u << 3;
  static constexpr uint32_t DroppedDownBit = 1u << 5;
  static constexpr uint32_t BoxOnlyBit = 1u << 6;  // drawn as its box in every view
  static constexpr int LayerShift = 7;             // bits 7-9: layer
  static constexpr uint32_t LayerMask = 0x7u << LayerShift;

  uint32_t flags = 0;
  char name[24] = {};
  ObjectType type = TypeBoundingVolume;
  float size = 10.0f;
  // Set by Obj's constructor: the object is an Obj, so hit code finds its transform
  // without a dynamic_cast on every hit (see AsObj).
  bool isObj = false;
  BasicObject* parent = nullptr;

  BasicObject() = default;
  BasicObject(const BasicObject&) = delete;
  // Hand written: a copy does not take over the source's place in a group (parent).
  BasicObject& operator=(const BasicObject& o);

  // Slot 0.
  virtual ~BasicObject() = default;
  // Slot 1: nearest hit closer than t; returns the leaf hit and sets t, point and normal
  // (in that object's own space), or returns null and leaves them.
  virtual BasicObject* FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) = 0;
  // Slot 2: every entry/exit interval along the ray; the caller deletes the list.
  virtual TIntervalList* FindAllIntersections(Ray* ray, TDrawInfo* di) = 0;
  // Slot 3.
  virtual bool IsInside(const VECTEUR& p, TDrawInfo* di) = 0;
  // Slot 4: by (absolute false) or to (absolute true) the angles, degrees.
  virtual void Rotate(float a, float b, float c, TDrawInfo* di, bool absolute) = 0;
  // Slots 5, 6.
  virtual void MoveOf(float dx, float dy, float dz, TDrawInfo* di);
  virtual void MoveTo(float x, float y, float z, TDrawInfo* di);
  // Slot 7: along the object's axes (worldAxes false) or the world's.
  virtual void Scale(float sx, float sy, float sz, TDrawInfo* di, bool worldAxes) = 0;
  // Slot 8: slant angles, degrees.
  virtual void Slant(float p, float q, float r, TDrawInfo* di) = 0;
  // Slot 9.
  virtual VECTEUR GetCenter();
  // Slot 10: the wireframe preview into di's canvas; `ghost` draws with the ghost pens.
  // Classes without a drawing of their own draw their box (engine/objects/wireframe_shapes.cpp).
  virtual void DrawWireFrame(TDrawInfo* di, bool ghost);
  // Slot 11: grows box to hold the object; symbol uses the preview symbol's extent,
  // world includes the centre.
  virtual void IncludeObjectInBox(TBoundingBox& box, bool symbol, bool world) = 0;
  // Slot 12: rotation angles, size along each axis and slant angles.
  virtual void GetTransformParameters(VECTEUR& angles, VECTEUR& sizes, float& p, float& q, float& r) = 0;
  // Slot 13: number of leaf objects.
  virtual int GetNumberOfChildren();
  // Slots 14-16.
  virtual bool IsValidTexture() = 0;
  virtual void GetNumberOfObjects(int& objects, int& lights) = 0;
  virtual long GetNumberOfPolygons() = 0;
  // Slots 17-19: the material index.
  virtual void SetTexture(unsigned m);
  virtual void DecrementTextureIfGT(unsigned m);
  virtual unsigned GetTexture();
  // Slots 20-26.
  virtual void SetDroppedDown(bool on);
  virtual bool GetDroppedDown();
  virtual void Select(bool on);
  virtual void SetWireFrameColor(unsigned char c);
  virtual void ComputeObjectSize();
  virtual unsigned GetLayer();
  virtual void SetLayer(unsigned n);

  // A new object of this kind holding a copy of this one, made by the copier its kind
  // registered (RegisterObjectCopier); null for a kind without one (bounding volumes,
  // unknown types). Each class has its own Clone, which its copier calls.
  BasicObject* Clone() const;

  bool IsSelected() const { return (flags & SelectedBit) != 0; }
  unsigned GetWireFrameColor() const { return flags & ColourMask; }

 protected:
  // Sets the type and copies its display name.
  void SetType(ObjectType t);
};

class TObject3D : public BasicObject {
 public:
  uint16_t material;
  VECTEUR centre;

  explicit TObject3D(unsigned materialIndex);

  void MoveOf(float dx, float dy, float dz, TDrawInfo* di) override;
  void MoveTo(float x, float y, float z, TDrawInfo* di) override;
  VECTEUR GetCenter() override;
  int GetNumberOfChildren() override;
  void SetTexture(unsigned m) override;
  void DecrementTextureIfGT(unsigned m) override;
  unsigned GetTexture() override;
  void Select(bool on) override;
  void SetWireFrameColor(unsigned char c) override;
};

class Obj : public TObject3D {
 public:
  Matrix forward;  // object -> world
  Matrix inverse;  // world -> object, recomputed after every change of forward

  explicit Obj(unsigned materialIndex);

  void Rotate(float a, float b, float c, TDrawInfo* di, bool absolute) override;
  void Scale(float sx, float sy, float sz, TDrawInfo* di, bool worldAxes) override;
  void Slant(float p, float q, float r, TDrawInfo* di) override;
  void GetTransformParameters(VECTEUR& angles, VECTEUR& sizes, float& p, float& q, float& r) override;
  bool IsValidTexture() override;
  void GetNumberOfObjects(int& objects, int& lights) override;
  void ComputeObjectSize() override;
  // Slot 27: v = inverse * v (a world direction or offset into object space).
  virtual void AppliquerTransformationInverse(VECTEUR* v);
  // Slot 28: the world ray into object space (origin relative to the centre).
  virtual void AppliquerTransformationInverse(Ray* out, Ray* in);
  // Slot 29: v = forward * v (object -> world, without the centre).
  virtual void AppliquerTransformation(VECTEUR* v);

 protected:
  // Recomputes inverse from forward.
  void UpdateInverse();
  // Refreshes forward's angles and slants from its matrix.
  void RefreshAngles();
};

// The object as an Obj (one with a transform), or null.
inline Obj* AsObj(BasicObject* object) { return object && object->isObj ? static_cast<Obj*>(object) : nullptr; }

class Planar : public Obj {
 public:
  VECTEUR normal;  // the third column of forward

  explicit Planar(unsigned materialIndex);

  void Rotate(float a, float b, float c, TDrawInfo* di, bool absolute) override;
  void Scale(float sx, float sy, float sz, TDrawInfo* di, bool worldAxes) override;
  void Slant(float p, float q, float r, TDrawInfo* di) override;
  void ComputeObjectSize() override;

  void GetNormal();
};

// Copies of objects. Every kind registers how a copy of it is made, from the layer that
// defines it, when the library loads; so code that copies objects (CopyObject, the host's
// readers) never lists the kinds. A table rather than a virtual function, because the
// interface's slots are numbered and stay where they are.
typedef BasicObject* (*ObjectCopier)(const BasicObject& source);
// Registers the copier of `type` (replacing an earlier one); returns true, so that a
// layer can register at load time through a constant.
bool RegisterObjectCopier(BasicObject::ObjectType type, ObjectCopier copier);
// The copier of a class T that has a Clone of its own; null for an object of another class
// (one whose type field was changed).
template <class T>
BasicObject* CopyOfKind(const BasicObject& source) {
  const T* object = dynamic_cast<const T*>(&source);
  return object ? object->Clone() : nullptr;
}

// The display name of a type (a 24-byte entry of a fixed table).
const char* ObjectNames(BasicObject::ObjectType type);

// The landscape's material at `index`, or null when the context has no landscape or
// materials, or the index lies beyond them.
const Texture* LandscapeMaterial(const TDrawInfo* di, unsigned index);

// The two flags of a material that hit tests read: whether its surface casts shadows,
// and SurfaceFlag1 (the inside of the surface is ignored). Materials sit above objects,
// so materials/ answers this; a null material casts shadows and has SurfaceFlag1 off.
struct SurfaceHitFlags {
  bool castsShadows = true;
  bool surfaceFlag1 = false;
};
SurfaceHitFlags HitFlagsOf(const Texture* material);

// The transparency of `material` at a hit (0 opaque, 1 clear), for objects whose parts
// are cut out by their material (plant leaves). Answered by materials/ like HitFlagsOf; a
// null material is opaque.
float TransparencyOf(const Texture* material, ImpactInfo& hit, TObject3D* object);

// The acceptance test every nearest-hit query applies to a hit on `object`: true when
// the hit must be discarded (the ray starts inside the object and its material has
// SurfaceFlag1, or a shadow ray meets a material that casts no shadows). A context
// without a landscape, or a material index beyond its materials, behaves as a material
// with SurfaceFlag1 off that casts shadows.
bool MaterialRejectsHit(BasicObject* object, unsigned materialIndex, const Ray* ray, const TDrawInfo* di);

// Hand an object, or a list element, back through the host's release callback. Without a
// host the engine releases it itself: the element is removed from the list and its object
// deleted, so that nothing leaks.
void ReleaseObject(BasicObject* object);
void ReleaseListElement(ObjectsList* list, int index);
