// Evaluation of a Fonction3D: the layer template with its octave sum, the 45 kinds, the
// turbulence and the combination of the layers. Each kind's base formula is a lambda
// handed to a template, so that it is compiled straight into its own octave loop.
#include <algorithm>
#include <cmath>

#include "engine/functions/fonction3d.h"
#include "engine/functions/noise_basis.h"
#include "engine/images/picture_mapping.h"

namespace {

constexpr float TwoPi = 6.283185307f;
constexpr float HalfPi = 1.5707963f;
constexpr float InversePi = 0.31830988618f;

struct Point {
  float x, y, z;
};

inline float LengthSquared(const Point& p) { return p.x * p.x + p.y * p.y + p.z * p.z; }

// The bump wave of kinds 12 and 13: a cosine rise and a cubic fall, continuous, in [-1, 1].
inline float BumpWave(float t) {
  const float f = Fraction(0.5f * t);
  if (f < 0.5f)
    return -std::cos(TwoPi * f);
  const float g = f - 1.0f;
  return -16.0f * (g * g * g) - 1.0f;
}

inline float CheckerSign(float t) { return Fraction((t - 0.00001f) * 0.5f) > 0.5f ? -1.0f : 1.0f; }

inline float TriangleWave(float t) {
  const float f = Fraction(0.5f * t);
  return f < 0.5f ? 4.0f * f - 1.0f : 3.0f - 4.0f * f;
}

inline float Sawtooth(float t) { return 2.0f * Fraction((t - 0.00001f) * 0.5f) - 1.0f; }

inline float OctantSign(float t) { return t > 0.00001f ? 1.0f : -1.0f; }

// The angle of (u, w) seen from the origin, as the spirals use it: atan(w / u), pi/2 on the
// w axis.
inline float SpiralAngle(float u, float w) { return u == 0.0f ? HalfPi : std::atan(w / u); }

// Kind 14: one octave of absolute noise taken six times.
inline float AbsNoiseSum(const Point& p) {
  return std::min(-1.0f + 6.0f * std::fabs(0.5f - GradientNoise(4.0f * p.x, 4.0f * p.y, 4.0f * p.z)), 1.0f);
}

// How a kind uses the point: all three axes divided by the scale, only x and y, or the
// point as it is (the scale is a parameter of the kind).
enum class Axes { Three, Two, Unscaled };

// One octave step of the ten octave modes (modes 0, 1, 3 and unknown ones add). Mode 2's
// +1 before the first and -1 after the last octave are done by the callers.
inline float CombineOctave(int mode, float v, float t) {
  switch (mode) {
    case 2:
      return v * (t + 1.0f);
    case 4:
      return std::max(v, t);
    case 5:
      return std::min(v, t);
    case 6:
      return std::fabs(t) > std::fabs(v) ? t : v;
    case 7:
      return std::fabs(t) < std::fabs(v) ? t : v;
    case 8:
      return v + ((v + 1.0f) * 0.15f + 0.7f) * t;
    case 9:
      return v + ((1.0f - std::fabs(v)) * 0.3f + 0.7f) * t;
    default:
      return v + t;
  }
}

// Calls visit(base, axes) with the base formula of `kind`; returns `none` for the kinds
// without one (0, the special kinds 8, 9, 10 and 17, and unknown kinds).
template <class Visit>
inline float WithBase(int kind, const FNCT& layer, float none, Visit visit) {
  using P = const Point&;
  switch (kind) {
    case 1:
      return visit([](P p) { return GradientNoise(p.x, p.y, p.z); }, Axes::Three);
    case 2:
      return visit([](P p) { return CheckerSign(p.x) * CheckerSign(p.y) * CheckerSign(p.z); }, Axes::Three);
    case 3:
      return visit([](P p) { return std::cos(TwoPi * p.x) * std::cos(TwoPi * p.y) * std::cos(TwoPi * p.z); },
                   Axes::Three);
    case 4:
      return visit([](P p) { return TriangleWave(p.x) * TriangleWave(p.y) * TriangleWave(p.z); }, Axes::Three);
    case 5:
      return visit(
          [](P p) {
            const float x = p.x, y = p.y;
            return 0.12f *
                   (0.4f * std::sin(2.5f * x - 600.0f) + 0.42f * std::sin(2.55f * y - 620.0f) +
                    1.61f * std::cos(0.62f * x - 200.0f) + 2.7f * std::cos(0.37f * (x + y) + 250.0f) -
                    0.46f * std::sin(x - 1.18f * y - 450.0f) + 0.39f * std::cos(0.8333333f * (1.6f * x - y) + 315.0f) -
                    3.85f * std::sin(-0.26f * y - 612.0f) + 1.25f * std::cos(-0.8f * y + 845.0f));
          },
          Axes::Two);
    case 6:
      return visit(
          [](P p) {
            const float s = 0.3334f * (std::sin(2.0f * p.x) + std::sin(2.0f * p.y) + std::sin(2.0f * p.z));
            return 2.0f * s * s - 1.0f;
          },
          Axes::Three);
    case 7:
      return visit([](P p) { return 2.0f * Fraction(std::sqrt(std::sqrt(4.0f * LengthSquared(p)))) - 1.0f; },
                   Axes::Three);
    case 11:
      return visit([](P p) { return Sawtooth(p.x) * Sawtooth(p.y) * Sawtooth(p.z); }, Axes::Three);
    case 12:
      return visit([](P p) { return BumpWave(p.x) * BumpWave(p.y) * BumpWave(p.z); }, Axes::Three);
    case 13:
      return visit(
          [](P p) {
            const float x = p.x, y = p.y, n = GradientNoise(x, y, 0.0f);
            return 0.12f *
                   (0.4f * BumpWave((x + n) * 2.5f - 600.0f) + 1.61f * BumpWave(0.62f * x - 200.0f) +
                    2.7f * BumpWave(0.37f * (x + y + n) + 250.0f) - 0.46f * BumpWave(x - 1.18f * y + n - 450.0f) +
                    0.39f * BumpWave(0.8333333f * (1.6f * x - y - n) + 315.0f) -
                    3.85f * BumpWave(-0.26f * (y + n) - 612.0f) + 1.25f * BumpWave(-0.8f * y + 845.0f));
          },
          Axes::Two);
    case 14:
      return visit([](P p) { return AbsNoiseSum(p); }, Axes::Three);
    case 15:
      return visit(
          [](P p) {
            const float r = std::sqrt(8.0f * LengthSquared(p));
            return r == 0.0f ? 0.0f : 2.0f * std::sin(r) / r - 0.63661977f;
          },
          Axes::Three);
    case 16:
      return visit(
          [](P p) {
            const float n = LinearValueNoise(0.5f * p.x, 0.5f * p.y, 0.5f * p.z);
            return (n < -0.05f || n > 0.05f) ? 1.0f : 40.0f * std::fabs(n) - 1.0f;
          },
          Axes::Three);
    case 18:
      return visit([](P p) { return LinearValueNoise(p.x, p.y, p.z); }, Axes::Three);
    case 19:
      return visit(
          [](P p) {
            const float u = 0.5f * p.x, w = 0.5f * p.y;
            const float s = std::sqrt(u * u + w * w) + SpiralAngle(u, w) * InversePi;
            return 2.0f * Fraction(s) - 1.0f;
          },
          Axes::Two);
    case 20:
      return visit(
          [](P p) {
            const float u = 2.0f * p.x, w = 2.0f * p.y;
            const float s = std::sqrt(std::sqrt(u * u + w * w)) + SpiralAngle(u, w) * InversePi;
            return 2.0f * Fraction(s) - 1.0f;
          },
          Axes::Two);
    case 21:
      return visit(
          [](P p) {
            return (GradientNoise(p.x, p.y, p.z) + 0.5f * GradientNoise(2.0f * p.x, 2.0f * p.y, 2.0f * p.z) +
                    0.3f * GradientNoise(4.0f * p.x, 4.0f * p.y, 4.0f * p.z)) *
                   0.5555556f;
          },
          Axes::Three);
    case 22:
      return visit([](P p) { return OctantSign(p.x) * OctantSign(p.y) * OctantSign(p.z); }, Axes::Three);
    case 23:
      return visit([](P p) { return 1.65f * std::tanh(p.x - 1.0f) * std::tanh(p.y - 1.0f) * std::tanh(p.z - 1.0f); },
                   Axes::Three);
    case 24:
      return visit([](P p) { return LengthSquared(p) - 0.00001f < 1.0f ? 1.0f : -1.0f; }, Axes::Three);
    case 25:
      return visit(
          [](P p) {
            const float r = std::sqrt(LengthSquared(p));
            return r < 1.0f ? 1.0f - 2.0f * r : -1.0f;
          },
          Axes::Three);
    case 26:
      return visit([](P p) { return 2.0f * std::exp(-LengthSquared(p)) - 1.0f; }, Axes::Three);
    case 27:
      return visit([](P p) { return CrystalCells(p.x, p.y, p.z); }, Axes::Three);
    case 28:
      return visit([](P p) { return CellBlobs(p.x, p.y, p.z); }, Axes::Three);
    case 29:
      return visit([](P p) { return CellMosaic(p.x, p.y, p.z); }, Axes::Three);
    case 30:
      return visit([](P p) { return BeveledCells(p.x, p.y, p.z); }, Axes::Three);
    case 31:
      return visit([](P p) { return SplitCubes(p.x, p.y, p.z); }, Axes::Three);
    case 32:
      return visit([](P p) { return Plates(p.x, p.y, p.z); }, Axes::Three);
    case 33:
      return visit([](P p) { return NoisyPlates(p.x, p.y, p.z); }, Axes::Three);
    case 34:
      return visit([](P p) { return EuclidCellPits(p.x, p.y, p.z); }, Axes::Three);
    case 35:
      return visit([](P p) { return ManhattanCellPeaks(p.x, p.y, p.z); }, Axes::Three);
    case 36:
      return visit([](P p) { return ManhattanCellValue(p.x, p.y, p.z); }, Axes::Three);
    case 37:
      return visit([](P p) { return BlockCells(p.x, p.y, p.z); }, Axes::Three);
    case 38:
      return visit([](P p) { return CrackCells(p.x, p.y, p.z); }, Axes::Three);
    case 39:
      return visit([](P p) { return SpotCells(p.x, p.y, p.z); }, Axes::Three);
    case 40:
      return visit([](P p) { return PerturbedBumps(p.x, p.y, p.z); }, Axes::Three);
    case 41: {
      const float a = layer.Scale.x, b = layer.Scale.z;
      return visit([a, b](P p) { return SphericalWaves(p.x, p.y, p.z, a, b); }, Axes::Unscaled);
    }
    case 42:
      return visit([](P p) { return NestedBlobs(p.x, p.y, p.z); }, Axes::Three);
    case 43:
      return visit([](P p) { return InverseDistanceNoise(p.x, p.y, p.z); }, Axes::Three);
    case 44:
      return visit([](P p) { return NestedBoxes(p.x, p.y, p.z); }, Axes::Three);
    default:
      return none;
  }
}

// The displacement of a layer's turbulence at p (the vector noise for kind 1, a scalar
// octave sum on all three axes for the other kinds).
VECTEUR PerturbationVector(Point p, const TurbParams& t, const FNCT& layer) {
  if (t.Kind == 0 || t.Kind > 44)
    return VECTEUR(0, 0, 0);
  if (t.Kind == 17)
    return VECTEUR(1, 1, 1);
  p.x *= t.Frequency;
  p.y *= t.Frequency;
  p.z *= t.Frequency;
  float w = 1.0f / t.Frequency;
  const float r = 1.0f / t.Ratio;
  const int mode = t.Mode;
  const int octaves = t.Octaves;
  if (t.Kind == 1) {
    VECTEUR n = VectorGradientNoise(p.x, p.y, p.z);
    float v[3] = {w * static_cast<float>(n.x), w * static_cast<float>(n.y), w * static_cast<float>(n.z)};
    if (octaves >= 2) {
      if (mode == 2)
        for (float& c : v)
          c += 1.0f;
      for (int octave = 2; octave <= octaves; octave++) {
        p.x *= r;
        p.y *= r;
        p.z *= r;
        w *= t.Ratio;
        n = VectorGradientNoise(p.x, p.y, p.z);
        v[0] = CombineOctave(mode, v[0], w * static_cast<float>(n.x));
        v[1] = CombineOctave(mode, v[1], w * static_cast<float>(n.y));
        v[2] = CombineOctave(mode, v[2], w * static_cast<float>(n.z));
      }
      if (mode == 2)
        for (float& c : v)
          c -= 1.0f;
    }
    return VECTEUR(v[0], v[1], v[2]);
  }
  if (t.Kind == 8 || t.Kind == 9 || t.Kind == 10 || t.Kind == 21)
    return VECTEUR(0, 0, 0);
  const float s = WithBase(t.Kind, layer, 0.0f, [&](auto base, Axes) {
    float v = w * base(p);
    if (octaves >= 2) {
      if (mode == 2)
        v += 1.0f;
      for (int octave = 2; octave <= octaves; octave++) {
        p.x *= r;
        p.y *= r;
        p.z *= r;
        w *= t.Ratio;
        v = CombineOctave(mode, v, w * base(p));
      }
      if (mode == 2)
        v -= 1.0f;
    }
    return v;
  });
  return VECTEUR(s, s, s);
}

// The scalar turbulence of the strata and saw kinds: a plain sum of gradient noise octaves.
float FractalSum(Point p, const TurbParams& t) {
  p.x *= t.Frequency;
  p.y *= t.Frequency;
  p.z *= t.Frequency;
  float w = 1.0f / t.Frequency;
  float s = w * GradientNoise(p.x, p.y, p.z);
  for (int octave = 2; octave <= t.Octaves; octave++) {
    p.x /= t.Ratio;
    p.y /= t.Ratio;
    p.z /= t.Ratio;
    w *= t.Ratio;
    s += w * GradientNoise(p.x, p.y, p.z);
  }
  return s;
}

// The filter curve at v in [-1, 1] (v is not clamped here), back in [-1, 1].
inline float Filtered(const FNCT& layer, float v) {
  return 2.0f * ExtraireFiltre((v + 1.0f) * 5000.0f, &layer.Filter) - 1.0f;
}

// Steps 1 to 7 of a procedural layer: origin, turbulence, scale, base value, octaves,
// filter and amplitude.
template <class Base>
inline float ProceduralValue(const FNCT& layer, Point p, Base base, Axes axes) {
  p.x -= layer.Origin.x;
  p.y -= layer.Origin.y;
  p.z -= layer.Origin.z;
  if (layer.Perturb) {
    const VECTEUR d = PerturbationVector(p, layer.Turbulence, layer);
    const float a = layer.Turbulence.Amplitude;
    p.x += a * static_cast<float>(d.x);
    p.y += a * static_cast<float>(d.y);
    p.z += a * static_cast<float>(d.z);
  }
  if (axes != Axes::Unscaled) {
    p.x /= layer.Scale.x;
    p.y /= layer.Scale.y;
    if (axes == Axes::Three)
      p.z /= layer.Scale.z;
  }
  float v = base(p);
  if (layer.Fractal && layer.Octaves > 0) {
    const int mode = layer.OctaveMode;
    const float lacunarity = layer.Lacunarity;
    float w = 1.0f;
    if (mode == 2)
      v += 1.0f;
    for (int octave = 0; octave < layer.Octaves; octave++) {
      w *= layer.Gain;
      p.x *= lacunarity;
      p.y *= lacunarity;
      p.z *= lacunarity;
      v = CombineOctave(mode, v, w * base(p));
    }
    if (mode == 2)
      v -= 1.0f;
  }
  if (!layer.Filter.Bypass)
    v = Filtered(layer, std::clamp(v, -1.0f, 1.0f));
  return layer.Amplitude * v;
}

// Kind 8: sine strata across z, bent by the turbulence.
float Strata(const FNCT& layer, Point q) {
  q.x -= layer.Origin.x;
  q.y -= layer.Origin.y;
  q.z -= layer.Origin.z;
  float t = layer.Perturb ? FractalSum(q, layer.Turbulence) * layer.Turbulence.Amplitude : 0.0f;
  t /= layer.Scale.x;
  const float s = std::min((std::sin(1.3f * t + 1.1f * q.z) + 1.0f) * 0.5f, 1.0f);
  const float v = 2.0f * std::pow(s, 0.77f) - 1.0f;
  return layer.Filter.Bypass ? v : Filtered(layer, v);
}

// Kind 9: a saw wave along x.
float Saw(const FNCT& layer, const Point& p) {
  float t = p.x - layer.Origin.x;
  if (layer.Perturb) {
    const Point q{p.x - layer.Origin.x, p.y - layer.Origin.y, p.z - layer.Origin.z};
    t += FractalSum(q, layer.Turbulence) * layer.Turbulence.Amplitude;
  }
  t = t * 0.5f / layer.Scale.x;
  const float v = 2.0f * Fraction(t) - 1.0f;
  return layer.Filter.Bypass ? v : Filtered(layer, v);
}

// Kind 10: rings around the z axis, wavy or turbulent.
float Rings(const FNCT& layer, const Point& p) {
  const float dx = p.x - layer.Origin.x, dy = p.y - layer.Origin.y;
  float u = dx / layer.Scale.x * 0.5f, w = dy / layer.Scale.y * 0.5f;
  if (layer.Perturb) {
    const Point q{dx, dy, (p.z - layer.Origin.z) / layer.Scale.z};
    const VECTEUR d = PerturbationVector(q, layer.Turbulence, layer);
    const float a = layer.Turbulence.Amplitude;
    u += std::sin((u + static_cast<float>(d.x)) * 0.4f) * a;
    w += std::sin((w + static_cast<float>(d.y)) * 0.4f) * a;
  } else {
    u += std::sin(0.4f * u);
    w += std::sin(0.4f * w);
  }
  const float r = std::sqrt(u * u + w * w);
  const float v = (2.0f * Fraction(r) - 1.0f) * layer.Amplitude;
  return layer.Filter.Bypass ? v : Filtered(layer, v);
}

// The object a picture layer lies on, looked up once per evaluation and only when a
// picture layer needs it.
struct Surface {
  const VECTEUR& normal;
  BasicObject* object;
  bool useObject;
  const VECFLOAT& preparedSize;  // the function's size times the scene scale
};

// A picture layer: the point, relative to the object's centre when asked, mapped into the
// picture and sampled there; byte 0..255 becomes -1..1.
float PictureLayerValue(const FNCT& layer, Point p, const Surface& surface) {
  PictureHost host;
  if (surface.object)
    host = PictureHostOf(surface.object);
  VECTEUR q(p.x, p.y, p.z);
  if (surface.object && surface.useObject)
    q -= host.centre;
  if (layer.Perturb) {
    const Point at{static_cast<float>(q.x), static_cast<float>(q.y), static_cast<float>(q.z)};
    q += PerturbationVector(at, layer.Turbulence, layer) * static_cast<double>(layer.Turbulence.Amplitude);
  }
  PictureCoordinates c = MapToPicture(layer.PictureMapping, host.type, q, surface.normal, layer.Scale.x, layer.Scale.y,
                                      layer.Origin, surface.preparedSize);
  if (layer.PictureOffsetU != 0 && layer.Picture.Width > 0)
    c.u -= static_cast<double>(layer.PictureOffsetU) / layer.Picture.Width;
  if (layer.PictureOffsetV != 0 && layer.Picture.Height > 0)
    c.v -= static_cast<double>(layer.PictureOffsetV) / layer.Picture.Height;
  const uint8_t byte =
      SamplePictureByte(layer.Picture, layer.PictureMode, layer.PictureFlag1, layer.PictureFlag2, c.u, c.v);
  return byte * 0.0078431372549f - 1.0f;
}

float EvaluateLayer(const FNCT& layer, Point p, const Surface& surface) {
  if (layer.Rotate) {
    // The nine floats in storage order, read through the record (no reference into it).
#define M(i, j) layer.Rotation.m[i][j]
    p = Point{M(0, 0) * p.x + M(0, 1) * p.y + M(0, 2) * p.z, M(1, 0) * p.x + M(1, 1) * p.y + M(1, 2) * p.z,
              M(2, 0) * p.x + M(2, 1) * p.y + M(2, 2) * p.z};
#undef M
  }
  if (layer.FunctionClass == PictureLayer)
    return PictureLayerValue(layer, p, surface);
  if (layer.FunctionClass != ProceduralLayer)
    return 0.0f;
  switch (layer.Kind) {
    case 8:
      return Strata(layer, p);
    case 9:
      return Saw(layer, p);
    case 10:
      return Rings(layer, p);
    case 17:
      return layer.Amplitude;
    default:
      return WithBase(layer.Kind, layer, 0.0f,
                      [&](auto base, Axes axes) { return ProceduralValue(layer, p, base, axes); });
  }
}

// A layer at several points: the procedural kinds with a base formula choose it once and
// run the template at each point; every other layer is evaluated point by point.
void EvaluateLayerAt(const FNCT& layer, const Point* p, int count, const Surface& surface, float* values) {
  const bool shared = !layer.Rotate && layer.FunctionClass == ProceduralLayer && layer.Kind != 8 && layer.Kind != 9 &&
                      layer.Kind != 10 && layer.Kind != 17;
  if (!shared) {
    for (int i = 0; i < count; i++)
      values[i] = EvaluateLayer(layer, p[i], surface);
    return;
  }
  for (int i = 0; i < count; i++)
    values[i] = 0.0f;  // the kinds without a base formula
  WithBase(layer.Kind, layer, 0.0f, [&](auto base, Axes axes) {
    for (int i = 0; i < count; i++)
      values[i] = ProceduralValue(layer, p[i], base, axes);
    return 0.0f;
  });
}

// The start value of a combination mode and the final mapping into [0, 1]; layers
// combine into the accumulated value by the octaves' step.
inline float CombinationStart(int mode) {
  switch (mode) {
    case 2:
    case 5:
    case 7:
      return 1.0f;
    case 4:
      return -1.0f;
    default:
      return 0.0f;
  }
}

inline float CombinationResult(int mode, float a) {
  if (mode == 2)
    a -= 1.0f;
  const float result = a >= -1.0f ? (a + 1.0f) * 0.5f : 0.0f;
  return std::min(result, 1.0f);
}

}  // namespace

