#include "engine/functions/noise_basis.h"

#include <algorithm>
#include <cmath>

namespace {

// Offsets added to the input before truncation; they keep every cell index positive for
// points above minus the offset, so that truncation is the floor there.
constexpr double LatticeOffset = 10010.0;
constexpr double CellOffset = 10010.50001;
constexpr double PlateOffsetY = 10010.30001;
constexpr double SplitOffset = 10010.1250001;
constexpr double NestedOffset = 10010.0 - 0.3125;

inline float Square(float v) { return v * v; }

// The RTable index and the table entry of a cell.
inline float CellValue(int i, int j, int k) { return RTable[HashByte(i, j, k)]; }

// Hash bytes of the eight corners of cell (i, j, k), index 4a + 2b + c for corner
// (i + a, j + b, k + c), sharing the first two lookups.
inline void CornerHashes(int i, int j, int k, int h[8]) {
  const int16_t* p = NoisePermutation;
  const int j0 = j & 4095, j1 = CellPlus(j, 1) & 4095;
  const int k0 = k & 4095, k1 = CellPlus(k, 1) & 4095;
  for (int a = 0; a < 2; a++) {
    const int pi = p[CellPlus(i, a) & 4095];
    const int pij0 = p[pi ^ j0], pij1 = p[pi ^ j1];
    h[4 * a + 0] = p[pij0 ^ k0] & 255;
    h[4 * a + 1] = p[pij0 ^ k1] & 255;
    h[4 * a + 2] = p[pij1 ^ k0] & 255;
    h[4 * a + 3] = p[pij1 ^ k1] & 255;
  }
}

// The per-axis blend weights of a corner: index 0 for the lower, 1 for the upper side.
struct Weights {
  float w[2];
};

inline Weights Smooth(float f) {
  const float s = (3.0f - 2.0f * f) * (f * f);
  return {{1.0f - s, s}};
}

inline Weights Linear(float f) { return {{1.0f - f, f}}; }

// The lattice cell of a point: integer parts and fractions.
struct Cell {
  int i, j, k;
  float fx, fy, fz;
};

inline Cell CellOf(float x, float y, float z) {
  Cell c;
  c.i = Truncate(x);
  c.j = Truncate(y);
  c.k = Truncate(z);
  c.fx = x - static_cast<float>(c.i);
  c.fy = y - static_cast<float>(c.j);
  c.fz = z - static_cast<float>(c.k);
  return c;
}

// The jittered feature point of a cell for the patterns with separate hashes per axis.
inline void FeaturePoint(int a, int b, int c, float jitter, float& qx, float& qy, float& qz) {
  qx = static_cast<float>(a) + 0.5f + jitter * CellValue(CellPlus(a, 100), b, c);
  qy = static_cast<float>(b) + 0.5f + jitter * CellValue(a, CellPlus(b, 100), c);
  qz = static_cast<float>(c) + 0.5f + jitter * CellValue(a, b, CellPlus(c, 100));
}

// Visits the 27 cells around (i, j, k): x outermost, then y, then z, each from -1 to +1.
template <class Visit>
inline void ForNeighbourCells(const Cell& cell, Visit visit) {
  for (int da = -1; da <= 1; da++)
    for (int db = -1; db <= 1; db++)
      for (int dc = -1; dc <= 1; dc++)
        visit(CellPlus(cell.i, da), CellPlus(cell.j, db), CellPlus(cell.k, dc));
}

inline float ClampQuarter(float v) { return std::clamp(v, -0.25f, 0.25f); }

// SplitCubes' and BeveledCells' mapping of a cell value.
inline float MapCellValue(float w) { return w <= -0.5f ? w * 1.9f + 0.95f : (w + 0.5f) * 0.6666667f; }

inline float AtLeastMinusOne(float v) { return v > -1.0f ? v : -1.0f; }

}  // namespace

float GradientNoise(float x, float y, float z) {
  const Cell c = CellOf(x + 10010.0f, y + 10010.0f, z + 10010.0f);
  int h[8];
  CornerHashes(c.i, c.j, c.k, h);
  const Weights wx = Smooth(c.fx), wy = Smooth(c.fy), wz = Smooth(c.fz);
  const float dx[2] = {c.fx, c.fx - 1.0f}, dy[2] = {c.fy, c.fy - 1.0f}, dz[2] = {c.fz, c.fz - 1.0f};
  float sum = 0.0f;
  for (int a = 0; a < 2; a++)
    for (int b = 0; b < 2; b++)
      for (int d = 0; d < 2; d++) {
        const float* r = RTable + h[4 * a + 2 * b + d];
        const float v = 0.5f * r[0] + r[1] * dx[a] + r[2] * dy[b] + r[3] * dz[d];
        sum += wx.w[a] * wy.w[b] * wz.w[d] * v;
      }
  return std::min(sum, 1.0f);
}

