#include "engine/functions/noise_basis.h"

#include <algorithm>
#include <cmath>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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
[[gnu::always_inline]] inline void CornerHashes(int i, int j, int k, int h[8]) {
  // The entries are 0..4095: read unsigned, so that they index without sign extension.
  const uint16_t* p = reinterpret_cast<const uint16_t*>(NoisePermutation);
  const unsigned j0 = static_cast<unsigned>(j) & 4095u, j1 = (static_cast<unsigned>(j) + 1u) & 4095u;
  const unsigned k0 = static_cast<unsigned>(k) & 4095u, k1 = (static_cast<unsigned>(k) + 1u) & 4095u;
  const unsigned p0 = p[static_cast<unsigned>(i) & 4095u], p1 = p[(static_cast<unsigned>(i) + 1u) & 4095u];
  const unsigned p00 = p[p0 ^ j0], p01 = p[p0 ^ j1], p10 = p[p1 ^ j0], p11 = p[p1 ^ j1];
  h[0] = p[p00 ^ k0] & 255;
  h[1] = p[p00 ^ k1] & 255;
  h[2] = p[p01 ^ k0] & 255;
  h[3] = p[p01 ^ k1] & 255;
  h[4] = p[p10 ^ k0] & 255;
  h[5] = p[p10 ^ k1] & 255;
  h[6] = p[p11 ^ k0] & 255;
  h[7] = p[p11 ^ k1] & 255;
}

// One corner's gradient value: half the corner's entry plus its three slopes times the
// offsets of the point from the corner.
inline float CornerGradient(const float* r, float dx, float dy, float dz) {
  return 0.5f * r[0] + r[1] * dx + r[2] * dy + r[3] * dz;
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

// Visits the 27 cells around the point's cell: x outermost, then y, then z, each from
// index - 1 to index + 1, with each cell's hash byte. The first two of the three hash
// lookups are shared between the cells that have them in common.
template <class Visit>
[[gnu::always_inline]] inline void ForNeighbourCells(const Cell& cell, Visit visit) {
  const uint16_t* p = reinterpret_cast<const uint16_t*>(NoisePermutation);
  for (int da = -1; da <= 1; da++) {
    const unsigned a = static_cast<unsigned>(cell.i) + static_cast<unsigned>(da);
    const unsigned pa = p[a & 4095u];
    for (int db = -1; db <= 1; db++) {
      const unsigned b = static_cast<unsigned>(cell.j) + static_cast<unsigned>(db);
      const unsigned pab = p[pa ^ (b & 4095u)];
      for (int dc = -1; dc <= 1; dc++) {
        const unsigned c = static_cast<unsigned>(cell.k) + static_cast<unsigned>(dc);
        visit(static_cast<int>(a), static_cast<int>(b), static_cast<int>(c), p[pab ^ (c & 4095u)] & 255);
      }
    }
  }
}

// The same visit for the patterns with separate hashes per axis: each cell's feature point
// q = (a + 0.5 + J R[hash(a + 100, b, c)], b + 0.5 + J R[hash(a, b + 100, c)],
// c + 0.5 + J R[hash(a, b, c + 100)]) and its weight w = R[hash(a, b, c)].
template <class Visit>
[[gnu::always_inline]] inline void ForFeatureCells(const Cell& cell, float jitter, Visit visit) {
  const uint16_t* p = reinterpret_cast<const uint16_t*>(NoisePermutation);
  const float* r = RTable;
  for (int da = -1; da <= 1; da++) {
    const unsigned a = static_cast<unsigned>(cell.i) + static_cast<unsigned>(da);
    const unsigned pa = p[a & 4095u], pa100 = p[(a + 100u) & 4095u];
    const float centreX = static_cast<float>(static_cast<int>(a)) + 0.5f;
    for (int db = -1; db <= 1; db++) {
      const unsigned b = static_cast<unsigned>(cell.j) + static_cast<unsigned>(db);
      const unsigned pab = p[pa ^ (b & 4095u)], pab100 = p[pa ^ ((b + 100u) & 4095u)], pa100b = p[pa100 ^ (b & 4095u)];
      const float centreY = static_cast<float>(static_cast<int>(b)) + 0.5f;
      for (int dc = -1; dc <= 1; dc++) {
        const unsigned c = static_cast<unsigned>(cell.k) + static_cast<unsigned>(dc);
        const unsigned c0 = c & 4095u, c100 = (c + 100u) & 4095u;
        const float qx = centreX + jitter * r[p[pa100b ^ c0] & 255];
        const float qy = centreY + jitter * r[p[pab100 ^ c0] & 255];
        const float qz = static_cast<float>(static_cast<int>(c)) + 0.5f + jitter * r[p[pab ^ c100] & 255];
        visit(qx, qy, qz, r[p[pab ^ c0] & 255]);
      }
    }
  }
}

inline float ClampQuarter(float v) { return std::clamp(v, -0.25f, 0.25f); }

// SplitCubes' and BeveledCells' mapping of a cell value.
inline float MapCellValue(float w) { return w <= -0.5f ? w * 1.9f + 0.95f : (w + 0.5f) * 0.6666667f; }

inline float AtLeastMinusOne(float v) { return v > -1.0f ? v : -1.0f; }

}  // namespace

