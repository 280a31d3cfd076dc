// The picture loop: rows shared among worker threads, each with its own worker of the
// engine's render session, which estimates every pixel and seeds its random draws from the
// pixel alone, so the picture is the same bit for bit whatever the number of threads.
#pragma once

#include <atomic>
#include <functional>

#include "engine/render/render_session.h"
#include "host/checkpoint.h"

struct RenderLoopSettings {
  int threads = 1;
  // When above 0, no row is started once this many rows are done, as if interrupted
  // (tests stop a render at a known place this way).
  int stopAfterRows = 0;
};

// Renders every row of `work` not yet marked done, writing pixels and then the row's flag;
// returns the number of samples traced.
// `tick` is called on the calling thread about four times a second with the number of
// rows done so far; rendering stops early (rows in progress are finished) once `stop`
// becomes true. Each worker thread estimates pixels through its own worker of `session`.
// `rowsReady`, when given, is called with the number of rows from the top down that are
// all done, so that the caller can write them out while the rest renders: on the calling
// thread every few rows while a core is free, or else by the worker threads between rows;
// never by two threads at once.
long long RenderRows(const RenderSession& session, const RenderLoopSettings& settings, Checkpoint& work,
                     const std::atomic<bool>& stop, const std::function<void(int rowsDone)>& tick,
                     const std::function<void(int topRowsDone)>& rowsReady = nullptr);
