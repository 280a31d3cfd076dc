// One render of a landscape into a picture file: preparation, the threaded picture loop
// with progress and checkpoints, the picture written safely, the scene unprepared.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

struct TPaysage;

struct RenderJob {
  std::string output;  // picture file; its checkpoint lies beside it
  int width = 128;
  int height = 96;
  int quality = 1;  // render setting 0..4
  int threads = 1;
  bool quiet = false;
  bool resume = false;  // continue from the checkpoint
  uint64_t scene = 0;   // identity of the landscape and settings (checkpoints)
  double checkpointSeconds = 5.0;
  int stopAfterRows = 0;         // above 0: stop as if interrupted once this many rows are done
  uint64_t availableMemory = 0;  // bytes a render may use; 0: what the system has free
  int firstRow = 0;              // a band: only rows firstRow..firstRow+rowCount-1, saved as a band file
  int rowCount = 0;              // 0: the whole picture, saved as a picture
};

enum RenderStatus {
  RenderDone = 0,
  RenderFailed = 1,   // the picture or checkpoint could not be written
  RenderRefused = 2,  // bad request: no usable checkpoint to resume, an output that
                      // cannot be written, not enough memory
  RenderInterrupted = 130,
};

// The memory a render of width x height needs, estimated before it starts, and the
// memory the system can give (free memory and swap).
uint64_t RenderMemoryBytes(int width, int height);
uint64_t AvailableMemoryBytes();

// Renders `landscape` (the engine session must be set up). `interrupt` stops the render
// cleanly: finished rows stay in the checkpoint. An output that cannot be written, or a
// picture too large for the memory, is refused before rendering; a picture that cannot
// be written after it leaves its rows in the checkpoint. Messages go to standard error,
// the closing line to standard output unless quiet.
RenderStatus RenderToFile(TPaysage* landscape, const RenderJob& job, const std::atomic<bool>& interrupt);
