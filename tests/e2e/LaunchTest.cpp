// Launching entries through COBWELD.EXE, with settings_app standing in for
// the user's program: told what to write and whether to wait for m_end, it
// records the settings each start (run 1, 2, ...) found.
#include "tests/e2e/E2ETest.h"

namespace {

const char kApp[] = "Software\\CobweldTest\\E2EApp";
const char kEndEvent[] = "CobweldTestAppEnd";

class LaunchTest : public E2ETest {
protected:
    void SetUp() override
    {
        E2ETest::SetUp();
        ::ResetEvent(m_end);
    }
    void TearDown() override
    {
        launcher.Kill();
        ::SetEvent(m_end);
        for (int run = 1; run <= Number(0, "Runs"); ++run) // no settings_app outlives its test
            AppEnded(run, 5000);
        E2ETest::TearDown();
    }
    // An entry of settings_app, with the snapshot Color=color unless NULL.
    static void Add(int row, const char* title, DWORD slot, DWORD retrieveAgain, const char* color)
    {
        WriteStoreEntry(row, {title, BinDir() + "settings_app.exe", "", "", kSettingsName, 0, slot, 0, retrieveAgain});
        if (color)
            SetString(HKEY_LOCAL_MACHINE, SnapshotPath(slot), "Color", color);
    }
    // What the program's next start writes (Color=color unless NULL) and
    // whether it then waits for m_end.
    static void Tell(const char* color, bool wait)
    {
        DeleteTree(HKEY_CURRENT_USER, std::string(kApp) + "\\Write");
        SetString(HKEY_CURRENT_USER, kApp, "SettingsKey", kSettingsName);
        SetString(HKEY_CURRENT_USER, kApp, "EndEvent", wait ? kEndEvent : "");
        if (color)
            SetString(HKEY_CURRENT_USER, std::string(kApp) + "\\Write", "Color", color);
    }
    static std::string SeenPath(int run) { return std::string(kApp) + "\\Seen\\" + std::to_string(run); }
    // A number the program's start number run recorded; "Runs" for run 0.
    static int Number(int run, const char* name)
    {
        DWORD value = 0, size = sizeof value;
        ::RegGetValueA(HKEY_CURRENT_USER, run ? SeenPath(run).c_str() : kApp, name, RRF_RT_REG_DWORD, 0, &value, &size);
        return static_cast<int>(value);
    }
    static bool Ready(int run) { return WaitUntil([&] { return Number(run, "Ready") == 1; }); }
    // Color as the start number run found it, and as the slot holds it.
    static std::string Seen(int run) { return GetString(HKEY_CURRENT_USER, SeenPath(run) + "\\Settings", "Color"); }
    static std::string Snapshot(int slot) { return GetString(HKEY_LOCAL_MACHINE, SnapshotPath(slot), "Color"); }
    static bool AppEnded(int run, DWORD ms = 0)
    {
        HANDLE process = ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, Number(run, "Pid"));
        bool ended = !process || ::WaitForSingleObject(process, ms) == WAIT_OBJECT_0;
        if (process && !ended && ms)
            ::TerminateProcess(process, 1);
        if (process)
            ::CloseHandle(process);
        return ended;
    }
    static std::string Waiting(const char* title) { return "Cobweld - " + (title + FromUtf8(u8" (待機中)")); }
    // Starts the launcher and launches row with the Launch button.
    HWND LaunchRow(int row)
    {
        HWND main = Start();
        if (main)
            SelectRow(main, IDC_PROGRAM_LIST, row), Click(main, IDOK);
        return main;
    }
    // The launcher waits for "Editor" (slot 1, Color=red), whose program
    // leaves Color=changed; its run number is m_run.
    HWND WaitForEditor()
    {
        ::ResetEvent(m_end);
        Add(0, "Editor", 1, 1, "red");
        Tell("changed", true);
        m_run = Number(0, "Runs") + 1;
        HWND main = LaunchRow(0);
        if (main && Ready(m_run) && WaitUntil([&] { return WindowText(main) == Waiting("Editor"); }))
            return main;
        ADD_FAILURE() << "no wait for Editor";
        return nullptr;
    }
    static bool StaysMinimized(HWND main, const std::string& title)
    {
        ::Sleep(300);
        return Sync(main) && ::IsIconic(main) && WindowText(main) == title;
    }

