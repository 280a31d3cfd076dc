// The landscape reader on any bytes: it loads them or refuses them with messages, and
// never crashes, leaks, reads out of bounds or converts out of range.
#include <cstddef>
#include <cstdint>
#include <string>

#include "host/engine_session.h"
#include "host/landscape.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Function terrains are sampled on small grids only: each input must take milliseconds,
  // and a larger grid runs the same code more often.
  static EngineSession session("/nonexistent-orvelle-fuzz");
  static const LoadControl control = [] {
    LoadControl c;
    c.maxTerrainPoints = 64 * 64;
    return c;
  }();
  const std::string text(reinterpret_cast<const char*>(data), size);
  LandscapeLoadResult loaded = LoadLandscapeFromText("fuzz", text, "/nonexistent-orvelle-fuzz", control);
  if (loaded.ok() != loaded.errors.empty())
    __builtin_trap();  // a landscape comes with no errors, a refusal with at least one
  return 0;
}
