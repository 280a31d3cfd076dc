#include "host/checkpoint.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cstring>
#include <filesystem>

#include "host/safe_file.h"

namespace {

constexpr char Magic[8] = {'O', 'R', 'V', 'C', 'K', 'P', 'T', '2'};

#pragma pack(push, 1)
struct Header {
  char magic[8];
  uint64_t scene;
  uint32_t width;
  uint32_t height;
  uint64_t checksum;  // of the fields above
};
// Before each row's pixels.
struct RowHeader {
  uint8_t done;
  uint64_t checksum;  // of the row's number, its flag and its pixels
};
#pragma pack(pop)
static_assert(sizeof(Header) == 32);
static_assert(sizeof(RowHeader) == 9);

constexpr uint64_t HashStart = 0xCBF29CE484222325ull;

// FNV-1a, 64 bits.
uint64_t Mix(uint64_t hash, const void* data, size_t size) {
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < size; i++) {
    hash ^= bytes[i];
    hash *= 0x100000001B3ull;
  }
  return hash;
}

uint64_t HeaderChecksum(const Header& header) { return Mix(HashStart, &header, offsetof(Header, checksum)); }

uint64_t RowChecksum(uint32_t row, uint8_t done, const uint8_t* pixels, size_t bytes) {
  uint64_t hash = Mix(HashStart, &row, sizeof row);
  hash = Mix(hash, &done, 1);
  return Mix(hash, pixels, bytes);
}

uint64_t FileBytes(uint32_t width, uint32_t height) {
  return sizeof(Header) + static_cast<uint64_t>(height) * (sizeof(RowHeader) + static_cast<uint64_t>(width) * 3);
}

// Longest file name most file systems take.
constexpr size_t MaxNameBytes = 255;
constexpr char Suffix[] = ".checkpoint";

}  // namespace

int Checkpoint::RowsDone() const {
  int done = 0;
  for (uint8_t flag : rowsDone)
    done += flag ? 1 : 0;
  return done;
}

std::string CheckpointPath(const std::string& output) {
  const std::filesystem::path path(output);
  std::string name = path.filename().string();
  if (name.size() + sizeof(Suffix) - 1 <= MaxNameBytes)
    return output + Suffix;
  char hash[18];
  std::snprintf(hash, sizeof hash, "-%016" PRIx64, Mix(HashStart, name.data(), name.size()));
  size_t keep = MaxNameBytes - (sizeof(Suffix) - 1) - (sizeof(hash) - 1);
  while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)  // whole UTF-8 characters
    keep--;
  return (path.parent_path() / (name.substr(0, keep) + hash + Suffix)).string();
}

uint64_t SceneIdentity(const std::string& landscapeText, int width, int height, int quality) {
  uint64_t hash = Mix(HashStart, landscapeText.data(), landscapeText.size());
  const int32_t settings[3] = {width, height, quality};
  return Mix(hash, settings, sizeof(settings));
}

bool SaveCheckpoint(const std::string& path, const Checkpoint& checkpoint, std::string& error) {
  const Picture& picture = checkpoint.picture;
  RemoveStaleTemporaries(path);
  SafeFile file;
  if (!file.Open(path, error)) {
    error = "cannot write the checkpoint: " + error;
    return false;
  }
  Header header;
  std::memcpy(header.magic, Magic, sizeof(Magic));
  header.scene = checkpoint.scene;
  header.width = static_cast<uint32_t>(picture.width);
  header.height = static_cast<uint32_t>(picture.height);
  header.checksum = HeaderChecksum(header);
  file.Write(&header, sizeof header);
  const std::vector<uint8_t> black(picture.RowBytes(), 0);
  for (int y = 0; y < picture.height; y++) {
    const bool done = y < static_cast<int>(checkpoint.rowsDone.size()) && checkpoint.rowsDone[y];
    const uint8_t* pixels = done ? picture.Pixel(0, y) : black.data();
    RowHeader row;
    row.done = done ? 1 : 0;
    row.checksum = RowChecksum(static_cast<uint32_t>(y), row.done, pixels, picture.RowBytes());
    file.Write(&row, sizeof row);
    if (!file.Write(pixels, picture.RowBytes()))
      break;
  }
  if (!file.Commit(error)) {
    error = "cannot write the checkpoint: " + error;
    return false;
  }
  return true;
}

