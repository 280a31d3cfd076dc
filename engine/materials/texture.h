// Texture: a material, simple (its own colour, bump, highlights, reflection and
// transparency, each driven by a procedural function) or mixed (two materials blended by
// a function value, optionally steered by slope, altitude and orientation). Selected by
// an object's material index in the landscape; shades every hit of a render.
#pragma once

#include <cstdint>

#include "engine/functions/colour_table.h"
#include "engine/functions/filter.h"
#include "engine/functions/fonction3d.h"
#include "engine/functions/options.h"
#include "engine/geometry/array.h"
#include "engine/geometry/colours.h"
#include "engine/geometry/matrix.h"
#include "engine/geometry/ray.h"
#include "engine/geometry/vectors.h"
#include "engine/images/dib24.h"
#include "engine/images/image.h"
#include "engine/materials/surface_params.h"

class BasicObject;
class TObject3D;
struct TPaysage;
struct TGlobalInfo;
struct TDrawInfo;

#pragma pack(push, 1)

// Which side of a surface a shadow ray meets it from.
enum WhatSide : int32_t {
  SideOutside = 0,
  SideInside = 1,
};

// Material kinds.
constexpr int32_t SimpleMaterial = 0;
constexpr int32_t MixedMaterial = 1;

// The fields of a material, which copy member-wise. Texture adds what a copy does not
// take over: the link of its transparency record back to it, and its preparation state.
struct MaterialFields {
  char Name[24];
  TDib24 Preview{100, 100};  // kept for the host
  int32_t MaterialKind = SimpleMaterial;
  OwnedMaterial Material1;  // mixed materials only
  OwnedMaterial Material2;
  float MixThreshold = 0.449f;
  float MixWidth = 0.1f;
  float SlopeInfluence = 0.5f;
  float AltitudeInfluence = 0.5f;
  float OrientationInfluence = 0.0f;
  float AltitudeMax = 1.0f, AltitudeMin = 0.0f;  // set by preparation
  float AltitudeHalfRange = 0.5f;                // set by preparation
  VECFLOAT PreferredDirection{1.0f, 0.0f, 0.0f};
  bool EnvironmentInfluence = false;
  bool InvertSlope = false;
  bool AltitudeAbove = true;
  bool MixWorldNormal = true;
  int32_t ColourSource = 1;  // 0 colour function and table, 1 picture
  Image Picture;             // the picture of a picture-coloured material
  int32_t PictureOffsetU = 0, PictureOffsetV = 0;
  VECFLOAT PictureOrigin;
  int32_t PictureMapping = 6;
  int32_t PictureMode = 0;
  bool PictureFlag1 = false, PictureFlag2 = false;
  bool WorldCoordinates = true;
  Fonction3D ColourFunction;
  Fonction3D BumpFunction;
  FiltreNumerique ColourFilter;
  FiltreNumerique BumpFilter;
  TableDeCouleurs Colours;
  VECFLOAT ColourScale{1.0f, 1.0f, 1.0f};
  VECFLOAT BumpScale{1.0f, 1.0f, 1.0f};
  float BumpDepth = 1.0f;
  SpecularParams Specular;
  TransparencyParams Transparency;
  ReflexionParams Reflection;
  bool Rotate = false;
  Matrix Rotation;
  bool Perturb = false;
  TurbParams Turbulence;
  bool Cycle = false;
  CycleParams CycleSettings;
  float Diffuse = 0.6f;
  float Ambient = 0.4f;
  float LightThreshold = 0.8f;
  float LightSlope = 1.25f;
  Options DefaultOptions;
  int16_t HostSetting = 100;
  float MaterialScale = 1.0f;
  VECFLOAT PictureScale{1.0f, 1.0f, 1.0f};  // set by preparation
  bool CastsShadows = true;                 // when false, shadow rays pass through the surface
  bool SurfaceFlag1 = false;                // the inside of the surface is ignored
  bool SurfaceFlag2 = false;                // water: no refraction, tint by the thickness crossed
  bool SurfaceFlag3 = false;                // a skin: the surface is seen, rays pass on
  bool SurfaceFlag4 = false;                // the surface colour tints the light passing through
  int32_t HostValue = 0;
  int32_t TransitionMode = 0;  // 0..4, how a mixed material blends its two materials
};

class Texture : public MaterialFields {
 public:
  Texture();
  // Deep copies (the old materials go back through the host's release callback). Hand
  // written because the copy's transparency record must name the copy, and the target
  // keeps its own preparation state.
  Texture(const Texture& other);
  Texture& operator=(const Texture& other);
  bool operator==(const Texture& other) const;

  // Folds the scene scale into the material for a render; false when a mixed material
  // lacks a material, a sub-material fails, or the material contains itself.
  bool Preparer(TPaysage* landscape, TArray<TObject3D*>* objects, float scale);
  // Restores the values the user entered.
  void DePreparer(float scale);

  void ExtraireCouleurMatiere(const VECTEUR& point, const VECTEUR& normal, CLRINT& colour, BasicObject* object) const;
  void ExtraireCouleurBitmap(const VECTEUR& point, const VECTEUR& normal, CLRINT& colour, BasicObject* object) const;
  void AppliquerDeplacements(VECTEUR& point) const;
  // The mix value of a mixed material at a point (environment terms included when asked).
  float MixValue(const VECTEUR& point, const VECTEUR& normal, BasicObject* object, bool environment) const;
  // The highlight for the cosine of `normal` and `toLight`, boosted by f.
  int ExtraireBrillance(const VECTEUR& point, const VECTEUR& normal, const VECTEUR& toLight, BasicObject* object,
                        float f) const;
  // Response to a cosine of incidence: 1 at or above LightThreshold, falling linearly
  // with LightSlope below it, never below 0.
  float Eclairement(float x) const;
  float ExtraireTransparence(ImpactInfo& hit, TObject3D* object) const;
  float ExtraireShadow(ImpactInfo& hit, Ray* ray, WhatSide side, float distance, CLRINT& colour, TGlobalInfo* gi,
                       TDrawInfo* di, TObject3D* object) const;
  // Shades a hit into `colour`; returns the surface's transparency there (0 opaque).
  float ExtraireAspect(ImpactInfo& hit, float distance, Ray* ray, CLRINT& colour, TGlobalInfo* global, TDrawInfo* draw,
                       TObject3D* object, float bumpStep) const;

  // True while the material is prepared for a render.
  bool IsPrepared() const { return prepared; }

 private:
  // The user's values that preparation changes, kept until DePreparer.
  struct UserValues {
    float MaterialScale, TurbulenceFrequency, BumpDepth, AltitudeInfluence, Refraction;
    VECFLOAT ColourScale, PictureOrigin, PictureScale;
    float AltitudeMax, AltitudeMin, AltitudeHalfRange;
    uint8_t BumpKind;
  };
  UserValues user{};
  bool prepared = false;
  bool colourFunctionPrepared = false;
  bool bumpSwitchedOff = false;
  bool preparing = false;  // guards against a material reached again during its own preparation
};

#pragma pack(pop)

static_assert(sizeof(Texture) == 2407);

// True when `material` is `wanted`, or contains it through a mixed material's two
// materials or through an interior material. Safe on cyclic materials.
bool FoundThisTexture(const Texture* material, const Texture* wanted);

// Hands a material back through the host's release callback, or deletes it when no host
// is connected.
void ReleaseMaterial(Texture* material);
