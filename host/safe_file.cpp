#include "host/safe_file.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr size_t BufferBytes = 256 << 10;
constexpr char TemporaryPrefix[] = ".partial-";

// FNV-1a of the final file name: temporaries of different outputs in one folder differ.
uint64_t NameHash(const std::string& name) {
  uint64_t hash = 0xCBF29CE484222325ull;
  for (unsigned char c : name) {
    hash ^= c;
    hash *= 0x100000001B3ull;
  }
  return hash;
}

std::string TemporaryStem(const std::string& path) {
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016" PRIx64, NameHash(fs::path(path).filename().string()));
  return std::string(TemporaryPrefix) + hex + "-";
}

fs::path FolderOf(const std::string& path) {
  const fs::path folder = fs::path(path).parent_path();
  return folder.empty() ? fs::path(".") : folder;
}

}  // namespace

std::string SystemReason(int code) { return std::strerror(code); }

std::string TemporaryPathFor(const std::string& path) {
  return (FolderOf(path) / (TemporaryStem(path) + std::to_string(getpid()))).string();
}

void RemoveStaleTemporaries(const std::string& path) {
  const std::string stem = TemporaryStem(path);
  std::error_code ec;
  for (fs::directory_iterator it(FolderOf(path), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.compare(0, stem.size(), stem) != 0)
      continue;
    const std::string digits = name.substr(stem.size());
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9)
      continue;
    const pid_t owner = static_cast<pid_t>(std::stol(digits));
    // A process that still runs may be writing it; kill(pid, 0) asks without signalling.
    if (owner != getpid() && kill(owner, 0) != 0 && errno == ESRCH) {
      std::error_code ignored;
      fs::remove(it->path(), ignored);
    }
  }
}

bool CheckOutputPlace(const std::string& path, std::string& error) {
  std::error_code ec;
  const fs::path target(path);
  if (fs::is_directory(target, ec)) {
    error = path + ": is a folder, not a file";
    return false;
  }
  fs::path folder = target.parent_path();
  while (!folder.empty() && !fs::exists(folder, ec)) {
    if (target.is_absolute()) {
      error = path + ": the folder " + folder.string() + " does not exist";
      return false;
    }
    folder = folder.parent_path();
  }
  if (folder.empty())
    folder = ".";
  if (!fs::is_directory(folder, ec)) {
    error = path + ": " + folder.string() + " is a file, not a folder";
    return false;
  }
  if (access(folder.c_str(), W_OK | X_OK) != 0) {
    error = path + ": cannot write into the folder " + folder.string() + ": " + SystemReason(errno);
    return false;
  }
  return true;
}

bool MakeOutputFolder(const std::string& path, std::string& error) {
  const fs::path target(path);
  const fs::path folder = target.parent_path();
  std::error_code ec;
  if (!folder.empty() && target.is_relative() && !fs::exists(folder, ec)) {
    fs::create_directories(folder, ec);
    if (ec) {
      error = folder.string() + ": cannot create the folder: " + ec.message();
      return false;
    }
  }
  return true;
}

SafeFile::~SafeFile() {
  if (fd >= 0) {
    close(fd);
    unlink(temporary.c_str());
  }
}

void SafeFile::Fail(int code) {
  if (!failure)
    failure = code ? code : EIO;
}

bool SafeFile::Open(const std::string& target, std::string& error) {
  path = target;
  temporary = TemporaryPathFor(target);
  failure = 0;
  flushed = 0;
  fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = path + ": cannot write: " + SystemReason(errno);
    return false;
  }
  buffer.reserve(BufferBytes);
  return true;
}

bool SafeFile::Flush() {
  const unsigned char* data = buffer.data();
  size_t left = buffer.size();
  while (left > 0 && !failure) {
    const ssize_t written = write(fd, data, left);
    if (written < 0) {
      if (errno != EINTR)
        Fail(errno);
      continue;
    }
    if (written == 0)
      Fail(ENOSPC);
    data += written;
    left -= static_cast<size_t>(written);
  }
  // The disk starts on what was written while the rest is produced, so that the sync at
  // the end waits for little.
  if (!failure && buffer.size() > 0) {
    sync_file_range(fd, static_cast<off_t>(flushed), static_cast<off_t>(buffer.size()), SYNC_FILE_RANGE_WRITE);
    flushed += buffer.size();
  }
  buffer.clear();
  return !failure;
}

bool SafeFile::Write(const void* data, size_t size) {
  if (fd < 0 || failure)
    return false;
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const size_t piece = std::min(size, BufferBytes - buffer.size());
    buffer.insert(buffer.end(), bytes, bytes + piece);
    bytes += piece;
    size -= piece;
    if (buffer.size() == BufferBytes && !Flush())
      return false;
  }
  return true;
}

bool SafeFile::Commit(std::string& error) {
  if (fd < 0) {
    error = path + ": cannot write: the file is not open";
    return false;
  }
  Flush();
  if (!failure && fsync(fd) != 0)
    Fail(errno);
  if (close(fd) != 0)
    Fail(errno);
  fd = -1;
  if (!failure && rename(temporary.c_str(), path.c_str()) != 0)
    Fail(errno);
  if (failure) {
    unlink(temporary.c_str());
    error = path + ": cannot write: " + SystemReason(failure);
    return false;
  }
  // The rename itself reaches the disk with the folder.
  const int folder = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    fsync(folder);
    close(folder);
  }
  return true;
}
