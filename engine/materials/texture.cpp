#include "engine/materials/texture.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "engine/functions/noise_basis.h"
#include "engine/images/picture_mapping.h"
#include "engine/objects/aggregates.h"
#include "engine/objects/object.h"
#include "engine/scene/landscape.h"
#include "engine/scene/release_callbacks.h"

namespace {

Options DefaultMaterialOptions() {
  Options forFunctions, forMaterials;
  GetDefaultOptions(forFunctions, forMaterials);
  return forMaterials;
}

bool Within(float a, float b, float tolerance) { return std::fabs(a - b) <= tolerance; }

bool Within(const VECFLOAT& a, const VECFLOAT& b, float tolerance) {
  return Within(a.x, b.x, tolerance) && Within(a.y, b.y, tolerance) && Within(a.z, b.z, tolerance);
}

// Walks the materials reachable from `material`, never entering one already on the path.
bool Contains(const Texture* material, const Texture* wanted, std::vector<const Texture*>& path) {
  if (!material)
    return false;
  if (material == wanted)
    return true;
  for (const Texture* seen : path)
    if (seen == material)
      return false;
  path.push_back(material);
  bool found = false;
  if (material->MaterialKind == MixedMaterial)
    found = Contains(material->Material1, wanted, path) || Contains(material->Material2, wanted, path);
  if (!found)
    found = Contains(material->Transparency.Interior, wanted, path);
  path.pop_back();
  return found;
}

// The world box of every object (looking through aggregates) that uses material `index`.
void IncludeObjectsUsing(BasicObject* object, unsigned index, TBoundingBox& box, bool& any) {
  if (!object)
    return;
  if (auto* aggregate = dynamic_cast<TAggregate*>(object)) {
    ObjectsList* children = aggregate->GetPointerToList();
    if (children)
      for (int i = children->LowerBound(); i < children->LowerBound() + children->Count(); i++)
        IncludeObjectsUsing((*children)[i], index, box, any);
    return;
  }
  auto* solid = dynamic_cast<TObject3D*>(object);
  if (!solid || solid->material != index)
    return;
  solid->IncludeObjectInBox(box, false, true);
  any = true;
}

// A point displaced by a turbulence record: octaves of the vector gradient noise.
VECTEUR TurbulenceDisplacement(const VECTEUR& point, const TurbParams& t) {
  if (t.Kind == 0 || t.Frequency == 0.0f || t.Ratio == 0.0f)
    return VECTEUR();
  float x = static_cast<float>(point.x) * t.Frequency;
  float y = static_cast<float>(point.y) * t.Frequency;
  float z = static_cast<float>(point.z) * t.Frequency;
  float w = 1.0f / t.Frequency;
  const float r = 1.0f / t.Ratio;
  VECTEUR sum = VectorGradientNoise(x, y, z) * w;
  for (int octave = 2; octave <= t.Octaves; octave++) {
    x *= r;
    y *= r;
    z *= r;
    w *= t.Ratio;
    sum += VectorGradientNoise(x, y, z) * w;
  }
  return sum;
}

}  // namespace

bool FoundThisTexture(const Texture* material, const Texture* wanted) {
  std::vector<const Texture*> path;
  return Contains(material, wanted, path);
}

// Construction, copy, equality ----------------------------------------------

Texture::Texture() {
  DefaultOptions = DefaultMaterialOptions();
  std::memset(Name, 0, sizeof(Name));
  std::strncpy(Name, "Material", sizeof(Name) - 1);
  Colours.Flush();
  Colours.Add(VALCLR(0, CLR(0, 0, 0)));
  Colours.Add(VALCLR(10000, CLR(255, 255, 255)));
  CycleSettings.CycleBlend = 0.8f;
  CycleSettings.CycleFrequency = 0.05f;
  Transparency.Owner = this;
}

Texture::Texture(const Texture& other) : MaterialFields(other) { Transparency.Owner = this; }

Texture& Texture::operator=(const Texture& other) {
  if (this != &other) {
    // Through a whole copy first: the source may live inside one of this material's own.
    MaterialFields::operator=(MaterialFields(other));
    Transparency.Owner = this;
  }
  return *this;
}

