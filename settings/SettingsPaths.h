// Settings paths: the files and folders an entry keeps settings in, besides
// its settings key, as the user wrote them: "%APPDATA%\Vendor\App", or
// "app.ini" beside a portable program. A path may begin with one of the
// variables below and is expanded at each use; a relative path is taken
// from the folder of the entry's program file.
#pragma once
#include <string>
#include <vector>

// The full form of a written path: variables expanded, taken from
// programFolder when relative, "." and ".." resolved. Empty when it names no
// path.
std::wstring ExpandSettingsPath(const std::wstring& written, const std::wstring& programFolder);
// How a picked path is written: below programFolder, relative to it, so that
// a portable program takes its settings along; below the folder of one of
// %APPDATA%, %LOCALAPPDATA%, %USERPROFILE%, %PUBLIC% and %ProgramData% (the
// deepest that holds it), with that variable, so that a store moved to
// another user or machine still names the same settings.
std::wstring WrittenSettingsPath(const std::wstring& picked, const std::wstring& programFolder);
// The folder of a program file's path (the command line's program).
std::wstring ProgramFolder(const std::wstring& program);

// Why a path cannot be a settings path: a restore makes the path equal to
// its snapshot, so it would wipe whatever else such a folder holds.
enum PathRefusal {
    PATH_ACCEPTED = 0,
    PATH_NONE = 1,          // names no path
    PATH_ROOT = 2,          // a drive's or a share's root
    PATH_SHARED = 3,        // a folder that holds other programs' settings (the profile, Windows...), or above one
    PATH_SNAPSHOTS = 4,     // the launcher's snapshot folder, one that holds it, or one inside it
    PATH_NESTED = 5,        // inside another path of the entry, or holding one
    PATH_LINK = 6,          // itself a junction or a symbolic link
};
// The first of paths that cannot be a settings path, and why; *refused is
// its index. PATH_ACCEPTED when all can be.
PathRefusal CheckSettingsPaths(const std::vector<std::wstring>& paths, const std::wstring& programFolder,
                               size_t* refused);

// Where the snapshots of settings files are kept: per user, below the
// user's local application data.
std::wstring SnapshotFilesRoot();
