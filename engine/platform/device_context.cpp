#include "engine/platform/device_context.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <vector>

struct Pen {
  int style = PS_SOLID;
  COLORREF colour = RGB(0, 0, 0);
  bool stock = false;
  long selections = 0;  // canvases that have it selected
};

struct Canvas {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // rows top to bottom
  HPEN pen = nullptr;
  POINT position{0, 0};
  long long dotPhase = 0;  // pixels of the dotted pattern drawn since the last MoveToEx
};

namespace {

Pen& StockBlackPen() {
  static Pen pen{PS_SOLID, RGB(0, 0, 0), true, 0};
  return pen;
}

void Plot(Canvas* dc, long long x, long long y, COLORREF colour) {
  if (x < 0 || y < 0 || x >= dc->width || y >= dc->height)
    return;
  uint8_t* p = &dc->rgb[(static_cast<size_t>(y) * dc->width + static_cast<size_t>(x)) * 3];
  p[0] = static_cast<uint8_t>(GetRValue(colour));
  p[1] = static_cast<uint8_t>(GetGValue(colour));
  p[2] = static_cast<uint8_t>(GetBValue(colour));
}

// The steps k of [0, steps) for which start + direction * k lies in [0, limit).
void ClipSteps(long long start, int direction, long long limit, long long steps, long long& first, long long& last) {
  first = 0;
  last = steps - 1;
  if (direction > 0) {
    first = std::max(first, -start);
    last = std::min(last, limit - 1 - start);
  } else {
    first = std::max(first, start - (limit - 1));
    last = std::min(last, start);
  }
}

// One source row of a device-independent bitmap, and its colour at column x.
struct DibReader {
  const uint8_t* bits = nullptr;
  int width = 0;
  int rows = 0;
  bool bottomFirst = true;
  int depth = 24;
  size_t rowBytes = 0;
  const RGBQUAD* table = nullptr;
  unsigned tableEntries = 0;

  bool Open(const void* data, const BITMAPINFO* info) {
    if (!data || !info)
      return false;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biCompression != BI_RGB || (h.biBitCount != 24 && h.biBitCount != 8) || h.biWidth <= 0 || h.biHeight == 0 ||
        h.biHeight == INT32_MIN)
      return false;
    bits = static_cast<const uint8_t*>(data);
    width = h.biWidth;
    rows = std::abs(h.biHeight);
    bottomFirst = h.biHeight > 0;
    depth = h.biBitCount;
    rowBytes = ((static_cast<size_t>(width) * depth + 31) & ~static_cast<size_t>(31)) / 8;
    table = info->bmiColors;
    tableEntries = depth == 8 ? (h.biClrUsed == 0 || h.biClrUsed > 256 ? 256u : h.biClrUsed) : 0u;
    return true;
  }

  // The colour of the pixel at column x of the row stored at `memoryRow`.
  COLORREF Colour(size_t memoryRow, int x) const {
    const uint8_t* row = bits + memoryRow * rowBytes;
    if (depth == 24) {
      const uint8_t* p = row + static_cast<size_t>(x) * 3;
      return RGB(p[2], p[1], p[0]);
    }
    const unsigned index = row[x];
    if (index >= tableEntries)
      return RGB(0, 0, 0);
    return RGB(table[index].rgbRed, table[index].rgbGreen, table[index].rgbBlue);
  }
};

}  // namespace

HDC CreateCanvas(int width, int height) {
  if (width <= 0 || height <= 0)
    return nullptr;
  Canvas* dc = new (std::nothrow) Canvas;
  if (!dc)
    return nullptr;
  try {
    dc->rgb.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 3, 255);
  } catch (const std::bad_alloc&) {
    delete dc;
    return nullptr;
  }
  dc->width = width;
  dc->height = height;
  dc->pen = &StockBlackPen();
  dc->pen->selections++;
  return dc;
}

void DeleteCanvas(HDC dc) {
  if (!dc)
    return;
  if (dc->pen)
    dc->pen->selections--;
  delete dc;
}

int CanvasWidth(HDC dc) { return dc ? dc->width : 0; }
int CanvasHeight(HDC dc) { return dc ? dc->height : 0; }
const uint8_t* CanvasPixels(HDC dc) { return dc ? dc->rgb.data() : nullptr; }

void ClearCanvas(HDC dc, COLORREF colour) {
  if (!dc)
    return;
  for (size_t i = 0; i < dc->rgb.size(); i += 3) {
    dc->rgb[i] = static_cast<uint8_t>(GetRValue(colour));
    dc->rgb[i + 1] = static_cast<uint8_t>(GetGValue(colour));
    dc->rgb[i + 2] = static_cast<uint8_t>(GetBValue(colour));
  }
}

HPEN CreatePen(int style, int, COLORREF colour) {
  Pen* pen = new (std::nothrow) Pen;
  if (pen) {
    pen->style = style == PS_DOT ? PS_DOT : PS_SOLID;
    pen->colour = colour & 0xFFFFFF;
  }
  return pen;
}

HGDIOBJ GetStockObject(int object) { return object == BLACK_PEN ? &StockBlackPen() : nullptr; }

bool DeleteObject(HGDIOBJ object) {
  if (!object || object->stock || object->selections > 0)
    return false;
  delete object;
  return true;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ pen) {
  if (!dc || !pen)
    return nullptr;
  HPEN previous = dc->pen;
  previous->selections--;
  pen->selections++;
  dc->pen = pen;
  return previous;
}

