#include "engine/platform/device_context.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <utility>
#include <vector>

namespace {

using Pixels = std::set<std::pair<int, int>>;

// The non-white pixels of a canvas.
Pixels Drawn(HDC dc) {
  Pixels drawn;
  for (int y = 0; y < CanvasHeight(dc); y++)
    for (int x = 0; x < CanvasWidth(dc); x++)
      if (GetPixel(dc, x, y) != RGB(255, 255, 255))
        drawn.insert({x, y});
  return drawn;
}

// The same line by the incremental error-term walk: one pixel per major step, the minor
// coordinate advancing when the doubled error passes a whole pixel.
Pixels IncrementalLine(int x0, int y0, int x1, int y1, int width, int height) {
  const long long dx = std::llabs(static_cast<long long>(x1) - x0), dy = std::llabs(static_cast<long long>(y1) - y0);
  const int sx = x1 >= x0 ? 1 : -1, sy = y1 >= y0 ? 1 : -1;
  const bool xMajor = dx >= dy;
  const long long steps = xMajor ? dx : dy, minor = xMajor ? dy : dx;
  Pixels pixels;
  long long offset = 0, error = steps;
  for (long long k = 0; k < steps; k++) {
    const long long x = xMajor ? x0 + sx * k : x0 + sx * offset;
    const long long y = xMajor ? y0 + sy * offset : y0 + sy * k;
    if (x >= 0 && y >= 0 && x < width && y < height)
      pixels.insert({static_cast<int>(x), static_cast<int>(y)});
    error += 2 * minor;
    while (error >= 2 * steps) {
      offset++;
      error -= 2 * steps;
    }
  }
  return pixels;
}

TEST(Canvas, LinesMatchTheIncrementalWalkAndClipAnywhere) {
  HDC dc = CreateCanvas(40, 30);
  ASSERT_NE(dc, nullptr);
  srand(7);
  for (int i = 0; i < 400; i++) {
    // Ends mostly near the canvas, some far beyond it on any side.
    auto coordinate = [](int side) {
      return rand() % 5 == 0 ? (rand() % 2 ? 1 : -1) * (rand() % 100000) : rand() % (side + 20) - 10;
    };
    const int x0 = coordinate(40), y0 = coordinate(30), x1 = coordinate(40), y1 = coordinate(30);
    ClearCanvas(dc, RGB(255, 255, 255));
    MoveToEx(dc, x0, y0, nullptr);
    ASSERT_TRUE(LineTo(dc, x1, y1));
    ASSERT_EQ(Drawn(dc), IncrementalLine(x0, y0, x1, y1, 40, 30)) << x0 << "," << y0 << " -> " << x1 << "," << y1;
    POINT at;
    MoveToEx(dc, 0, 0, &at);
    EXPECT_EQ(at.x, x1);
    EXPECT_EQ(at.y, y1);
  }
  // Ends at the extremes of the integer range: no overflow, one pixel per column, near the
  // middle height of the line.
  ClearCanvas(dc, RGB(255, 255, 255));
  MoveToEx(dc, -2147483647, 5, nullptr);
  LineTo(dc, 2147483647, 20);
  const Pixels drawn = Drawn(dc);
  EXPECT_EQ(drawn.size(), 40u);
  for (const auto& [x, y] : drawn)
    EXPECT_TRUE(y == 12 || y == 13) << x << "," << y;
  DeleteCanvas(dc);
}

TEST(Canvas, LineEndsAndDottedPattern) {
  HDC dc = CreateCanvas(20, 5);
  struct Case {
    int x0, y0, x1, y1;
    Pixels expected;
  } cases[] = {
      {2, 1, 6, 1, {{2, 1}, {3, 1}, {4, 1}, {5, 1}}},  // the end pixel is left out
      {6, 1, 2, 1, {{6, 1}, {5, 1}, {4, 1}, {3, 1}}},
      {3, 0, 3, 3, {{3, 0}, {3, 1}, {3, 2}}},
      {0, 0, 3, 3, {{0, 0}, {1, 1}, {2, 2}}},
      {0, 0, 4, 2, {{0, 0}, {1, 1}, {2, 1}, {3, 2}}},  // halves round away from the start
      {4, 4, 4, 4, {}},                                // a line to its own start draws nothing
  };
  for (const Case& c : cases) {
    ClearCanvas(dc, RGB(255, 255, 255));
    MoveToEx(dc, c.x0, c.y0, nullptr);
    LineTo(dc, c.x1, c.y1);
    EXPECT_EQ(Drawn(dc), c.expected) << c.x0 << "," << c.y0 << " -> " << c.x1 << "," << c.y1;
  }

  // Three on, three off, carried on across LineTo and restarted by MoveToEx.
  HPEN dotted = CreatePen(PS_DOT, 1, RGB(10, 20, 30));
  SelectObject(dc, dotted);
  ClearCanvas(dc, RGB(255, 255, 255));
  MoveToEx(dc, 0, 0, nullptr);
  LineTo(dc, 4, 0);
  LineTo(dc, 14, 0);
  MoveToEx(dc, 0, 2, nullptr);
  LineTo(dc, 8, 2);
  std::string row0, row2;
  for (int x = 0; x < 14; x++) {
    row0 += GetPixel(dc, x, 0) == RGB(10, 20, 30) ? '#' : '.';
    row2 += x < 8 && GetPixel(dc, x, 2) == RGB(10, 20, 30) ? '#' : '.';
  }
  EXPECT_EQ(row0, "###...###...##");
  EXPECT_EQ(row2, "###...##......");
  SelectObject(dc, static_cast<HPEN>(GetStockObject(BLACK_PEN)));
  EXPECT_TRUE(DeleteObject(dotted));
  DeleteCanvas(dc);
}

TEST(Canvas, PensSelectionAndDeletion) {
  HDC dc = CreateCanvas(4, 4);
  HPEN stock = static_cast<HPEN>(GetStockObject(BLACK_PEN));
  HPEN red = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
  EXPECT_EQ(SelectObject(dc, red), stock);  // a new canvas draws with the stock black pen
  EXPECT_FALSE(DeleteObject(red));          // still selected
  EXPECT_EQ(SelectObject(dc, stock), red);
  EXPECT_FALSE(DeleteObject(stock));
  EXPECT_EQ(SelectObject(dc, nullptr), nullptr);
  EXPECT_EQ(SelectObject(nullptr, red), nullptr);
  EXPECT_TRUE(DeleteObject(red));
  EXPECT_EQ(GetStockObject(0), nullptr);

  EXPECT_EQ(SetPixel(dc, 3, 3, RGB(1, 2, 3)), RGB(1, 2, 3));
  EXPECT_EQ(GetPixel(dc, 3, 3), RGB(1, 2, 3));
  EXPECT_EQ(CanvasPixels(dc)[(3 * 4 + 3) * 3 + 2], 3);  // red, green, blue bytes
  EXPECT_EQ(SetPixel(dc, 4, 0, RGB(1, 2, 3)), CLR_INVALID);
  EXPECT_EQ(GetPixel(dc, -1, 0), CLR_INVALID);
  EXPECT_EQ(CreateCanvas(0, 5), nullptr);
  DeleteCanvas(dc);
}

// A 24-bit picture of w x h whose pixel (column x, row y from the top) is RGB(x, y, 9).
std::vector<uint8_t> Picture24(int w, int h, bool bottomFirst, BITMAPINFO& info) {
  const int rowBytes = ((w * 24 + 31) & ~31) / 8;
  std::vector<uint8_t> bits(static_cast<size_t>(rowBytes) * h, 0xEE);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      uint8_t* p = &bits[static_cast<size_t>(bottomFirst ? h - 1 - y : y) * rowBytes + x * 3];
      p[0] = 9;
      p[1] = static_cast<uint8_t>(y);
      p[2] = static_cast<uint8_t>(x);
    }
  info = BITMAPINFO{};
  info.bmiHeader = {40, w, bottomFirst ? h : -h, 1, 24, BI_RGB, static_cast<uint32_t>(rowBytes * h), 1000, 1000, 0, 0};
  return bits;
}

