// Texts in the system's ANSI code page (code page 932 on a Japanese system).
#pragma once
#include <windows.h>
#include <string>

// A string of the program's string table, converted to the ANSI code page.
std::string LoadStr(UINT id);
// A UTF-8 text of the sources, converted to the ANSI code page.
std::string FromUtf8(const char* utf8);
// Copies text into a fixed field of size bytes, always NUL-terminated; a
// text that does not fit is cut without splitting a double-byte character.
void CopyField(char* field, size_t size, const char* text);
