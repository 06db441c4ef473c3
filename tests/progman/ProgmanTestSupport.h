// Shared pieces of the Program Manager tests: lists made in the test, the
// recording DDE server, the Start-menu group folder and its shortcuts.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include "model/ProgramList.h"
#include "tests/driver/Driver.h"

// The running test program: the "launcher" whose path the items carry.
std::string OwnPath();

struct CTestEntry { const char *title, *iconPath; int iconIndex; const char* directory; int runMinimized; };

// A list holding only these entries, whatever the store holds.
struct CTestList : CProgramList {
    explicit CTestList(const std::vector<CTestEntry>& entries = {}, int groupState = GROUP_STATE_NONE);
};

// The recording "PROGMAN" server (tools/progman_recorder) for the life of the
// object; options as on its command line, e.g. "refuse=all".
class CRecorder {
public:
    explicit CRecorder(const std::string& options = std::string());
    ~CRecorder();
    bool Ready() const { return m_bReady; }
    // Every execute received so far, as sent (terminating NUL included).
    std::vector<std::string> Commands() const;

private:
    std::string m_strRecordPath;
    HANDLE m_hQuit = nullptr;
    driver::Process m_process;
    bool m_bReady = false;
};

// <Start-menu Programs>\Cobweld (ANSI code page), a shortcut in it.
std::string GroupFolder();
std::string Lnk(const std::string& name);
void RemoveGroupFolder();
bool FileExists(const std::string& path);

// "<target> <arguments>|<directory>|<icon>,<index>|<show command>", the
// target written "launcher" when it is launcherPath; "" when unreadable.
std::string DescribeShortcut(const std::string& path, const std::string& launcherPath);

// Tests that start and end without the group folder.
class CleanGroupFolder : public ::testing::Test {
protected:
    void SetUp() override { RemoveGroupFolder(); }
    void TearDown() override { RemoveGroupFolder(); }
};
