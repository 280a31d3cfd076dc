#include <gtest/gtest.h>

#include <cstring>

#include "engine/functions/fonction3d.h"
#include "engine/functions/noise.h"
#include "tests/printers.h"

namespace {

// A copy of a field of a packed record, so that no reference binds to it.
template <class T>
T Copy(T value) {
  return value;
}

FNCT Layer(int kind, float amplitude) {
  FNCT layer;
  layer.Kind = static_cast<uint8_t>(kind);
  layer.Amplitude = amplitude;
  return layer;
}

Fonction3D WithLayers(std::initializer_list<FNCT> layers) {
  Fonction3D f;
  f.Layers.Flush();
  for (const FNCT& layer : layers)
    f.Layers.Add(layer);
  return f;
}

// Bitwise equality of the fields preparation touches.
bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void ExpectSameLayers(const Fonction3D& a, const Fonction3D& b) {
  ASSERT_EQ(a.Layers.Count(), b.Layers.Count());
  EXPECT_TRUE(SameBits(a.Normalisation, b.Normalisation));
  for (int i = 0; i < a.Layers.Count(); i++) {
    const FNCT &x = a.Layers.begin()[i], &y = b.Layers.begin()[i];
    const float mine[8] = {x.Origin.x, x.Origin.y, x.Origin.z,  x.Scale.x,
                           x.Scale.y,  x.Scale.z,  x.Amplitude, x.Turbulence.Frequency};
    const float theirs[8] = {y.Origin.x, y.Origin.y, y.Origin.z,  y.Scale.x,
                             y.Scale.y,  y.Scale.z,  y.Amplitude, y.Turbulence.Frequency};
    for (int n = 0; n < 8; n++)
      EXPECT_TRUE(SameBits(mine[n], theirs[n]))
          << "layer " << i << " field " << n << ": " << mine[n] << " vs " << theirs[n];
  }
}

TEST(Preparation, AmplitudesAreNormalisedAndRestored) {
  Fonction3D f = WithLayers({Layer(1, 1.0f), Layer(5, 3.0f)});
  f.Preparer(VECFLOAT(1, 1, 1), 1.0f);
  EXPECT_EQ(Copy(f.Layers[0].Amplitude), 0.25f);
  EXPECT_EQ(Copy(f.Layers[1].Amplitude), 0.75f);
  EXPECT_EQ(Copy(f.Normalisation), 0.25f);  // the factor in force
  f.DePreparer(VECFLOAT(1, 1, 1), 1.0f);
  EXPECT_EQ(Copy(f.Layers[0].Amplitude), 1.0f);
  EXPECT_EQ(Copy(f.Layers[1].Amplitude), 3.0f);
  EXPECT_EQ(Copy(f.Normalisation), 1.0f);
}

TEST(Preparation, SummedOctaveStacksAreDividedByTheirWeight) {
  Fonction3D f = WithLayers({Layer(1, 1.0f)});
  FNCT& layer = f.Layers[0];
  layer.Fractal = true;
  layer.OctaveMode = 0;
  layer.Gain = 0.5f;
  layer.Octaves = 2;
  Fonction3D g = f;
  f.Preparer(VECFLOAT(1, 1, 1), 1.0f);
  EXPECT_FLOAT_EQ(Copy(f.Layers[0].Amplitude), 1.0f / 1.75f);
  // A gain of magnitude 1 weighs Octaves + 1; other octave modes are not divided.
  g.Layers[0].Gain = -1.0f;
  g.Layers.Add(g.Layers[0]);
  g.Layers[1].OctaveMode = 4;
  g.Preparer(VECFLOAT(1, 1, 1), 1.0f);
  EXPECT_FLOAT_EQ(Copy(g.Layers[0].Amplitude), 0.5f / 3.0f);
  EXPECT_FLOAT_EQ(Copy(g.Layers[1].Amplitude), 0.5f);
}

TEST(Preparation, NegativeOctaveCountsWeighOneOctave) {
  // The evaluation adds no octave for a negative count; the weight must not become 0.
  for (float gain : {0.5f, 1.0f, 2.0f}) {
    Fonction3D f = WithLayers({Layer(1, 1.0f)});
    f.Layers[0].Fractal = true;
    f.Layers[0].OctaveMode = 0;
    f.Layers[0].Octaves = -1;
    f.Layers[0].Gain = gain;
    f.Preparer(VECFLOAT(1, 1, 1), 1.0f);
    EXPECT_EQ(Copy(f.Layers[0].Amplitude), 1.0f) << gain;
  }
}

TEST(Preparation, EmptyLayersDoNotCountButAreScaled) {
  Fonction3D f = WithLayers({Layer(0, 5.0f), Layer(1, 2.0f)});
  f.Preparer(VECFLOAT(1, 1, 1), 1.0f);
  EXPECT_EQ(Copy(f.Layers[1].Amplitude), 1.0f);
  EXPECT_EQ(Copy(f.Layers[0].Amplitude), 2.5f);
  // With another combination mode the factor is the normalisation itself.
  Fonction3D g = WithLayers({Layer(1, 2.0f)});
  g.CombineMode = 4;
  g.Normalisation = 0.5f;
  g.Preparer(VECFLOAT(1, 1, 1), 1.0f);
  EXPECT_EQ(Copy(g.Layers[0].Amplitude), 1.0f);
  EXPECT_EQ(Copy(g.Normalisation), 0.5f);
}

TEST(Preparation, ZeroSumAndZeroNormalisationAreSubstituted) {
  Fonction3D f = WithLayers({Layer(0, 2.0f)});
  f.Normalisation = 0.0f;
  f.Preparer(VECFLOAT(1, 1, 1), 1.0f);
  EXPECT_EQ(Copy(f.Normalisation), 1e-8f);
  EXPECT_EQ(Copy(f.Layers[0].Amplitude), 2.0f);  // S = 0: amplitudes untouched
  f.DePreparer(VECFLOAT(1, 1, 1), 1.0f);
  EXPECT_EQ(Copy(f.Normalisation), 0.0f);
  // Zero normalisation with non-empty layers: tiny but finite amplitudes.
  Fonction3D g = WithLayers({Layer(1, 2.0f)});
  g.Normalisation = 0.0f;
  g.Preparer(VECFLOAT(1, 1, 1), 1.0f);
  EXPECT_FLOAT_EQ(Copy(g.Layers[0].Amplitude), 1e-8f);
}

TEST(Preparation, SizeAndSceneScaleAreFoldedIntoTheLayers) {
  Fonction3D f = WithLayers({Layer(1, 1.0f)});
  FNCT& layer = f.Layers[0];
  layer.Origin = VECFLOAT(1, -2, 4);
  layer.Scale = VECFLOAT(1, 2, 1);
  layer.Perturb = true;
  layer.Turbulence.Frequency = 0.5f;
  f.Preparer(VECFLOAT(2, 2, 0), 4.0f);
  EXPECT_EQ(f.Layers[0].Scale, VECFLOAT(3, 6, 1e19f));
  EXPECT_EQ(f.Layers[0].Origin, VECFLOAT(4, -8, 16));
  EXPECT_EQ(Copy(f.Layers[0].Turbulence.Frequency), 0.125f);
  EXPECT_EQ(f.PreparedSize, VECFLOAT(8, 8, 0));
  // A negligible scene scale leaves the frequency, a zero one the origin.
  Fonction3D g = WithLayers({Layer(1, 1.0f)});
  g.Layers[0].Origin = VECFLOAT(1, 1, 1);
  g.Layers[0].Perturb = true;
  g.Preparer(VECFLOAT(1, 1, 1), 0.0f);
  EXPECT_EQ(g.Layers[0].Origin, VECFLOAT(1, 1, 1));
  EXPECT_EQ(Copy(g.Layers[0].Turbulence.Frequency), 0.5f);
}

TEST(Preparation, PictureLayersScaleByTheirMapping) {
  FNCT flat = Layer(0, 1.0f);
  flat.FunctionClass = PictureLayer;
  flat.PictureMapping = 0;
  flat.Scale = VECFLOAT(1, 2, 5);
  flat.Origin = VECFLOAT(0, 0, 0);
  FNCT cylindrical = flat;
  cylindrical.PictureMapping = 2;
  FNCT other = flat;
  other.PictureMapping = 3;
  Fonction3D f = WithLayers({flat, cylindrical, other});
  f.Preparer(VECFLOAT(2, 4, 8), 1.0f);
  // Mapping 0: x and y scaled by 10 and by 1.5 size; origin x, z and y shifted by half.
  EXPECT_EQ(f.Layers[0].Scale, VECFLOAT(30, 120, 5));
  EXPECT_EQ(f.Layers[0].Origin, VECFLOAT(-15, -60, -15));
  // Mapping 2: only y; origin y and z shifted by half of it.
  EXPECT_EQ(f.Layers[1].Scale, VECFLOAT(1, 120, 5));
  EXPECT_EQ(f.Layers[1].Origin, VECFLOAT(0, -60, -60));
  // Other mappings: as they are.
  EXPECT_EQ(f.Layers[2].Scale, VECFLOAT(1, 2, 5));
  f.DePreparer(VECFLOAT(2, 4, 8), 1.0f);
  ExpectSameLayers(f, WithLayers({flat, cylindrical, other}));
}

TEST(Preparation, UnpreparingRestoresTheUsersValuesExactly) {
  FNCT a = Layer(38, 0.3f), b = Layer(1, 3.7f);
  a.Origin = VECFLOAT(0.1f, -7.3f, 1e-3f);
  a.Scale = VECFLOAT(0.7f, 1.3f, 0.0f);
  a.Perturb = true;
  a.Turbulence.Frequency = 0.37f;
  b.Fractal = true;
  b.OctaveMode = 0;
  b.Gain = 0.6f;
  b.Octaves = 5;
  Fonction3D f = WithLayers({a, b});
  f.Normalisation = 0.9f;
  const Fonction3D original = f;
  f.Preparer(VECFLOAT(0.3f, 1.7f, 0.0f), 0.37f);
  const Fonction3D prepared = f;
  f.DePreparer(VECFLOAT(0.3f, 1.7f, 0.0f), 0.37f);
  ExpectSameLayers(f, original);
  // Render after render the same prepared values.
  for (int render = 0; render < 3; render++) {
    f.Preparer(VECFLOAT(0.3f, 1.7f, 0.0f), 0.37f);
    ExpectSameLayers(f, prepared);
    f.DePreparer(VECFLOAT(0.3f, 1.7f, 0.0f), 0.37f);
  }
  ExpectSameLayers(f, original);
}

TEST(Preparation, ComposedFunctionsPrepareTheirPartsOrNothing) {
  Fonction3D f = WithLayers({Layer(1, 2.0f)});
  f.Composition = 1;
  f.SubFunction1 = new Fonction3D(WithLayers({Layer(1, 4.0f)}));
  f.SubFunction2 = new Fonction3D(WithLayers({Layer(2, 8.0f)}));
  f.SubFilter1 = new FiltreNumerique;
  // A missing sub-filter: only the prepared size changes.
  f.Preparer(VECFLOAT(1, 2, 3), 2.0f);
  EXPECT_EQ(f.PreparedSize, VECFLOAT(2, 4, 6));
  EXPECT_EQ(Copy(f.Layers[0].Amplitude), 2.0f);
  EXPECT_EQ(Copy(f.SubFunction1->Layers[0].Amplitude), 4.0f);
  f.DePreparer(VECFLOAT(1, 2, 3), 2.0f);
  EXPECT_EQ(Copy(f.Layers[0].Amplitude), 2.0f);

  f.SubFilter2 = new FiltreNumerique;
  f.Preparer(VECFLOAT(1, 2, 3), 2.0f);
  EXPECT_EQ(Copy(f.Layers[0].Amplitude), 1.0f);
  EXPECT_EQ(Copy(f.SubFunction1->Layers[0].Amplitude), 1.0f);
  EXPECT_EQ(Copy(f.SubFunction2->Layers[0].Amplitude), 1.0f);
  EXPECT_EQ(f.SubFunction2->Layers[0].Scale, VECFLOAT(1.5f, 3, 4.5f));
  f.DePreparer(VECFLOAT(1, 2, 3), 2.0f);
  EXPECT_EQ(Copy(f.SubFunction1->Layers[0].Amplitude), 4.0f);
  EXPECT_EQ(Copy(f.SubFunction2->Layers[0].Amplitude), 8.0f);
  EXPECT_EQ(f.SubFunction2->Layers[0].Scale, VECFLOAT(1, 1, 1));
}

TEST(Preparation, CopiesCarryNoPreparationState) {
  Fonction3D f = WithLayers({Layer(1, 2.0f)});
  f.Preparer(VECFLOAT(1, 1, 1), 1.0f);
  Fonction3D copy = f;
  copy.DePreparer(VECFLOAT(1, 1, 1), 1.0f);  // nothing to undo in the copy
  EXPECT_EQ(Copy(copy.Layers[0].Amplitude), 1.0f);
  f.DePreparer(VECFLOAT(1, 1, 1), 1.0f);
  EXPECT_EQ(Copy(f.Layers[0].Amplitude), 2.0f);
}

TEST(Preparation, APreparedFunctionEvaluatesAtTheScaledSize) {
  InitNoise();
  Fonction3D user = WithLayers({Layer(1, 1.0f)});
  Fonction3D prepared = user;
  prepared.Preparer(VECFLOAT(2, 2, 2), 1.0f);
  Fonction3D scaled = user;
  scaled.Layers[0].Scale = VECFLOAT(3, 3, 3);
  for (float x = -5.0f; x < 5.0f; x += 0.37f)
    ASSERT_EQ(prepared.ExtraireFonction(x, 0.5f * x, 1.0f, VECTEUR(), nullptr, false),
              scaled.ExtraireFonction(x, 0.5f * x, 1.0f, VECTEUR(), nullptr, false));
  FreeNoiseData();
}

}  // namespace
