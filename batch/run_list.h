// `batch --run LIST`: runs a batch list without a window.
#pragma once

#include <string>

// Runs the list file at `path` with the main program beside this executable, reporting one
// line per job on standard output. Returns the exit status: 0 when every line was started
// and every job ended with status 0, 1 otherwise, 2 when the list cannot be read, 130 when
// interrupted.
int RunBatchList(const std::string& path);
