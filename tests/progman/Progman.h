// Shared pieces of the Program Manager tests: a recording Program Manager,
// the group's Start-menu folder and its shortcuts.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <mutex>
#include <thread>
#include <ddeml.h>
#include "tests/driver/Driver.h"

// A stand-in for Program Manager on a thread of the test: a DDE server for
// service and topic "PROGMAN" that records every execute and accepts it, or
// refuses it. Wine's desktop serves "PROGMAN" too, but a connect reaches the
// server registered last first.
class CRecorder {
public:
    explicit CRecorder(bool refuse = false);
    ~CRecorder();
    // Every execute received so far, as sent (terminating NUL included).
    std::vector<std::string> Commands();

private:
    static HDDEDATA CALLBACK Callback(UINT type, UINT, HCONV, HSZ topic, HSZ, HDDEDATA data, ULONG_PTR, ULONG_PTR);
    bool m_bRefuse;
    std::mutex m_lock;
    std::vector<std::string> m_commands;
    DWORD m_dwThreadId = 0;
    std::thread m_thread;
};

// <Start-menu Programs>\Cobweld, in the ANSI code page.
std::string GroupFolder();
// "<target> <arguments>|<directory>|<icon>,<index>|<show command>" of the
// shortcut (a full path, or a name in the group's folder), the target written
// "launcher" when it is launcherPath; "" when there is no such shortcut.
std::string DescribeShortcut(std::string shortcut, const std::string& launcherPath);

// The store, the group's folder and the Linux menu files (the menu builder
// writes them into the folder COBWELD_MENU_DIR) are emptied around each test.
class ProgmanTest : public ::testing::Test {
protected:
    void SetUp() override { TearDown(); }
    void TearDown() override;
};
