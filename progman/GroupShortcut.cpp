#include "progman/GroupShortcut.h"
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <cwchar>
#include <vector>

namespace {

std::wstring Widen(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring result(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &result[0], length);
    return result;
}

// Balances a successful CoInitializeEx; a thread already in another
// apartment can use COM all the same.
class CComScope {
public:
    CComScope() : m_hr(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~CComScope() { if (SUCCEEDED(m_hr)) ::CoUninitialize(); }
    bool Usable() const { return SUCCEEDED(m_hr) || m_hr == RPC_E_CHANGED_MODE; }
private:
    HRESULT m_hr;
};

template <class T>
class CComPtr {
public:
    ~CComPtr() { if (m_p) m_p->Release(); }
    T* operator->() const { return m_p; }
    T** operator&() { return &m_p; }
    explicit operator bool() const { return m_p != nullptr; }
private:
    T* m_p = nullptr;
};

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

BOOL GroupFolderExists()
{
    std::wstring folder = GroupFolderPath();
    if (folder.empty())
        return FALSE;
    DWORD attributes = ::GetFileAttributesW(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring ShortcutFileName(const std::string& title)
{
    std::wstring name = Widen(title);
    for (wchar_t& c : name) {
        if (c < L' ' || std::wcschr(L"*/:<>?\\|\"", c))
            c = L'_';
    }
    return name + L".lnk";
}

BOOL WriteGroupShortcut(const std::string& launcherPath, const CGroupItem& item)
{
    if (!GroupFolderExists())
        return FALSE;
    std::wstring file = GroupFolderPath() + L'\\' + ShortcutFileName(item.strTitle);

    CComScope com;
    if (!com.Usable())
        return FALSE;
    CComPtr<IShellLinkA> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  reinterpret_cast<void**>(&link))))
        return FALSE;
    link->SetPath(launcherPath.c_str());
    link->SetArguments(item.strArguments.c_str());
    link->SetDescription(item.strTitle.c_str());
    if (!item.strIconPath.empty())
        link->SetIconLocation(item.strIconPath.c_str(), item.nIconIndex);
    if (!item.strDirectory.empty())
        link->SetWorkingDirectory(item.strDirectory.c_str());
    link->SetShowCmd(item.bRunMinimized ? SW_SHOWMINNOACTIVE : SW_SHOWNORMAL);

    CComPtr<IPersistFile> persist;
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))))
        return FALSE;
    return SUCCEEDED(persist->Save(file.c_str(), TRUE));
}
