// Launching entries through COBWELD.EXE, with settings_app standing in for
// the user's program: told what to write and whether to wait for m_end, it
// records the settings each start (run 1, 2, ...) found.
#include "framework/Scoped.h"
#include "tests/e2e/E2ETest.h"

namespace {

const char kApp[] = "Software\\CobweldTest\\E2EApp";
const char kEndEvent[] = "CobweldTestAppEnd";

// What settings_app a test starts ends with the test program (driver::Process).
class LaunchTest : public E2ETest {
protected:
    // An entry of settings_app, with the snapshot Color=color unless NULL.
    static void Add(int row, const char* title, DWORD slot, DWORD retrieveAgain, const char* color,
                    HKEY root = HKEY_LOCAL_MACHINE)
    {
        WriteStoreEntry(row, {title, BinDir() + "settings_app.exe", "", "", kSettingsName, 0, slot, 0, retrieveAgain},
                        root);
        if (color)
            SetString(root, SnapshotPath(slot), "Color", color);
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
    // A number the program's start number run recorded; for run 0, the
    // control key's own: Runs, or the Pid of a starter (HandOver).
    static int Number(int run, const char* name) { return (int)GetDword(HKEY_CURRENT_USER, run ? SeenPath(run) : kApp, name); }
    static bool Ready(int run) { return WaitUntil([&] { return Number(run, "Ready") == 1; }); }
    // Color as the start number run found it, and as the slot holds it.
    static std::string Seen(int run) { return GetString(HKEY_CURRENT_USER, SeenPath(run) + "\\Settings", "Color"); }
    static std::string Snapshot(int slot) { return GetString(HKEY_LOCAL_MACHINE, SnapshotPath(slot), "Color"); }
    static bool AppEnded(int run, DWORD ms = 0)
    {
        CHandle process(::OpenProcess(SYNCHRONIZE, FALSE, Number(run, "Pid")));
        return !process.IsValid() || ::WaitForSingleObject(process, ms) == WAIT_OBJECT_0;
    }
    static std::string Waiting(const char* title) { return "Cobweld - " + (title + FromUtf8(u8" (待機中)")); }
    // The launcher waits for "Editor" (slot 1, Color=red), whose program
    // leaves Color=changed; its run number is m_run.
    HWND WaitForEditor()
    {
        ::ResetEvent(m_end);
        Add(0, "Editor", 1, 1, "red");
        Tell("changed", true);
        m_run = Number(0, "Runs") + 1;
        HWND main = Start();
        if (main)
            SelectRow(main, IDC_PROGRAM_LIST, 0), Click(main, IDOK);
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

    // Settings kept in files: an INI beside the program, a folder below
    // %APPDATA%, as the entries name them, and where they are.
    static const wchar_t* Paths() { return L"settings_app.ini\0%APPDATA%\\CobweldTestApp\0"; }
    static std::wstring Ini() { return Widen(BinDir()) + L"settings_app.ini"; }
    static std::wstring Folder() { return Expand(L"%APPDATA%\\CobweldTestApp"); }
    static void NameFiles(int row, DWORD slot, const wchar_t* paths = Paths())
    {
        size_t size = 0;
        while (paths[size] || paths[size + 1])
            ++size;
        SetValue(HKEY_LOCAL_MACHINE, EntryPath(row), L"Files", REG_MULTI_SZ, paths, DWORD(size + 2) * 2); // both NULs
        SetDword(HKEY_LOCAL_MACHINE, EntryPath(row), "FilesSlot", slot);
    }
    // The live files: the INI's colour, and one file in the folder.
    static void LiveFiles(const std::string& color, const std::string& file)
    {
        std::wstring ini = L"\uFEFF[Settings]\r\nColor=" + Widen(color) + L"\r\n";
        WriteBytes(Ini(), std::string(reinterpret_cast<const char*>(ini.data()), ini.size() * 2));
        RemoveFiles(Folder());
        ::CreateDirectoryW(Folder().c_str(), nullptr);
        WriteBytes(Folder() + L"\\" + Widen(file), file + " data");
    }
    // What start run found in the files: the INI's colour and the folder's files.
    static std::string SeenFiles(int run)
    {
        std::string seen = GetString(HKEY_CURRENT_USER, SeenPath(run), "IniColor") + ":",
                    files = Dump(HKEY_CURRENT_USER, SeenPath(run) + "\\Files");
        for (size_t at = 0; (at = files.find("\n  \"", at)) != std::string::npos; at += 4)
            seen += " " + files.substr(at + 4, files.find('"', at + 4) - at - 4);
        return seen;
    }
    static void TellFiles(const char* color, const char* file)
    {
        SetString(HKEY_CURRENT_USER, kApp, "IniFile", "settings_app.ini");
        SetString(HKEY_CURRENT_USER, kApp, "DataFolder", "%APPDATA%\\CobweldTestApp");
        DeleteTree(HKEY_CURRENT_USER, std::string(kApp) + "\\WriteFiles");
        ::RegDeleteKeyValueA(HKEY_CURRENT_USER, kApp, "IniWrite");
        if (color)
            SetString(HKEY_CURRENT_USER, kApp, "IniWrite", color);
        if (file)
            SetString(HKEY_CURRENT_USER, std::string(kApp) + "\\WriteFiles", file, std::string(file) + " run");
    }
    void TearDown() override
    {
        E2ETest::TearDown();
        ::DeleteFileW(Ini().c_str());
        RemoveFiles(Folder());
    }
};

} // namespace

// A start index that names no row (4294967297 must not wrap around to 1)
// opens the window; one whose program cannot start says so and leaves the
// window minimized; text without digits reads 0. Without retrieve-again the
// launcher ends right after the start, and the program runs on.
TEST_F(LaunchTest, AnIndexNamingNoRowOpensTheWindowAndWithoutRetrieveAgainTheLauncherEndsAtOnce)
{
    Add(0, "Quiet", 1, 0, "red");
    SetDword(HKEY_LOCAL_MACHINE, EntryPath(0), "Icon", 1); // runs minimized
    SetString(HKEY_LOCAL_MACHINE, EntryPath(0), "Directory", "C:\\windows");
    Add(1, "Broken", 2, 1, "blue");
    SetString(HKEY_LOCAL_MACHINE, EntryPath(1), "CommandLine", BinDir() + "settings_app.exe 0");
    Tell("changed", true);
    for (const char* argument : {"7", "-1", "4294967296", "4294967297"}) {
        HWND main = Start(argument);
        EXPECT_TRUE(main && !WaitMessageBox(launcher.Id(), 500) && !::IsIconic(main)) << argument;
    }
    HWND main = Start("1");
    EXPECT_EQ(NextBox(IDOK), FromUtf8(u8"COBWELD|プロセスの起動に失敗しました。|OK*"));
    EXPECT_TRUE(main && StaysMinimized(main, "Cobweld") && Number(0, "Runs") == 0);
    // A launch records its row: the next start selects it.
    EXPECT_EQ(ListSelection(Start(), IDC_PROGRAM_LIST), 1);
    ASSERT_TRUE(launcher.StartLauncher("abc") && launcher.WaitExit() && Ready(1));
    EXPECT_TRUE(!AppEnded(1) && Seen(1) == "red");
    // The file path alone (Wine puts it in quotes), in the entry's directory, minimized.
    EXPECT_EQ(GetString(HKEY_CURRENT_USER, SeenPath(1), "CommandLine") + GetString(HKEY_CURRENT_USER, SeenPath(1), "Directory"),
              '"' + BinDir() + "settings_app.exe\"C:\\windows");
    EXPECT_TRUE((Number(1, "StartFlags") & STARTF_USESHOWWINDOW) && Number(1, "ShowWindow") == SW_SHOWMINNOACTIVE);
    ::SetEvent(m_end);
    EXPECT_TRUE(AppEnded(1, kTimeout) && Snapshot(1) == "red"); // nobody waited to capture
    // Only the start by index itself ends the launcher: a launch from the
    // window of one started with an index that names no row brings it back.
    SetDword(HKEY_LOCAL_MACHINE, EntryPath(0), "RetrieveAgain", 1);
    main = Start("7");
    SelectRow(main, IDC_PROGRAM_LIST, 0), Click(main, IDOK);
    EXPECT_TRUE(Ready(2) && WaitUntil([&] { return !::IsIconic(main) && WindowText(main) == "Cobweld"; }));
    EXPECT_TRUE(launcher.Running() && Snapshot(1) == "changed");
}

// The program hands over to a second process and ends at once, as many
// programs' starters do: the wait lasts until that process has ended too,
// unless it broke away from the program's job.
TEST_F(LaunchTest, UntilTheProgramsLastProcessEndsTheWindowStaysMinimizedAndLockedAndAfterTheCaptureItComesBack)
{
    SetDword(HKEY_CURRENT_USER, kApp, "HandOver", 1);
    HWND main = WaitForEditor();
    ASSERT_TRUE(main && AppEnded(0, kTimeout));
    SetString(HKEY_LOCAL_MACHINE, SnapshotPath(1) + ".prev", "Color", "old"); // something to undo
    const std::string store = Dump(HKEY_LOCAL_MACHINE, kStoreRoot);
    PostSysCommand(main, SC_RESTORE);
    ::ShowWindow(main, SW_RESTORE);
    // However they arrive, the entry commands do nothing while a launch runs:
    // a new entry could be given the slot the capture goes to.
    for (int id : {IDC_DELETE, IDC_NEW, IDC_PROPERTIES, IDC_REACQUIRE, IDC_UP, IDC_DOWN, IDOK})
        ::PostMessageA(main, WM_COMMAND, id, 0);
    for (char mnemonic : {'e', 'n', 'p', 'r'})
        ::PostMessageA(main, WM_SYSCHAR, mnemonic, 1 << 29);
    for (UINT command : {IDM_UNDO_CAPTURE, IDM_EXPORT_SETTINGS, IDM_IMPORT_SETTINGS}) // nothing the capture would undo
        PostSysCommand(main, command), ::PostMessageA(main, WM_COMMAND, command, 0);
    EXPECT_TRUE(StaysMinimized(main, Waiting("Editor")));
    // What a command let through would show, a question at once or a copy's
    // progress after its second, shows within three seconds.
    EXPECT_FALSE(WaitUntil([&] { return FindOtherDialog(launcher.Id(), main) != nullptr; }, 3000));
    EXPECT_EQ(Number(0, "Runs"), 1);
    EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, kStoreRoot), store);
    ::SetEvent(m_end);
    ASSERT_TRUE(WaitUntil([&] { return !::IsIconic(main); }));
    EXPECT_EQ(WindowText(main), "Cobweld");
    EXPECT_EQ(Snapshot(1), "changed");
    SetDword(HKEY_CURRENT_USER, kApp, "HandOver", 2);
    ::ResetEvent(m_end);
    Click(main, IDOK);
    EXPECT_TRUE(Ready(2) && WaitUntil([&] { return !::IsIconic(main) && WindowText(main) == "Cobweld"; }));
    EXPECT_FALSE(AppEnded(2));
    ::SetEvent(m_end);
    Click(main, IDC_EXIT); // the wait is over: closing asks nothing
    EXPECT_TRUE(launcher.WaitExit());
}

