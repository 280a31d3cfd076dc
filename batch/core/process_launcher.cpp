#include "batch/core/process_launcher.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstring>

extern char** environ;

PosixLauncher::~PosixLauncher() {
  // Never leave a child behind unreaped.
  if (pid_ > 0) {
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
}

bool PosixLauncher::Start(const std::vector<std::string>& arguments, std::string& error) {
  if (arguments.empty()) {
    error = "nothing to start";
    return false;
  }
  std::vector<char*> argv;
  for (const std::string& argument : arguments)
    argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  // The child starts with default signal handling even when this process ignores a signal.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t all;
  sigfillset(&all);
  posix_spawnattr_setsigdefault(&attributes, &all);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  pid_t pid = -1;
  const int result = ::posix_spawn(&pid, argv[0], nullptr, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  if (result != 0) {
    error = std::strerror(result);
    return false;
  }
  pid_ = pid;
  return true;
}

bool PosixLauncher::HasEnded(int& status) {
  if (pid_ <= 0) {
    status = 0;
    return true;
  }
  int raw = 0;
  const pid_t result = ::waitpid(pid_, &raw, WNOHANG);
  if (result == 0)
    return false;
  if (result < 0) {
    // Reaped elsewhere or never ours: nothing is left to wait for, and no status is known.
    status = -1;
  } else {
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  }
  pid_ = -1;
  return true;
}

void PosixLauncher::Terminate() {
  if (pid_ > 0)
    ::kill(pid_, SIGTERM);
}

void PosixLauncher::Kill() {
  if (pid_ > 0)
    ::kill(pid_, SIGKILL);
}
