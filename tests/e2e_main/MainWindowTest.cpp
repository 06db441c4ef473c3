// The real COBWELD.EXE, driven from outside: start-up, the single-instance
// refusal and the main window's own commands.
#include <gtest/gtest.h>
#include "framework/Text.h"
#include "resources/resource.h"
#include "tests/driver/Driver.h"

using namespace driver;

namespace {

const char* const kSettingsKey = "Software\\CobweldTest\\MainWindow";

StoreEntry Entry(int n)
{
    StoreEntry e;
    e.title = FromUtf8(u8"テスト項目") + std::to_string(n);
    e.commandLine = "C:\\windows\\notepad.exe";
    e.directory = "C:\\windows";
    e.iconPath = "C:\\windows\\notepad.exe";
    e.registry = "CobweldTest\\MainWindow";
    e.saveSlot = static_cast<DWORD>(n + 1);
    return e;
}

// A store of count entries, each with a snapshot of its own.
void SeedStore(int count)
{
    for (int i = 0; i < count; ++i) {
        ASSERT_TRUE(WriteStoreEntry(i, Entry(i)));
        ASSERT_TRUE(SetStringValue(HKEY_LOCAL_MACHINE, SnapshotPath(i + 1), "Marker", "slot" + std::to_string(i + 1)));
    }
}

std::string WholeState()
{
    return DumpTree(HKEY_LOCAL_MACHINE, kStoreRoot) + DumpTree(HKEY_CURRENT_USER, kProfileRoot);
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WipeLauncherState();
        DeleteTree(HKEY_CURRENT_USER, kSettingsKey);
        // Not a first run, unless a test says so: no group notice at close.
        ASSERT_TRUE(WriteProfileInt("Installed", 1));
    }
    void TearDown() override
    {
        launcher.Kill();
        WipeLauncherState();
        DeleteTree(HKEY_CURRENT_USER, kSettingsKey);
    }

    HWND Start(const std::string& arguments = "")
    {
        if (!launcher.StartLauncher(arguments))
            return nullptr;
        return launcher.WaitMainWindow();
    }

    // Exit button; the group step may ask whether to update an existing
    // group (No) or announce a first run's group (OK).
    bool Close(HWND main)
    {
        ClickButton(main, IDC_EXIT);
        for (int boxes = 0; boxes < 3; ++boxes) {
            HWND box = nullptr;
            WaitUntil([&] { return !launcher.Running() || (box = FindMessageBox(launcher.Id())) != nullptr; });
            if (!box)
                break;
            MessageBoxContent content = ReadMessageBox(box);
            if (content.text == FromUtf8(u8"プログラムマネージャのCobweldグループを更新しますか？"))
                AnswerMessageBox(box, IDNO);
            else if (content.text == FromUtf8(u8"プログラムマネージャにCobweldグループを作成します。"))
                AnswerMessageBox(box, IDOK);
            else {
                ADD_FAILURE() << "unexpected message box at close: " << content.text;
                AnswerMessageBox(box, content.defaultButton ? content.defaultButton : IDOK);
            }
        }
        return launcher.WaitExit();
    }

    Process launcher;
};

// ------------------------------------------------------------ single instance

TEST_F(MainWindowTest, SecondStartIsRefusedWithStopMessageAndWritesNothing)
{
    SeedStore(2);
    ASSERT_TRUE(WriteProfileInt("Current", 1));
    HWND main = Start();
    ASSERT_TRUE(main);
    std::string before = WholeState();

    Process second;
    ASSERT_TRUE(second.StartLauncher("0"));
    HWND box = WaitMessageBox(second.Id());
    ASSERT_TRUE(box);
    MessageBoxContent content = ReadMessageBox(box);
    EXPECT_EQ(content.caption, "Cobweld");
    EXPECT_EQ(content.text, FromUtf8(u8"Cobweldが既に起動されています。Cobweldは多重起動することができません。"));
    EXPECT_EQ(content.buttons, std::vector<int>{IDOK});
    EXPECT_EQ(content.icon, MB_ICONHAND);
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
    EXPECT_EQ(FindMainWindow(second.Id()), nullptr);

    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    EXPECT_TRUE(second.WaitExit());
    EXPECT_EQ(WholeState(), before);
    // The running launcher was not told about the index.
    EXPECT_TRUE(launcher.Running());
    EXPECT_FALSE(IsMinimized(main));
    EXPECT_EQ(ListSelection(main, IDC_PROGRAM_LIST), 1);
}

