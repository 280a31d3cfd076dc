#include "host/checkpoint.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

constexpr char Magic[8] = {'O', 'R', 'V', 'C', 'K', 'P', 'T', '1'};

#pragma pack(push, 1)
struct Header {
  char magic[8];
  uint64_t scene;
  uint32_t width;
  uint32_t height;
};
#pragma pack(pop)

// FNV-1a, 64 bits.
uint64_t Mix(uint64_t hash, const void* data, size_t size) {
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < size; i++) {
    hash ^= bytes[i];
    hash *= 0x100000001B3ull;
  }
  return hash;
}

}  // namespace

int Checkpoint::RowsDone() const {
  int done = 0;
  for (uint8_t flag : rowsDone)
    done += flag ? 1 : 0;
  return done;
}

std::string CheckpointPath(const std::string& output) { return output + ".checkpoint"; }

uint64_t SceneIdentity(const std::string& landscapeText, int width, int height, int quality) {
  uint64_t hash = 0xCBF29CE484222325ull;
  hash = Mix(hash, landscapeText.data(), landscapeText.size());
  const int32_t settings[3] = {width, height, quality};
  return Mix(hash, settings, sizeof(settings));
}

bool SaveCheckpoint(const std::string& path, const Checkpoint& checkpoint, std::string& error) {
  const std::string temporary = path + ".partial-" + std::to_string(getpid());
  FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) {
    error = path + ": cannot write the checkpoint: " + std::strerror(errno);
    return false;
  }
  Header header;
  std::memcpy(header.magic, Magic, sizeof(Magic));
  header.scene = checkpoint.scene;
  header.width = static_cast<uint32_t>(checkpoint.picture.width);
  header.height = static_cast<uint32_t>(checkpoint.picture.height);
  bool ok = std::fwrite(&header, sizeof(header), 1, file) == 1 &&
            std::fwrite(checkpoint.rowsDone.data(), 1, checkpoint.rowsDone.size(), file) == checkpoint.rowsDone.size() &&
            std::fwrite(checkpoint.picture.rgb.data(), 1, checkpoint.picture.rgb.size(), file) ==
                checkpoint.picture.rgb.size();
  ok = (std::fclose(file) == 0) && ok;
  if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
    error = path + ": cannot write the checkpoint: " + std::strerror(errno);
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

bool LoadCheckpoint(const std::string& path, uint64_t scene, int width, int height, Checkpoint& checkpoint,
                    std::string& error) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    error = path + ": no checkpoint to resume from";
    return false;
  }
  Header header;
  bool ok = std::fread(&header, sizeof(header), 1, file) == 1 && std::memcmp(header.magic, Magic, sizeof(Magic)) == 0;
  if (!ok) {
    std::fclose(file);
    error = path + ": not a checkpoint of this program";
    return false;
  }
  if (header.scene != scene || header.width != static_cast<uint32_t>(width) ||
      header.height != static_cast<uint32_t>(height)) {
    std::fclose(file);
    error = path + ": the checkpoint belongs to another landscape, picture size or quality; render without -m";
    return false;
  }
  Checkpoint loaded;
  loaded.scene = scene;
  loaded.picture = Picture(width, height);
  loaded.rowsDone.assign(static_cast<size_t>(height), 0);
  ok = std::fread(loaded.rowsDone.data(), 1, loaded.rowsDone.size(), file) == loaded.rowsDone.size() &&
       std::fread(loaded.picture.rgb.data(), 1, loaded.picture.rgb.size(), file) == loaded.picture.rgb.size() &&
       std::fgetc(file) == EOF;
  std::fclose(file);
  if (!ok) {
    error = path + ": the checkpoint is damaged (wrong length)";
    return false;
  }
  checkpoint = std::move(loaded);
  return true;
}
