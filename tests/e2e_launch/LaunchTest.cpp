// Launching entries through COBWELD.EXE, with settings_app standing in for the
// user's program: told what to write and whether to run until m_end is set,
// it records what each start (run 1, 2, ...) found. The last test runs the
// main window in this process: Wine shows no menu of another process.
#include <gtest/gtest.h>
#include <map>
#include <thread>
#include <tuple>
#include "framework/Text.h"
#include "framework/WinApp.h"
#include "resources/resource.h"
#include "tests/driver/Driver.h"
#include "ui/LauncherDlg.h"

using namespace driver;

namespace {
const char kAppRoot[] = "Software\\CobweldTest\\SettingsApp";
const char kControl[] = "Software\\CobweldTest\\SettingsApp\\Control";
const char kSettingsName[] = "CobweldTest\\E2ELaunch"; // every entry's, below HKCU\Software
const char kSettingsPath[] = "Software\\CobweldTest\\E2ELaunch";
const char kEndEvent[] = "CobweldTestSettingsAppEnd";
const int kListId = 1001;
const DWORD kLong = 15000;

typedef std::map<std::string, std::string> Values;
Values Color(const char* color) { return {{"Color", color}}; }

class LaunchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Clean();
        // A completed run is on record: closing does not touch Program Manager.
        ASSERT_TRUE(WriteProfileInt("Installed", 1));
        ASSERT_NE(m_end = ::CreateEventA(nullptr, TRUE, FALSE, kEndEvent), nullptr);
        ::ResetEvent(m_end);
    }
    void TearDown() override
    {
        m_launcher.Kill();
        ::SetEvent(m_end);
        for (int run = 1; run <= Runs(); ++run) // no settings_app outlives its test
            AppEnded(run, 5000, true);
        ::CloseHandle(m_end);
        Clean();
    }
    static void Clean()
    {
        WipeLauncherState();
        DeleteTree(HKEY_CURRENT_USER, kAppRoot);
        DeleteTree(HKEY_CURRENT_USER, kSettingsPath);
    }
    static StoreEntry Entry(const char* title, DWORD slot, DWORD retrieveAgain)
    {
        return {title, ToolPath("settings_app.exe"), "", "", kSettingsName, 0, slot, 0, retrieveAgain};
    }
    // Stores entry as row, with the snapshot Color=color unless color is NULL.
    static void AddEntry(int row, const StoreEntry& entry, const char* color)
    {
        EXPECT_TRUE(WriteStoreEntry(row, entry));
        if (color)
            SetValues(HKEY_LOCAL_MACHINE, SnapshotPath(static_cast<int>(entry.saveSlot)), Color(color));
    }
    static void SetValues(HKEY root, const std::string& path, const Values& values)
    {
        for (const auto& value : values)
            EXPECT_TRUE(SetStringValue(root, path, value.first.c_str(), value.second));
    }
    // What settings_app's next start writes; whether it then waits for m_end.
    static void TellApp(const Values& writes, bool wait)
    {
        DeleteTree(HKEY_CURRENT_USER, std::string(kControl) + "\\Write");
        SetValues(HKEY_CURRENT_USER, kControl, {{"SettingsKey", kSettingsName}, {"EndEvent", wait ? kEndEvent : ""}});
        SetValues(HKEY_CURRENT_USER, std::string(kControl) + "\\Write", writes);
    }
    // Every value of a key: REG_SZ data as text, other types as "<type n>".
    static Values ReadValues(HKEY root, const std::string& path)
    {
        HKEY key;
        if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return {{"<key>", "<missing>"}};
        Values values;
        char name[256], data[1024];
        for (DWORD i = 0, type, nameSize = sizeof name, dataSize = sizeof data - 1;
             !::RegEnumValueA(key, i, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize);
             ++i, nameSize = sizeof name, dataSize = sizeof data - 1) {
            data[dataSize] = '\0';
            values[name] = type == REG_SZ ? std::string(data) : "<type " + std::to_string(type) + ">";
        }
        ::RegCloseKey(key);
        return values;
    }
    static std::string SeenPath(int run) { return std::string(kAppRoot) + "\\Seen\\" + std::to_string(run); }
    // The settings key as settings_app's start number run found it.
    static Values Seen(int run) { return ReadValues(HKEY_CURRENT_USER, SeenPath(run) + "\\Settings"); }
    static Values Snapshot(int slot) { return ReadValues(HKEY_LOCAL_MACHINE, SnapshotPath(slot)); }
    // A number settings_app recorded at its start number run ("Runs" for run 0).
    static DWORD SeenDword(int run, const char* name)
    {
        DWORD value = 0, size = sizeof value;
        std::string key = run ? SeenPath(run) : kControl;
        ::RegGetValueA(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size);
        return value;
    }
    static int Runs() { return static_cast<int>(SeenDword(0, "Runs")); }
    static bool WaitRunReady(int run) { return WaitUntil([&] { return SeenDword(run, "Ready") == 1; }, kLong); }
    // Whether run has ended, waiting up to ms; kill ends it when it has not.
    static bool AppEnded(int run, DWORD ms = 0, bool kill = false)
    {
        DWORD pid = SeenDword(run, "Pid");
        HANDLE process = pid ? ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid) : nullptr;
        bool ended = !process || ::WaitForSingleObject(process, ms) == WAIT_OBJECT_0;
        if (process && !ended && kill)
            ::TerminateProcess(process, 1);
        if (process)
            ::CloseHandle(process);
        return ended;
    }
    static std::string WaitingTitle(const char* title) { return "Cobweld - " + (title + FromUtf8(u8" (待機中)")); }
    // Entry "Editor" (slot 1, Color=red); its program leaves Color=changed.
    void PrepareEditor()
    {
        ::ResetEvent(m_end);
        AddEntry(0, Entry("Editor", 1, true), "red");
        TellApp(Color("changed"), true);
    }
    // Starts the launcher and launches row with the Launch button.
    HWND LaunchRow(int row)
    {
        HWND window = m_launcher.StartLauncher() ? m_launcher.WaitMainWindow(kLong) : nullptr;
        if (window) {
            SelectRow(window, kListId, row);
            ClickButton(window, IDOK);
        }
        return window;
    }
    bool RunLauncher(const char* args) { return m_launcher.StartLauncher(args) && m_launcher.WaitExit(kLong); }
    // The launcher waits for "Editor" launched from its window; run m_run.
    HWND StartWaitingForEditor()
    {
        PrepareEditor();
        m_run = Runs() + 1;
        HWND window = LaunchRow(0);
        if (window && WaitRunReady(m_run) && WaitUntil([&] { return WindowText(window) == WaitingTitle("Editor"); }))
            return window;
        ADD_FAILURE() << "no wait for Editor";
        return nullptr;
    }
    // The launcher's next message box: text, caption, buttons, default button and icon as given.
    HWND WaitBox(const char* text, const char* caption, const std::vector<int>& buttons, int defaultButton, int icon)
    {
        HWND box = WaitMessageBox(m_launcher.Id(), kLong);
        MessageBoxContent c = box ? ReadMessageBox(box) : MessageBoxContent();
        EXPECT_EQ(std::tie(c.text, c.caption, c.buttons, c.defaultButton, c.icon),
                  std::make_tuple(FromUtf8(text), std::string(caption), buttons, defaultButton, icon));
        return box;
    }
    static void ExpectStaysMinimized(HWND window, const std::string& title)
    {
        ::Sleep(300);
        ASSERT_TRUE(Sync(window));
        EXPECT_TRUE(IsMinimized(window));
        EXPECT_EQ(WindowText(window), title);
    }
    static bool RestoreGrayed(HWND window)
    {
        return ::GetMenuState(::GetSystemMenu(window, FALSE), SC_RESTORE, MF_BYCOMMAND) & MF_GRAYED;
    }

    Process m_launcher;
    HANDLE m_end = nullptr; // set: the running settings_app ends
    int m_run = 0;
};
} // namespace

