#include "settings/SettingsPaths.h"
#include <shlobj.h>
#include "files/FilePath.h"
#include "framework/Scoped.h"

namespace {

std::wstring KnownFolder(REFKNOWNFOLDERID id)
{
    CCoTaskPtr<wchar_t> path;
    return SUCCEEDED(::SHGetKnownFolderPath(id, 0, nullptr, &path)) ? FullPath(std::wstring(path)) : std::wstring();
}

// The folders that hold many programs' settings, or the system's.
std::vector<std::wstring> SharedFolders()
{
    std::vector<std::wstring> folders;
    for (REFKNOWNFOLDERID id : {FOLDERID_Profile, FOLDERID_RoamingAppData, FOLDERID_LocalAppData, FOLDERID_Documents,
                                FOLDERID_Desktop, FOLDERID_Windows, FOLDERID_ProgramFiles, FOLDERID_ProgramFilesX86,
                                FOLDERID_ProgramData, FOLDERID_Public})
        folders.push_back(KnownFolder(id));
    wchar_t temporary[MAX_PATH + 1];
    DWORD length = ::GetTempPathW(MAX_PATH + 1, temporary);
    if (length > 0 && length <= MAX_PATH)
        folders.push_back(FullPath(temporary));
    return folders;
}

bool IsRoot(const std::wstring& full)
{
    // "C:\", or "\\server\share" with nothing below it.
    if (full.size() == 3 && full[1] == L':')
        return true;
    if (full.compare(0, 2, L"\\\\") != 0)
        return false;
    size_t share = full.find(L'\\', 2);
    return share != std::wstring::npos && full.find(L'\\', share + 1) == std::wstring::npos;
}

// Either lies in the other.
bool Overlap(const std::wstring& a, const std::wstring& b)
{
    return !a.empty() && !b.empty() && (IsInsideOrSame(a, b) || IsInsideOrSame(b, a));
}

} // namespace

std::wstring ExpandSettingsPath(const std::wstring& written, const std::wstring& programFolder)
{
    DWORD size = ::ExpandEnvironmentStringsW(written.c_str(), nullptr, 0);
    std::wstring expanded(size, L'\0');
    if (size == 0 || ::ExpandEnvironmentStringsW(written.c_str(), &expanded[0], size) != size)
        return std::wstring();
    expanded.resize(size - 1);
    // A variable that is not set stays as it was: it names no path.
    if (expanded.empty() || expanded.find(L'%') != std::wstring::npos)
        return std::wstring();
    bool absolute = (expanded.size() > 2 && expanded[1] == L':' && expanded[2] == L'\\')
        || expanded.compare(0, 2, L"\\\\") == 0;
    if (!absolute && (programFolder.empty() || expanded[0] == L'\\' || expanded.find(L':') != std::wstring::npos))
        return std::wstring();
    return FullPath(absolute ? expanded : JoinPath(programFolder, expanded));
}

std::wstring WrittenSettingsPath(const std::wstring& picked, const std::wstring& programFolder)
{
    std::wstring full = FullPath(picked), written = full;
    if (!programFolder.empty() && full.size() > programFolder.size() && IsInsideOrSame(full, programFolder))
        return full.substr(programFolder.size() + (programFolder.back() == L'\\' ? 0 : 1));
    size_t deepest = 0;
    for (const wchar_t* variable : {L"%APPDATA%", L"%LOCALAPPDATA%", L"%USERPROFILE%", L"%PUBLIC%", L"%ProgramData%"}) {
        std::wstring folder = ExpandSettingsPath(variable, std::wstring());
        if (folder.size() > deepest && folder.size() < full.size() && IsInsideOrSame(full, folder)) {
            deepest = folder.size();
            written = variable + full.substr(folder.size());
        }
    }
    return written;
}

std::wstring ProgramFolder(const std::wstring& program)
{
    std::wstring full = FullPath(program);
    size_t cut = full.rfind(L'\\');
    return cut == std::wstring::npos ? std::wstring() : FullPath(full.substr(0, cut + 1));
}

std::wstring SnapshotFilesRoot()
{
    std::wstring local = KnownFolder(FOLDERID_LocalAppData);
    return local.empty() ? local : JoinPath(local, L"Varnolite\\Cobweld\\Save");
}

PathRefusal CheckSettingsPaths(const std::vector<std::wstring>& paths, const std::wstring& programFolder,
                               size_t* refused)
{
    const std::vector<std::wstring> shared = SharedFolders();
    const std::wstring snapshots = FullPath(SnapshotFilesRoot() + L"\\..");
    std::vector<std::wstring> full;
    for (const std::wstring& path : paths)
        full.push_back(ExpandSettingsPath(path, programFolder));
    for (size_t i = 0; i < full.size(); ++i) {
        *refused = i;
        if (full[i].empty())
            return PATH_NONE;
        if (GetPathKind(full[i]) == PathKind::Link)
            return PATH_LINK;
        if (IsRoot(full[i]))
            return PATH_ROOT;
        for (const std::wstring& folder : shared) {
            if (!folder.empty() && IsInsideOrSame(folder, full[i]))
                return PATH_SHARED;
        }
        if (Overlap(full[i], snapshots))
            return PATH_SNAPSHOTS;
        for (size_t j = 0; j < i; ++j) {
            if (Overlap(full[i], full[j]))
                return PATH_NESTED;
        }
    }
    return PATH_ACCEPTED;
}
