// Runs the batch walk off the interface thread and reports to the window as it goes.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "batch/core/batch_walk.h"

class BatchRunner : public QObject {
  Q_OBJECT
 public:
  BatchRunner(std::string programDirectory, std::vector<std::string> lines, QObject* parent = nullptr);
  // Cancels a running walk and waits for it.
  ~BatchRunner() override;

  void Start();
  // Ends the running job and stops the walk.
  void Cancel() { cancel_ = true; }
  // The lines the walk will try to start (lines before one too long to read).
  int JobCount() const { return jobCount_; }
  // One line per job and per line not started, as the walk reported them.
  const QStringList& Outcomes() const { return outcomes_; }

  int pollMilliseconds = 2000;

 signals:
  void jobStarted(int line, const QString& command);
  void jobsDone(int done);
  void finished(const QString& message, bool allSucceeded);

 private:
  friend class RunnerEvents;
  void Post(std::function<void()> work);

  std::string programDirectory_;
  std::vector<std::string> lines_;
  int jobCount_ = 0;
  int done_ = 0;
  QStringList outcomes_;
  std::atomic<bool> cancel_{false};
  std::thread thread_;
};
