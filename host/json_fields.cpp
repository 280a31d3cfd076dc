#include "host/json_fields.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

void ReadContext::Error(const TextPosition& at, const std::string& message) {
  if (errors->size() < MaxReportedErrors) {
    errors->push_back(name + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) + ": " + message);
    errorPositions.push_back(at);
  }
}

void ReadContext::Error(const std::string& message) {
  if (errors->size() < MaxReportedErrors) {
    errors->push_back(name + ": " + message);
    errorPositions.push_back(TextPosition{});
  }
}

namespace {

// Puts `messages` in the order of their positions; messages without one come first.
void SortByPosition(std::vector<std::string>& messages, std::vector<TextPosition>& positions) {
  if (positions.size() != messages.size())
    return;
  std::vector<size_t> order(messages.size());
  for (size_t i = 0; i < order.size(); i++)
    order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const TextPosition &pa = positions[a], &pb = positions[b];
    return pa.line != pb.line ? pa.line < pb.line : pa.column < pb.column;
  });
  std::vector<std::string> sorted;
  std::vector<TextPosition> places;
  for (size_t i : order) {
    sorted.push_back(messages[i]);
    places.push_back(positions[i]);
  }
  messages.swap(sorted);
  positions.swap(places);
}

}  // namespace

void ReadContext::SortErrors() {
  SortByPosition(*errors, errorPositions);
  if (warnings)
    SortByPosition(*warnings, warningPositions);
}

void ReadContext::Warning(const TextPosition& at, const std::string& message) {
  if (warnings && warnings->size() < MaxReportedErrors) {
    warnings->push_back(name + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) +
                        ": warning: " + message);
    warningPositions.push_back(at);
  }
}

std::string FormatNumber(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", value);
  return text;
}

std::optional<double> ReadNumber(ReadContext& ctx, const JsonNode& node, const std::string& what, double lo,
                                 double hi) {
  if (!node.IsNumber()) {
    ctx.Error(node.position, what + " must be a number, not " + node.KindName());
    return std::nullopt;
  }
  const double v = node.AsDouble();
  if (!(v >= lo && v <= hi)) {
    ctx.Error(node.position,
              what + " must be between " + FormatNumber(lo) + " and " + FormatNumber(hi) + ", not " + FormatNumber(v));
    return std::nullopt;
  }
  return v;
}

std::optional<int64_t> ReadInteger(ReadContext& ctx, const JsonNode& node, const std::string& what, int64_t lo,
                                   int64_t hi) {
  const bool integral = node.kind == JsonNode::Kind::Integer || node.kind == JsonNode::Kind::Unsigned ||
                        (node.kind == JsonNode::Kind::Float && node.number == std::floor(node.number));
  if (!integral) {
    ctx.Error(node.position, what + " must be an integer, not " +
                                 (node.kind == JsonNode::Kind::Float ? FormatNumber(node.number) : node.KindName()));
    return std::nullopt;
  }
  const double approx = node.AsDouble();
  const bool inside = node.kind == JsonNode::Kind::Integer ? node.integer >= lo && node.integer <= hi
                                                           : approx >= double(lo) && approx <= double(hi);
  if (!inside) {
    ctx.Error(node.position,
              what + " must be between " + std::to_string(lo) + " and " + std::to_string(hi) + ", not " +
                  (node.kind == JsonNode::Kind::Integer ? std::to_string(node.integer) : FormatNumber(approx)));
    return std::nullopt;
  }
  return node.kind == JsonNode::Kind::Integer ? node.integer : static_cast<int64_t>(approx);
}

std::optional<bool> ReadBool(ReadContext& ctx, const JsonNode& node, const std::string& what) {
  if (node.kind != JsonNode::Kind::Boolean) {
    ctx.Error(node.position, what + " must be true or false, not " + node.KindName());
    return std::nullopt;
  }
  return node.boolean;
}

bool ReadNumbers(ReadContext& ctx, const JsonNode& node, const std::string& what, int count, double lo, double hi,
                 double* out) {
  if (node.kind != JsonNode::Kind::Array || static_cast<int>(node.items.size()) != count) {
    ctx.Error(node.position, what + " must be an array of " + std::to_string(count) + " numbers");
    return false;
  }
  bool ok = true;
  for (int i = 0; i < count; i++) {
    auto v = ReadNumber(ctx, node.items[i], what + "[" + std::to_string(i) + "]", lo, hi);
    if (v)
      out[i] = *v;
    ok = ok && v.has_value();
  }
  return ok;
}

std::optional<CLR> ReadColour(ReadContext& ctx, const JsonNode& node, const std::string& what) {
  if (node.kind != JsonNode::Kind::Array || node.items.size() != 3) {
    ctx.Error(node.position, what + " must be an array of 3 integers (red, green, blue, 0 to 255)");
    return std::nullopt;
  }
  int64_t c[3] = {};
  bool ok = true;
  for (int i = 0; i < 3; i++) {
    auto v = ReadInteger(ctx, node.items[i], what + "[" + std::to_string(i) + "]", 0, 255);
    ok = ok && v.has_value();
    if (v)
      c[i] = *v;
  }
  if (!ok)
    return std::nullopt;
  return CLR(static_cast<uint8_t>(c[2]), static_cast<uint8_t>(c[1]), static_cast<uint8_t>(c[0]));
}

