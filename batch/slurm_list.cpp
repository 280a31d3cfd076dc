#include "batch/slurm_list.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "batch/core/batch_walk.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

// One array task: the list line it comes from and the argument vector it starts.
struct SlurmTask {
  int line = 0;
  LaunchCommand command;
};

std::string TaskFile(const std::string& directory, size_t task, const char* suffix) {
  return directory + "/task-" + std::to_string(task) + suffix;
}

bool ReadFile(const std::string& path, std::string& text) {
  std::ifstream file(path, std::ios::binary);
  if (!file)
    return false;
  std::ostringstream contents;
  contents << file.rdbuf();
  text = contents.str();
  return !file.bad();
}

// Written under a temporary name and renamed: readers never see half a file.
bool WriteFile(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".partial-" + std::to_string(getpid());
  {
    std::ofstream file(temporary, std::ios::binary);
    file << text;
    if (!file.flush())
      return false;
  }
  return std::rename(temporary.c_str(), path.c_str()) == 0;
}

// A path inside single quotes for the job script (the only shell the task meets, and it
// sees nothing of the list).
std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// The tasks of a list, numbered as --run numbers lines. Lines too long or refused are
// reported here and take no task.
std::vector<SlurmTask> ListTasks(const std::string& text, const std::string& programDirectory, int& refused,
                                 int& stoppedAtLine) {
  std::vector<SlurmTask> tasks;
  const std::vector<std::string> lines = SplitBatchLines(text);
  for (size_t index = 0; index < lines.size(); index++) {
    const int lineNumber = static_cast<int>(index) + 1;
    if (lines[index].size() >= BatchLineBuffer) {
      std::printf("line %d: the line has %zu characters (at most %zu); the batch stops here\n", lineNumber,
                  lines[index].size(), BatchLineBuffer - 1);
      stoppedAtLine = lineNumber;
      break;
    }
    BatchJob job;
    std::string problem;
    switch (ParseBatchLine(lines[index], job, problem)) {
      case BatchLineKind::Skipped:
        break;
      case BatchLineKind::Refused:
        std::printf("line %d: not started: %s\n", lineNumber, problem.c_str());
        refused++;
        break;
      case BatchLineKind::Job:
        tasks.push_back({lineNumber, BuildLaunchCommand(job, programDirectory, CommandForm::Linux)});
        break;
    }
  }
  return tasks;
}

// Runs `arguments` (found through PATH), its standard output captured; the exit status.
int RunCaptured(const std::vector<std::string>& arguments, std::string& output, std::string& error) {
  int pipeEnds[2];
  if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
    error = std::strerror(errno);
    return -1;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
  std::vector<char*> argv;
  for (const std::string& argument : arguments)
    argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int result = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeEnds[1]);
  if (result != 0) {
    close(pipeEnds[0]);
    error = arguments[0] + ": " + std::strerror(result);
    return -1;
  }
  char buffer[4096];
  ssize_t got;
  while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR))
    if (got > 0)
      output.append(buffer, static_cast<size_t>(got));
  close(pipeEnds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

pid_t runningChild = -1;

void ForwardTermination(int signal) {
  if (runningChild > 0)
    kill(runningChild, signal);
}

}  // namespace