TEST_F(LaunchTest, TwoEntriesNamingOneSettingsKeyEachGetTheirOwnSettingsAndKeepWhatTheirProgramChanged)
{
    AddEntry(0, Entry("Alpha", 1, true), "red");
    AddEntry(1, Entry("Beta", 2, true), "blue");
    SetValues(HKEY_CURRENT_USER, kSettingsPath, {{"Color", "green"}, {"Stray", "x"}});
    const Values alphaChanged = {{"Color", "red2"}, {"OnlyAlpha", "1"}};
    // Started by index: the row, what its program writes, what it must find.
    const struct { const char* index; Values writes, found; } runs[] = {
        {"0", alphaChanged, Color("red")}, {"1", Color("blue2"), Color("blue")}, {"0", {}, alphaChanged}};
    for (int i = 0; i < 3; ++i) {
        TellApp(runs[i].writes, false);
        ASSERT_TRUE(RunLauncher(runs[i].index));
        EXPECT_EQ(Seen(i + 1), runs[i].found) << "run " << i + 1;
    }
    EXPECT_EQ(Snapshot(1), alphaChanged);
    EXPECT_EQ(Snapshot(2), Color("blue2"));
}

TEST_F(LaunchTest, WithoutRetrieveAgainTheLauncherEndsRightAfterTheStartAndTheProgramRunsOn)
{
    StoreEntry entry = Entry("Viewer", 2, false);
    entry.directory = "C:\\windows";
    AddEntry(0, Entry("Other", 1, false), nullptr);
    AddEntry(1, entry, "red");
    TellApp(Color("changed"), true);
    ASSERT_NE(LaunchRow(1), nullptr);
    ASSERT_TRUE(m_launcher.WaitExit(kLong));
    ASSERT_TRUE(WaitRunReady(1));
    EXPECT_FALSE(AppEnded(1));
    EXPECT_EQ(Seen(1), Color("red"));
    // The file path alone (Wine puts it in quotes, Windows does not), in the
    // entry's directory, no show flags.
    Values start = ReadValues(HKEY_CURRENT_USER, SeenPath(1));
    std::string path = ToolPath("settings_app.exe");
    EXPECT_TRUE(start["CommandLine"] == path || start["CommandLine"] == '"' + path + '"') << start["CommandLine"];
    EXPECT_EQ(start["Directory"], "C:\\windows");
    EXPECT_EQ(SeenDword(1, "StartFlags") & STARTF_USESHOWWINDOW, 0u);
    ::SetEvent(m_end);
    ASSERT_TRUE(AppEnded(1, kLong));
    EXPECT_EQ(Snapshot(2), Color("red")); // nobody waited to capture
}

