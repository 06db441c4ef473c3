// The real COBWELD.EXE, driven from outside: start-up, the single-instance
// refusal and the main window's own commands.
#include "tests/e2e_main/LauncherTest.h"

using namespace driver;

namespace {

const char* const kSettingsKey = "Software\\CobweldTest\\MainWindow";

StoreEntry Entry(int n)
{
    return {FromUtf8(u8"テスト項目") + std::to_string(n), "C:\\windows\\notepad.exe", "C:\\windows",
            "C:\\windows\\notepad.exe", "CobweldTest\\MainWindow", 0, static_cast<DWORD>(n + 1)};
}

// A store of count entries, each with a snapshot of its own.
void SeedStore(int count)
{
    for (int i = 0; i < count; ++i) {
        ASSERT_TRUE(WriteStoreEntry(i, Entry(i)));
        ASSERT_TRUE(SetStringValue(HKEY_LOCAL_MACHINE, SnapshotPath(i + 1), "Marker", "slot" + std::to_string(i + 1)));
    }
}

std::string Store() { return DumpTree(HKEY_LOCAL_MACHINE, kStoreRoot); }

std::vector<LRESULT> Rows(HWND main)
{
    std::vector<LRESULT> rows;
    for (int i = 0; i < ListCount(main, IDC_PROGRAM_LIST); ++i)
        rows.push_back(ListItemData(main, IDC_PROGRAM_LIST, i));
    return rows;
}

class MainWindowTest : public LauncherTest {
protected:
    MainWindowTest() : LauncherTest(kSettingsKey) {}
};

// ------------------------------------------------------------ single instance

TEST_F(MainWindowTest, SecondStartIsRefusedWithStopMessageAndWritesNothing)
{
    SeedStore(2);
    ASSERT_TRUE(WriteProfileInt("Current", 1));
    HWND main = Start();
    ASSERT_TRUE(main);
    std::string before = Store() + DumpTree(HKEY_CURRENT_USER, kProfileRoot);
    Process second;
    ASSERT_TRUE(second.StartLauncher("0"));
    HWND box = WaitMessageBox(second.Id());
    ExpectBox(box, "Cobweld", FromUtf8(u8"Cobweldが既に起動されています。Cobweldは多重起動することができません。"),
              {IDOK}, MB_ICONHAND);
    EXPECT_EQ(FindMainWindow(second.Id()), nullptr);
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    EXPECT_TRUE(second.WaitExit());
    EXPECT_EQ(Store() + DumpTree(HKEY_CURRENT_USER, kProfileRoot), before);
    // The running launcher was not told about the index.
    EXPECT_TRUE(launcher.Running());
    EXPECT_FALSE(IsMinimized(main));
    EXPECT_EQ(ListSelection(main, IDC_PROGRAM_LIST), 1);
    // The probe is answered only when both its arguments are -1.
    const LPARAM probes[][3] = {{-1, -1, 0xF0F0F0F0}, {-1, 0, 0}, {0, -1, 0}, {0, 0, 0}};
    for (const auto& p : probes) {
        DWORD_PTR reply = 12345;
        EXPECT_TRUE(SendMessageTimeoutA(main, WM_USER + 100, static_cast<WPARAM>(p[0]), p[1], SMTO_NORMAL, 5000, &reply));
        EXPECT_EQ(reply, static_cast<DWORD_PTR>(p[2])) << p[0] << ", " << p[1];
    }
    EXPECT_TRUE(NoMessageBoxWithin(launcher.Id(), 300));
}

// A window of the foreign_window tool: reply is its hexadecimal answer to the
// probe, or "hang".
struct ForeignWindow {
    Process process;
    HWND window = nullptr;
    ForeignWindow(const std::string& reply, const std::string& title)
    {
        if (process.Start(ToolPath("foreign_window.exe"), reply + " " + title))
            WaitUntil([&] {
                std::vector<HWND> windows = TopLevelWindows(process.Id());
                return (window = windows.empty() ? nullptr : windows.front()) != nullptr;
            });
    }
    LRESULT Probes() const
    {
        DWORD_PTR count = 0;
        SendMessageTimeoutA(window, WM_APP + 1, 0, 0, SMTO_NORMAL, 2000, &count);
        return static_cast<LRESULT>(count);
    }
};

TEST_F(MainWindowTest, ForeignWindowsTitledCobweldThatAnswerZeroOrHangDoNotStopTheStart)
{
    // Probed: titles beginning with "Cobweld". Not probed: other case or
    // shorter titles, which would stop the start if they were asked.
    ForeignWindow zero("0", "Cobweld"), longer("1", "Cobweld and more"), hung("hang", "Cobweld");
    ForeignWindow upper("F0F0F0F0", "COBWELD"), shorter("F0F0F0F0", "Cobwel");
    for (const ForeignWindow* w : {&zero, &longer, &hung, &upper, &shorter})
        ASSERT_TRUE(w->window);
    ASSERT_TRUE(launcher.StartLauncher());
    ASSERT_TRUE(launcher.WaitMainWindow(15000));
    EXPECT_TRUE(NoMessageBoxWithin(launcher.Id(), 300));
    EXPECT_GE(zero.Probes(), 1);
    EXPECT_GE(longer.Probes(), 1);
    EXPECT_EQ(upper.Probes(), 0);
    EXPECT_EQ(shorter.Probes(), 0);
}

// ------------------------------------------------------------ opening

TEST_F(MainWindowTest, CurrentSelectsItsRowAndOneBeyondTheListSelectsNone)
{
    SeedStore(3);
    ASSERT_TRUE(WriteProfileInt("Current", 2));
    HWND main = Start();
    ASSERT_TRUE(main);
    EXPECT_EQ(ListCount(main, IDC_PROGRAM_LIST), 3);
    EXPECT_EQ(ListSelection(main, IDC_PROGRAM_LIST), 2);
    EXPECT_TRUE(IsControlEnabled(main, IDOK));
    // Rows are one icon high; the selected one is highlighted right of its
    // icon, the others keep the window colour.
    HWND list = GetDlgItem(main, IDC_PROGRAM_LIST);
    int height = GetSystemMetrics(SM_CYICON), x = GetSystemMetrics(SM_CXICON) + 150;
    EXPECT_TRUE(WaitUntil([&] { return ScreenPixel(list, x, 2 * height + 2) == GetSysColor(COLOR_HIGHLIGHT); }));
    EXPECT_EQ(ScreenPixel(list, x, height + 2), GetSysColor(COLOR_WINDOW));
    ASSERT_TRUE(Close(main));
    ASSERT_TRUE(WriteProfileInt("Current", 3));
    main = Start();
    ASSERT_TRUE(main);
    EXPECT_EQ(ListSelection(main, IDC_PROGRAM_LIST), LB_ERR);
}

// ------------------------------------------------------------ commands

TEST_F(MainWindowTest, DeleteAnsweredCancelChangesNothingAndOkDiscardsTheSnapshotWithTheStoreRenumberedAtClose)
{
    SeedStore(3);
    std::string before = Store();
    HWND main = Start();
    ASSERT_TRUE(main);
    SelectRow(main, IDC_PROGRAM_LIST, 1);
    HWND box = Ask(main, IDC_DELETE);
    ExpectBox(box, "Cobweld", Entry(1).title + FromUtf8(u8" を削除します。"), {IDOK, IDCANCEL}, MB_ICONQUESTION);
    EXPECT_EQ(GetWindow(box, GW_OWNER), main);
    ASSERT_TRUE(AnswerMessageBox(box, IDCANCEL));
    ASSERT_TRUE(Sync(main));
    EXPECT_EQ(ListCount(main, IDC_PROGRAM_LIST), 3);
    EXPECT_EQ(ListSelection(main, IDC_PROGRAM_LIST), 1);
    EXPECT_EQ(Store(), before);
    SelectRow(main, IDC_PROGRAM_LIST, 0);
    ASSERT_TRUE(AnswerMessageBox(Ask(main, IDC_DELETE), IDOK));
    ASSERT_TRUE(Sync(main));
    EXPECT_EQ(ListCount(main, IDC_PROGRAM_LIST), 2);
    // The last row, whichever row was deleted.
    EXPECT_EQ(ListSelection(main, IDC_PROGRAM_LIST), 1);
    EXPECT_TRUE(ListFocused(main));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, SnapshotPath(1)));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, SnapshotPath(2)));
    // The store itself is written only at the close.
    EXPECT_EQ(CountStoreEntries(), 3);
    ASSERT_TRUE(Close(main));
    EXPECT_EQ(CountStoreEntries(), 2);
    for (int i = 0; i < 2; ++i) {
        StoreEntry stored;
        ASSERT_TRUE(ReadStoreEntry(i, &stored));
        EXPECT_TRUE(stored == Entry(i + 1)) << i;
    }
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, SnapshotPath(3)));
}

