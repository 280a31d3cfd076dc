// The command line that starts the main program for one batch job.
#pragma once

#include <string>
#include <vector>

#include "batch/core/batch_job.h"

enum class CommandForm {
  Linux,    // <dir>/orvelle2, relative pictures into Pictures/, absolute: '/' first or a colon
  Windows,  // <dir>\orvelle2.exe, relative pictures into Pictures\, absolute: a colon
};

struct LaunchCommand {
  std::vector<std::string> arguments;  // what the process is started with; [0] is the program
  std::string text;                    // the arguments joined by blanks, as shown to the user
};

// Switches always stand in the order -r, -o, -m, -x, -y, -f, -q. The landscape name is
// passed as typed: no quotes, no extension.
LaunchCommand BuildLaunchCommand(const BatchJob& job, const std::string& programDirectory, CommandForm form);

// The directory of a module path: everything from the last separator on removed.
std::string ModuleDirectory(const std::string& modulePath, CommandForm form);

// The directory of the running program (from /proc/self/exe); empty when unknown.
std::string RunningProgramDirectory();