// Fields ---------------------------------------------------------------------------------

Fields::Fields(ReadContext& ctx, const JsonNode& node, const char* what)
    : ctx(ctx), node(node), what(what), object(node.kind == JsonNode::Kind::Object) {
  if (!object)
    ctx.Error(node.position, std::string(what) + " must be an object, not " + node.KindName());
}

Fields::~Fields() {
  if (!finished)
    Finish();
}

const JsonNode* Fields::Get(const char* key) {
  if (std::find(allowed.begin(), allowed.end(), key) == allowed.end())
    allowed.emplace_back(key);
  if (!object)
    return nullptr;
  for (const auto& [name, value] : node.members)
    if (name == key)
      return &value;
  return nullptr;
}

std::optional<double> Fields::Number(const char* key, double lo, double hi) {
  const JsonNode* n = Get(key);
  return n ? ReadNumber(ctx, *n, key, lo, hi) : std::nullopt;
}

std::optional<float> Fields::Float(const char* key, double lo, double hi) {
  auto v = Number(key, lo, hi);
  return v ? std::optional<float>(static_cast<float>(*v)) : std::nullopt;
}

std::optional<int64_t> Fields::Integer(const char* key, int64_t lo, int64_t hi) {
  const JsonNode* n = Get(key);
  return n ? ReadInteger(ctx, *n, key, lo, hi) : std::nullopt;
}

std::optional<bool> Fields::Bool(const char* key) {
  const JsonNode* n = Get(key);
  return n ? ReadBool(ctx, *n, key) : std::nullopt;
}

std::optional<std::string> Fields::String(const char* key, size_t maxBytes) {
  const JsonNode* n = Get(key);
  if (!n)
    return std::nullopt;
  if (n->kind != JsonNode::Kind::String) {
    ctx.Error(n->position, std::string(key) + " must be a string, not " + n->KindName());
    return std::nullopt;
  }
  if (n->string.size() > maxBytes || n->string.find('\0') != std::string::npos) {
    ctx.Error(n->position, std::string(key) + " must be at most " + std::to_string(maxBytes) +
                               " bytes long, without NUL characters");
    return std::nullopt;
  }
  return n->string;
}

std::optional<VECFLOAT> Fields::VecFloat(const char* key, double lo, double hi) {
  const JsonNode* n = Get(key);
  double v[3];
  if (!n || !ReadNumbers(ctx, *n, key, 3, lo, hi, v))
    return std::nullopt;
  return VECFLOAT(static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2]));
}

std::optional<VECTEUR> Fields::Vecteur(const char* key, double lo, double hi) {
  const JsonNode* n = Get(key);
  double v[3];
  if (!n || !ReadNumbers(ctx, *n, key, 3, lo, hi, v))
    return std::nullopt;
  return VECTEUR(v[0], v[1], v[2]);
}

std::optional<CLR> Fields::Colour(const char* key) {
  const JsonNode* n = Get(key);
  return n ? ReadColour(ctx, *n, key) : std::nullopt;
}

std::optional<int64_t> Fields::Code(const char* key, int64_t lo, int64_t hi, std::span<const CodeName> names) {
  const JsonNode* n = Get(key);
  if (!n)
    return std::nullopt;
  if (n->kind != JsonNode::Kind::String)
    return ReadInteger(ctx, *n, key, lo, hi);
  if (auto code = CodeOfName(names, n->string))
    return *code;
  std::string known;
  for (const CodeName& name : names)
    known += (known.empty() ? "" : ", ") + std::string(name.name);
  ctx.Error(n->position, std::string(key) + " \"" + n->string + "\" is not a known name; give a number " +
                             std::to_string(lo) + " .. " + std::to_string(hi) + " or one of: " + known);
  return std::nullopt;
}

namespace {

// Edit distance, ignoring case: how far a misspelt key is from an allowed one.
size_t Distance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); j++)
    row[j] = j;
  for (size_t i = 1; i <= a.size(); i++) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); j++) {
      const size_t above = row[j];
      const bool same =
          std::tolower(static_cast<unsigned char>(a[i - 1])) == std::tolower(static_cast<unsigned char>(b[j - 1]));
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

void Fields::Finish() {
  finished = true;
  if (!object)
    return;
  for (size_t m = 0; m < node.members.size() && !ctx.Full(); m++) {
    const std::string& key = node.members[m].first;
    if (std::find(allowed.begin(), allowed.end(), key) != allowed.end())
      continue;
    std::string nearest;
    size_t best = std::max<size_t>(2, key.size() / 3) + 1;
    for (const std::string& a : allowed) {
      const size_t d = Distance(key, a);
      if (d < best) {
        best = d;
        nearest = a;
      }
    }
    std::string message = "unknown key \"" + key + "\" in " + what;
    if (!nearest.empty()) {
      message += "; did you mean \"" + nearest + "\"?";
    } else {
      std::vector<std::string> sorted = allowed;
      std::sort(sorted.begin(), sorted.end());
      message += "; allowed keys: ";
      for (size_t i = 0; i < sorted.size(); i++)
        message += (i ? ", " : "") + sorted[i];
    }
    ctx.Error(node.keyPositions[m], message);
  }
}
