// The fixture of the tests that drive the real COBWELD.EXE from outside: a
// clean store and profile around each test (not a first run, so that a
// close asks nothing about the group) and the test's own keys removed.
#pragma once
#include <gtest/gtest.h>
#include "framework/Text.h"
#include "resources/resource.h"
#include "tests/driver/Driver.h"

using namespace driver;

// Below HKCU\Software: the entries' settings key, and another one.
const char kSettingsName[] = "CobweldTest\\E2E";
const char kSettingsPath[] = "Software\\CobweldTest\\E2E";
const char kOtherName[] = "CobweldTest\\E2EOther";

class E2ETest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TearDown();
        SetProfileInt("Installed", 1);
    }
    void TearDown() override
    {
        launcher.Kill();
        WipeLauncherState();
        for (const char* key : {kSettingsPath, "Software\\CobweldTest\\E2EOther", "Software\\CobweldTest\\E2EApp"})
            DeleteTree(HKEY_CURRENT_USER, key);
    }
    // An entry of notepad on kSettingsName; its snapshot, when marker is
    // given, holds Marker=marker.
    static StoreEntry Notepad(const std::string& title, DWORD slot, const char* marker = nullptr)
    {
        if (marker)
            SetString(HKEY_LOCAL_MACHINE, SnapshotPath(slot), "Marker", marker);
        return {title, "C:\\windows\\notepad.exe", "C:\\windows", "C:\\windows\\notepad.exe", kSettingsName, 0, slot};
    }
    HWND Start(const std::string& arguments = "")
    {
        HWND main = launcher.StartLauncher(arguments) ? launcher.WaitMainWindow() : nullptr;
        EXPECT_TRUE(main) << "no main window";
        return main;
    }
    // The launcher's next message box as DescribeMessageBox gives it,
    // answered with answer.
    std::string NextBox(int answer)
    {
        HWND box = WaitMessageBox(launcher.Id());
        std::string described = box ? DescribeMessageBox(box) : "<no box>";
        return box && Answer(box, answer) ? described : "<not answered> " + described;
    }
    // No job runs: the commands that change settings are enabled again.
    static bool Idle(HWND main) { return IsEnabled(main, IDC_REACQUIRE); }
    // New, with the three required fields typed, then OK; the entry dialog.
    HWND NewEntry(HWND main, const std::string& title, const std::string& program, const char* settingsName)
    {
        Click(main, IDC_NEW);
        HWND dialog = WaitDialog(launcher.Id(), FromUtf8(u8"プログラムの登録情報"));
        for (auto field : {std::make_pair(IDC_TITLE, title), std::make_pair(IDC_COMMAND_LINE, program),
                           std::make_pair(IDC_REGISTRY_NAME, std::string(settingsName))})
            ::SendDlgItemMessageA(dialog, field.first, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(field.second.c_str()));
        Click(dialog, IDOK);
        return dialog;
    }

    Process launcher;
};
