// TDib24: a 24-bit device-independent bitmap in a movable block, the picture the host
// renders into and shows (a material keeps one as its preview). AccesDib24 pins its
// pixels for the length of one access: every read or write of them goes through one.
// Not byte-packed, so that the header the drawing calls read stays aligned.
#pragma once

#include <cstdint>

#include "engine/platform/device_context.h"
#include "engine/platform/memory.h"

class TDib24 {
 public:
  HGLOBAL Bits = nullptr;  // rows bottom first, blue, green, red, padded to 4 bytes; null without pixels
  BITMAPINFO Info;

  // A black width x height bitmap; without pixels (after the out-of-memory message) when
  // the block cannot be allocated. Sides below 1 give an empty bitmap.
  TDib24(int width, int height);
  // New blocks with the same pixels; a bitmap without pixels copies as one without.
  TDib24(const TDib24& other);
  TDib24& operator=(const TDib24& other);
  ~TDib24();

  int Width() const { return Info.bmiHeader.biWidth; }
  int Height() const { return Info.bmiHeader.biHeight; }
  // Bytes per row and of all rows.
  uint32_t RowBytes() const;
  uint32_t ImageBytes() const { return Info.bmiHeader.biSizeImage; }
  bool HasPixels() const { return Bits != nullptr; }

  // Fill every byte with 255, 192 or 0.
  void Blanc();
  void Gris();
  void Noir();

  // Copies the pixels onto `bitmap`; returns the number of rows copied (0 without pixels).
  int SetToDevice(HDC dc, HBITMAP bitmap) const;

 private:
  void Fill(uint8_t value);
  void CopyPixelsFrom(const TDib24& other);
};

// Pins a bitmap's pixels while it lives.
class AccesDib24 {
 public:
  explicit AccesDib24(const TDib24& dib);
  ~AccesDib24();
  AccesDib24(const AccesDib24&) = delete;
  AccesDib24& operator=(const AccesDib24&) = delete;

  // The first (bottom) row; null for a bitmap without pixels.
  uint8_t* GetBits() const { return bits; }

 private:
  HGLOBAL handle;
  uint8_t* bits;
};
