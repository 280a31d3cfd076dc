#include "engine/functions/noise.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/functions/noise_basis.h"
#include "engine/platform/memory.h"
#include "engine/platform/messages.h"
#include "engine/platform/quit_request.h"

namespace {

class Noise : public ::testing::Test {
 protected:
  void SetUp() override { InitNoise(); }
  void TearDown() override { FreeNoiseData(); }
};

// Bit-by-bit CRC-16/ARC, independent of the engine's table-driven one.
uint16_t BitwiseCrc16Arc(const unsigned char* bytes, size_t count) {
  uint16_t crc = 0;
  for (size_t n = 0; n < count; n++) {
    crc ^= bytes[n];
    for (int bit = 0; bit < 8; bit++)
      crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
  }
  return crc;
}

int Hash(int i, int j, int k) {
  const int16_t* p = NoisePermutation;
  return p[p[p[i & 4095] ^ (j & 4095)] ^ (k & 4095)] & 255;
}

std::vector<std::array<float, 3>> RandomPoints(int count, float range, unsigned seed) {
  std::mt19937 generator(seed);
  std::uniform_real_distribution<float> coordinate(-range, range);
  std::vector<std::array<float, 3>> points(count);
  for (auto& p : points)
    p = {coordinate(generator), coordinate(generator), coordinate(generator)};
  return points;
}

TEST_F(Noise, PermutationIsTheCLibraryShuffleAfterSrandZero) {
  std::vector<int> expected(4096);
  for (int n = 0; n < 4096; n++)
    expected[n] = n;
  std::srand(0);
  for (int n = 4095; n >= 0; n--)
    std::swap(expected[n], expected[std::rand() % 4096]);
  std::vector<bool> seen(4096, false);
  for (int n = 0; n < 4096; n++) {
    ASSERT_EQ(NoisePermutation[n], expected[n]) << "entry " << n;
    seen[NoisePermutation[n]] = true;
  }
  EXPECT_EQ(std::count(seen.begin(), seen.end(), true), 4096);
}

TEST_F(Noise, RTableIsTheCrcOfThreeDoublesScaledToPlusMinusOne) {
  const unsigned char check[] = "123456789";
  ASSERT_EQ(BitwiseCrc16Arc(check, 9), 0xBB3D);  // the published check value of CRC-16/ARC
  for (int n = 0; n < 267; n++) {
    const double value = n * 0.12345;
    unsigned char bytes[24];
    for (int copy = 0; copy < 3; copy++)
      std::memcpy(bytes + 8 * copy, &value, 8);
    const float expected = static_cast<float>(BitwiseCrc16Arc(bytes, 24) * (2.0 / 65535.0) - 1.0);
    ASSERT_EQ(RTable[n], expected) << "entry " << n;
    ASSERT_GE(RTable[n], -1.0f);
    ASSERT_LE(RTable[n], 1.0f);
  }
}

TEST_F(Noise, FractalPatchSpansExactlyZeroToOneAndWraps) {
  float low = 2, high = -1;
  for (int i = 0; i < 64; i++)
    for (int j = 0; j < 64; j++) {
      low = std::min(low, GetFromFractalPatch(i, j));
      high = std::max(high, GetFromFractalPatch(i, j));
    }
  EXPECT_EQ(low, 0.0f);
  EXPECT_EQ(high, 1.0f);
  EXPECT_EQ(GetFromFractalPatch(64, 0), GetFromFractalPatch(0, 0));
  EXPECT_EQ(GetFromFractalPatch(-1, -1), GetFromFractalPatch(63, 63));
  EXPECT_EQ(GetFromFractalPatch(-65, 130), GetFromFractalPatch(63, 2));
  EXPECT_NE(GetFromFractalPatch(5, 7), GetFromFractalPatch(7, 5));
}

TEST_F(Noise, TablesAreRebuiltIdenticallyWhateverTheCursor) {
  std::vector<float> first(&FractalPatch[0][0], &FractalPatch[0][0] + 65 * 65);
  std::vector<int16_t> permutation(NoisePermutation, NoisePermutation + 4096);
  SetFastRandomSeed(1234);
  InitNoise();  // without FreeNoiseData in between
  EXPECT_TRUE(std::equal(first.begin(), first.end(), &FractalPatch[0][0]));
  EXPECT_TRUE(std::equal(permutation.begin(), permutation.end(), NoisePermutation));
  FreeNoiseData();
  InitNoise();
  EXPECT_TRUE(std::equal(first.begin(), first.end(), &FractalPatch[0][0]));
}

TEST_F(Noise, FastRandomWalksThePermutationWithPeriod4096) {
  SetFastRandomSeed(0);
  const int first = FastRandom();
  EXPECT_EQ(first, NoisePermutation[0]);
  SetFastRandomSeed(4096);
  EXPECT_EQ(FastRandom(), first);
  SetFastRandomSeed(-1);  // masked to 4095 at the read
  EXPECT_EQ(FastRandom(), NoisePermutation[4095]);
  EXPECT_EQ(FastRandom(), NoisePermutation[0]);

  SetFastRandomSeed(17);
  std::vector<int> ints;
  for (int n = 0; n < 4096; n++)
    ints.push_back(FastRandom());
  SetFastRandomSeed(17);
  float largest = -1, smallest = 2;
  for (int n = 0; n < 4096; n++) {
    const float f = FastRandomFloat();
    ASSERT_EQ(f * 4096.0f, static_cast<float>(ints[n]));
    largest = std::max(largest, f);
    smallest = std::min(smallest, f);
  }
  EXPECT_EQ(largest, 4095.0f / 4096.0f);
  EXPECT_EQ(smallest, 0.0f);
}

TEST(NoiseFloor, EIsTheFloor) {
  EXPECT_EQ(E(-0.5f), -1);
  EXPECT_EQ(E(-2.0f), -2);
  EXPECT_EQ(E(2.7f), 2);
  EXPECT_EQ(E(0.0f), 0);
  EXPECT_EQ(E(-0.0f), 0);
  EXPECT_EQ(E(-1e-30f), -1);
  EXPECT_EQ(E(16777216.0f), 16777216);
  for (float x = -50.0f; x < 50.0f; x += 0.37f)
    ASSERT_EQ(E(x), static_cast<int>(std::floor(x))) << x;
  // Beyond the int range: defined values, no undefined conversion.
  EXPECT_EQ(E(-1e20f), INT32_MIN);
  EXPECT_EQ(E(std::nanf("")), INT32_MIN);
}

TEST_F(Noise, GradientNoiseAtALatticePointIsHalfTheCornerEntry) {
  for (int x = -20; x <= 20; x += 3)
    for (int y = -7; y <= 9; y += 4)
      for (int z = -5; z <= 5; z += 5) {
        const float expected = 0.5f * RTable[Hash(x + 10010, y + 10010, z + 10010)];
        ASSERT_EQ(GradientNoise(x, y, z), expected) << x << " " << y << " " << z;
        // The hash keeps 12 bits: the lattice repeats every 4096 cells.
        ASSERT_EQ(GradientNoise(x + 4096, y, z - 4096), expected);
        ASSERT_FLOAT_EQ(InverseDistanceNoise(x, y, z), 2.0f * expected);  // the corner's weight dominates
      }
}

TEST_F(Noise, VectorGradientNoiseComponentsReadSuccessiveFours) {
  // At a lattice point each component is half the first entry of its group of four.
  for (int x = -3; x <= 3; x++) {
    const int h = Hash(x + 10010, 10012, 10010);
    const VECTEUR v = VectorGradientNoise(x, 2, 0);
    EXPECT_EQ(v.x, 0.5f * RTable[h]);
    EXPECT_EQ(v.y, 0.5f * RTable[h + 4]);
    EXPECT_EQ(v.z, 0.5f * RTable[h + 8]);
    EXPECT_EQ(LinearValueNoise(x, 2, 0), RTable[h]);
  }
}

// The plain scalar formulation of the gradient noises: every product and sum in the
// order the engine must keep, so that any faster layout gives the same bits.
struct ReferenceCell {
  int h[8];
  float wx[2], wy[2], wz[2], dx[2], dy[2], dz[2];
};

ReferenceCell ReferenceCellOf(float x, float y, float z) {
  ReferenceCell c;
  const float px = x + 10010.0f, py = y + 10010.0f, pz = z + 10010.0f;
  const int i = Truncate(px), j = Truncate(py), k = Truncate(pz);
  const float f[3] = {px - static_cast<float>(i), py - static_cast<float>(j), pz - static_cast<float>(k)};
  float* w[3] = {c.wx, c.wy, c.wz};
  float* d[3] = {c.dx, c.dy, c.dz};
  for (int axis = 0; axis < 3; axis++) {
    const float s = (3.0f - 2.0f * f[axis]) * (f[axis] * f[axis]);
    w[axis][0] = 1.0f - s;
    w[axis][1] = s;
    d[axis][0] = f[axis];
    d[axis][1] = f[axis] - 1.0f;
  }
  for (int n = 0; n < 8; n++)
    c.h[n] = Hash(CellPlus(i, n >> 2), CellPlus(j, (n >> 1) & 1), CellPlus(k, n & 1));
  return c;
}

float ReferenceCornerSum(const ReferenceCell& c, int entry) {
  float sum = 0.0f;
  for (int n = 0; n < 8; n++) {
    const int a = n >> 2, b = (n >> 1) & 1, d = n & 1;
    const float* r = RTable + c.h[n] + entry;
    const float gradient = 0.5f * r[0] + r[1] * c.dx[a] + r[2] * c.dy[b] + r[3] * c.dz[d];
    sum += c.wx[a] * c.wy[b] * c.wz[d] * gradient;
  }
  return sum;
}

uint32_t Bits(float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, 4);
  return bits;
}

