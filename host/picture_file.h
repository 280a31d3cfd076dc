// Picture files: 24-bit pictures written as BMP, PNG or JPEG (by the file's extension)
// row by row, with 64-bit sizes, never leaving a truncated file behind; and grey height
// maps read from any picture format stb reads (8 or 16 bits per sample; grey PNGs, the
// usual kind, are inflated by libdeflate and unfiltered here, or decoded by libspng when
// interlaced, faster) or from binary PNM, with the size in the header checked before
// anything is decoded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/platform/device_context.h"
#include "engine/platform/large_memory.h"

// A 24-bit picture: rows top to bottom, each pixel red, green, blue.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t, LargeAllocator<uint8_t>> rgb;

  Picture() = default;
  Picture(int w, int h) : width(w), height(h), rgb(static_cast<size_t>(w) * h * 3, 0) {}
  uint8_t* Pixel(int x, int y) { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
  const uint8_t* Pixel(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
  size_t RowBytes() const { return static_cast<size_t>(width) * 3; }
};

// The pixels of a canvas (a wireframe view or a picture drawn by the engine), ready to
// be written; an empty picture for a null canvas.
Picture CanvasPicture(HDC dc);

enum class PictureFormat { Bmp, Png, Jpeg, Unknown };

// The format a file name asks for (.bmp, .png, .jpg or .jpeg, in any case).
PictureFormat FormatOfPath(const std::string& path);

// Whether a picture of width x height can be written to `path`: a known extension, a size
// the format holds (BMP files end at 4 GiB, JPEG sides at 65500), and a place to write it
// (the name is not a folder, no folder on its path is a file). Checked before rendering;
// false with `error` set.
bool CheckPictureOutput(const std::string& path, int width, int height, std::string& error);

// Writes the picture to a temporary file beside `path`, checking every write, syncs it
// and renames it into place, so that a failure (a full disk) never leaves a partial
// picture under the final name. The folder of a relative path is created when missing.
// Temporary files of this name left by killed processes are removed first. On failure
// returns false with `error` set.
bool WritePicture(const std::string& path, const Picture& picture, std::string& error);

class SafeFile;
class PngEncoder;

// A picture file written while its picture is rendered. Open checks and opens the file as
// WritePicture does; Advance(rows) says that the picture's first `rows` rows are final, and
// encodes those a PNG file has not taken yet, so that little is left to encode when the
// render ends; Finish writes the rest (all of a BMP, whose rows run bottom up, and of a
// JPEG), syncs and renames the file into place. A stream that is not finished (an
// interrupted render, a failure) leaves nothing under the final name.
class PictureStream {
 public:
  // The picture must outlive the stream and keep its size.
  explicit PictureStream(const Picture& picture);
  ~PictureStream();
  PictureStream(const PictureStream&) = delete;
  PictureStream& operator=(const PictureStream&) = delete;

  bool Open(const std::string& path, std::string& error);
  // Called from one thread at a time, with rows that no thread writes any more.
  void Advance(int rows);
  bool Finish(std::string& error);

 private:
  const Picture& picture;
  std::string path;
  std::unique_ptr<SafeFile> file;
  std::unique_ptr<PngEncoder> png;
  int encoded = 0;  // PNG rows handed to the encoder
};

// Largest side of a picture that ReadPicture decodes.
constexpr int MaxReadPictureSide = 32768;

// Reads a picture file into 8-bit RGB (any format stb reads); false with `error` set.
bool ReadPicture(const std::string& path, Picture& picture, std::string& error);

// A picture as 8-bit samples: `channels` per pixel (1 grey, 3 red, green, blue), rows top
// to bottom. Colour files read as grey give their luminance; 16-bit files are reduced to 8.
struct PictureSamples {
  int width = 0;
  int height = 0;
  int channels = 0;
  std::vector<uint8_t> samples;
};

// Reads a picture of at most MaxReadPictureSide pixels a side (refused from its header
// when larger); `error` holds the reason alone.
bool ReadPictureSamples(const std::string& path, int channels, PictureSamples& picture, std::string& error);

// A grey height map: one sample per pixel (the luminance of colour pictures), 0..65535 for
// 16-bit files and 0..255 for 8-bit ones.
struct HeightMap {
  int width = 0;
  int height = 0;
  bool sixteenBit = false;
  std::vector<uint16_t, LargeAllocator<uint16_t>> samples;  // rows top to bottom
};

// Largest height-map file read, in bytes.
constexpr size_t MaxHeightMapFileBytes = 512u << 20;

// Reads a height map whose sides are at most `maxSide` pixels; larger ones are refused
// from their header, before their samples are decoded.
bool ReadHeightMap(const std::string& path, int maxSide, HeightMap& map, std::string& error);
// The same for a file's bytes in memory; `name` prefixes the messages.
bool DecodeHeightMap(const unsigned char* data, size_t size, const std::string& name, int maxSide, HeightMap& map,
                     std::string& error);