float Fonction3D::ExtraireFonction(float x, float y, float z, VECTEUR normal, BasicObject* object,
                                   bool useObject) const {
  const Point p{x, y, z};
  const Surface surface{normal, object, useObject, PreparedSize};
  const int mode = CombineMode;
  float a = CombinationStart(mode);
  for (const FNCT& layer : Layers)
    a = CombineOctave(mode, a, EvaluateLayer(layer, p, surface) + layer.Offset);
  return CombinationResult(mode, a);
}

void Fonction3D::ExtraireFonctions(const VECTEUR* points, int count, VECTEUR normal, BasicObject* object,
                                   bool useObject, float* values) const {
  count = std::clamp(count, 0, MaxPointsAtOnce);
  Point p[MaxPointsAtOnce];
  float a[MaxPointsAtOnce], l[MaxPointsAtOnce];
  const int mode = CombineMode;
  for (int i = 0; i < count; i++) {
    p[i] = Point{static_cast<float>(points[i].x), static_cast<float>(points[i].y), static_cast<float>(points[i].z)};
    a[i] = CombinationStart(mode);
  }
  const Surface surface{normal, object, useObject, PreparedSize};
  for (const FNCT& layer : Layers) {
    EvaluateLayerAt(layer, p, count, surface, l);
    for (int i = 0; i < count; i++)
      a[i] = CombineOctave(mode, a[i], l[i] + layer.Offset);
  }
  for (int i = 0; i < count; i++)
    values[i] = CombinationResult(mode, a[i]);
}

float Fonction3D::ExtraireFonction(VECTEUR point, VECTEUR normal, BasicObject* object, bool useObject) const {
  return ExtraireFonction(static_cast<float>(point.x), static_cast<float>(point.y), static_cast<float>(point.z), normal,
                          object, useObject);
}

float Fonction3D::ExtraireFonction(float x, float y, float z, float nx, float ny, float nz, BasicObject* object,
                                   bool useObject) const {
  return ExtraireFonction(x, y, z, VECTEUR(nx, ny, nz), object, useObject);
}