TEST_F(LaunchTest, WithRetrieveAgainTheLauncherWaitsMinimizedRefusesToBeRestoredAndThenComesBack)
{
    HWND window = StartWaitingForEditor();
    ASSERT_NE(window, nullptr);
    PostSysCommand(window, SC_RESTORE);
    ::ShowWindow(window, SW_RESTORE);
    ExpectStaysMinimized(window, WaitingTitle("Editor"));
    EXPECT_EQ(Snapshot(1), Color("red"));
    ::SetEvent(m_end);
    ASSERT_TRUE(WaitUntil([&] { return !IsMinimized(window); }, kLong));
    EXPECT_EQ(WindowText(window), "Cobweld");
    EXPECT_EQ(Snapshot(1), Color("changed"));
    PostSysCommand(window, SC_CLOSE); // the wait is over: closing asks nothing
    EXPECT_TRUE(m_launcher.WaitExit(kLong));
}

TEST_F(LaunchTest, StartedWithAnIndexItLaunchesAtOnceAndEndsAfterTheCaptureWithoutShowingItsWindow)
{
    AddEntry(0, Entry("First", 1, true), "red");
    AddEntry(1, Entry("Second", 2, true), "blue");
    TellApp(Color("white"), true);
    ASSERT_TRUE(m_launcher.StartLauncher("1"));
    ASSERT_TRUE(WaitRunReady(1));
    EXPECT_EQ(Seen(1), Color("blue"));
    HWND window = m_launcher.WaitMainWindow(kLong);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return WindowText(window) == WaitingTitle("Second"); }));
    EXPECT_TRUE(IsMinimized(window));
    ::SetEvent(m_end);
    bool shown = false;
    ASSERT_TRUE(WaitUntil([&] {
        shown = shown || (::IsWindow(window) && ::IsWindowVisible(window) && !::IsIconic(window));
        return !m_launcher.Running();
    }, kLong));
    EXPECT_FALSE(shown);
    EXPECT_EQ(Snapshot(2), Color("white"));
}

