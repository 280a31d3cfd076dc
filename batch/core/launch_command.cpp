#include "batch/core/launch_command.h"

#include <unistd.h>

#include <climits>

LaunchCommand BuildLaunchCommand(const BatchJob& job, const std::string& programDirectory, CommandForm form) {
  const bool windows = form == CommandForm::Windows;
  const char separator = windows ? '\\' : '/';
  LaunchCommand command;
  std::vector<std::string>& a = command.arguments;
  a.push_back(programDirectory + separator + (windows ? "orvelle2.exe" : "orvelle2"));
  a.push_back(job.landscapeName);
  a.push_back("-r");
  if (!job.pictureName.empty()) {
    const bool absolute = job.pictureName.find(':') != std::string::npos || (!windows && job.pictureName[0] == '/');
    a.push_back(absolute ? "-o" + job.pictureName : std::string("-oPictures") + separator + job.pictureName);
  }
  if (job.resume)
    a.push_back("-m");
  if (job.horizontalSize != 0)
    a.push_back("-x" + std::to_string(job.horizontalSize));
  if (job.verticalSize != 0)
    a.push_back("-y" + std::to_string(job.verticalSize));
  if (job.fullScreen)
    a.push_back("-f");
  if (job.quality >= 0)
    a.push_back("-q" + std::to_string(job.quality));
  for (const std::string& argument : a)
    command.text += (command.text.empty() ? "" : " ") + argument;
  return command;
}

std::string ModuleDirectory(const std::string& modulePath, CommandForm form) {
  const size_t last = modulePath.rfind(form == CommandForm::Windows ? '\\' : '/');
  return last == std::string::npos ? std::string() : modulePath.substr(0, last);
}

std::string RunningProgramDirectory() {
  char path[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0)
    return {};
  return ModuleDirectory(std::string(path, static_cast<size_t>(length)), CommandForm::Linux);
}
