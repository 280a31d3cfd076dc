// Whole files read within a size limit: only regular files (or standard input, named
// "-"), never a device, folder or FIFO, so that /dev/zero or an endless pipe cannot fill
// the memory and a FIFO without a writer cannot block the program.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/platform/large_memory.h"

// The bytes of a large file (a height map): in memory that is cheap to fill.
using LargeFileBytes = std::vector<char, LargeAllocator<char>>;

// Reads `path` into `bytes` (a std::string or LargeFileBytes); false with `error` set to
// the reason ("no such file", "is a folder, not a file", "permission denied", "the file
// is larger than N MiB"...). Reading stops one byte past `maxBytes`, whatever the file
// claims its size is.
template <class Bytes>
bool ReadWholeFile(const std::string& path, size_t maxBytes, Bytes& bytes, std::string& error);
