// Texts in the system's ANSI code page (code page 932 on a Japanese system),
// and the one bounded way to read and to fill a fixed text field.
#pragma once
#include <windows.h>
#include <cstddef>
#include <initializer_list>
#include <string>

// A string of the program's string table, converted to the ANSI code page.
std::string LoadStr(UINT id);
// A string of the string table with %1, %2... replaced by args[0], args[1]...
// ('%' is never the second byte of a double-byte character).
std::string FormatStr(UINT id, std::initializer_list<std::string> args);
// The same in wide characters, for texts that may hold what the code page
// cannot (a path).
std::wstring FormatText(UINT id, std::initializer_list<std::wstring> args);
// A UTF-8 text of the sources, converted to the ANSI code page.
std::string FromUtf8(const char* utf8);
// ANSI code page <-> UTF-16. No character is ever replaced by a look-alike
// (the platform's best fit would make "Cafe" of "Café"): NarrowExact is
// false when a character has no place in the code page, and Narrow, for
// texts that always fit it (the program's own), puts '?' there.
std::wstring Widen(const std::string& text);
bool NarrowExact(const std::wstring& text, std::string* narrowed);
std::string Narrow(const std::wstring& text);

// The text of a fixed field of size bytes: up to its NUL, never past the
// field, at most size - 1 bytes and never half a double-byte character (a
// field may lack its terminator).
std::string FieldText(const char* field, size_t size);
template <size_t N>
std::string FieldText(const char (&field)[N]) { return FieldText(field, N); }

// Copies text into a fixed field of size bytes, always NUL-terminated; a
// text that does not fit is cut without splitting a double-byte character.
void CopyField(char* field, size_t size, const std::string& text);
template <size_t N>
void CopyField(char (&field)[N], const std::string& text) { CopyField(field, N, text); }

// A file name made of a title: characters no file name holds (control
// characters and \ / : * ? " < > |) become '_', trailing dots and blanks
// (which the file system drops) go, and a device name gets a '_' in front:
// CON, NUL, COM1, CONIN$... also with an extension and with blanks before
// it ("NUL .txt"). Never empty.
std::wstring FileNameFromTitle(const std::wstring& title);
