// 24-bit bitmaps and the drawing of pictures onto a canvas.
#include "engine/images/dib24.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine/images/image.h"
#include "engine/platform/messages.h"

namespace {

struct Canvas {
  HDC dc;
  Canvas(int w, int h) : dc(CreateCanvas(w, h)) {}
  ~Canvas() { DeleteCanvas(dc); }
};

TEST(Dib24, TheHeaderDescribesPaddedBottomFirstRows) {
  struct Case {
    int width, height;
    uint32_t rowBytes;
  } cases[] = {{1, 1, 4}, {3, 2, 12}, {4, 5, 12}, {5, 3, 16}, {100, 100, 300}};
  for (const Case& c : cases) {
    TDib24 dib(c.width, c.height);
    const BITMAPINFOHEADER& h = dib.Info.bmiHeader;
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, c.width);
    EXPECT_EQ(h.biHeight, c.height);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 24);
    EXPECT_EQ(h.biCompression, BI_RGB);
    EXPECT_EQ(h.biSizeImage, c.rowBytes * c.height) << c.width;
    EXPECT_EQ(h.biXPelsPerMeter, 1000);
    EXPECT_EQ(h.biYPelsPerMeter, 1000);
    EXPECT_EQ(h.biClrUsed, 0u);
    EXPECT_EQ(GlobalSize(dib.Bits), static_cast<size_t>(c.rowBytes) * c.height);
    AccesDib24 access(dib);
    for (uint32_t i = 0; i < h.biSizeImage; i++)
      ASSERT_EQ(access.GetBits()[i], 0) << "a new bitmap is black";
  }
}

TEST(Dib24, FillsCopiesAndAssignmentsOwnTheirPixels) {
  TDib24 dib(3, 2);
  const uint8_t fills[3] = {255, 192, 0};
  for (int i = 0; i < 3; i++) {
    (i == 0 ? dib.Blanc() : i == 1 ? dib.Gris() : dib.Noir());
    AccesDib24 access(dib);
    for (uint32_t b = 0; b < dib.ImageBytes(); b++)
      ASSERT_EQ(access.GetBits()[b], fills[i]);
  }
  dib.Gris();
  TDib24 copy(dib);
  EXPECT_NE(copy.Bits, dib.Bits);
  dib.Blanc();
  EXPECT_EQ(AccesDib24(copy).GetBits()[0], 192);
  TDib24 other(7, 7);
  other = dib;
  EXPECT_EQ(other.Width(), 3);
  EXPECT_EQ(GlobalSize(other.Bits), dib.ImageBytes());
  EXPECT_EQ(AccesDib24(other).GetBits()[5], 255);
  EXPECT_EQ(GlobalLockCount(dib.Bits), 0u);  // every access let go
}

TEST(Dib24, ABitmapWithoutPixelsIsNeitherDrawnNorCopied) {
  static int messages = 0;
  MessageBoxHandler saved = SetMessageBoxHandler([](const char*, const char*, MessageIcon) { messages++; });
  SetAllocationFailureAfter(0);
  TDib24 dib(4, 4);
  SetAllocationFailureAfter(-1);
  EXPECT_EQ(messages, 1);
  EXPECT_FALSE(dib.HasPixels());
  dib.Blanc();
  TDib24 copy(dib);
  EXPECT_FALSE(copy.HasPixels());
  Canvas canvas(4, 4);
  EXPECT_EQ(dib.SetToDevice(canvas.dc, canvas.dc), 0);
  EXPECT_EQ(GetPixel(canvas.dc, 0, 0), RGB(255, 255, 255));
  SetMessageBoxHandler(saved);
}

TEST(Dib24, SetToDeviceCopiesTheRowsBottomFirst) {
  TDib24 dib(2, 2);
  {
    AccesDib24 access(dib);
    uint8_t* bottom = access.GetBits();
    uint8_t* top = bottom + dib.RowBytes();
    const uint8_t red[3] = {0, 0, 255}, blue[3] = {255, 0, 0};
    std::memcpy(bottom, red, 3);    // bottom left
    std::memcpy(top + 3, blue, 3);  // top right
  }
  Canvas canvas(2, 2);
  EXPECT_EQ(dib.SetToDevice(canvas.dc, canvas.dc), 2);
  EXPECT_EQ(GetPixel(canvas.dc, 0, 1), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(canvas.dc, 1, 0), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(canvas.dc, 0, 0), RGB(0, 0, 0));
}

