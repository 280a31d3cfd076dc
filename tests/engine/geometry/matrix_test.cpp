#include "engine/geometry/matrix.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/printers.h"

namespace {

Matrix Diagonal(float a, float b, float c) {
  Matrix m;
  m.m[0][0] = a;
  m.m[1][1] = b;
  m.m[2][2] = c;
  return m;
}

void ExpectMatrixNear(const Matrix& a, const Matrix& b, double tolerance) {
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++)
      EXPECT_NEAR(a.m[i][j], b.m[i][j], tolerance) << "entry " << i << "," << j;
}

// The angle difference modulo 360, in (-180, 180].
double AngleDifference(double a, double b) {
  double d = std::fmod(a - b, 360.0);
  if (d > 180.0)
    d -= 360.0;
  if (d <= -180.0)
    d += 360.0;
  return d;
}

// Entries of the byte-packed records are compared as copies (unary +): gtest's equality
// checks take references, which must not point at unaligned floats.

TEST(Matrix, DefaultIsTheIdentityWithZeroAngles) {
  Matrix m;
  for (int i = 0; i < 3; i++) {
    for (int j = 0; j < 3; j++)
      EXPECT_EQ(+m.m[i][j], i == j ? 1.0f : 0.0f);
    EXPECT_EQ(+m.angles[i], 0.0f);
    EXPECT_EQ(+m.slants[i], 0.0f);
  }
}

TEST(Matrix, EqualityIgnoresTheAngles) {
  Matrix a, b;
  b.angles[1] = 30.0f;
  b.slants[2] = 5.0f;
  EXPECT_EQ(a, b);
  b.m[2][1] = 1e-7f;
  EXPECT_FALSE(a == b);
}

TEST(Matrix, ProductsComposeLeftToRightAndKeepOrDropAngles) {
  Matrix a, b;
  BuildRotationMatrix(a, 0, 0, 90);
  b = Diagonal(2, 3, 4);
  a.angles[0] = 7.0f;
  Matrix ab = a * b;
  EXPECT_EQ(+ab.angles[0], 0.0f);
  // (a * b) v == a (b v)
  VECTEUR v(1, 2, 3);
  VECTEUR direct = ab * v;
  VECTEUR stepwise = a * (b * v);
  EXPECT_NEAR(direct.x, stepwise.x, 1e-6);
  EXPECT_NEAR(direct.y, stepwise.y, 1e-6);
  EXPECT_NEAR(direct.z, stepwise.z, 1e-6);
  Matrix c = a;
  c *= b;
  EXPECT_EQ(c, ab);
  EXPECT_EQ(+c.angles[0], 7.0f);
}

TEST(Matrix, InvertsDiagonalsAndClearsAngles) {
  Matrix m = Diagonal(2, 4, 8);
  m.angles[0] = 10.0f;
  m.slants[1] = 3.0f;
  m.Invert();
  ExpectMatrixNear(m, Diagonal(0.5f, 0.25f, 0.125f), 0);
  EXPECT_EQ(+m.angles[0], 0.0f);
  EXPECT_EQ(+m.slants[1], 0.0f);
}

TEST(Matrix, InverseTimesMatrixIsTheIdentity) {
  Matrix m;
  BuildTransformMatrix(m, 2, 0.5f, 3, 10, 20, 30, 5, -7, 12);
  Matrix inverse = m;
  inverse.Invert();
  ExpectMatrixNear(m * inverse, Matrix(), 1e-5);
  ExpectMatrixNear(inverse * m, Matrix(), 1e-5);
}

TEST(Matrix, SingularMatricesAreLeftUnchanged) {
  Matrix zeroRow = Diagonal(1, 1, 1);
  zeroRow.m[1][1] = 0.0f;
  zeroRow.angles[2] = 45.0f;
  Matrix before = zeroRow;
  zeroRow.Invert();
  EXPECT_EQ(zeroRow, before);
  EXPECT_EQ(+zeroRow.angles[2], 45.0f);
  EXPECT_TRUE(zeroRow.IsSingular());

  // A determinant negligible against its terms counts as singular too.
  Matrix nearlySingular;
  nearlySingular.m[0][0] = 1;
  nearlySingular.m[0][1] = 1;
  nearlySingular.m[1][0] = 1;
  nearlySingular.m[1][1] = 1.000001f;
  EXPECT_TRUE(nearlySingular.IsSingular());
  EXPECT_FALSE(Matrix().IsSingular());
}