TEST_F(MainWindowTest, RunningLauncherAnswersTheProbeOnlyForBothArgumentsMinusOne)
{
    HWND main = Start();
    ASSERT_TRUE(main);
    auto probe = [&](WPARAM w, LPARAM l) {
        DWORD_PTR reply = 12345;
        EXPECT_TRUE(SendMessageTimeoutA(main, WM_USER + 100, w, l, SMTO_NORMAL, 5000, &reply));
        return reply;
    };
    EXPECT_EQ(probe(static_cast<WPARAM>(-1), -1), 0xF0F0F0F0u);
    EXPECT_EQ(probe(static_cast<WPARAM>(-1), 0), 0u);
    EXPECT_EQ(probe(0, -1), 0u);
    EXPECT_EQ(probe(0, 0), 0u);
    // The probe neither shows nor activates anything.
    EXPECT_TRUE(NoMessageBoxWithin(launcher.Id(), 300));
}

class ForeignWindow {
public:
    // reply: hexadecimal answer, or "hang".
    HWND Start(const std::string& reply, const std::string& title)
    {
        if (!m_process.Start(ToolPath("foreign_window.exe"), reply + " " + title))
            return nullptr;
        HWND found = nullptr;
        WaitUntil([&] {
            std::vector<HWND> windows = TopLevelWindows(m_process.Id());
            found = windows.empty() ? nullptr : windows.front();
            return found != nullptr;
        });
        return found;
    }
    Process m_process;
};

LRESULT ProbesReceived(HWND foreign)
{
    DWORD_PTR count = 0;
    SendMessageTimeoutA(foreign, WM_APP + 1, 0, 0, SMTO_NORMAL, 2000, &count);
    return static_cast<LRESULT>(count);
}

TEST_F(MainWindowTest, ForeignWindowTitledCobweldThatAnswersZeroDoesNotStopTheStart)
{
    ForeignWindow foreign;
    HWND window = foreign.Start("0", "Cobweld");
    ASSERT_TRUE(window);
    ASSERT_EQ(WindowText(window), "Cobweld");
    HWND prefixed = nullptr;
    ForeignWindow longer;
    prefixed = longer.Start("1", "Cobweld and more");
    ASSERT_TRUE(prefixed);

    HWND main = Start();
    ASSERT_TRUE(main);
    EXPECT_TRUE(NoMessageBoxWithin(launcher.Id(), 300));
    // Both were asked, and neither gave the launcher's answer.
    EXPECT_GE(ProbesReceived(window), 1);
    EXPECT_GE(ProbesReceived(prefixed), 1);
}

TEST_F(MainWindowTest, TitlesInAnotherCaseOrShorterThanThePrefixAreNotProbed)
{
    ForeignWindow upper, shorter;
    HWND upperWindow = upper.Start("F0F0F0F0", "COBWELD");
    HWND shortWindow = shorter.Start("F0F0F0F0", "Cobwel");
    ASSERT_TRUE(upperWindow);
    ASSERT_TRUE(shortWindow);

    HWND main = Start();
    ASSERT_TRUE(main);
    EXPECT_EQ(ProbesReceived(upperWindow), 0);
    EXPECT_EQ(ProbesReceived(shortWindow), 0);
}

TEST_F(MainWindowTest, HungWindowTitledCobweldDoesNotHangTheStart)
{
    ForeignWindow hung;
    HWND window = hung.Start("hang", "Cobweld");
    ASSERT_TRUE(window);

    ASSERT_TRUE(launcher.StartLauncher());
    EXPECT_TRUE(launcher.WaitMainWindow(15000));
}

// ------------------------------------------------------------ opening

TEST_F(MainWindowTest, EmptyStoreDisablesLaunchPropertiesDeleteAndReacquire)
{
    HWND main = Start();
    ASSERT_TRUE(main);
    EXPECT_EQ(WindowText(main), "Cobweld");
    EXPECT_EQ(ListCount(main, IDC_PROGRAM_LIST), 0);
    EXPECT_FALSE(IsControlEnabled(main, IDOK));
    EXPECT_FALSE(IsControlEnabled(main, IDC_PROPERTIES));
    EXPECT_FALSE(IsControlEnabled(main, IDC_DELETE));
    EXPECT_FALSE(IsControlEnabled(main, IDC_REACQUIRE));
    for (int id : {IDC_NEW, IDC_UP, IDC_DOWN, IDC_EXIT, (int)ID_HELP})
        EXPECT_TRUE(IsControlEnabled(main, id)) << id;

    ClickButton(main, IDC_UP);
    ASSERT_TRUE(PressButton(main, IDC_DOWN));
    EXPECT_TRUE(NoMessageBoxWithin(launcher.Id(), 200));
    EXPECT_EQ(ListCount(main, IDC_PROGRAM_LIST), 0);
}

