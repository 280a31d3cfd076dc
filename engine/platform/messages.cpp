#include "engine/platform/messages.h"

#include <atomic>
#include <cstdio>

const char* const OutOfMemoryCaption = "Orvelle";
const char* const OutOfMemoryText =
    "Out of memory ! Crash imminent... Save your landscape immediately under a new name, then exit.";

namespace {

void WriteToStandardError(const char* caption, const char* text, MessageIcon) {
  std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
}

void SilentBeep(MessageIcon) {}

std::atomic<MessageBoxHandler> messageHandler{WriteToStandardError};
std::atomic<BeepHandler> beepHandler{SilentBeep};

}  // namespace

void ShowMessageBox(const char* caption, const char* text, MessageIcon icon) { messageHandler.load()(caption, text, icon); }

void MessageBeep(MessageIcon kind) { beepHandler.load()(kind); }

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  return messageHandler.exchange(handler ? handler : WriteToStandardError);
}

BeepHandler SetBeepHandler(BeepHandler handler) { return beepHandler.exchange(handler ? handler : SilentBeep); }

void MessageOutOfmemory() { ShowMessageBox(OutOfMemoryCaption, OutOfMemoryText, MessageIconStop); }
