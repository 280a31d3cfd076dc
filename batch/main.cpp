// batch: renders a list of landscape files, one orvelle2 process per line.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  for (int i = 1; i < argc; i++) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("batch 0.1.0\n");
      return 0;
    }
    if (std::strcmp(argv[i], "--help") == 0) {
      std::printf("usage: batch [--help] [--version]\n");
      return 0;
    }
  }
  std::fprintf(stderr, "batch: running landscape lists is not available in this build\n");
  return 1;
}