VECTEUR VectorGradientNoise(float x, float y, float z) {
  const Cell c = CellOf(x + 10010.0f, y + 10010.0f, z + 10010.0f);
  int h[8];
  CornerHashes(c.i, c.j, c.k, h);
  const Weights wx = Smooth(c.fx), wy = Smooth(c.fy), wz = Smooth(c.fz);
  const float dx[2] = {c.fx, c.fx - 1.0f}, dy[2] = {c.fy, c.fy - 1.0f}, dz[2] = {c.fz, c.fz - 1.0f};
  float sum[3] = {0.0f, 0.0f, 0.0f};
  for (int a = 0; a < 2; a++)
    for (int b = 0; b < 2; b++)
      for (int d = 0; d < 2; d++) {
        const float w = wx.w[a] * wy.w[b] * wz.w[d];
        const float* r = RTable + h[4 * a + 2 * b + d];
        for (int axis = 0; axis < 3; axis++, r += 4)
          sum[axis] += w * (0.5f * r[0] + r[1] * dx[a] + r[2] * dy[b] + r[3] * dz[d]);
      }
  return VECTEUR(sum[0], sum[1], sum[2]);
}

float LinearValueNoise(float x, float y, float z) {
  const Cell c = CellOf(x + 10010.0f, y + 10010.0f, z + 10010.0f);
  int h[8];
  CornerHashes(c.i, c.j, c.k, h);
  const Weights wx = Linear(c.fx), wy = Linear(c.fy), wz = Linear(c.fz);
  float sum = 0.0f;
  for (int a = 0; a < 2; a++)
    for (int b = 0; b < 2; b++)
      for (int d = 0; d < 2; d++)
        sum += wx.w[a] * wy.w[b] * wz.w[d] * RTable[h[4 * a + 2 * b + d]];
  return std::clamp(sum, -1.0f, 1.0f);
}

float SpotCells(float x, float y, float z) {
  const float px = static_cast<float>(x + CellOffset), py = static_cast<float>(y + CellOffset),
              pz = static_cast<float>(z + CellOffset);
  float best = -1.0f;
  ForNeighbourCells(CellOf(px, py, pz), [&](int a, int b, int c) {
    const int h = HashByte(a, b, c);
    const float r0 = RTable[h], r1 = RTable[(h + 1) & 255], r2 = RTable[(h + 2) & 255];
    const float d2 = Square(px - (static_cast<float>(a) + 0.5f + 0.35f * r0)) +
                     Square(py - (static_cast<float>(b) + 0.5f + 0.35f * r1)) +
                     Square(pz - (static_cast<float>(c) + 0.5f + 0.35f * r2));
    if (d2 < (r1 + 1.0f) * 0.5f && r0 > best)
      best = r0;
  });
  return best;
}

float CrackCells(float x, float y, float z) {
  const float px = static_cast<float>(0.4 * x + CellOffset), py = static_cast<float>(0.4 * y + CellOffset),
              pz = static_cast<float>(0.4 * z + CellOffset);
  float best = -1.0f, out = -1.0f;
  ForNeighbourCells(CellOf(px, py, pz), [&](int a, int b, int c) {
    float qx, qy, qz;
    FeaturePoint(a, b, c, 0.35f, qx, qy, qz);
    const float w = CellValue(a, b, c);
    const float d2 = Square(px - qx) + Square(py - qy) + Square(pz - qz);
    const float f = (w + 1.0f) * 0.5f - d2;
    if (f > best - (w + 2.0f) * 0.07f) {
      if (f <= best) {
        out = -1.0f;
      } else {
        out = (2.0f - w) * 0.5f * d2;
        best = f;
      }
    }
  });
  return out;
}

float BlockCells(float x, float y, float z) {
  const float px = static_cast<float>(0.4 * x + CellOffset), py = static_cast<float>(0.4 * y + CellOffset),
              pz = static_cast<float>(0.4 * z + CellOffset);
  float best = -1.0f, out = -1.0f;
  ForNeighbourCells(CellOf(px, py, pz), [&](int a, int b, int c) {
    float qx, qy, qz;
    FeaturePoint(a, b, c, 0.2f, qx, qy, qz);
    const float w = CellValue(a, b, c);
    const float dist = std::fabs(px - qx) + std::fabs(py - qy) + std::fabs(pz - qz);
    const float f = (w + 3.0f) * 0.25f - dist;
    if (f > best - 0.1f) {
      if (f <= best) {
        out = -1.0f;
      } else {
        out = 1.0f;
        best = f;
      }
    }
  });
  return out;
}

