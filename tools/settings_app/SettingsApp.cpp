// A stand-in for a user's program, for the launch tests.
//
// The launcher starts programs without arguments, so this one learns what to
// do from the control key HKCU\Software\CobweldTest\SettingsApp\Control:
//
//   SettingsKey  REG_SZ     its settings key, below HKCU\Software
//   Write        subkey     values copied into the settings key at start
//   EndEvent     REG_SZ     a named event: the program ends when it is set
//                           (at the latest after a minute); without it, the
//                           program ends as soon as it has written
//   Runs         REG_DWORD  starts so far; this run is Runs + 1
//
// Each start n (1, 2, ...) is recorded in ...\SettingsApp\Seen\<n>, before
// anything is written: the subkey Settings holds the settings key's values as
// the program found them ("<missing>" = 1 when the key did not exist), and
// the values CommandLine, Directory, StartFlags, ShowWindow and Pid. The
// value Ready = 1 comes last, after the writes.
#include <windows.h>
#include <string>
#include <vector>

namespace {
const char kRoot[] = "Software\\CobweldTest\\SettingsApp";
const DWORD kLongestRun = 60000;

// Copies every value of from into to; false when a value could not be copied.
bool CopyValues(HKEY from, HKEY to)
{
    DWORD maxName = 0, maxData = 0;
    if (::RegQueryInfoKeyA(from, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                           &maxName, &maxData, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    std::vector<char> name(maxName + 1);
    std::vector<BYTE> data(maxData + 1);
    bool ok = true;
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = 0;
        LONG rc = ::RegEnumValueA(from, i, name.data(), &nameSize, nullptr, &type, data.data(), &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS || ::RegSetValueExA(to, name.data(), 0, type, data.data(), dataSize) != ERROR_SUCCESS)
            ok = false;
    }
    return ok;
}

std::string ReadString(HKEY key, const char* name)
{
    char buffer[1024] = "";
    DWORD size = sizeof buffer - 1, type = 0;
    if (::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::string();
    buffer[size < sizeof buffer ? size : sizeof buffer - 1] = '\0';
    return buffer;
}

void SetString(HKEY key, const char* name, const std::string& value)
{
    ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1));
}

void SetDword(HKEY key, const char* name, DWORD value)
{
    ::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    HKEY control;
    std::string controlPath = std::string(kRoot) + "\\Control";
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, controlPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &control, nullptr) != ERROR_SUCCESS)
        return 2;
    std::string settingsPath = "Software\\" + ReadString(control, "SettingsKey");
    std::string endEvent = ReadString(control, "EndEvent");
    DWORD runs = 0, size = sizeof runs;
    ::RegQueryValueExA(control, "Runs", nullptr, nullptr, reinterpret_cast<BYTE*>(&runs), &size);
    ++runs;
    SetDword(control, "Runs", runs);

    HKEY seen;
    std::string seenPath = std::string(kRoot) + "\\Seen\\" + std::to_string(runs);
    ::RegDeleteTreeA(HKEY_CURRENT_USER, seenPath.c_str());
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, seenPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &seen,
                          nullptr) != ERROR_SUCCESS) {
        ::RegCloseKey(control);
        return 2;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    ::GetStartupInfoA(&startup);
    char directory[MAX_PATH] = "";
    ::GetCurrentDirectoryA(sizeof directory, directory);
    SetString(seen, "CommandLine", ::GetCommandLineA());
    SetString(seen, "Directory", directory);
    SetDword(seen, "StartFlags", startup.dwFlags);
    SetDword(seen, "ShowWindow", startup.wShowWindow);
    SetDword(seen, "Pid", ::GetCurrentProcessId());

    HKEY found;
    if (::RegCreateKeyExA(seen, "Settings", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &found, nullptr) == ERROR_SUCCESS) {
        HKEY settings;
        if (::RegOpenKeyExA(HKEY_CURRENT_USER, settingsPath.c_str(), 0, KEY_READ, &settings) == ERROR_SUCCESS) {
            CopyValues(settings, found);
            ::RegCloseKey(settings);
        } else {
            SetDword(found, "<missing>", 1);
        }
        ::RegCloseKey(found);
    }

    int result = 0;
    HKEY write;
    if (::RegOpenKeyExA(control, "Write", 0, KEY_READ, &write) == ERROR_SUCCESS) {
        HKEY settings;
        if (::RegCreateKeyExA(HKEY_CURRENT_USER, settingsPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &settings, nullptr) == ERROR_SUCCESS) {
            if (!CopyValues(write, settings))
                result = 3;
            ::RegCloseKey(settings);
        } else {
            result = 3;
        }
        ::RegCloseKey(write);
    }
    SetDword(seen, "Ready", 1);
    ::RegCloseKey(seen);
    ::RegCloseKey(control);

    if (!endEvent.empty()) {
        HANDLE event = ::CreateEventA(nullptr, TRUE, FALSE, endEvent.c_str());
        if (event) {
            ::WaitForSingleObject(event, kLongestRun);
            ::CloseHandle(event);
        }
    }
    return result;
}
