// Starting an entry's program with its own settings.
#include "model/ProgramEntry.h"
#include <cstring>
#include <string>
#include "framework/Text.h"
#include "framework/WinApp.h"
#include "resources/resource.h"


HANDLE CProgramEntry::LaunchEntry()
{
    if (!RestoreSnapshot()) {
        // The program runs all the same, with whatever its settings key holds.
        ::MessageBoxA(::GetActiveWindow(), LoadStr(IDS_RESTORE_FAILED).c_str(),
                      AfxGetAppTitle().c_str(), MB_OK);
    }

    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    if (m_bRunMinimized) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWMINNOACTIVE;
    }

    // The program file is the application name: no search path, no
    // arguments; its command line is the path itself.
    std::string program = FieldText(m_szCommandLine);
    std::string directory = FieldText(m_szDirectory);
    PROCESS_INFORMATION info;
    std::memset(&info, 0, sizeof info);
    if (!::CreateProcessA(program.c_str(), nullptr, nullptr, nullptr, FALSE, CREATE_SEPARATE_WOW_VDM,
                          nullptr, directory.empty() ? nullptr : directory.c_str(), &startup, &info))
        return nullptr;
    ::CloseHandle(info.hThread);
    return info.hProcess;
}
