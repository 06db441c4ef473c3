// A stand-in for a user's program, for the launch tests.
//
// The launcher starts programs without arguments, so this one learns what to
// do from its control key HKCU\Software\CobweldTest\E2EApp:
//   SettingsKey  REG_SZ     its settings key, below HKCU\Software
//   Write        subkey     copied into the settings key at start
//   EndEvent     REG_SZ     a named event: the program ends once it is set (a
//                           minute at most); without it, as soon as it wrote
//   Runs         REG_DWORD  starts so far; this start is number Runs + 1
//   HandOver     REG_DWORD  1: this start is a starter, as many programs
//                           have: it records its Pid here, clears HandOver,
//                           starts a second copy of itself (which does all
//                           that follows) and ends at once; 2: the same, but
//                           the second copy breaks away from the job it
//                           was started in
//   IniFile      REG_SZ     a settings file (environment variables expanded;
//                           a relative path is below the program's folder):
//                           its [Settings] Color is recorded as IniColor, then
//   IniWrite     REG_SZ     is written there as Color (a new file in UTF-16)
//   DataFolder   REG_SZ     a settings folder (variables expanded): its files
//                           are recorded, then the values of the subkey
//                           WriteFiles (file name = text, written in UTF-8)
//                           are written into it, the folder made when missing,
//                           and the files named in DeleteFiles are deleted
//   HoldOpen     REG_SZ     a file opened (made when missing) without sharing
//                           before anything is written, held until the end
// Start n is recorded in ...\E2EApp\Seen\<n> before anything is written: the
// subkey Settings is a copy of the settings key as the program found it (the
// value "<missing>" when there was none), the values CommandLine, Directory,
// StartFlags, ShowWindow and Pid, Held = 1 once HoldOpen is held, IniColor
// ("<missing>" without the file or the key), and the subkey Files, one
// REG_BINARY value per file of DataFolder, its name and bytes ("<missing>"
// when the folder is missing). Ready = 1 comes last.
//
// Started with the argument "warmup" it does none of this: it brings up the
// Wine session's desktop and waits until its Program Manager answers, so that
// no part of the session starts inside a test (scripts/test.sh).
#include <windows.h>
#include <ddeml.h>
#include <cstring>
#include <cwchar>
#include <string>
#include "framework/Scoped.h"

namespace {
const char kRoot[] = "Software\\CobweldTest\\E2EApp";

std::string ReadString(HKEY key, const char* name)
{
    char value[1024] = "";
    DWORD size = sizeof value;
    ::RegGetValueA(key, nullptr, name, RRF_RT_REG_SZ, nullptr, value, &size);
    return value;
}

void SetString(HKEY key, const char* name, const std::string& value)
{
    ::RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)value.c_str(), (DWORD)value.size() + 1);
}

void SetDword(HKEY key, const char* name, DWORD value)
{
    ::RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE*)&value, sizeof value);
}

