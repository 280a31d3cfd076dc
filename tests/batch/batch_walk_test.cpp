// The batch walk against a launcher that records what it is asked to start.
#include "batch/core/batch_walk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Starts nothing: records the programs, fails to start those named "missing", and lets each
// job run for `polls` polls before it ends with the status its landscape name asks for.
class RecordingLauncher : public ProcessLauncher {
 public:
  bool Start(const std::vector<std::string>& arguments, std::string& error) override {
    EXPECT_FALSE(running) << "a job started while another was running";
    log.push_back("start " + arguments[1]);
    if (arguments[1] == "missing") {
      error = "No such file or directory";
      return false;
    }
    running = true;
    remainingPolls = polls;
    if (cancelOnStart)
      *cancelOnStart = true;
    exitStatus = arguments[1] == "broken" ? 2 : 0;
    return true;
  }
  bool HasEnded(int& status) override {
    EXPECT_TRUE(running);
    if (!terminated && --remainingPolls > 0)
      return false;
    running = false;
    status = terminated ? 130 : exitStatus;
    log.push_back("end");
    return true;
  }
  void Terminate() override {
    log.push_back("terminate");
    terminated = true;
  }
  void Kill() override { log.push_back("kill"); }

  int polls = 2;
  std::atomic<bool>* cancelOnStart = nullptr;  // set as soon as a job runs
  bool running = false, terminated = false;
  int remainingPolls = 0, exitStatus = 0;
  std::vector<std::string> log;
};

class RecordingEvents : public BatchEvents {
 public:
  void JobStarted(int line, const std::string& command) override { Add(line, "started " + command); }
  void JobEnded(int line, const std::string&, int status, double) override {
    Add(line, "ended " + std::to_string(status));
  }
  void StartFailed(int line, const std::string&, const std::string& reason) override {
    Add(line, "not started: " + reason);
  }
  void LineRefused(int line, const std::string&) override { Add(line, "refused"); }
  void WalkStopped(int line, const std::string& reason) override { Add(line, "stopped: " + reason); }
  void Add(int line, const std::string& what) { log.push_back(std::to_string(line) + " " + what); }
  std::vector<std::string> log;
};

struct Walk {
  RecordingLauncher launcher;
  RecordingEvents events;
  BatchWalk walk{launcher, events, "/d"};
  std::atomic<bool> cancel{false};
  Walk() { walk.pollMilliseconds = 1; }
  BatchSummary Run(const std::string& text) { return walk.Run(SplitBatchLines(text), cancel); }
};

TEST(BatchWalk, SplitsLinesLikeAnEditor) {
  EXPECT_EQ(SplitBatchLines("a\r\nb\nc"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(SplitBatchLines("a\n"), (std::vector<std::string>{"a", ""}));
  EXPECT_EQ(SplitBatchLines(""), std::vector<std::string>{""});
}

TEST(BatchWalk, RunsEveryUsableLineOneAfterTheOther) {
  Walk w;
  const BatchSummary summary = w.Run("/ help\n\nfirst x 10\r\n broken\nmissing\nlast Final\n");
  EXPECT_EQ(w.launcher.log, (std::vector<std::string>{"start first", "end", "start broken", "end", "start missing",
                                                      "start last", "end"}));
  EXPECT_EQ(w.events.log,
            (std::vector<std::string>{
                "3 started /d/orvelle2 first -r -x10", "3 ended 0", "4 started /d/orvelle2 broken -r", "4 ended 2",
                "5 not started: No such file or directory", "6 started /d/orvelle2 last -r -q2", "6 ended 0"}));
  // The count is of jobs started, failed or not; failures and lines not started are told apart.
  EXPECT_EQ(summary.processed, 3);
  EXPECT_EQ(summary.failed, 1);
  EXPECT_EQ(summary.notStarted, 1);
  EXPECT_FALSE(summary.AllSucceeded());
  EXPECT_EQ(BatchCompletionMessage(summary),
            "Batch complete. 3 landscape files processed.\n1 of them failed.\n1 line could not be started.");
}

TEST(BatchWalk, CompletionMessages) {
  Walk w;
  BatchSummary summary = w.Run("/ only\n\n/ comments\n");
  EXPECT_TRUE(w.launcher.log.empty());
  EXPECT_TRUE(summary.AllSucceeded());
  EXPECT_EQ(BatchCompletionMessage(summary), "Batch complete. No files processed.");
  summary = Walk().Run("a\nb");
  EXPECT_EQ(BatchCompletionMessage(summary), "Batch complete. 2 landscape files processed.");
  summary = Walk().Run("missing\nmissing");
  EXPECT_EQ(BatchCompletionMessage(summary), "Batch complete. No files processed.\n2 lines could not be started.");
}

TEST(BatchWalk, ALineOf1000CharactersStopsTheBatchThere) {
  Walk w;
  const BatchSummary summary = w.Run("a\nb" + std::string(998, ' ') + "\n" + std::string(1000, 'c') + "\nd\n");
  EXPECT_EQ(w.launcher.log.size(), 4u);  // a and b (999 characters); not c, not d
  EXPECT_EQ(summary.processed, 2);
  EXPECT_EQ(summary.stoppedAtLine, 3);
  EXPECT_EQ(w.events.log.back().substr(0, 11), "3 stopped: ");
  EXPECT_EQ(BatchCompletionMessage(summary),
            "Batch complete. 2 landscape files processed.\nThe batch stopped at line 3, which is too long.");
}

TEST(BatchWalk, CancelEndsTheRunningJobAndStops) {
  Walk w;
  w.launcher.polls = 1000000;
  w.launcher.cancelOnStart = &w.cancel;
  const BatchSummary summary = w.Run("a\nb\n");
  EXPECT_EQ(w.launcher.log, (std::vector<std::string>{"start a", "terminate", "end"}));
  EXPECT_TRUE(summary.cancelled);
  EXPECT_EQ(summary.processed, 1);
  EXPECT_EQ(BatchCompletionMessage(summary),
            "Batch cancelled at line 1. 1 landscape files processed.\n1 of them failed.");
}

TEST(BatchWalk, AJobThatIgnoresTerminateIsKilled) {
  class Stubborn : public RecordingLauncher {
    bool HasEnded(int& status) override {
      if (log.back() != "kill")
        return false;
      status = 137;
      running = false;
      return true;
    }
  } launcher;
  RecordingEvents events;
  BatchWalk walk(launcher, events, "/d");
  walk.terminateGraceSeconds = 0;
  std::atomic<bool> cancel{false};
  launcher.cancelOnStart = &cancel;
  walk.Run({"a", "b"}, cancel);
  EXPECT_EQ(launcher.log, (std::vector<std::string>{"start a", "terminate", "kill"}));
  EXPECT_EQ(events.log.back(), "1 stopped: cancelled");
}

}  // namespace