int ReportSlurmList(const std::string& directory) {
  std::string index;
  if (!ReadFile(directory + "/tasks.txt", index)) {
    std::fprintf(stderr, "batch: %s: not the directory of a submitted batch list\n", directory.c_str());
    return 2;
  }
  BatchSummary summary;
  std::istringstream lines(index);
  std::string entry;
  // tasks.txt: "<task> <line> <command>" per task, then "refused <n>" and "stopped <line>".
  while (std::getline(lines, entry)) {
    std::istringstream fields(entry);
    std::string first;
    fields >> first;
    if (first == "refused") {
      fields >> summary.notStarted;
      continue;
    }
    if (first == "stopped") {
      fields >> summary.stoppedAtLine;
      continue;
    }
    int line = 0;
    fields >> line;
    std::string command;
    std::getline(fields, command);
    if (!command.empty() && command[0] == ' ')
      command.erase(0, 1);
    std::string statusText;
    int status = 0;
    double seconds = 0;
    if (ReadFile(TaskFile(directory, std::stoul(first), ".status"), statusText) &&
        statusText.rfind("not-started ", 0) == 0) {
      summary.notStarted++;
      std::printf("line %d: %s: could not be started: %s", line, command.c_str(), statusText.c_str() + 12);
      continue;
    }
    if (!ReadFile(TaskFile(directory, std::stoul(first), ".status"), statusText) ||
        std::sscanf(statusText.c_str(), "%d %lf", &status, &seconds) != 2) {
      summary.notStarted++;
      std::printf("line %d: %s: did not run (cancelled, or its node failed); see %s\n", line, command.c_str(),
                  TaskFile(directory, std::stoul(first), ".log").c_str());
      continue;
    }
    summary.processed++;
    if (status == 0) {
      std::printf("line %d: %s: done in %.1f s\n", line, command.c_str(), seconds);
    } else {
      summary.failed++;
      std::printf("line %d: %s: failed with exit status %d after %.1f s; see %s\n", line, command.c_str(), status,
                  seconds, TaskFile(directory, std::stoul(first), ".log").c_str());
    }
  }
  std::printf("%s\n", BatchCompletionMessage(summary).c_str());
  return summary.AllSucceeded() ? 0 : 1;
}

int SubmitBatchListToSlurm(const std::vector<std::string>& arguments) {
  if (arguments.empty()) {
    std::fprintf(stderr, "batch: --slurm needs a list file\n");
    return 2;
  }
  const std::string& path = arguments[0];
  bool wait = false;
  std::vector<std::string> sbatchOptions;
  for (size_t i = 1; i < arguments.size(); i++) {
    if (arguments[i] == "--wait") {
      wait = true;
    } else if (arguments[i] == "--partition" && i + 1 < arguments.size()) {
      sbatchOptions.push_back("--partition=" + arguments[++i]);
    } else {
      sbatchOptions.push_back(arguments[i]);
    }
  }
  std::string text;
  if (!ReadFile(path, text)) {
    std::fprintf(stderr, "batch: %s: cannot read the batch list: %s\n", path.c_str(), std::strerror(errno));
    return 2;
  }
  const std::string programDirectory = RunningProgramDirectory();
  int refused = 0, stoppedAtLine = 0;
  const std::vector<SlurmTask> tasks = ListTasks(text, programDirectory, refused, stoppedAtLine);
  if (tasks.empty()) {
    BatchSummary summary;
    summary.notStarted = refused;
    summary.stoppedAtLine = stoppedAtLine;
    std::printf("%s\n", BatchCompletionMessage(summary).c_str());
    return summary.AllSucceeded() ? 0 : 1;
  }

  // The job's directory holds each task's argument vector, its log and its exit status. It
  // lies under the current directory, which the nodes share (as they share the pictures).
  char stamp[32];
  const std::time_t now = std::time(nullptr);
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", std::localtime(&now));
  std::error_code fsError;
  const std::string directory =
      (fs::absolute("batch-slurm") / (std::string(stamp) + "-" + std::to_string(getpid()))).string();
  fs::create_directories(directory, fsError);
  std::string index;
  bool written = !fsError;
  for (size_t i = 0; i < tasks.size() && written; i++) {
    std::string vector;
    for (const std::string& argument : tasks[i].command.arguments)
      vector += argument + '\0';
    written = WriteFile(TaskFile(directory, i, ".args"), vector);
    index += std::to_string(i) + " " + std::to_string(tasks[i].line) + " " + tasks[i].command.text + "\n";
  }
  if (refused)
    index += "refused " + std::to_string(refused) + "\n";
  if (stoppedAtLine)
    index += "stopped " + std::to_string(stoppedAtLine) + "\n";
  const std::string script = "#!/bin/sh\n# One task of a batch list: batch starts the task's orvelle2 itself.\nexec " +
                             ShellQuoted(programDirectory + "/batch") + " --slurm-task " + ShellQuoted(directory) +
                             "\n";
  written = written && WriteFile(directory + "/tasks.txt", index) && WriteFile(directory + "/job.sh", script);
  if (!written) {
    std::fprintf(stderr, "batch: cannot write the job's files in %s\n", directory.c_str());
    return 2;
  }

  std::vector<std::string> sbatch = {"sbatch", "--parsable", "--job-name=batch",
                                     "--array=0-" + std::to_string(tasks.size() - 1),
                                     "--output=" + directory + "/task-%a.log"};
  if (wait)
    sbatch.push_back("--wait");
  sbatch.insert(sbatch.end(), sbatchOptions.begin(), sbatchOptions.end());
  sbatch.push_back(directory + "/job.sh");
  std::string output, error;
  const int status = RunCaptured(sbatch, output, error);
  const std::string jobId = output.substr(0, output.find_first_of(";\n"));
  if (status < 0 || jobId.empty()) {
    std::fprintf(stderr, "batch: the list could not be submitted: %s\n",
                 status < 0 ? error.c_str() : "sbatch gave no job id");
    return 2;
  }
  std::printf("Submitted batch job %s: %zu tasks; logs and statuses in %s\n", jobId.c_str(), tasks.size(),
              directory.c_str());
  std::fflush(stdout);
  if (!wait) {
    std::printf("Report with: batch --slurm-report %s\n", directory.c_str());
    return 0;
  }
  return ReportSlurmList(directory);
}