#ifdef __SSE2__

namespace {

// The SSE2 forms below do per lane exactly the operations of the scalar forms, in the same
// order, so their results are the same bits; only the layout of the work differs.

// The lattice cell of (x, y, z) + 10010 in lanes 0..2 of `fraction` (lane 3 is 0) and
// as integers in `index`.
[[gnu::always_inline]] inline void OffsetCell(float x, float y, float z, int index[3], __m128& fraction) {
  const __m128 p = _mm_add_ps(_mm_setr_ps(x, y, z, 0.0f), _mm_set1_ps(10010.0f));
  // Truncation; like Truncate, values beyond the int range give INT_MIN.
  const __m128i i = _mm_cvttps_epi32(p);
  fraction = _mm_sub_ps(p, _mm_cvtepi32_ps(i));
  index[0] = _mm_cvtsi128_si32(i);
  index[1] = _mm_cvtsi128_si32(_mm_shuffle_epi32(i, _MM_SHUFFLE(1, 1, 1, 1)));
  index[2] = _mm_cvtsi128_si32(_mm_shuffle_epi32(i, _MM_SHUFFLE(2, 2, 2, 2)));
}

template <int Lane>
[[gnu::always_inline]] inline __m128 Broadcast(__m128 v) {
  return _mm_shuffle_ps(v, v, _MM_SHUFFLE(Lane, Lane, Lane, Lane));
}

// For the four corners (a, b, c) = (a, 0, 0), (a, 0, 1), (a, 1, 0), (a, 1, 1) of one x side:
// lanes [v0.y, v0.y, v1.y, v1.y] and [v0.z, v1.z, v0.z, v1.z] of the per-axis values v0
// (lower side) and v1 (upper side).
[[gnu::always_inline]] inline __m128 AlongY(__m128 v0, __m128 v1) {
  return _mm_shuffle_ps(v0, v1, _MM_SHUFFLE(1, 1, 1, 1));
}
[[gnu::always_inline]] inline __m128 AlongZ(__m128 v0, __m128 v1) {
  const __m128 zz = _mm_shuffle_ps(v0, v1, _MM_SHUFFLE(2, 2, 2, 2));
  return _mm_shuffle_ps(zz, zz, _MM_SHUFFLE(2, 0, 2, 0));
}

// CornerGradient per lane: ((0.5 r0 + r1 dx) + r2 dy) + r3 dz.
[[gnu::always_inline]] inline __m128 CornerGradients(__m128 r0, __m128 r1, __m128 r2, __m128 r3, __m128 dx, __m128 dy,
                                                     __m128 dz) {
  const __m128 g = _mm_add_ps(_mm_mul_ps(_mm_set1_ps(0.5f), r0), _mm_mul_ps(r1, dx));
  return _mm_add_ps(_mm_add_ps(g, _mm_mul_ps(r2, dy)), _mm_mul_ps(r3, dz));
}

// The weighted gradient terms of four corners, one per lane: the corners' entries
// r[h..h+3] transposed into lanes, the gradient times the weight (wx wy) wz.
[[gnu::always_inline]] inline __m128 CornerTerms(const int* h, __m128 wx, __m128 wy, __m128 wz, __m128 dx, __m128 dy,
                                                 __m128 dz) {
  __m128 r0 = _mm_loadu_ps(RTable + h[0]), r1 = _mm_loadu_ps(RTable + h[1]), r2 = _mm_loadu_ps(RTable + h[2]),
         r3 = _mm_loadu_ps(RTable + h[3]);
  _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
  return _mm_mul_ps(_mm_mul_ps(_mm_mul_ps(wx, wy), wz), CornerGradients(r0, r1, r2, r3, dx, dy, dz));
}

// The smooth weights of the three axes: lower side in w0, upper side in w1.
[[gnu::always_inline]] inline void SmoothWeights(__m128 f, __m128& w0, __m128& w1) {
  w1 = _mm_mul_ps(_mm_sub_ps(_mm_set1_ps(3.0f), _mm_mul_ps(_mm_set1_ps(2.0f), f)), _mm_mul_ps(f, f));
  w0 = _mm_sub_ps(_mm_set1_ps(1.0f), w1);
}

// The cell around a point: its corners' hash bytes, the smooth weights of the lower (w0)
// and upper (w1) sides and the offsets from them (d0, d1), axes in lanes 0..2.
struct Corners {
  int h[8];
  __m128 w0, w1, d0, d1;
};

[[gnu::always_inline]] inline Corners CornersAround(float x, float y, float z) {
  Corners c;
  int cell[3];
  OffsetCell(x, y, z, cell, c.d0);
  CornerHashes(cell[0], cell[1], cell[2], c.h);
  SmoothWeights(c.d0, c.w0, c.w1);
  c.d1 = _mm_sub_ps(c.d0, _mm_set1_ps(1.0f));
  return c;
}

}  // namespace

