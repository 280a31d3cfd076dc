// Reading records from a JSON tree: a reading context that collects positioned errors
// (and the state a reader keeps while reading one file), the value checkers, and a reader
// of one JSON object's fields that reports unknown keys. Internal to the host.
#pragma once

#include <cfloat>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "engine/geometry/colours.h"
#include "engine/geometry/vectors.h"
#include "host/code_names.h"
#include "host/json_tree.h"

class BasicObject;
struct LoadControl;
class Terrain;

// Stop collecting after this many errors: the first ones matter.
constexpr size_t MaxReportedErrors = 50;

struct ReadContext {
  std::string name;        // prefixes every message
  std::string baseFolder;  // relative picture paths start here
  std::vector<std::string>* errors = nullptr;
  // Where each error of `errors` was found (0:0 for errors without a position), so that
  // the errors can be listed in file order.
  std::vector<TextPosition> errorPositions;
  std::vector<std::string>* warnings = nullptr;  // values that are valid but look mistaken
  std::vector<TextPosition> warningPositions;
  unsigned materialCount = 0;            // known once the materials are read
  int objectCount = 0;                   // objects read so far, children included
  const LoadControl* control = nullptr;  // interruption, progress and limits of loading
  std::vector<Terrain*> terrains;        // read so far, for scatters to find by name
  int depth = 0;                         // 0 while reading a top-level object, more inside aggregates
  // Top-level objects to stand at a height above the ground once the terrains are built.
  struct GroundPlacement {
    BasicObject* object;
    double above;
    TextPosition at;
  };
  std::vector<GroundPlacement> placements;

  void Error(const TextPosition& at, const std::string& message);
  void Error(const std::string& message);
  void Warning(const TextPosition& at, const std::string& message);
  // Orders `errors` and `warnings` by their place in the file (reading goes record by
  // record, and a record's unknown keys are found only at its end).
  void SortErrors();
  bool Failed() const { return !errors->empty(); }
  // Enough errors reported: reading stops.
  bool Full() const { return errors->size() >= MaxReportedErrors; }
};

// "1.5", "1e+30", "-2": numbers in messages.
std::string FormatNumber(double value);

// The value checkers, for a node named `what` in messages.
std::optional<double> ReadNumber(ReadContext& ctx, const JsonNode& node, const std::string& what, double lo, double hi);
std::optional<int64_t> ReadInteger(ReadContext& ctx, const JsonNode& node, const std::string& what, int64_t lo,
                                   int64_t hi);
std::optional<bool> ReadBool(ReadContext& ctx, const JsonNode& node, const std::string& what);
// `count` numbers, each within lo..hi.
bool ReadNumbers(ReadContext& ctx, const JsonNode& node, const std::string& what, int count, double lo, double hi,
                 double* out);
std::optional<CLR> ReadColour(ReadContext& ctx, const JsonNode& node, const std::string& what);

// The fields of one JSON object. Every Get names an allowed key; Finish reports the keys
// that nobody asked for, with the nearest allowed key or the list of allowed keys.
class Fields {
 public:
  // `what` names the record in messages ("a material"); a node that is not an object is
  // reported and reads as empty.
  Fields(ReadContext& ctx, const JsonNode& node, const char* what);
  ~Fields();

  bool IsObject() const { return object; }
  const JsonNode& Node() const { return node; }
  ReadContext& Context() { return ctx; }

  // The member `key`, or null when absent.
  const JsonNode* Get(const char* key);
  std::optional<double> Number(const char* key, double lo, double hi);
  std::optional<float> Float(const char* key, double lo = -FLT_MAX, double hi = FLT_MAX);
  std::optional<int64_t> Integer(const char* key, int64_t lo, int64_t hi);
  std::optional<bool> Bool(const char* key);
  std::optional<std::string> String(const char* key, size_t maxBytes);
  std::optional<VECFLOAT> VecFloat(const char* key, double lo = -FLT_MAX, double hi = FLT_MAX);
  std::optional<VECTEUR> Vecteur(const char* key, double lo, double hi);
  std::optional<CLR> Colour(const char* key);
  // An integer code lo .. hi, or one of `names` written as a string.
  std::optional<int64_t> Code(const char* key, int64_t lo, int64_t hi, std::span<const CodeName> names);

  // Reports unknown keys; called once every allowed key has been asked for.
  void Finish();
  // Reports nothing more: for a record whose reading stopped at an earlier error.
  void Abandon() { finished = true; }

 private:
  ReadContext& ctx;
  const JsonNode& node;
  const char* what;
  bool object;
  bool finished = false;
  std::vector<std::string> allowed;
};

// Field readers that keep the key equal to the record's field name. Packed fields cannot
// bind references, so the value is read first and then stored.
#define READ_FIELD(reader, rec, Field)                                            \
  do {                                                                            \
    if (auto v_ = (reader))                                                       \
      (rec).Field = static_cast<std::remove_cvref_t<decltype((rec).Field)>>(*v_); \
  } while (0)
#define READ_FLOAT(f, rec, Field, ...) READ_FIELD((f).Float(#Field, ##__VA_ARGS__), rec, Field)
#define READ_INT(f, rec, Field, lo, hi) READ_FIELD((f).Integer(#Field, lo, hi), rec, Field)
#define READ_BOOL(f, rec, Field) READ_FIELD((f).Bool(#Field), rec, Field)
#define READ_VECF(f, rec, Field, ...) READ_FIELD((f).VecFloat(#Field, ##__VA_ARGS__), rec, Field)
#define READ_CLR(f, rec, Field) READ_FIELD((f).Colour(#Field), rec, Field)
#define READ_CODE(f, rec, Field, lo, hi, names) READ_FIELD((f).Code(#Field, lo, hi, names), rec, Field)
