#include "engine/platform/paths.h"

#include <strings.h>

#include <cctype>
#include <cstring>

namespace {

char base[MaxPathLength] = "";

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool HasDriveColon(const char* path) { return std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':'; }

bool IsWindowsStyle(const char* path) { return HasDriveColon(path) || std::strchr(path, '\\') != nullptr; }

bool IsAbsolute(const char* path) { return path[0] == '/' || HasDriveColon(path); }

void LowerCase(char* text) {
  for (; *text; ++text)
    *text = static_cast<char>(std::tolower(static_cast<unsigned char>(*text)));
}

// Length of the string in a path buffer, or MaxPathLength when the buffer holds no
// terminating zero (such a buffer is left alone).
size_t BoundedLength(const char* path) { return strnlen(path, MaxPathLength); }

bool SamePrefix(const char* path, const char* prefix, size_t length, bool ignoreCase) {
  return ignoreCase ? strncasecmp(path, prefix, length) == 0 : std::strncmp(path, prefix, length) == 0;
}

}  // namespace

void SetCheminInEngine(const char* newBase) {
  if (!newBase) {
    base[0] = '\0';
    return;
  }
  size_t length = strnlen(newBase, MaxPathLength - 1);
  std::memcpy(base, newBase, length);
  base[length] = '\0';
}

const char* GetCheminInEngine() { return base; }

bool MakeAbsolutePath(char* path, PathCase pathCase) {
  size_t pathLength = BoundedLength(path);
  if (pathLength == MaxPathLength)
    return false;
  size_t baseLength = std::strlen(base);
  if (!IsAbsolute(path) && baseLength > 0) {
    bool needsSeparator = !IsSeparator(base[baseLength - 1]);
    size_t total = baseLength + (needsSeparator ? 1 : 0) + pathLength;
    if (total >= MaxPathLength)
      return false;
    std::memmove(path + total - pathLength, path, pathLength + 1);
    std::memcpy(path, base, baseLength);
    if (needsSeparator)
      path[baseLength] = IsWindowsStyle(base) ? '\\' : '/';
  }
  if (pathCase == PathCase::Lower)
    LowerCase(path);
  return true;
}

void MakeRelativePath(char* path, PathCase pathCase) {
  size_t pathLength = BoundedLength(path);
  if (pathLength == MaxPathLength)
    return;
  if (pathCase == PathCase::Lower)
    LowerCase(path);
  size_t baseLength = std::strlen(base);
  // An empty base, or a path no longer than the base, has nothing to strip.
  if (baseLength == 0 || pathLength <= baseLength)
    return;
  bool ignoreCase = pathCase == PathCase::Lower || IsWindowsStyle(base) || IsWindowsStyle(path);
  if (!SamePrefix(path, base, baseLength, ignoreCase))
    return;
  // Only a path inside the base: "/home/ab/x" does not lie in the base "/home/a".
  size_t strip = baseLength;
  if (!IsSeparator(base[baseLength - 1])) {
    if (!IsSeparator(path[baseLength]))
      return;
    strip++;
  }
  std::memmove(path, path + strip, pathLength - strip + 1);
}
