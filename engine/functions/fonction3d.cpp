#include "engine/functions/fonction3d.h"

#include <algorithm>
#include <cmath>

#include "engine/functions/noise_basis.h"

namespace {

inline bool Near(float a, float b) { return std::fabs(a - b) <= 1e-5f; }

// A deep copy of an owned pointer, or null.
template <class T>
T* CopyOf(const T* source) {
  return source ? new T(*source) : nullptr;
}

// Both absent, or both present and equal.
template <class T>
bool SameOwned(const T* a, const T* b) {
  if (!a || !b)
    return a == b;
  return *a == *b;
}

}  // namespace

bool TurbParams::operator==(const TurbParams& t) const {
  return Amplitude == t.Amplitude && Near(Frequency, t.Frequency) && Ratio == t.Ratio && Octaves == t.Octaves &&
         Kind == t.Kind && Mode == t.Mode;
}

bool FNCT::operator==(const FNCT& f) const {
  if (FunctionClass != f.FunctionClass)
    return false;
  if (FunctionClass == PictureLayer &&
      (PictureMapping != f.PictureMapping || PictureMode != f.PictureMode || PictureFlag1 != f.PictureFlag1 ||
       PictureFlag2 != f.PictureFlag2 || PictureOffsetU != f.PictureOffsetU || PictureOffsetV != f.PictureOffsetV ||
       !(Picture == f.Picture)))
    return false;
  if (Kind != f.Kind)
    return false;
  if (Kind != 0 && (Origin.x != f.Origin.x || Origin.y != f.Origin.y || !Near(Scale.x, f.Scale.x) ||
                    !Near(Scale.y, f.Scale.y) || !Near(Amplitude, f.Amplitude)))
    return false;
  if (FunctionClass == ProceduralLayer &&
      (Origin.z != f.Origin.z || !Near(Scale.z, f.Scale.z) || Fractal != f.Fractal || Octaves != f.Octaves ||
       OctaveMode != f.OctaveMode || Lacunarity != f.Lacunarity || Gain != f.Gain))
    return false;
  return Rotate == f.Rotate && Rotation == f.Rotation && Perturb == f.Perturb && Turbulence == f.Turbulence &&
         Filter == f.Filter && HostValue1 == f.HostValue1 && HostValue2 == f.HostValue2 && Offset == f.Offset;
}

Fonction3D::Fonction3D() : Layers(2, 0) {
  Options forMaterials;
  GetDefaultOptions(DefaultOptions, forMaterials);
  Layers.Add(FNCT());
}

Fonction3D::Fonction3D(const Fonction3D& other) : Fonction3D() { *this = other; }

Fonction3D::~Fonction3D() {
  delete SubFunction1;
  delete SubFunction2;
  delete SubFilter1;
  delete SubFilter2;
}

void Fonction3D::RAZ() { *this = Fonction3D(); }

Fonction3D& Fonction3D::operator=(const Fonction3D& other) {
  if (this == &other)
    return *this;
  DefaultOptions = other.DefaultOptions;
  Normalisation = other.Normalisation;
  HostSetting = other.HostSetting;
  CombineMode = other.CombineMode;
  Composition = other.Composition;
  // Copies first: the source may be one of this function's own sub-functions.
  Fonction3D* function1 = CopyOf(other.SubFunction1);
  Fonction3D* function2 = CopyOf(other.SubFunction2);
  FiltreNumerique* filter1 = CopyOf(other.SubFilter1);
  FiltreNumerique* filter2 = CopyOf(other.SubFilter2);
  Shape1 = other.Shape1;
  Shape2 = other.Shape2;
  Shape3 = other.Shape3;
  Shape4 = other.Shape4;
  Shape5 = other.Shape5;
  ShapeVector = other.ShapeVector;
  ShapeFlag = other.ShapeFlag;
  ShapeFlag2 = other.ShapeFlag2;
  ShapeFlag3 = other.ShapeFlag3;
  Layers = other.Layers;
  delete SubFunction1;
  delete SubFunction2;
  delete SubFilter1;
  delete SubFilter2;
  SubFunction1 = function1;
  SubFunction2 = function2;
  SubFilter1 = filter1;
  SubFilter2 = filter2;
  return *this;
}

bool Fonction3D::operator==(const Fonction3D& other) const {
  if (!Near(Normalisation, other.Normalisation) || CombineMode != other.CombineMode || Composition != other.Composition)
    return false;
  if (Composition == 1) {
    if (!SameOwned(SubFunction1, other.SubFunction1) || !SameOwned(SubFunction2, other.SubFunction2) ||
        !SameOwned(SubFilter1, other.SubFilter1) || !SameOwned(SubFilter2, other.SubFilter2))
      return false;
    if (ShapeFlag != other.ShapeFlag)
      return false;
    if (ShapeFlag &&
        (!Near(Shape1, other.Shape1) || !Near(Shape2, other.Shape2) || !Near(Shape3, other.Shape3) ||
         !Near(Shape4, other.Shape4) || !Near(Shape5, other.Shape5) || !(ShapeVector == other.ShapeVector) ||
         ShapeFlag2 != other.ShapeFlag2 || ShapeFlag3 != other.ShapeFlag3))
      return false;
  }
  if (Layers.Count() != other.Layers.Count())
    return false;
  return std::equal(Layers.begin(), Layers.end(), other.Layers.begin());
}