SurfaceHitFlags HitFlagsOf(const Texture* material) {
  SurfaceHitFlags flags;
  if (material) {
    flags.castsShadows = material->CastsShadows;
    flags.surfaceFlag1 = material->SurfaceFlag1;
  }
  return flags;
}

float TransparencyOf(const Texture* material, ImpactInfo& hit, TObject3D* object) {
  return material ? material->ExtraireTransparence(hit, object) : 0.0f;
}

void ReleaseMaterial(Texture* material) {
  if (ReleaseMaterialCallback callback = InstalledReleaseMaterial())
    callback(material);
  else
    delete material;
}

Texture* MaterialOwnership::Copy(const Texture& source) { return new Texture(source); }

void MaterialOwnership::Release(Texture* material) { ReleaseMaterial(material); }

bool Texture::operator==(const Texture& other) const {
  if (MaterialKind != other.MaterialKind || !(ColourFunction == other.ColourFunction) ||
      !Within(ColourScale, other.ColourScale, 1e-5f) || !Within(MaterialScale, other.MaterialScale, 1e-5f) ||
      CastsShadows != other.CastsShadows || SurfaceFlag1 != other.SurfaceFlag1 || SurfaceFlag2 != other.SurfaceFlag2 ||
      SurfaceFlag3 != other.SurfaceFlag3 || MixWorldNormal != other.MixWorldNormal ||
      WorldCoordinates != other.WorldCoordinates)
    return false;
  if (MaterialKind == SimpleMaterial) {
    if (ColourSource != other.ColourSource)
      return false;
    if (ColourSource == 1 && (PictureFlag1 != other.PictureFlag1 || PictureFlag2 != other.PictureFlag2 ||
                              !(Picture == other.Picture) || PictureMapping != other.PictureMapping ||
                              !(PictureOrigin == other.PictureOrigin) || PictureOffsetU != other.PictureOffsetU ||
                              PictureOffsetV != other.PictureOffsetV || PictureMode != other.PictureMode))
      return false;
    if (!(Specular == other.Specular) || !(Transparency == other.Transparency) || !(Reflection == other.Reflection) ||
        !(ColourFilter == other.ColourFilter) || !(Colours == other.Colours))
      return false;
    if (!Within(BumpScale, other.BumpScale, 1e-5f) || !Within(BumpDepth, other.BumpDepth, 1e-5f))
      return false;
    if (Rotate != other.Rotate || !(Rotation == other.Rotation) || Perturb != other.Perturb ||
        !(Turbulence == other.Turbulence) || Cycle != other.Cycle || !(CycleSettings == other.CycleSettings) ||
        Diffuse != other.Diffuse || Ambient != other.Ambient || LightThreshold != other.LightThreshold ||
        LightSlope != other.LightSlope || SurfaceFlag4 != other.SurfaceFlag4)
      return false;
    if (BumpDepth != 0.0f && (!(BumpFunction == other.BumpFunction) || !(BumpFilter == other.BumpFilter)))
      return false;
  } else {
    if ((Material1 == nullptr) != (other.Material1 == nullptr) ||
        (Material2 == nullptr) != (other.Material2 == nullptr))
      return false;
    if (Material1 && !(*Material1 == *other.Material1))
      return false;
    if (Material2 && !(*Material2 == *other.Material2))
      return false;
    if (EnvironmentInfluence != other.EnvironmentInfluence)
      return false;
    if (EnvironmentInfluence && (MixThreshold != other.MixThreshold || MixWidth != other.MixWidth ||
                                 !Within(SlopeInfluence, other.SlopeInfluence, 1e-5f) ||
                                 !Within(AltitudeInfluence, other.AltitudeInfluence, 1e-5f) ||
                                 !Within(OrientationInfluence, other.OrientationInfluence, 1e-5f) ||
                                 !(PreferredDirection == other.PreferredDirection) ||
                                 InvertSlope != other.InvertSlope || AltitudeAbove != other.AltitudeAbove))
      return false;
  }
  return TransitionMode == other.TransitionMode;
}

