#include "engine/platform/quit_request.h"

#include <atomic>

namespace {

std::atomic<bool> requested{false};
std::atomic<int> requestedExitCode{0};

void RecordRequest(int exitCode) {
  requestedExitCode = exitCode;
  requested = true;
}

std::atomic<QuitRequestHandler> quitHandler{RecordRequest};

}  // namespace

void PostQuitMessage(int exitCode) { quitHandler.load()(exitCode); }

QuitRequestHandler SetQuitRequestHandler(QuitRequestHandler handler) {
  return quitHandler.exchange(handler ? handler : RecordRequest);
}

bool QuitRequested() { return requested; }

int QuitRequestExitCode() { return requestedExitCode; }
