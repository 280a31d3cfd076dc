#include "host/progress.h"

#include <unistd.h>

Progress::Progress(int totalRows, int rowsAtStart, bool quiet, FILE* out)
    : total(totalRows), atStart(rowsAtStart), visible(!quiet && isatty(fileno(out))), stream(out), start(std::chrono::steady_clock::now()) {}

double Progress::Elapsed() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Progress::FormatDuration(double seconds, char* out, size_t size) {
  const long s = seconds < 0 ? 0 : static_cast<long>(seconds + 0.5);
  if (s >= 3600)
    std::snprintf(out, size, "%ld:%02ld:%02ld", s / 3600, (s / 60) % 60, s % 60);
  else
    std::snprintf(out, size, "%ld:%02ld", s / 60, s % 60);
}

void Progress::Show(int rowsDone) {
  if (!visible || total <= 0)
    return;
  const double elapsed = Elapsed();
  char elapsedText[32], remainingText[32] = "?";
  FormatDuration(elapsed, elapsedText, sizeof(elapsedText));
  // The remaining time from this run's own pace (rows resumed from a checkpoint cost nothing).
  const int doneHere = rowsDone - atStart;
  if (doneHere > 0)
    FormatDuration(elapsed / doneHere * (total - rowsDone), remainingText, sizeof(remainingText));
  std::fprintf(stream, "\r%3d%%  rows %d/%d  elapsed %s  remaining %s   ", rowsDone * 100 / total, rowsDone, total,
               elapsedText, remainingText);
  std::fflush(stream);
}

void Progress::Finish() {
  if (visible) {
    std::fputc('\n', stream);
    std::fflush(stream);
  }
}
