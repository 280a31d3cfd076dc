#include "engine/images/image.h"

#include <algorithm>
#include <cstring>

#include "engine/geometry/array.h"
#include "engine/platform/messages.h"
#include "engine/platform/paths.h"

namespace {

constexpr size_t CountBytes = sizeof(int32_t);
constexpr int MaxSide = 65535;

// One picture of the cache. The cache holds no reference of its own: the last image
// that lets go of a block removes its entry.
struct PictureInUse {
  char Path[MaxPathLength] = "";  // lower-cased, relative to the base directory
  ImageType Kind = ColourImage;
  HGLOBAL Block = nullptr;
  uint16_t Width = 0, Height = 0;
  int32_t RowBytes = 0;
  bool operator==(const PictureInUse& p) const { return Block == p.Block; }
};

TArray<PictureInUse>& Cache() {
  static TArray<PictureInUse> cache(1, 0, 1);  // room for 2, growing by 1
  return cache;
}

// The cache key of a path: relative to the base directory and lower-cased. A path too
// long for a path buffer is cut (its key then only matches the same long path).
void KeyOf(const char* path, char (&key)[MaxPathLength]) {
  std::memset(key, 0, sizeof(key));
  if (path)
    std::strncpy(key, path, MaxPathLength - 1);
  MakeRelativePath(key, PathCase::Lower);
}

bool SameKind(ImageType a, ImageType b) { return (a == ColourImage) == (b == ColourImage); }

int FindInCache(const char* key, ImageType kind) {
  TArray<PictureInUse>& cache = Cache();
  for (int i = cache.LowerBound(); i < cache.LowerBound() + cache.Count(); i++)
    if (SameKind(cache[i].Kind, kind) && std::strcmp(cache[i].Path, key) == 0)
      return i;
  return cache.LowerBound() - 1;
}

int32_t* CountOf(void* locked) { return static_cast<int32_t*>(locked); }

// The pixel block an image's fields promise: its size, not what the fields say, bounds
// every read.
bool BlockHolds(HGLOBAL block, int height, int32_t rowBytes, int width, ImageType kind) {
  if (!block || height < 1 || width < 1 || rowBytes < Image::RowBytesFor(width, kind))
    return false;
  return GlobalSize(block) >= Image::BlockBytes(height, rowBytes);
}

}  // namespace

// Construction and sharing ---------------------------------------------------

int32_t Image::RowBytesFor(int width, ImageType kind) {
  const int64_t bits = static_cast<int64_t>(width) * (kind == ColourImage ? 24 : 8);
  return static_cast<int32_t>(((bits + 31) & ~int64_t(31)) / 8);
}

size_t Image::BlockBytes(int height, int32_t rowBytes) {
  return CountBytes + static_cast<size_t>(height) * static_cast<size_t>(rowBytes);
}

Image::Image() : RowBytes(RowBytesFor(1, ColourImage)) {
  SetName("None");
  Allocate(1, 1, ColourImage);
}

Image::Image(const Image& other)
    : Height(other.Height), Width(other.Width), RowBytes(other.RowBytes), Kind(other.Kind) {
  std::memcpy(Name, other.Name, sizeof(Name));
  if (other.Block)
    AssociateBitBlockToImage(other.Block);
}

Image::~Image() { RemoveReferenceToBitBlock(); }

Image& Image::operator=(const Image& other) {
  if (this == &other)
    return *this;
  // An image without pixels passes that on: its copy has none either.
  if (other.Block)
    AssociateBitBlockToImage(other.Block);
  else
    RemoveReferenceToBitBlock();
  Height = other.Height;
  Width = other.Width;
  RowBytes = other.RowBytes;
  std::memmove(Name, other.Name, sizeof(Name));
  Kind = other.Kind;
  return *this;
}

