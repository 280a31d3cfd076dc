#include "engine/geometry/matrix.h"

#include <cmath>
#include <cstring>

float CosTable[17];
float SinTable[17];

Matrix::Matrix() {
  for (int i = 0; i < 3; i++) {
    for (int j = 0; j < 3; j++)
      m[i][j] = i == j ? 1.0f : 0.0f;
    angles[i] = 0.0f;
    slants[i] = 0.0f;
  }
}

bool Matrix::operator==(const Matrix& b) const {
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++)
      if (m[i][j] != b.m[i][j])
        return false;
  return true;
}

namespace {

// Product of the 3x3 parts, in double precision, rounded to single precision. Entries are
// read through the (byte-packed) records themselves, never through float pointers.
void MultiplyInto(Matrix& out, const Matrix& a, const Matrix& b) {
  float result[3][3];
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++)
      result[i][j] =
          static_cast<float>(static_cast<double>(a.m[i][0]) * b.m[0][j] + static_cast<double>(a.m[i][1]) * b.m[1][j] +
                             static_cast<double>(a.m[i][2]) * b.m[2][j]);
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++)
      out.m[i][j] = result[i][j];
}

struct Rows {
  double r[3][3];
};

double RowDot(const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void RowCross(double* out, const double* a, const double* b) {
  double c[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
  out[0] = c[0];
  out[1] = c[1];
  out[2] = c[2];
}

void RowNormalise(double* v) {
  double len = std::sqrt(RowDot(v, v));
  double f = len == 0.0 ? 1.0 : 1.0 / len;
  v[0] *= f;
  v[1] *= f;
  v[2] *= f;
}

// asin in degrees, saturating at +-90 when the argument's magnitude reaches 1.
double AsinDegrees(double s) {
  if (s >= 1.0)
    return 90.0;
  if (s <= -1.0)
    return -90.0;
  return std::asin(s) * RadiansToDegrees;
}

// The angle of a (cosine, sine) pair, degrees. Returns false when the sine is out of
// range in the asin branch: the caller then stops, leaving later outputs alone.
bool AngleFromPair(double co, double si, bool clampCosine, double& angle) {
  if (clampCosine && std::fabs(co) > 1.0) {
    angle = co < -1.0 ? 180.0 : 0.0;
    return true;
  }
  if (std::fabs(co) <= 0.707) {
    angle = std::acos(co) * RadiansToDegrees;
    if (si < 0.0)
      angle = 360.0 - angle;
    return true;
  }
  if (std::fabs(si) > 1.0)
    return false;
  angle = std::asin(si) * RadiansToDegrees;
  if (co < 0.0)
    angle = 180.0 - angle;
  return true;
}

}  // namespace

Matrix& Matrix::operator*=(const Matrix& b) {
  MultiplyInto(*this, *this, b);
  return *this;
}

Matrix operator*(const Matrix& a, const Matrix& b) {
  Matrix result;
  MultiplyInto(result, a, b);
  return result;
}

namespace {

// The determinant of the 3x3 part, and whether it is too small against its terms to invert.
double Determinant(const Matrix& matrix, bool& singular) {
  const double a00 = matrix.m[0][0], a01 = matrix.m[0][1], a02 = matrix.m[0][2];
  const double a10 = matrix.m[1][0], a11 = matrix.m[1][1], a12 = matrix.m[1][2];
  const double a20 = matrix.m[2][0], a21 = matrix.m[2][1], a22 = matrix.m[2][2];
  const double terms[6] = {a00 * a11 * a22,  a01 * a12 * a20,  a02 * a10 * a21,
                           -a02 * a11 * a20, -a01 * a10 * a22, -a00 * a12 * a21};
  double pos = 0.0, neg = 0.0;
  for (double t : terms) {
    if (t >= 0.0)
      pos += t;
    else
      neg += t;
  }
  const double det = pos + neg;
  singular = det == 0.0 || std::fabs(det / (pos - neg)) < 1e-5;
  return det;
}

}  // namespace

bool Matrix::IsSingular() const {
  bool singular;
  Determinant(*this, singular);
  return singular;
}

void Matrix::Invert() {
  bool singular;
  const double det = Determinant(*this, singular);
  if (singular)
    return;
  const double a00 = m[0][0], a01 = m[0][1], a02 = m[0][2];
  const double a10 = m[1][0], a11 = m[1][1], a12 = m[1][2];
  const double a20 = m[2][0], a21 = m[2][1], a22 = m[2][2];
  const double inv = 1.0 / det;
  float r[3][3] = {
      {static_cast<float>((a11 * a22 - a12 * a21) * inv), static_cast<float>((a02 * a21 - a01 * a22) * inv),
       static_cast<float>((a01 * a12 - a02 * a11) * inv)},
      {static_cast<float>((a12 * a20 - a10 * a22) * inv), static_cast<float>((a00 * a22 - a02 * a20) * inv),
       static_cast<float>((a02 * a10 - a00 * a12) * inv)},
      {static_cast<float>((a10 * a21 - a11 * a20) * inv), static_cast<float>((a01 * a20 - a00 * a21) * inv),
       static_cast<float>((a00 * a11 - a01 * a10) * inv)},
  };
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++)
      m[i][j] = r[i][j];
  for (int i = 0; i < 3; i++) {
    angles[i] = 0.0f;
    slants[i] = 0.0f;
  }
}