float ManhattanCellValue(float x, float y, float z) {
  const float px = static_cast<float>(x + CellOffset), py = static_cast<float>(y + CellOffset),
              pz = static_cast<float>(z + CellOffset);
  float best = -1.0f, out = -1.0f;
  ForNeighbourCells(CellOf(px, py, pz), [&](int a, int b, int c) {
    float qx, qy, qz;
    FeaturePoint(a, b, c, 0.4f, qx, qy, qz);
    const float w = CellValue(a, b, c);
    const float f = w - (std::fabs(px - qx) + std::fabs(py - qy) + std::fabs(pz - qz));
    if (f > best) {
      best = f;
      out = w;
    }
  });
  return out;
}

float ManhattanCellPeaks(float x, float y, float z) {
  const float px = static_cast<float>(x + CellOffset), py = static_cast<float>(y + CellOffset),
              pz = static_cast<float>(z + CellOffset);
  float best = -1.0f;
  ForNeighbourCells(CellOf(px, py, pz), [&](int a, int b, int c) {
    float qx, qy, qz;
    FeaturePoint(a, b, c, 0.4f, qx, qy, qz);
    const float w = CellValue(a, b, c);
    const float f = (w + 1.0f) * 0.5f - (std::fabs(px - qx) + std::fabs(py - qy) + std::fabs(pz - qz));
    best = std::max(best, f);
  });
  return best;
}

float EuclidCellPits(float x, float y, float z) {
  const float px = static_cast<float>(x + CellOffset), py = static_cast<float>(y + CellOffset),
              pz = static_cast<float>(z + CellOffset);
  float best = -1.0f;
  ForNeighbourCells(CellOf(px, py, pz), [&](int a, int b, int c) {
    float qx, qy, qz;
    FeaturePoint(a, b, c, 0.3f, qx, qy, qz);
    const float w = CellValue(a, b, c);
    const float f = (w + 1.0f) * 0.5f - (Square(px - qx) + Square(py - qy) + Square(pz - qz));
    best = std::max(best, f);
  });
  return -best;
}

namespace {

// The shared set-up of NoisyPlates and Plates: the cell, the plate values of the three
// axes and the point's distance to each plate's offset centre.
struct PlateCell {
  float px, py, pz;
  int i, j, k;
  float rx, ry, rz;  // plate values, unclamped
  float dx, dy, dz;
};

inline PlateCell PlateCellOf(float x, float y, float z) {
  PlateCell p;
  p.px = static_cast<float>(x + CellOffset);
  p.py = static_cast<float>(y + PlateOffsetY);
  p.pz = static_cast<float>(z + CellOffset);
  p.i = Truncate(p.px);
  p.j = Truncate(p.py);
  p.k = Truncate(p.pz);
  p.rx = CellValue(p.i, 0, 0);
  p.ry = CellValue(0, p.j, 0);
  p.rz = CellValue(0, 0, p.k);
  p.dx = p.px - (static_cast<float>(p.i) + 0.5f + ClampQuarter(0.5f * p.rx));
  p.dy = p.py - (static_cast<float>(p.j) + 0.5f + ClampQuarter(0.5f * p.ry));
  p.dz = p.pz - (static_cast<float>(p.k) + 0.5f + ClampQuarter(0.5f * p.rz));
  return p;
}

}  // namespace

float NoisyPlates(float x, float y, float z) {
  const PlateCell p = PlateCellOf(x, y, z);
  const float vx = GradientNoise(static_cast<float>(p.i), p.py, p.pz) - 32.0f * Square(p.dx);
  const float vy = GradientNoise(p.px, static_cast<float>(p.j), p.pz) - 32.0f * Square(p.dy);
  const float vz = GradientNoise(p.px, p.py, static_cast<float>(p.k)) - 32.0f * Square(p.dz);
  return AtLeastMinusOne(std::max({vx, vy, vz}));
}

float Plates(float x, float y, float z) {
  const PlateCell p = PlateCellOf(x, y, z);
  const float vx = p.rx - 32.0f * Square(p.dx);
  const float vy = p.ry - 32.0f * Square(p.dy);
  const float vz = p.rz - 32.0f * Square(p.dz);
  return AtLeastMinusOne(std::max({vx, vy, vz}));
}