    HANDLE m_end = ::CreateEventA(nullptr, TRUE, FALSE, kEndEvent); // set: the waiting settings_app ends
    int m_run = 0;
};

} // namespace

TEST_F(LaunchTest, TwoEntriesOnOneSettingsKeyEachRunWithTheirOwnSettingsAndKeepWhatTheirProgramChanged)
{
    Add(0, "Alpha", 1, 1, "red");
    Add(1, "Beta", 2, 1, "blue");
    // Started by index: the row, what its program writes, what it must find.
    const struct { const char *index, *writes, *found; } runs[] = {{"1", "blue2", "blue"}, {"0", "red2", "red"},
                                                                   {"1", nullptr, "blue2"}};
    for (int i = 0; i < 3; ++i) {
        Tell(runs[i].writes, false);
        ASSERT_TRUE(launcher.StartLauncher(runs[i].index) && launcher.WaitExit());
        EXPECT_EQ(Seen(i + 1), runs[i].found) << "run " << i + 1;
    }
    EXPECT_EQ(Snapshot(1) + Snapshot(2), "red2blue2");
    // The row launched last is selected at the next start.
    HWND main = Start();
    ASSERT_TRUE(main);
    EXPECT_EQ(ListSelection(main, IDC_PROGRAM_LIST), 1);
}

TEST_F(LaunchTest, AnIndexThatNamesNoRowOpensTheWindowAndOneWithoutDigitsLaunchesTheFirstEntry)
{
    Add(0, "Quiet", 1, 0, "red");
    SetDword(HKEY_LOCAL_MACHINE, EntryPath(0), "Icon", 1); // runs minimized
    Add(1, "Second", 2, 0, "blue");
    Tell(nullptr, false);
    // 4294967297 must not wrap around to row 1.
    for (const char* argument : {"7", "-1", "4294967296", "4294967297"}) {
        HWND main = Start(argument);
        ASSERT_TRUE(main) << argument;
        EXPECT_TRUE(NoMessageBoxWithin(launcher.Id(), 500) && !::IsIconic(main)) << argument;
        EXPECT_EQ(Number(0, "Runs"), 0) << argument;
    }
    ASSERT_TRUE(launcher.StartLauncher("abc") && launcher.WaitExit() && Ready(1));
    EXPECT_EQ(Number(1, "StartFlags") & STARTF_USESHOWWINDOW, STARTF_USESHOWWINDOW);
    EXPECT_EQ(Number(1, "ShowWindow"), SW_SHOWMINNOACTIVE);
}

TEST_F(LaunchTest, WithoutRetrieveAgainTheLauncherEndsRightAfterTheStartAndTheProgramRunsOn)
{
    Add(0, "Other", 1, 0, nullptr);
    Add(1, "Viewer", 2, 0, "red");
    SetString(HKEY_LOCAL_MACHINE, EntryPath(1), "Directory", "C:\\windows");
    Tell("changed", true);
    ASSERT_TRUE(LaunchRow(1));
    ASSERT_TRUE(launcher.WaitExit() && Ready(1));
    EXPECT_FALSE(AppEnded(1));
    EXPECT_EQ(Seen(1), "red");
    // The file path alone (Wine puts it in quotes), in the entry's
    // directory, with no show flags.
    EXPECT_EQ(GetString(HKEY_CURRENT_USER, SeenPath(1), "CommandLine"), '"' + BinDir() + "settings_app.exe\"");
    EXPECT_EQ(GetString(HKEY_CURRENT_USER, SeenPath(1), "Directory"), "C:\\windows");
    EXPECT_EQ(Number(1, "StartFlags") & STARTF_USESHOWWINDOW, 0);
    ::SetEvent(m_end);
    ASSERT_TRUE(AppEnded(1, kTimeout));
    EXPECT_EQ(Snapshot(2), "red"); // nobody waited to capture
}

