// Registry files in the format regedit and reg.exe read and write.
#pragma once
#include <windows.h>
#include <string>
#include "framework/WorkProgress.h"

// Writes every value and subkey of source, at every depth, to the file path as
// a "Windows Registry Editor Version 5.00" file (UTF-16LE with a byte-order mark,
// CRLF line ends), its keys named rootName (for example
// L"HKEY_CURRENT_USER\\Software\\Vendor\\App") and rootName\<subkey path>.
// The file is written beside path under another name and moved into place only
// when complete, so a failure never leaves a cut file. False when the tree could
// not be read or the file not written. progress, when given, hears how far the
// reading has come (0 to 1); false from it stops the export, which fails.
bool ExportRegFile(HKEY source, const std::wstring& rootName, const std::wstring& path,
                   const CWorkProgress& progress = CWorkProgress());

// A registry file as ExportRegFile writes it that turns base into target:
// imported (as reg import does) over a key that holds base, it leaves target
// there, values byte for byte (key classes, which the format cannot hold,
// apart). It holds the values that target has and base has not (or with
// other data), deletion lines for the values ("name"=-) and subkeys ([-key])
// that target lacks, and sections for the keys that base lacks.
bool ExportRegDifference(HKEY base, HKEY target, const std::wstring& rootName, const std::wstring& path,
                         const CWorkProgress& progress = CWorkProgress());

// A registry file of no key at all: the export of a set of settings that
// names no settings key.
bool WriteEmptyRegFile(const std::wstring& path);

struct RegFileError {
    enum Kind { NONE, UNREADABLE, NOT_A_REG_FILE, MALFORMED, OUTSIDE_ROOT, DELETION, WRITE_FAILED, OTHER_KEY };
    Kind kind = NONE;
    int line = 0; // 1-based line where the fault is; 0 for the file as a whole
    // The file's root, its first key, with a short root name spelled out
    // (HKCU\x as HKEY_CURRENT_USER\x); empty until it is read.
    std::wstring root;
};

// Reads a registry file: "Windows Registry Editor Version 5.00" (UTF-16LE with a
// byte-order mark, as regedit and reg export write it; UTF-8 with or without BOM
// may be accepted too) or "REGEDIT4" (in the system's ANSI code page). Its first key
// is the root, and every other key must lie below it (compared without case, as the
// registry compares names). The root's values and subkeys are written into
// destination, an open empty key: the root key's name itself is not used. Refused,
// with the line number: a malformed line (unterminated string, bad hex, unknown
// value form, a value before the first key...), a key outside the root, and any
// deletion line ([-key] or "name"=-). An empty file or one without the header is
// NOT_A_REG_FILE. On failure destination may hold part of the file; the caller
// discards it. progress as for the export: false from it stops the import.
bool ImportRegFile(const std::wstring& path, HKEY destination, RegFileError* error,
                   const CWorkProgress& progress = CWorkProgress());