TEST_F(LaunchTest, StartedWithAnIndexNamingNoRowItOpensNormallyAndWithoutDigitsItLaunchesTheFirstEntry)
{
    StoreEntry quiet = Entry("Quiet", 1, false); // asks to run minimized
    quiet.runMinimized = 1;
    AddEntry(0, quiet, "red");
    AddEntry(1, Entry("Second", 2, false), "blue");
    TellApp({}, false);
    for (const char* argument : {"7", "-1"}) {
        SCOPED_TRACE(argument);
        ASSERT_TRUE(m_launcher.StartLauncher(argument));
        HWND window = m_launcher.WaitMainWindow(kLong);
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(NoMessageBoxWithin(m_launcher.Id(), 500));
        EXPECT_FALSE(IsMinimized(window));
        EXPECT_EQ(WindowText(window), "Cobweld");
    }
    EXPECT_EQ(Runs(), 0);
    ASSERT_TRUE(RunLauncher("abc"));
    ASSERT_TRUE(WaitRunReady(1));
    EXPECT_EQ(Seen(1), Color("red"));
    EXPECT_NE(SeenDword(1, "StartFlags") & STARTF_USESHOWWINDOW, 0u);
    EXPECT_EQ(SeenDword(1, "ShowWindow"), static_cast<DWORD>(SW_SHOWMINNOACTIVE));
}

TEST_F(LaunchTest, AProgramPathWithAnArgumentFailsToStartAndTheWindowStaysMinimizedUntilIdle)
{
    StoreEntry entry = Entry("Broken", 1, true);
    entry.commandLine += " 0";
    AddEntry(0, entry, "red");
    HWND window = LaunchRow(0);
    ASSERT_NE(window, nullptr);
    HWND box = WaitBox(u8"プロセスの起動に失敗しました。", "COBWELD", {IDOK}, IDOK, 0);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(IsMinimized(window));
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    ExpectStaysMinimized(window, "Cobweld");
    EXPECT_EQ(Runs(), 0);
    ::Sleep(1200); // idle again: the window can be restored
    ::ShowWindow(window, SW_RESTORE);
    ASSERT_TRUE(Sync(window));
    EXPECT_FALSE(IsMinimized(window));
}

TEST_F(LaunchTest, AMissingSnapshotIsReportedAndTheProgramRunsWithTheSettingsItHas)
{
    AddEntry(0, Entry("Fresh", 5, true), nullptr);
    SetValues(HKEY_CURRENT_USER, kSettingsPath, Color("live"));
    TellApp(Color("kept"), true);
    HWND window = LaunchRow(0);
    ASSERT_NE(window, nullptr);
    HWND box = WaitBox(u8"レジストリの復元に失敗しました。プログラムの起動は続行します。", "COBWELD", {IDOK},
                       IDOK, 0);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(Runs(), 0); // the program starts once the warning is read
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    ASSERT_TRUE(WaitRunReady(1));
    EXPECT_EQ(Seen(1), Color("live"));
    ExpectStaysMinimized(window, WaitingTitle("Fresh")); // the closed warning does not restore it
    // Once it ends, its settings become the entry's first snapshot.
    ::SetEvent(m_end);
    ASSERT_TRUE(WaitUntil([&] { return !IsMinimized(window); }, kLong));
    EXPECT_EQ(Snapshot(5), Color("kept"));
}

TEST_F(LaunchTest, CloseDuringAWaitAnsweredNoKeepsWaitingAndYesEndsTheLauncherWithoutACapture)
{
    // Each answer, with the program ending after it or while the question is shown.
    for (int answer : {IDNO, IDYES}) {
        for (bool endsWhileAsked : {false, true}) {
            SCOPED_TRACE(std::string(answer == IDNO ? "No" : "Yes") + (endsWhileAsked ? ", ended while asked" : ""));
            HWND window = StartWaitingForEditor();
            ASSERT_NE(window, nullptr);
            PostSysCommand(window, SC_CLOSE);
            HWND box = WaitBox(u8"子プロセスを待機中です。強制終了させますか？", "Cobweld", {IDYES, IDNO},
                               IDNO, MB_ICONQUESTION);
            ASSERT_NE(box, nullptr);
            if (endsWhileAsked) { // the question still decides: nothing happens before the answer
                ::SetEvent(m_end);
                ASSERT_TRUE(AppEnded(m_run, kLong));
                ::Sleep(600);
                EXPECT_TRUE(::IsWindow(box) && IsMinimized(window));
                EXPECT_EQ(Snapshot(1), Color("red"));
            }
            ASSERT_TRUE(AnswerMessageBox(box, answer));
            if (answer == IDYES) {
                ASSERT_TRUE(m_launcher.WaitExit(kLong));
                EXPECT_EQ(AppEnded(m_run), endsWhileAsked); // the program runs on
                ::SetEvent(m_end);
                ASSERT_TRUE(AppEnded(m_run, kLong));
                EXPECT_EQ(Snapshot(1), Color("red"));
                continue;
            }
            if (!endsWhileAsked) {
                ExpectStaysMinimized(window, WaitingTitle("Editor"));
                ::SetEvent(m_end);
            }
            ASSERT_TRUE(WaitUntil([&] { return !IsMinimized(window); }, kLong));
            EXPECT_EQ(WindowText(window), "Cobweld");
            EXPECT_EQ(Snapshot(1), Color("changed"));
            EXPECT_TRUE(m_launcher.Running());
        }
    }
}

