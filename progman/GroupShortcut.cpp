#include "progman/GroupShortcut.h"
#include <shlobj.h>
#include <shobjidl.h>
#include "framework/Scoped.h"
#include "framework/Text.h"

namespace {
// A shell link saved onto a device name (Wine: NUL, AUX, COM1...) reports
// success, and the name even answers GetFileAttributes and FindFirstFile as
// a file: only an open handle tells a file on disk from a device.
bool IsWrittenFile(const std::wstring& path)
{
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    CHandle file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING, 0, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    return file.IsValid() && ::GetFileType(file) == FILE_TYPE_DISK && ::GetFileInformationByHandle(file, &info) &&
           !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && (info.nFileSizeLow || info.nFileSizeHigh);
}
}

CShortcutNames::CShortcutNames()
{
    m_taken.push_back(L"Cobweld");
}

bool CShortcutNames::Taken(const std::wstring& name) const
{
    for (const std::wstring& taken : m_taken) {
        if (::CompareStringOrdinal(taken.c_str(), -1, name.c_str(), -1, TRUE) == CSTR_EQUAL)
            return true;
    }
    return false;
}

std::wstring CShortcutNames::Take(const std::string& title)
{
    std::wstring base = FileNameFromTitle(Widen(title)), name = base;
    for (int number = 2; Taken(name); ++number)
        name = base + L" (" + std::to_wstring(number) + L")";
    m_taken.push_back(name);
    return name + L".lnk";
}

std::wstring GroupFolderPath()
{
    wchar_t programs[MAX_PATH];
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, programs)))
        return std::wstring();
    std::wstring path(programs);
    if (!path.empty() && path.back() != L'\\')
        path += L'\\';
    return path + L"Cobweld";
}

bool GroupFolderExists()
{
    std::wstring folder = GroupFolderPath();
    DWORD attributes = folder.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool WriteGroupShortcut(const std::string& launcherPath, const CGroupItem& item, const std::wstring& fileName)
{
    if (!GroupFolderExists())
        return false;
    CComInit com;
    CComPtr<IShellLinkA> link;
    CComPtr<IPersistFile> persist;
    if (!com.Usable() || FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                                   link.Out())))
        return false;
    link->SetPath(launcherPath.c_str());
    link->SetArguments(item.strArguments.c_str());
    link->SetDescription(item.strTitle.c_str());
    if (!item.strIconPath.empty())
        link->SetIconLocation(item.strIconPath.c_str(), item.nIconIndex);
    if (!item.strDirectory.empty())
        link->SetWorkingDirectory(item.strDirectory.c_str());
    link->SetShowCmd(item.bRunMinimized ? SW_SHOWMINNOACTIVE : SW_SHOWNORMAL);
    std::wstring path = GroupFolderPath() + L'\\' + fileName;
    return SUCCEEDED(link->QueryInterface(IID_IPersistFile, persist.Out())) &&
           SUCCEEDED(persist->Save(path.c_str(), TRUE)) && IsWrittenFile(path);
}
