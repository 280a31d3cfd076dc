#include "engine/functions/fonction3d.h"

#include <algorithm>
#include <cmath>

#include "engine/functions/noise_basis.h"

namespace {

inline bool Near(float a, float b) { return std::fabs(a - b) <= 1e-5f; }

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

Fonction3D::Fonction3D() {
  Options forMaterials;
  GetDefaultOptions(DefaultOptions, forMaterials);
  Layers.Add(FNCT());
}

void Fonction3D::RAZ() { *this = Fonction3D(); }

Fonction3D& Fonction3D::operator=(const Fonction3D& other) {
  // Through a whole copy first: the source may live inside one of this function's own.
  if (this != &other)
    FunctionFields::operator=(FunctionFields(other));
  return *this;
}

bool Fonction3D::operator==(const Fonction3D& other) const {
  if (!Near(Normalisation, other.Normalisation) || CombineMode != other.CombineMode || Composition != other.Composition)
    return false;
  if (Composition == 1) {
    if (!SameOwned(SubFunction1.get(), other.SubFunction1.get()) ||
        !SameOwned(SubFunction2.get(), other.SubFunction2.get()) ||
        !SameOwned(SubFilter1.get(), other.SubFilter1.get()) || !SameOwned(SubFilter2.get(), other.SubFilter2.get()))
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
