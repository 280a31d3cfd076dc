#include "host/picture_file.h"

#include <jpeglib.h>
#include <libdeflate.h>
#include <spng.h>
#include <stb_image.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "host/file_reading.h"
#include "host/png_encoder.h"
#include "host/png_filter.h"
#include "host/safe_file.h"

namespace fs = std::filesystem;

namespace {

std::string Lowered(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Size(int width, int height) { return std::to_string(width) + " x " + std::to_string(height); }

// JPEG quality of written pictures.
constexpr int JpegQuality = 95;

// BMP: a 54-byte header, then rows from the bottom up in blue, green, red, each padded to
// a multiple of 4 bytes. The header keeps the file size in 32 bits.
constexpr uint64_t BmpHeaderBytes = 54;
uint64_t BmpRowBytes(int width) { return (static_cast<uint64_t>(width) * 3 + 3) & ~uint64_t{3}; }
uint64_t BmpFileBytes(int width, int height) {
  return BmpHeaderBytes + BmpRowBytes(width) * static_cast<uint64_t>(height);
}

void Put16(unsigned char* at, uint32_t value) {
  at[0] = static_cast<unsigned char>(value);
  at[1] = static_cast<unsigned char>(value >> 8);
}
void Put32(unsigned char* at, uint32_t value) {
  Put16(at, value);
  Put16(at + 2, value >> 16);
}

bool WriteBmp(SafeFile& file, const Picture& picture) {
  unsigned char header[BmpHeaderBytes] = {'B', 'M'};
  Put32(header + 2, static_cast<uint32_t>(BmpFileBytes(picture.width, picture.height)));
  Put32(header + 10, BmpHeaderBytes);
  Put32(header + 14, 40);
  Put32(header + 18, static_cast<uint32_t>(picture.width));
  Put32(header + 22, static_cast<uint32_t>(picture.height));
  Put16(header + 26, 1);
  Put16(header + 28, 24);
  Put32(header + 34, static_cast<uint32_t>(BmpRowBytes(picture.width) * static_cast<uint64_t>(picture.height)));
  if (!file.Write(header, sizeof header))
    return false;
  std::vector<unsigned char> row(BmpRowBytes(picture.width), 0);
  for (int y = picture.height - 1; y >= 0; y--) {
    const uint8_t* source = picture.Pixel(0, y);
    for (size_t i = 0; i < picture.RowBytes(); i += 3) {
      row[i] = source[i + 2];
      row[i + 1] = source[i + 1];
      row[i + 2] = source[i];
    }
    if (!file.Write(row.data(), row.size()))
      return false;
  }
  return true;
}

struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void JpegFailure(j_common_ptr jpeg) {
  JpegErrors* errors = reinterpret_cast<JpegErrors*>(jpeg->err);
  (*jpeg->err->format_message)(jpeg, errors->message);
  std::longjmp(errors->jump, 1);
}

struct JpegOutput {
  jpeg_destination_mgr manager;
  SafeFile* file;
  unsigned char buffer[1 << 16];
};

void JpegStart(j_compress_ptr jpeg) {
  JpegOutput* out = reinterpret_cast<JpegOutput*>(jpeg->dest);
  out->manager.next_output_byte = out->buffer;
  out->manager.free_in_buffer = sizeof out->buffer;
}

boolean JpegFull(j_compress_ptr jpeg) {
  JpegOutput* out = reinterpret_cast<JpegOutput*>(jpeg->dest);
  out->file->Write(out->buffer, sizeof out->buffer);  // a failure shows at Commit
  JpegStart(jpeg);
  return TRUE;
}

void JpegEnd(j_compress_ptr jpeg) {
  JpegOutput* out = reinterpret_cast<JpegOutput*>(jpeg->dest);
  out->file->Write(out->buffer, sizeof out->buffer - out->manager.free_in_buffer);
}

// JPEG, compressed scan line by scan line into the file.
bool WriteJpeg(SafeFile& file, const Picture& picture, std::string& reason) {
  jpeg_compress_struct jpeg{};
  JpegErrors errors{};
  JpegOutput output{};
  jpeg.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = JpegFailure;
  if (setjmp(errors.jump)) {
    jpeg_destroy_compress(&jpeg);
    reason = errors.message;
    return false;
  }
  jpeg_create_compress(&jpeg);
  output.file = &file;
  output.manager.init_destination = JpegStart;
  output.manager.empty_output_buffer = JpegFull;
  output.manager.term_destination = JpegEnd;
  jpeg.dest = &output.manager;
  jpeg.image_width = static_cast<JDIMENSION>(picture.width);
  jpeg.image_height = static_cast<JDIMENSION>(picture.height);
  jpeg.input_components = 3;
  jpeg.in_color_space = JCS_RGB;
  jpeg_set_defaults(&jpeg);
  jpeg_set_quality(&jpeg, JpegQuality, TRUE);
  // Colour at full resolution: at this quality, halving it would show more than it saves.
  for (int c = 0; c < jpeg.num_components; c++)
    jpeg.comp_info[c].h_samp_factor = jpeg.comp_info[c].v_samp_factor = 1;
  jpeg_start_compress(&jpeg, TRUE);
  while (jpeg.next_scanline < jpeg.image_height) {
    JSAMPROW row = const_cast<uint8_t*>(picture.Pixel(0, static_cast<int>(jpeg.next_scanline)));
    jpeg_write_scanlines(&jpeg, &row, 1);
  }
  jpeg_finish_compress(&jpeg);
  jpeg_destroy_compress(&jpeg);
  return true;
}

// Binary PNM (P5 grey, P6 colour), read here rather than by stb, which reads samples
// above 8 bits in the wrong byte order and returns 8-bit samples for 16-bit colour files.
struct PnmHeader {
  int channels = 1;
  long width = 0, height = 0, maxValue = 0;
  size_t dataOffset = 0;
};

// False when the bytes are not a binary PNM at all; `error` is set when they are one
// whose header is broken.
bool ParsePnmHeader(const unsigned char* data, size_t size, PnmHeader& header, std::string& error) {
  if (size < 2 || data[0] != 'P' || (data[1] != '5' && data[1] != '6'))
    return false;
  header.channels = data[1] == '6' ? 3 : 1;
  size_t at = 2;
  auto number = [&](long& value) {
    while (at < size && (data[at] == '#' || std::isspace(data[at]))) {
      if (data[at] == '#')
        while (at < size && data[at] != '\n')
          at++;
      else
        at++;
    }
    if (at >= size || !std::isdigit(data[at]))
      return false;
    value = 0;
    while (at < size && std::isdigit(data[at])) {
      if (value > 100000000)
        return false;
      value = value * 10 + (data[at++] - '0');
    }
    return at < size && std::isspace(data[at]);  // one white-space character ends each number
  };
  if (!number(header.width) || !number(header.height) || !number(header.maxValue)) {
    error = "broken PNM header";
    return true;
  }
  header.dataOffset = at + 1;
  if (header.width < 1 || header.height < 1 || header.maxValue < 1 || header.maxValue > 65535)
    error = "unsupported PNM header (" + std::to_string(header.width) + " x " + std::to_string(header.height) +
            ", largest sample " + std::to_string(header.maxValue) + ")";
  return true;
}

bool DecodePnm(const unsigned char* data, size_t size, const PnmHeader& header, int maxSide, HeightMap& map,
               std::string& error) {
  if (header.width > maxSide || header.height > maxSide) {
    error = Size(static_cast<int>(std::min<long>(header.width, INT_MAX)),
                 static_cast<int>(std::min<long>(header.height, INT_MAX))) +
            " pixels, larger than " + Size(maxSide, maxSide);
    return false;
  }
  const bool wide = header.maxValue > 255;
  const size_t pixels = static_cast<size_t>(header.width) * static_cast<size_t>(header.height);
  const size_t sampleBytes = (wide ? 2 : 1) * static_cast<size_t>(header.channels);
  if (size - header.dataOffset < pixels * sampleBytes) {
    error = "the height map is truncated";
    return false;
  }
  map.width = static_cast<int>(header.width);
  map.height = static_cast<int>(header.height);
  map.sixteenBit = wide;
  map.samples.resize(pixels);
  const unsigned char* p = data + header.dataOffset;
  auto sample = [&]() -> uint32_t {
    if (!wide)
      return *p++;
    const uint32_t raw = std::min<uint32_t>((p[0] << 8) | p[1], static_cast<uint32_t>(header.maxValue));
    p += 2;
    return raw * 65535u / static_cast<uint32_t>(header.maxValue);
  };
  for (size_t i = 0; i < pixels; i++) {
    if (header.channels == 1) {
      map.samples[i] = static_cast<uint16_t>(sample());
    } else {
      // stb's luminance of colour pictures, so that formats agree.
      const uint32_t r = sample(), g = sample(), b = sample();
      map.samples[i] = static_cast<uint16_t>((r * 77 + g * 150 + b * 29) >> 8);
    }
  }
  return true;
}

}  // namespace

PictureFormat FormatOfPath(const std::string& path) {
  const std::string extension = Lowered(fs::path(path).extension().string());
  if (extension == ".bmp")
    return PictureFormat::Bmp;
  if (extension == ".png")
    return PictureFormat::Png;
  if (extension == ".jpg" || extension == ".jpeg")
    return PictureFormat::Jpeg;
  return PictureFormat::Unknown;
}

bool CheckPictureOutput(const std::string& path, int width, int height, std::string& error) {
  const PictureFormat format = FormatOfPath(path);
  if (format == PictureFormat::Unknown) {
    error = path + ": unknown picture format (use .bmp, .png or .jpg)";
    return false;
  }
  if (width < 1 || height < 1) {
    error = path + ": empty picture";
    return false;
  }
  if (format == PictureFormat::Bmp && BmpFileBytes(width, height) > UINT32_MAX) {
    error = path + ": a " + Size(width, height) + " picture does not fit in a BMP file (at most 4 GiB); use .png";
    return false;
  }
  if (format == PictureFormat::Jpeg && (width > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION)) {
    error = path + ": JPEG pictures are at most " + std::to_string(JPEG_MAX_DIMENSION) + " pixels on a side; use .png";
    return false;
  }
  return CheckOutputPlace(path, error);
}

PictureStream::PictureStream(const Picture& picture) : picture(picture) {}

PictureStream::~PictureStream() = default;

bool PictureStream::Open(const std::string& path, std::string& error) {
  if (picture.width < 1 || picture.height < 1 ||
      picture.rgb.size() != static_cast<size_t>(picture.width) * picture.height * 3) {
    error = path + ": empty picture";
    return false;
  }
  if (!CheckPictureOutput(path, picture.width, picture.height, error))
    return false;
  if (!MakeOutputFolder(path, error))
    return false;
  RemoveStaleTemporaries(path);
  file = std::make_unique<SafeFile>();
  if (!file->Open(path, error)) {
    file.reset();
    error = "cannot write the picture: " + error;
    return false;
  }
  this->path = path;
  // PNG is encoded row by row into the file as rows are handed over: no second copy of the
  // picture in memory, and a picture being rendered is encoded while its later rows are.
  if (FormatOfPath(path) == PictureFormat::Png) {
    SafeFile* output = file.get();
    png = std::make_unique<PngEncoder>(picture.width, picture.height,
                                       [output](const void* data, size_t size) { return output->Write(data, size); });
  }
  return true;
}

void PictureStream::Advance(int rows) {
  if (!png)
    return;
  rows = std::min(rows, picture.height);
  for (; encoded < rows; encoded++)
    if (!png->Row(picture.Pixel(0, encoded)))
      break;
}

bool PictureStream::Finish(std::string& error) {
  if (!file) {
    error = "cannot write the picture: it was not opened";
    return false;
  }
  std::string reason;
  bool encoded = true;
  switch (FormatOfPath(path)) {
    case PictureFormat::Bmp:
      WriteBmp(*file, picture);
      break;
    case PictureFormat::Png:
      Advance(picture.height);
      encoded = this->encoded == picture.height;
      if (!encoded)
        reason = png->Reason();
      png.reset();
      break;
    case PictureFormat::Jpeg:
      encoded = WriteJpeg(*file, picture, reason);
      break;
    case PictureFormat::Unknown:
      break;
  }
  // A failed write is reported with its own reason (a full disk) rather than the
  // encoder's; either way the temporary file goes and nothing takes the final name.
  if (!encoded && !file->Failed()) {
    error = path + ": cannot write the picture: " + reason;
    file.reset();
    return false;
  }
  const bool committed = file->Commit(error);
  file.reset();
  if (!committed) {
    error = "cannot write the picture: " + error;
    return false;
  }
  return true;
}

bool WritePicture(const std::string& path, const Picture& picture, std::string& error) {
  PictureStream stream(picture);
  return stream.Open(path, error) && stream.Finish(error);
}

// The size a picture's header claims, read before anything is decoded: a small file may claim
// a huge picture. stb gives a top-down BMP's height as negative; it has that many rows all the
// same, so the limit applies to the magnitude. False with `reason` set.
bool HeaderSize(const stbi_uc* data, int size, int maxSide, int& width, int& height, std::string& reason) {
  int channels = 0;
  if (!stbi_info_from_memory(data, size, &width, &height, &channels)) {
    reason = stbi_failure_reason();
    return false;
  }
  const long long columns = std::llabs(width), rows = std::llabs(height);
  if (columns > maxSide || rows > maxSide) {
    reason = std::to_string(columns) + " x " + std::to_string(rows) + " pixels, larger than " + Size(maxSide, maxSide);
    return false;
  }
  width = static_cast<int>(columns);
  height = static_cast<int>(rows);
  return true;
}

bool ReadPicture(const std::string& path, Picture& picture, std::string& error) {
  PictureSamples samples;
  if (!ReadPictureSamples(path, 3, samples, error)) {
    error = path + ": cannot read the picture: " + error;
    return false;
  }
  picture = Picture(samples.width, samples.height);
  std::copy(samples.samples.begin(), samples.samples.end(), picture.rgb.begin());
  return true;
}

bool ReadPictureSamples(const std::string& path, int channels, PictureSamples& picture, std::string& error) {
  std::string bytes;
  if (!ReadWholeFile(path, INT_MAX, bytes, error))
    return false;
  const stbi_uc* data = reinterpret_cast<const stbi_uc*>(bytes.data());
  const int size = static_cast<int>(bytes.size());
  int width = 0, height = 0, inFile = 0;
  if (!HeaderSize(data, size, MaxReadPictureSide, width, height, error))
    return false;
  unsigned char* pixels = stbi_load_from_memory(data, size, &width, &height, &inFile, channels);
  if (!pixels) {
    error = stbi_failure_reason();
    return false;
  }
  picture.width = width;
  picture.height = height;
  picture.channels = channels;
  picture.samples.assign(pixels, pixels + static_cast<size_t>(width) * height * channels);
  stbi_image_free(pixels);
  return true;
}

Picture CanvasPicture(HDC dc) {
  if (!dc)
    return Picture();
  Picture picture(CanvasWidth(dc), CanvasHeight(dc));
  std::copy(CanvasPixels(dc), CanvasPixels(dc) + picture.rgb.size(), picture.rgb.begin());
  return picture;
}

namespace {

// A grey PNG of 8 or 16 bits per sample, the usual height map, by its header.
bool IsGreyPng(const unsigned char* data, size_t size) {
  static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  return size >= 33 && std::memcmp(data, signature, 8) == 0 && std::memcmp(data + 12, "IHDR", 4) == 0 &&
         (data[24] == 8 || data[24] == 16) && data[25] == 0;
}

uint32_t BigEndian32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
         p[3];
}

// Undoes one row's filter in place: `row` holds its bytes after the filter type, `prior`
// the row above already unfiltered (zeros above the first), Step the bytes per pixel.
template <size_t Step>
bool Unfilter(unsigned char type, unsigned char* row, const unsigned char* prior, size_t bytes) {
  const size_t first = std::min(Step, bytes);  // the first pixel has nothing on its left
  switch (type) {
    case 0:
      return true;
    case 1:
      for (size_t i = Step; i < bytes; i++)
        row[i] = static_cast<unsigned char>(row[i] + row[i - Step]);
      return true;
    case 2:
      for (size_t i = 0; i < bytes; i++)
        row[i] = static_cast<unsigned char>(row[i] + prior[i]);
      return true;
    case 3:
      for (size_t i = 0; i < first; i++)
        row[i] = static_cast<unsigned char>(row[i] + (prior[i] >> 1));
      for (size_t i = Step; i < bytes; i++)
        row[i] = static_cast<unsigned char>(row[i] + ((row[i - Step] + prior[i]) >> 1));
      return true;
    case 4:
      for (size_t i = 0; i < first; i++)  // a and c are 0: the predictor is b
        row[i] = static_cast<unsigned char>(row[i] + prior[i]);
      for (size_t i = Step; i < bytes; i++)
        row[i] = static_cast<unsigned char>(row[i] + PaethPredictor(row[i - Step], prior[i], prior[i - Step]));
      return true;
    default:
      return false;
  }
}

// Decodes the usual height map, a grey PNG that is not interlaced, without libspng: its
// image data inflated at once by libdeflate, then unfiltered row by row. Two thirds of
// the time libspng takes (10 ms against 14.5 for the comparison scene's 1025 x 1025 x 16
// bits), and every height map is decoded before anything renders. Checksums are not held against
// the file, as libspng is told. False, with nothing decoded, for any other kind of file or
// for one that is not quite right: libspng then decodes it or says what is wrong.
bool DecodePlainGreyPng(const unsigned char* data, size_t size, int width, int height, HeightMap& map) {
  // The header (IsGreyPng: grey, 8 or 16 bits): 13 bytes, the one compression and filter
  // method, no interlacing.
  if (BigEndian32(data + 8) != 13 || data[26] != 0 || data[27] != 0 || data[28] != 0)
    return false;
  const bool sixteenBit = data[24] == 16;
  const size_t step = sixteenBit ? 2 : 1;
  const size_t rowBytes = static_cast<size_t>(width) * step;
  // The image data: the IDAT chunks, one after the other, before IEND. Another critical
  // chunk is left to libspng.
  size_t compressedBytes = 0, firstData = 0, dataEnd = 0;
  for (size_t at = 33;;) {
    if (size - at < 12)
      return false;
    const uint32_t length = BigEndian32(data + at);
    if (length > size - at - 12)
      return false;
    const unsigned char* type = data + at + 4;
    if (std::memcmp(type, "IDAT", 4) == 0) {
      if (dataEnd)
        return false;
      if (!firstData)
        firstData = at;
      compressedBytes += length;
    } else {
      if (firstData && !dataEnd)
        dataEnd = at;
      if (std::memcmp(type, "IEND", 4) == 0)
        break;
      if (!(type[0] & 0x20))  // critical
        return false;
    }
    at += 12 + static_cast<size_t>(length);
  }
  LargeBuffer compressed(compressedBytes);
  const size_t filteredBytes = static_cast<size_t>(height) * (rowBytes + 1);
  LargeBuffer filtered(filteredBytes);
  if (!compressedBytes || !compressed.data || !filtered.data)
    return false;
  for (size_t at = firstData, done = 0; at < dataEnd;) {
    const uint32_t length = BigEndian32(data + at);
    std::memcpy(compressed.data + done, data + at + 8, length);
    done += length;
    at += 12 + static_cast<size_t>(length);
  }
  libdeflate_decompressor* inflater = libdeflate_alloc_decompressor();
  if (!inflater)
    return false;
  // Exactly the image's bytes, or nothing.
  const libdeflate_result result =
      libdeflate_zlib_decompress(inflater, compressed.data, compressedBytes, filtered.data, filteredBytes, nullptr);
  libdeflate_free_decompressor(inflater);
  if (result != LIBDEFLATE_SUCCESS)
    return false;
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  map.samples.resize(count);
  std::vector<unsigned char> zeros(rowBytes, 0);
  const unsigned char* prior = zeros.data();
  for (int y = 0; y < height; y++) {
    unsigned char* row = filtered.data + static_cast<size_t>(y) * (rowBytes + 1);
    if (!(sixteenBit ? Unfilter<2>(row[0], row + 1, prior, rowBytes) : Unfilter<1>(row[0], row + 1, prior, rowBytes))) {
      map = HeightMap();
      return false;
    }
    uint16_t* samples = map.samples.data() + static_cast<size_t>(y) * width;
    const unsigned char* bytes = row + 1;
    if (sixteenBit)
      for (int x = 0; x < width; x++)
        samples[x] = static_cast<uint16_t>(bytes[2 * x] << 8 | bytes[2 * x + 1]);
    else
      for (int x = 0; x < width; x++)
        samples[x] = bytes[x];
    prior = bytes;
  }
  map.width = width;
  map.height = height;
  map.sixteenBit = sixteenBit;
  return true;
}

// Decodes a grey PNG whose header gave `width` x `height` with libspng, straight into the
// samples: half the time stb takes on a large height map, which is read before anything
// renders. The samples are the ones stb gives; like stb, checksums are not held against
// the file.
bool DecodeGreyPng(const unsigned char* data, size_t size, int width, int height, HeightMap& map, std::string& reason) {
  spng_ctx* png = spng_ctx_new(0);
  if (!png) {
    reason = "out of memory";
    return false;
  }
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  spng_ihdr header{};
  size_t bytes = 0;
  int status = spng_set_crc_action(png, SPNG_CRC_USE, SPNG_CRC_USE);
  if (status == 0)
    status = spng_set_png_buffer(png, data, size);
  if (status == 0)
    status = spng_get_ihdr(png, &header);
  if (status == 0)
    status = spng_decoded_image_size(png, SPNG_FMT_PNG, &bytes);
  const bool sixteenBit = header.bit_depth == 16;
  if (status == 0 && (header.width != static_cast<uint32_t>(width) || header.height != static_cast<uint32_t>(height) ||
                      header.color_type != SPNG_COLOR_TYPE_GRAYSCALE || bytes != count * (sixteenBit ? 2 : 1))) {
    spng_ctx_free(png);
    reason = "its header changed while decoding";
    return false;
  }
  if (status == 0) {
    map.samples.resize(count);
    // 16-bit samples arrive in the machine's byte order; 8-bit ones fill the first bytes
    // and are widened in place from the end, where no sample overwrites one still unread.
    status = spng_decode_image(png, map.samples.data(), bytes, SPNG_FMT_PNG, 0);
  }
  spng_ctx_free(png);
  if (status != 0) {
    reason = status == SPNG_EMEM ? "out of memory" : spng_strerror(status);
    map = HeightMap();
    return false;
  }
  if (!sixteenBit) {
    const unsigned char* narrow = reinterpret_cast<const unsigned char*>(map.samples.data());
    for (size_t i = count; i-- > 0;)
      map.samples[i] = narrow[i];
  }
  map.width = width;
  map.height = height;
  map.sixteenBit = sixteenBit;
  return true;
}

}  // namespace