// A REG_SZ control value; false when there is none.
bool ReadText(HKEY key, const wchar_t* name, std::wstring* text)
{
    wchar_t value[2048] = L"";
    DWORD size = sizeof value;
    if (::RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return false;
    return text->assign(value), true;
}

// A path value, its environment variables expanded; "" when there is none.
std::wstring ReadPath(HKEY key, const wchar_t* name)
{
    std::wstring value;
    wchar_t expanded[2048] = L"";
    return ReadText(key, name, &value) && ::ExpandEnvironmentStringsW(value.c_str(), expanded, 2048) ? expanded : L"";
}

// The names and texts of a control subkey's values.
template <class Each>
void ForEachValue(HKEY control, const wchar_t* subkey, Each each)
{
    CRegKey key;
    wchar_t name[512], text[4096];
    DWORD nameSize = 512, size = sizeof text;
    if (key.Open(control, subkey) != ERROR_SUCCESS)
        return;
    for (DWORD i = 0; ::RegEnumValueW(key, i, name, &nameSize, nullptr, nullptr, (BYTE*)text, &size) == ERROR_SUCCESS;
         ++i, nameSize = 512, size = sizeof text) {
        std::wstring value(text, size / sizeof(wchar_t));
        each(name, value.substr(0, value.find(L'\0')));
    }
}

void MakeFolder(const std::wstring& folder)
{
    size_t cut = folder.find_last_of(L'\\');
    if (!::CreateDirectoryW(folder.c_str(), nullptr) && ::GetLastError() == ERROR_PATH_NOT_FOUND && cut != std::wstring::npos)
        MakeFolder(folder.substr(0, cut)), ::CreateDirectoryW(folder.c_str(), nullptr);
}

void RecordFolder(const std::wstring& folder, HKEY files)
{
    WIN32_FIND_DATAW found;
    CFindHandle search(::FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!search.IsValid() && ::GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES)
        SetDword(files, "<missing>", 1);
    for (BOOL more = search.IsValid(); more; more = ::FindNextFileW(search, &found)) {
        char bytes[65536];
        DWORD size = 0;
        CHandle file(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? INVALID_HANDLE_VALUE :
                     ::CreateFileW((folder + L"\\" + found.cFileName).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
        if (file.IsValid() && ::ReadFile(file, bytes, sizeof bytes, &size, nullptr))
            ::RegSetValueExW(files, found.cFileName, 0, REG_BINARY, (const BYTE*)bytes, size);
    }
}

void ChangeFolder(const std::wstring& folder, HKEY control)
{
    ForEachValue(control, L"WriteFiles", [&](const wchar_t* name, const std::wstring& text) {
        MakeFolder(folder);
        std::string utf8(text.size() * 3, '\0');
        utf8.resize(::WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), &utf8[0], (int)utf8.size(), 0, 0));
        CHandle file(::CreateFileW((folder + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        ::WriteFile(file, utf8.data(), (DWORD)utf8.size(), &written, nullptr);
    });
    ForEachValue(control, L"DeleteFiles",
                 [&](const wchar_t* name, const std::wstring&) { ::DeleteFileW((folder + L"\\" + name).c_str()); });
}

int Warmup()
{
    ::CreateWindowExA(0, "STATIC", "warmup", WS_POPUP, 0, 0, 1, 1, 0, 0, 0, 0);
    DWORD dde = 0;
    ::DdeInitializeA(&dde, [](UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) -> HDDEDATA { return 0; },
                     APPCMD_CLIENTONLY, 0);
    HSZ service = ::DdeCreateStringHandleA(dde, "PROGMAN", CP_WINANSI);
    for (int attempt = 0; attempt < 50; ++attempt, ::Sleep(100)) {
        if (HCONV conversation = ::DdeConnect(dde, service, service, nullptr))
            return ::DdeDisconnect(conversation), 0;
    }
    return 1;
}

int HandOver(HKEY control, DWORD mode)
{
    SetDword(control, "Pid", ::GetCurrentProcessId());
    SetDword(control, "HandOver", 0);
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, path, sizeof path);
    STARTUPINFOA startup = {sizeof startup};
    PROCESS_INFORMATION second;
    return ::CreateProcessA(path, nullptr, nullptr, nullptr, FALSE, mode == 2 ? CREATE_BREAKAWAY_FROM_JOB : 0,
                            nullptr, nullptr, &startup, &second) ? 0 : 3;
}
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    if (std::strstr(commandLine, "warmup"))
        return Warmup();
    HKEY control, seen, found, settings, write;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, kRoot, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &control, nullptr))
        return 2;
    DWORD mode = 0, modeSize = sizeof mode;
    ::RegGetValueA(control, nullptr, "HandOver", RRF_RT_REG_DWORD, nullptr, &mode, &modeSize);
    if (mode)
        return HandOver(control, mode);
    const std::wstring holdPath = ReadPath(control, L"HoldOpen"), folder = ReadPath(control, L"DataFolder");
    std::wstring iniPath = ReadPath(control, L"IniFile");
    CHandle held(holdPath.empty() ? INVALID_HANDLE_VALUE :
                 ::CreateFileW(holdPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr));
    if (!iniPath.empty() && iniPath[0] != L'\\' && (iniPath.size() < 2 || iniPath[1] != L':')) {
        wchar_t self[MAX_PATH] = L"";
        ::GetModuleFileNameW(nullptr, self, MAX_PATH);
        iniPath = std::wstring(self, std::wcsrchr(self, L'\\') + 1) + iniPath;
    }
    std::string settingsPath = "Software\\" + ReadString(control, "SettingsKey");
    DWORD runs = 0, size = sizeof runs;
    ::RegGetValueA(control, nullptr, "Runs", RRF_RT_REG_DWORD, nullptr, &runs, &size);
    SetDword(control, "Runs", ++runs);

    std::string seenPath = "Seen\\" + std::to_string(runs);
    ::RegDeleteTreeA(control, seenPath.c_str());
    if (::RegCreateKeyExA(control, (seenPath + "\\Settings").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &found,
                          nullptr) ||
        ::RegOpenKeyExA(control, seenPath.c_str(), 0, KEY_ALL_ACCESS, &seen))
        return 2;
    STARTUPINFOA startup = {sizeof startup};
    ::GetStartupInfoA(&startup);
    char directory[MAX_PATH] = "";
    ::GetCurrentDirectoryA(sizeof directory, directory);
    SetString(seen, "CommandLine", ::GetCommandLineA());
    SetString(seen, "Directory", directory);
    SetDword(seen, "StartFlags", startup.dwFlags);
    SetDword(seen, "ShowWindow", startup.wShowWindow);
    SetDword(seen, "Pid", ::GetCurrentProcessId());
    if (!::RegOpenKeyExA(HKEY_CURRENT_USER, settingsPath.c_str(), 0, KEY_READ, &settings))
        ::RegCopyTreeA(settings, nullptr, found), ::RegCloseKey(settings);
    else
        SetDword(found, "<missing>", 1);
    if (held.IsValid())
        SetDword(seen, "Held", 1);
    if (!iniPath.empty()) {
        wchar_t color[1024] = L"";
        ::GetPrivateProfileStringW(L"Settings", L"Color", L"<missing>", color, 1024, iniPath.c_str());
        ::RegSetValueExW(seen, L"IniColor", 0, REG_SZ, (const BYTE*)color, DWORD(std::wcslen(color) + 1) * sizeof(wchar_t));
    }
    CRegKey files;
    if (!folder.empty() && files.Create(seen, L"Files") == ERROR_SUCCESS)
        RecordFolder(folder, files);
    // Opened first: Wine erases the class of a key created again.
    if (!::RegOpenKeyExA(control, "Write", 0, KEY_READ, &write) &&
        (!::RegOpenKeyExA(HKEY_CURRENT_USER, settingsPath.c_str(), 0, KEY_ALL_ACCESS, &settings) ||
         !::RegCreateKeyExA(HKEY_CURRENT_USER, settingsPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &settings,
                            nullptr)))
        ::RegCopyTreeA(write, nullptr, settings);
    std::wstring iniWrite;
    if (!iniPath.empty() && ReadText(control, L"IniWrite", &iniWrite)) {
        // A new file without the UTF-16 mark would be written in the ANSI code page, best fit.
        CHandle created(::CreateFileW(iniPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        DWORD written = 0;
        if (created.IsValid())
            ::WriteFile(created, "\xFF\xFE", 2, &written, nullptr);
        created.Reset();
        ::WritePrivateProfileStringW(L"Settings", L"Color", iniWrite.c_str(), iniPath.c_str());
    }
    if (!folder.empty())
        ChangeFolder(folder, control);
    SetDword(seen, "Ready", 1);
    std::string endEvent = ReadString(control, "EndEvent");
    if (!endEvent.empty())
        ::WaitForSingleObject(::CreateEventA(nullptr, TRUE, FALSE, endEvent.c_str()), 60000);
    return 0;
}