void BuildRotationMatrix(Matrix& m, float a, float b, float c) {
  const float ar = static_cast<float>(a * RotationDegreesToRadians);
  const float br = static_cast<float>(b * RotationDegreesToRadians);
  const float cr = static_cast<float>(c * RotationDegreesToRadians);
  const double c1 = static_cast<float>(std::cos(ar)), s1 = static_cast<float>(std::sin(ar));
  const double c2 = static_cast<float>(std::cos(br)), s2 = static_cast<float>(std::sin(br));
  const double c3 = static_cast<float>(std::cos(cr)), s3 = static_cast<float>(std::sin(cr));
  m.m[0][0] = static_cast<float>(c3 * c2);
  m.m[0][1] = static_cast<float>(-s1 * s2 * c3 - c1 * s3);
  m.m[0][2] = static_cast<float>(s1 * s3 - s2 * c1 * c3);
  m.m[1][0] = static_cast<float>(s3 * c2);
  m.m[1][1] = static_cast<float>(c1 * c3 - s1 * s2 * s3);
  m.m[1][2] = static_cast<float>(-s2 * s3 * c1 - s1 * c3);
  m.m[2][0] = static_cast<float>(s2);
  m.m[2][1] = static_cast<float>(s1 * c2);
  m.m[2][2] = static_cast<float>(c1 * c2);
}

void BuildTransformMatrix(Matrix& m, float sx, float sy, float sz, float a, float b, float c, float p, float q,
                          float r) {
  const double pr = p * DegreesToRadians, qr = q * DegreesToRadians, rr = r * DegreesToRadians;
  Matrix slant;
  slant.m[2][0] = static_cast<float>(std::sin(pr));
  slant.m[2][1] = static_cast<float>(std::sin(qr));
  slant.m[2][2] = static_cast<float>(std::cos(pr) * std::cos(qr));
  slant.m[1][0] = static_cast<float>(std::sin(rr));
  slant.m[1][1] = static_cast<float>(std::cos(rr));
  const float scale[3] = {sx, sy, sz};
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++)
      slant.m[i][j] *= scale[i];
  Matrix rotation;
  BuildRotationMatrix(rotation, a, b, c);
  rotation *= slant;
  m = rotation;
  m.SetAngles(a, b, c, p, q, r);
}

