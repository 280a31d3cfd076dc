// The surface response records of a material: highlights (SpecularParams), transparency
// (TransparencyParams) and reflection (ReflexionParams), each a constant setting or a
// procedural function shaped by two filters, and the noise-vector blend (CycleParams).
#pragma once

#include <cstdint>

#include "engine/functions/filter.h"
#include "engine/functions/fonction3d.h"
#include "engine/geometry/colours.h"
#include "engine/geometry/vectors.h"
#include "engine/materials/owned_material.h"

class BasicObject;
class Texture;

#pragma pack(push, 1)

// The five fields every response record starts with.
struct ResponseBase {
  bool Variable = false;  // outputs come from Function through the filters
  FiltreNumerique Filter1;
  FiltreNumerique Filter2;
  Fonction3D Function;
  VECFLOAT FunctionScale{1.0f, 1.0f, 1.0f};  // handed to Function's preparation

  // Filters and function equal (the part compared for variable records).
  bool SameFunction(const ResponseBase& other) const;
  // 10000 times the function's value at a point.
  float FunctionPosition(const VECTEUR& point, const VECTEUR& normal, BasicObject* object, bool worldCoordinates) const;
  // The two outputs of a transparency or reflection record: the amounts as they are, or
  // (Variable) scaled by the function's value through Filter1 and Filter2.
  float AmountsAt(float amount, float secondAmount, const VECTEUR& point, const VECTEUR& normal, float& second,
                  BasicObject* object, bool worldCoordinates) const;
};

struct SpecularParams : ResponseBase {
  VECFLOAT HighlightColour{1.0f, 1.0f, 1.0f};
  float Intensity = 0.4f;      // 0..1 for highlights 0..255
  float Sharpness = 0.35f;     // exponent exp(6 Sharpness)
  bool HighlightMode = false;  // true: the highlight is tinted by the surface colour
  int16_t ValueTable[251];     // constant highlight by cosine, 0.004 apart

  SpecularParams();
  // Hand written: a member-wise copy of this packed record would copy ValueTable through
  // misaligned int16_t references.
  SpecularParams(const SpecularParams& other);
  SpecularParams& operator=(const SpecularParams& other);
  bool operator==(const SpecularParams& other) const;

  void CreateValueTable();
  void SetSpecularParams(float intensity, float sharpness, bool mode);
  void GetSpecularParams(float& intensity, float& sharpness, bool& mode) const;
  // Highlight for `cosine` between the normal and the direction to the light; 255 is full
  // and larger values occur with a boost.
  int ExtraireBrillance(const VECTEUR& point, const VECTEUR& normal, float cosine, BasicObject* object,
                        bool worldCoordinates, float boost) const;
  int ExtraireBrill1() const;
  float ExtraireBrill2() const;
};

struct TransparencyParams : ResponseBase {
  int32_t ResponseMode = 2;
  float Refraction = 1.0f;
  float Falloff = 4.0f;
  CLR TintColour1{166, 100, 0};
  CLR TintColour2{240, 255, 190};
  float Absorption = 0.00047619048f;
  float Amount = 0.0f;
  OwnedMaterial Interior;  // released through the host's material callback
  float SecondAmount = 0.0f;
  float GlowStrength = 8.0f;
  float GlowThreshold = 0.9f;
  float HostFloat = 0.0f;
  Texture* Owner = nullptr;  // the material holding this record, which sets it (on its copies too)

  bool operator==(const TransparencyParams& other) const;

  float ExtraireTransparence(const VECTEUR& point, const VECTEUR& normal, float& second, BasicObject* object,
                             bool worldCoordinates) const;
};

struct ReflexionParams : ResponseBase {
  int32_t ResponseMode = 2;
  float Amount = 0.0f;
  float SecondAmount = 0.0f;

  bool operator==(const ReflexionParams& other) const;

  float ExtraireReflexion(const VECTEUR& point, const VECTEUR& normal, float& second, BasicObject* object,
                          bool worldCoordinates) const;
};

struct CycleParams {
  float CycleBlend = 0.8f;       // weight of the unmoved point
  float CycleFrequency = 0.05f;  // frequency of the noise vector

  bool operator==(const CycleParams& c) const {
    return CycleBlend == c.CycleBlend && CycleFrequency == c.CycleFrequency;
  }
};

#pragma pack(pop)

static_assert(sizeof(CycleParams) == 8);
static_assert(sizeof(SpecularParams) == 769 && sizeof(ReflexionParams) == 258);
static_assert(sizeof(TransparencyParams) == 304);
