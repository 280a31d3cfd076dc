// orvelle2: renders landscape files into pictures.
#include <cstdio>
#include <cstring>

#include "biosphere/biosphere.h"
#include "engine/engine.h"

int main(int argc, char** argv) {
  for (int i = 1; i < argc; i++) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("orvelle2 0.1.0 (biosphere %s)\n", BiosphereVersion());
      return 0;
    }
    if (std::strcmp(argv[i], "--help") == 0) {
      std::printf("usage: orvelle2 [--help] [--version]\n");
      return 0;
    }
  }
  std::fprintf(stderr, "orvelle2: rendering landscape files is not available in this build\n");
  return 1;
}