float GradientNoise(float x, float y, float z) {
  const Corners c = CornersAround(x, y, z);
  const int* h = c.h;
  const __m128 w0 = c.w0, w1 = c.w1, d0 = c.d0, d1 = c.d1;
  const __m128 wy = AlongY(w0, w1), wz = AlongZ(w0, w1), dy = AlongY(d0, d1), dz = AlongZ(d0, d1);
  // Corners 0..3 (lower x side) and 4..7 (upper x side).
  const __m128 low = CornerTerms(h, Broadcast<0>(w0), wy, wz, Broadcast<0>(d0), dy, dz);
  const __m128 high = CornerTerms(h + 4, Broadcast<0>(w1), wy, wz, Broadcast<0>(d1), dy, dz);
  // Summed one by one in corner order, as the scalar form does.
  float sum = 0.0f;
  sum += _mm_cvtss_f32(low);
  sum += _mm_cvtss_f32(Broadcast<1>(low));
  sum += _mm_cvtss_f32(Broadcast<2>(low));
  sum += _mm_cvtss_f32(Broadcast<3>(low));
  sum += _mm_cvtss_f32(high);
  sum += _mm_cvtss_f32(Broadcast<1>(high));
  sum += _mm_cvtss_f32(Broadcast<2>(high));
  sum += _mm_cvtss_f32(Broadcast<3>(high));
  return std::min(sum, 1.0f);
}

VECTEUR VectorGradientNoise(float x, float y, float z) {
  const Corners c = CornersAround(x, y, z);
  const int* h = c.h;
  const __m128 w0 = c.w0, w1 = c.w1, d0 = c.d0, d1 = c.d1;
  const __m128 wy = AlongY(w0, w1), wz = AlongZ(w0, w1);
  // The eight corner weights (wx wy) wz, corners 0..3 and 4..7.
  const __m128 wLow = _mm_mul_ps(_mm_mul_ps(Broadcast<0>(w0), wy), wz);
  const __m128 wHigh = _mm_mul_ps(_mm_mul_ps(Broadcast<0>(w1), wy), wz);
  const __m128 dx[2] = {Broadcast<0>(d0), Broadcast<0>(d1)}, dy[2] = {Broadcast<1>(d0), Broadcast<1>(d1)},
               dz[2] = {Broadcast<2>(d0), Broadcast<2>(d1)};
  // Lanes x, y, z hold the three components: each corner's entries h..h+3, h+4..h+7 and
  // h+8..h+11 transposed so that lane n gets entries h + 4n .. h + 4n + 3.
  __m128 sum = _mm_setzero_ps();
  auto corner = [&](int n, int a, int b, int d, __m128 w) {
    const float* e = RTable + h[n];
    const __m128 ex = _mm_loadu_ps(e), ey = _mm_loadu_ps(e + 4), ez = _mm_loadu_ps(e + 8);
    const __m128 xyLow = _mm_unpacklo_ps(ex, ey), xyHigh = _mm_unpackhi_ps(ex, ey);
    const __m128 zzLow = _mm_unpacklo_ps(ez, ez), zzHigh = _mm_unpackhi_ps(ez, ez);
    const __m128 r0 = _mm_movelh_ps(xyLow, zzLow), r1 = _mm_movehl_ps(zzLow, xyLow);
    const __m128 r2 = _mm_movelh_ps(xyHigh, zzHigh), r3 = _mm_movehl_ps(zzHigh, xyHigh);
    sum = _mm_add_ps(sum, _mm_mul_ps(w, CornerGradients(r0, r1, r2, r3, dx[a], dy[b], dz[d])));
  };
  corner(0, 0, 0, 0, Broadcast<0>(wLow));
  corner(1, 0, 0, 1, Broadcast<1>(wLow));
  corner(2, 0, 1, 0, Broadcast<2>(wLow));
  corner(3, 0, 1, 1, Broadcast<3>(wLow));
  corner(4, 1, 0, 0, Broadcast<0>(wHigh));
  corner(5, 1, 0, 1, Broadcast<1>(wHigh));
  corner(6, 1, 1, 0, Broadcast<2>(wHigh));
  corner(7, 1, 1, 1, Broadcast<3>(wHigh));
  alignas(16) float s[4];
  _mm_store_ps(s, sum);
  return VECTEUR(s[0], s[1], s[2]);
}