TEST(Canvas, BitmapCopiesKeepRowsUprightAndScaleByNearestSample) {
  for (bool bottomFirst : {true, false}) {
    BITMAPINFO info;
    std::vector<uint8_t> bits = Picture24(3, 2, bottomFirst, info);
    HDC dc = CreateCanvas(8, 6);
    // Same size: an unscaled copy at (1, 2).
    EXPECT_EQ(StretchDIBits(dc, 1, 2, 3, 2, 0, 0, 3, 2, bits.data(), &info, DIB_RGB_COLORS, SRCCOPY), 2);
    for (int y = 0; y < 2; y++)
      for (int x = 0; x < 3; x++)
        EXPECT_EQ(GetPixel(dc, 1 + x, 2 + y), RGB(x, y, 9)) << bottomFirst << " " << x << "," << y;
    EXPECT_EQ(GetPixel(dc, 0, 2), RGB(255, 255, 255));
    // Doubled, and mirrored left to right.
    StretchDIBits(dc, 0, 0, 6, 4, 0, 0, 3, 2, bits.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(GetPixel(dc, 5, 3), RGB(2, 1, 9));
    EXPECT_EQ(GetPixel(dc, 2, 1), RGB(1, 0, 9));
    StretchDIBits(dc, 6, 0, -6, 4, 0, 0, 3, 2, bits.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(2, 0, 9));
    EXPECT_EQ(GetPixel(dc, 5, 3), RGB(0, 1, 9));

    // Into a bitmap: the picture's bottom row on the bitmap's bottom row.
    HBITMAP bitmap = CreateCanvas(4, 3);
    EXPECT_EQ(SetDIBits(dc, bitmap, 0, 2, bits.data(), &info, DIB_RGB_COLORS), 2);
    EXPECT_EQ(GetPixel(bitmap, 0, 2), RGB(0, 1, 9));
    EXPECT_EQ(GetPixel(bitmap, 2, 1), RGB(2, 0, 9));
    EXPECT_EQ(GetPixel(bitmap, 3, 1), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(bitmap, 0, 0), RGB(255, 255, 255));
    DeleteCanvas(bitmap);
    DeleteCanvas(dc);
  }
}

TEST(Canvas, GreyPicturesAndRefusedArguments) {
  // 8 bits through a grey table; the rows are padded to four bytes.
  std::vector<uint8_t> storage(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
  auto* info = reinterpret_cast<BITMAPINFO*>(storage.data());
  info->bmiHeader = {40, 2, 2, 1, 8, BI_RGB, 8, 0, 0, 0, 0};
  for (int i = 0; i < 256; i++)
    info->bmiColors[i] = RGBQUAD{static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i), 0};
  const uint8_t grey[8] = {10, 20, 0, 0, 30, 40, 0, 0};  // bottom row first
  HDC dc = CreateCanvas(2, 2);
  EXPECT_EQ(StretchDIBits(dc, 0, 0, 2, 2, 0, 0, 2, 2, grey, info, DIB_RGB_COLORS, SRCCOPY), 2);
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(30, 30, 30));
  EXPECT_EQ(GetPixel(dc, 1, 1), RGB(20, 20, 20));

  BITMAPINFO bad = *info;
  bad.bmiHeader.biBitCount = 16;
  EXPECT_EQ(StretchDIBits(dc, 0, 0, 2, 2, 0, 0, 2, 2, grey, &bad, DIB_RGB_COLORS, SRCCOPY), 0);
  EXPECT_EQ(SetDIBits(dc, dc, 0, 2, grey, &bad, DIB_RGB_COLORS), 0);
  EXPECT_EQ(StretchDIBits(dc, 0, 0, 2, 2, 0, 0, 2, 2, grey, info, DIB_RGB_COLORS, 0x00EE0086), 0);
  EXPECT_EQ(StretchDIBits(dc, 0, 0, 2, 2, 0, 0, 2, 2, nullptr, info, DIB_RGB_COLORS, SRCCOPY), 0);
  EXPECT_EQ(SetDIBits(dc, nullptr, 0, 2, grey, info, DIB_RGB_COLORS), 0);
  EXPECT_EQ(SetDIBits(dc, dc, 2, 1, grey, info, DIB_RGB_COLORS), 0);  // past the last scan line
  DeleteCanvas(dc);
}

}  // namespace
