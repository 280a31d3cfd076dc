// 3x3 single-precision transform matrices that remember the rotation and slant angles
// (degrees) they were built from, the functions that build and decompose them, the
// orthonormal basis builder and the small cosine/sine tables of the wireframe views.
#pragma once

#include "engine/geometry/vectors.h"

#pragma pack(push, 1)

struct Matrix {
  float m[3][3];
  float angles[3];  // rotation about the first, second and third axis, degrees
  float slants[3];  // slant (shear) angles, degrees

  // The identity with all angles 0.
  Matrix();
  // Copies the nine entries of b, keeping this matrix's angles and slants.
  void SetEntries(const Matrix& b) {
    for (int i = 0; i < 3; i++)
      for (int j = 0; j < 3; j++)
        m[i][j] = b.m[i][j];
  }
  // Records the rotation (a, b, c) and slant (p, q, r) angles the matrix stands for.
  void SetAngles(float a, float b, float c, float p, float q, float r) {
    angles[0] = a;
    angles[1] = b;
    angles[2] = c;
    slants[0] = p;
    slants[1] = q;
    slants[2] = r;
  }
  // Compares the nine entries only; the angles are ignored.
  bool operator==(const Matrix& b) const;
  // Row i of m dotted with v, in double precision.
  VECTEUR operator*(const VECTEUR& v) const {
    return VECTEUR(m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z, m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
                   m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z);
  }
  // this = this * b (this on the left); the angles of this are kept.
  Matrix& operator*=(const Matrix& b);
  // Inverts the 3x3 part in place; a singular matrix is left as it was. On success
  // the angles and slants become 0.
  void Invert();
  // The test Invert applies: a zero determinant, or one negligible against its terms.
  bool IsSingular() const;

  // The transpose of the 3x3 part applied to v (column i dotted with v).
  VECTEUR TransposeTimes(const VECTEUR& v) const {
    return VECTEUR(m[0][0] * v.x + m[1][0] * v.y + m[2][0] * v.z, m[0][1] * v.x + m[1][1] * v.y + m[2][1] * v.z,
                   m[0][2] * v.x + m[1][2] * v.y + m[2][2] * v.z);
  }
  // Length of column j: the size of the object along its j-th axis.
  double ColumnLength(int j) const {
    const double x = m[0][j], y = m[1][j], z = m[2][j];
    return std::sqrt(x * x + y * y + z * z);
  }
};

#pragma pack(pop)

static_assert(sizeof(Matrix) == 60);

// a * b; the result's angles and slants are 0.
Matrix operator*(const Matrix& a, const Matrix& b);

// Radians per degree as the rotation builder uses it, and as the transform builder and
// the object transforms use it; degrees per radian.
constexpr double RotationDegreesToRadians = 0.017453292512;
constexpr double DegreesToRadians = 0.017453292522222223;
constexpr double RadiansToDegrees = 57.29577950560105;

// Rz(c) * Ry(-b) * Rx(a) for column vectors; writes only the nine entries.
void BuildRotationMatrix(Matrix& m, float a, float b, float c);
// Scale, then slant, then rotation; overwrites the whole matrix including its angles.
void BuildTransformMatrix(Matrix& m, float sx, float sy, float sz, float a, float b, float c, float p, float q,
                          float r);
// Extracts rotation angles (a, b, c) and slant angles (p, q, r), degrees.
void GetRotationMatrixAngles(const Matrix& m, float& a, float& b, float& c, float& p, float& q, float& r);
// An orthonormal basis (u, v, w) with w along dir.
void BuildBase(VECTEUR dir, VECTEUR& u, VECTEUR& v, VECTEUR& w);

// Cosine and sine of -pi/2 to +pi/2 in steps of pi/16, filled by InitCosSinTables.
extern float CosTable[17];
extern float SinTable[17];
void InitCosSinTables();
