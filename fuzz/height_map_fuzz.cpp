// The height-map reader on any bytes (PNM, PNG, BMP, JPEG... headers and bodies): it
// reads a map or refuses, never reading past its buffers nor allocating what the header
// claims before the data is there.
#include <cstddef>
#include <cstdint>
#include <string>

#include "host/picture_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  HeightMap map;
  std::string error;
  if (DecodeHeightMap(data, size, "fuzz", 1024, map, error)) {
    if (map.width < 1 || map.height < 1 || map.width > 1024 || map.height > 1024 ||
        map.samples.size() != static_cast<size_t>(map.width) * static_cast<size_t>(map.height))
      __builtin_trap();
  } else if (error.empty()) {
    __builtin_trap();  // a refusal says why
  }
  return 0;
}
