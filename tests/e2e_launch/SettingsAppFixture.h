// A base fixture for tests that launch settings_app through the launcher:
// what the program is told to do, what it saw at its start, the snapshots.
#pragma once
#include <gtest/gtest.h>
#include <map>
#include <string>
#include "framework/Text.h"
#include "tests/driver/Driver.h"

namespace launchtest {

using namespace driver;

const char kAppRoot[] = "Software\\CobweldTest\\SettingsApp";
const char kControl[] = "Software\\CobweldTest\\SettingsApp\\Control";
// The settings key every entry here names, below HKCU\Software.
const char kSettingsName[] = "CobweldTest\\E2ELaunch";
const char kSettingsPath[] = "Software\\CobweldTest\\E2ELaunch";
const char kEndEvent[] = "CobweldTestSettingsAppEnd";
const int kListId = 1001;
const DWORD kLong = 15000;

typedef std::map<std::string, std::string> Values;

class SettingsAppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WipeLauncherState();
        // A completed run is on record: closing does not touch Program Manager.
        ASSERT_TRUE(WriteProfileInt("Installed", 1));
        DeleteTree(HKEY_CURRENT_USER, kAppRoot);
        DeleteTree(HKEY_CURRENT_USER, kSettingsPath);
        m_end = ::CreateEventA(nullptr, TRUE, FALSE, kEndEvent);
        ASSERT_NE(m_end, nullptr);
        ::ResetEvent(m_end);
    }

    void TearDown() override
    {
        ::SetEvent(m_end);
        // No settings_app may outlive its test.
        for (int run = 1; run <= Runs(); ++run) {
            DWORD pid = SeenDword(run, "Pid");
            if (HANDLE process = pid ? ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid) : nullptr) {
                if (::WaitForSingleObject(process, 5000) != WAIT_OBJECT_0)
                    ::TerminateProcess(process, 1);
                ::CloseHandle(process);
            }
        }
        ::CloseHandle(m_end);
        WipeLauncherState();
        DeleteTree(HKEY_CURRENT_USER, kAppRoot);
        DeleteTree(HKEY_CURRENT_USER, kSettingsPath);
    }

    static StoreEntry Entry(const char* title, int slot, bool retrieveAgain)
    {
        StoreEntry entry;
        entry.title = title;
        entry.commandLine = ToolPath("settings_app.exe");
        entry.registry = kSettingsName;
        entry.saveSlot = static_cast<DWORD>(slot);
        entry.retrieveAgain = retrieveAgain ? 1 : 0;
        return entry;
    }

    static void SetValues(HKEY root, const std::string& path, const Values& values)
    {
        ASSERT_TRUE(CreateKey(root, path));
        for (const auto& value : values)
            ASSERT_TRUE(SetStringValue(root, path, value.first.c_str(), value.second));
    }

    static void SetSnapshot(int slot, const Values& values) { SetValues(HKEY_LOCAL_MACHINE, SnapshotPath(slot), values); }

    // What the next start of settings_app writes into its settings key, and
    // whether it then runs until m_end is set.
    static void TellApp(const Values& writes, bool runUntilTold)
    {
        std::string control = kControl;
        DeleteTree(HKEY_CURRENT_USER, control + "\\Write");
        ASSERT_TRUE(SetStringValue(HKEY_CURRENT_USER, control, "SettingsKey", kSettingsName));
        ASSERT_TRUE(SetStringValue(HKEY_CURRENT_USER, control, "EndEvent", runUntilTold ? kEndEvent : ""));
        if (!writes.empty())
            SetValues(HKEY_CURRENT_USER, control + "\\Write", writes);
    }

    static std::string SeenPath(int run) { return std::string(kAppRoot) + "\\Seen\\" + std::to_string(run); }

    static int Runs()
    {
        DWORD runs = 0, size = sizeof runs;
        if (::RegGetValueA(HKEY_CURRENT_USER, kControl, "Runs", RRF_RT_REG_DWORD, nullptr, &runs, &size) != ERROR_SUCCESS)
            return 0;
        return static_cast<int>(runs);
    }

    static DWORD SeenDword(int run, const char* name)
    {
        DWORD value = 0, size = sizeof value;
        ::RegGetValueA(HKEY_CURRENT_USER, SeenPath(run).c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size);
        return value;
    }

    static std::string ReadString(HKEY root, const std::string& path, const char* name)
    {
        char buffer[1024] = "";
        DWORD size = sizeof buffer;
        if (::RegGetValueA(root, path.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
            return "<none>";
        return buffer;
    }

    // A value of the settings key as settings_app found it at its start.
    static std::string Seen(int run, const char* name)
    {
        return ReadString(HKEY_CURRENT_USER, SeenPath(run) + "\\Settings", name);
    }

    static std::string Snapshot(int slot, const char* name)
    {
        return ReadString(HKEY_LOCAL_MACHINE, SnapshotPath(slot), name);
    }

    // Waits until settings_app's start number run has done its writes.
    static bool WaitRunReady(int run, DWORD timeoutMs = kLong)
    {
        return WaitUntil([&] { return SeenDword(run, "Ready") == 1; }, timeoutMs);
    }

    static bool AppRunning(int run)
    {
        DWORD pid = SeenDword(run, "Pid");
        HANDLE process = pid ? ::OpenProcess(SYNCHRONIZE, FALSE, pid) : nullptr;
        if (!process)
            return false;
        bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
        ::CloseHandle(process);
        return running;
    }

    static bool WaitAppEnded(int run)
    {
        return WaitUntil([&] { return !AppRunning(run); }, kLong);
    }

    static std::string WaitingTitle(const char* entryTitle)
    {
        return std::string("Cobweld - ") + entryTitle + FromUtf8(u8" (待機中)");
    }

    // Set: the running settings_app ends.
    HANDLE m_end = nullptr;
};

} // namespace launchtest