TEST(Matrix, RotationMatrixFollowsTheAxisConvention) {
  Matrix m;
  BuildRotationMatrix(m, 0, 0, 0);
  EXPECT_EQ(m, Matrix());
  BuildRotationMatrix(m, 0, 90, 0);
  EXPECT_NEAR(m.m[2][0], 1.0f, 1e-7);
  EXPECT_NEAR(m.m[0][2], -1.0f, 1e-7);
  // About the third axis: the first axis turns onto the second.
  BuildRotationMatrix(m, 0, 0, 90);
  VECTEUR x = m * VECTEUR(1, 0, 0);
  EXPECT_NEAR(x.y, 1.0, 1e-7);
  // About the first axis: the second axis turns onto the third.
  BuildRotationMatrix(m, 90, 0, 0);
  VECTEUR y = m * VECTEUR(0, 1, 0);
  EXPECT_NEAR(y.z, 1.0, 1e-7);
}

TEST(Matrix, RotationIsRzTimesRyOfMinusBTimesRx) {
  Matrix rx, ry, rz, all;
  BuildRotationMatrix(rx, 25, 0, 0);
  BuildRotationMatrix(ry, 0, 40, 0);
  BuildRotationMatrix(rz, 0, 0, -70);
  BuildRotationMatrix(all, 25, 40, -70);
  ExpectMatrixNear(rz * ry * rx, all, 1e-6);
}

TEST(Matrix, RotationWritesOnlyTheEntries) {
  Matrix m;
  m.angles[0] = 12.0f;
  m.slants[2] = 3.0f;
  BuildRotationMatrix(m, 10, 20, 30);
  EXPECT_EQ(+m.angles[0], 12.0f);
  EXPECT_EQ(+m.slants[2], 3.0f);
}

TEST(Matrix, TransformMatrixScalesSlantsAndRotates) {
  Matrix m;
  BuildTransformMatrix(m, 2, 3, 4, 0, 0, 0, 0, 0, 0);
  ExpectMatrixNear(m, Diagonal(2, 3, 4), 0);

  BuildTransformMatrix(m, 1, 2, 1, 0, 0, 0, 0, 0, 30);
  EXPECT_NEAR(m.m[1][0], 2 * 0.5, 1e-6);               // sy * sin r
  EXPECT_NEAR(m.m[1][1], 2 * std::sqrt(3) / 2, 1e-6);  // sy * cos r

  BuildTransformMatrix(m, 1, 1, 1, 10, 20, 30, 1, 2, 3);
  EXPECT_EQ(+m.angles[0], 10.0f);
  EXPECT_EQ(+m.angles[1], 20.0f);
  EXPECT_EQ(+m.angles[2], 30.0f);
  EXPECT_EQ(+m.slants[0], 1.0f);
  EXPECT_EQ(+m.slants[1], 2.0f);
  EXPECT_EQ(+m.slants[2], 3.0f);

  // Without slants, the rotation applied to the scaled axes.
  Matrix rotation, scaled;
  BuildRotationMatrix(rotation, 10, 20, 30);
  BuildTransformMatrix(scaled, 2, 3, 4, 10, 20, 30, 0, 0, 0);
  ExpectMatrixNear(scaled, rotation * Diagonal(2, 3, 4), 1e-6);
}

TEST(Matrix, AnglesAreRecoveredFromRotations) {
  const float cases[][3] = {{10, 20, 30}, {-50, 80, 170}, {200, -30, 300}, {0, 0, 0}, {90, 45, -90}, {359, 1, 181}};
  for (const auto& c : cases) {
    Matrix m;
    BuildTransformMatrix(m, 1, 1, 1, c[0], c[1], c[2], 0, 0, 0);
    float a = -1, b = -1, cc = -1, p = -1, q = -1, r = -1;
    GetRotationMatrixAngles(m, a, b, cc, p, q, r);
    EXPECT_NEAR(AngleDifference(a, c[0]), 0.0, 1e-2) << c[0] << " " << c[1] << " " << c[2];
    EXPECT_NEAR(AngleDifference(b, c[1]), 0.0, 1e-2);
    EXPECT_NEAR(AngleDifference(cc, c[2]), 0.0, 1e-2);
    EXPECT_NEAR(p, 0.0, 1e-2);
    EXPECT_NEAR(q, 0.0, 1e-2);
    EXPECT_NEAR(r, 0.0, 1e-2);
  }
}

TEST(Matrix, AnglesBeyondTheSecondAxisRangeGiveAnEquivalentRotation) {
  Matrix m;
  BuildTransformMatrix(m, 1, 1, 1, 30, 120, 40, 0, 0, 0);
  float a, b, c, p, q, r;
  GetRotationMatrixAngles(m, a, b, c, p, q, r);
  EXPECT_GE(b, -90.0f);
  EXPECT_LE(b, 90.0f);
  Matrix rebuilt;
  BuildRotationMatrix(rebuilt, a, b, c);
  ExpectMatrixNear(rebuilt, m, 1e-4);
}

TEST(Matrix, GimbalLockIsNudgedAndStillRecoversTheRotation) {
  Matrix m;
  BuildTransformMatrix(m, 1, 1, 1, 0, 90, 30, 0, 0, 0);
  float a, b, c, p, q, r;
  GetRotationMatrixAngles(m, a, b, c, p, q, r);
  EXPECT_NEAR(b, 90.0f, 1e-3);
  // The nudge is an approximation: the rebuilt rotation agrees within about a degree.
  Matrix rebuilt;
  BuildRotationMatrix(rebuilt, a, b, c);
  ExpectMatrixNear(rebuilt, m, 0.03);
}

