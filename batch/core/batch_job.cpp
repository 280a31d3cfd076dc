#include "batch/core/batch_job.h"

#include <climits>
#include <cstring>

namespace {

bool IsSeparator(char c) { return c == ' ' || c == ',' || c == '='; }

// The keyword tests compare a fixed prefix: a shorter token never matches.
bool BeginsWith(const std::string& token, const char* keyword) {
  return std::strncmp(token.c_str(), keyword, std::strlen(keyword)) == 0;
}

void ToLower(std::string& token) {
  for (char& c : token)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
}

// A token that would not fit its 260-character buffer refuses the line instead of
// being cut short (a cut name would render, or overwrite, another file).
bool Fits(const std::string& token, std::string& problem) {
  if (token.size() < BatchNameBuffer)
    return true;
  problem = "the word beginning \"" + token.substr(0, 20) + "...\" has " + std::to_string(token.size()) +
            " characters (at most " + std::to_string(BatchNameBuffer - 1) + ")";
  return false;
}

}  // namespace

std::string NextBatchToken(std::string_view line, size_t& cursor) {
  if (cursor >= line.size())
    return {};
  while (cursor < line.size() && IsSeparator(line[cursor]))
    cursor++;
  size_t end = cursor;
  while (end < line.size() && !IsSeparator(line[end]))
    end++;
  std::string token(line.substr(cursor, end - cursor));
  cursor = end < line.size() ? end + 1 : end;
  return token;
}

int32_t BatchTokenValue(std::string_view token) {
  size_t i = 0;
  while (i < token.size() && (token[i] == ' ' || (token[i] >= '\t' && token[i] <= '\r')))
    i++;
  bool negative = false;
  if (i < token.size() && (token[i] == '+' || token[i] == '-'))
    negative = token[i++] == '-';
  int64_t value = 0;
  for (; i < token.size() && token[i] >= '0' && token[i] <= '9'; i++) {
    value = value * 10 + (token[i] - '0');
    if (value > int64_t(INT32_MAX) + 1)
      value = int64_t(INT32_MAX) + 1;
  }
  if (negative)
    return static_cast<int32_t>(-value);
  return value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
}

BatchLineKind ParseBatchLine(std::string_view line, BatchJob& job, std::string& problem) {
  // The line is a C string in its buffer: a NUL byte ends it.
  line = line.substr(0, line.find('\0'));
  size_t cursor = 0;
  std::string token = NextBatchToken(line, cursor);
  if (token.empty() || token[0] == '/' || token[0] == '\n')
    return BatchLineKind::Skipped;
  job.Reset();
  if (!Fits(token, problem))
    return BatchLineKind::Refused;
  job.landscapeName = token;

  // Every test is made on every pass; a value read by tests 1 to 3 stays in the buffer
  // for the later tests (so `picture = final.bmp` also selects quality 2).
  while (cursor < line.size()) {
    token = NextBatchToken(line, cursor);
    ToLower(token);
    if (!token.empty() && token[0] == 'x') {
      token = NextBatchToken(line, cursor);
      job.horizontalSize = BatchTokenValue(token);
    }
    if (!token.empty() && token[0] == 'y') {
      token = NextBatchToken(line, cursor);
      job.verticalSize = BatchTokenValue(token);
    }
    if (BeginsWith(token, "picture")) {
      token = NextBatchToken(line, cursor);
      if (!Fits(token, problem))
        return BatchLineKind::Refused;
      job.pictureName = token;
    }
    const bool sketch = BeginsWith(token, "sketch"), preview = BeginsWith(token, "preview");
    const bool final = BeginsWith(token, "final"), ultra = BeginsWith(token, "ultra");
    const bool user = BeginsWith(token, "user");
    if (user)
      job.quality = 4;
    else if (ultra)
      job.quality = 3;
    else if (final)
      job.quality = 2;
    else if (preview)
      job.quality = 1;
    else if (sketch)
      job.quality = 0;
    if (BeginsWith(token, "resume"))
      job.resume = true;
    if (BeginsWith(token, "fullscreen"))
      job.fullScreen = true;
  }
  return BatchLineKind::Job;
}
