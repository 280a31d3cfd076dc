// Files written whole or not at all. The bytes go to a short temporary name in the
// target's folder; every write, the flush to the disk and the close are checked, and only
// then is the file renamed into place (and the folder synced), so that a full disk or a
// crash never leaves a truncated file under the final name nor damages what was there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class SafeFile {
 public:
  SafeFile() = default;
  SafeFile(const SafeFile&) = delete;
  SafeFile& operator=(const SafeFile&) = delete;
  // Removes the temporary file unless it was committed.
  ~SafeFile();

  // Creates the temporary file for `path`; false with `error` set.
  bool Open(const std::string& path, std::string& error);
  // Appends bytes (buffered). Once a write fails every later one does nothing and Commit
  // reports the first failure.
  bool Write(const void* data, size_t size);
  // Flushes, syncs and closes the temporary file and renames it to the final name.
  bool Commit(std::string& error);
  // A write has failed (Commit will report it).
  bool Failed() const { return failure != 0; }

 private:
  bool Flush();
  void Fail(int code);

  std::string path, temporary;
  int fd = -1;
  int failure = 0;  // errno of the first failure
  std::vector<unsigned char> buffer;
  uint64_t flushed = 0;  // bytes handed to the system
};

// Whether a file can be written to `path`: the name is not a folder, and the nearest
// folder on its path that exists is a folder we may write into (missing folders of a
// relative path are made by MakeOutputFolder). Checked before long work; false with
// `error` set.
bool CheckOutputPlace(const std::string& path, std::string& error);
// Creates the missing folders of a relative `path`; false with `error` set.
bool MakeOutputFolder(const std::string& path, std::string& error);

// The temporary name SafeFile uses for `path` in this process: ".partial-", a hash of the
// final name and the process id, short enough for any final name the system allows.
std::string TemporaryPathFor(const std::string& path);

// Removes temporary files of `path` left by processes that no longer run (killed while
// writing); those of running processes are left alone.
void RemoveStaleTemporaries(const std::string& path);

// The reason of an errno value, for messages ("No space left on device").
std::string SystemReason(int code);
