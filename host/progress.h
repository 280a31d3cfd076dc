// Progress of a render on a terminal: percentage, rows, elapsed and remaining time,
// redrawn in place on standard error. Silent when standard error is not a terminal or
// when asked to be quiet.
#pragma once

#include <chrono>
#include <cstdio>

class Progress {
 public:
  // `rowsAtStart` rows were done before this run (resumed from a checkpoint).
  Progress(int totalRows, int rowsAtStart, bool quiet, FILE* stream = stderr);
  // Redraws the line for `rowsDone` rows.
  void Show(int rowsDone);
  // Ends the progress line.
  void Finish();
  // Seconds since construction.
  double Elapsed() const;
  bool Visible() const { return visible; }

  // "m:ss" or "h:mm:ss".
  static void FormatDuration(double seconds, char* out, size_t size);

 private:
  int total;
  int atStart;
  bool visible;
  FILE* stream;
  std::chrono::steady_clock::time_point start;
};