TEST_F(MainWindowTest, DeletingTheOnlyEntryOrAnEmptyStoreDisablesLaunchPropertiesDeleteAndReacquire)
{
    SeedStore(1);
    for (int run = 0; run < 2; ++run) {
        HWND main = Start();
        ASSERT_TRUE(main);
        if (run == 0) {
            SelectRow(main, IDC_PROGRAM_LIST, 0);
            ASSERT_TRUE(AnswerMessageBox(Ask(main, IDC_DELETE), IDOK));
            ASSERT_TRUE(Sync(main));
            // The keyboard stays usable: the focus is not left on a disabled button.
            EXPECT_TRUE(ListFocused(main));
        }
        EXPECT_EQ(ListCount(main, IDC_PROGRAM_LIST), 0) << run;
        EXPECT_EQ(ListSelection(main, IDC_PROGRAM_LIST), LB_ERR) << run;
        for (int id : {IDOK, IDC_PROPERTIES, IDC_DELETE, IDC_REACQUIRE})
            EXPECT_FALSE(IsControlEnabled(main, id)) << run << " " << id;
        for (int id : {IDC_NEW, IDC_UP, IDC_DOWN, IDC_EXIT, (int)ID_HELP})
            EXPECT_TRUE(IsControlEnabled(main, id)) << run << " " << id;
        // Moves on an empty list do nothing.
        ASSERT_TRUE(PressButton(main, IDC_UP) && PressButton(main, IDC_DOWN));
        EXPECT_TRUE(NoMessageBoxWithin(launcher.Id(), 200));
        ASSERT_TRUE(Close(main));
    }
    EXPECT_EQ(CountStoreEntries(), 0);
}

