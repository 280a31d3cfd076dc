#include "engine/functions/fonction3d.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "engine/functions/noise.h"
#include "engine/functions/noise_basis.h"
#include "engine/objects/primitives.h"
#include "engine/scene/release_callbacks.h"
#include "tests/printers.h"

namespace {

// A copy of a field of a packed record, so that no reference binds to it.
template <class T>
T Copy(T value) {
  return value;
}

class Function : public ::testing::Test {
 protected:
  void SetUp() override { InitNoise(); }
  void TearDown() override { FreeNoiseData(); }
};

// A function of one layer of `kind` with amplitude 0.25 (combination mode 0), so that the
// layer value v can be read back from the result r = (0.25 v + 1) / 2.
Fonction3D OneLayer(int kind, float amplitude = 0.25f) {
  Fonction3D f;
  f.Layers[0].Kind = static_cast<uint8_t>(kind);
  f.Layers[0].Amplitude = amplitude;
  return f;
}

float Eval(const Fonction3D& f, float x, float y, float z) {
  return f.ExtraireFonction(x, y, z, VECTEUR(), nullptr, false);
}

float LayerValue(const Fonction3D& f, float x, float y, float z) { return (2.0f * Eval(f, x, y, z) - 1.0f) / 0.25f; }

// The value a one-layer function of amplitude 0.25 gives for a layer value v.
float ResultOf(float v) { return (0.25f * v + 1.0f) * 0.5f; }

FiltreNumerique LinearFilter(std::initializer_list<std::pair<int16_t, int16_t>> keys) {
  FiltreNumerique filter;
  filter.Bypass = false;
  filter.Keys.Flush();
  for (auto [position, value] : keys) {
    FILTRE key;
    key.Linear = FLTR(position, value);
    filter.Keys.Add(key);
  }
  return filter;
}

std::vector<std::array<float, 3>> RandomPoints(int count, float range, unsigned seed) {
  std::mt19937 generator(seed);
  std::uniform_real_distribution<float> coordinate(-range, range);
  std::vector<std::array<float, 3>> points(count);
  for (auto& p : points)
    p = {coordinate(generator), coordinate(generator), coordinate(generator)};
  return points;
}

TEST_F(Function, DefaultAndEmptyFunctionsYieldOneHalf) {
  Fonction3D f;
  EXPECT_EQ(f.Layers.Count(), 1);
  EXPECT_EQ(Eval(f, 1.5f, -2.0f, 7.0f), 0.5f);
  f.Layers.Flush();
  EXPECT_EQ(Eval(f, 1.5f, -2.0f, 7.0f), 0.5f);
  f.CombineMode = 2;
  EXPECT_EQ(Eval(f, 0, 0, 0), 0.5f);
}

TEST_F(Function, ConstantKindYieldsItsAmplitudeUnfilteredAndTheResultIsLimited) {
  Fonction3D f = OneLayer(17, 1.0f);
  f.Layers[0].Filter = LinearFilter({{0, 10000}, {10000, 0}});  // would invert a filtered value
  EXPECT_EQ(Eval(f, 3, 4, 5), 1.0f);
  f.Layers[0].Amplitude = -1.0f;
  EXPECT_EQ(Eval(f, 3, 4, 5), 0.0f);
  f.Layers[0].Amplitude = 3.0f;
  EXPECT_EQ(Eval(f, 3, 4, 5), 1.0f);
  f.Layers[0].Amplitude = -3.0f;
  EXPECT_EQ(Eval(f, 3, 4, 5), 0.0f);
  // Unknown kinds and layer classes yield 0 for the layer.
  f.Layers[0].Amplitude = 1.0f;
  f.Layers[0].FunctionClass = 2;
  EXPECT_EQ(Eval(f, 3, 4, 5), 0.5f);
  Fonction3D unknown = OneLayer(45, 1.0f);
  EXPECT_EQ(Eval(unknown, 3, 4, 5), 0.5f);
}

TEST_F(Function, LayersCombineByEachMode) {
  // Layer values 0.5 and -0.25 (constant kinds; the second by amplitude 0.25 and offset -0.5).
  const float expected[10] = {0.625f, 0.625f, 0.5625f, 0.625f, 0.75f, 0.375f, 0.75f, 0.375f, 0.59828125f, 0.64375f};
  for (int mode = 0; mode <= 10; mode++) {
    Fonction3D f = OneLayer(17, 0.5f);
    FNCT second;
    second.Kind = 17;
    second.Amplitude = 0.25f;
    second.Offset = -0.5f;
    f.Layers.Add(second);
    f.CombineMode = mode;
    EXPECT_FLOAT_EQ(Eval(f, 0, 0, 0), mode < 10 ? expected[mode] : 0.625f) << "mode " << mode;
  }
  // Below -1 the result is 0.
  Fonction3D low = OneLayer(17, -0.5f);
  low.Layers[0].Offset = -0.75f;
  EXPECT_EQ(Eval(low, 0, 0, 0), 0.0f);
}

TEST_F(Function, GradientLayerIsTheNoiseOfThePointMovedAndScaled) {
  Fonction3D f = OneLayer(1);
  f.Layers[0].Origin = VECFLOAT(1.5f, -2.0f, 0.25f);
  f.Layers[0].Scale = VECFLOAT(2.0f, 0.5f, 4.0f);
  for (const auto& p : RandomPoints(500, 30.0f, 5)) {
    const float expected = GradientNoise((p[0] - 1.5f) / 2.0f, (p[1] + 2.0f) / 0.5f, (p[2] - 0.25f) / 4.0f);
    ASSERT_FLOAT_EQ(Eval(f, p[0], p[1], p[2]), ResultOf(expected));
  }
}

TEST_F(Function, FractalOctavesAddWeightedNoiseAtGrowingFrequencies) {
  Fonction3D f = OneLayer(1);
  FNCT& layer = f.Layers[0];
  layer.Fractal = true;
  layer.Octaves = 3;
  layer.OctaveMode = 0;
  layer.Lacunarity = 2.5f;
  layer.Gain = 0.4f;
  for (const auto& p : RandomPoints(300, 20.0f, 6)) {
    float x = p[0], y = p[1], z = p[2];
    float v = GradientNoise(x, y, z), w = 1.0f;
    for (int octave = 0; octave < 3; octave++) {
      w *= 0.4f;
      x *= 2.5f;
      y *= 2.5f;
      z *= 2.5f;
      v += w * GradientNoise(x, y, z);
    }
    ASSERT_NEAR(Eval(f, p[0], p[1], p[2]), ResultOf(v), 1e-6f);
  }
}

TEST_F(Function, OctaveModesCombineAsWritten) {
  // The ball kind at x = 0.3 gives 1, then 1 at 0.6 and -1 at 1.2: octave terms 0.5 and -0.25.
  const float expected[10] = {1.25f, 1.25f, 1.25f, 1.25f, 1.0f, -0.25f, 1.0f, -0.25f, 1.23125f, 1.20125f};
  for (int mode = 0; mode <= 10; mode++) {
    Fonction3D f = OneLayer(24);
    f.Layers[0].Fractal = true;
    f.Layers[0].OctaveMode = mode;
    EXPECT_NEAR(LayerValue(f, 0.3f, 0, 0), mode < 10 ? expected[mode] : 1.25f, 1e-5f) << "mode " << mode;
  }
}

TEST_F(Function, ZeroOctavesLeaveTheBaseValueForEveryMode) {
  Fonction3D plain = OneLayer(1, 1e-4f);  // tiny values: (v + 1) - 1 would not give v back
  for (int mode = 0; mode <= 9; mode++) {
    Fonction3D f = plain;
    f.Layers[0].Fractal = true;
    f.Layers[0].Octaves = 0;
    f.Layers[0].OctaveMode = mode;
    for (const auto& p : RandomPoints(50, 10.0f, 7))
      ASSERT_EQ(Eval(f, p[0], p[1], p[2]), Eval(plain, p[0], p[1], p[2])) << "mode " << mode;
  }
}

TEST_F(Function, FilterClampsThenMapsTheLayerValue) {
  Fonction3D noise = OneLayer(1), inverted = OneLayer(1);
  inverted.Layers[0].Filter = LinearFilter({{0, 10000}, {10000, 0}});
  for (const auto& p : RandomPoints(300, 20.0f, 8)) {
    const float v = LayerValue(noise, p[0], p[1], p[2]);
    if (v >= -1.0f) {
      ASSERT_NEAR(LayerValue(inverted, p[0], p[1], p[2]), -v, 1e-4f);
    }
  }
  // A layer value of 1.25 (ball with octaves) is clamped to 1 before an identity filter.
  Fonction3D ball = OneLayer(24);
  ball.Layers[0].Fractal = true;
  EXPECT_NEAR(LayerValue(ball, 0.3f, 0, 0), 1.25f, 1e-6f);
  ball.Layers[0].Filter = LinearFilter({{0, 0}, {10000, 10000}});
  EXPECT_NEAR(LayerValue(ball, 0.3f, 0, 0), 1.0f, 1e-6f);
}

TEST_F(Function, PerturbationMovesThePointByTheTurbulence) {
  Fonction3D plain = OneLayer(1), shifted = OneLayer(1);
  FNCT& layer = shifted.Layers[0];
  layer.Perturb = true;
  layer.Turbulence.Amplitude = 0.75f;
  layer.Turbulence.Kind = 17;  // the constant kind displaces by (1, 1, 1)
  for (const auto& p : RandomPoints(200, 10.0f, 9))
    ASSERT_EQ(Eval(shifted, p[0], p[1], p[2]), Eval(plain, p[0] + 0.75f, p[1] + 0.75f, p[2] + 0.75f));
  layer.Turbulence.Kind = 0;  // no displacement
  EXPECT_EQ(Eval(shifted, 1.3f, 2.2f, 0.1f), Eval(plain, 1.3f, 2.2f, 0.1f));

  // Vector turbulence of one octave: p + A / F * VectorGradientNoise(F p).
  layer.Turbulence.Kind = 1;
  layer.Turbulence.Octaves = 1;
  layer.Turbulence.Frequency = 0.5f;
  for (const auto& p : RandomPoints(200, 10.0f, 10)) {
    const VECTEUR d = VectorGradientNoise(0.5f * p[0], 0.5f * p[1], 0.5f * p[2]);
    const float x = p[0] + 0.75f * static_cast<float>(2.0 * d.x), y = p[1] + 0.75f * static_cast<float>(2.0 * d.y),
                z = p[2] + 0.75f * static_cast<float>(2.0 * d.z);
    ASSERT_NEAR(Eval(shifted, p[0], p[1], p[2]), Eval(plain, x, y, z), 1e-5f);
  }
}

TEST_F(Function, RotationTurnsThePointFirst) {
  Fonction3D plain = OneLayer(38), turned = OneLayer(38);
  turned.Layers[0].Rotate = true;
  BuildRotationMatrix(turned.Layers[0].Rotation, 0, 0, 90);
  for (const auto& p : RandomPoints(200, 10.0f, 11)) {
    const Matrix m = turned.Layers[0].Rotation;
    const float x = m.m[0][0] * p[0] + m.m[0][1] * p[1] + m.m[0][2] * p[2];
    const float y = m.m[1][0] * p[0] + m.m[1][1] * p[1] + m.m[1][2] * p[2];
    const float z = m.m[2][0] * p[0] + m.m[2][1] * p[1] + m.m[2][2] * p[2];
    ASSERT_EQ(Eval(turned, p[0], p[1], p[2]), Eval(plain, x, y, z));
  }
}

TEST_F(Function, FlatKindsIgnoreZAndTheZScale) {
  for (int kind : {5, 10, 13, 19, 20}) {
    Fonction3D f = OneLayer(kind);
    Fonction3D g = f;
    g.Layers[0].Scale.z = 0.01f;
    for (const auto& p : RandomPoints(100, 10.0f, 12)) {
      ASSERT_EQ(Eval(f, p[0], p[1], p[2]), Eval(f, p[0], p[1], 3.0f * p[2] + 1.0f)) << "kind " << kind;
      ASSERT_EQ(Eval(f, p[0], p[1], p[2]), Eval(g, p[0], p[1], p[2])) << "kind " << kind;
    }
  }
}

TEST_F(Function, ShapeKindsAtKnownPoints) {
  // Octants: a coordinate at or below 0.00001 counts as negative.
  Fonction3D octants = OneLayer(22);
  EXPECT_EQ(LayerValue(octants, 0.00001f, 1, 1), -1.0f);
  EXPECT_EQ(LayerValue(octants, 0.0001f, 1, 1), 1.0f);
  EXPECT_EQ(LayerValue(octants, -1, -1, 1), 1.0f);
  // Cosine product and exponential ball at the origin; the cone ball at half radius.
  EXPECT_FLOAT_EQ(LayerValue(OneLayer(3), 0, 0, 0), 1.0f);
  EXPECT_FLOAT_EQ(LayerValue(OneLayer(26), 0, 0, 0), 1.0f);
  EXPECT_FLOAT_EQ(LayerValue(OneLayer(25), 0.5f, 0, 0), 0.0f);
  EXPECT_FLOAT_EQ(LayerValue(OneLayer(15), 0, 0, 0), 0.0f);  // sin(r)/r at r = 0 is taken as 0
  // Checker: sign changes every 2 units along an axis.
  EXPECT_EQ(LayerValue(OneLayer(2), 0.5f, 0.5f, 0.5f), 1.0f);
  EXPECT_EQ(LayerValue(OneLayer(2), 1.5f, 0.5f, 0.5f), -1.0f);
  // Triangle waves peak at 1 where 0.5 x has fraction 1/2.
  EXPECT_FLOAT_EQ(LayerValue(OneLayer(4), 1.0f, 1.0f, 1.0f), 1.0f);
  // Spherical waves take the unscaled point and the x and z scales as periods.
  Fonction3D waves = OneLayer(41);
  waves.Layers[0].Scale = VECFLOAT(0.5f, 7.0f, 0.25f);
  EXPECT_NEAR(LayerValue(waves, 1.0f, 2.0f, -0.5f), SphericalWaves(1.0f, 2.0f, -0.5f, 0.5f, 0.25f), 1e-5f);
  // Spots and cells read straight from the basis functions.
  EXPECT_NEAR(LayerValue(OneLayer(38), 3.1f, -2.7f, 0.4f), CrackCells(3.1f, -2.7f, 0.4f), 1e-5f);
  EXPECT_NEAR(LayerValue(OneLayer(43), 3.1f, -2.7f, 0.4f), InverseDistanceNoise(3.1f, -2.7f, 0.4f), 1e-5f);
}

TEST_F(Function, SpecialKindsSkipPartsOfTheTemplate) {
  // Strata without turbulence: 2 s^0.77 - 1 with s = (sin(1.1 z) + 1) / 2; no amplitude.
  Fonction3D strata = OneLayer(8, 5.0f);
  const float s = (std::sin(1.1f * 0.7f) + 1.0f) * 0.5f;
  const float strataValue = 2.0f * std::pow(s, 0.77f) - 1.0f;
  EXPECT_FLOAT_EQ(Eval(strata, 4.0f, 9.0f, 0.7f), (strataValue + 1.0f) * 0.5f);
  // Saw along x: 2 frac((x - ox) / (2 sx)) - 1; no amplitude.
  Fonction3D saw = OneLayer(9, 5.0f);
  saw.Layers[0].Origin.x = 0.5f;
  saw.Layers[0].Scale.x = 2.0f;
  EXPECT_FLOAT_EQ(Eval(saw, 2.5f, 9.0f, 1.0f), (2.0f * 0.5f - 1.0f + 1.0f) * 0.5f);
  EXPECT_FLOAT_EQ(Eval(saw, 3.5f, 9.0f, 1.0f), (2.0f * 0.75f - 1.0f + 1.0f) * 0.5f);
  // Rings at the origin: r = 0, the value -1 times the amplitude.
  EXPECT_FLOAT_EQ(LayerValue(OneLayer(10), 0, 0, 3), -1.0f);
  // Turbulence bends strata and saw.
  strata.Layers[0].Perturb = true;
  EXPECT_NE(Eval(strata, 4.0f, 9.0f, 0.7f), (strataValue + 1.0f) * 0.5f);
}

// Every kind, with octaves, turbulence of every kind and a filter, over many points:
// the layer value stays finite and moderate (a NaN would show as a result of 0).
TEST_F(Function, EveryKindStaysFiniteUnderEverySetting) {
  const auto points = RandomPoints(150, 40.0f, 13);
  for (int kind = 0; kind <= 44; kind++) {
    for (int variant = 0; variant < 4; variant++) {
      Fonction3D f = OneLayer(kind, 0.01f);
      FNCT& layer = f.Layers[0];
      layer.Fractal = variant >= 1;
      layer.OctaveMode = (kind + variant) % 10;
      layer.Octaves = 3;
      layer.Perturb = variant >= 2;
      layer.Turbulence.Kind = (kind * 7 + variant) % 46;
      layer.Turbulence.Mode = variant % 10;
      layer.Turbulence.Octaves = 3;
      if (variant == 3)
        layer.Filter = LinearFilter({{0, 0}, {3000, 8000}, {10000, 10000}});
      // Strata and saw take no amplitude, rings take it before the filter: a narrow filter
      // keeps their values moderate.
      if (kind == 8 || kind == 9 || (kind == 10 && variant == 3))
        layer.Filter = LinearFilter({{0, 4000}, {10000, 6000}});
      layer.Scale = VECFLOAT(1.3f, 0.7f, 2.1f);
      for (const auto& p : points) {
        const float r = Eval(f, p[0], p[1], p[2]);
        ASSERT_GT(r, 0.3f) << "kind " << kind << " variant " << variant;
        ASSERT_LT(r, 0.7f) << "kind " << kind << " variant " << variant;
      }
    }
  }
}

TEST_F(Function, ResultStaysWithinZeroAndOneForLargeAmplitudes) {
  for (int kind = 0; kind <= 44; kind++) {
    Fonction3D f = OneLayer(kind, 5.0f);
    f.Layers[0].Fractal = true;
    f.CombineMode = kind % 10;
    f.Layers.Add(f.Layers[0]);
    for (const auto& p : RandomPoints(100, 40.0f, 14)) {
      const float r = Eval(f, p[0], p[1], p[2]);
      ASSERT_GE(r, 0.0f);
      ASSERT_LE(r, 1.0f);
    }
  }
}

TEST_F(Function, DegenerateParametersKeepTheResultInRange) {
  // Zero scale, zero turbulence frequency and ratio: nothing undefined, the result stays in [0, 1].
  Fonction3D f = OneLayer(1, 1.0f);
  f.Layers[0].Scale = VECFLOAT(0, 0, 0);
  f.Layers[0].Perturb = true;
  f.Layers[0].Turbulence.Frequency = 0;
  f.Layers[0].Turbulence.Ratio = 0;
  f.Layers[0].Filter = LinearFilter({{0, 0}, {10000, 10000}});
  for (float x : {0.0f, 1.0f, -3.5f}) {
    const float r = Eval(f, x, 2, 3);
    EXPECT_GE(r, 0.0f);
    EXPECT_LE(r, 1.0f);
  }
}

TEST_F(Function, TheThreeEvaluationFormsAgree) {
  Fonction3D f = OneLayer(33);
  const float a = f.ExtraireFonction(1.25f, -3.5f, 0.75f, VECTEUR(0, 0, 1), nullptr, false);
  EXPECT_EQ(f.ExtraireFonction(VECTEUR(1.25, -3.5, 0.75), VECTEUR(0, 0, 1), nullptr, false), a);
  EXPECT_EQ(f.ExtraireFonction(1.25f, -3.5f, 0.75f, 0.0f, 0.0f, 1.0f, nullptr, true), a);
}

// Brute-force cross-check: several points at once give each point, bit for bit, the value
// it has alone, for every kind, with octaves, turbulence, rotation and two layers combined
// by each mode. Points come in groups of four close ones, as a bump's differences do.
TEST_F(Function, SeveralPointsAtOnceGiveEachPointItsOwnValue) {
  const auto points = RandomPoints(24, 30.0f, 21);
  for (int kind = 0; kind <= 45; kind++) {
    for (int variant = 0; variant < 3; variant++) {
      Fonction3D f = OneLayer(kind, 0.6f);
      FNCT& layer = f.Layers[0];
      layer.Fractal = variant >= 1;
      layer.Octaves = 3;
      layer.OctaveMode = kind % 10;
      layer.Perturb = variant == 2;
      layer.Turbulence.Kind = (kind * 3 + 1) % 45;
      layer.Scale = VECFLOAT(1.3f, 0.7f, 2.1f);
      layer.Rotate = variant == 2;
      BuildRotationMatrix(layer.Rotation, 10, 20, 30);
      FNCT second = layer;
      second.Kind = static_cast<uint8_t>((kind + 7) % 45);
      second.Rotate = false;
      second.Offset = 0.1f;
      f.Layers.Add(second);
      f.CombineMode = (kind + variant) % 10;
      for (size_t k = 0; k < points.size(); k++) {
        const int count = 1 + static_cast<int>(k % Fonction3D::MaxPointsAtOnce);
        VECTEUR at[Fonction3D::MaxPointsAtOnce];
        for (int i = 0; i < count; i++)
          at[i] = VECTEUR(points[k][0], points[k][1], points[k][2]) + VECTEUR(i == 1, i == 2, i == 3) * 0.003;
        float values[Fonction3D::MaxPointsAtOnce];
        f.ExtraireFonctions(at, count, VECTEUR(0, 0, 1), nullptr, false, values);
        for (int i = 0; i < count; i++)
          ASSERT_EQ(values[i], f.ExtraireFonction(at[i], VECTEUR(0, 0, 1), nullptr, false))
              << "kind " << kind << " variant " << variant << " point " << k << "/" << i;
      }
    }
  }
}

TEST_F(Function, PictureLayerSamplesItsPicture) {
  // Byte b of the picture is the layer value b * 2/255 - 1: white gives 1, black 0.
  Fonction3D f = OneLayer(0, 1.0f);
  FNCT& layer = f.Layers[0];
  layer.FunctionClass = PictureLayer;
  layer.PictureMapping = 0;
  layer.PictureMode = 0;
  ASSERT_TRUE(layer.Picture.Allocate(2, 1, GreyImage));  // white, then black
  {
    ImagePixels pixels(layer.Picture);
    pixels.Rows()[0] = 255;
    pixels.Rows()[1] = 0;
  }
  // Planar: u = -x per unit of Scale x, one period of the picture per unit.
  EXPECT_FLOAT_EQ(Eval(f, -0.25f, 0.5f, 0.0f), 1.0f);
  EXPECT_FLOAT_EQ(Eval(f, -0.75f, 0.5f, 0.0f), 0.0f);
  // The offset moves the picture by whole pixels.
  layer.PictureOffsetU = 1;
  EXPECT_FLOAT_EQ(Eval(f, -0.25f, 0.5f, 0.0f), 0.0f);
  layer.PictureOffsetU = 0;
  // Relative to the object's centre when asked.
  Sph sphere(0);
  sphere.MoveTo(10, 0, 0, nullptr);
  EXPECT_FLOAT_EQ(f.ExtraireFonction(9.75f, 0.5f, 0.0f, VECTEUR(0, 0, 1), &sphere, true), 1.0f);
  EXPECT_FLOAT_EQ(f.ExtraireFonction(-0.75f, 0.5f, 0.0f, VECTEUR(0, 0, 1), &sphere, false), 0.0f);
  // Prepared, the picture spans 15 units per unit of size, centred on the origin.
  f.Preparer(VECFLOAT(1, 1, 1), 1.0f);
  EXPECT_FLOAT_EQ(Eval(f, 3.0f, 0.0f, 0.0f), 1.0f);
  EXPECT_FLOAT_EQ(Eval(f, -3.0f, 0.0f, 0.0f), 0.0f);
  f.DePreparer(VECFLOAT(1, 1, 1), 1.0f);
  EXPECT_FLOAT_EQ(Eval(f, -0.25f, 0.5f, 0.0f), 1.0f);
}

TEST_F(Function, PictureLayersCompareTheirPictures) {
  FNCT a, b;
  a.FunctionClass = b.FunctionClass = PictureLayer;
  a.Picture.SetName("Masks/Rock.png");
  b.Picture.SetName("masks/rock.PNG");
  EXPECT_EQ(a, b);
  b.Picture.SetName("masks/sand.png");
  EXPECT_FALSE(a == b);
  b = a;  // copies share the picture
  EXPECT_EQ(+a.Picture.Block, +b.Picture.Block);
  EXPECT_EQ(a.Picture.ReferenceCount(), 2);
}

TEST(FunctionRecords, NewFunctionsTakeTheProcessDefaultOptionsForFunctions) {
  Options functions, materials, savedFunctions, savedMaterials;
  GetDefaultOptions(savedFunctions, savedMaterials);
  functions.Background = 1;
  materials.Background = 2;
  SetDefaultOptions(functions, materials);
  EXPECT_EQ(Copy(Fonction3D().DefaultOptions.Background), 1);
  SetDefaultOptions(savedFunctions, savedMaterials);
  EXPECT_EQ(Copy(Fonction3D().DefaultOptions.Background), 3);
}

TEST(FunctionRecords, LayerEqualityFollowsTheKindAndTheClass) {
  FNCT a, b;
  b.Origin.x = 5;  // kind 0: origin x and y, scale x and y and amplitude are not compared
  b.Scale.y = 3;
  b.Amplitude = 2;
  EXPECT_EQ(a, b);
  a.Kind = b.Kind = 1;
  EXPECT_FALSE(a == b);
  b = a;
  b.Scale.x += 5e-6f;  // within 1e-5
  EXPECT_EQ(a, b);
  b.Scale.x += 5e-5f;
  EXPECT_FALSE(a == b);
  b = a;
  b.PictureMode = 3;  // picture settings count only for picture layers
  EXPECT_EQ(a, b);
  a.FunctionClass = b.FunctionClass = PictureLayer;
  EXPECT_FALSE(a == b);
  b = a;
  b.Origin.z = 4;  // origin z and the octave settings count only for procedural layers
  b.Octaves = 9;
  EXPECT_EQ(a, b);
  b = a;
  b.HostValue2 = 0.5f;
  EXPECT_FALSE(a == b);
  b = a;
  b.Turbulence.Frequency += 5e-6f;
  EXPECT_EQ(a, b);
  b.Turbulence.Amplitude += 5e-6f;  // compared exactly
  EXPECT_FALSE(a == b);
  b = a;
  b.Filter.Bypass = false;
  EXPECT_FALSE(a == b);
}

TEST(FunctionRecords, FunctionEqualityComparesCompositionOnlyWhenComposed) {
  Fonction3D a, b;
  b.HostSetting = 5;  // not compared
  b.Layers[0].Origin.x = 3;
  b.Shape1 = 0.9f;
  b.SubFunction1 = new Fonction3D;
  EXPECT_EQ(a, b);
  a.Composition = b.Composition = 1;
  EXPECT_FALSE(a == b);  // a sub-function on one side only
  a.SubFunction1 = new Fonction3D;
  EXPECT_EQ(a, b);  // ShapeFlag off: the shape settings are not compared
  a.ShapeFlag = b.ShapeFlag = true;
  EXPECT_FALSE(a == b);
  b.Shape1 = a.Shape1;
  EXPECT_EQ(a, b);
  a.SubFunction1->CombineMode = 4;
  EXPECT_FALSE(a == b);
  a.SubFunction1->CombineMode = 0;
  b.SubFilter2 = new FiltreNumerique;
  EXPECT_FALSE(a == b);
  a.SubFilter2 = new FiltreNumerique;
  EXPECT_EQ(a, b);
  b.Normalisation += 5e-6f;
  EXPECT_EQ(a, b);
  b.Layers.Add(FNCT());
  EXPECT_FALSE(a == b);
}

TEST(FunctionRecords, CopiesAreDeepAndIndependent) {
  Fonction3D a;
  a.SubFunction1 = new Fonction3D;
  a.SubFunction1->Layers[0].Kind = 7;
  a.SubFilter1 = new FiltreNumerique;
  a.Layers.Add(FNCT());
  a.Layers[1].Kind = 12;
  a.HostSetting = 42;
  a.DefaultOptions.Setting = 9;
  Fonction3D b(a);
  Fonction3D c;
  c = a;
  for (Fonction3D* copy : {&b, &c}) {
    EXPECT_EQ(*copy, a);
    EXPECT_EQ(Copy(copy->HostSetting), 42);
    EXPECT_EQ(Copy(copy->DefaultOptions.Setting), 9);
    ASSERT_NE(Copy(copy->SubFunction1.get()), nullptr);
    EXPECT_NE(Copy(copy->SubFunction1.get()), Copy(a.SubFunction1.get()));
    EXPECT_EQ(Copy(copy->SubFunction1->Layers[0].Kind), 7);
    EXPECT_NE(Copy(copy->SubFilter1.get()), Copy(a.SubFilter1.get()));
    EXPECT_EQ(copy->Layers.Count(), 2);
  }
  b.SubFunction1->Layers[0].Kind = 8;
  EXPECT_EQ(Copy(a.SubFunction1->Layers[0].Kind), 7);
  // Assigning from one's own sub-function copies it before the old one is freed.
  a = *a.SubFunction1;
  EXPECT_EQ(a.Layers.Count(), 1);
  EXPECT_EQ(Copy(a.Layers[0].Kind), 7);
  EXPECT_EQ(Copy(a.SubFunction1.get()), nullptr);
  a.RAZ();
  EXPECT_EQ(a, Fonction3D());
  EXPECT_EQ(Copy(a.HostSetting), 100);
}

TEST(FunctionRecords, ReleaseWithoutAHostDeletesTheFunction) {
  SetReleaseCallbacks(nullptr, nullptr, nullptr, nullptr);
  Fonction3D* f = new Fonction3D;
  f->SubFunction2 = new Fonction3D;
  ReleaseFunction(f);  // the leak checker of the sanitizer run sees a missing delete
  static Fonction3D* released = nullptr;
  SetReleaseCallbacks(nullptr, nullptr, nullptr, [](Fonction3D* g) { released = g; });
  Fonction3D kept;
  ReleaseFunction(&kept);
  EXPECT_EQ(released, &kept);
  SetReleaseCallbacks(nullptr, nullptr, nullptr, nullptr);
}

}  // namespace