TEST_F(LaunchTest, CloseDuringTheWaitAnsweredNoKeepsWaitingAndYesEndsTheLauncherWithoutACapture)
{
    for (int answer : {IDNO, IDYES}) {
        HWND main = WaitForEditor();
        ASSERT_TRUE(main);
        PostSysCommand(main, SC_CLOSE);
        EXPECT_EQ(NextBox(answer), FromUtf8(u8"Cobweld|子プロセスを待機中です。強制終了させますか？|Yes No*"));
        if (answer == IDYES) {
            EXPECT_TRUE(launcher.WaitExit() && !AppEnded(m_run)); // the program runs on
            ::SetEvent(m_end);
            EXPECT_TRUE(AppEnded(m_run, kTimeout) && Snapshot(1) == "red");
            continue;
        }
        EXPECT_TRUE(StaysMinimized(main, Waiting("Editor")));
        ::SetEvent(m_end);
        EXPECT_TRUE(WaitUntil([&] { return !::IsIconic(main); }) && Snapshot(1) == "changed");
    }
}

// A capture cut short by the end of the launcher would lose settings: once
// the program has ended, a close or the end of the session waits for it.
TEST_F(LaunchTest, OnceTheProgramHasEndedACloseOrTheSessionsEndCompletesTheCaptureFirst)
{
    for (bool sessionEnds : {false, true}) {
        SCOPED_TRACE(sessionEnds ? "session ends" : "close");
        SetUp(); // the next round's restore must not carry this one's 3,000 keys
        HWND main = WaitForEditor();
        ASSERT_TRUE(main);
        for (int i = 0; i < 3000; ++i)
            SetDword(HKEY_CURRENT_USER, std::string(kSettingsPath) + "\\Big\\" + std::to_string(i), "n", i);
        ::SetEvent(m_end);
        // The close comes while the capture runs.
        ASSERT_TRUE(WaitUntil([] { return Exists(HKEY_LOCAL_MACHINE, SnapshotPath(1) + ".new"); }));
        if (sessionEnds) {
            DWORD_PTR result = 0;
            ::SendMessageTimeoutA(main, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 60000, &result);
            launcher.Kill(); // as the system ends a process once it has answered
        } else {
            PostSysCommand(main, SC_CLOSE);
            EXPECT_TRUE(!WaitMessageBox(launcher.Id(), 300) && launcher.WaitExit(60000));
        }
        EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, SnapshotPath(1)), Dump(HKEY_CURRENT_USER, kSettingsPath));
    }
}

