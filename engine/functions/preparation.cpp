// Preparation of a function for a render: the owner's size and scene scale are folded
// into the layers and the amplitudes normalised; DePreparer restores the user's values.
#include <algorithm>
#include <cmath>

#include "engine/functions/fonction3d.h"

namespace {

constexpr float HugeScale = 1e19f;  // stands in for a division by a zero size

// The sum of the weights of a summed octave stack: 1 + |g| + ... + |g|^octaves. A negative
// octave count evaluates only the first octave, so it weighs 1.
float OctaveWeight(float gain, int octaves) {
  const int n = std::max(octaves, 0);
  const float g = std::fabs(gain);
  if (g == 1.0f)
    return static_cast<float>(n) + 1.0f;
  return (1.0f - std::pow(g, static_cast<float>(n) + 1.0f)) / (1.0f - g);
}

// One axis of a procedural layer's scale.
float ScaledBySize(float scale, float size) { return size != 0.0f ? size * 1.5f * scale : scale * HugeScale; }

float PictureScale(float scale, float size) { return ScaledBySize(10.0f * scale, size); }

}  // namespace

void Fonction3D::Preparer(VECFLOAT size, float scale) {
  PreparedSize = VECFLOAT(scale * size.x, scale * size.y, scale * size.z);
  layersPrepared = false;
  subFunctionsPrepared = false;
  if (Composition == 1) {
    if (!SubFunction1 || !SubFunction2 || !SubFilter1 || !SubFilter2)
      return;
    SubFunction1->Preparer(size, scale);
    SubFunction2->Preparer(size, scale);
    subFunctionsPrepared = true;
  }

  unpreparedLayers.Flush();
  unpreparedNormalisation = Normalisation;
  float amplitudes = 0.0f;
  for (FNCT& layer : Layers) {
    unpreparedLayers.Add(UnpreparedLayer{layer.Origin, layer.Scale, layer.Amplitude, layer.Turbulence.Frequency});
    if (scale != 0.0f) {
      layer.Origin.x *= scale;
      layer.Origin.y *= scale;
      layer.Origin.z *= scale;
    }
    if (layer.Perturb && std::fabs(scale) > 1e-8f)
      layer.Turbulence.Frequency /= scale;
    if (layer.FunctionClass == PictureLayer) {
      const int mapping = layer.PictureMapping;
      if (mapping == 0 || mapping == 1) {
        layer.Scale.x = PictureScale(layer.Scale.x, size.x);
        layer.Origin.x -= layer.Scale.x * 0.5f;
        layer.Origin.z -= layer.Scale.x * 0.5f;
      }
      if (mapping == 0 || mapping == 1 || mapping == 2 || mapping == 5) {
        layer.Scale.y = PictureScale(layer.Scale.y, size.y);
        layer.Origin.y -= layer.Scale.y * 0.5f;
        if (mapping == 2 || mapping == 5)
          layer.Origin.z -= layer.Scale.y * 0.5f;
      }
    } else {
      layer.Scale.x = ScaledBySize(layer.Scale.x, size.x);
      layer.Scale.y = ScaledBySize(layer.Scale.y, size.y);
      layer.Scale.z = ScaledBySize(layer.Scale.z, size.z);
    }
    if (layer.Kind != 0) {
      amplitudes += std::fabs(layer.Amplitude);
      if (layer.Fractal && layer.OctaveMode == 0)
        layer.Amplitude /= OctaveWeight(layer.Gain, layer.Octaves);
    }
  }

  if (Normalisation == 0.0f)
    Normalisation = 1e-8f;
  float factor = Normalisation;
  if (amplitudes != 0.0f) {
    if (CombineMode == 0)
      factor = Normalisation / amplitudes;
    for (FNCT& layer : Layers)
      layer.Amplitude *= factor;
  }
  Normalisation = factor;
  layersPrepared = true;
}

void Fonction3D::DePreparer(VECFLOAT size, float scale) {
  // The values kept by Preparer are put back as they were, so that no rounding of the
  // inverse arithmetic creeps into the user's values render after render.
  if (layersPrepared) {
    const int count = std::min(Layers.Count(), unpreparedLayers.Count());
    for (int i = 0; i < count; i++) {
      FNCT& layer = Layers.begin()[i];
      const UnpreparedLayer& kept = unpreparedLayers.begin()[i];
      layer.Origin = kept.Origin;
      layer.Scale = kept.Scale;
      layer.Amplitude = kept.Amplitude;
      layer.Turbulence.Frequency = kept.Frequency;
    }
    Normalisation = unpreparedNormalisation;
    unpreparedLayers.Flush();
    layersPrepared = false;
  }
  if (subFunctionsPrepared && SubFunction1 && SubFunction2) {
    SubFunction1->DePreparer(size, scale);
    SubFunction2->DePreparer(size, scale);
  }
  subFunctionsPrepared = false;
}
