// The application's help: a plain window that shows the help text the
// program carries as a resource (type "HELPTEXT", name 1, UTF-8), so that it
// shows the same on every system, with no help viewer needed. The text's
// first line is the window's caption; the lines after it (and the blank
// lines that follow the caption) are the text shown.
#pragma once
#include <windows.h>

// Shows the help window, creating it unless existing is still open, and
// brings it to the front. The window is owned by owner (which may be NULL):
// it goes with its owner, and stays usable while the owner is disabled by a
// modal dialog. Closes on its close box or Escape. Returns the window (the
// caller destroys it when it is still open), or NULL with a beep when the
// program has no help text.
HWND ShowHelpWindow(HWND existing, HWND owner);
