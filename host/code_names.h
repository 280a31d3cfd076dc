// Names that landscape files may write instead of numeric codes: the procedural kinds of
// function layers and turbulence, the ways layers and octaves combine, and how a mixed
// material blends. Numbers stay accepted; docs/landscape-format.md lists both.
#pragma once

#include <optional>
#include <span>
#include <string>

struct CodeName {
  const char* name;
  int code;
};

// Kind 0 .. 44, in code order.
std::span<const CodeName> FunctionKindNames();
// CombineMode, OctaveMode and a turbulence's Mode, 0 .. 9 (1 and 3 add as 0 does and
// have no names of their own).
std::span<const CodeName> CombineModeNames();
// TransitionMode 0 .. 4.
std::span<const CodeName> TransitionModeNames();

// The code of `name` (compared ignoring case), or none.
std::optional<int> CodeOfName(std::span<const CodeName> names, const std::string& name);
// The name of `code`, or null when it has none.
const char* NameOfCode(std::span<const CodeName> names, int code);