COLORREF PenColour(HPEN pen) { return pen ? pen->colour : CLR_INVALID; }
int PenStyle(HPEN pen) { return pen ? pen->style : PS_SOLID; }

bool MoveToEx(HDC dc, int x, int y, POINT* previous) {
  if (!dc)
    return false;
  if (previous)
    *previous = dc->position;
  dc->position = POINT{x, y};
  dc->dotPhase = 0;
  return true;
}

bool LineTo(HDC dc, int x, int y) {
  if (!dc)
    return false;
  const long long x0 = dc->position.x, y0 = dc->position.y;
  const long long dx = std::llabs(x - x0), dy = std::llabs(y - y0);
  const int sx = x >= x0 ? 1 : -1, sy = y >= y0 ? 1 : -1;
  const bool xMajor = dx >= dy;
  const long long steps = xMajor ? dx : dy;  // pixels drawn; the end point is excluded
  const long long minor = xMajor ? dy : dx;
  const COLORREF colour = dc->pen->colour;
  const bool dotted = dc->pen->style == PS_DOT;

  // Only the steps whose major coordinate lies on the canvas are visited, so a line of
  // any length costs at most one canvas side.
  long long first, last;
  if (xMajor)
    ClipSteps(x0, sx, dc->width, steps, first, last);
  else
    ClipSteps(y0, sy, dc->height, steps, first, last);
  for (long long k = first; k <= last; k++) {
    if (dotted && ((dc->dotPhase + k) / DotRunLength) % 2 != 0)
      continue;
    // The nearest minor coordinate, in 128 bits: both factors may span the whole int range.
    const long long offset = static_cast<long long>((2 * static_cast<__int128>(k) * minor + steps) / (2 * steps));
    if (xMajor)
      Plot(dc, x0 + sx * k, y0 + sy * offset, colour);
    else
      Plot(dc, x0 + sx * offset, y0 + sy * k, colour);
  }
  dc->dotPhase += steps;
  dc->position = POINT{x, y};
  return true;
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour) {
  if (!dc || x < 0 || y < 0 || x >= dc->width || y >= dc->height)
    return CLR_INVALID;
  Plot(dc, x, y, colour);
  return colour & 0xFFFFFF;
}

COLORREF GetPixel(HDC dc, int x, int y) {
  if (!dc || x < 0 || y < 0 || x >= dc->width || y >= dc->height)
    return CLR_INVALID;
  const uint8_t* p = &dc->rgb[(static_cast<size_t>(y) * dc->width + x) * 3];
  return RGB(p[0], p[1], p[2]);
}

int SetDIBits(HDC, HBITMAP bitmap, unsigned startScan, unsigned scanLines, const void* bits, const BITMAPINFO* info,
              unsigned) {
  DibReader dib;
  if (!bitmap || !dib.Open(bits, info) || startScan >= static_cast<unsigned>(dib.rows))
    return 0;
  const unsigned lines = std::min(scanLines, static_cast<unsigned>(dib.rows) - startScan);
  const int columns = std::min(dib.width, bitmap->width);
  for (unsigned i = 0; i < lines; i++) {
    // Memory row i holds scan line startScan + i of a bottom-first picture; a top-first
    // picture stores the same lines in the opposite order.
    const long long scan = dib.bottomFirst ? startScan + i : startScan + lines - 1 - i;
    const long long row = bitmap->height - 1 - scan;
    if (row < 0 || row >= bitmap->height)
      continue;
    for (int x = 0; x < columns; x++)
      Plot(bitmap, x, row, dib.Colour(i, x));
  }
  return static_cast<int>(lines);
}

int StretchDIBits(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth,
                  int srcHeight, const void* bits, const BITMAPINFO* info, unsigned, uint32_t rop) {
  DibReader dib;
  if (!dc || rop != SRCCOPY || !dib.Open(bits, info) || destWidth == 0 || destHeight == 0 || srcWidth <= 0 ||
      srcHeight <= 0)
    return 0;
  const long long w = std::llabs(destWidth), h = std::llabs(destHeight);
  const long long left = destWidth > 0 ? xDest : static_cast<long long>(xDest) + destWidth;
  const long long top = destHeight > 0 ? yDest : static_cast<long long>(yDest) + destHeight;
  // Only destination pixels on the canvas are visited.
  const long long i0 = std::max(0LL, -left), i1 = std::min(w, dc->width - left);
  const long long j0 = std::max(0LL, -top), j1 = std::min(h, dc->height - top);
  for (long long j = j0; j < j1; j++) {
    const long long jj = destHeight > 0 ? j : h - 1 - j;
    const long long down = (2 * jj + 1) * srcHeight / (2 * h);  // source rows below the rectangle's top
    // The picture row counted from the top of the picture.
    const long long fromTop =
        dib.bottomFirst ? dib.rows - 1 - (static_cast<long long>(ySrc) + srcHeight - 1 - down) : ySrc + down;
    if (fromTop < 0 || fromTop >= dib.rows)
      continue;
    const size_t memoryRow = static_cast<size_t>(dib.bottomFirst ? dib.rows - 1 - fromTop : fromTop);
    for (long long i = i0; i < i1; i++) {
      const long long ii = destWidth > 0 ? i : w - 1 - i;
      const long long column = xSrc + (2 * ii + 1) * srcWidth / (2 * w);
      if (column < 0 || column >= dib.width)
        continue;
      Plot(dc, left + i, top + j, dib.Colour(memoryRow, static_cast<int>(column)));
    }
  }
  return srcHeight;
}
