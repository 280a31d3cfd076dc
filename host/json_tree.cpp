#include "host/json_tree.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string_view>
#include <unordered_set>

double JsonNode::AsDouble() const {
  switch (kind) {
    case Kind::Integer:
      return static_cast<double>(integer);
    case Kind::Unsigned:
      return static_cast<double>(unsigned_);
    case Kind::Float:
      return number;
    default:
      return 0.0;
  }
}

const char* JsonNode::KindName() const {
  switch (kind) {
    case Kind::Null:
      return "null";
    case Kind::Boolean:
      return "a boolean";
    case Kind::Integer:
    case Kind::Unsigned:
      return "an integer";
    case Kind::Float:
      return "a number";
    case Kind::String:
      return "a string";
    case Kind::Array:
      return "an array";
    case Kind::Object:
      return "an object";
  }
  return "a value";
}

namespace {

// Turns byte offsets into lines and columns. Offsets are asked for in increasing order
// while parsing, so each query continues from the last one instead of rescanning a line.
class PositionCounter {
 public:
  // A byte order mark at the start takes no column.
  explicit PositionCounter(std::string_view text)
      : text(text), start(text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0), done(start) {}

  TextPosition At(size_t offset) {
    offset = std::clamp(offset, start, text.size());
    if (offset < done) {  // an earlier offset (only for error reports): start over
      done = start;
      line = 1;
      column = 1;
    }
    for (; done < offset; done++) {
      const unsigned char c = static_cast<unsigned char>(text[done]);
      if (c == '\n') {
        line++;
        column = 1;
      } else if ((c & 0xC0) != 0x80) {  // UTF-8 continuation bytes do not start a character
        column++;
      }
    }
    // A position on a continuation byte belongs to the character it continues.
    return TextPosition{line, std::max(1, column - (offset < text.size() && (text[offset] & 0xC0) == 0x80 ? 1 : 0))};
  }

 private:
  std::string_view text;
  size_t start;
  size_t done;
  int line = 1, column = 1;
};

// Builds the tree from nlohmann's SAX events. nlohmann reports no positions for values,
// so a cursor follows the parser through the text: every event corresponds to the next
// token, and the parser has already checked that token when the event arrives, so only
// blanks, comments, commas and colons can lie between the cursor and it.
class TreeBuilder {
 public:
  using json = nlohmann::json;
  using number_integer_t = json::number_integer_t;
  using number_unsigned_t = json::number_unsigned_t;
  using number_float_t = json::number_float_t;
  using string_t = json::string_t;
  using binary_t = json::binary_t;

  TreeBuilder(std::string_view text, JsonNode& root) : text(text), positions(text), root(root) {
    // nlohmann skips a UTF-8 byte order mark; so does the cursor.
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
      cursor = 3;
  }

  bool null() { return Value(JsonNode::Kind::Null); }
  bool boolean(bool v) {
    JsonNode* n = Value(JsonNode::Kind::Boolean);
    n->boolean = v;
    return true;
  }
  bool number_integer(number_integer_t v) {
    Value(JsonNode::Kind::Integer)->integer = v;
    return true;
  }
  bool number_unsigned(number_unsigned_t v) {
    // Values that fit the signed range are kept as signed integers: one kind to read.
    if (v <= static_cast<uint64_t>(INT64_MAX)) {
      Value(JsonNode::Kind::Integer)->integer = static_cast<int64_t>(v);
    } else {
      Value(JsonNode::Kind::Unsigned)->unsigned_ = v;
    }
    return true;
  }
  bool number_float(number_float_t v, const string_t&) {
    JsonNode* n = Value(JsonNode::Kind::Float);
    if (!std::isfinite(v))
      return Fail(n->position, "the number is too large");
    n->number = v;
    return true;
  }
  bool string(string_t& v) {
    Value(JsonNode::Kind::String)->string = std::move(v);
    return true;
  }
  bool binary(binary_t&) { return Fail(positions.At(cursor), "binary values are not JSON"); }

  bool start_object(std::size_t) { return Open(JsonNode::Kind::Object); }
  bool end_object() { return Close(); }
  bool start_array(std::size_t) { return Open(JsonNode::Kind::Array); }
  bool end_array() { return Close(); }

