// Batch lists on any bytes: every line is parsed and turned into a command line in both
// forms without crashing, reading out of bounds or overflowing a value; nothing is started.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "batch/core/batch_job.h"
#include "batch/core/batch_walk.h"
#include "batch/core/launch_command.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const std::string& line : SplitBatchLines(text)) {
    BatchJob job;
    std::string problem;
    const BatchLineKind kind = ParseBatchLine(line, job, problem);
    if (kind == BatchLineKind::Refused && problem.empty())
      __builtin_trap();  // a refusal always says why
    if (kind != BatchLineKind::Job)
      continue;
    for (CommandForm form : {CommandForm::Linux, CommandForm::Windows})
      BuildLaunchCommand(job, "/opt/orvelle", form);
  }
  return 0;
}
