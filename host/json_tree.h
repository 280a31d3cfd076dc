// A JSON value tree that remembers where each value starts in the text (line and column),
// so that readers can report `file:line:column: message` for values that parse but mean
// nothing to the engine. Comments are allowed; duplicate keys, non-finite numbers and
// nesting deeper than a fixed limit are refused while parsing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// Where a value starts: 1-based line and column (columns count characters, not bytes).
struct TextPosition {
  int line = 0;
  int column = 0;
};

struct JsonMember;

struct JsonNode {
  enum class Kind { Null, Boolean, Integer, Unsigned, Float, String, Array, Object };

  Kind kind = Kind::Null;
  TextPosition position;
  bool boolean = false;
  int64_t integer = 0;     // Integer
  uint64_t unsigned_ = 0;  // Unsigned (values above INT64_MAX)
  double number = 0.0;     // Float
  std::string string;
  std::vector<JsonNode> items;             // Array
  std::vector<JsonMember> members;         // Object, in file order
  std::vector<TextPosition> keyPositions;  // Object: where each key starts

  bool IsNumber() const { return kind == Kind::Integer || kind == Kind::Unsigned || kind == Kind::Float; }
  // The number as a double (integers converted).
  double AsDouble() const;
  // "a number", "a string", "an object"...: for error messages.
  const char* KindName() const;
};

// One member of an object. Named like the pair it stands for; a std::pair of the still
// incomplete JsonNode does not compile with every compiler and standard library.
struct JsonMember {
  std::string first;  // the key
  JsonNode second;    // the value

  JsonMember(std::string key, JsonNode value) : first(std::move(key)), second(std::move(value)) {}
};

// Deepest nesting of arrays and objects a document may have.
constexpr int MaxJsonDepth = 64;

struct JsonParseResult {
  bool ok = false;
  JsonNode root;
  std::string error;  // "line:column: message", or a message without position
};

// Parses `text` (JSON with // and /* */ comments).
JsonParseResult ParseJsonTree(const std::string& text);