TEST_F(MainWindowTest, CurrentSelectsItsRowAndOneBeyondTheListSelectsNone)
{
    SeedStore(3);
    ASSERT_TRUE(WriteProfileInt("Current", 2));
    HWND main = Start();
    ASSERT_TRUE(main);
    EXPECT_EQ(ListCount(main, IDC_PROGRAM_LIST), 3);
    EXPECT_EQ(ListSelection(main, IDC_PROGRAM_LIST), 2);
    EXPECT_TRUE(IsControlEnabled(main, IDOK));
    ASSERT_TRUE(Close(main));

    ASSERT_TRUE(WriteProfileInt("Current", 3));
    main = Start();
    ASSERT_TRUE(main);
    EXPECT_EQ(ListSelection(main, IDC_PROGRAM_LIST), LB_ERR);
}

TEST_F(MainWindowTest, RowsAreOneIconHigh)
{
    SeedStore(1);
    HWND main = Start();
    ASSERT_TRUE(main);
    EXPECT_EQ(SendDlgItemMessageA(main, IDC_PROGRAM_LIST, LB_GETITEMHEIGHT, 0, 0), GetSystemMetrics(SM_CYICON));
}

TEST_F(MainWindowTest, CommandLineIndexThatNamesNoRowOpensTheWindowNormally)
{
    SeedStore(3);
    ASSERT_TRUE(WriteProfileInt("Current", 1));
    for (const char* argument : {"7", "-1"}) {
        HWND main = Start(argument);
        ASSERT_TRUE(main) << argument;
        EXPECT_FALSE(IsMinimized(main)) << argument;
        EXPECT_TRUE(NoMessageBoxWithin(launcher.Id(), 300)) << argument;
        EXPECT_TRUE(launcher.Running()) << argument;
        ASSERT_TRUE(Close(main)) << argument;
    }
}

// ------------------------------------------------------------ commands

TEST_F(MainWindowTest, DeleteAnsweredCancelChangesNothing)
{
    SeedStore(3);
    std::string before = DumpTree(HKEY_LOCAL_MACHINE, kStoreRoot);
    HWND main = Start();
    ASSERT_TRUE(main);
    SelectRow(main, IDC_PROGRAM_LIST, 1);
    ClickButton(main, IDC_DELETE);
    HWND box = WaitMessageBox(launcher.Id());
    ASSERT_TRUE(box);
    MessageBoxContent content = ReadMessageBox(box);
    EXPECT_EQ(content.caption, "Cobweld");
    EXPECT_EQ(content.text, Entry(1).title + FromUtf8(u8" を削除します。"));
    EXPECT_EQ(content.buttons, (std::vector<int>{IDOK, IDCANCEL}));
    EXPECT_EQ(content.icon, MB_ICONQUESTION);
    EXPECT_EQ(GetWindow(box, GW_OWNER), main);
    ASSERT_TRUE(AnswerMessageBox(box, IDCANCEL));

    EXPECT_EQ(ListCount(main, IDC_PROGRAM_LIST), 3);
    EXPECT_EQ(ListSelection(main, IDC_PROGRAM_LIST), 1);
    EXPECT_EQ(DumpTree(HKEY_LOCAL_MACHINE, kStoreRoot), before);
    ASSERT_TRUE(Close(main));
    EXPECT_EQ(DumpTree(HKEY_LOCAL_MACHINE, kStoreRoot), before);
}

TEST_F(MainWindowTest, DeleteAnsweredOkDiscardsTheSnapshotAndTheStoreIsRenumberedAtClose)
{
    SeedStore(3);
    HWND main = Start();
    ASSERT_TRUE(main);
    SelectRow(main, IDC_PROGRAM_LIST, 0);
    ClickButton(main, IDC_DELETE);
    HWND box = WaitMessageBox(launcher.Id());
    ASSERT_TRUE(box);
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    ASSERT_TRUE(Sync(main));

    EXPECT_EQ(ListCount(main, IDC_PROGRAM_LIST), 2);
    // The last row, whichever row was deleted.
    EXPECT_EQ(ListSelection(main, IDC_PROGRAM_LIST), 1);
    EXPECT_EQ(FocusOf(main), GetDlgItem(main, IDC_PROGRAM_LIST));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, SnapshotPath(1)));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, SnapshotPath(2)));
    // The store itself is written only at the close.
    EXPECT_EQ(CountStoreEntries(), 3);

    ASSERT_TRUE(Close(main));
    EXPECT_EQ(CountStoreEntries(), 2);
    StoreEntry first, second;
    ASSERT_TRUE(ReadStoreEntry(0, &first));
    ASSERT_TRUE(ReadStoreEntry(1, &second));
    EXPECT_EQ(first, Entry(1));
    EXPECT_EQ(second, Entry(2));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, SnapshotPath(3)));
}