// A standard user may read the machine-wide store but not write it: the
// launcher keeps a copy of it for the user and works there.
TEST_F(LaunchTest, OverAReadOnlyMachineWideStoreTheLauncherWorksOnTheUsersOwnCopy)
{
    Add(0, "Alpha", 1, 1, "red");
    SetDword(HKEY_LOCAL_MACHINE, std::string(kStoreRoot) + "\\LeftBy", "Other\\Key", 7); // comes along
    SetTreeDacl(HKEY_LOCAL_MACHINE, "Software\\Varnolite", "D:P(A;OICI;KR;;;WD)");
    const std::string machine = Dump(HKEY_LOCAL_MACHINE, kStoreRoot);
    Tell("green", false);
    ASSERT_TRUE(launcher.StartLauncher("0") && launcher.WaitExit() && Ready(1));
    EXPECT_EQ(Seen(1) + GetString(HKEY_CURRENT_USER, SnapshotPath(1), "Color"), "redgreen");
    EXPECT_NE(Dump(HKEY_CURRENT_USER, std::string(kStoreRoot) + "\\LeftBy").find("Other"), std::string::npos);
    HWND main = Start();
    SetString(HKEY_CURRENT_USER, "Software\\CobweldTest\\E2EOther", "x", "1");
    NewEntry(main, "Beta", BinDir() + "settings_app.exe", kOtherName);
    ASSERT_TRUE(WaitUntil([&] { return ListCount(main, IDC_PROGRAM_LIST) == 2; }));
    launcher.Kill();
    EXPECT_EQ(ListCount(Start(), IDC_PROGRAM_LIST), 2);
    EXPECT_EQ(StoredTitles(HKEY_CURRENT_USER), (std::vector<std::string>{"Alpha", "Beta"}));
    EXPECT_EQ(GetString(HKEY_CURRENT_USER, SnapshotPath(2), "x"), "1");
    EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, kStoreRoot), machine);
}

// What 32-bit builds left: machine-wide entries in the 32-bit view; for a
// standard user, the copy Windows virtualized, or else a machine-wide list
// left mid-replacement, as its recovery would keep it. Neither is written.
TEST_F(LaunchTest, EntriesThatThe32BitBuildsLeftAreFoundAndOnlyRead)
{
    Add(0, "Alpha", 1, 0, "red");
    Tell(nullptr, false);
    ASSERT_TRUE(launcher.StartLauncher("0") && launcher.WaitExit() && Ready(1));
    // Copied, not renamed: Wine's RegRenameKey here would lose the key after Info.
    const std::string info = std::string(kStoreRoot) + "\\Info";
    ::RegCopyTreeA(Key(HKEY_LOCAL_MACHINE, Widen(info)), nullptr, Key(HKEY_LOCAL_MACHINE, Widen(info + ".new")));
    DeleteTree(HKEY_LOCAL_MACHINE, info);
    SetString(HKEY_LOCAL_MACHINE, info + ".old\\0", "Title", "Old");
    SetTreeDacl(HKEY_LOCAL_MACHINE, "Software\\Varnolite", "D:P(A;OICI;KR;;;WD)");
    ASSERT_TRUE(launcher.StartLauncher("0") && launcher.WaitExit() && Ready(2));
    EXPECT_EQ(StoredTitles(HKEY_CURRENT_USER), std::vector<std::string>{"Alpha"});
    Add(0, "Virtual", 1, 0, "blue", HKEY_CURRENT_USER);
    Key virtualStore(HKEY_CURRENT_USER, Widen(kVirtualStoreRoot));
    ::RegCopyTreeA(Key(HKEY_CURRENT_USER, Widen(kStoreRoot)), nullptr, virtualStore);
    DeleteTree(HKEY_CURRENT_USER, std::string(kStoreRoot) + "\\Info");
    const std::string untouched = Dump(HKEY_LOCAL_MACHINE, kStoreRoot) + Dump(HKEY_CURRENT_USER, kVirtualStoreRoot);
    ASSERT_TRUE(launcher.StartLauncher("0") && launcher.WaitExit() && Ready(3));
    EXPECT_EQ(Seen(1) + Seen(2) + Seen(3), "redredblue");
    EXPECT_EQ(StoredTitles(HKEY_CURRENT_USER), std::vector<std::string>{"Virtual"});
    EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, kStoreRoot) + Dump(HKEY_CURRENT_USER, kVirtualStoreRoot), untouched);
}

// A restore that cannot make the live settings the entry's own (a live
// subkey that cannot be removed; the launcher's own key, whose restore would
// remove its profile) says so and starts the program all the same; what the
// program leaves there is never taken into the entry's snapshot.
TEST_F(LaunchTest, ARestoreThatFailsStartsTheProgramButNeverTakesItsSettingsBack)
{
    Add(0, "Own", 1, 1, "red");
    SetProfileInt("Current", 0);
    Tell("green", false);
    const std::string locked = std::string(kSettingsPath) + "\\Locked", own = Dump(HKEY_CURRENT_USER, "Software\\Varnolite");
    SetDword(HKEY_CURRENT_USER, locked + "\\Inside", "x", 1);
    SetTreeDacl(HKEY_CURRENT_USER, locked, "D:P(A;;WD;;;WD)"); // cannot be emptied, so never removed
    for (int run : {1, 2}) {
        if (run == 2)
            SetString(HKEY_LOCAL_MACHINE, EntryPath(0), "Registry", "varnolite\\cobweld");
        EXPECT_TRUE(launcher.StartLauncher("0"));
        EXPECT_EQ(NextBox(IDOK), FromUtf8(u8"COBWELD|レジストリの復元に失敗しました。プログラムの起動は続行します。|OK*"));
        EXPECT_TRUE(launcher.WaitExit() && Ready(run) && !WaitMessageBox(launcher.Id(), 300));
        EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, SnapshotPath(1)).find("Locked"), std::string::npos);
        EXPECT_EQ(Snapshot(1), "red");
    }
    SetTreeDacl(HKEY_CURRENT_USER, locked, "D:P(A;OICI;KA;;;WD)");
    EXPECT_EQ(Dump(HKEY_CURRENT_USER, "Software\\Varnolite"), own);
}