void GetRotationMatrixAngles(const Matrix& matrix, float& a, float& b, float& c, float& p, float& q, float& r) {
  // 1. Columns to unit length (a zero column stays zero).
  Rows w;
  for (int j = 0; j < 3; j++) {
    double len = matrix.ColumnLength(j);
    double f = len == 0.0 ? 1.0 : 1.0 / len;
    for (int i = 0; i < 3; i++)
      w.r[i][j] = matrix.m[i][j] * f;
  }
  double* r0 = w.r[0];
  double* r1 = w.r[1];
  double* r2 = w.r[2];

  // 2. A perpendicular to the first two rows, B in their plane perpendicular to r0.
  double A[3], B[3];
  RowCross(A, r0, r1);
  RowNormalise(A);
  RowCross(B, A, r0);
  RowNormalise(B);

  // 3. Third slant: the lean of the second row towards the first. Its sign follows
  // r0 . r1, the direction of that lean (B . r0 is zero up to rounding and cannot
  // decide it).
  double br1 = RowDot(B, r1);
  double slantR = std::fabs(br1) >= 1.0 ? 0.0 : std::acos(br1) * RadiansToDegrees;
  if (RowDot(r0, r1) < 0.0)
    slantR = -slantR;

  // 4. Row 1 becomes B; first and second slants.
  for (int k = 0; k < 3; k++)
    r1[k] = B[k];
  p = static_cast<float>(AsinDegrees(RowDot(r2, r0)));
  q = static_cast<float>(AsinDegrees(RowDot(r2, B)));
  r = static_cast<float>(slantR);

  // 5. Row 2 becomes A: a pure rotation remains.
  for (int k = 0; k < 3; k++)
    r2[k] = A[k];

  // 6. Gimbal lock: nudge by 0.1 degree about the second axis.
  double cosb = std::sqrt(std::fmax(0.0, 1.0 - w.r[2][0] * w.r[2][0]));
  bool nudged = false;
  if (cosb == 0.0) {
    Matrix nudge;
    BuildRotationMatrix(nudge, 0.0f, 0.1f, 0.0f);
    Rows product;
    for (int i = 0; i < 3; i++)
      for (int j = 0; j < 3; j++)
        product.r[i][j] = w.r[i][0] * nudge.m[0][j] + w.r[i][1] * nudge.m[1][j] + w.r[i][2] * nudge.m[2][j];
    w = product;
    cosb = std::sqrt(std::fmax(0.0, 1.0 - w.r[2][0] * w.r[2][0]));
    nudged = true;
  }

  // 7. The three angles from their (cosine, sine) pairs.
  double angle;
  if (!AngleFromPair(w.r[2][2] / cosb, w.r[2][1] / cosb, true, angle))
    return;
  a = static_cast<float>(angle);
  if (!AngleFromPair(cosb, w.r[2][0], false, angle))
    return;
  b = static_cast<float>(angle);
  if (!AngleFromPair(w.r[0][0] / cosb, w.r[1][0] / cosb, true, angle))
    return;
  c = static_cast<float>(angle);

  // 8. Undo the nudge.
  if (nudged)
    b = static_cast<float>(b + 0.1);
}

void BuildBase(VECTEUR dir, VECTEUR& u, VECTEUR& v, VECTEUR& w) {
  w = Normalised(dir);
  VECTEUR vv;
  if (std::fabs(w.y) < 0.99998) {
    vv = VECTEUR(0.0, w.z, -w.y);
    // Along the first axis the formula gives a zero vector: take the vertical that
    // the directions just beside it (with a small positive y) give.
    if (vv.y == 0.0 && vv.z == 0.0 && w.x != 0.0)
      vv = VECTEUR(0.0, 0.0, -1.0);
  } else {
    vv = w.y <= 0.0 ? VECTEUR(0.0, 0.0, 1.0) : VECTEUR(0.0, 0.0, -1.0);
  }
  Normalise(vv);
  u = Cross(vv, w);
  v = vv;
}

void InitCosSinTables() {
  for (int i = 0; i < 17; i++) {
    double angle = (i - 8) * 3.141592654 * 0.0625;
    CosTable[i] = static_cast<float>(std::cos(angle));
    SinTable[i] = static_cast<float>(std::sin(angle));
  }
}
