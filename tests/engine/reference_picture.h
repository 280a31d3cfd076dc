// Reference pictures of render tests: binary PPM (P6) files of 8-bit RGB rows.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

// Reads a width x height picture; false when the file is missing or of another size or kind.
inline bool ReadPpm(const std::string& path, int width, int height, std::vector<uint8_t>& rgb) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int w = 0, h = 0, max = 0;
  if (!(in >> magic >> w >> h >> max) || magic != "P6" || w != width || h != height || max != 255)
    return false;
  in.get();
  rgb.resize(static_cast<size_t>(width) * height * 3);
  return static_cast<bool>(in.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size())));
}

inline void WritePpm(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << width << " " << height << "\n255\n";
  out.write(reinterpret_cast<const char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
}

// The number of channels that differ by more than `tolerance` between two pictures.
inline int ChannelsOff(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int tolerance) {
  int off = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); i++)
    if (std::abs(a[i] - b[i]) > tolerance)
      off++;
  return off;
}