// Every value comes back as it was, well formed or not, with the key's class.
// A capture that fails at the end of a wait is reported once the window is
// back, and leaves the snapshot as it was.
TEST_F(LaunchTest, SettingsTravelByteForByteAndAFailedCaptureIsReportedOnceTheWindowIsBack)
{
    const std::string expected = "Software\\CobweldTest\\E2EOther", locked = std::string(kSettingsPath) + "\\Locked";
    for (const std::string& path : {expected, SnapshotPath(1)})
        FillOddValues(Key(path == expected ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, Widen(path), L"Layout"));
    SetString(HKEY_CURRENT_USER, expected, "Color", "changed");
    HWND main = WaitForEditor();
    ::SetEvent(m_end);
    ASSERT_TRUE(main && WaitUntil([&] { return !::IsIconic(main); }));
    EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, SnapshotPath(1)), Dump(HKEY_CURRENT_USER, expected));
    launcher.Kill();
    main = WaitForEditor();
    const std::string snapshot = Dump(HKEY_LOCAL_MACHINE, SnapshotPath(1));
    SetDword(HKEY_CURRENT_USER, locked, "x", 1);
    SetTreeDacl(HKEY_CURRENT_USER, locked, "D:P(A;;WD;;;WD)"); // cannot be read back
    ::SetEvent(m_end);
    EXPECT_EQ(NextBox(IDOK), FromUtf8(u8"COBWELD|レジストリの取得に失敗しました。|OK*"));
    EXPECT_TRUE(main && !::IsIconic(main) && WindowText(main) == "Cobweld");
    EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, SnapshotPath(1)), snapshot);
    SetTreeDacl(HKEY_CURRENT_USER, locked, "D:P(A;OICI;KA;;;WD)");
}

// Settings changed outside the launcher since an entry left them are that
// entry's to keep: before a restore over them the launcher asks, also over a
// window minimized for a launch by index. Yes takes them into that entry
// (with history), No discards them, Cancel launches nothing.
TEST_F(LaunchTest, ChangesMadeOutsideAreOfferedToTheEntryThatLeftTheSettings)
{
    Add(0, "A", 1, 1, "a");
    Add(1, "B", 2, 1, "b");
    Tell(nullptr, false);
    auto question = [](const std::string& title) {
        return "Cobweld|\"" + std::string(kSettingsName) + FromUtf8(u8"\" の設定は「") + title +
               FromUtf8(u8"」の後で Cobweld の外から変更されています。変更を「") + title +
               FromUtf8(u8"」に取り込んでから起動しますか？|Yes* No Cancel");
    };
    // Launches row by index; answer is given to the question about title's changes, if any.
    auto launch = [&](const char* row, const char* title, int answer, const char* outside) {
        if (outside)
            SetString(HKEY_CURRENT_USER, kSettingsPath, "Color", outside);
        int run = Number(0, "Runs") + 1;
        EXPECT_TRUE(launcher.StartLauncher(row));
        HWND main = title ? launcher.WaitMainWindow() : nullptr;
        std::string asked = main ? NextBox(answer) : "";
        EXPECT_TRUE(!main || ::IsIconic(main)) << row;
        EXPECT_EQ(asked, title ? question(title) : "") << row;
        if (answer == IDCANCEL) {
            // Idle afterwards (Re-acquire asks), nothing restored or started.
            Click(main, IDC_REACQUIRE);
            bool idle = NextBox(IDNO).find(FromUtf8(u8"取得しなおし")) != std::string::npos;
            return std::string(idle && launcher.Running() && ::IsIconic(main) && Number(0, "Runs") == run - 1 ? "cancelled" : "?");
        }
        return launcher.WaitExit() ? Seen(run) : "?";
    };
    EXPECT_EQ(launch("0", nullptr, 0, nullptr), "a"); // nobody left the key yet
    EXPECT_EQ(launch("1", "A", IDCANCEL, "outside"), "cancelled");
    EXPECT_EQ(GetString(HKEY_CURRENT_USER, kSettingsPath, "Color") + Snapshot(1), "outsidea");
    EXPECT_EQ(launch("1", "A", IDYES, nullptr), "b");
    EXPECT_EQ(Snapshot(1) + GetString(HKEY_LOCAL_MACHINE, SnapshotPath(1) + ".g1", "Color"), "outsidea");
    EXPECT_EQ(launch("0", "B", IDNO, "again"), "outside");
    EXPECT_EQ(Snapshot(1) + Snapshot(2), "outsideb");
    EXPECT_EQ(launch("1", nullptr, 0, nullptr), "b"); // nothing changed since A left it
    // A launch that does not take its settings back leaves the key to nobody:
    // C's run is offered to no one, and never reaches B's snapshot.
    Add(2, "C", 3, 0, "c");
    Tell("c-run", false);
    EXPECT_EQ(launch("2", nullptr, 0, nullptr), "c");
    Tell(nullptr, false);
    EXPECT_EQ(launch("1", nullptr, 0, nullptr) + Snapshot(2), "bb");
    // A record naming the slot of an entry on another key (the two once
    // shared a slot, and the other was given one of its own) offers nothing.
    WriteStoreEntry(3, {"D", BinDir() + "settings_app.exe", "", "", kOtherName, 0, 1, 0, 1});
    const DWORD record[3] = {1, 0, 0};
    SetValue(HKEY_LOCAL_MACHINE, std::string(kStoreRoot) + "\\LeftBy", Widen(kOtherName).c_str(), REG_BINARY, record, 12);
    SetString(HKEY_CURRENT_USER, std::string("Software\\") + kOtherName, "Color", "changed");
    EXPECT_NE(launch("3", nullptr, 0, nullptr), "?");
}