bool ReadCheckpoint(std::FILE* file, uint64_t fileBytes, const std::string& name, uint64_t scene, int width, int height,
                    Checkpoint& checkpoint, std::string& error, int* damagedRows) {
  Header header;
  if (std::fread(&header, sizeof(header), 1, file) != 1 || std::memcmp(header.magic, Magic, sizeof(Magic)) != 0) {
    error = name + ": not a checkpoint of this program";
    return false;
  }
  if (header.checksum != HeaderChecksum(header)) {
    error = name + ": the checkpoint is damaged (its header); render without -m";
    return false;
  }
  if (header.scene != scene || header.width != static_cast<uint32_t>(width) ||
      header.height != static_cast<uint32_t>(height)) {
    error = name + ": the checkpoint belongs to another landscape, picture size or quality; render without -m";
    return false;
  }
  // The length before any allocation: a damaged file cannot ask for memory it does not fill.
  if (width < 1 || height < 1 || fileBytes != FileBytes(header.width, header.height)) {
    error = name + ": the checkpoint is damaged (wrong length); render without -m";
    return false;
  }
  Checkpoint loaded;
  loaded.scene = scene;
  loaded.picture = Picture(width, height);
  loaded.rowsDone.assign(static_cast<size_t>(height), 0);
  int damaged = 0;
  for (int y = 0; y < height; y++) {
    RowHeader row;
    uint8_t* pixels = loaded.picture.Pixel(0, y);
    if (std::fread(&row, sizeof row, 1, file) != 1 ||
        std::fread(pixels, 1, loaded.picture.RowBytes(), file) != loaded.picture.RowBytes()) {
      error = name + ": cannot read the checkpoint";
      return false;
    }
    if (row.checksum == RowChecksum(static_cast<uint32_t>(y), row.done, pixels, loaded.picture.RowBytes())) {
      loaded.rowsDone[y] = row.done ? 1 : 0;
      if (row.done)
        continue;
    } else {
      damaged++;
    }
    std::memset(pixels, 0, loaded.picture.RowBytes());
  }
  if (damagedRows)
    *damagedRows = damaged;
  checkpoint = std::move(loaded);
  return true;
}

bool LoadCheckpoint(const std::string& path, uint64_t scene, int width, int height, Checkpoint& checkpoint,
                    std::string& error, int* damagedRows) {
  // Non-blocking open: a FIFO under the checkpoint's name must not make -m wait.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat info {};
  if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    error = path + (fd < 0 && errno == ENOENT ? ": no checkpoint to resume from" : ": not a checkpoint file");
    if (fd >= 0)
      close(fd);
    return false;
  }
  std::FILE* file = fdopen(fd, "rb");
  if (!file) {
    close(fd);
    error = path + ": cannot read the checkpoint";
    return false;
  }
  const bool ok = ReadCheckpoint(file, static_cast<uint64_t>(info.st_size), path, scene, width, height, checkpoint,
                                 error, damagedRows);
  std::fclose(file);
  return ok;
}

bool CheckpointIdentity(const std::string& path, uint64_t& scene, int& width, int& height) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file)
    return false;
  Header header;
  const bool ok = std::fread(&header, sizeof header, 1, file) == 1 &&
                  std::memcmp(header.magic, Magic, sizeof(Magic)) == 0 && header.checksum == HeaderChecksum(header) &&
                  header.width <= INT_MAX && header.height <= INT_MAX;
  std::fclose(file);
  if (ok) {
    scene = header.scene;
    width = static_cast<int>(header.width);
    height = static_cast<int>(header.height);
  }
  return ok;
}