TEST_F(Noise, GradientNoisesGiveTheBitsOfThePlainFormulation) {
  auto points = RandomPoints(20000, 300.0f, 5);
  for (const auto& p : RandomPoints(5000, 2.0f, 6))
    points.push_back(p);
  for (const auto& p : RandomPoints(5000, 1e5f, 7))  // beyond the offset: negative cells
    points.push_back(p);
  // Lattice points, cell faces and their neighbouring floats, signed zeros, tiny and huge values.
  std::vector<float> specials = {0.0f,  -0.0f,     1.0f,      -1.0f,     0.5f,    1e-30f, -1e-30f, 1e-45f,
                                 -1e7f, -10010.0f, -10011.0f, -10009.5f, 4096.0f, 3e9f,   -3e9f,   1e30f};
  for (float v : {1.0f, -7.0f, -10010.0f}) {
    specials.push_back(std::nextafter(v, 0.0f));
    specials.push_back(std::nextafter(v, 2.0f * v));
  }
  for (float x : specials)
    for (float y : {0.0f, -2.5f, 1e-30f, std::nextafter(3.0f, 4.0f), -1e30f})
      for (float z : {0.25f, -0.0f, 17.0f, -3e9f}) {
        points.push_back({x, y, z});
        points.push_back({y, z, x});
        points.push_back({z, x, y});
      }
  for (int n = -40; n <= 40; n++)
    points.push_back({static_cast<float>(n), 0.5f * n, -static_cast<float>(n)});
  for (const auto& p : points) {
    const ReferenceCell c = ReferenceCellOf(p[0], p[1], p[2]);
    const float expected = std::min(ReferenceCornerSum(c, 0), 1.0f);
    ASSERT_EQ(Bits(GradientNoise(p[0], p[1], p[2])), Bits(expected)) << p[0] << " " << p[1] << " " << p[2];
    const VECTEUR v = VectorGradientNoise(p[0], p[1], p[2]);
    for (int component = 0; component < 3; component++) {
      const double got = component == 0 ? v.x : component == 1 ? v.y : v.z;
      ASSERT_EQ(Bits(static_cast<float>(got)), Bits(ReferenceCornerSum(c, 4 * component)))
          << p[0] << " " << p[1] << " " << p[2] << " component " << component;
    }
  }
}