// A close asked for while a question is open waits for the answer, and then
// starts nothing that the end of the launcher could cut short or that loses
// data: after No to the outside-change question the changes are kept as a
// generation and nothing is restored (it will be asked again); Yes to
// Re-acquire is captured before the launcher ends; a deletion answered OK is
// not made.
TEST_F(LaunchTest, ACloseDuringAQuestionWaitsForTheAnswerAndThenStartsOnlyWhatKeepsData)
{
    Add(0, "A", 1, 1, "a");
    Add(1, "B", 2, 1, "b");
    Tell(nullptr, false);
    ASSERT_TRUE(launcher.StartLauncher("0") && launcher.WaitExit() && Ready(1)); // A leaves the key
    SetString(HKEY_CURRENT_USER, kSettingsPath, "Color", "outside");
    const std::string left = Dump(HKEY_LOCAL_MACHINE, SnapshotPath(1)) + Dump(HKEY_LOCAL_MACHINE, std::string(kStoreRoot) + "\\LeftBy");
    const struct { int button, answer; const char* asks; } steps[] = {
        {IDOK, IDNO, u8"取り込んで"}, {IDC_REACQUIRE, IDYES, u8"取得しなおし"}, {IDC_DELETE, IDOK, u8"削除"}};
    for (const auto& step : steps) {
        HWND main = Start();
        SelectRow(main, IDC_PROGRAM_LIST, 1);
        Click(main, step.button);
        HWND box = WaitMessageBox(launcher.Id());
        DWORD_PTR result = 0;
        ::SendMessageTimeoutA(main, WM_SYSCOMMAND, SC_CLOSE, 0, SMTO_NORMAL, kTimeout, &result);
        std::string asked = box && ::IsWindowVisible(box) ? DescribeMessageBox(box) : "<gone>";
        EXPECT_NE(asked.find(FromUtf8(step.asks)), std::string::npos) << asked;
        EXPECT_TRUE(box && Answer(box, step.answer) && launcher.WaitExit(60000)) << step.asks;
        // No keeps the changes made outside as a generation of the entry that left them.
        if (step.button == IDOK) {
            EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, SnapshotPath(1)) + Dump(HKEY_LOCAL_MACHINE, std::string(kStoreRoot) + "\\LeftBy") +
                          GetString(HKEY_LOCAL_MACHINE, SnapshotPath(1) + ".g2", "Color"),
                      left + "outside");
        }
    }
    EXPECT_EQ(GetString(HKEY_CURRENT_USER, kSettingsPath, "Color") + Snapshot(2), "outsideoutside");
    EXPECT_EQ(StoredTitles(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(Number(0, "Runs"), 1);
}

// Long work shows its progress in the system's dialog, where a capture can be
// cancelled: the snapshot stays as it was. A close during a launch's restore
// waits for it, so the live key is whole, and starts nothing.
TEST_F(LaunchTest, ALongCaptureCanBeCancelledAndACloseWaitsForTheRestore)
{
    Add(0, "Big", 1, 1, "old");
    // The progress shows after a second of work, and Cancel and the close
    // must come while the copy runs: on one idle core 6,000 keys took 0.7 s.
    for (int i = 0; i < 18000; ++i)
        SetDword(HKEY_CURRENT_USER, std::string(kSettingsPath) + "\\Big\\" + std::to_string(i), "n", i);
    const std::string old = Dump(HKEY_LOCAL_MACHINE, SnapshotPath(1));
    HWND main = Start();
    SelectRow(main, IDC_PROGRAM_LIST, 0);
    for (bool cancel : {true, false}) {
        Click(main, IDC_REACQUIRE);
        NextBox(IDYES);
        HWND progress = WaitDialog(launcher.Id(), FromUtf8(u8"レジストリを取得しています"), 30000);
        ASSERT_TRUE(progress);
        if (cancel)
            Click(progress, IDCANCEL);
        EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(progress) || !::IsWindowVisible(progress); }, 60000));
    }
    EXPECT_FALSE(WaitMessageBox(launcher.Id(), 300));
    EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, SnapshotPath(1) + ".g1"), old); // the cancelled capture changed nothing
    DeleteTree(HKEY_CURRENT_USER, kSettingsPath);
    Click(main, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return Dump(HKEY_CURRENT_USER, kSettingsPath + std::string("\\Big\\0")) != "<missing>"; }));
    PostSysCommand(main, SC_CLOSE);
    EXPECT_TRUE(launcher.WaitExit(60000));
    EXPECT_EQ(Dump(HKEY_CURRENT_USER, kSettingsPath), Dump(HKEY_LOCAL_MACHINE, SnapshotPath(1)));
    EXPECT_EQ(Number(0, "Runs"), 0);
}