float SplitCubes(float x, float y, float z) {
  const Cell c = CellOf(static_cast<float>(2.0 * x + SplitOffset), static_cast<float>(2.0 * y + SplitOffset),
                        static_cast<float>(2.0 * z + SplitOffset));
  for (float f : {c.fx, c.fy, c.fz})
    if (f < 0.15f || f > 0.85f || std::fabs(f - 0.5f) < 0.075f)
      return -1.0f;
  return MapCellValue(CellValue(c.i, c.j, c.k));
}

float BeveledCells(float x, float y, float z) {
  const Cell c = CellOf(static_cast<float>(x + CellOffset), static_cast<float>(y + CellOffset),
                        static_cast<float>(z + CellOffset));
  const float m = std::min({c.fx, c.fy, c.fz, 1.0f - c.fx, 1.0f - c.fy, 1.0f - c.fz});
  return std::min(MapCellValue(CellValue(c.i, c.j, c.k)), 6.0f * m - 1.0f);
}

float CellMosaic(float x, float y, float z) {
  return CellValue(Truncate(static_cast<float>(x + CellOffset)), Truncate(static_cast<float>(y + CellOffset)),
                   Truncate(static_cast<float>(z + CellOffset)));
}

float CellBlobs(float x, float y, float z) {
  const float px = static_cast<float>(x + CellOffset), py = static_cast<float>(y + CellOffset),
              pz = static_cast<float>(z + CellOffset);
  const int i = Truncate(px), j = Truncate(py), k = Truncate(pz);
  const float w = CellValue(i, j, k);
  if (w < 0.0f)
    return -1.0f;
  const float ox = ClampQuarter(0.5f * CellValue(CellPlus(i, 1), j, k));
  const float oy = ClampQuarter(0.5f * CellValue(i, CellPlus(j, 1), k));
  const float oz = ClampQuarter(0.5f * CellValue(i, j, CellPlus(k, 1)));
  const float dx = px - (static_cast<float>(i) + 0.5f + ox);
  const float dy = py - (static_cast<float>(j) + 0.5f + oy);
  const float dz = pz - (static_cast<float>(k) + 0.5f + oz);
  const float f = 2.0f * w - 32.0f * (Square(dx) + Square(dy) + Square(dz));
  return f > 0.0f ? f - 1.0f : -1.0f;
}

float CrystalCells(float x, float y, float z) {
  const Cell c = CellOf(x + 10010.0f, y + 10010.0f, z + 10010.0f);
  int h[8];
  CornerHashes(c.i, c.j, c.k, h);
  // rABC: the value of corner (i + A, j + B, k + C).
  const float r000 = RTable[h[0]], r001 = RTable[h[1]], r010 = RTable[h[2]], r011 = RTable[h[3]];
  const float r100 = RTable[h[4]], r101 = RTable[h[5]], r110 = RTable[h[6]], r111 = RTable[h[7]];
  const float u = 4.0f * c.fx - 2.0f, v = 4.0f * c.fy - 2.0f, w = 4.0f * c.fz - 2.0f;
  const bool holds[8] = {
      u < r000 + r100 && v < r000 + r010 && w < r000 + r001,    u < r010 + r110 && v >= r000 + r010 && w < r010 + r011,
      u >= r010 + r110 && v >= r110 + r010 && w < r110 + r111,  u >= r000 + r100 && v < r110 + r010 && w < r100 + r101,
      u < r001 + r101 && v < r001 + r011 && w >= r000 + r001,   u < r011 + r111 && v >= r001 + r011 && w >= r010 + r011,
      u >= r011 + r111 && v >= r111 + r101 && w >= r110 + r111, u >= r001 + r101 && v < r111 + r101 && w >= r100 + r101,
  };
  const float values[8] = {r000, r010, r110, r100, r001, r011, r111, r101};
  const int first = Truncate((r111 + 0.999f) * 2.0f);
  for (int n = 0; n < 8; n++) {
    const int test = (first + n) & 7;
    if (holds[test])
      return values[test];
  }
  return 0.0f;
}