bool Image::operator==(const Image& other) const {
  if (Height != other.Height || Width != other.Width || RowBytes != other.RowBytes || !SameKind(Kind, other.Kind))
    return false;
  char a[MaxPathLength], b[MaxPathLength];
  char name[ImageNameLength + 1];
  std::memcpy(name, Name, ImageNameLength);
  name[ImageNameLength] = '\0';
  KeyOf(name, a);
  std::memcpy(name, other.Name, ImageNameLength);
  KeyOf(name, b);
  return std::strcmp(a, b) == 0;
}

void Image::SetName(const char* name) {
  std::memset(Name, 0, sizeof(Name));
  if (name)
    std::strncpy(Name, name, sizeof(Name) - 1);
}

bool Image::Allocate(int width, int height, ImageType kind) {
  RemoveReferenceToBitBlock();
  if (width < 1 || height < 1 || width > MaxSide || height > MaxSide) {
    MessageOutOfmemory();
    return false;
  }
  const int32_t rowBytes = RowBytesFor(width, kind);
  HGLOBAL block = GlobalAlloc(GHND, BlockBytes(height, rowBytes));
  if (!block) {
    MessageOutOfmemory();
    return false;
  }
  *CountOf(GlobalLock(block)) = 1;
  GlobalUnlock(block);
  Block = block;
  Width = static_cast<uint16_t>(width);
  Height = static_cast<uint16_t>(height);
  RowBytes = rowBytes;
  Kind = kind;
  return true;
}

int Image::ReferenceCount() const {
  if (!Block)
    return 0;
  const int count = *CountOf(GlobalLock(Block));
  GlobalUnlock(Block);
  return count;
}

void Image::AddReferenceToBitBlock() {
  if (!Block)
    return;
  ++*CountOf(GlobalLock(Block));
  GlobalUnlock(Block);
}

void Image::RemoveReferenceToBitBlock() {
  if (!Block)
    return;
  HGLOBAL block = Block;
  Block = nullptr;
  const int count = --*CountOf(GlobalLock(block));
  GlobalUnlock(block);
  if (count > 0)
    return;
  // Whatever name the entry was stored under, no cache entry may outlive its block.
  TArray<PictureInUse>& cache = Cache();
  PictureInUse gone;
  gone.Block = block;
  for (int i = cache.Find(gone); i >= cache.LowerBound(); i = cache.Find(gone))
    cache.Detach(i);
  GlobalFree(block);
}

void Image::AssociateBitBlockToImage(HGLOBAL block) {
  if (!block) {
    RemoveReferenceToBitBlock();
    return;
  }
  ++*CountOf(GlobalLock(block));
  GlobalUnlock(block);
  RemoveReferenceToBitBlock();
  Block = block;
}

// Pixel access ------------------------------------------------------------------

ImagePixels::ImagePixels(const Image& image) : block(image.Block) {
  if (!BlockHolds(block, image.Height, image.RowBytes, image.Width, image.Kind)) {
    block = nullptr;
    return;
  }
  rows = static_cast<uint8_t*>(GlobalLock(block)) + CountBytes;
}

ImagePixels::~ImagePixels() {
  if (block)
    GlobalUnlock(block);
}

// Drawing ----------------------------------------------------------------------------

