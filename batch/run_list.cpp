#include "batch/run_list.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "batch/core/batch_walk.h"

namespace {

std::atomic<bool> interrupted{false};

void OnInterrupt(int) { interrupted = true; }

// One line per job on standard output, flushed at once so that it shows between the main
// program's own lines.
class ConsoleEvents : public BatchEvents {
 public:
  void JobEnded(int line, const std::string& command, int status, double seconds) override {
    if (status == 0)
      Print("line %d: %s: done in %.1f s\n", line, command.c_str(), seconds);
    else if (status < 0)
      Print("line %d: %s: failed (exit status unknown) after %.1f s\n", line, command.c_str(), seconds);
    else
      Print("line %d: %s: failed with exit status %d after %.1f s\n", line, command.c_str(), status, seconds);
  }
  void StartFailed(int line, const std::string& command, const std::string& reason) override {
    Print("line %d: %s: could not be started: %s\n", line, command.c_str(), reason.c_str());
  }
  void LineRefused(int line, const std::string& reason) override {
    Print("line %d: not started: %s\n", line, reason.c_str());
  }
  void WalkStopped(int line, const std::string& reason) override { Print("line %d: %s\n", line, reason.c_str()); }

 private:
  template <typename... Args>
  void Print(const char* format, Args... args) {
    std::printf(format, args...);
    std::fflush(stdout);
  }
};

}  // namespace

int RunBatchList(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "batch: %s: cannot read the batch list: %s\n", path.c_str(), std::strerror(errno));
    return 2;
  }
  std::ostringstream text;
  text << file.rdbuf();
  if (file.bad()) {
    std::fprintf(stderr, "batch: %s: cannot read the batch list\n", path.c_str());
    return 2;
  }

  const std::string directory = RunningProgramDirectory();
  if (directory.empty()) {
    std::fprintf(stderr, "batch: cannot find the directory of this program (to start orvelle2 beside it)\n");
    return 2;
  }
  // Ctrl-C reaches the running job too (same process group); the walk then waits for it
  // to end and stops.
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  PosixLauncher launcher;
  ConsoleEvents events;
  BatchWalk walk(launcher, events, directory);
  const BatchSummary summary = walk.Run(SplitBatchLines(text.str()), interrupted);
  std::printf("%s\n", BatchCompletionMessage(summary).c_str());
  if (summary.cancelled)
    return 130;
  return summary.AllSucceeded() ? 0 : 1;
}