float InverseDistanceNoise(float x, float y, float z) {
  const Cell c = CellOf(x + 10010.0f, y + 10010.0f, z + 10010.0f);
  int h[8];
  CornerHashes(c.i, c.j, c.k, h);
  const float dx[2] = {c.fx, c.fx - 1.0f}, dy[2] = {c.fy, c.fy - 1.0f}, dz[2] = {c.fz, c.fz - 1.0f};
  float sum = 0.0f, weights = 0.0f;
  for (int a = 0; a < 2; a++)
    for (int b = 0; b < 2; b++)
      for (int d = 0; d < 2; d++) {
        const float d2 = Square(dx[a]) + Square(dy[b]) + Square(dz[d]);
        float weight = d2 == 0.0f ? 1e19f : 1.0f / d2;
        weight = weight >= 1.0f ? weight - 1.0f : 0.0f;
        sum += weight * RTable[h[4 * a + 2 * b + d]];
        weights += weight;
      }
  return weights == 0.0f ? sum : sum / weights;
}

namespace {

// The cell of NestedBlobs and NestedBoxes: the point is scaled by two up to three times,
// each time its cell value passes the next threshold; `level` tells how many times.
inline Cell NestedCell(float x, float y, float z, int& level) {
  float px = static_cast<float>(0.333 * x + NestedOffset), py = static_cast<float>(0.333 * y + NestedOffset),
        pz = static_cast<float>(0.333 * z + NestedOffset);
  static constexpr float thresholds[3] = {-0.75f, 0.0f, 0.7f};
  Cell c = CellOf(px, py, pz);
  level = 0;
  while (level < 3 && CellValue(c.i, c.j, c.k) > thresholds[level]) {
    px *= 2.0f;
    py *= 2.0f;
    pz *= 2.0f;
    c = CellOf(px, py, pz);
    level++;
  }
  return c;
}

}  // namespace

float NestedBlobs(float x, float y, float z) {
  static constexpr float weights[4] = {0.5f, 0.525f, 0.55125f, 0.5788125f};
  int level;
  const Cell c = NestedCell(x, y, z, level);
  const float fx = c.fx - 0.5f, fy = c.fy - 0.5f, fz = c.fz - 0.5f;
  return AtLeastMinusOne(9.0f * weights[level] * std::exp(-(Square(fx) + Square(fy) + Square(fz))) - 4.25f);
}

float NestedBoxes(float x, float y, float z) {
  static constexpr float weights[4] = {1.0f, 0.65f, 0.845f, 1.0985f};
  int level;
  const Cell c = NestedCell(x, y, z, level);
  const float ex = 0.5f - std::fabs(c.fx - 0.5f), ey = 0.5f - std::fabs(c.fy - 0.5f),
              ez = 0.5f - std::fabs(c.fz - 0.5f);
  return AtLeastMinusOne(weights[level] * 3.8f * std::min({ex, ey, ez}) - 1.0f);
}

float PerturbedBumps(float x, float y, float z) {
  const VECTEUR v = VectorGradientNoise(0.856789f * x, 0.856789f * y, 0.856789f * z);
  const float qx = static_cast<float>(x + 0.6 * v.x + LatticeOffset);
  const float qy = static_cast<float>(y + 0.6 * v.y + LatticeOffset);
  const float qz = static_cast<float>(z + 0.6 * v.z + LatticeOffset);
  const int i = Truncate(qx + 0.5f), j = Truncate(qy + 0.5f), k = Truncate(qz + 0.5f);
  const float dx = qx - static_cast<float>(i), dy = qy - static_cast<float>(j), dz = qz - static_cast<float>(k);
  return (CellValue(i, j, k) + 1.0f) * std::exp(-10.0f * (Square(dx) + Square(dy) + Square(dz))) - 1.0f;
}

float SphericalWaves(float x, float y, float z, float a, float b) {
  constexpr float twoPi = 6.28318538f;
  constexpr float pi = twoPi * 0.5f;
  const float length = std::sqrt(x * x + y * y + z * z);
  const float factor = length == 0.0f ? 1.0f : 1.0f / length;
  const float nx = x * factor, ny = y * factor, nz = z * factor;
  const float r = std::sqrt(nx * nx + ny * ny);
  if (r == 0.0f)
    return 0.0f;
  // Correct rounding keeps z * (1 / length) and nx / r within [-1, 1]: no clamps needed.
  const float t = 0.5f - std::asin(-nz) / pi;
  float phi;
  if (ny == 0.0f) {
    phi = nx > 0.0f ? pi : 0.0f;
  } else {
    phi = std::acos(-nx / r);
    if (ny < 0.0f)
      phi = twoPi - phi;
  }
  const float turn = phi / twoPi;
  return std::cos(turn * twoPi / a) * std::cos(t * twoPi / b);
}