// Preparation ----------------------------------------------------------------

bool Texture::Preparer(TPaysage* landscape, TArray<TObject3D*>* objects, float scale) {
  if (preparing)
    return false;  // reached again during its own preparation: the material contains itself
  if (prepared)
    DePreparer(scale);  // prepared twice without a render in between: start from the user's values
  preparing = true;
  user.MaterialScale = MaterialScale;
  user.TurbulenceFrequency = Turbulence.Frequency;
  user.BumpDepth = BumpDepth;
  user.AltitudeInfluence = AltitudeInfluence;
  user.Refraction = Transparency.Refraction;
  user.ColourScale = ColourScale;
  user.PictureOrigin = PictureOrigin;
  user.PictureScale = PictureScale;
  user.AltitudeMax = AltitudeMax;
  user.AltitudeMin = AltitudeMin;
  user.AltitudeHalfRange = AltitudeHalfRange;
  user.BumpKind = BumpFunction.Layers.IsEmpty() ? 0 : BumpFunction.Layers[BumpFunction.Layers.LowerBound()].Kind;
  prepared = true;

  // 1-2. Scene scale.
  if (SurfaceFlag2)
    Transparency.Refraction = 1.0f;
  MaterialScale *= scale;
  if (MaterialScale == 0.0f)
    MaterialScale = 100000.0f;
  if (Perturb && MaterialScale > 1e-9f)
    Turbulence.Frequency /= MaterialScale;
  PictureScale = VECFLOAT(MaterialScale, MaterialScale, MaterialScale);
  PictureOrigin = VECFLOAT(0.0f, 0.0f, 0.0f);

  // 3. Colour function, or the picture's size for a picture-coloured simple material.
  colourFunctionPrepared = !(MaterialKind == SimpleMaterial && ColourSource == 1);
  if (colourFunctionPrepared) {
    ColourFunction.Preparer(ColourScale, MaterialScale);
  } else {
    auto size = [this](float s) { return s == 0.0f ? 1e20f * MaterialScale : MaterialScale * 15.0f * s; };
    if (PictureMapping == 0 || PictureMapping == 1) {
      ColourScale.x = size(ColourScale.x);
      ColourScale.y = size(ColourScale.y);
      PictureOrigin.x += ColourScale.x * 0.5f;
      PictureOrigin.z += ColourScale.x * 0.5f;
      PictureOrigin.y += ColourScale.y * 0.5f;
    } else if (PictureMapping == 2 || PictureMapping == 5) {
      ColourScale.y = size(ColourScale.y);
      PictureOrigin.z += ColourScale.y * 0.5f;
    }
    if (ColourScale.x == 0.0f)
      ColourScale.x = 1e19f;
    if (ColourScale.y == 0.0f)
      ColourScale.y = 1e19f;
  }

  // 4. Bump; a zero depth switches the first bump layer off for the render.
  BumpFunction.Preparer(BumpScale, MaterialScale);
  bumpSwitchedOff = false;
  if (BumpDepth == 0.0f && !BumpFunction.Layers.IsEmpty()) {
    FNCT& first = BumpFunction.Layers[BumpFunction.Layers.LowerBound()];
    BumpDepth = (static_cast<float>(first.Kind) + 1.0f) * 1e8f;
    first.Kind = 0;
    bumpSwitchedOff = true;
  }
  BumpDepth = BumpDepth * MaterialScale * 1.5f;

  // 5. Response records and the interior material.
  Specular.Function.Preparer(Specular.FunctionScale, MaterialScale);
  Transparency.Function.Preparer(Transparency.FunctionScale, MaterialScale);
  Reflection.Function.Preparer(Reflection.FunctionScale, MaterialScale);
  bool ok = true;
  if (Transparency.Interior) {
    if (FoundThisTexture(Transparency.Interior, this) || !Transparency.Interior->Preparer(landscape, objects, scale))
      ok = false;
  }

  // 6. Mixed material: the altitude range of the objects that use it, then both materials.
  // A material nested in other materials is used by the objects of every landscape
  // material that holds it, so those objects give its range.
  if (MaterialKind == MixedMaterial) {
    if (EnvironmentInfluence) {
      TBoundingBox box;
      bool any = false;
      if (landscape && landscape->Materials && objects) {
        const TArray<Texture*>& materials = *landscape->Materials;
        for (int index = materials.LowerBound(); index < materials.LowerBound() + materials.Count(); index++) {
          if (!FoundThisTexture(materials[index], this))
            continue;
          for (int i = objects->LowerBound(); i < objects->LowerBound() + objects->Count(); i++)
            IncludeObjectsUsing((*objects)[i], static_cast<unsigned>(index - materials.LowerBound()), box, any);
        }
      }
      AltitudeMin = any ? static_cast<float>(box.min.z) : 0.0f;
      AltitudeMax = any ? static_cast<float>(box.max.z) : 1.0f;
      const float height = AltitudeMax - AltitudeMin;
      AltitudeHalfRange = height > 0.0f ? height * 0.5f : 0.5f;
      AltitudeInfluence /= AltitudeHalfRange;
    }
    if (!Material1 || !Material2 || FoundThisTexture(Material1, this) || FoundThisTexture(Material2, this)) {
      ok = false;
    } else {
      const bool first = Material1->Preparer(landscape, objects, scale);
      const bool second = Material2 != Material1 && Material2->Preparer(landscape, objects, scale);
      ok = ok && first && (second || Material2 == Material1);
    }
  }
  preparing = false;
  return ok;
}

