// The checkpoint reader on any bytes: it resumes only rows whose checksum holds, refuses
// what is damaged beyond its rows, and never reads past its buffers.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "host/checkpoint.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The identity and size the reader expects are taken from the header itself, so that
  // the rows behind it are read too; pictures stay small to keep inputs fast.
  uint64_t scene = 0;
  uint32_t width = 1, height = 1;
  if (size >= 24) {
    std::memcpy(&scene, data + 8, sizeof scene);
    std::memcpy(&width, data + 16, sizeof width);
    std::memcpy(&height, data + 20, sizeof height);
  }
  if (width < 1 || height < 1 || width > (1u << 16) || height > (1u << 16) ||
      static_cast<uint64_t>(width) * height > (1u << 18)) {
    width = 1;
    height = 1;
  }
  std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!file)
    return 0;
  Checkpoint checkpoint;
  std::string error;
  int damaged = -1;
  if (ReadCheckpoint(file, size, "fuzz", scene, static_cast<int>(width), static_cast<int>(height), checkpoint, error,
                     &damaged)) {
    if (checkpoint.rowsDone.size() != height || checkpoint.picture.width != static_cast<int>(width) ||
        checkpoint.picture.height != static_cast<int>(height) || damaged < 0)
      __builtin_trap();
    // Rows that are not done are black: nothing of a damaged row survives.
    for (uint32_t y = 0; y < height; y++)
      if (!checkpoint.rowsDone[y])
        for (size_t i = 0; i < checkpoint.picture.RowBytes(); i++)
          if (checkpoint.picture.Pixel(0, static_cast<int>(y))[i] != 0)
            __builtin_trap();
  } else if (error.empty()) {
    __builtin_trap();
  }
  std::fclose(file);
  return 0;
}
