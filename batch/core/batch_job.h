// One line of a batch list: the tokenizer, the job record and the line parser.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Names and tokens live in buffers of this size, terminator included.
constexpr size_t BatchNameBuffer = 260;
// A line is read into a buffer of this size: 999 characters of text and the terminator.
constexpr size_t BatchLineBuffer = 1000;

// What one usable line asks for. Reset before every line.
struct BatchJob {
  std::string landscapeName;   // first token, as typed
  std::string pictureName;     // value after `picture`, as typed
  int32_t horizontalSize = 0;  // 0: not given
  int32_t verticalSize = 0;    // 0: not given
  bool resume = false;
  bool fullScreen = false;
  int8_t quality = -1;  // 0 sketch, 1 preview, 2 final, 3 ultra, 4 user; -1 not given

  void Reset() { *this = BatchJob(); }
};

// The next token of `line` from `cursor`; the cursor moves past the separator that ends it.
// Separators are the space, the comma and the equals sign (a tab is part of a token).
std::string NextBatchToken(std::string_view line, size_t& cursor);

// The value of a token as a decimal integer: leading blanks, a sign, then digits; no
// leading digits give 0. Values beyond 32 bits saturate.
int32_t BatchTokenValue(std::string_view token);

enum class BatchLineKind {
  Skipped,  // empty, or a comment (first token begins with '/')
  Job,      // `job` holds what the line asks for
  Refused,  // a token does not fit its buffer; `problem` says which
};

// Parses one line (without its line terminator) into `job`.
BatchLineKind ParseBatchLine(std::string_view line, BatchJob& job, std::string& problem);