void Texture::DePreparer(float scale) {
  (void)scale;  // the user's values are restored exactly rather than recomputed
  if (!prepared || preparing)
    return;
  preparing = true;
  if (MaterialKind == MixedMaterial) {
    if (Material1)
      Material1->DePreparer(scale);
    if (Material2)
      Material2->DePreparer(scale);
  }
  if (Transparency.Interior)
    Transparency.Interior->DePreparer(scale);
  Reflection.Function.DePreparer(Reflection.FunctionScale, MaterialScale);
  Transparency.Function.DePreparer(Transparency.FunctionScale, MaterialScale);
  Specular.Function.DePreparer(Specular.FunctionScale, MaterialScale);
  if (bumpSwitchedOff && !BumpFunction.Layers.IsEmpty())
    BumpFunction.Layers[BumpFunction.Layers.LowerBound()].Kind = user.BumpKind;
  BumpFunction.DePreparer(BumpScale, MaterialScale);
  if (colourFunctionPrepared)
    ColourFunction.DePreparer(ColourScale, MaterialScale);
  MaterialScale = user.MaterialScale;
  Turbulence.Frequency = user.TurbulenceFrequency;
  BumpDepth = user.BumpDepth;
  AltitudeInfluence = user.AltitudeInfluence;
  Transparency.Refraction = user.Refraction;
  ColourScale = user.ColourScale;
  PictureOrigin = user.PictureOrigin;
  PictureScale = user.PictureScale;
  AltitudeMax = user.AltitudeMax;
  AltitudeMin = user.AltitudeMin;
  AltitudeHalfRange = user.AltitudeHalfRange;
  bumpSwitchedOff = false;
  prepared = false;
  preparing = false;
}

// Evaluation ----------------------------------------------------------------

void Texture::ExtraireCouleurMatiere(const VECTEUR& point, const VECTEUR& normal, CLRINT& colour,
                                     BasicObject* object) const {
  if (ColourSource != 0) {
    ExtraireCouleurBitmap(point, normal, colour, object);
    return;
  }
  const float v = ColourFunction.ExtraireFonction(point, normal, object, WorldCoordinates);
  const float f = ExtraireFiltre(v * 10000.0f, &ColourFilter);
  ExtraireCouleur(ToIntInRange(f * 10000.0f, -100000, 100000), &Colours, colour);
}

