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
// Start n is recorded in ...\E2EApp\Seen\<n> before anything is written: the
// subkey Settings is a copy of the settings key as the program found it (the
// value "<missing>" when there was none), and the values CommandLine,
// Directory, StartFlags, ShowWindow and Pid. Ready = 1 comes last.
//
// Started with the argument "warmup" it does none of this: it brings up the
// Wine session's desktop and waits until its Program Manager answers, so that
// no part of the session starts inside a test (scripts/test.sh).
#include <windows.h>
#include <ddeml.h>
#include <cstring>
#include <string>

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
    // Opened first: Wine erases the class of a key created again.
    if (!::RegOpenKeyExA(control, "Write", 0, KEY_READ, &write) &&
        (!::RegOpenKeyExA(HKEY_CURRENT_USER, settingsPath.c_str(), 0, KEY_ALL_ACCESS, &settings) ||
         !::RegCreateKeyExA(HKEY_CURRENT_USER, settingsPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &settings,
                            nullptr)))
        ::RegCopyTreeA(write, nullptr, settings);
    SetDword(seen, "Ready", 1);
    std::string endEvent = ReadString(control, "EndEvent");
    if (!endEvent.empty())
        ::WaitForSingleObject(::CreateEventA(nullptr, TRUE, FALSE, endEvent.c_str()), 60000);
    return 0;
}