TEST(Matrix, AnglesIgnoreScale) {
  Matrix m;
  BuildTransformMatrix(m, 3, 0.25f, 7, 15, -25, 35, 0, 0, 0);
  float a, b, c, p, q, r;
  GetRotationMatrixAngles(m, a, b, c, p, q, r);
  EXPECT_NEAR(AngleDifference(a, 15), 0.0, 1e-2);
  EXPECT_NEAR(AngleDifference(b, -25), 0.0, 1e-2);
  EXPECT_NEAR(AngleDifference(c, 35), 0.0, 1e-2);
}

// The slant that leans the second axis towards the first (as objects slant themselves).
Matrix LeaningSecondAxis(double degrees) {
  Matrix m;
  m.m[0][1] = static_cast<float>(std::sin(degrees * DegreesToRadians));
  m.m[1][1] = static_cast<float>(std::cos(degrees * DegreesToRadians));
  return m;
}

TEST(Matrix, ThirdSlantSignFollowsTheLeanOfTheSecondAxis) {
  float a, b, c, p, q, r;
  Matrix positive = LeaningSecondAxis(20), negative = LeaningSecondAxis(-20);
  GetRotationMatrixAngles(positive, a, b, c, p, q, r);
  EXPECT_GT(r, 0.0f);
  const float positiveR = r;
  GetRotationMatrixAngles(negative, a, b, c, p, q, r);
  EXPECT_FLOAT_EQ(r, -positiveR);
}

TEST(Matrix, ZeroColumnsDoNotProduceNaN) {
  Matrix m = Diagonal(0, 0, 0);
  float a = 0, b = 0, c = 0, p = 0, q = 0, r = 0;
  GetRotationMatrixAngles(m, a, b, c, p, q, r);
  for (float v : {a, b, c, p, q, r})
    EXPECT_FALSE(std::isnan(v));
}

TEST(BuildBase, IsOrthonormalAndRightHanded) {
  const VECTEUR directions[] = {VECTEUR(0, 5, 0), VECTEUR(0, -2, 0), VECTEUR(1, 2, 3), VECTEUR(-4, 0.1, 2),
                                VECTEUR(1, 0, 0), VECTEUR(-3, 0, 0), VECTEUR(0, 0, 1), VECTEUR(0, 0.5, -0.1)};
  for (const VECTEUR& dir : directions) {
    VECTEUR u, v, w;
    BuildBase(dir, u, v, w);
    EXPECT_NEAR(Length(u), 1.0, 1e-9);
    EXPECT_NEAR(Length(v), 1.0, 1e-9);
    EXPECT_NEAR(Length(w), 1.0, 1e-9);
    EXPECT_NEAR(Dot(u, v), 0.0, 1e-9);
    EXPECT_NEAR(Dot(v, w), 0.0, 1e-9);
    EXPECT_NEAR(Dot(u, w), 0.0, 1e-9);
    VECTEUR vxw = Cross(v, w);
    EXPECT_NEAR(vxw.x, u.x, 1e-9);
    EXPECT_NEAR(vxw.y, u.y, 1e-9);
    EXPECT_NEAR(vxw.z, u.z, 1e-9);
    VECTEUR unit = Normalised(dir);
    EXPECT_NEAR(Dot(w, unit), 1.0, 1e-12);
  }
}

TEST(BuildBase, UpDirectionGivesTheDocumentedFrame) {
  VECTEUR u, v, w;
  BuildBase(VECTEUR(0, 5, 0), u, v, w);
  EXPECT_EQ(w, VECTEUR(0, 1, 0));
  EXPECT_EQ(v, VECTEUR(0, 0, -1));
  EXPECT_EQ(u, VECTEUR(1, 0, 0));
}

TEST(BuildBase, ZeroDirectionStaysZeroWithoutDividing) {
  VECTEUR u, v, w;
  BuildBase(VECTEUR(0, 0, 0), u, v, w);
  EXPECT_EQ(w, VECTEUR(0, 0, 0));
  EXPECT_FALSE(std::isnan(u.x) || std::isnan(v.z));
}

TEST(CosSinTables, SpanMinusHalfPiToHalfPi) {
  InitCosSinTables();
  EXPECT_NEAR(CosTable[8], 1.0f, 1e-7);
  EXPECT_NEAR(SinTable[8], 0.0f, 1e-7);
  EXPECT_NEAR(SinTable[0], -1.0f, 1e-7);
  EXPECT_NEAR(SinTable[16], 1.0f, 1e-7);
  EXPECT_NEAR(CosTable[12], std::cos(3.141592654 / 4), 1e-7);
}

}  // namespace
