// Shared pieces of the Program Manager tests: entries and lists made in the
// test, the recording DDE server, the Start-menu group folder.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "model/ProgramList.h"

// The path of the running test program: it is the "launcher" whose path the
// items carry.
std::string OwnPath();
// A program that lives beside the test program.
std::string BesidePath(const char* fileName);

void FillEntry(CProgramEntry& entry, const char* title, const char* iconPath, int iconIndex,
               const char* directory, int runMinimized);

// A list holding only the entries the test adds (whatever the store holds
// is dropped unread into nothing).
class CTestList {
public:
    CTestList();
    CProgramEntry& Add(const char* title, const char* iconPath, int iconIndex,
                       const char* directory, int runMinimized);
    CProgramList m_list;
};

// The recording "PROGMAN" server (tools/progman_recorder), running for the
// life of the object.
class CRecorder {
public:
    // options as on the recorder's command line, e.g. "refuse=all".
    explicit CRecorder(const std::string& options = std::string());
    ~CRecorder();
    bool Ready() const { return m_bReady; }
    DWORD ProcessId() const { return m_process.dwProcessId; }
    // Every execute received so far, as sent (terminating NUL included).
    std::vector<std::string> Commands() const;

private:
    std::string m_strRecordPath;
    HANDLE m_hQuit = nullptr;
    PROCESS_INFORMATION m_process = {};
    bool m_bReady = false;
};

// Commands as the recorder holds them: each text with its terminating NUL.
std::vector<std::string> WithTerminators(const std::vector<std::string>& texts);

// <Start-menu Programs>\Cobweld in the ANSI code page, and its removal with
// everything in it.
std::string GroupFolder();
void RemoveGroupFolder();
bool FileExists(const std::string& path);

// What a shortcut file says.
struct CShortcut {
    bool bRead = false;
    std::string strTarget;
    std::string strArguments;
    std::string strDirectory;
    std::string strIconPath;
    int nIconIndex = 0;
    int nShowCmd = 0;
};
CShortcut ReadShortcut(const std::string& path);
