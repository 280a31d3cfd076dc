// The drawing surface that wireframe views and pictures are drawn into: an in-memory
// canvas of 24-bit pixels that stands for a device context (HDC) and for a bitmap
// (HBITMAP), with width-1 pens (solid or dotted), current-position lines, single pixels
// and copies of device-independent bitmaps, under the names of the interface they stand
// in for. Coordinates grow to the right and downwards from the top-left pixel; whatever
// falls outside the canvas is clipped.
#pragma once

#include <cstdint>

struct Canvas;
typedef Canvas* HDC;
typedef Canvas* HBITMAP;  // a bitmap is a canvas too: SetDIBits fills one

struct Pen;
typedef Pen* HPEN;
typedef Pen* HGDIOBJ;  // pens are the only drawing objects

typedef uint32_t COLORREF;  // 0x00bbggrr
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

constexpr COLORREF RGB(unsigned r, unsigned g, unsigned b) {
  return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16);
}
constexpr unsigned GetRValue(COLORREF c) { return c & 0xFF; }
constexpr unsigned GetGValue(COLORREF c) { return (c >> 8) & 0xFF; }
constexpr unsigned GetBValue(COLORREF c) { return (c >> 16) & 0xFF; }

// Pen styles. A dotted pen draws runs of DotRunLength pixels, then leaves as many
// untouched; the pattern runs on across consecutive LineTo calls and restarts at MoveToEx.
constexpr int PS_SOLID = 0;
constexpr int PS_DOT = 2;
constexpr int DotRunLength = 3;

// Stock objects.
constexpr int BLACK_PEN = 7;

struct POINT {
  int32_t x;
  int32_t y;
};

// Device-independent bitmaps: the header, its colour table entries, the whole record.
struct BITMAPINFOHEADER {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;  // positive: rows bottom first; negative: top first
  uint16_t biPlanes;
  uint16_t biBitCount;  // 24 (blue, green, red) or 8 (colour table indices)
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;  // 8 bits: entries in the table, 0 for 256
  uint32_t biClrImportant;
};

struct RGBQUAD {
  uint8_t rgbBlue;
  uint8_t rgbGreen;
  uint8_t rgbRed;
  uint8_t rgbReserved;
};

// Callers that need a longer colour table allocate room for it after the record.
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(sizeof(RGBQUAD) == 4);
static_assert(sizeof(BITMAPINFO) == 44);

constexpr uint32_t BI_RGB = 0;
constexpr unsigned DIB_RGB_COLORS = 0;
constexpr uint32_t SRCCOPY = 0x00CC0020;

// A new canvas of width x height white pixels with the stock black pen selected and the
// current position at (0, 0); null when a side is not positive or the pixels cannot be
// allocated.
HDC CreateCanvas(int width, int height);
// Frees the canvas; its selected pen is released (no longer counted as selected).
void DeleteCanvas(HDC dc);
int CanvasWidth(HDC dc);
int CanvasHeight(HDC dc);
// The pixels, rows top to bottom, each pixel red, green, blue, no padding: what a
// picture writer needs to save the canvas.
const uint8_t* CanvasPixels(HDC dc);
// Paints every pixel in `colour`.
void ClearCanvas(HDC dc, COLORREF colour);

// A new pen of `style` (PS_SOLID or PS_DOT; other styles draw solid) and `colour`;
// every pen is one pixel wide, whatever `width` says.
HPEN CreatePen(int style, int width, COLORREF colour);
// The stock pen BLACK_PEN (never deleted); null for any other number.
HGDIOBJ GetStockObject(int object);
// Deletes a pen. Refused (false) for null, a stock pen or a pen selected into a canvas,
// so that no canvas ever draws with a freed pen.
bool DeleteObject(HGDIOBJ object);
// Selects `pen` into the canvas and returns the pen selected before; null (nothing
// changes) for a null canvas or pen.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ pen);
COLORREF PenColour(HPEN pen);
int PenStyle(HPEN pen);

// Moves the current position; the previous one goes to `previous` when given.
bool MoveToEx(HDC dc, int x, int y, POINT* previous);
// Draws a line with the selected pen from the current position up to (x, y), that last
// pixel excluded, and makes (x, y) the current position. The pixels are those of the
// midpoint rule: along the major axis one pixel per step, on the minor axis the nearest
// row or column, halves rounded away from the start. Coordinates may lie far outside
// the canvas; only the pixels inside are touched.
bool LineTo(HDC dc, int x, int y);
// Sets one pixel; returns the colour set, or CLR_INVALID outside the canvas.
COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour);
// The colour of one pixel, or CLR_INVALID outside the canvas.
COLORREF GetPixel(HDC dc, int x, int y);

// Copies scan lines startScan .. startScan + scanLines - 1 (counted from the bitmap's
// bottom row, as the rows of `bits` are for a bottom-first bitmap) into `bitmap`, the
// bottom row of the picture on the bitmap's bottom row. `dc` is not used (it stands for
// the colour context). Returns the number of lines copied; 0 for bad arguments (null
// pointers, a depth other than 24 or 8 bits, compression, sides not positive).
int SetDIBits(HDC dc, HBITMAP bitmap, unsigned startScan, unsigned scanLines, const void* bits, const BITMAPINFO* info,
              unsigned usage);
// Copies the source rectangle (xSrc, ySrc, srcWidth, srcHeight; ySrc counted from the
// picture's bottom row for a bottom-first picture, from its top for a top-first one) of
// the picture onto the destination rectangle of the canvas, stretched or shrunk by
// nearest sample; a negative destination side mirrors. Only SRCCOPY is supported.
// Returns the number of source rows, or 0 for bad arguments.
int StretchDIBits(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth,
                  int srcHeight, const void* bits, const BITMAPINFO* info, unsigned usage, uint32_t rop);
