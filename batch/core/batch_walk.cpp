#include "batch/core/batch_walk.h"

#include <chrono>
#include <thread>

std::vector<std::string> SplitBatchLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (true) {
    const size_t end = text.find('\n', start);
    std::string_view line = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (end != std::string_view::npos && !line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    lines.emplace_back(line);
    if (end == std::string_view::npos)
      break;
    start = end + 1;
  }
  return lines;
}

bool BatchWalk::Sleep(int milliseconds, const std::atomic<bool>& cancel) {
  // The job is polled every `milliseconds`; the cancel flag is looked at more often.
  constexpr int Slice = 50;
  for (int waited = 0; waited < milliseconds; waited += Slice) {
    if (cancel)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(Slice, milliseconds - waited)));
  }
  return !cancel;
}

int BatchWalk::WaitForJob(const std::atomic<bool>& cancel, bool& cancelled) {
  int status = 0;
  while (true) {
    const bool slept = Sleep(pollMilliseconds, cancel);
    if (launcher_.HasEnded(status))
      return status;
    if (!slept)
      break;
  }
  // Cancelled: ask the job to end, and make it end if it does not in time.
  cancelled = true;
  launcher_.Terminate();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(terminateGraceSeconds);
  while (!launcher_.HasEnded(status)) {
    if (std::chrono::steady_clock::now() > deadline) {
      launcher_.Kill();
      while (!launcher_.HasEnded(status))
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return status;
}

BatchSummary BatchWalk::Run(const std::vector<std::string>& lines, const std::atomic<bool>& cancel) {
  BatchSummary summary;
  BatchJob job;
  for (size_t index = 0; index < lines.size(); index++) {
    const int lineNumber = static_cast<int>(index) + 1;
    if (cancel) {
      summary.cancelled = true;
      summary.stoppedAtLine = lineNumber;
      events_.WalkStopped(lineNumber, "cancelled");
      break;
    }
    if (lines[index].size() >= BatchLineBuffer) {
      summary.stoppedAtLine = lineNumber;
      events_.WalkStopped(lineNumber, "the line has " + std::to_string(lines[index].size()) + " characters (at most " +
                                          std::to_string(BatchLineBuffer - 1) + "); the batch stops here");
      break;
    }
    std::string problem;
    switch (ParseBatchLine(lines[index], job, problem)) {
      case BatchLineKind::Skipped:
        continue;
      case BatchLineKind::Refused:
        summary.notStarted++;
        events_.LineRefused(lineNumber, problem);
        continue;
      case BatchLineKind::Job:
        break;
    }
    const LaunchCommand command = BuildLaunchCommand(job, programDirectory_, form_);
    std::string error;
    if (!launcher_.Start(command.arguments, error)) {
      summary.notStarted++;
      events_.StartFailed(lineNumber, command.text, error);
      continue;
    }
    summary.processed++;
    events_.JobStarted(lineNumber, command.text);
    const auto started = std::chrono::steady_clock::now();
    bool cancelled = false;
    const int status = WaitForJob(cancel, cancelled);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (status != 0)
      summary.failed++;
    events_.JobEnded(lineNumber, command.text, status, seconds);
    if (cancelled) {
      summary.cancelled = true;
      summary.stoppedAtLine = lineNumber;
      events_.WalkStopped(lineNumber, "cancelled");
      break;
    }
  }
  return summary;
}

namespace {

std::string Count(int n, const char* one, const char* many) { return std::to_string(n) + " " + (n == 1 ? one : many); }

}  // namespace

std::string BatchCompletionMessage(const BatchSummary& summary) {
  std::string text;
  if (summary.cancelled)
    text = "Batch cancelled at line " + std::to_string(summary.stoppedAtLine) + ". ";
  else
    text = "Batch complete. ";
  if (summary.processed == 0)
    text += "No files processed.";
  else
    text += std::to_string(summary.processed) + " landscape files processed.";
  if (summary.failed > 0)
    text += "\n" + std::to_string(summary.failed) + " of them failed.";
  if (summary.notStarted > 0)
    text += "\n" + Count(summary.notStarted, "line", "lines") + " could not be started.";
  if (summary.stoppedAtLine > 0 && !summary.cancelled)
    text += "\nThe batch stopped at line " + std::to_string(summary.stoppedAtLine) + ", which is too long.";
  return text;
}
