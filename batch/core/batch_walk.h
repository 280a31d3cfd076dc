// The batch walk: every usable line of a list starts the main program once, one job after
// the other, and the walk ends with the count of landscape files processed.
#pragma once

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

#include "batch/core/launch_command.h"
#include "batch/core/process_launcher.h"

// What the walk tells its front end, as it happens. Line numbers count from 1.
class BatchEvents {
 public:
  virtual ~BatchEvents() = default;
  virtual void JobStarted(int /*line*/, const std::string& /*command*/) {}
  // status: the main program's exit status (128 + signal when a signal ended it).
  virtual void JobEnded(int /*line*/, const std::string& /*command*/, int /*status*/, double /*seconds*/) {}
  virtual void StartFailed(int /*line*/, const std::string& /*command*/, const std::string& /*reason*/) {}
  // A line that cannot be turned into a command (a name too long for its buffer).
  virtual void LineRefused(int /*line*/, const std::string& /*reason*/) {}
  // The walk ends early at this line (too long to read, or cancelled).
  virtual void WalkStopped(int /*line*/, const std::string& /*reason*/) {}
};

struct BatchSummary {
  int processed = 0;   // jobs started, whatever their outcome (the count the message gives)
  int failed = 0;      // started jobs whose exit status was not 0
  int notStarted = 0;  // usable lines that could not be started or were refused
  bool cancelled = false;
  int stoppedAtLine = 0;  // the line the walk stopped at before the end; 0 when it ran through

  bool AllSucceeded() const { return failed == 0 && notStarted == 0 && stoppedAtLine == 0; }
};

// The lines of a list as an editor shows them: split at line feeds, a carriage return
// before the line feed removed. A text ending with a line break ends with an empty line.
std::vector<std::string> SplitBatchLines(std::string_view text);

class BatchWalk {
 public:
  BatchWalk(ProcessLauncher& launcher, BatchEvents& events, std::string programDirectory,
            CommandForm form = CommandForm::Linux)
      : launcher_(launcher), events_(events), programDirectory_(std::move(programDirectory)), form_(form) {}

  // Runs the list. `cancel` may be set from another thread or a signal handler: the running
  // job is asked to end, and the walk stops after it has.
  BatchSummary Run(const std::vector<std::string>& lines, const std::atomic<bool>& cancel);

  int pollMilliseconds = 2000;     // how often a running job is asked whether it has ended
  int terminateGraceSeconds = 10;  // after a cancel, how long a job may take to end before it is killed

 private:
  // Sleeps up to `milliseconds`; false when cancelled meanwhile.
  bool Sleep(int milliseconds, const std::atomic<bool>& cancel);
  int WaitForJob(const std::atomic<bool>& cancel, bool& cancelled);

  ProcessLauncher& launcher_;
  BatchEvents& events_;
  std::string programDirectory_;
  CommandForm form_;
};

// "Batch complete. %d landscape files processed." (or "No files processed."), followed by
// lines for failed jobs, lines not started and an early stop when there were any.
std::string BatchCompletionMessage(const BatchSummary& summary);