TEST_F(Noise, SmoothNoisesAreContinuous) {
  // Random points, plus points straddling cell faces where the corners change.
  auto points = RandomPoints(3000, 60.0f, 1);
  for (int n = -5; n <= 5; n++)
    points.push_back({n - 0.00005f, 0.3f * n, 1.0f - 0.00005f});
  for (const auto& p : points) {
    const float x = p[0], y = p[1], z = p[2], d = 1e-4f;
    ASSERT_NEAR(GradientNoise(x, y, z), GradientNoise(x + d, y + d, z + d), 0.01f);
    ASSERT_NEAR(LinearValueNoise(x, y, z), LinearValueNoise(x + d, y + d, z + d), 0.01f);
    const VECTEUR a = VectorGradientNoise(x, y, z), b = VectorGradientNoise(x + d, y, z + d);
    ASSERT_NEAR(a.x, b.x, 0.01);
    ASSERT_NEAR(a.y, b.y, 0.01);
    ASSERT_NEAR(a.z, b.z, 0.01);
  }
}

TEST_F(Noise, BasisFunctionsStayFiniteAndInTheirRanges) {
  int spotsHit = 0, emptySpace = 0;
  for (const auto& p : RandomPoints(4000, 200.0f, 2)) {
    const float x = p[0], y = p[1], z = p[2];
    const float g = GradientNoise(x, y, z);
    ASSERT_TRUE(std::isfinite(g));
    ASSERT_LE(g, 1.0f);
    const float l = LinearValueNoise(x, y, z);
    ASSERT_GE(l, -1.0f);
    ASSERT_LE(l, 1.0f);
    const float spot = SpotCells(x, y, z);
    ASSERT_GE(spot, -1.0f);
    (spot == -1.0f ? emptySpace : spotsHit)++;
    for (float v :
         {CrackCells(x, y, z), BlockCells(x, y, z), ManhattanCellValue(x, y, z), ManhattanCellPeaks(x, y, z),
          EuclidCellPits(x, y, z), NoisyPlates(x, y, z), Plates(x, y, z), SplitCubes(x, y, z), BeveledCells(x, y, z),
          CellMosaic(x, y, z), CellBlobs(x, y, z), CrystalCells(x, y, z), InverseDistanceNoise(x, y, z),
          NestedBlobs(x, y, z), NestedBoxes(x, y, z), PerturbedBumps(x, y, z), SphericalWaves(x, y, z, 0.3f, 0.7f)})
      ASSERT_TRUE(std::isfinite(v)) << x << " " << y << " " << z;
    for (float v : {NoisyPlates(x, y, z), Plates(x, y, z), CellBlobs(x, y, z), NestedBlobs(x, y, z),
                    NestedBoxes(x, y, z), PerturbedBumps(x, y, z), BlockCells(x, y, z), CrackCells(x, y, z)})
      ASSERT_GE(v, -1.0f);
    for (float v : {SplitCubes(x, y, z), BeveledCells(x, y, z), LinearValueNoise(x, y, z), CellMosaic(x, y, z),
                    InverseDistanceNoise(x, y, z), SphericalWaves(x, y, z, 2.0f, 3.0f)}) {
      ASSERT_GE(v, -1.0f);
      ASSERT_LE(v, 1.0f);
    }
  }
  EXPECT_GT(spotsHit, 100);
  EXPECT_GT(emptySpace, 100);
}

