// Bands: a run of picture rows rendered on its own (one node of a cluster renders each),
// written with the identity of the scene they belong to, and merged into the picture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/picture_file.h"

struct Band {
  uint64_t scene = 0;  // SceneIdentity of the landscape text, size and quality
  int width = 0;
  int height = 0;  // of the whole picture
  int quality = 0;
  int firstRow = 0;
  int rowCount = 0;
  std::vector<uint8_t> rgb;  // rowCount rows of width pixels, red, green, blue
};

// "FIRST:COUNT" with FIRST >= 0 and COUNT >= 1; false when malformed.
bool ParseRowRange(const std::string& text, int& first, int& count);

// The band of `picture` from row `first` for `count` rows.
Band CutBand(const Picture& picture, uint64_t scene, int quality, int first, int count);

// Written to a temporary file and renamed: never a partial band under the final name.
bool SaveBand(const std::string& path, const Band& band, std::string& error);
// Reads a band; false with `error` when the file is missing, damaged or inconsistent.
bool LoadBand(const std::string& path, Band& band, std::string& error);

// Puts `bands` (read from `names`) together. They must belong to one scene, size and
// quality, must not overlap, and must cover every row; `error` names what is wrong.
bool MergeBands(const std::vector<Band>& bands, const std::vector<std::string>& names, Picture& picture,
                std::string& error);

// orvelle2 --merge: reads the band files, merges them and writes the picture. Returns the
// exit status (0, 1 when the picture cannot be written, 2 when the bands are refused).
int MergeBandFiles(const std::vector<std::string>& paths, const std::string& output);
