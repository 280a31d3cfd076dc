// Projections from surface points to picture coordinates, and the picture samplers.
#include "engine/images/picture_mapping.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "engine/platform/messages.h"

namespace {

TEST(PictureMapping, EachProjectionMapsKnownPointsToKnownCoordinates) {
  const VECFLOAT none(0, 0, 0), unit(1, 1, 1);
  const VECTEUR up(0, 0, 1);
  struct Case {
    const char* what;
    int mapping, type;
    VECTEUR q, n;
    float sx, sy;
    VECFLOAT origin;
    double u, v;
  } cases[] = {
      {"planar", 0, 1, {0.25, -0.5, 9}, up, 1, 1, none, -0.25, 0.5},
      {"planar, sizes", 0, 1, {1, 2, 0}, up, 2, 4, none, -0.5, -0.5},
      {"planar, origin", 0, 1, {1.5, 1, 0}, up, 1, 1, {1, 1, 0}, -0.5, 0},
      {"cubic, facing z", 1, 1, {1, 2, 3}, up, 1, 1, none, -1, -2},
      {"cubic, facing y", 1, 1, {1, 2, 3}, {0, -1, 0}, 1, 1, none, -3, -1},
      {"cubic, facing x", 1, 1, {1, 2, 3}, {1, 0, 0}, 1, 1, none, -3, 2},
      {"cubic, z not strictly largest", 1, 1, {1, 2, 3}, {0, 1, 1}, 1, 1, none, -3, -1},
      {"cylindrical, -x", 2, 1, {-1, 0, 5}, up, 1, 1, none, 0, 5},
      {"cylindrical, +x", 2, 1, {1, 0, 2}, up, 1, 1, none, 0.5, 2},
      {"cylindrical, +y", 2, 1, {0, 1, 0}, up, 1, 1, none, 0.25, 0},
      {"cylindrical, -y", 2, 1, {0, -1, 0}, up, 1, 1, none, 0.75, 0},
      {"cylindrical, on the axis", 2, 1, {0, 0, 3}, up, 1, 1, none, 0, 0},
      {"cylindrical, sizes", 2, 1, {0, 1, 4}, up, 0.5, 2, none, 0.5, 2},
      {"spherical, equator", 3, 1, {0, 1, 0}, up, 1, 1, none, 0.25, 0.5},
      {"spherical, 45 degrees up", 3, 1, {1, 0, 1}, up, 1, 1, none, 0.5, 0.75},
      {"spherical, pole", 3, 1, {0, 0, 2}, up, 1, 1, none, 0, 0},
      {"toroidal, outer equator", 4, 1, {2, 0, 0}, up, 1, 1, none, -0.5, 0},
      {"toroidal, top of the ring", 4, 1, {1, 0, 1}, up, 1, 1, none, -0.5, 0.75},
      {"toroidal, bottom of the ring", 4, 1, {0, 1, -1}, up, 1, 1, none, -0.25, 0.25},
      {"toroidal, on the axis", 4, 1, {0, 0, 1}, up, 1, 1, none, 0, 0},
      {"capped cylinder, cap", 5, 1, {1, 2, 0}, up, 9, 4, none, 0.25, 0},
      {"capped cylinder, side", 5, 1, {0, 1, 4}, {0, 1, 0}, 0.5, 2, none, 0.5, 2},
      // Automatic: 15 units of the prepared scale per size, centred on the origin.
      {"automatic, plane", 6, 2, {0, 0, 0}, up, 1, 1, none, 0.5, 0.5},
      {"automatic, terrain", 6, 8, {-7.5, 0, 0}, up, 1, 2, none, 1, 0.5},
      {"automatic, cube", 6, 5, {0, 0, 0}, {1, 0, 0}, 1, 1, none, 0.5, -0.5},
      {"automatic, sphere", 6, 4, {0, 1, 0}, up, 1, 1, none, 0.25, 0.5},
      {"automatic, cylinder", 6, 3, {0, 1, 7.5}, up, 1, 1, none, 0.25, 0},
      {"automatic, cone", 6, 6, {0, -1, 15}, up, 1, 1, none, 0.75, 0.5},
  };
  for (const Case& c : cases) {
    const PictureCoordinates p = MapToPicture(c.mapping, c.type, c.q, c.n, c.sx, c.sy, c.origin, unit);
    EXPECT_NEAR(p.u, c.u, 1e-9) << c.what;
    EXPECT_NEAR(p.v, c.v, 1e-9) << c.what;
  }
}

TEST(PictureMapping, AutomaticProjectionOfOtherTypesBeepsAndFallsBackToCubic) {
  static int beeps = 0;
  BeepHandler saved = SetBeepHandler([](MessageIcon) { beeps++; });
  const VECTEUR q(1, 2, 3), n(0, 0, 1);
  const VECFLOAT none(0, 0, 0), scale(2, 2, 2);
  const PictureCoordinates camera = MapToPicture(6, 19, q, n, 1, 1, none, scale);
  const PictureCoordinates cube = MapToPicture(6, 5, q, n, 1, 1, none, scale);
  EXPECT_EQ(beeps, 1);
  EXPECT_DOUBLE_EQ(camera.u, cube.u);
  EXPECT_DOUBLE_EQ(camera.v, cube.v);
  // A prepared scale of 0 gives a huge picture, never a division by zero.
  const PictureCoordinates flat = MapToPicture(6, 2, q, n, 1, 1, none, VECFLOAT(0, 0, 0));
  EXPECT_TRUE(std::isfinite(flat.u) && std::isfinite(flat.v));
  const PictureCoordinates zero = MapToPicture(0, 1, q, n, 0, 0, none, scale);
  EXPECT_TRUE(std::isfinite(zero.u) && std::isfinite(zero.v));
  SetBeepHandler(saved);
}

// A picture of `width` x `height` with the given pixels (rows bottom first; three bytes
// blue, green, red per colour pixel).
Image Picture(int width, int height, ImageType type, const std::vector<uint8_t>& bytes) {
  Image image;
  EXPECT_TRUE(image.Allocate(width, height, type));
  ImagePixels pixels(image);
  const int pixelBytes = type == ColourImage ? 3 : 1;
  for (int y = 0; y < height; y++)
    std::memcpy(pixels.Rows() + y * image.RowBytes, &bytes[static_cast<size_t>(y) * width * pixelBytes],
                static_cast<size_t>(width) * pixelBytes);
  return image;
}

TEST(PictureSampling, EveryModeReproducesEachPixelAtItsSamplePoint) {
  std::mt19937 random(7);
  const int width = 5, height = 3;
  std::vector<uint8_t> grey(width * height), colour(width * height * 3);
  for (uint8_t& b : grey)
    b = static_cast<uint8_t>(random());
  for (uint8_t& b : colour)
    b = static_cast<uint8_t>(random());
  const Image g = Picture(width, height, GreyImage, grey);
  const Image c = Picture(width, height, ColourImage, colour);
  for (int mode = 0; mode <= 3; mode++)
    for (int y = 0; y < height; y++)
      for (int x = 0; x < width; x++) {
        // Pixel (x, y) sits at (x / width, y / height); a hair inside keeps rounding on its side.
        const double u = (x + 1e-7) / width, v = (y + 1e-7) / height;
        EXPECT_EQ(SamplePictureByte(g, mode, false, false, u, v), grey[y * width + x]) << mode << " " << x << "," << y;
        const uint8_t* p = &colour[(y * width + x) * 3];
        EXPECT_EQ(SamplePictureColour(c, mode, false, false, u, v), CLRINT(p[2], p[1], p[0]))
            << mode << " " << x << "," << y;
      }
}

TEST(PictureSampling, InterpolatingModesBlendNeighboursAndWrapAtTheLastPixel) {
  const Image ramp = Picture(4, 1, GreyImage, {0, 100, 200, 40});
  struct Case {
    int mode;
    double u;
    int expected;
  } cases[] = {
      {0, 0.125 + 0.0625, 0},   // nearest: truncation, still the first pixel
      {1, 0.125, 50},           // bilinear half way between 0 and 100
      {1, 0.8125, 30},          // from the last pixel (40) towards the first (0), a quarter of the way
      {2, 0.125, 50},           // inverse distance: two equal weights on either side on one row
      {3, 0.125 + 0.125, 100},  // Catmull-Rom passes through the pixels
  };
  for (const Case& c : cases)
    EXPECT_NEAR(SamplePictureByte(ramp, c.mode, false, false, c.u, 0.0), c.expected, 1) << c.mode << " " << c.u;
  // Over four pixels inverse distance weights by distance: the nearest pixel counts most.
  const Image square = Picture(2, 2, GreyImage, {0, 0, 0, 200});
  EXPECT_EQ(SamplePictureByte(square, 2, false, false, 0.25, 0.25), 50);  // the centre of four: their mean
  EXPECT_GT(SamplePictureByte(square, 2, false, false, 0.45, 0.45), 150);
  // Catmull-Rom overshoots next to a step; the result is clamped to a byte.
  const Image step = Picture(4, 1, GreyImage, {0, 255, 255, 0});
  EXPECT_EQ(SamplePictureByte(step, 3, false, false, 0.375, 0), 255);
  const Image dip = Picture(4, 1, GreyImage, {255, 0, 0, 255});
  EXPECT_EQ(SamplePictureByte(dip, 3, false, false, 0.375, 0), 0);
}

TEST(PictureSampling, CoordinatesWrapOrMirrorAndNothingReadsOutsideThePicture) {
  const Image row = Picture(4, 1, GreyImage, {10, 20, 30, 40});
  const Image column = Picture(1, 4, GreyImage, {10, 20, 30, 40});
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  struct Case {
    double t;
    bool mirror;
    int expected;
  } cases[] = {
      {0.25, false, 20},   {1.25, false, 20}, {-0.75, false, 20}, {-0.25, false, 40},  // one period per unit
      {1.25, true, 40},    {0.25, true, 20},  {-0.25, true, 20},  {1.0, true, 10},     // mirrored every other period
      {-1e-18, false, 10},                                                             // rounds to 1: the first pixel
      {1e15, false, 10},   {nan, false, 0},   {inf, true, 0},                          // not finite: black
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SamplePictureByte(row, 0, c.mirror, false, c.t, 0.5), c.expected) << c.t << " " << c.mirror;
    EXPECT_EQ(SamplePictureByte(column, 0, false, c.mirror, 0.5, c.t), c.expected) << c.t << " " << c.mirror;
  }
  // Unknown modes take the nearest pixel.
  EXPECT_EQ(SamplePictureByte(row, 99, false, false, 0.5, 0), 30);
  EXPECT_EQ(SamplePictureByte(row, -1, false, false, 0.5, 0), 30);
}

TEST(PictureSampling, GreyAndColourPicturesReadAcrossTypes) {
  const Image grey = Picture(1, 1, GreyImage, {90});
  EXPECT_EQ(SamplePictureColour(grey, 0, false, false, 0, 0), CLRINT(90, 90, 90));
  const Image white = Picture(1, 1, ColourImage, {255, 255, 255});
  EXPECT_EQ(SamplePictureByte(white, 1, false, false, 0.3, 0.6), 255);
  const Image blue = Picture(1, 1, ColourImage, {255, 0, 0});  // blue, green, red
  EXPECT_EQ(SamplePictureColour(blue, 0, false, false, 0, 0), CLRINT(0, 0, 255));
  EXPECT_EQ(SamplePictureByte(blue, 0, false, false, 0, 0), 29);  // its luminance
  Image none;
  none.RemoveReferenceToBitBlock();
  EXPECT_EQ(SamplePictureColour(none, 1, false, false, 0.5, 0.5), CLRINT(0, 0, 0));
}

}  // namespace