// Patterns that return the value of a cell must return an RTable entry: a wrong hash
// or a wrong table read shows up as a value outside the table.
TEST_F(Noise, CellValuedPatternsReturnTableEntries) {
  auto inTable = [](float v) { return std::find(RTable, RTable + 256, v) != RTable + 256; };
  for (const auto& p : RandomPoints(2000, 50.0f, 3)) {
    const float x = p[0], y = p[1], z = p[2];
    ASSERT_TRUE(inTable(CellMosaic(x, y, z)));
    const float value = ManhattanCellValue(x, y, z);
    ASSERT_TRUE(inTable(value)) << value;
    const float spot = SpotCells(x, y, z);
    ASSERT_TRUE(spot == -1.0f || inTable(spot));
    const float crystal = CrystalCells(x, y, z);
    ASSERT_TRUE(crystal == 0.0f || inTable(crystal));
    // CellMosaic is constant over the unit cell of x + 0.50001.
    const float cx = std::floor(x + 0.50001f) - 0.4f, cy = std::floor(y + 0.50001f) - 0.4f;
    ASSERT_EQ(CellMosaic(cx, cy, z), CellMosaic(cx + 0.8f, cy + 0.8f, z));
  }
}

TEST_F(Noise, SphericalWavesFollowTheDirectionsAngles) {
  auto expected = [](double x, double y, double z, double a, double b) {
    const double len = std::sqrt(x * x + y * y + z * z);
    const double nx = x / len, ny = y / len, nz = z / len;
    const double t = 0.5 - std::asin(-nz) / M_PI;
    double phi = std::atan2(ny, -nx);
    if (phi < 0)
      phi += 2 * M_PI;
    return std::cos(phi / a) * std::cos(t * 2 * M_PI / b);
  };
  for (const auto& p : RandomPoints(2000, 10.0f, 4))
    ASSERT_NEAR(SphericalWaves(p[0], p[1], p[2], 0.5f, 0.25f), expected(p[0], p[1], p[2], 0.5, 0.25), 2e-4);
  EXPECT_EQ(SphericalWaves(0, 0, 5, 1, 1), 0.0f);  // on the axis
  EXPECT_EQ(SphericalWaves(0, 0, 0, 1, 1), 0.0f);
  // y = 0 exactly: azimuth pi for x > 0, 0 for x < 0; latitude 1/2 on the equator.
  EXPECT_FLOAT_EQ(SphericalWaves(2, 0, 0, 1, 1), 1.0f);
  EXPECT_FLOAT_EQ(SphericalWaves(2, 0, 0, 2, 1), -cosf(6.28318538f / 4.0f));
  EXPECT_FLOAT_EQ(SphericalWaves(-2, 0, 0, 2, 1), -1.0f);
  // Almost on the axis: defined.
  EXPECT_TRUE(std::isfinite(SphericalWaves(1e-30f, 0, 3, 1, 1)));
}