void Image::Display(HDC dc, TRect r) const {
  ImagePixels pixels(*this);
  const int64_t width = r.Width(), height = r.Height();
  if (!pixels.Rows() || !dc || width < 1 || height < 1)
    return;
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD greys[256];
  } info;
  std::memset(&info, 0, sizeof(info));
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = Width;
  info.header.biHeight = Height;
  info.header.biPlanes = 1;
  info.header.biBitCount = IsGrey() ? 8 : 24;
  info.header.biCompression = BI_RGB;
  info.header.biSizeImage = static_cast<uint32_t>(RowBytes) * Height;
  for (int i = 0; i < 256; i++)
    info.greys[i] = RGBQUAD{static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i), 0};
  if (width == Width && height == Height) {
    StretchDIBits(dc, r.left, r.top, Width, Height, 0, 0, Width, Height, pixels.Rows(),
                  reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, SRCCOPY);
    return;
  }
  // Nearest sample, bottom row first; only the part of r on the surface is visited, and a
  // rectangle one pixel wide or high samples the first column or row.
  const int64_t firstX = std::max<int64_t>(0, -int64_t(r.left));
  const int64_t lastX = std::min<int64_t>(width, int64_t(CanvasWidth(dc)) - r.left);
  const int64_t firstY = std::max<int64_t>(0, int64_t(r.bottom) - CanvasHeight(dc));
  const int64_t lastY = std::min<int64_t>(height, int64_t(r.bottom));
  for (int64_t y = firstY; y < lastY; y++) {
    const int64_t row = height > 1 ? y * (Height - 1) / (height - 1) : 0;
    const uint8_t* line = pixels.Rows() + static_cast<size_t>(RowBytes) * static_cast<size_t>(row);
    for (int64_t x = firstX; x < lastX; x++) {
      const int64_t column = width > 1 ? x * (Width - 1) / (width - 1) : 0;
      COLORREF colour;
      if (IsGrey()) {
        const uint8_t g = line[column];
        colour = RGB(g, g, g);
      } else {
        const uint8_t* p = line + 3 * column;
        colour = RGB(p[2], p[1], p[0]);
      }
      SetPixel(dc, static_cast<int>(r.left + x), static_cast<int>(r.bottom - 1 - y), colour);
    }
  }
}

// The cache -----------------------------------------------------------------------

bool CheckIfPictureInUse(Image* image, const char* path, ImageType type) {
  if (!image)
    return false;
  char key[MaxPathLength];
  KeyOf(path, key);
  const int i = FindInCache(key, type);
  TArray<PictureInUse>& cache = Cache();
  if (i < cache.LowerBound())
    return false;
  const PictureInUse entry = cache[i];
  image->AssociateBitBlockToImage(entry.Block);
  image->Height = entry.Height;
  image->Width = entry.Width;
  image->RowBytes = entry.RowBytes;
  image->Kind = entry.Kind;
  image->SetName(path);  // the caller's path keeps its case: it is the one to open
  return true;
}

void StoreInPicturesInUse(Image* image) {
  if (!image || !image->Block)
    return;
  char name[ImageNameLength + 1];
  std::memcpy(name, image->Name, ImageNameLength);
  name[ImageNameLength] = '\0';
  PictureInUse entry;
  KeyOf(name, entry.Path);
  const int i = FindInCache(entry.Path, image->Kind);
  TArray<PictureInUse>& cache = Cache();
  if (i < cache.LowerBound()) {
    entry.Kind = image->Kind;
    entry.Block = image->Block;
    entry.Width = image->Width;
    entry.Height = image->Height;
    entry.RowBytes = image->RowBytes;
    cache.Add(entry);
    return;
  }
  const PictureInUse cached = cache[i];
  if (cached.Block == image->Block || cached.Width != image->Width || cached.Height != image->Height ||
      !SameKind(cached.Kind, image->Kind) || cached.RowBytes != image->RowBytes)
    return;
  const size_t bytes = static_cast<size_t>(image->Height) * static_cast<size_t>(image->RowBytes);
  if (GlobalSize(cached.Block) < CountBytes + bytes || GlobalSize(image->Block) < CountBytes + bytes)
    return;
  auto* to = static_cast<uint8_t*>(GlobalLock(cached.Block));
  const auto* from = static_cast<const uint8_t*>(GlobalLock(image->Block));
  std::memcpy(to + CountBytes, from + CountBytes, bytes);
  GlobalUnlock(image->Block);
  GlobalUnlock(cached.Block);
  image->AssociateBitBlockToImage(cached.Block);
}

int PicturesInUse() { return Cache().Count(); }