#else

float GradientNoise(float x, float y, float z) {
  const Cell c = CellOf(x + 10010.0f, y + 10010.0f, z + 10010.0f);
  int h[8];
  CornerHashes(c.i, c.j, c.k, h);
  const Weights wx = Smooth(c.fx), wy = Smooth(c.fy), wz = Smooth(c.fz);
  const float x0 = c.fx, x1 = c.fx - 1.0f, y0 = c.fy, y1 = c.fy - 1.0f, z0 = c.fz, z1 = c.fz - 1.0f;
  const float* r = RTable;
  // Corners in the order (a, b, c) = 000, 001, 010, ... 111, each weighted by the product
  // of its three axis weights.
  float sum = 0.0f;
  sum += wx.w[0] * wy.w[0] * wz.w[0] * CornerGradient(r + h[0], x0, y0, z0);
  sum += wx.w[0] * wy.w[0] * wz.w[1] * CornerGradient(r + h[1], x0, y0, z1);
  sum += wx.w[0] * wy.w[1] * wz.w[0] * CornerGradient(r + h[2], x0, y1, z0);
  sum += wx.w[0] * wy.w[1] * wz.w[1] * CornerGradient(r + h[3], x0, y1, z1);
  sum += wx.w[1] * wy.w[0] * wz.w[0] * CornerGradient(r + h[4], x1, y0, z0);
  sum += wx.w[1] * wy.w[0] * wz.w[1] * CornerGradient(r + h[5], x1, y0, z1);
  sum += wx.w[1] * wy.w[1] * wz.w[0] * CornerGradient(r + h[6], x1, y1, z0);
  sum += wx.w[1] * wy.w[1] * wz.w[1] * CornerGradient(r + h[7], x1, y1, z1);
  return std::min(sum, 1.0f);
}

VECTEUR VectorGradientNoise(float x, float y, float z) {
  const Cell c = CellOf(x + 10010.0f, y + 10010.0f, z + 10010.0f);
  int h[8];
  CornerHashes(c.i, c.j, c.k, h);
  const Weights wx = Smooth(c.fx), wy = Smooth(c.fy), wz = Smooth(c.fz);
  const float dx[2] = {c.fx, c.fx - 1.0f}, dy[2] = {c.fy, c.fy - 1.0f}, dz[2] = {c.fz, c.fz - 1.0f};
  const float* r = RTable;
  float sx = 0.0f, sy = 0.0f, sz = 0.0f;
  // The same corner order as GradientNoise; entries h..h+3, h+4..h+7 and h+8..h+11.
#define ORVELLE_CORNER(n, a, b, d)                        \
  {                                                       \
    const float w = wx.w[a] * wy.w[b] * wz.w[d];          \
    const float* e = r + h[n];                            \
    sx += w * CornerGradient(e, dx[a], dy[b], dz[d]);     \
    sy += w * CornerGradient(e + 4, dx[a], dy[b], dz[d]); \
    sz += w * CornerGradient(e + 8, dx[a], dy[b], dz[d]); \
  }
  ORVELLE_CORNER(0, 0, 0, 0)
  ORVELLE_CORNER(1, 0, 0, 1)
  ORVELLE_CORNER(2, 0, 1, 0)
  ORVELLE_CORNER(3, 0, 1, 1)
  ORVELLE_CORNER(4, 1, 0, 0)
  ORVELLE_CORNER(5, 1, 0, 1)
  ORVELLE_CORNER(6, 1, 1, 0)
  ORVELLE_CORNER(7, 1, 1, 1)
#undef ORVELLE_CORNER
  return VECTEUR(sx, sy, sz);
}

#endif  // __SSE2__

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
  ForNeighbourCells(CellOf(px, py, pz), [&](int a, int b, int c, int h) {
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
  ForFeatureCells(CellOf(px, py, pz), 0.35f, [&](float qx, float qy, float qz, float w) {
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
  ForFeatureCells(CellOf(px, py, pz), 0.2f, [&](float qx, float qy, float qz, float w) {
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
  ForFeatureCells(CellOf(px, py, pz), 0.4f, [&](float qx, float qy, float qz, float w) {
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
  ForFeatureCells(CellOf(px, py, pz), 0.4f, [&](float qx, float qy, float qz, float w) {
    const float f = (w + 1.0f) * 0.5f - (std::fabs(px - qx) + std::fabs(py - qy) + std::fabs(pz - qz));
    best = std::max(best, f);
  });
  return best;
}

float EuclidCellPits(float x, float y, float z) {
  const float px = static_cast<float>(x + CellOffset), py = static_cast<float>(y + CellOffset),
              pz = static_cast<float>(z + CellOffset);
  float best = -1.0f;
  ForFeatureCells(CellOf(px, py, pz), 0.3f, [&](float qx, float qy, float qz, float w) {
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
