// Checkpoints of an interrupted render: the finished rows of the picture and which rows
// they are, stored beside the output so that `-m` resumes without redoing or losing rows.
// A checkpoint belongs to one scene identity (landscape contents, picture size, quality).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/picture_file.h"

struct Checkpoint {
  uint64_t scene = 0;              // identity of what is rendered (see SceneIdentity)
  Picture picture;                 // rows not yet done are black
  std::vector<uint8_t> rowsDone;   // one flag per picture row (top to bottom)

  int RowsDone() const;
};

// The checkpoint file that belongs to an output picture.
std::string CheckpointPath(const std::string& output);

// A 64-bit identity of the landscape text and the render settings that shape the picture.
uint64_t SceneIdentity(const std::string& landscapeText, int width, int height, int quality);

// Written to a temporary file and renamed, so that a crash while saving never damages the
// previous checkpoint. False with `error` set on failure.
bool SaveCheckpoint(const std::string& path, const Checkpoint& checkpoint, std::string& error);

// Reads a checkpoint; false with `error` set when it is missing, damaged, or made for
// another scene identity or picture size.
bool LoadCheckpoint(const std::string& path, uint64_t scene, int width, int height, Checkpoint& checkpoint,
                    std::string& error);
