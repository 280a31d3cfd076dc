#include "engine/images/dib24.h"

#include <cstring>

#include "engine/platform/messages.h"

namespace {

uint32_t RowBytesOf(int width) { return static_cast<uint32_t>(((static_cast<int64_t>(width) * 24 + 31) & ~31) / 8); }

BITMAPINFO Header(int width, int height) {
  BITMAPINFO info;
  std::memset(&info, 0, sizeof(info));
  BITMAPINFOHEADER& h = info.bmiHeader;
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = 24;
  h.biCompression = BI_RGB;
  h.biSizeImage = RowBytesOf(width) * static_cast<uint32_t>(height);
  h.biXPelsPerMeter = 1000;
  h.biYPelsPerMeter = 1000;
  h.biClrUsed = 0;
  return info;
}

HGLOBAL NewPixels(size_t bytes) {
  HGLOBAL block = GlobalAlloc(GHND, bytes);
  if (!block)
    MessageOutOfmemory();
  return block;
}

}  // namespace

TDib24::TDib24(int width, int height) {
  // Sides beyond what a 32-bit image size can hold would wrap: they are refused.
  if (width < 0 || height < 0 || static_cast<uint64_t>(RowBytesOf(width)) * static_cast<uint64_t>(height) > 0x7FFFFFFF)
    width = height = 0;
  Info = Header(width, height);
  Bits = NewPixels(ImageBytes());
}

TDib24::TDib24(const TDib24& other) : Info(other.Info) { CopyPixelsFrom(other); }

TDib24& TDib24::operator=(const TDib24& other) {
  if (this == &other)
    return *this;
  Bits = GlobalFree(Bits);
  Info = other.Info;
  CopyPixelsFrom(other);
  return *this;
}

TDib24::~TDib24() {
  while (GlobalUnlock(Bits)) {
  }
  GlobalFree(Bits);
}

void TDib24::CopyPixelsFrom(const TDib24& other) {
  Bits = nullptr;
  if (!other.Bits)
    return;
  Bits = NewPixels(ImageBytes());
  if (!Bits)
    return;
  AccesDib24 to(*this), from(other);
  std::memcpy(to.GetBits(), from.GetBits(), ImageBytes());
}

uint32_t TDib24::RowBytes() const { return RowBytesOf(Width()); }

void TDib24::Fill(uint8_t value) {
  AccesDib24 access(*this);
  if (access.GetBits())
    std::memset(access.GetBits(), value, ImageBytes());
}

void TDib24::Blanc() { Fill(255); }
void TDib24::Gris() { Fill(192); }
void TDib24::Noir() { Fill(0); }

int TDib24::SetToDevice(HDC dc, HBITMAP bitmap) const {
  AccesDib24 access(*this);
  if (!access.GetBits())
    return 0;
  return SetDIBits(dc, bitmap, 0, static_cast<unsigned>(Height()), access.GetBits(), &Info, DIB_RGB_COLORS);
}

AccesDib24::AccesDib24(const TDib24& dib) : handle(dib.Bits), bits(static_cast<uint8_t*>(GlobalLock(dib.Bits))) {}

AccesDib24::~AccesDib24() { GlobalUnlock(handle); }
