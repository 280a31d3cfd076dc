#include "engine/materials/texture.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine/functions/noise.h"
#include "engine/objects/primitives.h"
#include "engine/scene/context.h"
#include "engine/scene/environment.h"
#include "engine/scene/landscape.h"
#include "engine/scene/release_callbacks.h"
#include "tests/printers.h"

namespace {

int released = 0;
void CountRelease(Texture* m) {
  ++released;
  delete m;
}

class TextureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitNoise();
    released = 0;
    SetReleaseCallbacks(nullptr, nullptr, CountRelease, nullptr);
  }
  void TearDown() override { SetReleaseCallbacks(nullptr, nullptr, nullptr, nullptr); }
};

Texture* Coloured(uint8_t grey) {
  Texture* m = new Texture();
  m->ColourSource = 0;
  m->Colours.Flush();
  m->Colours.Add(VALCLR(0, CLR(grey, grey, grey)));
  m->Colours.Add(VALCLR(10000, CLR(grey, grey, grey)));
  return m;
}

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }
bool SameBits(const VECFLOAT& a, const VECFLOAT& b) {
  return SameBits(a.x, b.x) && SameBits(a.y, b.y) && SameBits(a.z, b.z);
}

TEST_F(TextureTest, DefaultColourFunctionGivesTheMiddleOfTheTable) {
  Texture m;
  EXPECT_STREQ(m.Name, "Material");
  EXPECT_EQ(int(m.ColourSource), 1);
  EXPECT_EQ(+m.Transparency.Owner, &m);
  m.ColourSource = 0;
  CLRINT c;
  m.ExtraireCouleurMatiere(VECTEUR(3, 4, 5), VECTEUR(0, 0, 1), c, nullptr);
  EXPECT_EQ(c, CLRINT(127, 127, 127));
  // A picture-coloured material reads its default picture: one black pixel.
  m.ColourSource = 1;
  m.ExtraireCouleurMatiere(VECTEUR(3, 4, 5), VECTEUR(0, 0, 1), c, nullptr);
  EXPECT_EQ(c, CLRINT(0, 0, 0));
}

TEST_F(TextureTest, EclairementRampsUpToTheThreshold) {
  Texture m;
  EXPECT_FLOAT_EQ(m.Eclairement(0.8f), 1.0f);
  EXPECT_FLOAT_EQ(m.Eclairement(1.0f), 1.0f);
  EXPECT_NEAR(m.Eclairement(0.0f), 0.0f, 1e-6);
  EXPECT_FLOAT_EQ(m.Eclairement(-0.5f), 0.0f);
  EXPECT_NEAR(m.Eclairement(0.4f), 0.5f, 1e-6);
}

TEST_F(TextureTest, CopiesAreDeepAndEqual) {
  Texture mixed;
  mixed.MaterialKind = MixedMaterial;
  mixed.Material1 = Coloured(10);
  mixed.Material2 = Coloured(200);
  mixed.Transparency.Interior = Coloured(50);
  Texture copy(mixed);
  EXPECT_EQ(copy, mixed);
  EXPECT_NE(+copy.Material1, +mixed.Material1);
  EXPECT_EQ(+copy.Transparency.Owner, &copy);
  copy.Material2->Diffuse = 0.1f;
  EXPECT_FALSE(copy == mixed);
  copy = mixed;  // the old sub-materials and interior go back to the host
  EXPECT_EQ(released, 3);
  EXPECT_EQ(copy, mixed);
  copy = copy;
  EXPECT_EQ(copy, mixed);
  // Assigned from one of its own materials: the source is copied before it goes.
  Texture nested(mixed);
  nested = *nested.Material2;
  EXPECT_EQ(nested, *mixed.Material2);
  EXPECT_EQ(+nested.Transparency.Owner, &nested);
  // Environment terms count only when switched on.
  copy.MixThreshold = 0.9f;
  EXPECT_EQ(copy, mixed);
  copy.EnvironmentInfluence = mixed.EnvironmentInfluence = true;
  EXPECT_FALSE(copy == mixed);
  // A missing material on one side only.
  Texture lone;
  lone.MaterialKind = MixedMaterial;
  lone.Material1 = Coloured(10);
  EXPECT_FALSE(lone == mixed);
}

