// Checkpoints of an interrupted render: the finished rows of the picture and which rows
// they are, stored beside the output so that `-m` resumes without redoing or losing rows.
// A checkpoint belongs to one scene identity (landscape contents, picture size, quality);
// every row carries a checksum, so that a damaged row is rendered again instead of being
// resumed into a different picture.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "host/picture_file.h"

struct Checkpoint {
  uint64_t scene = 0;             // identity of what is rendered (see SceneIdentity)
  Picture picture;                // rows not yet done are black
  std::vector<uint8_t> rowsDone;  // one flag per picture row (top to bottom)

  int RowsDone() const;
};

// The checkpoint file that belongs to an output picture: "<output>.checkpoint", or, when
// that name would be too long for the file system, the output's name shortened and
// completed by a hash of the whole name. Saving and `-m` both name it through this.
std::string CheckpointPath(const std::string& output);

// A 64-bit identity of the landscape text and the render settings that shape the picture.
uint64_t SceneIdentity(const std::string& landscapeText, int width, int height, int quality);

// Writes the rows flagged done (the others as black, never read: they may be being drawn)
// to a temporary file, checking every write, and renames it into place, so that a crash
// or a full disk never damages the previous checkpoint. False with `error` set.
bool SaveCheckpoint(const std::string& path, const Checkpoint& checkpoint, std::string& error);

// Reads a checkpoint; false with `error` set when it is missing, damaged beyond its rows,
// or made for another scene identity or picture size. Rows whose checksum does not match
// are marked not done (and counted in `damagedRows`), so they are rendered again.
bool LoadCheckpoint(const std::string& path, uint64_t scene, int width, int height, Checkpoint& checkpoint,
                    std::string& error, int* damagedRows = nullptr);
// The same from an open stream holding `fileBytes` bytes; `name` prefixes the messages.
bool ReadCheckpoint(std::FILE* file, uint64_t fileBytes, const std::string& name, uint64_t scene, int width, int height,
                    Checkpoint& checkpoint, std::string& error, int* damagedRows = nullptr);

// The scene identity and picture size a checkpoint file was made for; false when the file
// is missing or not a checkpoint.
bool CheckpointIdentity(const std::string& path, uint64_t& scene, int& width, int& height);
