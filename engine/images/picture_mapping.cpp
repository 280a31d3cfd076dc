#include "engine/images/picture_mapping.h"

#include <algorithm>
#include <cmath>

#include "engine/platform/messages.h"

namespace {

constexpr double TwoPi = 6.283185307179586;
constexpr double Pi = 3.141592653589793;
constexpr float HugeSize = 1e19f;  // stands in for a division by a zero size

// Object types by the projection the automatic mapping gives them.
enum ObjectKind : int32_t {
  PlaneType = 2,
  CylinderType = 3,
  SphereType = 4,
  CubeType = 5,
  ConeType = 6,
  PyramidType = 7,
  TerrainType = 8,
  MeshType = 9,
  VegetationType = 10,
};

// The angle of (x, y) around the z axis measured from -x, in [0, 2 pi); 0 for the origin.
double AngleAround(double x, double y) {
  const double r = std::sqrt(x * x + y * y);
  if (r == 0.0)
    return 0.0;
  if (y == 0.0)
    return x > 0.0 ? Pi : 0.0;
  const double phi = std::acos(std::clamp(-x / r, -1.0, 1.0));
  return y < 0.0 ? TwoPi - phi : phi;
}

PictureCoordinates Planar(const VECTEUR& q) { return {-q.x, -q.y}; }

PictureCoordinates Cubic(const VECTEUR& q, const VECTEUR& n) {
  const double ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
  if (az > ax && az > ay)
    return {-q.x, -q.y};
  if (ay > ax)
    return {-q.z, -q.x};
  return {-q.z, q.y};
}

PictureCoordinates Cylindrical(const VECTEUR& q) {
  const double length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z);
  if (length == 0.0)
    return {};
  const double dx = q.x / length, dy = q.y / length;
  if (dx == 0.0 && dy == 0.0)
    return {};
  return {AngleAround(dx, dy) / TwoPi, q.z};
}

PictureCoordinates Spherical(const VECTEUR& q) {
  const double length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z);
  if (length == 0.0)
    return {};
  const double dx = q.x / length, dy = q.y / length, dz = q.z / length;
  if (dx == 0.0 && dy == 0.0)
    return {};  // a pole: every longitude meets there
  return {AngleAround(dx, dy) / TwoPi, 0.5 - std::asin(std::clamp(-dz, -1.0, 1.0)) / Pi};
}

PictureCoordinates Toroidal(const VECTEUR& q) {
  const double r = std::sqrt(q.x * q.x + q.y * q.y);
  if (r == 0.0)
    return {};
  const double u = -AngleAround(q.x / r, q.y / r) / TwoPi;
  const double e = r - 1.0;
  const double t = std::sqrt(q.z * q.z + e * e);
  if (t == 0.0)
    return {};
  double theta = std::acos(std::clamp(e / t, -1.0, 1.0));
  if (q.z > 0.0)
    theta = TwoPi - theta;
  return {u, theta / TwoPi};
}

// Sizes of the automatic projection, prepared as material preparation prepares them for
// the planar and cubic projections: 15 scale units per size.
float PreparedSize(float size, float scale) { return scale != 0.0f ? 15.0f * scale * size : 1e20f * size; }

float NonZero(float size) { return size != 0.0f ? size : HugeSize; }

}  // namespace

PictureCoordinates MapToPicture(int32_t mapping, int32_t objectType, VECTEUR q, const VECTEUR& n, float sx, float sy,
                                const VECFLOAT& origin, const VECFLOAT& scale) {
  q -= VECTEUR(origin.x, origin.y, origin.z);
  if (mapping == AutomaticProjection) {
    switch (objectType) {
      case InfinitePlaneType:
      case PlaneType:
      case TerrainType:
        mapping = PlanarProjection;
        break;
      case CubeType:
      case PyramidType:
      case MeshType:
      case VegetationType:
        mapping = CubicProjection;
        break;
      case CylinderType:
      case ConeType:
        mapping = CylindricalProjection;
        break;
      case SphereType:
        mapping = SphericalProjection;
        break;
      default:
        MessageBeep(MessageIconInformation);
        mapping = CubicProjection;
    }
    if (mapping == PlanarProjection || mapping == CubicProjection) {
      sx = PreparedSize(sx, scale.x);
      sy = PreparedSize(sy, scale.y);
      q -= VECTEUR(sx * 0.5, sy * 0.5, sx * 0.5);
    } else if (mapping == CylindricalProjection) {
      sy = PreparedSize(sy, scale.y);
      q.z -= sy * 0.5;
    }
  }
  PictureCoordinates c;
  switch (mapping) {
    case PlanarProjection:
      c = Planar(q);
      break;
    case CubicProjection:
      c = Cubic(q, n);
      break;
    case CylindricalProjection:
      c = Cylindrical(q);
      break;
    case SphericalProjection:
      c = Spherical(q);
      break;
    case ToroidalProjection:
      c = Toroidal(q);
      break;
    case CappedCylinderProjection: {
      // Faces turned up or down (the caps of cylinders and cones) take the picture flat,
      // at the scale of its height around the side and centred on the axis.
      const double ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
      if (az > ax && az > ay) {
        const double s = NonZero(sy);
        return {0.5 - q.x / s, 0.5 - q.y / s};
      }
      c = Cylindrical(q);
      break;
    }
    default:
      c = Planar(q);
  }
  c.u /= NonZero(sx);
  c.v /= NonZero(sy);
  return c;
}

