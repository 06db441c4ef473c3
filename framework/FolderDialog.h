// The system's folder picker (IFileOpenDialog picking folders).
#pragma once
#include <windows.h>
#include <string>

// Asks owner's user for a folder; false when none was chosen or the system
// has no such dialog. title: a text of the program.
bool PickFolder(HWND owner, const std::string& title, std::wstring* folder);
