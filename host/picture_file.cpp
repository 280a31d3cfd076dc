#include "host/picture_file.h"

#include <stb_image.h>
#include <stb_image_write.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::string Lowered(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// JPEG quality of written pictures.
constexpr int JpegQuality = 95;

bool WriteFormat(PictureFormat format, const std::string& path, const Picture& picture) {
  const int stride = picture.width * 3;
  switch (format) {
    case PictureFormat::Bmp:
      return stbi_write_bmp(path.c_str(), picture.width, picture.height, 3, picture.rgb.data()) != 0;
    case PictureFormat::Png:
      return stbi_write_png(path.c_str(), picture.width, picture.height, 3, picture.rgb.data(), stride) != 0;
    case PictureFormat::Jpeg:
      return stbi_write_jpg(path.c_str(), picture.width, picture.height, 3, picture.rgb.data(), JpegQuality) != 0;
    case PictureFormat::Unknown:
      break;
  }
  return false;
}

// Binary grey PNM (P5) with more than 8 bits: stb reads its big-endian samples in the
// wrong byte order, so these files are read here. Returns false when the file is not
// such a picture (the caller then lets stb try); `error` is set when it is one but broken.
bool ReadWidePgm(const std::string& path, HeightMap& map, std::string& error) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file)
    return false;
  auto readNumber = [file](long& value) {
    int c = std::fgetc(file);
    while (c == '#' || std::isspace(c)) {
      if (c == '#')
        while (c != '\n' && c != EOF)
          c = std::fgetc(file);
      c = std::fgetc(file);
    }
    if (!std::isdigit(c))
      return false;
    value = 0;
    while (std::isdigit(c) && value < 1000000) {
      value = value * 10 + (c - '0');
      c = std::fgetc(file);
    }
    return std::isspace(c) != 0;  // exactly one white-space character ends the header's last number
  };
  char magic[2] = {};
  long width = 0, height = 0, maxValue = 0;
  bool wide = std::fread(magic, 1, 2, file) == 2 && magic[0] == 'P' && magic[1] == '5' && readNumber(width) &&
              readNumber(height) && readNumber(maxValue) && maxValue > 255;
  if (!wide) {
    std::fclose(file);
    return false;
  }
  if (width < 1 || height < 1 || maxValue > 65535 || width * height > 1L << 28) {
    std::fclose(file);
    error = path + ": unsupported PGM header";
    return true;
  }
  std::vector<unsigned char> bytes(static_cast<size_t>(width) * height * 2);
  const bool complete = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
  std::fclose(file);
  if (!complete) {
    error = path + ": the height map is truncated";
    return true;
  }
  map.width = static_cast<int>(width);
  map.height = static_cast<int>(height);
  map.sixteenBit = true;
  map.samples.resize(bytes.size() / 2);
  for (size_t i = 0; i < map.samples.size(); i++) {
    const long sample = std::min<long>((bytes[2 * i] << 8) | bytes[2 * i + 1], maxValue);
    map.samples[i] = static_cast<uint16_t>(sample * 65535 / maxValue);
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

bool WritePicture(const std::string& path, const Picture& picture, std::string& error) {
  const PictureFormat format = FormatOfPath(path);
  if (format == PictureFormat::Unknown) {
    error = path + ": unknown picture format (use .bmp, .png or .jpg)";
    return false;
  }
  if (picture.width < 1 || picture.height < 1 ||
      picture.rgb.size() != static_cast<size_t>(picture.width) * picture.height * 3) {
    error = path + ": empty picture";
    return false;
  }
  const fs::path target(path);
  const fs::path folder = target.parent_path();
  std::error_code ec;
  if (!folder.empty() && target.is_relative() && !fs::exists(folder, ec)) {
    fs::create_directories(folder, ec);
    if (ec) {
      error = folder.string() + ": cannot create the folder: " + ec.message();
      return false;
    }
  }
  // The temporary name keeps the extension, which some writers look at.
  const std::string temporary =
      (folder / (".partial-" + std::to_string(getpid()) + "-" + target.filename().string())).string();
  errno = 0;
  if (!WriteFormat(format, temporary, picture)) {
    const int code = errno;
    std::remove(temporary.c_str());
    error = path + ": cannot write the picture" + (code ? std::string(": ") + std::strerror(code) : std::string());
    return false;
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    const int code = errno;
    std::remove(temporary.c_str());
    error = path + ": cannot write the picture: " + std::strerror(code);
    return false;
  }
  return true;
}

bool ReadPicture(const std::string& path, Picture& picture, std::string& error) {
  int width = 0, height = 0, channels = 0;
  unsigned char* data = stbi_load(path.c_str(), &width, &height, &channels, 3);
  if (!data) {
    error = path + ": cannot read the picture: " + (fs::exists(path) ? stbi_failure_reason() : "no such file");
    return false;
  }
  picture = Picture(width, height);
  std::memcpy(picture.rgb.data(), data, picture.rgb.size());
  stbi_image_free(data);
  return true;
}

bool ReadPictureSamples(const std::string& path, int channels, PictureSamples& picture, std::string& error) {
  int width = 0, height = 0, inFile = 0;
  unsigned char* data = stbi_load(path.c_str(), &width, &height, &inFile, channels);
  if (!data) {
    error = fs::exists(path) ? stbi_failure_reason() : "no such file";
    return false;
  }
  picture.width = width;
  picture.height = height;
  picture.channels = channels;
  picture.samples.assign(data, data + static_cast<size_t>(width) * height * channels);
  stbi_image_free(data);
  return true;
}

bool ReadHeightMap(const std::string& path, HeightMap& map, std::string& error) {
  if (!fs::exists(path)) {
    error = path + ": no such height-map file";
    return false;
  }
  error.clear();
  if (ReadWidePgm(path, map, error))
    return error.empty();
  int width = 0, height = 0, channels = 0;
  const bool sixteenBit = stbi_is_16_bit(path.c_str()) != 0;
  // One grey channel: stb turns colour pictures into their luminance.
  void* data = sixteenBit ? static_cast<void*>(stbi_load_16(path.c_str(), &width, &height, &channels, 1))
                          : static_cast<void*>(stbi_load(path.c_str(), &width, &height, &channels, 1));
  if (!data) {
    error = path + ": cannot read the height map: " + stbi_failure_reason();
    return false;
  }
  map.width = width;
  map.height = height;
  map.sixteenBit = sixteenBit;
  map.samples.resize(static_cast<size_t>(width) * height);
  for (size_t i = 0; i < map.samples.size(); i++)
    map.samples[i] = sixteenBit ? static_cast<uint16_t*>(data)[i] : static_cast<unsigned char*>(data)[i];
  stbi_image_free(data);
  return true;
}

Picture CanvasPicture(HDC dc) {
  if (!dc)
    return Picture();
  Picture picture(CanvasWidth(dc), CanvasHeight(dc));
  std::copy(CanvasPixels(dc), CanvasPixels(dc) + picture.rgb.size(), picture.rgb.begin());
  return picture;
}
