// The wait for a launched program with the main window in the test's own
// process: what Wine does not show to other processes (the system menu), and
// what happens in a process that lives on after the main window is gone.
#include <atomic>
#include <thread>
#include "framework/WinApp.h"
#include "tests/e2e_launch/SettingsAppFixture.h"
#include "resources/resource.h"
#include "ui/LauncherDlg.h"

using namespace driver;
using namespace launchtest;

namespace {

class WaitInProcessTest : public SettingsAppTest {
protected:
    // Its own profile, so the launcher's real one is left alone; not a first
    // run, so the close asks nothing about Program Manager.
    WaitInProcessTest() : m_app("CobweldLaunchTest")
    {
        m_app.SetRegistryKey("CobweldTest");
        m_app.WriteProfileInt("Cobweld", "Installed", 1);
    }
    ~WaitInProcessTest() override { DeleteTree(HKEY_CURRENT_USER, "Software\\CobweldTest\\CobweldLaunchTest"); }

    void SetUp() override
    {
        SettingsAppTest::SetUp();
        ASSERT_TRUE(WriteStoreEntry(0, Entry("Editor", 1, true)));
        SetSnapshot(1, {{"Color", "red"}});
        TellApp({{"Color", "changed"}}, true);
    }

    // Runs the main window modally on this thread while user() works it from
    // another; the window object is destroyed before this returns.
    void RunMainWindow(const std::function<void(CLauncherDlg& dlg, HWND window)>& user)
    {
        CLauncherDlg* dlg = new CLauncherDlg(nullptr);
        std::thread driver([&] {
            HWND window = nullptr;
            if (WaitUntil([&] { return (window = FindMainWindow(::GetCurrentProcessId())) != nullptr; }, kLong)) {
                Sync(window);
                user(*dlg, window);
            } else {
                ADD_FAILURE() << "no main window";
            }
        });
        m_app.m_pMainWnd = dlg;
        dlg->DoModal();
        m_app.m_pMainWnd = nullptr;
        driver.join();
        delete dlg;
    }

    static void Launch(HWND window)
    {
        SelectRow(window, kListId, 0);
        ClickButton(window, IDOK);
    }

    static bool RestoreGrayed(HWND window)
    {
        HMENU menu = ::GetSystemMenu(window, FALSE);
        return menu && (::GetMenuState(menu, SC_RESTORE, MF_BYCOMMAND) & MF_GRAYED);
    }

    CWinApp m_app;
};
}

TEST_F(WaitInProcessTest, RestoreIsGrayedWhileWaitingAndAPostedLaunchStartsNothingMore)
{
    bool grayed = false, enabledAfter = false, cameBack = false;
    int runsWhileWaiting = 0;
    RunMainWindow([&](CLauncherDlg&, HWND window) {
        Launch(window);
        if (!WaitRunReady(1) || !WaitUntil([&] { return WindowText(window) == WaitingTitle("Editor"); }))
            return;
        grayed = RestoreGrayed(window);
        // The launch command is out of reach, but a posted one still arrives.
        ClickButton(window, IDOK);
        Sync(window);
        ::Sleep(500);
        runsWhileWaiting = Runs();

        ::SetEvent(m_end);
        cameBack = WaitUntil([&] { return !::IsIconic(window) && WindowText(window) == "Cobweld"; }, kLong);
        enabledAfter = !RestoreGrayed(window);
        ClickButton(window, IDC_EXIT);
    });
    EXPECT_TRUE(grayed);
    EXPECT_EQ(runsWhileWaiting, 1);
    EXPECT_TRUE(cameBack);
    EXPECT_TRUE(enabledAfter);
    EXPECT_EQ(Snapshot(1, "Color"), "changed");
    EXPECT_EQ(m_app.GetProfileInt("Cobweld", "Current", -1), 0u);
}

TEST_F(WaitInProcessTest, AnAbandonedWaitWhoseProgramEndsAfterTheWindowIsGoneCapturesNothingAndEndsQuietly)
{
    HANDLE waitThread = nullptr;
    RunMainWindow([&](CLauncherDlg& dlg, HWND window) {
        Launch(window);
        if (!WaitRunReady(1))
            return;
        CWinThread* volatile* thread = &dlg.m_pWaitThread;
        if (!WaitUntil([&] { return *thread != nullptr; }))
            return;
        ::DuplicateHandle(::GetCurrentProcess(), (*thread)->m_hThread, ::GetCurrentProcess(), &waitThread,
                          SYNCHRONIZE, FALSE, 0);
        PostSysCommand(window, SC_CLOSE);
        HWND box = WaitMessageBox(::GetCurrentProcessId(), kLong);
        if (box)
            AnswerMessageBox(box, IDYES);
    });
    ASSERT_NE(waitThread, nullptr);
    // The window and the list are gone; the wait thread still waits.
    EXPECT_EQ(::WaitForSingleObject(waitThread, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(AppRunning(1));

    ::SetEvent(m_end);
    ASSERT_TRUE(WaitAppEnded(1));
    EXPECT_EQ(::WaitForSingleObject(waitThread, kLong), static_cast<DWORD>(WAIT_OBJECT_0));
    ::CloseHandle(waitThread);
    EXPECT_EQ(Snapshot(1, "Color"), "red");
}
