// batch: renders a list of landscape files, one orvelle2 process per line; without --run it
// opens the desktop application in which lists are edited, printed and run.
#include <QApplication>
#include <QFileInfo>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "batch/core/launch_command.h"
#include "batch/gui/commands.h"
#include "batch/gui/main_window.h"
#include "batch/gui/registration.h"
#include "batch/run_list.h"
#include "batch/slurm_list.h"
#include "host/version.h"

namespace {

constexpr const char* Usage =
    "usage: batch [FILE]\n"
    "       batch --run LIST\n"
    "       batch --slurm LIST [--partition P] [--wait] [sbatch options]\n"
    "       batch unregister\n"
    "       batch --help | --version\n"
    "\n"
    "Renders the landscapes of a batch list one after the other: for every line that names a\n"
    "landscape, orvelle2 (beside this program) is started with the line's options and waited for.\n"
    "\n"
    "  FILE         open the desktop application (with FILE, else a new list); F9 runs the list.\n"
    "               Each start registers the application with the desktop (a desktop entry in\n"
    "               the user's data directory); `unregister` removes that and exits.\n"
    "  --run LIST   run the list file LIST without a window: one line per job on standard\n"
    "               output (line number, command, outcome, time), then the count. Exit status 0\n"
    "               when every line was started and every job ended with status 0, else 1.\n"
    "               Ctrl-C ends the running job and stops (exit status 130).\n"
    "  --slurm LIST submit the list to Slurm as one job array, one task per line (see\n"
    "               docs/cluster.md); with --wait, wait and report as --run does. Other options\n"
    "               go to sbatch. batch --slurm-report DIR reports a submitted list later.\n"
    "\n"
    "A line: a landscape name, then options separated by spaces, commas or equal signs:\n"
    "  x = <width>, y = <height>, Picture = <file>, Sketch, Preview, Final, Ultra, User,\n"
    "  Resume, FullScreen. Relative picture names go into Pictures/. Lines beginning with /\n"
    "  are comments. Example:  Valley Final, Picture = Valley.jpg x 640\n";

int RunApplication(int argc, char** argv) {
  QApplication application(argc, argv);
  application.setApplicationName("batch");
  application.setApplicationVersion(OrvelleVersion);
  const QStringList arguments = application.arguments().mid(1);
  const QString program = QFileInfo(QApplication::applicationFilePath()).absoluteFilePath();
  const QString data = UserDataDirectory();
  if (AsksToUnregister(arguments)) {
    for (const QString& failure : UnregisterBatchApplication(data))
      std::fputs(failure.toLocal8Bit().constData(), stderr);
    return 0;
  }
  // Written anew at every start, as the program may have moved.
  for (const QString& failure : RegisterBatchApplication(data, program))
    std::fputs(failure.toLocal8Bit().constData(), stderr);

  MainWindow window(QString::fromStdString(RunningProgramDirectory()));
  for (const QString& argument : arguments)
    if (!argument.startsWith('-')) {
      window.OpenDocument(argument);
      break;
    }
  window.show();
  return application.exec();
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; i++) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("batch %s\n", OrvelleVersion);
      return 0;
    }
    if (std::strcmp(argv[i], "--help") == 0) {
      std::fputs(Usage, stdout);
      return 0;
    }
  }
  if (argc >= 2 && std::strcmp(argv[1], "--slurm") == 0)
    return SubmitBatchListToSlurm(std::vector<std::string>(argv + 2, argv + argc));
  if (argc == 3 && std::strcmp(argv[1], "--slurm-task") == 0)
    return RunSlurmTask(argv[2]);
  if (argc == 3 && std::strcmp(argv[1], "--slurm-report") == 0)
    return ReportSlurmList(argv[2]);
  if (argc >= 2 && std::strcmp(argv[1], "--run") == 0) {
    if (argc == 3)
      return RunBatchList(argv[2]);
    std::fputs(Usage, stderr);
    return 2;
  }
  // Unknown double-dash options are mistakes, not file names.
  for (int i = 1; i < argc; i++)
    if (std::strncmp(argv[i], "--", 2) == 0) {
      std::fprintf(stderr, "batch: unknown option %s\n%s", argv[i], Usage);
      return 2;
    }
  return RunApplication(argc, argv);
}
