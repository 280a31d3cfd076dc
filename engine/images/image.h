// Image: a picture read by picture layers and picture-coloured materials. Its pixels
// live in a reference-counted movable block that several images share, and a
// process-wide cache of the pictures in use lets a second image of the same file share
// the block of the first instead of loading it again. The engine opens no picture file:
// the host loads the pixels and registers them (CheckIfPictureInUse, then
// StoreInPicturesInUse).
//
// Block layout: a 32-bit reference count, then Height rows of RowBytes bytes, bottom row
// first; colour pixels are blue, green, red, grey pixels one byte.
#pragma once

#include <cstdint>

#include "engine/platform/device_context.h"
#include "engine/platform/memory.h"
#include "engine/platform/rect.h"

enum ImageType : int32_t {
  ColourImage = 0,  // 24-bit blue, green, red
  GreyImage = 1,    // 8-bit grey; any value but 0 reads as grey
};

constexpr int ImageNameLength = 144;

#pragma pack(push, 1)

class Image {
 public:
  char Name[ImageNameLength];  // the picture's file path as the host gave it
  uint16_t Height = 1;
  uint16_t Width = 1;
  int32_t RowBytes;
  HGLOBAL Block = nullptr;  // shared pixel block, null when the image has no pixels
  ImageType Kind = ColourImage;

  // A 1 x 1 black colour picture named "None" with a block of its own.
  Image();
  // Shares the other image's block.
  Image(const Image& other);
  ~Image();
  // Shares the source's block and copies its size, name and type.
  Image& operator=(const Image& other);
  // Same picture: names equal once both are relative to the base directory and
  // lower-cased, and the same size, row bytes and type.
  bool operator==(const Image& other) const;

  void AddReferenceToBitBlock();
  // Lets go of the block: the last image to let go removes its cache entry and frees it.
  void RemoveReferenceToBitBlock();
  // Shares `block` (adding a reference to it first, so a block may be associated again).
  void AssociateBitBlockToImage(HGLOBAL block);

  // Shows the picture in `r` of the drawing surface: copied as it is when r has the
  // picture's size, else scaled by nearest sample. An image without pixels draws nothing.
  void Display(HDC dc, TRect r) const;

  // A new block of its own for a width x height picture of `kind`, every pixel 0 and the
  // reference count 1. False (after the out-of-memory message) when the block cannot be
  // allocated or a side is outside 1..65535; the image is then left without pixels.
  bool Allocate(int width, int height, ImageType kind);
  bool HasPixels() const { return Block != nullptr; }
  bool IsGrey() const { return Kind != ColourImage; }
  // The references held on the block (0 without one).
  int ReferenceCount() const;
  // Sets Name, cut to ImageNameLength - 1 characters.
  void SetName(const char* name);

  // Bytes per row of a picture of `width` pixels of `kind`, padded to 4.
  static int32_t RowBytesFor(int width, ImageType kind);
  // Bytes of a pixel block: the count and the rows.
  static size_t BlockBytes(int height, int32_t rowBytes);
};

#pragma pack(pop)

// Scoped access to the pixels of an image: the block is locked for the life of the
// accessor. Rows() is null when the image has no pixels or its block is smaller than its
// size says (pictures are never read past their block).
class ImagePixels {
 public:
  explicit ImagePixels(const Image& image);
  ~ImagePixels();
  ImagePixels(const ImagePixels&) = delete;
  ImagePixels& operator=(const ImagePixels&) = delete;

  // The first (bottom) row; row y starts RowBytes * y bytes further.
  uint8_t* Rows() const { return rows; }

 private:
  HGLOBAL block;
  uint8_t* rows = nullptr;
};

// Looks the picture up in the cache (the path made relative to the base directory,
// compared without case, and the type). When found, the image shares the cached block
// and takes its size, row bytes and type and the given path; returns true. Otherwise
// false: the host loads the picture into the image and calls StoreInPicturesInUse.
bool CheckIfPictureInUse(Image* image, const char* path, ImageType type);
// Registers the image's block under its name and type. When that picture is cached
// already with the same size and type, the image's pixels are copied into the cached
// block (every image sharing it sees them) and the image shares that block from then on.
void StoreInPicturesInUse(Image* image);
// The number of pictures in the cache.
int PicturesInUse();
