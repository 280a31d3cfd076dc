// Message boxes and beeps. The engine reports the few conditions the user must see
// through one process-wide handler that the host (or a test) can replace; the
// default handler writes "caption: text" to standard error.
#pragma once

enum MessageIcon {
  MessageIconInformation,
  MessageIconWarning,
  MessageIconStop,
};

typedef void (*MessageBoxHandler)(const char* caption, const char* text, MessageIcon icon);
typedef void (*BeepHandler)(MessageIcon kind);

// Shows a message through the current handler.
void ShowMessageBox(const char* caption, const char* text, MessageIcon icon);
// Sounds the system beep through the current handler (the default does nothing audible).
void MessageBeep(MessageIcon kind);

// Replace the handlers; null restores the default. Return the previous handler.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
BeepHandler SetBeepHandler(BeepHandler handler);

// The shared warning shown when memory for bulk data runs out.
void MessageOutOfmemory();

extern const char* const OutOfMemoryCaption;
extern const char* const OutOfMemoryText;