// Allocation failures: the message, the table's label, a quit request, and noise that
// reads all-zero tables instead of a missing block.
struct FailureLog {
  static inline std::string messages;
  static inline int quitCode = -1;
  static void Message(const char* caption, const char* text, MessageIcon) {
    messages += std::string(caption) + ": " + text + "\n";
  }
  static void Quit(int code) { quitCode = code; }
};

class NoiseAllocationFailure : public ::testing::Test {
 protected:
  void SetUp() override {
    FreeNoiseData();
    FailureLog::messages.clear();
    FailureLog::quitCode = -1;
    previousMessage = SetMessageBoxHandler(FailureLog::Message);
    previousQuit = SetQuitRequestHandler(FailureLog::Quit);
  }
  void TearDown() override {
    SetAllocationFailureAfter(-1);
    SetMessageBoxHandler(previousMessage);
    SetQuitRequestHandler(previousQuit);
    FreeNoiseData();
  }
  MessageBoxHandler previousMessage = nullptr;
  QuitRequestHandler previousQuit = nullptr;
};

TEST_F(NoiseAllocationFailure, MissingPermutationReportsAndBuildsNothing) {
  SetAllocationFailureAfter(0);
  testing::internal::CaptureStdout();
  InitNoise();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "table de hachage\n");
  EXPECT_EQ(FailureLog::messages, std::string(OutOfMemoryCaption) + ": " + OutOfMemoryText + "\n");
  EXPECT_EQ(FailureLog::quitCode, 0);
  EXPECT_EQ(GradientNoise(0.3f, 0.6f, 0.2f), 0.0f);
  EXPECT_EQ(CellMosaic(0.3f, 0.6f, 0.2f), 0.0f);
  EXPECT_EQ(FastRandom(), 0);
}

TEST_F(NoiseAllocationFailure, MissingRTableKeepsThePermutationOnly) {
  SetQuitRequestHandler(nullptr);  // the default handler records the request for the host
  SetAllocationFailureAfter(1);
  testing::internal::CaptureStdout();
  InitNoise();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "RTable\n");
  EXPECT_TRUE(QuitRequested());
  EXPECT_EQ(QuitRequestExitCode(), 0);
  std::srand(0);
  EXPECT_NE(NoisePermutation[4095], 0);  // built
  EXPECT_EQ(LinearValueNoise(1.5f, 2.5f, 3.5f), 0.0f);
  SetAllocationFailureAfter(-1);
  InitNoise();  // a later attempt builds everything
  EXPECT_NE(GradientNoise(1.3f, 2.5f, 3.5f), 0.0f);
  EXPECT_EQ(FailureLog::messages.find("RTable"), std::string::npos);
}

TEST(NoiseLifecycle, FreedTablesReadAsZeros) {
  InitNoise();
  EXPECT_NE(GradientNoise(0.25f, 0.5f, 0.75f), 0.0f);
  FreeNoiseData();
  EXPECT_EQ(GradientNoise(0.25f, 0.5f, 0.75f), 0.0f);
  FreeNoiseData();  // twice is harmless
}

}  // namespace