// Sampling -------------------------------------------------------------------------

namespace {

// One wrapped coordinate: its pixel and the fraction of the way to the next one.
struct Wrapped {
  int pixel = 0;
  double fraction = 0.0;
};

Wrapped Wrap(double t, bool mirror, int size) {
  double f;
  if (mirror) {
    f = t * 0.5;
    f = 2.0 * (f - std::floor(f));
    if (f > 1.0)
      f = 2.0 - f;
  } else {
    f = t - std::floor(t);
  }
  double p = f * size;
  if (!(p < size) || p < 0.0)  // the far edge (or a rounding beyond it) is the first pixel
    p = 0.0;
  Wrapped w;
  w.pixel = std::min(static_cast<int>(p), size - 1);
  w.fraction = p - w.pixel;
  return w;
}

int Next(int i, int size, int step) { return ((i + step) % size + size) % size; }

// Channel c (0 blue, 1 green, 2 red) of pixel (x, y); grey pictures give their byte for
// every channel, and a colour picture read as grey gives its luminance.
struct PixelReader {
  const uint8_t* rows;
  int32_t rowBytes;
  bool grey;
  bool greyWanted;

  float operator()(int x, int y, int c) const {
    const uint8_t* row = rows + static_cast<size_t>(rowBytes) * static_cast<size_t>(y);
    if (grey)
      return row[x];
    const uint8_t* p = row + 3 * static_cast<size_t>(x);
    if (greyWanted)
      return 0.114f * p[0] + 0.587f * p[1] + 0.299f * p[2];
    return p[c];
  }
};

float CatmullRom(float p0, float p1, float p2, float p3, float t) {
  return p1 + 0.5f * t * (p2 - p0 + t * (2.0f * p0 - 5.0f * p1 + 4.0f * p2 - p3 + t * (3.0f * (p1 - p2) + p3 - p0)));
}

// The channel values at (u, v) for `channels` channels into out[].
bool Sample(const Image& picture, int32_t mode, bool flipU, bool flipV, double u, double v, bool greyWanted,
            float* out) {
  if (!std::isfinite(u) || !std::isfinite(v))
    return false;
  ImagePixels pixels(picture);
  if (!pixels.Rows())
    return false;
  const int width = picture.Width, height = picture.Height;
  const PixelReader read{pixels.Rows(), picture.RowBytes, picture.IsGrey(), greyWanted};
  const Wrapped x = Wrap(u, flipU, width), y = Wrap(v, flipV, height);
  const int channels = greyWanted ? 1 : 3;
  const int x1 = Next(x.pixel, width, 1), y1 = Next(y.pixel, height, 1);
  const float fx = static_cast<float>(x.fraction), fy = static_cast<float>(y.fraction);
  for (int c = 0; c < channels; c++) {
    float value;
    switch (mode) {
      case BilinearSample: {
        const float p00 = read(x.pixel, y.pixel, c), p10 = read(x1, y.pixel, c);
        const float p01 = read(x.pixel, y1, c), p11 = read(x1, y1, c);
        const float bottom = p00 + (p10 - p00) * fx, top = p01 + (p11 - p01) * fx;
        value = bottom + (top - bottom) * fy;
        break;
      }
      case InverseDistanceSample: {
        const int xs[2] = {x.pixel, x1}, ys[2] = {y.pixel, y1};
        double sum = 0.0, weights = 0.0;
        for (int j = 0; j < 2; j++)
          for (int i = 0; i < 2; i++) {
            const double dx = i - x.fraction, dy = j - y.fraction;
            const double d2 = dx * dx + dy * dy;
            const double w = d2 > 0.0 ? 1.0 / d2 : 1e19;
            sum += w * read(xs[i], ys[j], c);
            weights += w;
          }
        value = static_cast<float>(sum / weights);
        break;
      }
      case BicubicSample: {
        float rows[4];
        for (int j = 0; j < 4; j++) {
          const int yy = Next(y.pixel, height, j - 1);
          rows[j] = CatmullRom(read(Next(x.pixel, width, -1), yy, c), read(x.pixel, yy, c), read(x1, yy, c),
                               read(Next(x.pixel, width, 2), yy, c), fx);
        }
        value = CatmullRom(rows[0], rows[1], rows[2], rows[3], fy);
        break;
      }
      default:
        value = read(x.pixel, y.pixel, c);
    }
    out[c] = value;
  }
  return true;
}

uint8_t ToByte(float value) { return static_cast<uint8_t>(std::clamp(value + 0.5f, 0.0f, 255.0f)); }

}  // namespace

uint8_t SamplePictureByte(const Image& picture, int32_t mode, bool flipU, bool flipV, double u, double v) {
  float value = 0.0f;
  return Sample(picture, mode, flipU, flipV, u, v, true, &value) ? ToByte(value) : 0;
}

CLRINT SamplePictureColour(const Image& picture, int32_t mode, bool flipU, bool flipV, double u, double v) {
  float bgr[3] = {0.0f, 0.0f, 0.0f};
  if (!Sample(picture, mode, flipU, flipV, u, v, picture.IsGrey(), bgr))
    return CLRINT();
  if (picture.IsGrey())
    return CLRINT(ToByte(bgr[0]), ToByte(bgr[0]), ToByte(bgr[0]));
  return CLRINT(ToByte(bgr[2]), ToByte(bgr[1]), ToByte(bgr[0]));
}
