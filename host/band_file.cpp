#include "host/band_file.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "host/command_line.h"
#include "host/safe_file.h"

namespace {

constexpr char Magic[8] = {'O', 'R', 'V', 'B', 'A', 'N', 'D', '1'};

#pragma pack(push, 1)
struct Header {
  char magic[8];
  uint64_t scene;
  uint32_t width;
  uint32_t height;
  int32_t quality;
  uint32_t firstRow;
  uint32_t rowCount;
};
#pragma pack(pop)
static_assert(sizeof(Header) == 36);

std::string Describe(const Band& band) {
  return std::to_string(band.width) + "x" + std::to_string(band.height) + " quality " + std::to_string(band.quality);
}

}  // namespace

bool ParseRowRange(const std::string& text, int& first, int& count) {
  int f = -1, c = -1;
  char colon = 0, extra = 0;
  if (std::sscanf(text.c_str(), "%d%c%d%c", &f, &colon, &c, &extra) != 3 || colon != ':')
    return false;
  if (f < 0 || c < 1 || f >= MaxPictureSide || c > MaxPictureSide)
    return false;
  first = f;
  count = c;
  return true;
}

Band CutBand(const Picture& picture, uint64_t scene, int quality, int first, int count) {
  Band band;
  band.scene = scene;
  band.width = picture.width;
  band.height = picture.height;
  band.quality = quality;
  band.firstRow = first;
  band.rowCount = count;
  const size_t rowBytes = static_cast<size_t>(picture.width) * 3;
  band.rgb.assign(picture.rgb.begin() + static_cast<std::ptrdiff_t>(first * rowBytes),
                  picture.rgb.begin() + static_cast<std::ptrdiff_t>((first + count) * rowBytes));
  return band;
}

bool SaveBand(const std::string& path, const Band& band, std::string& error) {
  if (!MakeOutputFolder(path, error))
    return false;
  RemoveStaleTemporaries(path);
  Header header;
  std::memcpy(header.magic, Magic, sizeof(Magic));
  header.scene = band.scene;
  header.width = static_cast<uint32_t>(band.width);
  header.height = static_cast<uint32_t>(band.height);
  header.quality = band.quality;
  header.firstRow = static_cast<uint32_t>(band.firstRow);
  header.rowCount = static_cast<uint32_t>(band.rowCount);
  SafeFile file;
  if (!file.Open(path, error)) {
    error = "cannot write the band: " + error;
    return false;
  }
  file.Write(&header, sizeof(header));
  file.Write(band.rgb.data(), band.rgb.size());
  if (!file.Commit(error)) {
    error = "cannot write the band: " + error;
    return false;
  }
  return true;
}

bool LoadBand(const std::string& path, Band& band, std::string& error) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    error = path + ": cannot read the band: " + std::strerror(errno);
    return false;
  }
  Header header;
  if (std::fread(&header, sizeof(header), 1, file) != 1 || std::memcmp(header.magic, Magic, sizeof(Magic)) != 0) {
    std::fclose(file);
    error = path + ": not a band file of this program";
    return false;
  }
  // Sizes are checked before anything is allocated from them.
  if (header.width < 1 || header.width > MaxPictureSide || header.height < 1 || header.height > MaxPictureSide ||
      header.rowCount < 1 || header.firstRow >= header.height || header.rowCount > header.height - header.firstRow ||
      header.quality < 0 || header.quality > 4) {
    std::fclose(file);
    error = path + ": the band's header is damaged";
    return false;
  }
  Band loaded;
  loaded.scene = header.scene;
  loaded.width = static_cast<int>(header.width);
  loaded.height = static_cast<int>(header.height);
  loaded.quality = header.quality;
  loaded.firstRow = static_cast<int>(header.firstRow);
  loaded.rowCount = static_cast<int>(header.rowCount);
  loaded.rgb.resize(static_cast<size_t>(loaded.width) * 3 * loaded.rowCount);
  const bool ok =
      std::fread(loaded.rgb.data(), 1, loaded.rgb.size(), file) == loaded.rgb.size() && std::fgetc(file) == EOF;
  std::fclose(file);
  if (!ok) {
    error = path + ": the band is damaged (wrong length)";
    return false;
  }
  band = std::move(loaded);
  return true;
}

bool MergeBands(const std::vector<Band>& bands, const std::vector<std::string>& names, Picture& picture,
                std::string& error) {
  if (bands.empty()) {
    error = "no bands to merge";
    return false;
  }
  const Band& reference = bands.front();
  for (size_t i = 1; i < bands.size(); i++) {
    const Band& band = bands[i];
    if (band.width != reference.width || band.height != reference.height || band.quality != reference.quality) {
      error = names[i] + ": a band of a " + Describe(band) + " picture, but " + names[0] + " is of a " +
              Describe(reference) + " picture";
      return false;
    }
    if (band.scene != reference.scene) {
      error = names[i] + ": a band of another landscape than " + names[0];
      return false;
    }
  }
  std::vector<int> owner(static_cast<size_t>(reference.height), -1);
  for (size_t i = 0; i < bands.size(); i++)
    for (int row = bands[i].firstRow; row < bands[i].firstRow + bands[i].rowCount; row++) {
      if (owner[row] >= 0) {
        error = names[i] + ": row " + std::to_string(row) + " is also in " + names[owner[row]];
        return false;
      }
      owner[row] = static_cast<int>(i);
    }
  for (int row = 0; row < reference.height; row++)
    if (owner[row] < 0) {
      int last = row;
      while (last + 1 < reference.height && owner[last + 1] < 0)
        last++;
      error = "rows " + std::to_string(row) + " to " + std::to_string(last) + " of " +
              std::to_string(reference.height) + " are in none of the bands";
      return false;
    }
  Picture merged(reference.width, reference.height);
  for (const Band& band : bands)
    std::copy(band.rgb.begin(), band.rgb.end(), merged.Pixel(0, band.firstRow));
  picture = std::move(merged);
  return true;
}

int MergeBandFiles(const std::vector<std::string>& paths, const std::string& output) {
  std::string error;
  // The picture's name and place are checked before the bands are read, its size once
  // they are.
  if (!CheckPictureOutput(output, 1, 1, error)) {
    std::fprintf(stderr, "orvelle2: %s\n", error.c_str());
    return 2;
  }
  std::vector<Band> bands(paths.size());
  for (size_t i = 0; i < paths.size(); i++)
    if (!LoadBand(paths[i], bands[i], error)) {
      std::fprintf(stderr, "orvelle2: %s\n", error.c_str());
      return 2;
    }
  if (!CheckPictureOutput(output, bands.front().width, bands.front().height, error)) {
    std::fprintf(stderr, "orvelle2: %s\n", error.c_str());
    return 2;
  }
  Picture picture;
  if (!MergeBands(bands, paths, picture, error)) {
    std::fprintf(stderr, "orvelle2: %s; nothing written\n", error.c_str());
    return 2;
  }
  if (!WritePicture(output, picture, error)) {
    std::fprintf(stderr, "orvelle2: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
