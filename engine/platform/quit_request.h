// The request to end the application's message loop, which the engine makes after a
// failure it cannot recover from (a noise table that could not be allocated). The host
// decides what quitting means: it installs its own handler, or polls QuitRequested().
#pragma once

typedef void (*QuitRequestHandler)(int exitCode);

// Passes the request to the current handler. The default handler records it.
void PostQuitMessage(int exitCode);
// Replaces the handler; null restores the default. Returns the previous handler.
QuitRequestHandler SetQuitRequestHandler(QuitRequestHandler handler);
// Whether the default handler has recorded a request, and with which exit code.
bool QuitRequested();
int QuitRequestExitCode();
