// The application's help: a plain window that shows the help text the
// program carries as a resource (type "HELPTEXT", name 1, UTF-8), so that it
// shows the same on every system, with no help viewer needed.
#pragma once
#include <windows.h>

// Shows the help window, creating it unless existing is still open, and
// brings it to the front. Returns the window (the caller destroys it).
HWND ShowHelpWindow(HWND existing, HWND owner);