TEST_F(TextureTest, FoundThisTextureFollowsMixesAndInteriorsAndSurvivesCycles) {
  Texture* a = Coloured(1);
  Texture* b = Coloured(2);
  Texture* c = Coloured(3);
  a->MaterialKind = MixedMaterial;
  a->Material1 = b;
  b->Transparency.Interior = c;
  EXPECT_TRUE(FoundThisTexture(a, a));
  EXPECT_TRUE(FoundThisTexture(a, c));
  EXPECT_FALSE(FoundThisTexture(c, a));
  // A cycle that does not pass through the wanted material ends too.
  c->MaterialKind = MixedMaterial;
  c->Material1 = b;
  Texture outsider;
  EXPECT_FALSE(FoundThisTexture(a, &outsider));
  // Preparing a material that contains itself fails instead of recursing for ever.
  c->Material2 = a;
  EXPECT_FALSE(a->Preparer(nullptr, nullptr, 1.0f));
  a->DePreparer(1.0f);
  // The cycle is broken by giving up ownership without releasing; each is deleted once.
  c->Material1.release();
  c->Material2.release();
  b->Transparency.Interior.release();
  a->Material1.release();
  delete a;
  delete b;
  delete c;
}

TEST_F(TextureTest, MixedMaterialsNeedBothMaterials) {
  Texture mixed;
  mixed.MaterialKind = MixedMaterial;
  mixed.Material1 = Coloured(10);
  EXPECT_FALSE(mixed.Preparer(nullptr, nullptr, 3.0f));
  mixed.DePreparer(3.0f);
  mixed.Material2 = Coloured(20);
  EXPECT_TRUE(mixed.Preparer(nullptr, nullptr, 3.0f));
  EXPECT_TRUE(mixed.Material2->IsPrepared());
  mixed.DePreparer(3.0f);
  EXPECT_FALSE(mixed.Material2->IsPrepared());
}

TEST_F(TextureTest, DePreparerRestoresEveryPreparedFieldBitForBit) {
  Texture m;
  m.ColourSource = 0;
  m.MaterialScale = 0.7f;
  m.Perturb = true;
  m.Turbulence.Frequency = 0.37f;
  m.BumpFunction.Layers[0].Kind = 5;
  m.BumpDepth = 0.0f;
  m.SurfaceFlag2 = true;
  m.Transparency.Refraction = 1.33f;
  m.ColourFunction.Layers[0].Origin = VECFLOAT(0.1f, 0.2f, 0.3f);
  m.Transparency.Interior = Coloured(9);
  m.Transparency.Interior->MaterialScale = 0.3f;
  const Texture before(m);
  const FNCT colourLayer = m.ColourFunction.Layers[0];

  ASSERT_TRUE(m.Preparer(nullptr, nullptr, 3.0f));
  EXPECT_FLOAT_EQ(+m.MaterialScale, 2.1f);
  EXPECT_FLOAT_EQ(+m.Transparency.Refraction, 1.0f);
  EXPECT_EQ(int(m.BumpFunction.Layers[0].Kind), 0);  // a zero depth switches the bump off
  EXPECT_GE(+m.BumpDepth, 1e8f);
  EXPECT_FLOAT_EQ(+m.PictureScale.x, 2.1f);
  m.DePreparer(3.0f);

  EXPECT_EQ(m, before);
  EXPECT_TRUE(SameBits(m.MaterialScale, before.MaterialScale));
  EXPECT_TRUE(SameBits(m.Turbulence.Frequency, before.Turbulence.Frequency));
  EXPECT_TRUE(SameBits(m.BumpDepth, before.BumpDepth));
  EXPECT_TRUE(SameBits(m.Transparency.Refraction, before.Transparency.Refraction));
  EXPECT_TRUE(SameBits(m.ColourScale, before.ColourScale));
  EXPECT_TRUE(SameBits(m.PictureOrigin, before.PictureOrigin));
  EXPECT_TRUE(SameBits(m.ColourFunction.Layers[0].Origin, colourLayer.Origin));
  EXPECT_TRUE(SameBits(m.ColourFunction.Layers[0].Scale, colourLayer.Scale));
  EXPECT_EQ(int(m.BumpFunction.Layers[0].Kind), 5);
  EXPECT_TRUE(SameBits(m.Transparency.Interior->MaterialScale, 0.3f));
  EXPECT_FALSE(m.IsPrepared());
}

TEST_F(TextureTest, PictureSizesArePreparedAndRestored) {
  Texture m;  // picture-coloured
  m.PictureMapping = 0;
  m.ColourScale = VECFLOAT(2.0f, 0.0f, 1.0f);
  ASSERT_TRUE(m.Preparer(nullptr, nullptr, 1.0f));
  EXPECT_FLOAT_EQ(+m.ColourScale.x, 30.0f);
  EXPECT_FLOAT_EQ(+m.ColourScale.y, 1e20f);  // a zero size becomes huge, never a division by zero
  EXPECT_FLOAT_EQ(+m.PictureOrigin.x, 15.0f);
  m.DePreparer(1.0f);
  EXPECT_FLOAT_EQ(+m.ColourScale.x, 2.0f);
  EXPECT_FLOAT_EQ(+m.ColourScale.y, 0.0f);
  EXPECT_FLOAT_EQ(+m.PictureOrigin.x, 0.0f);
}