  bool key(string_t& k) {
    const size_t start = SkipTrivia(cursor);
    const TextPosition where = positions.At(start);
    cursor = SkipToken(start);
    JsonNode* object = stack.back();
    if (!keySets.back().insert(k).second)
      return Fail(where, "duplicate key \"" + k + "\"");
    object->members.emplace_back(std::move(k), JsonNode{});
    object->keyPositions.push_back(where);
    return true;
  }

  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& ex) {
    // The parser stopped in the token after the last one it accepted: point at its start.
    const TextPosition where = positions.At(SkipTrivia(cursor));
    if (ex.id == 406)  // a number beyond the range of a double
      return Fail(where, "the number is too large");
    // "[json.exception.parse_error.101] parse error at line 1, column 2: syntax error ...;
    // last read: '...'; expected ...": keep the description, drop nlohmann's position and
    // the echo of the input, which may hold bytes that are not text.
    std::string what = ex.what();
    const size_t column = what.find("column ");
    const size_t colon = column == std::string::npos ? std::string::npos : what.find(": ", column);
    if (colon != std::string::npos)
      what = what.substr(colon + 2);
    else if (what.rfind("[json.exception.", 0) == 0 && what.find("] ") != std::string::npos)
      what = what.substr(what.find("] ") + 2);
    const size_t echo = what.find("; last read: '");
    if (echo != std::string::npos) {
      const size_t expected = what.rfind("'; expected");
      what =
          what.substr(0, echo) + (expected != std::string::npos && expected >= echo ? what.substr(expected + 1) : "");
    }
    return Fail(where, what);
  }

  std::string error;

 private:
  bool Fail(TextPosition where, const std::string& message) {
    if (error.empty())
      error = std::to_string(where.line) + ":" + std::to_string(where.column) + ": " + message;
    return false;
  }

  static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

  // Past blanks, comments, commas and colons.
  size_t SkipTrivia(size_t i) const {
    const size_t n = text.size();
    while (i < n) {
      const char c = text[i];
      if (IsBlank(c) || c == ',' || c == ':') {
        i++;
      } else if (c == '/' && i + 1 < n && text[i + 1] == '/') {
        while (i < n && text[i] != '\n')
          i++;
      } else if (c == '/' && i + 1 < n && text[i + 1] == '*') {
        const size_t end = text.find("*/", i + 2);
        i = end == std::string_view::npos ? n : end + 2;
      } else {
        break;
      }
    }
    return i;
  }

  // Past the token starting at i: a string, a number, a literal or one structural character.
  size_t SkipToken(size_t i) const {
    const size_t n = text.size();
    if (i >= n)
      return n;
    const char c = text[i];
    if (c == '"') {
      for (i++; i < n; i++) {
        if (text[i] == '\\')
          i++;
        else if (text[i] == '"')
          return i + 1;
      }
      return n;
    }
    if (c == '-' || (c >= '0' && c <= '9')) {
      while (i < n && std::strchr("+-.0123456789eE", text[i]) && text[i] != '\0')
        i++;
      return i;
    }
    if (c >= 'a' && c <= 'z') {
      while (i < n && text[i] >= 'a' && text[i] <= 'z')
        i++;
      return i;
    }
    return i + 1;
  }

  // The node the next value goes into.
  JsonNode* Slot() {
    if (stack.empty())
      return &root;
    JsonNode* top = stack.back();
    if (top->kind == JsonNode::Kind::Array) {
      top->items.emplace_back();
      return &top->items.back();
    }
    return &top->members.back().second;
  }

  JsonNode* Value(JsonNode::Kind kind) {
    const size_t start = SkipTrivia(cursor);
    JsonNode* n = Slot();
    n->kind = kind;
    n->position = positions.At(start);
    cursor = SkipToken(start);
    return n;
  }

  bool Open(JsonNode::Kind kind) {
    JsonNode* n = Value(kind);
    if (static_cast<int>(stack.size()) >= MaxJsonDepth)
      return Fail(n->position, "nesting deeper than " + std::to_string(MaxJsonDepth) + " levels");
    stack.push_back(n);
    keySets.emplace_back();
    return true;
  }

  bool Close() {
    cursor = SkipToken(SkipTrivia(cursor));
    stack.pop_back();
    keySets.pop_back();
    return true;
  }

  std::string_view text;
  PositionCounter positions;
  JsonNode& root;
  size_t cursor = 0;
  // Pointers stay valid: only the innermost open container grows, and an enclosing one
  // grows only once the inner one is closed.
  std::vector<JsonNode*> stack;
  std::vector<std::unordered_set<std::string>> keySets;
};

}  // namespace

JsonParseResult ParseJsonTree(const std::string& text) {
  JsonParseResult result;
  bool blank = true;
  for (char c : text)
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r') {
      blank = false;
      break;
    }
  if (blank) {
    result.error = "the file is empty";
    return result;
  }
  TreeBuilder builder(text, result.root);
  const bool ok = nlohmann::json::sax_parse(text, &builder, nlohmann::json::input_format_t::json, true, true);
  if (!ok) {
    result.error = builder.error.empty() ? "the file is not valid JSON" : builder.error;
    result.root = JsonNode{};
    return result;
  }
  result.ok = true;
  return result;
}
