#include "framework/HelpWindow.h"

// Placeholder until the help window is written.
HWND ShowHelpWindow(HWND existing, HWND owner)
{
    return existing;
}