// Every capture keeps what it replaced, ten generations deep, with when and
// why; one marked kept stays beyond the depth, and a store an earlier build
// left with its one previous snapshot is a history of one. The history
// window brings any generation back (the next launch restores it, and what
// it replaced becomes the newest generation), and writes its difference
// from the snapshot as a registry file with which reg import turns live
// settings that hold the snapshot into it. A launcher killed while it makes
// a generation leaves every one whole.
TEST_F(LaunchTest, TheHistoryKeepsTenGenerationsAndBringsAnyOfThemBack)
{
    Add(0, "A", 1, 1, "v0");
    SetString(HKEY_LOCAL_MACHINE, SnapshotPath(1) + ".prev", "Color", "earlier");
    Tell(nullptr, false);
    HWND main = nullptr, dialog = nullptr;
    // Each session of the window does one thing, and its close waits for
    // the job that it started.
    auto session = [&] {
        main = Start();
        SelectRow(main, IDC_PROGRAM_LIST, 0);
    };
    auto exit = [&] {
        Click(main, IDC_EXIT);
        EXPECT_TRUE(launcher.WaitExit(60000));
    };
    auto history = [&] {
        PostSysCommand(main, IDM_HISTORY);
        dialog = WaitDialog(launcher.Id(), FromUtf8(u8"「A」の設定の履歴"));
        std::vector<std::string> rows;
        for (const std::string& row : dialog ? ListViewRows(::GetDlgItem(dialog, IDC_HISTORY_LIST)) : rows)
            rows.push_back(row.substr(20)); // the time
        return rows;
    };
    auto close = [&] { EXPECT_TRUE(Answer(dialog, IDCANCEL)); };
    session();
    EXPECT_EQ(history(), (std::vector<std::string>{FromUtf8(u8"現在||"), FromUtf8(u8"前回の取得||")}));
    close(), exit();
    const std::string live = kSettingsPath;
    for (int i = 1; i <= 12; ++i) {
        SetString(HKEY_CURRENT_USER, live, "Color", "v" + std::to_string(i));
        if (i == 7)
            SetDword(HKEY_CURRENT_USER, live + "\\Only7", "x", 7);
        if (i == 8)
            DeleteTree(HKEY_CURRENT_USER, live + "\\Only7");
        if (i == 9)
            FillRichTree(Key(HKEY_CURRENT_USER, Widen(live + "\\Rich")), false);
        if (i == 10)
            DeleteTree(HKEY_CURRENT_USER, live + "\\Rich");
        session();
        Click(main, IDC_REACQUIRE);
        NextBox(IDYES);
        ASSERT_TRUE(WaitUntil([&] { return Snapshot(1) == "v" + std::to_string(i); })) << i;
        exit();
        if (i == 2) { // v1 is the newest generation now
            session();
            history();
            SelectListViewRow(::GetDlgItem(dialog, IDC_HISTORY_LIST), 1);
            EXPECT_TRUE(Press(dialog, IDC_HISTORY_KEEP));
            close(), exit();
        }
    }
    session();
    std::vector<std::string> rows = history();
    ASSERT_EQ(rows.size(), 12u); // the set in use, v11 to v2, and v1 kept
    EXPECT_EQ(rows[11], FromUtf8(u8"再取得|1 キー、1 値、6 バイト|保持"));
    for (int i = 1; i < 11; ++i)
        EXPECT_EQ(rows[i].substr(0, rows[i].find('|')), FromUtf8(u8"再取得")) << i;
    // The fifth generation, v7, back in use; what it replaced is the newest.
    SelectListViewRow(::GetDlgItem(dialog, IDC_HISTORY_LIST), 5);
    Click(dialog, IDC_HISTORY_RESTORE);
    EXPECT_NE(NextBox(IDYES).find(FromUtf8(u8"を現在の設定にしますか")), std::string::npos);
    EXPECT_TRUE(WaitUntil([&] { return Snapshot(1) == "v7"; }));
    close(), exit();
    int run = Number(0, "Runs") + 1;
    ASSERT_TRUE(launcher.StartLauncher("0") && launcher.WaitExit() && Ready(run));
    EXPECT_EQ(Seen(run), "v7");
    // v9 as the difference from the snapshot (v7 again, captured at the end).
    const std::string file = std::getenv("TEMP") + std::string("\\CobweldTestDifference.reg");
    session();
    rows = history();
    EXPECT_EQ(rows.size(), 12u);
    EXPECT_EQ(rows[2].substr(0, rows[2].find('|')), FromUtf8(u8"元に戻す"));
    SelectListViewRow(::GetDlgItem(dialog, IDC_HISTORY_LIST), 5); // v7 (the run's end), v12 (undo), v11, v10, v9
    Click(dialog, IDC_HISTORY_COMPARE);
    ASSERT_TRUE(ChooseFile(launcher.Id(), FromUtf8(u8"設定の比較"), file));
    ASSERT_TRUE(WaitUntil([&] { return ::GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES; }));
    close(), exit();
    std::string v9;
    for (int n = 1; n < 30 && v9.empty(); ++n)
        if (GetString(HKEY_LOCAL_MACHINE, SnapshotPath(1) + ".g" + std::to_string(n), "Color") == "v9")
            v9 = SnapshotPath(1) + ".g" + std::to_string(n);
    EXPECT_EQ(Dump(HKEY_CURRENT_USER, live, false), Dump(HKEY_LOCAL_MACHINE, SnapshotPath(1), false));
    EXPECT_EQ(driver::Run("C:\\windows\\system32\\reg.exe", "import \"" + file + "\""), 0);
    EXPECT_EQ(Dump(HKEY_CURRENT_USER, live, false), Dump(HKEY_LOCAL_MACHINE, v9, false));
    ::DeleteFileA(file.c_str());
    // Killed while a capture builds its set: all as it was once the slot is
    // used again.
    const std::string before = Dump(HKEY_LOCAL_MACHINE, std::string(kStoreRoot) + "\\Save");
    for (int i = 0; i < 3000; ++i)
        SetDword(HKEY_CURRENT_USER, live + "\\Big\\" + std::to_string(i), "n", i);
    session();
    Click(main, IDC_REACQUIRE);
    NextBox(IDYES);
    ASSERT_TRUE(WaitUntil([] { return Exists(HKEY_LOCAL_MACHINE, SnapshotPath(1) + ".new"); }));
    launcher.Kill();
    session();
    EXPECT_EQ(history().size(), 12u);
    EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, std::string(kStoreRoot) + "\\Save"), before);
}

// Two entries on one program that keeps settings in an INI beside itself and
// in a folder below %APPDATA%, besides its key: each gets its own files back,
// byte for byte with their times, and what the other's run added is gone.
TEST_F(LaunchTest, TwoEntriesOnAProgramWithSettingsFilesEachGetTheirOwnFilesBack)
{
    Add(0, "A", 1, 1, "a"), Add(1, "B", 2, 1, "b");
    NameFiles(0, 1), NameFiles(1, 2);
    Tell(nullptr, false);
    SetString(HKEY_CURRENT_USER, kSettingsPath, "Color", "live");
    // Their first snapshots.
    HWND main = Start();
    for (int row : {0, 1}) {
        LiveFiles(row ? "b-ini" : "a-ini", row ? "b.txt" : "a.txt");
        SelectRow(main, IDC_PROGRAM_LIST, row);
        Click(main, IDC_REACQUIRE);
        EXPECT_EQ(NextBox(IDYES), "Cobweld|" + std::string(kSettingsName) + FromUtf8(u8" のレジストリを取得しなおししますか？|Yes* No"));
        const std::wstring list = Expand(L"%LOCALAPPDATA%\\Varnolite\\Cobweld\\Save\\") + std::to_wstring(row + 1) + L"\\paths.txt";
        EXPECT_TRUE(WaitUntil([&] { return WrittenAt(list) && Idle(main); }));
    }
    launcher.Kill();
    const std::string a = FromUtf8(u8"a-ini: a.txt"), b = FromUtf8(u8"b-ini: b.txt");
    const std::wstring snapshotIni = Expand(L"%LOCALAPPDATA%\\Varnolite\\Cobweld\\Save\\1\\1\\settings_app.ini");
    for (int run = 1; run <= 3; ++run) {
        TellFiles(run == 1 ? "a-run" : nullptr, run == 1 ? "run.txt" : nullptr);
        ASSERT_TRUE(launcher.StartLauncher(run == 2 ? "1" : "0") && launcher.WaitExit() && Ready(run));
        EXPECT_EQ(SeenFiles(run), run == 1 ? a : run == 2 ? b : FromUtf8(u8"a-run: a.txt run.txt")) << run;
    }
    // A's files as its run left them, to the byte and the time.
    EXPECT_EQ(ReadBytes(Ini()), ReadBytes(snapshotIni));
    EXPECT_EQ(WrittenAt(Ini()), WrittenAt(snapshotIni));
}

