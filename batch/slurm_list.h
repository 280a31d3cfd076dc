// `batch --slurm LIST`: a batch list as one Slurm job array, one task per usable line, each
// task starting orvelle2 with the argument vector `batch --run` would use for that line.
#pragma once

#include <string>
#include <vector>

// batch --slurm LIST [--partition P] [--wait] [sbatch options]: returns the exit status
// (with --wait as `--run` gives it; without, 0 once submitted).
int SubmitBatchListToSlurm(const std::vector<std::string>& arguments);

// batch --slurm-task DIR: one array task (SLURM_ARRAY_TASK_ID) of a submitted list: starts
// its argument vector, records the exit status in DIR, and exits with it.
int RunSlurmTask(const std::string& directory);

// batch --slurm-report DIR: reports a submitted list's outcome as --wait does.
int ReportSlurmList(const std::string& directory);
