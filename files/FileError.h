// What a file operation could not do.
#pragma once
#include <windows.h>
#include <string>

struct FileError {
    // The path the operation failed on: as its caller named it, or a file
    // below it named through that path.
    std::wstring path;
    // The system's error code; ERROR_CANCELLED when the work was asked to stop.
    DWORD code = ERROR_SUCCESS;
};

// The code of a refusal to work on a path that is itself a link (a reparse
// point), where the work would follow it or remove it:
// ERROR_REPARSE_POINT_ENCOUNTERED.
const DWORD ERROR_LINK_REFUSED = 4395;

// Fills error (when given) and returns false, for a failing operation's return.
inline bool FailWith(FileError* error, const std::wstring& path, DWORD code)
{
    if (error)
        *error = FileError{path, code};
    return false;
}