// A settings path that a restore would wipe more with is refused at OK,
// naming it and why: a drive's root, a folder of many programs' settings, the
// launcher's own snapshots, two paths one inside the other, a link. One that
// reaches the launcher from the store is refused when it is used, and
// nothing is touched: no program starts.
TEST_F(LaunchTest, SettingsPathsThatARestoreWouldWipeMoreWithAreRefusedNamingThem)
{
    Add(0, "A", 1, 1, "a");
    Tell(nullptr, false);
    const std::wstring link = Folder() + L"\\link", target = Expand(L"%TEMP%\\CobweldTestTarget");
    ::CreateDirectoryW(Folder().c_str(), nullptr), ::CreateDirectoryW(target.c_str(), nullptr);
    // Wine's mklink makes no link: a Unix one, which it shows as a reparse point.
    typedef char*(CDECL * UnixName)(const wchar_t*);
    auto unix = reinterpret_cast<UnixName>(::GetProcAddress(::GetModuleHandleA("kernel32"), "wine_get_unix_file_name"));
    driver::Run("Z:\\bin\\ln", std::string("-s ") + unix(target.c_str()) + " " + unix(link.c_str()));
    const struct { const wchar_t* paths; const wchar_t* named; const char* why; } refused[] = {
        {L"C:\\\0", L"C:\\", u8"ドライブまたは共有のルートです。"},
        {L"%APPDATA%\0", L"%APPDATA%", u8"ほかのプログラムの設定やシステムのファイルも入っているフォルダーです。"},
        {L"%LOCALAPPDATA%\\Varnolite\\Cobweld\\Save\\1\0", L"%LOCALAPPDATA%\\Varnolite\\Cobweld\\Save\\1",
         u8"Cobweld のスナップショットのフォルダーにかかっています。"},
        {L"%APPDATA%\\CobweldTestApp\0%APPDATA%\\CobweldTestApp\\Sub\0", L"%APPDATA%\\CobweldTestApp\\Sub",
         u8"このエントリのほかの設定ファイルと重なっています。"},
        {L"%APPDATA%\\CobweldTestApp\\link\0", L"%APPDATA%\\CobweldTestApp\\link", u8"ジャンクションまたはシンボリック リンクです。"}};
    for (const auto& path : refused) {
        NameFiles(0, 1, path.paths);
        const std::string text = FromUtf8(u8"設定ファイル ") + Narrow(path.named) + FromUtf8(u8" は使えません: ") + FromUtf8(path.why);
        HWND main = Start();
        SelectRow(main, IDC_PROGRAM_LIST, 0);
        Click(main, IDC_PROPERTIES);
        HWND dialog = WaitDialog(launcher.Id(), FromUtf8(u8"プログラムの登録情報"));
        Click(dialog, IDOK);
        EXPECT_EQ(NextBox(IDOK), "Cobweld|" + text + "|OK*");
        EXPECT_TRUE(::IsWindowVisible(dialog));
        launcher.Kill();
        int runs = Number(0, "Runs");
        ASSERT_TRUE(launcher.StartLauncher("0"));
        EXPECT_EQ(NextBox(IDOK), "COBWELD|" + FromUtf8(u8"設定の復元に失敗しました。プログラムは起動しません。\n") + text + "|OK*");
        EXPECT_TRUE(Number(0, "Runs") == runs && ::GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES &&
                    launcher.Running());
        launcher.Kill();
    }
    driver::Run("Z:\\bin\\rm", unix(link.c_str()));
    RemoveFiles(target);
}

