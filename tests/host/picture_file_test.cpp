#include "host/picture_file.h"

#include <gtest/gtest.h>
#include <spng.h>
#include <stb_image.h>
#include <stb_image_write.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/safe_file.h"

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

// Lossless files give back every byte, whatever predicts the pixels (edges, steps that wrap
// around 255, noise, one-pixel rows and columns), and a smooth picture's PNG is compressed.
TEST_F(PictureFiles, LosslessFormatsRoundTripExactly) {
  auto filled = [](int w, int h, auto value) {
    Picture p(w, h);
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++)
        for (int c = 0; c < 3; c++)
          p.Pixel(x, y)[c] = static_cast<uint8_t>(value(x, y, c));
    return p;
  };
  uint32_t seed = 12345;
  auto noise = [&seed](int, int, int) {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 24;
  };
  const struct {
    const char* name;
    Picture picture;
  } cases[] = {
      {"gradient", Gradient(17, 9)},
      {"steps", filled(31, 13, [](int x, int y, int c) { return (x * 37 + y * 91 + c * 50) % 256; })},
      {"edges", filled(20, 20, [](int x, int y, int c) { return ((x / 3 + y / 5) % 2) * (c == 1 ? 250 : 5); })},
      {"noise", filled(29, 17, noise)},
      {"one pixel", filled(1, 1, [](int, int, int c) { return 200 + c; })},
      {"one column", filled(1, 12, [](int, int y, int c) { return 255 - y * 20 - c; })},
      {"one row", filled(40, 1, [](int x, int, int c) { return x * 6 + c; })},
  };
  for (const auto& test : cases)
    for (const char* name : {"a.bmp", "b.PNG"}) {
      std::string error;
      ASSERT_TRUE(WritePicture(name, test.picture, error)) << error;
      Picture back;
      ASSERT_TRUE(ReadPicture(name, back, error)) << error;
      EXPECT_EQ(back.width, test.picture.width) << test.name;
      EXPECT_EQ(back.height, test.picture.height) << test.name;
      EXPECT_EQ(back.rgb, test.picture.rgb) << test.name << " " << name;
    }
  std::string error;
  const Picture smooth = Gradient(400, 300);
  ASSERT_TRUE(WritePicture("smooth.png", smooth, error)) << error;
  EXPECT_LT(fs::file_size("smooth.png"), smooth.rgb.size() / 20);
}

// PNG files decode exactly under a decoder that checks every checksum, whatever codes their
// blocks need: many blocks of short runs (fewer length codes than there are), runs of every
// length, noise, and byte frequencies that would give codes longer than deflate allows.
TEST_F(PictureFiles, PngFilesDecodeExactlyUnderEveryCheck) {
  uint32_t seed = 99;
  auto random = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 24;
  };
  auto filled = [](int w, int h, auto value) {
    Picture p(w, h);
    for (size_t i = 0; i < p.rgb.size(); i++)
      p.rgb[i] = static_cast<uint8_t>(value(i));
    return p;
  };
  // One row whose bytes differ from the pixel before by Fibonacci-weighted amounts (22
  // of them, the rarest twice and the commonest 46 368 times; with the row's filter byte
  // and the block's end, each once, the longest code would have 23 bits), every other byte
  // by 255 so that no byte repeats the one before.
  std::vector<uint8_t> steps;
  for (int k = 0, a = 2, b = 3; k < 22; k++, b += a, a = b - a)
    steps.insert(steps.end(), a, static_cast<uint8_t>(k * 7 + 1));
  for (size_t i = steps.size() - 1; i > 0; i--)
    std::swap(steps[i], steps[random() % (i + 1)]);
  for (size_t i = steps.size(); i-- > 0;)
    steps.insert(steps.begin() + static_cast<std::ptrdiff_t>(i), 255);
  Picture skewed(static_cast<int>(steps.size() / 3), 1);
  for (size_t i = 0; i < skewed.rgb.size(); i++)
    skewed.rgb[i] = static_cast<uint8_t>((i >= 3 ? skewed.rgb[i - 3] : 0) + steps[i]);
  const struct {
    const char* name;
    Picture picture;
  } cases[] = {
      {"short runs", filled(400, 150, [&](size_t i) { return i / 7 % 200 + random() % 3; })},
      {"long runs", filled(700, 90, [&](size_t i) { return i / 5000 % 2 ? 9 : random() % 256; })},
      {"runs just short of the longest", filled(500, 90, [&](size_t i) { return i % 500 < 250 ? 9 : random(); })},
      {"noise", filled(300, 120, [&](size_t) { return random(); })},
      {"skewed", skewed},
  };
  for (const auto& test : cases) {
    std::string error;
    ASSERT_TRUE(WritePicture("strict.png", test.picture, error)) << error;
    std::ifstream in("strict.png", std::ios::binary);
    const std::string file(std::istreambuf_iterator<char>(in), {});
    spng_ctx* png = spng_ctx_new(0);
    ASSERT_NE(png, nullptr);
    int status = spng_set_crc_action(png, SPNG_CRC_ERROR, SPNG_CRC_ERROR);
    if (status == 0)
      status = spng_set_png_buffer(png, file.data(), file.size());
    decltype(test.picture.rgb) back(test.picture.rgb.size());
    if (status == 0)
      status = spng_decode_image(png, back.data(), back.size(), SPNG_FMT_RGB8, 0);
    spng_ctx_free(png);
    EXPECT_EQ(status, 0) << test.name << ": " << spng_strerror(status);
    EXPECT_EQ(back, test.picture.rgb) << test.name;
  }
}

