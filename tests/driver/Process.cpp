// Paths, waiting, and the launcher's process for the end-to-end tests.
#include "tests/driver/Driver.h"

namespace driver {

bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs)
{
    DWORD start = ::GetTickCount();
    for (;;) {
        if (cond())
            return true;
        if (::GetTickCount() - start >= timeoutMs)
            return cond();
        ::Sleep(25);
    }
}

std::string BinDir()
{
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, path, sizeof path);
    // Cut after the last real backslash (not a double-byte trail byte).
    const char* cut = path;
    for (const char* p = path; *p; p = ::CharNextA(p)) {
        if (*p == '\\' || *p == '/')
            cut = p + 1;
    }
    return std::string(path, static_cast<size_t>(cut - path));
}

std::string LauncherPath()
{
    return BinDir() + "COBWELD.EXE";
}

std::string ToolPath(const char* exeName)
{
    return BinDir() + exeName;
}

Process::~Process()
{
    Kill();
}

bool Process::Start(const std::string& exePath, const std::string& arguments)
{
    Kill();
    std::string commandLine = "\"" + exePath + "\"";
    if (!arguments.empty())
        commandLine += " " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (!::CreateProcessA(exePath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &m_info)) {
        m_info = PROCESS_INFORMATION();
        return false;
    }
    return true;
}

bool Process::Running() const
{
    return m_info.hProcess && ::WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT;
}

bool Process::WaitExit(DWORD timeoutMs, DWORD* exitCode)
{
    if (!m_info.hProcess)
        return false;
    if (::WaitForSingleObject(m_info.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return false;
    if (exitCode)
        ::GetExitCodeProcess(m_info.hProcess, exitCode);
    return true;
}

void Process::Kill()
{
    if (m_info.hProcess) {
        if (::WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(m_info.hProcess, 255);
            ::WaitForSingleObject(m_info.hProcess, 5000);
        }
        ::CloseHandle(m_info.hProcess);
    }
    if (m_info.hThread)
        ::CloseHandle(m_info.hThread);
    m_info = PROCESS_INFORMATION();
}

HWND Process::WaitMainWindow(DWORD timeoutMs) const
{
    HWND found = nullptr;
    WaitUntil([&] {
        found = FindMainWindow(m_info.dwProcessId);
        return found != nullptr;
    }, timeoutMs);
    if (found && !Sync(found, timeoutMs))
        return nullptr;
    return found;
}

} // namespace driver
