// Reference pictures of render tests: 8-bit RGB PNG files, read and written through stb.
#pragma once

#include <stb_image.h>
#include <stb_image_write.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

// Reads a width x height picture into rgb; false when the file is missing, unreadable or
// of another size.
inline bool ReadPng(const std::string& path, int width, int height, std::vector<uint8_t>& rgb) {
  int w = 0, h = 0, channels = 0;
  stbi_uc* pixels = stbi_load(path.c_str(), &w, &h, &channels, 3);
  if (!pixels)
    return false;
  const bool fits = w == width && h == height;
  if (fits)
    rgb.assign(pixels, pixels + static_cast<size_t>(width) * height * 3);
  stbi_image_free(pixels);
  return fits;
}

// Writes rgb (width x height, rows top to bottom); false when the file cannot be written.
inline bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb) {
  return stbi_write_png(path.c_str(), width, height, 3, rgb.data(), width * 3) != 0;
}

// The number of channels that differ by more than `tolerance` between two pictures.
inline int ChannelsOff(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int tolerance) {
  int off = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); i++)
    if (std::abs(a[i] - b[i]) > tolerance)
      off++;
  return off;
}
