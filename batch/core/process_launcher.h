// Starting the main program and telling when it has ended.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// Runs one process at a time.
class ProcessLauncher {
 public:
  virtual ~ProcessLauncher() = default;
  // Starts `arguments` ([0] is the program); false with `error` when it cannot be started.
  virtual bool Start(const std::vector<std::string>& arguments, std::string& error) = 0;
  // Whether the started process has ended; then `status` is its exit status (128 + the
  // signal number when a signal ended it) and the process has been reaped.
  virtual bool HasEnded(int& status) = 0;
  // Asks the running process to end (it may save its work first), or makes it end.
  virtual void Terminate() = 0;
  virtual void Kill() = 0;
};

// posix_spawn from the argument vector, never through a shell: nothing in a batch line can
// run as a command. Default environment and working directory, standard streams inherited.
class PosixLauncher : public ProcessLauncher {
 public:
  ~PosixLauncher() override;
  bool Start(const std::vector<std::string>& arguments, std::string& error) override;
  bool HasEnded(int& status) override;
  void Terminate() override;
  void Kill() override;
  pid_t Pid() const { return pid_; }  // the running process; -1 when none

 private:
  pid_t pid_ = -1;
};
