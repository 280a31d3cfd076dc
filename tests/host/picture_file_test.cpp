#include "host/picture_file.h"

#include <gtest/gtest.h>
#include <stb_image_write.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

// The library's deflate, which its header keeps to itself.
extern "C" unsigned char* stbi_zlib_compress(unsigned char* data, int length, int* outLength, int quality);

namespace {

uint32_t Crc32(const unsigned char* data, size_t n, uint32_t crc = 0) {
  crc = ~crc;
  for (size_t i = 0; i < n; i++) {
    crc ^= data[i];
    for (int k = 0; k < 8; k++)
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void Chunk(std::ofstream& out, const char* type, const std::vector<unsigned char>& body) {
  std::vector<unsigned char> typed(type, type + 4);
  typed.insert(typed.end(), body.begin(), body.end());
  auto put32 = [&out](uint32_t v) {
    const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    out.write(b, 4);
  };
  put32(static_cast<uint32_t>(body.size()));
  out.write(reinterpret_cast<const char*>(typed.data()), typed.size());
  put32(Crc32(typed.data(), typed.size()));
}

// A 16-bit grey PNG (stb writes 8-bit pictures only).
void WriteGrey16Png(const char* path, int w, int h, const uint16_t* samples) {
  std::vector<unsigned char> raw;
  for (int y = 0; y < h; y++) {
    raw.push_back(0);  // no filter
    for (int x = 0; x < w; x++) {
      raw.push_back(static_cast<unsigned char>(samples[y * w + x] >> 8));
      raw.push_back(static_cast<unsigned char>(samples[y * w + x] & 0xFF));
    }
  }
  int size = 0;
  unsigned char* z = stbi_zlib_compress(raw.data(), static_cast<int>(raw.size()), &size, 8);
  std::ofstream out(path, std::ios::binary);
  out.write("\x89PNG\r\n\x1a\n", 8);
  std::vector<unsigned char> header = {
      0, 0, 0, static_cast<unsigned char>(w), 0, 0, 0, static_cast<unsigned char>(h), 16, 0, 0, 0, 0};
  Chunk(out, "IHDR", header);
  Chunk(out, "IDAT", std::vector<unsigned char>(z, z + size));
  Chunk(out, "IEND", {});
  std::free(z);
}

class PictureFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("orvelle-pictures-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    previous = fs::current_path();
    fs::current_path(folder);
  }
  void TearDown() override {
    fs::current_path(previous);
    fs::remove_all(folder);
  }

  static Picture Gradient(int w, int h) {
    Picture p(w, h);
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++) {
        uint8_t* px = p.Pixel(x, y);
        px[0] = static_cast<uint8_t>(x * 255 / (w - 1));
        px[1] = static_cast<uint8_t>(y * 255 / (h - 1));
        px[2] = 77;
      }
    return p;
  }

  fs::path folder, previous;
};

TEST_F(PictureFiles, LosslessFormatsRoundTripExactly) {
  Picture original = Gradient(17, 9);
  for (const char* name : {"a.bmp", "b.PNG"}) {
    std::string error;
    ASSERT_TRUE(WritePicture(name, original, error)) << error;
    Picture back;
    ASSERT_TRUE(ReadPicture(name, back, error)) << error;
    EXPECT_EQ(back.width, 17);
    EXPECT_EQ(back.height, 9);
    EXPECT_EQ(back.rgb, original.rgb) << name;
  }
}

TEST_F(PictureFiles, CanvasSavedAsPngKeepsItsPixels) {
  HDC dc = CreateCanvas(5, 3);
  SetPixel(dc, 4, 2, RGB(1, 2, 3));
  std::string error;
  ASSERT_TRUE(WritePicture("canvas.png", CanvasPicture(dc), error)) << error;
  Picture back;
  ASSERT_TRUE(ReadPicture("canvas.png", back, error)) << error;
  ASSERT_EQ(back.width, 5);
  ASSERT_EQ(back.height, 3);
  EXPECT_EQ(back.Pixel(4, 2)[0], 1);
  EXPECT_EQ(back.Pixel(4, 2)[2], 3);
  EXPECT_EQ(back.Pixel(0, 0)[1], 255);
  DeleteCanvas(dc);
  EXPECT_EQ(CanvasPicture(nullptr).width, 0);
}

TEST_F(PictureFiles, JpegIsCloseAndTheFormatFollowsTheExtension) {
  Picture original = Gradient(32, 32);
  std::string error;
  ASSERT_TRUE(WritePicture("c.jpg", original, error)) << error;
  std::ifstream file("c.jpg", std::ios::binary);
  unsigned char magic[2] = {};
  file.read(reinterpret_cast<char*>(magic), 2);
  EXPECT_EQ(magic[0], 0xFF);
  EXPECT_EQ(magic[1], 0xD8);
  Picture back;
  ASSERT_TRUE(ReadPicture("c.jpg", back, error));
  int worst = 0;
  for (size_t i = 0; i < back.rgb.size(); i++)
    worst = std::max(worst, std::abs(back.rgb[i] - original.rgb[i]));
  EXPECT_LT(worst, 24);
}

TEST_F(PictureFiles, RelativeFoldersAreCreatedAndNoTemporaryIsLeft) {
  std::string error;
  ASSERT_TRUE(WritePicture("Pictures/deep/a.png", Gradient(4, 4), error)) << error;
  EXPECT_TRUE(fs::exists("Pictures/deep/a.png"));
  for (const auto& entry : fs::directory_iterator("Pictures/deep"))
    EXPECT_EQ(entry.path().filename(), "a.png");
}

TEST_F(PictureFiles, FailuresLeaveNothingUnderTheFinalName) {
  std::string error;
  EXPECT_FALSE(WritePicture("a.gif", Gradient(4, 4), error));
  EXPECT_NE(error.find("unknown picture format"), std::string::npos);
  EXPECT_FALSE(WritePicture("empty.png", Picture(), error));
  // An unwritable folder: the picture fails and nothing appears.
  fs::create_directories("locked");
  ::chmod("locked", 0500);
  const bool writable = ::access("locked", W_OK) == 0;  // root can write anyway
  if (!writable) {
    EXPECT_FALSE(WritePicture("locked/a.png", Gradient(4, 4), error));
    EXPECT_FALSE(error.empty());
  }
  ::chmod("locked", 0700);
  EXPECT_FALSE(fs::exists("a.gif"));
  EXPECT_FALSE(fs::exists("empty.png"));
  // An existing picture is replaced only by a complete new one.
  ASSERT_TRUE(WritePicture("keep.bmp", Gradient(4, 4), error));
  EXPECT_FALSE(WritePicture("keep.bmp", Picture(), error));
  Picture back;
  ASSERT_TRUE(ReadPicture("keep.bmp", back, error));
  EXPECT_EQ(back.width, 4);
}

TEST_F(PictureFiles, HeightMapsKeepSixteenBitSamples) {
  const int w = 3, h = 2;
  uint16_t samples[w * h] = {0, 1000, 65535, 300, 40000, 7};
  HeightMap map;
  std::string error;
  WriteGrey16Png("map16.png", w, h, samples);
  ASSERT_TRUE(ReadHeightMap("map16.png", map, error)) << error;
  EXPECT_TRUE(map.sixteenBit);
  ASSERT_EQ(map.samples.size(), 6u);
  for (int i = 0; i < w * h; i++)
    EXPECT_EQ(map.samples[i], samples[i]);

  // 16-bit PGM samples are big-endian.
  {
    std::ofstream pgm("map16.pgm", std::ios::binary);
    pgm << "P5\n" << w << " " << h << "\n65535\n";
    for (uint16_t s : samples) {
      const char bytes[2] = {static_cast<char>(s >> 8), static_cast<char>(s & 0xFF)};
      pgm.write(bytes, 2);
    }
  }
  map = HeightMap();
  ASSERT_TRUE(ReadHeightMap("map16.pgm", map, error)) << error;
  EXPECT_TRUE(map.sixteenBit);
  ASSERT_EQ(map.samples.size(), 6u);
  for (int i = 0; i < w * h; i++)
    EXPECT_EQ(map.samples[i], samples[i]);

  const unsigned char grey[4] = {0, 64, 128, 255};
  ASSERT_TRUE(stbi_write_png("map8.png", 2, 2, 1, grey, 2));
  ASSERT_TRUE(ReadHeightMap("map8.png", map, error)) << error;
  EXPECT_FALSE(map.sixteenBit);
  EXPECT_EQ(map.samples[3], 255);

  EXPECT_FALSE(ReadHeightMap("missing.png", map, error));
  EXPECT_NE(error.find("missing.png"), std::string::npos);
  std::ofstream("broken.png") << "not a picture";
  EXPECT_FALSE(ReadHeightMap("broken.png", map, error));
  std::ofstream("short.pgm") << "P5\n4 4\n65535\nab";
  EXPECT_FALSE(ReadHeightMap("short.pgm", map, error));
  EXPECT_NE(error.find("truncated"), std::string::npos);
}

}  // namespace
