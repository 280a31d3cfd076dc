#include "engine/geometry/matrix.h"

#include <gtest/gtest.h>

namespace {

TEST(Matrix, RotationOfZeroAnglesIsTheIdentity) {
  Matrix m;
  m.m[0][1] = 5.0f;
  BuildRotationMatrix(m, 0, 0, 0);
  EXPECT_TRUE(m == Matrix());
}

}  // namespace
