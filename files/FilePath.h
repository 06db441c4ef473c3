// Paths of files and folders as the file system reads and compares them.
//
// Every file call of this layer takes the long-path form of a name
// (\\?\C:\... or \\?\UNC\server\share\...): names longer than MAX_PATH
// work, and the system neither shortens nor reinterprets them.
#pragma once
#include <string>
#include "files/FileError.h"

// path made absolute, "." and ".." resolved, without a trailing backslash
// (but for a drive's root, "C:\"); a long-path form comes back in the plain
// one. Empty when the system cannot make it (an empty or malformed name).
std::wstring FullPath(const std::wstring& path);
// The long-path form of FullPath(path); empty where that is.
std::wstring LongPath(const std::wstring& path);
// relative (a name or a path of names) below root; relative empty is root.
std::wstring JoinPath(const std::wstring& root, const std::wstring& relative);

// A path in both its forms: the name its caller knows it by, for errors,
// and the long form, for the system.
struct TreePath {
    std::wstring name;
    std::wstring path;
    static TreePath Of(const std::wstring& root) { return TreePath{root, LongPath(root)}; }
    TreePath Below(const std::wstring& relative) const
        { return TreePath{JoinPath(name, relative), JoinPath(path, relative)}; }
};

// The full forms of the paths compared as the file system compares names:
// ordinal, ignoring letter case. IsInsideOrSame: path is folder or lies
// below it, at a backslash ("C:\ab" is not inside "C:\a").
bool SamePath(const std::wstring& a, const std::wstring& b);
bool IsInsideOrSame(const std::wstring& path, const std::wstring& folder);

enum class PathKind {
    Missing,
    File,
    Folder,
    // A reparse point of any kind (a junction, a symbolic link, a mount
    // point), file or folder: never followed, never removed.
    Link,
    // The system cannot tell (no access to the folder above, ...): error says why.
    Unknown,
};
// What path itself is; a link is not followed.
PathKind GetPathKind(const std::wstring& path, FileError* error = nullptr);
inline bool PathExists(const std::wstring& path) { return GetPathKind(path) != PathKind::Missing; }
