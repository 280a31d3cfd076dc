// batch: renders a list of landscape files, one orvelle2 process per line.
#include <cstdio>
#include <cstring>
#include <string>

#include "batch/run_list.h"
#include "host/version.h"

namespace {

constexpr const char* Usage =
    "usage: batch --run LIST\n"
    "       batch --help | --version\n"
    "\n"
    "Renders the landscapes of a batch list one after the other: for every line that names a\n"
    "landscape, orvelle2 (beside this program) is started with the line's options and waited for.\n"
    "\n"
    "  --run LIST   run the list file LIST without a window: one line per job on standard\n"
    "               output (line number, command, outcome, time), then the count. Exit status 0\n"
    "               when every line was started and every job ended with status 0, else 1.\n"
    "               Ctrl-C ends the running job and stops (exit status 130).\n"
    "\n"
    "A line: a landscape name, then options separated by spaces, commas or equal signs:\n"
    "  x = <width>, y = <height>, Picture = <file>, Sketch, Preview, Final, Ultra, User,\n"
    "  Resume, FullScreen. Relative picture names go into Pictures/. Lines beginning with /\n"
    "  are comments. Example:  Valley Final, Picture = Valley.jpg x 640\n";

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; i++) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("batch %s\n", OrvelleVersion);
      return 0;
    }
    if (std::strcmp(argv[i], "--help") == 0) {
      std::fputs(Usage, stdout);
      return 0;
    }
  }
  if (argc == 3 && std::strcmp(argv[1], "--run") == 0)
    return RunBatchList(argv[2]);
  std::fputs(Usage, stderr);
  return 2;
}
