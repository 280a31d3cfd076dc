#include "engine/materials/surface_params.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/functions/noise.h"
#include "engine/materials/texture.h"
#include "engine/scene/release_callbacks.h"
#include "tests/printers.h"

namespace {

// A filter whose value is `value` (0..10000) at every position.
FiltreNumerique ConstantFilter(int16_t value) {
  FiltreNumerique f;
  f.Keys.Flush();
  FILTRE a, b;
  a.Linear = FLTR(0, value);
  b.Linear = FLTR(10000, value);
  f.Keys.Add(a);
  f.Keys.Add(b);
  return f;
}

int releasedMaterials = 0;
void CountRelease(Texture* m) {
  ++releasedMaterials;
  delete m;
}

class CountingCallbacks : public ::testing::Test {
 protected:
  void SetUp() override {
    InitNoise();
    releasedMaterials = 0;
    SetReleaseCallbacks(nullptr, nullptr, CountRelease, nullptr);
  }
  void TearDown() override { SetReleaseCallbacks(nullptr, nullptr, nullptr, nullptr); }
};

TEST(SpecularParams, ConstantHighlightFollowsTheValueTable) {
  SpecularParams s;
  const VECTEUR p, n(0, 0, 1);
  EXPECT_EQ(s.ExtraireBrillance(p, n, 1.0f, nullptr, true, 0.0f), 102);
  EXPECT_EQ(s.ExtraireBrillance(p, n, 1.0f, nullptr, true, 1.0f), 354);  // 102 * (255 + 103) / 103
  EXPECT_EQ(s.ExtraireBrill1(), 102);
  EXPECT_FLOAT_EQ(s.ExtraireBrill2(), std::exp(2.1f));
  // The table is the closed formula, rising from 0 to its end.
  for (int i : {0, 50, 125, 200, 250}) {
    const int expected = static_cast<int>(std::pow(0.004 * i, std::exp(6.0 * 0.35f)) * 255.0 * 0.4f);
    EXPECT_EQ(int(s.ValueTable[i]), expected) << i;
  }
  for (int i = 1; i <= 250; i++)
    EXPECT_LE(int(s.ValueTable[i - 1]), int(s.ValueTable[i]));
  // Settings rebuild the table; a sharper highlight falls faster.
  s.SetSpecularParams(1.0f, 0.8f, true);
  EXPECT_EQ(int(s.ValueTable[250]), 255);
  EXPECT_LT(int(s.ValueTable[200]), static_cast<int>(std::pow(0.8, std::exp(2.1)) * 255));
  float intensity, sharpness;
  bool mode;
  s.GetSpecularParams(intensity, sharpness, mode);
  EXPECT_FLOAT_EQ(intensity, 1.0f);
  EXPECT_FLOAT_EQ(sharpness, 0.8f);
  EXPECT_TRUE(mode);
  // An intensity far beyond 1 saturates the table instead of wrapping it.
  s.SetSpecularParams(1000.0f, 0.0f, false);
  EXPECT_EQ(int(s.ValueTable[250]), 32767);
}

TEST(SpecularParams, NoHighlightFacingAway) {
  SpecularParams s;
  const VECTEUR p, n(0, 0, 1);
  for (bool variable : {false, true}) {
    s.Variable = variable;
    EXPECT_EQ(s.ExtraireBrillance(p, n, 0.0f, nullptr, true, 1.0f), 0);
    EXPECT_EQ(s.ExtraireBrillance(p, n, -0.5f, nullptr, true, 1.0f), 0);
  }
}

TEST(SpecularParams, VariableHighlightWithFullFiltersMatchesTheConstantOne) {
  InitNoise();
  SpecularParams constant, variable;
  variable.Variable = true;
  variable.Filter1 = ConstantFilter(10000);
  variable.Filter2 = ConstantFilter(10000);
  const VECTEUR p(0.3, 0.2, 0.1), n(0, 0, 1);
  for (float c : {0.2f, 0.6f, 0.9f, 1.0f})
    EXPECT_NEAR(variable.ExtraireBrillance(p, n, c, nullptr, true, 0.0f),
                constant.ExtraireBrillance(p, n, c, nullptr, true, 0.0f), 1)
        << c;
  // Filters at zero: no highlight at all.
  variable.Filter1 = ConstantFilter(0);
  EXPECT_EQ(variable.ExtraireBrillance(p, n, 1.0f, nullptr, true, 0.0f), 0);
}

TEST(ResponseRecords, EqualityLooksAtTheFunctionOnlyWhenVariable) {
  SpecularParams a, b;
  b.Function.Layers[0].Kind = 7;
  EXPECT_EQ(a, b);
  a.Variable = b.Variable = true;
  EXPECT_FALSE(a == b);
  b = a;
  EXPECT_EQ(a, b);
  b.HighlightColour = VECFLOAT(1, 0, 0);
  EXPECT_FALSE(a == b);
  ReflexionParams r, q;
  r.Variable = q.Variable = true;
  q.Function.Layers[0].Kind = 4;
  EXPECT_FALSE(r == q);
  r.Variable = q.Variable = false;
  EXPECT_EQ(r, q);
}

TEST_F(CountingCallbacks, TransparencyOwnsADeepCopyOfItsInterior) {
  {
    TransparencyParams a;
    a.Interior = new Texture();
    a.Interior->Diffuse = 0.3f;
    TransparencyParams b;
    b = a;
    ASSERT_NE(+b.Interior, nullptr);
    EXPECT_NE(+b.Interior, +a.Interior);
    EXPECT_EQ(a, b);
    b.Interior->Diffuse = 0.4f;
    EXPECT_FALSE(a == b);
    // Assigning again releases the old interior through the host.
    b = a;
    EXPECT_EQ(releasedMaterials, 1);
    TransparencyParams none;
    EXPECT_FALSE(none == a);
    EXPECT_FALSE(a == none);
  }
  EXPECT_EQ(releasedMaterials, 3);  // one replaced, then both interiors with their records
}

TEST(TransparencyParams, ConstantOutputsIgnoreThePoint) {
  InitNoise();
  TransparencyParams t;
  t.Amount = 0.7f;
  t.SecondAmount = 0.2f;
  float second = -1.0f;
  for (const VECTEUR& p : {VECTEUR(0, 0, 0), VECTEUR(12.5, -3, 7)}) {
    EXPECT_FLOAT_EQ(t.ExtraireTransparence(p, VECTEUR(0, 0, 1), second, nullptr, true), 0.7f);
    EXPECT_FLOAT_EQ(second, 0.2f);
  }
  // Variable: the filters shape both outputs whatever their bypass flags.
  t.Variable = true;
  t.Filter1 = ConstantFilter(5000);
  t.Filter2 = ConstantFilter(2500);
  EXPECT_FLOAT_EQ(t.ExtraireTransparence(VECTEUR(1, 2, 3), VECTEUR(0, 0, 1), second, nullptr, true), 0.35f);
  EXPECT_FLOAT_EQ(second, 0.05f);
  ReflexionParams r;
  r.Variable = true;
  r.Amount = 0.8f;
  r.Filter1 = ConstantFilter(10000);
  EXPECT_FLOAT_EQ(r.ExtraireReflexion(VECTEUR(1, 2, 3), VECTEUR(0, 0, 1), second, nullptr, true), 0.8f);
}

}  // namespace
