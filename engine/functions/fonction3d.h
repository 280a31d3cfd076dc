// Fonction3D: a layered procedural function of space with values in [0, 1]. Each layer
// (FNCT) is one of 45 procedural kinds (noise, cellular patterns, waves, shapes) or a
// picture, shaped by origin, scale, rotation, an optional octave sum, turbulence, a
// filter curve and an amplitude; the layers are combined by one of ten modes.
#pragma once

#include <cstdint>

#include "engine/functions/filter.h"
#include "engine/functions/key_array.h"
#include "engine/functions/options.h"
#include "engine/geometry/matrix.h"
#include "engine/geometry/vectors.h"
#include "engine/images/image.h"
#include "engine/platform/owned.h"

class BasicObject;
class Fonction3D;

#pragma pack(push, 1)

// Turbulence: the displacement of the point before a layer is evaluated.
struct TurbParams {
  float Amplitude = 0.25f;  // scales the displacement vector
  float Frequency = 0.5f;   // the point is multiplied by it; the first octave weighs its inverse
  float Ratio = 0.5f;       // per further octave the point is divided by it, the weight multiplied
  int16_t Octaves = 2;      // octave 1 plus octaves 2..Octaves
  int32_t Kind = 1;         // the procedural kind of the displacement (layer kinds)
  int32_t Mode = 1;         // how the octaves combine (layer octave modes)

  TurbParams() = default;
  TurbParams(const TurbParams& t) = default;
  TurbParams& operator=(const TurbParams& t) = default;
  // Frequency within 1e-5, every other field exactly.
  bool operator==(const TurbParams& t) const;
};

// Layer classes.
constexpr int32_t ProceduralLayer = 0;
constexpr int32_t PictureLayer = 1;

// One layer of a function.
struct FNCT {
  int32_t FunctionClass = ProceduralLayer;  // 0 procedural, 1 picture, other: the layer yields 0
  int32_t PictureMapping = 6;               // how a point maps to picture coordinates
  int32_t PictureMode = 1;                  // passed to the picture sampler
  Image Picture;                            // the picture of a picture layer
  int32_t PictureOffsetU = 0;               // pixel offsets subtracted from the mapped coordinates
  int32_t PictureOffsetV = 0;
  bool PictureFlag1 = false;  // passed to the picture sampler
  bool PictureFlag2 = false;
  uint8_t Kind = 0;  // procedural kind 0..44
  VECFLOAT Origin{0.0f, 0.0f, 0.0f};
  VECFLOAT Scale{1.0f, 1.0f, 1.0f};
  float Amplitude = 1.0f;
  bool Fractal = false;  // adds Octaves further octaves
  int32_t Octaves = 2;
  int32_t OctaveMode = 1;   // how the octaves combine, 0..9
  float Lacunarity = 2.0f;  // the point is multiplied by it at every octave
  float Gain = 0.5f;        // the octave weight is multiplied by it at every octave
  bool Rotate = false;
  Matrix Rotation;  // applied to the point first when Rotate is set
  bool Perturb = false;
  TurbParams Turbulence;
  FiltreNumerique Filter;   // its Bypass flag skips clamping and filtering
  float HostValue1 = 0.0f;  // kept, copied and compared for the host
  float HostValue2 = 1.0f;
  float Offset = 0.0f;  // added to the layer's value when the layers are combined

  FNCT() = default;
  FNCT(const FNCT& f) = default;
  FNCT& operator=(const FNCT& f) = default;
  // Picture settings only when this layer is a picture layer; origin and scale in x and y
  // and the amplitude only for a non-empty kind; origin and scale in z and the octave
  // settings only when this layer is procedural.
  bool operator==(const FNCT& f) const;
};

// The fields of a function, which copy member-wise. Fonction3D adds its preparation
// state, which a copy does not take over.
struct FunctionFields {
  KeyArray<FNCT> Layers{2, 0};  // evaluated in index order
  float Normalisation = 1.0f;
  int16_t HostSetting = 100;
  Options DefaultOptions;   // preview settings
  int32_t CombineMode = 0;  // how the layers combine, 0..9
  int32_t Composition = 0;  // 1: composed from the two sub-functions (for the host)
  Owned<Fonction3D> SubFunction1;
  Owned<Fonction3D> SubFunction2;
  Owned<FiltreNumerique> SubFilter1;
  Owned<FiltreNumerique> SubFilter2;
  float Shape1 = 0.449f, Shape2 = 0.1f, Shape3 = 0.5f, Shape4 = 0.5f, Shape5 = 0.5f;
  VECFLOAT ShapeVector{1.0f, 0.0f, 0.0f};
  bool ShapeFlag = false;  // compare the composition settings
  bool ShapeFlag2 = false;
  bool ShapeFlag3 = true;
};

class Fonction3D : public FunctionFields {
 public:
  // One default layer, with room for two; the process-wide default options for functions.
  Fonction3D();
  // Deep copies of everything but the preparation state, which the target keeps (hand
  // written for that, and because the source may live inside this function's own
  // sub-functions).
  Fonction3D(const Fonction3D& other) : FunctionFields(other) {}
  Fonction3D& operator=(const Fonction3D& other);

  // Back to the defaults.
  void RAZ();
  // Normalisation within 1e-5, modes equal, the composition parts when this function is
  // composed, then every layer in order.
  bool operator==(const Fonction3D& other) const;

  // The value at a point, in [0, 1]. The normal and the object matter to picture layers only.
  float ExtraireFonction(float x, float y, float z, VECTEUR normal, BasicObject* object, bool useObject) const;
  float ExtraireFonction(VECTEUR point, VECTEUR normal, BasicObject* object, bool useObject) const;
  float ExtraireFonction(float x, float y, float z, float nx, float ny, float nz, BasicObject* object,
                         bool useObject) const;
  // The values at `count` points (at most MaxPointsAtOnce), each exactly as
  // ExtraireFonction gives it, with each layer's kind chosen once for all of them (a bump's
  // finite differences).
  static constexpr int MaxPointsAtOnce = 4;
  void ExtraireFonctions(const VECTEUR* points, int count, VECTEUR normal, BasicObject* object, bool useObject,
                         float* values) const;

  // Folds the owner's size and scale into the layers and normalises the amplitudes for a
  // render; DePreparer, with the same arguments, restores the values the user entered.
  void Preparer(VECFLOAT size, float scale);
  void DePreparer(VECFLOAT size, float scale);

  // size * scale while prepared.
  VECFLOAT PreparedSize;

 private:
  // The user's values of a layer, kept while the function is prepared.
  struct UnpreparedLayer {
    VECFLOAT Origin, Scale;
    float Amplitude = 0.0f;
    float Frequency = 0.0f;
  };
  KeyArray<UnpreparedLayer> unpreparedLayers{1, 0};
  float unpreparedNormalisation = 1.0f;
  bool layersPrepared = false;
  bool subFunctionsPrepared = false;
};

#pragma pack(pop)

static_assert(sizeof(Fonction3D) == 187);