// Settings files changed outside are offered as the key is; a file another
// program holds open stops a restore before it changes anything (nothing
// starts) and fails a capture, naming it; a link in a settings folder is
// left as it is; a launcher killed while it copies settings files leaves
// every snapshot whole.
TEST_F(LaunchTest, SettingsFilesChangedOutsideHeldOpenOrLinkedLoseNothing)
{
    Add(0, "A", 1, 1, "a"), Add(1, "B", 2, 1, "b");
    NameFiles(0, 1), NameFiles(1, 2);
    Tell(nullptr, false), TellFiles(nullptr, nullptr);
    SetString(HKEY_CURRENT_USER, kSettingsPath, "Color", "live");
    const std::wstring save = Expand(L"%LOCALAPPDATA%\\Varnolite\\Cobweld\\Save\\");
    HWND main = nullptr;
    auto reacquire = [&](int row, const std::string& box) {
        main = Start();
        SelectRow(main, IDC_PROGRAM_LIST, row);
        Click(main, IDC_REACQUIRE);
        NextBox(IDYES);
        if (!box.empty()) {
            EXPECT_EQ(NextBox(IDOK), box);
        }
        EXPECT_TRUE(WaitUntil([&] { return WrittenAt(save + std::to_wstring(row + 1) + L"\\paths.txt") && Idle(main); }));
        launcher.Kill();
    };
    LiveFiles("a", "a.txt"), reacquire(0, "");
    LiveFiles("b", "b.txt"), reacquire(1, "");
    // Changed outside after B left it: offered to B.
    LiveFiles("outside", "b.txt");
    ASSERT_TRUE(launcher.StartLauncher("0") && launcher.WaitMainWindow());
    EXPECT_EQ(NextBox(IDYES), FromUtf8(u8"Cobweld|\"settings_app.ini\" の設定は「B」の後で Cobweld の外から変更されています。変更を「B」に取り込んでから起動しますか？|Yes* No Cancel"));
    ASSERT_TRUE(launcher.WaitExit() && Ready(1));
    EXPECT_EQ(SeenFiles(1), FromUtf8(u8"a: a.txt"));
    EXPECT_NE(ReadBytes(save + L"2\\1\\settings_app.ini").find("o\0u\0t", 0, 6), std::string::npos);
    // Held open: B's restore changes nothing, starts nothing; A's capture fails.
    const std::string held = Narrow(Ini()) + FromUtf8(u8" をほかのプログラムが開いています。そのプログラムを終了してから、もう一度やり直してください。");
    const std::string live = ReadBytes(Ini());
    HANDLE file = ::CreateFileW(Ini().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_TRUE(launcher.StartLauncher("1"));
    EXPECT_EQ(NextBox(IDOK), "COBWELD|" + FromUtf8(u8"設定の復元に失敗しました。プログラムは起動しません。\n") + held + "|OK*");
    EXPECT_TRUE(Number(0, "Runs") == 1 && launcher.Running());
    ::CloseHandle(file);
    EXPECT_EQ(ReadBytes(Ini()), live);
    // Changed since (a file as it was is linked from the snapshot, not read).
    const std::string snapshot = ReadBytes(save + L"1\\1\\settings_app.ini");
    LiveFiles("changed", "a.txt");
    file = ::CreateFileW(Ini().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    main = Start();
    SelectRow(main, IDC_PROGRAM_LIST, 0);
    Click(main, IDC_REACQUIRE);
    NextBox(IDYES);
    EXPECT_EQ(NextBox(IDOK), "COBWELD|" + FromUtf8(u8"レジストリの取得に失敗しました。\n") + held + "|OK*");
    ::CloseHandle(file);
    EXPECT_EQ(ReadBytes(save + L"1\\1\\settings_app.ini"), snapshot);
    launcher.Kill();
    // A link in the folder: captured as nothing, left as it is by a restore.
    typedef char*(CDECL * UnixName)(const wchar_t*);
    auto unix = reinterpret_cast<UnixName>(::GetProcAddress(::GetModuleHandleA("kernel32"), "wine_get_unix_file_name"));
    const std::wstring link = Folder() + L"\\link", target = Expand(L"%TEMP%\\CobweldTestTarget");
    ::CreateDirectoryW(target.c_str(), nullptr);
    WriteBytes(target + L"\\kept.txt", "kept");
    driver::Run("Z:\\bin\\ln", std::string("-s ") + unix(target.c_str()) + " " + unix(link.c_str()));
    reacquire(0, "");
    EXPECT_EQ(::GetFileAttributesW((save + L"1\\2\\CobweldTestApp\\link").c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(launcher.StartLauncher("0") && launcher.WaitExit() && Ready(2));
    EXPECT_TRUE(::GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES && ReadBytes(target + L"\\kept.txt") == "kept");
    driver::Run("Z:\\bin\\rm", unix(link.c_str()));
    RemoveFiles(target);
    // Killed while it copies the files: the snapshot stays as it was.
    for (int i = 0; i < 1500; ++i)
        WriteBytes(Folder() + L"\\f" + std::to_wstring(i), std::string(2000, 'x'));
    main = Start();
    SelectRow(main, IDC_PROGRAM_LIST, 0);
    Click(main, IDC_REACQUIRE);
    NextBox(IDYES);
    ASSERT_TRUE(WaitUntil([&] { return WrittenAt(save + L"1.new\\paths.txt") != 0; }));
    launcher.Kill();
    EXPECT_EQ(ReadBytes(save + L"1\\1\\settings_app.ini"), snapshot);
    main = Start();
    SelectRow(main, IDC_PROGRAM_LIST, 0);
    PostSysCommand(main, IDM_HISTORY); // the slot put right
    ASSERT_TRUE(WaitDialog(launcher.Id(), FromUtf8(u8"「A」の設定の履歴")));
    EXPECT_TRUE(WrittenAt(save + L"1\\paths.txt") && !WrittenAt(save + L"1.new\\paths.txt"));
    EXPECT_EQ(ReadBytes(save + L"1\\1\\settings_app.ini"), snapshot);
}

// An export writes the settings files beside the registry file, in a folder
// of its name; an import takes them into another entry on the same paths,
// and refuses them for an entry on other paths, changing nothing.
TEST_F(LaunchTest, SettingsFilesTravelBesideTheRegistryFile)
{
    Add(0, "A", 1, 1, "a"), Add(1, "B", 2, 1, "b"), Add(2, "C", 3, 1, "c");
    NameFiles(0, 1), NameFiles(1, 2), NameFiles(2, 3, L"settings_app.ini\0");
    SetString(HKEY_CURRENT_USER, kSettingsPath, "Color", "live");
    const std::wstring save = Expand(L"%LOCALAPPDATA%\\Varnolite\\Cobweld\\Save\\");
    const std::string file = std::getenv("TEMP") + std::string("\\CobweldTestFiles.reg");
    HWND main = Start();
    for (int row : {0, 1, 2}) {
        LiveFiles(row ? "other" : "a", row ? "other.txt" : "a.txt");
        SelectRow(main, IDC_PROGRAM_LIST, row);
        Click(main, IDC_REACQUIRE);
        NextBox(IDYES);
        EXPECT_TRUE(WaitUntil([&] { return WrittenAt(save + std::to_wstring(row + 1) + L"\\paths.txt") && Idle(main); }));
    }
    SelectRow(main, IDC_PROGRAM_LIST, 0);
    PostSysCommand(main, IDM_EXPORT_SETTINGS);
    ASSERT_TRUE(ChooseFile(launcher.Id(), FromUtf8(u8"レジストリのエクスポート"), file));
    const std::wstring beside = Widen(file.substr(0, file.size() - 4));
    ASSERT_TRUE(WaitUntil([&] { return WrittenAt(beside + L"\\paths.txt") && Idle(main); }));
    EXPECT_EQ(ReadBytes(beside + L"\\2\\CobweldTestApp\\a.txt"), "a.txt data");
    const std::string c = ReadBytes(save + L"3\\1\\settings_app.ini");
    for (int row : {1, 2}) {
        SelectRow(main, IDC_PROGRAM_LIST, row);
        PostSysCommand(main, IDM_IMPORT_SETTINGS);
        ASSERT_TRUE(ChooseFile(launcher.Id(), FromUtf8(u8"レジストリのインポート"), file));
        if (row == 1)
            EXPECT_TRUE(WaitUntil([&] {
                return ReadBytes(save + L"2\\2\\CobweldTestApp\\a.txt") == "a.txt data" && Idle(main);
            }));
        else
            EXPECT_EQ(NextBox(IDOK), "COBWELD|" + FromUtf8(u8"レジストリのインポートに失敗しました。\n") + Narrow(beside) +
                                         FromUtf8(u8" の設定ファイルは、このエントリの設定ファイルと一致しません。|OK*"));
    }
    EXPECT_EQ(ReadBytes(save + L"2\\1\\settings_app.ini") + ReadBytes(save + L"3\\1\\settings_app.ini"),
              ReadBytes(save + L"1\\1\\settings_app.ini") + c);
    ::DeleteFileA(file.c_str());
    RemoveFiles(beside);
}