TEST_F(TextureTest, EnvironmentInfluenceMeasuresTheObjectsThatUseTheMaterial) {
  TPaysage landscape;
  TArray<Texture*> materials(1, 0, 1);
  Texture* other = Coloured(1);
  Texture* mixed = new Texture();
  mixed->MaterialKind = MixedMaterial;
  mixed->Material1 = Coloured(10);
  mixed->Material2 = Coloured(20);
  mixed->EnvironmentInfluence = true;
  mixed->AltitudeInfluence = 0.5f;
  materials.Add(other);
  materials.Add(mixed);
  landscape.Materials = &materials;
  Sph used(1), unused(0);
  used.Scale(2, 2, 2, nullptr, false);
  used.MoveTo(0, 0, 10, nullptr);
  unused.MoveTo(0, 0, 100, nullptr);
  TArray<TObject3D*> objects(1, 0, 1);
  objects.Add(&used);
  objects.Add(&unused);
  ASSERT_TRUE(mixed->Preparer(&landscape, &objects, 1.0f));
  EXPECT_FLOAT_EQ(+mixed->AltitudeMin, 8.0f);
  EXPECT_FLOAT_EQ(+mixed->AltitudeMax, 12.0f);
  EXPECT_FLOAT_EQ(+mixed->AltitudeHalfRange, 2.0f);
  EXPECT_FLOAT_EQ(+mixed->AltitudeInfluence, 0.25f);
  // Higher points of a material measured upward mix more of the second material.
  const VECTEUR up(0, 0, 1);
  EXPECT_LT(mixed->MixValue(VECTEUR(0, 0, 8), up, nullptr, true),
            mixed->MixValue(VECTEUR(0, 0, 12), up, nullptr, true));
  mixed->DePreparer(1.0f);
  EXPECT_FLOAT_EQ(+mixed->AltitudeInfluence, 0.5f);
  delete other;
  delete mixed;
}

TEST_F(TextureTest, NestedMixedMaterialMeasuresTheObjectsOfItsOuterMaterial) {
  TPaysage landscape;
  TArray<Texture*> materials(1, 0, 1);
  Texture* inner = new Texture();
  inner->MaterialKind = MixedMaterial;
  inner->Material1 = Coloured(10);
  inner->Material2 = Coloured(20);
  inner->EnvironmentInfluence = true;
  inner->AltitudeInfluence = 0.5f;
  Texture* outer = new Texture();  // always the inner material
  outer->MaterialKind = MixedMaterial;
  outer->Material1 = inner;
  outer->Material2 = Coloured(30);
  materials.Add(Coloured(1));
  materials.Add(outer);
  landscape.Materials = &materials;
  Sph used(1);
  used.Scale(2, 2, 2, nullptr, false);
  used.MoveTo(0, 0, 10, nullptr);
  TArray<TObject3D*> objects(1, 0, 1);
  objects.Add(&used);
  ASSERT_TRUE(outer->Preparer(&landscape, &objects, 1.0f));
  EXPECT_FLOAT_EQ(+inner->AltitudeMin, 8.0f);
  EXPECT_FLOAT_EQ(+inner->AltitudeMax, 12.0f);
  EXPECT_FLOAT_EQ(+inner->AltitudeInfluence, 0.25f);
  outer->DePreparer(1.0f);
  delete materials[0];
  delete outer;
}

TEST_F(TextureTest, AppliquerDeplacementsRotatesCyclesAndPerturbs) {
  Texture m;
  VECTEUR p(1, 2, 3);
  m.AppliquerDeplacements(p);
  EXPECT_EQ(p, VECTEUR(1, 2, 3));
  m.Rotate = true;
  BuildRotationMatrix(m.Rotation, 0, 0, 90);
  m.AppliquerDeplacements(p);
  EXPECT_NEAR(Length(p), Length(VECTEUR(1, 2, 3)), 1e-5);
  EXPECT_NEAR(+p.z, 3.0, 1e-6);
  // A cycle blend of 1 keeps the point; of 0 it gives the noise vector alone.
  Texture c;
  c.Cycle = true;
  c.CycleSettings.CycleBlend = 1.0f;
  VECTEUR q(0.5, 0.25, 0.125);
  c.AppliquerDeplacements(q);
  EXPECT_EQ(q, VECTEUR(0.5, 0.25, 0.125));
  Texture t;
  t.Perturb = true;
  VECTEUR r(0.3, 0.7, 0.1);
  t.AppliquerDeplacements(r);
  EXPECT_GT(Length(r - VECTEUR(0.3, 0.7, 0.1)), 0.0);
  EXPECT_LT(Length(r - VECTEUR(0.3, 0.7, 0.1)), 2.0);
}

}  // namespace