TEST_F(MainWindowTest, DeletingTheOnlyEntryDisablesTheEntryButtonsAndLeavesNoSelection)
{
    SeedStore(1);
    HWND main = Start();
    ASSERT_TRUE(main);
    SelectRow(main, IDC_PROGRAM_LIST, 0);
    ClickButton(main, IDC_DELETE);
    HWND box = WaitMessageBox(launcher.Id());
    ASSERT_TRUE(box);
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    ASSERT_TRUE(Sync(main));

    EXPECT_EQ(ListCount(main, IDC_PROGRAM_LIST), 0);
    EXPECT_EQ(ListSelection(main, IDC_PROGRAM_LIST), LB_ERR);
    for (int id : {IDOK, IDC_PROPERTIES, IDC_DELETE, IDC_REACQUIRE})
        EXPECT_FALSE(IsControlEnabled(main, id)) << id;
    // The keyboard stays usable: the focus is not left on a disabled button.
    EXPECT_EQ(FocusOf(main), GetDlgItem(main, IDC_PROGRAM_LIST));
}

TEST_F(MainWindowTest, MovesFollowTheEntryButAreNotWrittenAlone)
{
    SeedStore(3);
    std::string before = DumpTree(HKEY_LOCAL_MACHINE, kStoreRoot);
    HWND main = Start();
    ASSERT_TRUE(main);
    LRESULT first = ListItemData(main, IDC_PROGRAM_LIST, 0);
    LRESULT second = ListItemData(main, IDC_PROGRAM_LIST, 1);
    LRESULT third = ListItemData(main, IDC_PROGRAM_LIST, 2);

    SelectRow(main, IDC_PROGRAM_LIST, 0);
    ASSERT_TRUE(PressButton(main, IDC_UP)); // nothing above the first row
    EXPECT_EQ(ListSelection(main, IDC_PROGRAM_LIST), 0);
    EXPECT_EQ(ListItemData(main, IDC_PROGRAM_LIST, 0), first);

    ASSERT_TRUE(PressButton(main, IDC_DOWN));
    EXPECT_EQ(ListSelection(main, IDC_PROGRAM_LIST), 1);
    EXPECT_EQ(ListItemData(main, IDC_PROGRAM_LIST, 0), second);
    EXPECT_EQ(ListItemData(main, IDC_PROGRAM_LIST, 1), first);

    SelectRow(main, IDC_PROGRAM_LIST, 2);
    ClickButton(main, IDC_DOWN); // nothing below the last row
    ASSERT_TRUE(PressButton(main, IDC_UP));
    EXPECT_EQ(ListSelection(main, IDC_PROGRAM_LIST), 1);
    EXPECT_EQ(ListItemData(main, IDC_PROGRAM_LIST, 1), third);
    EXPECT_EQ(ListItemData(main, IDC_PROGRAM_LIST, 2), first);

    ASSERT_TRUE(Close(main));
    EXPECT_EQ(DumpTree(HKEY_LOCAL_MACHINE, kStoreRoot), before);
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

    ClickButton(main, IDC_REACQUIRE);
    HWND box = WaitMessageBox(launcher.Id());
    ASSERT_TRUE(box);
    MessageBoxContent content = ReadMessageBox(box);
    EXPECT_EQ(content.caption, "Cobweld");
    EXPECT_EQ(content.text, "CobweldTest\\MainWindow" + FromUtf8(u8" のレジストリを取得しなおししますか？"));
    EXPECT_EQ(content.buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(content.icon, MB_ICONQUESTION);
    ASSERT_TRUE(AnswerMessageBox(box, IDNO));
    ASSERT_TRUE(Sync(main));
    EXPECT_EQ(DumpTree(HKEY_LOCAL_MACHINE, SnapshotPath(1)), oldSnapshot);

    ClickButton(main, IDC_REACQUIRE);
    box = WaitMessageBox(launcher.Id());
    ASSERT_TRUE(box);
    ASSERT_TRUE(AnswerMessageBox(box, IDYES));
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

TEST_F(MainWindowTest, InstalledIsOneAfterTheFirstClose)
{
    WipeLauncherState();
    HWND main = Start();
    ASSERT_TRUE(main);
    DWORD installed = 0;
    EXPECT_FALSE(ReadProfileInt("Installed", &installed));
    ASSERT_TRUE(Close(main));
    ASSERT_TRUE(ReadProfileInt("Installed", &installed));
    EXPECT_EQ(installed, 1u);
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
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }));
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(main) != FALSE; }));
    EXPECT_TRUE(launcher.Running());
}

} // namespace