bool DecodeHeightMap(const unsigned char* data, size_t size, const std::string& name, int maxSide, HeightMap& map,
                     std::string& error) {
  map = HeightMap();
  PnmHeader pnm;
  std::string reason;
  if (ParsePnmHeader(data, size, pnm, reason)) {
    if (reason.empty() && DecodePnm(data, size, pnm, maxSide, map, reason))
      return true;
    error = name + ": " + reason;
    map = HeightMap();
    return false;
  }
  if (size > INT_MAX) {
    error = name + ": the file is too large";
    return false;
  }
  // The header first: a small file may claim a huge picture.
  const int bytes = static_cast<int>(size);
  int width = 0, height = 0, channels = 0;
  if (!HeaderSize(data, bytes, maxSide, width, height, reason)) {
    error = name + ": cannot read the height map: " + reason;
    return false;
  }
  if (IsGreyPng(data, size)) {
    if (DecodePlainGreyPng(data, size, width, height, map) || DecodeGreyPng(data, size, width, height, map, reason))
      return true;
    error = name + ": cannot read the height map: " + reason;
    return false;
  }
  const bool sixteenBit = stbi_is_16_bit_from_memory(data, bytes) != 0;
  int w = 0, h = 0;
  // One grey channel: stb turns colour pictures into their luminance.
  void* samples = sixteenBit ? static_cast<void*>(stbi_load_16_from_memory(data, bytes, &w, &h, &channels, 1))
                             : static_cast<void*>(stbi_load_from_memory(data, bytes, &w, &h, &channels, 1));
  if (!samples) {
    error = name + ": cannot read the height map: " + stbi_failure_reason();
    return false;
  }
  // The buffer holds w x h samples: never index it by the header's size.
  if (w != width || h != height || w < 1 || h < 1) {
    stbi_image_free(samples);
    error = name + ": cannot read the height map: its size changed while decoding";
    return false;
  }
  map.width = w;
  map.height = h;
  map.sixteenBit = sixteenBit;
  map.samples.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
  for (size_t i = 0; i < map.samples.size(); i++)
    map.samples[i] = sixteenBit ? static_cast<uint16_t*>(samples)[i] : static_cast<unsigned char*>(samples)[i];
  stbi_image_free(samples);
  return true;
}

bool ReadHeightMap(const std::string& path, int maxSide, HeightMap& map, std::string& error) {
  LargeFileBytes bytes;
  if (!ReadWholeFile(path, MaxHeightMapFileBytes, bytes, error)) {
    error = path + ": " + error;
    return false;
  }
  return DecodeHeightMap(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), path, maxSide, map, error);
}