// A picture streamed while it renders, rows handed over in any steps, is the same file as
// the picture written whole; a stream never finished leaves no file at all.
TEST_F(PictureFiles, StreamedPicturesAreTheFilesWrittenWhole) {
  const Picture picture = Gradient(23, 11);
  const std::vector<std::vector<int>> steps = {{}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, {0, 4, 4, 2, 30}, {11}};
  auto bytes = [](const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  for (const char* format : {"png", "bmp", "jpg"}) {
    std::string error;
    const std::string whole = std::string("whole.") + format;
    ASSERT_TRUE(WritePicture(whole, picture, error)) << error;
    for (size_t k = 0; k < steps.size(); k++) {
      const std::string name = "streamed-" + std::to_string(k) + "." + format;
      PictureStream stream(picture);
      ASSERT_TRUE(stream.Open(name, error)) << error;
      for (int rows : steps[k])
        stream.Advance(rows);
      EXPECT_FALSE(fs::exists(name)) << name;  // not before it is finished
      ASSERT_TRUE(stream.Finish(error)) << error;
      EXPECT_EQ(bytes(name), bytes(whole)) << name;
    }
    {
      PictureStream abandoned(picture);
      ASSERT_TRUE(abandoned.Open(std::string("abandoned.") + format, error)) << error;
      abandoned.Advance(5);
    }
    EXPECT_FALSE(fs::exists(std::string("abandoned.") + format));
  }
  for (const auto& entry : fs::directory_iterator("."))
    EXPECT_EQ(entry.path().filename().string().rfind(".partial", 0), std::string::npos) << entry.path();
  PictureStream unopened(picture);
  std::string error;
  EXPECT_FALSE(unopened.Finish(error));
  EXPECT_FALSE(error.empty());
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

// Grey PNG height maps (libdeflate and our row filters, or libspng when interlaced) give
// the samples stb gives for the same file: 8 and 16 bits, every row filter, interlaced or
// not, odd sizes; a damaged checksum is let pass as stb lets it; a file cut short is
// refused, saying so.
TEST_F(PictureFiles, GreyPngHeightMapsReadAsStbReadsThem) {
  auto write = [](const std::string& path, int w, int h, int depth, bool interlaced, uint32_t seed, int filters) {
    spng_ctx* png = spng_ctx_new(SPNG_CTX_ENCODER);
    std::vector<unsigned char> file;
    spng_ihdr header{};
    header.width = static_cast<uint32_t>(w);
    header.height = static_cast<uint32_t>(h);
    header.bit_depth = static_cast<uint8_t>(depth);
    header.color_type = SPNG_COLOR_TYPE_GRAYSCALE;
    header.interlace_method = interlaced ? SPNG_INTERLACE_ADAM7 : SPNG_INTERLACE_NONE;
    // Smooth slopes with noise: the encoder picks a different filter row by row.
    std::vector<unsigned char> raw;
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++) {
        seed = seed * 1664525u + 1013904223u;
        const uint32_t value = (x * 977u + y * 331u + (seed >> 28)) % (depth == 16 ? 65536u : 256u);
        if (depth == 16)  // PNG samples are big-endian
          raw.push_back(static_cast<unsigned char>(value >> 8));
        raw.push_back(static_cast<unsigned char>(value));
      }
    int status = spng_set_ihdr(png, &header);
    if (status == 0)
      status = spng_set_option(png, SPNG_ENCODE_TO_BUFFER, 1);
    if (status == 0)
      status = spng_set_option(png, SPNG_FILTER_CHOICE, filters);
    if (status == 0)
      status = spng_encode_image(png, raw.data(), raw.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
    size_t size = 0;
    void* bytes = status == 0 ? spng_get_png_buffer(png, &size, &status) : nullptr;
    spng_ctx_free(png);
    EXPECT_EQ(status, 0) << path << ": " << spng_strerror(status);
    std::string data(static_cast<const char*>(bytes), size);
    std::free(bytes);
    std::ofstream(path, std::ios::binary) << data;
    return data;
  };
  // Every filter on every row, and the encoder's choice row by row (all).
  const int all = SPNG_FILTER_CHOICE_ALL;
  const struct {
    int w, h, depth;
    bool interlaced;
    int filters;
  } cases[] = {{1, 1, 8, false, all},
               {37, 23, 8, false, all},
               {64, 9, 8, true, all},
               {1, 1, 16, false, all},
               {29, 31, 16, false, all},
               {50, 7, 16, true, all},
               {3, 130, 16, false, all},
               {2, 5, 8, false, SPNG_FILTER_CHOICE_NONE},
               {33, 9, 8, false, SPNG_FILTER_CHOICE_SUB},
               {33, 9, 8, false, SPNG_FILTER_CHOICE_UP},
               {33, 9, 8, false, SPNG_FILTER_CHOICE_AVG},
               {33, 9, 8, false, SPNG_FILTER_CHOICE_PAETH},
               {1, 4, 16, false, SPNG_FILTER_CHOICE_PAETH},
               {31, 8, 16, false, SPNG_FILTER_CHOICE_SUB},
               {31, 8, 16, false, SPNG_FILTER_CHOICE_UP},
               {31, 8, 16, false, SPNG_FILTER_CHOICE_AVG},
               {31, 8, 16, false, SPNG_FILTER_CHOICE_PAETH}};
  for (const auto& c : cases) {
    const std::string name = std::to_string(c.w) + "x" + std::to_string(c.h) + "-" + std::to_string(c.depth) +
                             (c.interlaced ? "-interlaced" : "") + "-" + std::to_string(c.filters) + ".png";
    const std::string data =
        write(name, c.w, c.h, c.depth, c.interlaced, static_cast<uint32_t>(c.w * 7 + c.h), c.filters);
    const auto* bytes = reinterpret_cast<const stbi_uc*>(data.data());
    const int size = static_cast<int>(data.size());
    int w = 0, h = 0, channels = 0;
    void* samples = c.depth == 16 ? static_cast<void*>(stbi_load_16_from_memory(bytes, size, &w, &h, &channels, 1))
                                  : static_cast<void*>(stbi_load_from_memory(bytes, size, &w, &h, &channels, 1));
    ASSERT_NE(samples, nullptr) << name;
    decltype(HeightMap::samples) expected(static_cast<size_t>(w) * h);
    for (size_t i = 0; i < expected.size(); i++)
      expected[i] = c.depth == 16 ? static_cast<stbi_us*>(samples)[i] : static_cast<stbi_uc*>(samples)[i];
    stbi_image_free(samples);
    HeightMap map;
    std::string error;
    ASSERT_TRUE(ReadHeightMap(name, 8192, map, error)) << name << ": " << error;
    EXPECT_EQ(map.width, c.w) << name;
    EXPECT_EQ(map.height, c.h) << name;
    EXPECT_EQ(map.sixteenBit, c.depth == 16) << name;
    EXPECT_EQ(map.samples, expected) << name;

    std::string damaged = data;
    damaged[damaged.size() - 13] ^= 0x55;  // the last byte of the final IDAT's checksum
    HeightMap again;
    ASSERT_TRUE(DecodeHeightMap(reinterpret_cast<const unsigned char*>(damaged.data()), damaged.size(), name, 8192,
                                again, error))
        << error;
    EXPECT_EQ(again.samples, expected) << name;

    const std::string cut = data.substr(0, data.size() * 2 / 3);
    EXPECT_FALSE(
        DecodeHeightMap(reinterpret_cast<const unsigned char*>(cut.data()), cut.size(), name, 8192, again, error))
        << name;
    EXPECT_EQ(error, name + ": cannot read the height map: end of stream");
    EXPECT_TRUE(again.samples.empty()) << name;
  }
}

TEST_F(PictureFiles, HeightMapsKeepSixteenBitSamples) {
  const int w = 3, h = 2;
  uint16_t samples[w * h] = {0, 1000, 65535, 300, 40000, 7};
  HeightMap map;
  std::string error;
  WriteGrey16Png("map16.png", w, h, samples);
  ASSERT_TRUE(ReadHeightMap("map16.png", 8192, map, error)) << error;
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
  ASSERT_TRUE(ReadHeightMap("map16.pgm", 8192, map, error)) << error;
  EXPECT_TRUE(map.sixteenBit);
  ASSERT_EQ(map.samples.size(), 6u);
  for (int i = 0; i < w * h; i++)
    EXPECT_EQ(map.samples[i], samples[i]);

  const unsigned char grey[4] = {0, 64, 128, 255};
  ASSERT_TRUE(stbi_write_png("map8.png", 2, 2, 1, grey, 2));
  ASSERT_TRUE(ReadHeightMap("map8.png", 8192, map, error)) << error;
  EXPECT_FALSE(map.sixteenBit);
  EXPECT_EQ(map.samples[3], 255);

  EXPECT_FALSE(ReadHeightMap("missing.png", 8192, map, error));
  EXPECT_NE(error.find("missing.png"), std::string::npos);
  std::ofstream("broken.png") << "not a picture";
  EXPECT_FALSE(ReadHeightMap("broken.png", 8192, map, error));
  std::ofstream("short.pgm") << "P5\n4 4\n65535\nab";
  EXPECT_FALSE(ReadHeightMap("short.pgm", 8192, map, error));
  EXPECT_NE(error.find("truncated"), std::string::npos);
}

// Binary PNM of every kind is read here, sample for sample: 16-bit colour files made stb
// hand back 8-bit samples that were then read as 16-bit ones, past the end of its buffer.
TEST_F(PictureFiles, PnmHeightMapsOfEveryKindReadExactly) {
  auto be16 = [](std::initializer_list<unsigned> values) {
    std::string bytes;
    for (unsigned v : values)
      bytes += {static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)};
    return bytes;
  };
  const struct {
    std::string file;
    bool sixteenBit;
    decltype(HeightMap::samples) samples;  // 2 x 1
  } cases[] = {
      {"P5\n2 1\n255\n\x07\xff", false, {7, 255}},
      {"P5 2 1 65535 " + be16({1000, 65535}), true, {1000, 65535}},
      {"P5\n# scaled to 0..65535\n2 1\n1023\n" + be16({1023, 2000}), true, {65535, 65535}},
      {"P6\n2 1\n255\n\x0a\x14\x1e\xff\xff\xff", false, {(10 * 77 + 20 * 150 + 30 * 29) >> 8, 255}},
      {"P6\n2 1\n65535\n" + be16({60000, 50000, 40000, 0, 0, 65535}),
       true,
       {(60000 * 77 + 50000 * 150 + 40000 * 29) >> 8, (65535 * 29) >> 8}},
  };
  for (const auto& c : cases) {
    std::ofstream("map.pnm", std::ios::binary) << c.file;
    HeightMap map;
    std::string error;
    ASSERT_TRUE(ReadHeightMap("map.pnm", 8192, map, error)) << c.file << ": " << error;
    EXPECT_EQ(map.width, 2);
    EXPECT_EQ(map.height, 1);
    EXPECT_EQ(map.sixteenBit, c.sixteenBit) << c.file;
    EXPECT_EQ(map.samples, c.samples) << c.file;
  }
  // A 16-bit colour file of 2000 x 2000: every sample from the file.
  {
    std::ofstream big("big.ppm", std::ios::binary);
    big << "P6\n2000 2000\n65535\n";
    const std::string pixel = be16({256, 256, 256});
    for (int i = 0; i < 2000 * 2000; i++)
      big << pixel;
  }
  HeightMap map;
  std::string error;
  ASSERT_TRUE(ReadHeightMap("big.ppm", 8192, map, error)) << error;
  EXPECT_EQ(map.samples.size(), 2000u * 2000u);
  EXPECT_EQ(map.samples.back(), 256);
}

// Headers are believed only as far as the data goes, and sizes beyond the limit are
// refused from the header, before anything is allocated or decoded.
TEST_F(PictureFiles, HeightMapHeadersThatClaimTooMuchAreRefusedFirst) {
  std::ofstream("claims.pgm", std::ios::binary) << "P5\n20000 20000\n255\n";
  std::ofstream("short16.ppm", std::ios::binary) << "P6\n2 2\n65535\nabcdef";
  std::ofstream("bad.pgm", std::ios::binary) << "P5\n2 x\n255\nab";
  std::ofstream("zero.pgm", std::ios::binary) << "P5\n0 2\n255\n";
  {
    // A PNG whose header claims 32768 x 32768 grey pixels, with hardly any data.
    std::ofstream bomb("bomb.png", std::ios::binary);
    bomb.write("\x89PNG\r\n\x1a\n", 8);
    Chunk(bomb, "IHDR", {0, 0, 0x80, 0, 0, 0, 0x80, 0, 8, 0, 0, 0, 0});
    const unsigned char zeros[64] = {};
    int size = 0;
    unsigned char* z = stbi_zlib_compress(const_cast<unsigned char*>(zeros), 64, &size, 8);
    Chunk(bomb, "IDAT", std::vector<unsigned char>(z, z + size));
    Chunk(bomb, "IEND", {});
    std::free(z);
  }
  // A 24-bit BMP; a negative height means rows top down.
  auto bmp = [](const char* name, int32_t width, int32_t height, const std::string& rows) {
    std::string header(54, '\0');
    auto put = [&](int at, uint32_t v) {
      for (int i = 0; i < 4; i++)
        header[at + i] = static_cast<char>(v >> (8 * i));
    };
    header[0] = 'B', header[1] = 'M';
    put(2, static_cast<uint32_t>(54 + rows.size()));
    put(10, 54);
    put(14, 40);
    put(18, static_cast<uint32_t>(width));
    put(22, static_cast<uint32_t>(height));
    header[26] = 1, header[28] = 24;
    std::ofstream(name, std::ios::binary) << header << rows;
  };
  bmp("topdown.bmp", 512, -327680, "");  // took 500 MB and seconds before it was refused
  bmp("grey.bmp", 1, -2, std::string("\x0a\x0a\x0a\0\xc8\xc8\xc8\0", 8));
  HeightMap grey;
  std::string greyError;
  ASSERT_TRUE(ReadHeightMap("grey.bmp", 8192, grey, greyError)) << greyError;
  EXPECT_EQ(grey.samples, (decltype(HeightMap::samples){10, 200}));  // the top row first

  const struct {
    const char* file;
    const char* message;
  } cases[] = {
      {"claims.pgm", "20000 x 20000 pixels, larger than 8192 x 8192"},
      {"bomb.png", "32768 x 32768 pixels, larger than 8192 x 8192"},
      {"topdown.bmp", "512 x 327680 pixels, larger than 8192 x 8192"},
      {"short16.ppm", "truncated"},
      {"bad.pgm", "broken PNM header"},
      {"zero.pgm", "unsupported PNM header"},
  };
  for (const auto& c : cases) {
    HeightMap map;
    std::string error;
    EXPECT_FALSE(ReadHeightMap(c.file, 8192, map, error)) << c.file;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.file << ": " << error;
    EXPECT_TRUE(map.samples.empty()) << c.file;
  }
}

// Outputs that cannot work are known before rendering.
TEST_F(PictureFiles, OutputsAreCheckedBeforeRendering) {
  std::ofstream("file.txt") << "a file";
  fs::create_directories("folder.png");
  const struct {
    const char* path;
    int width, height;
    const char* message;  // null: accepted
  } cases[] = {
      {"a.png", 640, 480, nullptr},
      {"new/deeper/a.JPG", 640, 480, nullptr},
      {"a.bmp", 32768, 32768, nullptr},
      {"a.tiff", 640, 480, "unknown picture format"},
      {"noextension", 640, 480, "unknown picture format"},
      {"folder.png", 640, 480, "is a folder"},
      {"file.txt/a.png", 640, 480, "file.txt is a file, not a folder"},
      {"file.txt/deeper/a.png", 640, 480, "file.txt is a file, not a folder"},
      {"/nonexistent-orvelle/a.png", 640, 480, "does not exist"},
      {"a.bmp", 40000, 40000, "does not fit in a BMP file"},
      {"a.jpg", 70000, 100, "JPEG pictures are at most 65500"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_EQ(CheckPictureOutput(c.path, c.width, c.height, error), c.message == nullptr) << c.path << ": " << error;
    if (c.message) {
      EXPECT_NE(error.find(c.message), std::string::npos) << c.path << ": " << error;
    }
  }
  EXPECT_FALSE(fs::exists("new"));  // checking creates nothing
}

// A full disk (here a file-size limit) while writing: every format reports it, nothing
// appears under the final name, no temporary file stays, and an older picture survives.
TEST_F(PictureFiles, AFullDiskFailsTheWriteAndKeepsTheOldPicture) {
  std::string error;
  const Picture big = Gradient(300, 200);
  ASSERT_TRUE(WritePicture("old.bmp", Gradient(4, 4), error)) << error;
  struct rlimit previousLimit {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previousLimit), 0);
  void (*previousHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = previousLimit;
  small.rlim_cur = 256;  // smaller than any of the three files
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool results[3] = {WritePicture("old.bmp", big, error), WritePicture("a.png", big, error),
                           WritePicture("a.jpg", big, error)};
  const std::string lastError = error;
  setrlimit(RLIMIT_FSIZE, &previousLimit);
  std::signal(SIGXFSZ, previousHandler);
  for (bool written : results)
    EXPECT_FALSE(written);
  EXPECT_NE(lastError.find("a.jpg: cannot write"), std::string::npos) << lastError;
  EXPECT_NE(lastError.find(std::strerror(EFBIG)), std::string::npos) << lastError;
  Picture back;
  ASSERT_TRUE(ReadPicture("old.bmp", back, error)) << error;
  EXPECT_EQ(back.width, 4);
  for (const auto& entry : fs::directory_iterator("."))
    EXPECT_EQ(entry.path().filename(), "old.bmp");
}

// Temporary names stay short whatever the picture's name, and those left by killed
// processes are removed when the same picture is written again.
TEST_F(PictureFiles, LongNamesWorkAndStaleTemporariesAreRemoved) {
  const std::string longName = std::string(251, 'n') + ".png";  // 255 bytes, the most a name may have
  std::string error;
  ASSERT_TRUE(WritePicture(longName, Gradient(4, 4), error)) << error;
  EXPECT_TRUE(fs::exists(longName));

  const std::string temporary = TemporaryPathFor("a.png");
  const std::string stem = temporary.substr(0, temporary.rfind('-') + 1);
  const std::string dead = stem + "999999999", alive = stem + std::to_string(getppid());
  std::ofstream(dead) << "left by a killed render";
  std::ofstream(alive) << "being written by a running one";
  ASSERT_TRUE(WritePicture("a.png", Gradient(4, 4), error)) << error;
  EXPECT_FALSE(fs::exists(dead));
  EXPECT_TRUE(fs::exists(alive));
}

}  // namespace