TEST_F(LaunchTest, DuringTheWaitTheWindowStaysMinimizedAndLockedAndAfterTheCaptureItComesBack)
{
    HWND main = WaitForEditor();
    ASSERT_TRUE(main);
    const std::string store = Dump(HKEY_LOCAL_MACHINE, kStoreRoot);
    PostSysCommand(main, SC_RESTORE);
    ::ShowWindow(main, SW_RESTORE);
    // However they arrive, the entry commands do nothing while a launch runs:
    // a new entry could be given the slot the capture goes to.
    for (int id : {IDC_DELETE, IDC_NEW, IDC_PROPERTIES, IDC_REACQUIRE, IDC_UP, IDC_DOWN, IDOK})
        ::PostMessageA(main, WM_COMMAND, id, 0);
    for (char mnemonic : {'e', 'n', 'p', 'r'})
        ::PostMessageA(main, WM_SYSCHAR, mnemonic, 1 << 29);
    EXPECT_TRUE(StaysMinimized(main, Waiting("Editor")));
    EXPECT_TRUE(NoMessageBoxWithin(launcher.Id(), 500));
    EXPECT_FALSE(WaitDialog(launcher.Id(), FromUtf8(u8"プログラムの登録情報"), 100));
    EXPECT_EQ(Number(0, "Runs"), 1);
    EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, kStoreRoot), store);
    ::SetEvent(m_end);
    ASSERT_TRUE(WaitUntil([&] { return !::IsIconic(main); }));
    EXPECT_EQ(WindowText(main), "Cobweld");
    EXPECT_EQ(Snapshot(1), "changed");
    Click(main, IDC_EXIT); // the wait is over: closing asks nothing
    EXPECT_TRUE(launcher.WaitExit());
}

TEST_F(LaunchTest, AFailedStartAndAMissingSnapshotAreReportedAndTheWindowStaysMinimized)
{
    Add(0, "Broken", 1, 1, "red");
    SetString(HKEY_LOCAL_MACHINE, EntryPath(0), "CommandLine", BinDir() + "settings_app.exe 0");
    HWND main = LaunchRow(0);
    EXPECT_EQ(NextBox(IDOK), FromUtf8(u8"COBWELD|プロセスの起動に失敗しました。|OK*"));
    EXPECT_TRUE(main && StaysMinimized(main, "Cobweld"));
    ::Sleep(1200); // idle again: the window can be restored
    ::ShowWindow(main, SW_RESTORE);
    EXPECT_TRUE(Sync(main) && !::IsIconic(main));

    Add(0, "Fresh", 5, 1, nullptr);
    SetString(HKEY_CURRENT_USER, kSettingsPath, "Color", "live");
    Tell("kept", true);
    main = LaunchRow(0);
    HWND box = nullptr;
    EXPECT_EQ(NextBox(0, &box), FromUtf8(u8"COBWELD|レジストリの復元に失敗しました。プログラムの起動は続行します。|OK*"));
    EXPECT_EQ(Number(0, "Runs"), 0); // the program starts once the warning is read
    ASSERT_TRUE(Answer(box, IDOK) && Ready(1));
    EXPECT_EQ(Seen(1), "live");
    EXPECT_TRUE(StaysMinimized(main, Waiting("Fresh")));
    // Once it ends, its settings become the entry's first snapshot.
    ::SetEvent(m_end);
    ASSERT_TRUE(WaitUntil([&] { return !::IsIconic(main); }));
    EXPECT_EQ(Snapshot(5), "kept");
}

TEST_F(LaunchTest, CloseDuringTheWaitAnsweredNoKeepsWaitingAndYesEndsTheLauncherWithoutACapture)
{
    // The answer, and whether the program ends while the question is shown:
    // the answer decides all the same.
    for (auto answer : {std::make_pair(IDNO, false), std::make_pair(IDYES, false), std::make_pair(IDYES, true)}) {
        SCOPED_TRACE(std::to_string(answer.first) + (answer.second ? " ended while asked" : ""));
        HWND main = WaitForEditor(), box = nullptr;
        ASSERT_TRUE(main);
        PostSysCommand(main, SC_CLOSE);
        EXPECT_EQ(NextBox(0, &box), FromUtf8(u8"Cobweld|子プロセスを待機中です。強制終了させますか？|Yes No*"));
        if (answer.second) {
            ::SetEvent(m_end);
            ASSERT_TRUE(AppEnded(m_run, kTimeout));
            ::Sleep(600);
        }
        ASSERT_TRUE(Answer(box, answer.first));
        if (answer.first == IDNO) {
            EXPECT_TRUE(StaysMinimized(main, Waiting("Editor")));
            ::SetEvent(m_end);
            ASSERT_TRUE(WaitUntil([&] { return !::IsIconic(main); }));
            EXPECT_EQ(Snapshot(1), "changed");
            continue;
        }
        ASSERT_TRUE(launcher.WaitExit());
        EXPECT_EQ(AppEnded(m_run), answer.second); // the program runs on
        ::SetEvent(m_end);
        ASSERT_TRUE(AppEnded(m_run, kTimeout));
        EXPECT_EQ(Snapshot(1), "red");
    }
}

