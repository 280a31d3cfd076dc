#include "batch/gui/batch_runner.h"

#include <QMetaObject>

// Carries the walk's events from its thread to the runner's (the interface thread).
class RunnerEvents : public BatchEvents {
 public:
  explicit RunnerEvents(BatchRunner* runner) : runner_(runner) {}
  void JobStarted(int line, const std::string& command) override {
    const QString text = QString::fromStdString(command);
    runner_->Post([r = runner_, line, text] { emit r->jobStarted(line, text); });
  }
  void JobEnded(int line, const std::string& command, int status, double seconds) override {
    QString outcome = status == 0
                          ? QString("done in %1 s").arg(seconds, 0, 'f', 1)
                          : QString("failed with exit status %1 after %2 s").arg(status).arg(seconds, 0, 'f', 1);
    Done(QString("line %1: %2: %3").arg(line).arg(QString::fromStdString(command), outcome));
  }
  void StartFailed(int line, const std::string& command, const std::string& reason) override {
    Done(QString("line %1: %2: could not be started: %3")
             .arg(line)
             .arg(QString::fromStdString(command), QString::fromStdString(reason)));
  }
  void LineRefused(int line, const std::string& reason) override {
    Add(QString("line %1: not started: %2").arg(line).arg(QString::fromStdString(reason)));
  }
  void WalkStopped(int line, const std::string& reason) override {
    Add(QString("line %1: %2").arg(line).arg(QString::fromStdString(reason)));
  }

 private:
  void Add(const QString& outcome) {
    runner_->Post([r = runner_, outcome] { r->outcomes_ << outcome; });
  }
  void Done(const QString& outcome) {
    runner_->Post([r = runner_, outcome] {
      r->outcomes_ << outcome;
      emit r->jobsDone(++r->done_);
    });
  }
  BatchRunner* runner_;
};

BatchRunner::BatchRunner(std::string programDirectory, std::vector<std::string> lines, QObject* parent)
    : QObject(parent), programDirectory_(std::move(programDirectory)), lines_(std::move(lines)) {
  for (const std::string& line : lines_) {
    if (line.size() >= BatchLineBuffer)
      break;
    BatchJob job;
    std::string problem;
    if (ParseBatchLine(line, job, problem) == BatchLineKind::Job)
      jobCount_++;
  }
}

BatchRunner::~BatchRunner() {
  cancel_ = true;
  if (thread_.joinable())
    thread_.join();
}

void BatchRunner::Post(std::function<void()> work) {
  QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

void BatchRunner::Start() {
  thread_ = std::thread([this] {
    PosixLauncher launcher;
    RunnerEvents events(this);
    BatchWalk walk(launcher, events, programDirectory_);
    walk.pollMilliseconds = pollMilliseconds;
    const BatchSummary summary = walk.Run(lines_, cancel_);
    const QString message = QString::fromStdString(BatchCompletionMessage(summary));
    const bool ok = summary.AllSucceeded();
    Post([this, message, ok] { emit finished(message, ok); });
  });
}
