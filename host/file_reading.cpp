#include "host/file_reading.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

std::string Megabytes(size_t bytes) {
  return bytes >= (1u << 20) ? std::to_string(bytes >> 20) + " MiB" : std::to_string(bytes) + " bytes";
}

// The reason an open failed, in words a user acts on.
std::string OpenFailure(int code) {
  switch (code) {
    case ENOENT:
      return "no such file";
    case EACCES:
    case EPERM:
      return "permission denied";
    case ENOTDIR:
      return "a folder on its path is a file";
    default:
      return std::strerror(code);
  }
}

}  // namespace

template <class Bytes>
bool ReadWholeFile(const std::string& path, size_t maxBytes, Bytes& bytes, std::string& error) {
  bytes.clear();
  const bool standardInput = path == "-";
  // Non-blocking: opening a FIFO without a writer returns at once instead of waiting.
  const int fd = standardInput ? STDIN_FILENO : open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = OpenFailure(errno);
    return false;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0) {
    error = std::strerror(errno);
    if (!standardInput)
      close(fd);
    return false;
  }
  if (!standardInput) {
    const char* kind = S_ISDIR(info.st_mode)    ? "is a folder, not a file"
                       : !S_ISREG(info.st_mode) ? "is not a regular file (a device, FIFO or socket)"
                                                : nullptr;
    if (kind) {
      error = kind;
      close(fd);
      return false;
    }
    if (static_cast<unsigned long long>(info.st_size) > maxBytes) {
      error = "the file is larger than " + Megabytes(maxBytes);
      close(fd);
      return false;
    }
    // Regular files never block; reading blocks again as usual.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // Room for the whole file (and the byte that shows it grew) at once: a height map of
    // megabytes is not copied again and again as the string grows.
    bytes.reserve(static_cast<size_t>(info.st_size) + 1);
  }
  char buffer[1 << 16];
  int failure = 0;
  while (bytes.size() <= maxBytes) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0) {
      failure = errno;
      break;
    }
    if (got == 0)
      break;
    const size_t size = bytes.size();
    bytes.resize(size + static_cast<size_t>(got));
    std::memcpy(bytes.data() + size, buffer, static_cast<size_t>(got));
  }
  if (!standardInput)
    close(fd);
  if (failure) {
    error = std::string("cannot read: ") + std::strerror(failure);
    return false;
  }
  if (bytes.size() > maxBytes) {
    error = "the file is larger than " + Megabytes(maxBytes);
    bytes.clear();
    return false;
  }
  return true;
}

template bool ReadWholeFile(const std::string&, size_t, std::string&, std::string&);
template bool ReadWholeFile(const std::string&, size_t, LargeFileBytes&, std::string&);