// A capture cut short by the end of the launcher would lose settings: once
// the program has ended, a close or the end of the session waits for it.
TEST_F(LaunchTest, OnceTheProgramHasEndedACloseOrTheSessionsEndCompletesTheCaptureFirst)
{
    for (bool sessionEnds : {false, true}) {
        SCOPED_TRACE(sessionEnds ? "session ends" : "close");
        HWND main = WaitForEditor();
        ASSERT_TRUE(main);
        for (int i = 0; i < 3000; ++i)
            SetDword(HKEY_CURRENT_USER, std::string(kSettingsPath) + "\\Big\\" + std::to_string(i), "n", i);
        ::SetEvent(m_end);
        ASSERT_TRUE(AppEnded(m_run, kTimeout));
        if (sessionEnds) {
            DWORD_PTR result = 0;
            ::SendMessageTimeoutA(main, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 60000, &result);
            launcher.Kill(); // as the system ends a process once it has answered
        } else {
            PostSysCommand(main, SC_CLOSE);
            EXPECT_TRUE(NoMessageBoxWithin(launcher.Id(), 300));
            EXPECT_TRUE(launcher.WaitExit(60000));
        }
        EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, SnapshotPath(1)), Dump(HKEY_CURRENT_USER, kSettingsPath));
        DeleteTree(HKEY_CURRENT_USER, kSettingsPath);
    }
}

// A standard user may read the machine-wide store but not write it: the
// launcher keeps a copy of it for the user and works there.
TEST_F(LaunchTest, OverAReadOnlyMachineWideStoreTheLauncherWorksOnTheUsersOwnCopy)
{
    Add(0, "Alpha", 1, 1, "red");
    SetTreeDacl(HKEY_LOCAL_MACHINE, "Software\\Varnolite", "D:P(A;OICI;KR;;;WD)");
    const std::string machine = Dump(HKEY_LOCAL_MACHINE, kStoreRoot);
    Tell("green", false);
    ASSERT_TRUE(launcher.StartLauncher("0") && launcher.WaitExit() && Ready(1));
    EXPECT_EQ(Seen(1), "red");
    EXPECT_EQ(GetString(HKEY_CURRENT_USER, SnapshotPath(1), "Color"), "green");
    HWND main = Start();
    ASSERT_TRUE(main);
    SetString(HKEY_CURRENT_USER, "Software\\CobweldTest\\E2EOther", "x", "1");
    NewEntry(main, "Beta", BinDir() + "settings_app.exe", kOtherName);
    ASSERT_TRUE(WaitUntil([&] { return ListCount(main, IDC_PROGRAM_LIST) == 2; }));
    EXPECT_TRUE(NoMessageBoxWithin(launcher.Id(), 300));
    launcher.Kill();
    main = Start();
    EXPECT_EQ(ListCount(main, IDC_PROGRAM_LIST), 2);
    EXPECT_EQ(StoredTitles(HKEY_CURRENT_USER), (std::vector<std::string>{"Alpha", "Beta"}));
    EXPECT_EQ(GetString(HKEY_CURRENT_USER, SnapshotPath(2), "x"), "1");
    EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, kStoreRoot), machine);
}

// Restoring the launcher's own key would remove its profile (and a per-user
// store with it): a launch of an entry naming it leaves it alone.
TEST_F(LaunchTest, AnEntryOnTheLaunchersOwnKeyChangesNothingOfIt)
{
    Add(0, "Own", 1, 1, "red");
    SetString(HKEY_LOCAL_MACHINE, EntryPath(0), "Registry", "varnolite\\cobweld");
    SetProfileInt("Current", 0);
    Tell(nullptr, false);
    const std::string own = Dump(HKEY_CURRENT_USER, "Software\\Varnolite");
    ASSERT_TRUE(launcher.StartLauncher("0"));
    EXPECT_EQ(NextBox(IDOK), FromUtf8(u8"COBWELD|レジストリの復元に失敗しました。プログラムの起動は続行します。|OK*"));
    ASSERT_TRUE(launcher.WaitExit() && Ready(1));
    EXPECT_EQ(Dump(HKEY_CURRENT_USER, "Software\\Varnolite"), own);
    EXPECT_EQ(Snapshot(1), "red");
}