// A 3 x 2 picture whose pixel (x, y), y counted from the bottom, is (40 x, 100 y, 7).
Image Pattern(ImageType type) {
  Image image;
  EXPECT_TRUE(image.Allocate(3, 2, type));
  ImagePixels pixels(image);
  for (int y = 0; y < 2; y++)
    for (int x = 0; x < 3; x++) {
      uint8_t* row = pixels.Rows() + y * image.RowBytes;
      if (type == GreyImage) {
        row[x] = static_cast<uint8_t>(40 * x + 100 * y);
      } else {
        row[3 * x] = 7;
        row[3 * x + 1] = static_cast<uint8_t>(100 * y);
        row[3 * x + 2] = static_cast<uint8_t>(40 * x);
      }
    }
  return image;
}

COLORREF PatternAt(int x, int y, ImageType type) {
  return type == GreyImage ? RGB(40 * x + 100 * y, 40 * x + 100 * y, 40 * x + 100 * y) : RGB(40 * x, 100 * y, 7);
}

TEST(ImageDisplay, AtItsOwnSizeThePictureIsCopiedAsItIs) {
  for (ImageType type : {ColourImage, GreyImage}) {
    const Image image = Pattern(type);
    Canvas canvas(6, 5);
    image.Display(canvas.dc, TRect(2, 1, 5, 3));
    for (int y = 0; y < 2; y++)
      for (int x = 0; x < 3; x++)
        EXPECT_EQ(GetPixel(canvas.dc, 2 + x, 2 - y), PatternAt(x, y, type)) << type << " " << x << "," << y;
    EXPECT_EQ(GetPixel(canvas.dc, 1, 1), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(canvas.dc, 5, 2), RGB(255, 255, 255));
  }
}

TEST(ImageDisplay, OtherSizesTakeTheNearestSampleAndThinRectanglesTheFirstColumnOrRow) {
  const Image image = Pattern(ColourImage);
  Canvas canvas(8, 8);
  // 5 x 3: column trunc(x * 2 / 4), row trunc(y * 1 / 2).
  image.Display(canvas.dc, TRect(0, 0, 5, 3));
  const int columns[5] = {0, 0, 1, 1, 2}, rows[3] = {0, 0, 1};
  for (int y = 0; y < 3; y++)
    for (int x = 0; x < 5; x++)
      EXPECT_EQ(GetPixel(canvas.dc, x, 2 - y), PatternAt(columns[x], rows[y], ColourImage)) << x << "," << y;
  // One pixel wide, one pixel high: no division by zero, the first column and row.
  image.Display(canvas.dc, TRect(6, 0, 7, 4));
  for (int y = 0; y < 4; y++)
    EXPECT_EQ(GetPixel(canvas.dc, 6, 3 - y), PatternAt(0, y * 1 / 3, ColourImage));
  image.Display(canvas.dc, TRect(0, 6, 4, 7));
  for (int x = 0; x < 4; x++)
    EXPECT_EQ(GetPixel(canvas.dc, x, 6), PatternAt(x * 2 / 3, 0, ColourImage));
  // Rectangles far larger than the canvas visit only the canvas; empty ones draw nothing.
  image.Display(canvas.dc, TRect(-2000000000, -2000000000, 2000000000, 2000000000));
  image.Display(canvas.dc, TRect(3, 3, 3, 9));
  Image none;
  none.RemoveReferenceToBitBlock();
  Canvas blank(2, 2);
  none.Display(blank.dc, TRect(0, 0, 2, 2));
  EXPECT_EQ(GetPixel(blank.dc, 0, 0), RGB(255, 255, 255));
}

}  // namespace