TEST_F(LaunchTest, TheWaitGraysRestoreUntilItsCaptureAndAWaitAbandonedWithTheWindowEndsQuietlyWithoutOne)
{
    CWinApp app("CobweldLaunchTest");
    app.SetRegistryKey("CobweldTest");
    app.WriteProfileInt("Cobweld", "Installed", 1); // its own profile, not a first run
    PrepareEditor();
    CLauncherDlg* dlg = new CLauncherDlg(nullptr);
    bool grayed = false, enabledAfter = false, abandoned = false;
    int runsWhileWaiting = 0;
    HANDLE waitThread = nullptr;
    std::thread user([&] {
        HWND window = nullptr;
        if (!WaitUntil([&] { return (window = FindMainWindow(::GetCurrentProcessId())) != nullptr; }, kLong))
            return ADD_FAILURE() << "no main window";
        SelectRow(window, kListId, 0);
        ClickButton(window, IDOK);
        if (WaitRunReady(1) && WaitUntil([&] { return WindowText(window) == WaitingTitle("Editor"); })) {
            grayed = RestoreGrayed(window);
            // The launch command is out of reach, but a posted one still arrives.
            ClickButton(window, IDOK);
            Sync(window);
            ::Sleep(500);
            runsWhileWaiting = Runs();
            ::SetEvent(m_end);
            if (WaitUntil([&] { return !::IsIconic(window) && WindowText(window) == "Cobweld"; }, kLong))
                enabledAfter = !RestoreGrayed(window);
        }
        // Launched again, and the window closed while the wait runs.
        ::ResetEvent(m_end);
        TellApp(Color("second"), true);
        ClickButton(window, IDOK);
        CWinThread* volatile* thread = &dlg->m_pWaitThread;
        if (WaitRunReady(2) && WaitUntil([&] { return *thread != nullptr; }))
            ::DuplicateHandle(::GetCurrentProcess(), (*thread)->m_hThread, ::GetCurrentProcess(), &waitThread,
                              SYNCHRONIZE, FALSE, 0);
        PostSysCommand(window, SC_CLOSE);
        if (HWND box = WaitMessageBox(::GetCurrentProcessId(), kLong))
            abandoned = AnswerMessageBox(box, IDYES);
    });
    app.m_pMainWnd = dlg;
    dlg->DoModal();
    app.m_pMainWnd = nullptr;
    user.join();
    delete dlg;
    DeleteTree(HKEY_CURRENT_USER, "Software\\CobweldTest\\CobweldLaunchTest");
    EXPECT_TRUE(grayed);
    EXPECT_EQ(runsWhileWaiting, 1);
    EXPECT_TRUE(enabledAfter);
    ASSERT_TRUE(abandoned);
    ASSERT_NE(waitThread, nullptr);
    // The window and the list are gone; the wait thread still waits, and ends
    // with its program without capturing.
    EXPECT_EQ(::WaitForSingleObject(waitThread, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_FALSE(AppEnded(2));
    ::SetEvent(m_end);
    ASSERT_TRUE(AppEnded(2, kLong));
    EXPECT_EQ(::WaitForSingleObject(waitThread, kLong), static_cast<DWORD>(WAIT_OBJECT_0));
    ::CloseHandle(waitThread);
    EXPECT_EQ(Snapshot(1), Color("changed"));
}
