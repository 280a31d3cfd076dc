#include "engine/materials/surface_params.h"

#include <cmath>
#include <cstring>

#include "engine/materials/texture.h"

namespace {
// Truncates to an int, saturating at the int range instead of overflowing.
int SaturatedInt(double v) {
  if (!(v > -2147483647.0))
    return v != v ? 0 : -2147483647;
  return v >= 2147483647.0 ? 2147483647 : static_cast<int>(v);
}
}  // namespace

// ResponseBase --------------------------------------------------------------

bool ResponseBase::SameFunction(const ResponseBase& other) const {
  return Filter1 == other.Filter1 && Filter2 == other.Filter2 && Function == other.Function;
}

float ResponseBase::FunctionPosition(const VECTEUR& point, const VECTEUR& normal, BasicObject* object,
                                     bool worldCoordinates) const {
  return 10000.0f * Function.ExtraireFonction(point, normal, object, worldCoordinates);
}

float ResponseBase::AmountsAt(float amount, float secondAmount, const VECTEUR& point, const VECTEUR& normal,
                              float& second, BasicObject* object, bool worldCoordinates) const {
  if (!Variable) {
    second = secondAmount;
    return amount;
  }
  const float v = FunctionPosition(point, normal, object, worldCoordinates);
  second = ExtraireFiltre(v, &Filter2) * secondAmount;
  return ExtraireFiltre(v, &Filter1) * amount;
}

// SpecularParams ------------------------------------------------------------

SpecularParams::SpecularParams() { CreateValueTable(); }

SpecularParams::SpecularParams(const SpecularParams& other)
    : ResponseBase(other),
      HighlightColour(other.HighlightColour),
      Intensity(other.Intensity),
      Sharpness(other.Sharpness),
      HighlightMode(other.HighlightMode) {
  std::memcpy(ValueTable, other.ValueTable, sizeof(ValueTable));
}

SpecularParams& SpecularParams::operator=(const SpecularParams& other) {
  if (this != &other) {
    ResponseBase::operator=(other);
    HighlightColour = other.HighlightColour;
    Intensity = other.Intensity;
    Sharpness = other.Sharpness;
    HighlightMode = other.HighlightMode;
    std::memcpy(ValueTable, other.ValueTable, sizeof(ValueTable));
  }
  return *this;
}

bool SpecularParams::operator==(const SpecularParams& other) const {
  if (HighlightMode != other.HighlightMode || Variable != other.Variable || !(FunctionScale == other.FunctionScale) ||
      !(HighlightColour == other.HighlightColour))
    return false;
  if (Variable && !SameFunction(other))
    return false;
  return Intensity == other.Intensity && Sharpness == other.Sharpness;
}

void SpecularParams::CreateValueTable() {
  const double e = std::exp(6.0 * Sharpness);
  const double top = 255.0 * Intensity;
  for (int i = 0; i <= 250; i++) {
    // Saturate instead of wrapping when an intensity beyond 1 pushes the table past 16 bits.
    double v = std::pow(0.004 * i, e) * top;
    v = v > 32767.0 ? 32767.0 : (v < -32768.0 ? -32768.0 : v);
    ValueTable[i] = static_cast<int16_t>(static_cast<int>(v));
  }
}

void SpecularParams::SetSpecularParams(float intensity, float sharpness, bool mode) {
  Intensity = intensity;
  Sharpness = sharpness;
  HighlightMode = mode;
  CreateValueTable();
}

void SpecularParams::GetSpecularParams(float& intensity, float& sharpness, bool& mode) const {
  intensity = Intensity;
  sharpness = Sharpness;
  mode = HighlightMode;
}

int SpecularParams::ExtraireBrillance(const VECTEUR& point, const VECTEUR& normal, float cosine, BasicObject* object,
                                      bool worldCoordinates, float boost) const {
  if (!(cosine > 0.0f))
    return 0;
  if (cosine > 1.0f)
    cosine = 1.0f;  // a cosine a hair above 1 must not index past the table
  if (!Variable) {
    const int i = static_cast<int>(250.0f * cosine);
    if (boost == 0.0f)
      return ValueTable[i];
    const float m = static_cast<float>(ValueTable[250]) + 1.0f;
    return SaturatedInt(static_cast<float>(ValueTable[i]) * (255.0f * boost + m) / m);
  }
  const float v = FunctionPosition(point, normal, object, worldCoordinates);
  const int intensity = SaturatedInt(ExtraireFiltre(v, &Filter1) * 255.0f * Intensity);
  const float s = ExtraireFiltre(v, &Filter2) * 6.0f * Sharpness;
  return SaturatedInt(std::pow(cosine, std::exp(s)) * (static_cast<float>(intensity) + boost));
}

int SpecularParams::ExtraireBrill1() const { return SaturatedInt(255.0f * Intensity); }

float SpecularParams::ExtraireBrill2() const { return std::exp(6.0f * Sharpness); }

// TransparencyParams --------------------------------------------------------

bool TransparencyParams::operator==(const TransparencyParams& other) const {
  if (Variable != other.Variable || Absorption != other.Absorption || Amount != other.Amount ||
      SecondAmount != other.SecondAmount || ResponseMode != other.ResponseMode || Refraction != other.Refraction ||
      Falloff != other.Falloff || !(TintColour1 == other.TintColour1) || !(TintColour2 == other.TintColour2) ||
      !(FunctionScale == other.FunctionScale) || GlowStrength != other.GlowStrength ||
      GlowThreshold != other.GlowThreshold || HostFloat != other.HostFloat)
    return false;
  if (Variable && !SameFunction(other))
    return false;
  if ((Interior == nullptr) != (other.Interior == nullptr))
    return false;
  return !Interior || *Interior == *other.Interior;
}

float TransparencyParams::ExtraireTransparence(const VECTEUR& point, const VECTEUR& normal, float& second,
                                               BasicObject* object, bool worldCoordinates) const {
  return AmountsAt(Amount, SecondAmount, point, normal, second, object, worldCoordinates);
}

// ReflexionParams -----------------------------------------------------------

bool ReflexionParams::operator==(const ReflexionParams& other) const {
  if (ResponseMode != other.ResponseMode || !(FunctionScale == other.FunctionScale) || Variable != other.Variable ||
      Amount != other.Amount || SecondAmount != other.SecondAmount)
    return false;
  return !Variable || SameFunction(other);
}

float ReflexionParams::ExtraireReflexion(const VECTEUR& point, const VECTEUR& normal, float& second,
                                         BasicObject* object, bool worldCoordinates) const {
  return AmountsAt(Amount, SecondAmount, point, normal, second, object, worldCoordinates);
}