int RunSlurmTask(const std::string& directory) {
  const char* id = std::getenv("SLURM_ARRAY_TASK_ID");
  char* end = nullptr;
  const unsigned long task = id ? std::strtoul(id, &end, 10) : 0;
  if (!id || *id == '\0' || *end != '\0') {
    std::fprintf(stderr, "batch: --slurm-task runs inside a Slurm array task (SLURM_ARRAY_TASK_ID is not set)\n");
    return 2;
  }
  std::string vector;
  if (!ReadFile(TaskFile(directory, task, ".args"), vector) || vector.empty() || vector.back() != '\0') {
    std::fprintf(stderr, "batch: %s: no argument vector for task %lu\n", directory.c_str(), task);
    return 2;
  }
  std::vector<std::string> arguments;
  for (size_t start = 0; start < vector.size();) {
    const size_t stop = vector.find('\0', start);
    arguments.push_back(vector.substr(start, stop - start));
    start = stop + 1;
  }
  // Slurm ends a cancelled task with SIGTERM: orvelle2 gets it too and keeps its checkpoint.
  struct sigaction action = {};
  action.sa_handler = ForwardTermination;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  const auto started = std::chrono::steady_clock::now();
  PosixLauncher launcher;
  std::string error;
  int status = 0;
  if (!launcher.Start(arguments, error)) {
    std::fprintf(stderr, "batch: %s: could not be started: %s\n", arguments[0].c_str(), error.c_str());
    if (!WriteFile(TaskFile(directory, task, ".status"), "not-started " + error + "\n"))
      std::fprintf(stderr, "batch: cannot record the outcome in %s\n", directory.c_str());
    return 127;
  } else {
    runningChild = launcher.Pid();
    while (!launcher.HasEnded(status))
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    runningChild = -1;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  char record[64];
  std::snprintf(record, sizeof record, "%d %.3f\n", status, seconds);
  if (!WriteFile(TaskFile(directory, task, ".status"), record))
    std::fprintf(stderr, "batch: cannot record the exit status in %s\n", directory.c_str());
  return status;
}
