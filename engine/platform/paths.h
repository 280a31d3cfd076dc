// File names relative to the program's base directory. A path is absolute when it begins
// with '/' or holds a drive colon ("c:..."); Windows-style input (drive colons and
// backslashes) is handled as on Windows, joined to a Windows-style base with '\'.
//
// Case: file names on Linux are case-sensitive, so the path a caller will open keeps the
// case it was given (PathCase::Keep, the default). Lower-casing is only for comparison
// keys, such as those of the picture cache: PathCase::Lower lower-cases the whole result.
#pragma once

// Size of every path buffer, terminating zero included.
constexpr int MaxPathLength = 260;

enum class PathCase {
  Keep,   // the caller's case (for paths that are opened)
  Lower,  // lower-cased (for comparison keys)
};

// Stores a copy of the base directory; a longer base is cut to MaxPathLength - 1
// characters, a null base clears it.
void SetCheminInEngine(const char* base);
// The stored base directory ("" before SetCheminInEngine).
const char* GetCheminInEngine();

// Makes `path` (a buffer of MaxPathLength characters) absolute: a relative path becomes
// the base, a separator and the path ('\' after a Windows-style base, '/' otherwise, none
// when the base already ends with one). A relative path stays as it is while no base is
// set. Returns false, with the path unchanged, when the result would not fit the buffer.
bool MakeAbsolutePath(char* path, PathCase pathCase = PathCase::Keep);

// Strips the base directory and the separator after it from `path` when the path lies
// inside the base; other paths are left as they are (apart from the case). The base
// matches case-insensitively for Windows-style paths and in PathCase::Lower, and
// case-sensitively otherwise.
void MakeRelativePath(char* path, PathCase pathCase = PathCase::Keep);