void Texture::ExtraireCouleurBitmap(const VECTEUR& point, const VECTEUR& normal, CLRINT& colour,
                                    BasicObject* object) const {
  const PictureHost host = PictureHostOf(object);
  const VECTEUR q = WorldCoordinates ? point - host.centre : point;
  PictureCoordinates c =
      MapToPicture(PictureMapping, host.type, q, normal, ColourScale.x, ColourScale.y, PictureOrigin, PictureScale);
  if (PictureOffsetU != 0 && Picture.Width > 0)
    c.u -= static_cast<double>(PictureOffsetU) / Picture.Width;
  if (PictureOffsetV != 0 && Picture.Height > 0)
    c.v -= static_cast<double>(PictureOffsetV) / Picture.Height;
  colour = SamplePictureColour(Picture, PictureMode, PictureFlag1, PictureFlag2, c.u, c.v);
}

void Texture::AppliquerDeplacements(VECTEUR& point) const {
  if (Cycle) {
    const float f = CycleSettings.CycleFrequency;
    const VECTEUR w = VectorGradientNoise(static_cast<float>(point.x) * f, static_cast<float>(point.y) * f,
                                          static_cast<float>(point.z) * f);
    const double b = CycleSettings.CycleBlend;
    point = w * (1.0 - b) + point * b;
  }
  if (Perturb)
    point += TurbulenceDisplacement(point, Turbulence) * static_cast<double>(Turbulence.Amplitude);
  if (Rotate)
    point = Rotation * point;
}

float Texture::MixValue(const VECTEUR& point, const VECTEUR& normal, BasicObject* object, bool environment) const {
  float m = ExtraireFiltre(10000.0f * ColourFunction.ExtraireFonction(point, normal, object, WorldCoordinates),
                           &ColourFilter);
  if (environment && EnvironmentInfluence) {
    const float nz = static_cast<float>(normal.z);
    const float s = InvertSlope ? 1.0f - nz : nz;
    const float z = static_cast<float>(point.z);
    const float a = AltitudeAbove ? (z - AltitudeMin) - AltitudeHalfRange : (AltitudeMax - z) - AltitudeHalfRange;
    m += a * AltitudeInfluence + s * SlopeInfluence;
    if (std::fabs(nz) < 0.99999f) {
      const double horizontal = std::sqrt(normal.x * normal.x + normal.y * normal.y);
      if (horizontal > 0.0)
        m += static_cast<float>(OrientationInfluence *
                                (normal.x * PreferredDirection.x + normal.y * PreferredDirection.y) / horizontal);
    }
  }
  return m;
}

int Texture::ExtraireBrillance(const VECTEUR& point, const VECTEUR& normal, const VECTEUR& toLight, BasicObject* object,
                               float f) const {
  const float c = static_cast<float>(Dot(normal, toLight));
  return Specular.ExtraireBrillance(point, normal, c, object, WorldCoordinates, f);
}

float Texture::Eclairement(float x) const {
  if (x >= LightThreshold)
    return 1.0f;
  const float v = 1.0f - (LightThreshold - x) * LightSlope;
  return v < 0.0f ? 0.0f : v;
}

float Texture::ExtraireTransparence(ImpactInfo& hit, TObject3D* object) const {
  const VECTEUR point = WorldCoordinates ? hit.worldPoint : hit.objectPoint;
  if (MaterialKind == MixedMaterial) {
    const VECTEUR n = MixWorldNormal ? hit.worldNormal : hit.objectNormal;
    const float m = MixValue(point, n, object, false);
    const float a = Material1 ? Material1->ExtraireTransparence(hit, object) : 0.0f;
    if (m < MixThreshold)
      return a;
    const float b = Material2 ? Material2->ExtraireTransparence(hit, object) : 0.0f;
    if (m >= MixThreshold + MixWidth || MixWidth <= 0.0f)
      return b;
    const float t = (m - MixThreshold) / MixWidth;
    const float s = t * t * (3.0f - 2.0f * t);
    return a + (b - a) * s;
  }
  VECTEUR p = point;
  AppliquerDeplacements(p);
  float second;
  return Transparency.ExtraireTransparence(p, hit.worldNormal, second, object, WorldCoordinates);
}