TEST_F(MainWindowTest, MovesFollowTheEntryButAreNotWrittenAlone)
{
    SeedStore(3);
    std::string before = Store();
    HWND main = Start();
    ASSERT_TRUE(main);
    std::vector<LRESULT> r = Rows(main);
    ASSERT_EQ(r.size(), 3u);
    // Up on the first row and down on the last change nothing.
    struct Move { int row, button, selected; std::vector<LRESULT> rows; } moves[] = {
        {0, IDC_UP, 0, {r[0], r[1], r[2]}},
        {0, IDC_DOWN, 1, {r[1], r[0], r[2]}},
        {2, IDC_DOWN, 2, {r[1], r[0], r[2]}},
        {2, IDC_UP, 1, {r[1], r[2], r[0]}},
    };
    for (const Move& m : moves) {
        SelectRow(main, IDC_PROGRAM_LIST, m.row);
        ASSERT_TRUE(PressButton(main, m.button));
        EXPECT_EQ(ListSelection(main, IDC_PROGRAM_LIST), m.selected) << m.row << " " << m.button;
        EXPECT_EQ(Rows(main), m.rows) << m.row << " " << m.button;
    }
    ASSERT_TRUE(Close(main));
    EXPECT_EQ(Store(), before);
}

TEST_F(MainWindowTest, ReacquireAnsweredYesReplacesTheSnapshotWithTheSettingsKey)
{
    SeedStore(1);
    ASSERT_TRUE(SetStringValue(HKEY_CURRENT_USER, kSettingsKey, "Colour", FromUtf8(u8"青")));
    ASSERT_TRUE(SetDwordValue(HKEY_CURRENT_USER, std::string(kSettingsKey) + "\\Window", "Width", 640));
    std::string info = DumpTree(HKEY_LOCAL_MACHINE, StoreEntryPath(0));
    std::string oldSnapshot = DumpTree(HKEY_LOCAL_MACHINE, SnapshotPath(1));
    HWND main = Start();
    ASSERT_TRUE(main);
    SelectRow(main, IDC_PROGRAM_LIST, 0);
    HWND box = Ask(main, IDC_REACQUIRE);
    ExpectBox(box, "Cobweld", "CobweldTest\\MainWindow" + FromUtf8(u8" のレジストリを取得しなおししますか？"),
              {IDYES, IDNO}, MB_ICONQUESTION);
    ASSERT_TRUE(AnswerMessageBox(box, IDNO));
    ASSERT_TRUE(Sync(main));
    EXPECT_EQ(DumpTree(HKEY_LOCAL_MACHINE, SnapshotPath(1)), oldSnapshot);
    ASSERT_TRUE(AnswerMessageBox(Ask(main, IDC_REACQUIRE), IDYES));
    ASSERT_TRUE(Sync(main));
    EXPECT_TRUE(NoMessageBoxWithin(launcher.Id(), 300));
    EXPECT_EQ(DumpTree(HKEY_LOCAL_MACHINE, SnapshotPath(1)), DumpTree(HKEY_CURRENT_USER, kSettingsKey));
    // Re-acquiring changes no entry: the close writes nothing back.
    ASSERT_TRUE(Close(main));
    EXPECT_EQ(DumpTree(HKEY_LOCAL_MACHINE, StoreEntryPath(0)), info);
}

// ------------------------------------------------------------ closing

TEST_F(MainWindowTest, EscapeDoesNotCloseTheWindowButTheSystemCloseDoes)
{
    HWND main = Start();
    ASSERT_TRUE(main);
    PressKey(main, VK_ESCAPE);
    ASSERT_TRUE(PressButton(main, IDCANCEL));
    EXPECT_FALSE(launcher.WaitExit(500));
    EXPECT_TRUE(IsWindow(main));
    PostSysCommand(main, SC_CLOSE);
    EXPECT_TRUE(launcher.WaitExit());
}

TEST_F(MainWindowTest, SystemCommandSixteenOpensTheAboutBoxOwnedByTheMainWindow)
{
    HWND main = Start();
    ASSERT_TRUE(main);
    PostSysCommand(main, IDM_ABOUTBOX);
    HWND about = WaitDialog(launcher.Id(), FromUtf8(u8"Cobweld for WindowsNT バージョン情報"));
    ASSERT_TRUE(about);
    EXPECT_EQ(GetWindow(about, GW_OWNER), main);
    EXPECT_FALSE(IsWindowEnabled(main));
    ClickButton(about, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about) && IsWindowEnabled(main); }));
    EXPECT_TRUE(launcher.Running());
}

} // namespace
