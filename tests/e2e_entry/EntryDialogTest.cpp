// The New and Properties commands of the real COBWELD.EXE, with the entry
// properties dialog, the icon picker and the file browsers driven from
// outside as a user would.
#include "tests/e2e_main/LauncherTest.h"

using namespace driver;

namespace {

const char* const kSettingsKey = "Software\\CobweldTest\\EntryDialog";
const char* const kSettingsName = "CobweldTest\\EntryDialog";
const char* const kNotepad = "C:\\windows\\notepad.exe";
const char* const kShell32 = "C:\\windows\\system32\\shell32.dll";
const std::string kSaveRoot = std::string(kStoreRoot) + "\\Save";

std::string EntryCaption() { return FromUtf8(u8"プログラムの登録情報"); }
std::string TestIcon() { return BinDir() + "cobweld_test.ico"; }

StoreEntry Stored(int n)
{
    return {FromUtf8(u8"登録済み") + std::to_string(n), kNotepad, "C:\\windows", kShell32, kSettingsName, 0,
            static_cast<DWORD>(n + 1), 5, 1};
}

// The entry key holds exactly the nine values, types and sizes included,
// that the launcher writes for e.
void ExpectStored(int index, const StoreEntry& e)
{
    ASSERT_TRUE(WriteStoreEntry(99, e));
    EXPECT_EQ(DumpTree(HKEY_LOCAL_MACHINE, StoreEntryPath(index)), DumpTree(HKEY_LOCAL_MACHINE, StoreEntryPath(99)));
    DeleteTree(HKEY_LOCAL_MACHINE, StoreEntryPath(99));
}

HWND Item(HWND dialog, int id) { return GetDlgItem(dialog, id); }
// Text put into a control as if typed.
void Type(HWND dialog, int id, const std::string& text)
{
    SendMessageA(Item(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// A control's text, asked of the control itself: GetWindowText on a window
// of another process gives only the caption the window manager keeps.
std::string TextOf(HWND dialog, int id)
{
    char text[1024] = "";
    SendMessageA(Item(dialog, id), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

bool Checked(HWND dialog, int id) { return SendMessageA(Item(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
bool ShowsIcon(HWND dialog) { return SendMessageA(Item(dialog, IDC_ICON_PREVIEW), STM_GETICON, 0, 0) != 0; }

// Waits until the control has the focus, counting the edit field inside a
// combo box as the combo box.
bool WaitFocus(HWND dialog, int id)
{
    return WaitUntil([&] {
        HWND focus = FocusOf(dialog);
        if (focus && GetParent(focus) != dialog && ClassName(GetParent(focus)) == "ComboBox")
            focus = GetParent(focus);
        return focus == Item(dialog, id);
    });
}

bool WaitGone(HWND window)
{
    return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); });
}

// The file dialog of a browser: types the path into its file-name field
// (cmb13 or edt1) and presses Open.
bool ChooseFile(DWORD processId, const std::string& caption, const std::string& path)
{
    HWND browser = WaitDialog(processId, caption), name = nullptr;
    if (!browser || !WaitUntil([&] {
            for (int id : {0x47c, 0x480})
                if ((name = GetDlgItem(browser, id)) != nullptr && IsWindowVisible(name))
                    return true;
            return false;
        }))
        return false;
    SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    ClickButton(browser, IDOK);
    return WaitGone(browser);
}

class EntryDialogTest : public LauncherTest {
protected:
    EntryDialogTest() : LauncherTest(kSettingsKey) {}
    void SetUp() override
    {
        LauncherTest::SetUp();
        // A settings key with values of several types and a subkey with a class.
        const BYTE blob[] = {0, 1, 2, 0x5C, 0xFF};
        std::string sub = std::string(kSettingsKey) + "\\Window";
        ASSERT_TRUE(SetStringValue(HKEY_CURRENT_USER, kSettingsKey, "Name", FromUtf8(u8"設定値")));
        ASSERT_TRUE(SetDwordValue(HKEY_CURRENT_USER, kSettingsKey, "Count", 42));
        ASSERT_TRUE(SetValue(HKEY_CURRENT_USER, kSettingsKey, "Blob", REG_BINARY, blob, sizeof blob));
        ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, sub, "WindowClass"));
        ASSERT_TRUE(SetDwordValue(HKEY_CURRENT_USER, sub, "Left", 10));
    }

    HWND OpenDialog(HWND main, int command) { return Open(main, command, EntryCaption()); }
    HWND OpenPicker(HWND dialog) { return Open(dialog, IDC_CHANGE_ICON, FromUtf8(u8"アイコンの変更")); }

    // New with the three required fields typed, then OK.
    HWND NewEntry(HWND main, const std::string& title, const std::string& commandLine, const char* registry)
    {
        HWND dialog = OpenDialog(main, IDC_NEW);
        Type(dialog, IDC_TITLE, title);
        Type(dialog, IDC_COMMAND_LINE, commandLine);
        Type(dialog, IDC_REGISTRY_NAME, registry);
        ClickButton(dialog, IDOK);
        return dialog;
    }
};

} // namespace

TEST_F(EntryDialogTest, NewEntryMadeThroughTheDialogsIsListedWithItsIconStoredAndSnapshotted)
{
    HWND main = Start();
    ASSERT_TRUE(main);
    HWND dialog = OpenDialog(main, IDC_NEW);
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(WaitFocus(dialog, IDC_TITLE));
    Type(dialog, IDC_TITLE, FromUtf8(u8"メモ帳"));
    // Browse replaces whatever was typed, arguments included.
    Type(dialog, IDC_COMMAND_LINE, "C:\\other.exe -x");
    ClickButton(dialog, IDC_BROWSE);
    ASSERT_TRUE(ChooseFile(launcher.Id(), FromUtf8(u8"プログラムの参照"), kNotepad));
    EXPECT_TRUE(WaitUntil([&] { return _stricmp(TextOf(dialog, IDC_COMMAND_LINE).c_str(), kNotepad) == 0; }))
        << TextOf(dialog, IDC_COMMAND_LINE);
    EXPECT_TRUE(WaitFocus(dialog, IDC_COMMAND_LINE));
    Type(dialog, IDC_DIRECTORY, "C:\\windows");
    PostMessageA(Item(dialog, IDC_RUN_MINIMIZED), BM_CLICK, 0, 0);
    // Pick the settings key among the candidates.
    HWND combo = Item(dialog, IDC_REGISTRY_NAME);
    LRESULT candidate = SendMessageA(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                     reinterpret_cast<LPARAM>(kSettingsName));
    ASSERT_NE(candidate, CB_ERR);
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(candidate), 0);
    EXPECT_EQ(TextOf(dialog, IDC_REGISTRY_NAME), kSettingsName);
    // The icon: the picker opens empty; OK without a selection loads the
    // typed file and stays open; the second OK accepts its icon.
    HWND picker = OpenPicker(dialog);
    ASSERT_TRUE(picker);
    EXPECT_EQ(TextOf(picker, IDC_ICON_FILE), "");
    EXPECT_EQ(ListCount(picker, IDC_ICON_LIST), 0);
    ASSERT_TRUE(PressButton(picker, IDOK));
    EXPECT_TRUE(IsWindowVisible(picker));
    Type(picker, IDC_ICON_FILE, TestIcon());
    ASSERT_TRUE(PressButton(picker, IDOK));
    EXPECT_TRUE(IsWindowVisible(picker));
    EXPECT_EQ(ListCount(picker, IDC_ICON_LIST), 1);
    EXPECT_EQ(ListSelection(picker, IDC_ICON_LIST), 0);
    EXPECT_TRUE(WaitFocus(picker, IDC_ICON_LIST));
    ClickButton(picker, IDOK);
    ASSERT_TRUE(WaitGone(picker));
    EXPECT_TRUE(WaitUntil([&] { return ShowsIcon(dialog); }));
    EXPECT_TRUE(Checked(dialog, IDC_RUN_MINIMIZED));
    ClickButton(dialog, IDOK);
    ASSERT_TRUE(WaitGone(dialog));
    EXPECT_TRUE(NoMessageBoxWithin(launcher.Id(), 300));
    ASSERT_TRUE(WaitUntil([&] { return ListCount(main, IDC_PROGRAM_LIST) == 1; }));
    EXPECT_EQ(ListSelection(main, IDC_PROGRAM_LIST), 0);
    for (int id : {IDOK, IDC_PROPERTIES, IDC_DELETE, IDC_REACQUIRE})
        EXPECT_TRUE(IsControlEnabled(main, id)) << id;
    EXPECT_TRUE(ListFocused(main));
    // The row shows the picked icon (a red square crossed by a blue band)
    // at its top-left corner.
    HWND list = Item(main, IDC_PROGRAM_LIST);
    EXPECT_TRUE(WaitUntil([&] { return ScreenPixel(list, 16, 2) == RGB(200, 0, 0); }))
        << std::hex << ScreenPixel(list, 16, 2);
    EXPECT_EQ(ScreenPixel(list, 16, 15), RGB(0, 0, 255));
    // The first snapshot is a copy of the settings key, taken at creation.
    EXPECT_EQ(DumpTree(HKEY_LOCAL_MACHINE, SnapshotPath(1)), DumpTree(HKEY_CURRENT_USER, kSettingsKey));
    ASSERT_TRUE(Close(main));
    EXPECT_EQ(CountStoreEntries(), 1);
    StoreEntry stored;
    ASSERT_TRUE(ReadStoreEntry(0, &stored));
    // The file browser gives the path in the letter case of the file system.
    EXPECT_EQ(_stricmp(stored.commandLine.c_str(), kNotepad), 0) << stored.commandLine;
    ExpectStored(0, {FromUtf8(u8"メモ帳"), stored.commandLine, "C:\\windows", TestIcon(), kSettingsName, 1, 1, 0, 1});
}

TEST_F(EntryDialogTest, OkWithAnEmptyRequiredFieldOnlyMovesTheFocusToIt)
{
    HWND main = Start();
    ASSERT_TRUE(main);
    HWND dialog = OpenDialog(main, IDC_NEW);
    ASSERT_TRUE(dialog);
    // Each field emptied alone, then all of them: the title is checked first.
    const int fields[] = {IDC_TITLE, IDC_COMMAND_LINE, IDC_REGISTRY_NAME};
    const char* const filled[] = {"Title", kNotepad, kSettingsName};
    for (int empty : {2, 0, 1, -1}) {
        for (int i = 0; i < 3; ++i)
            Type(dialog, fields[i], empty == -1 || i == empty ? "" : filled[i]);
        ClickButton(dialog, IDOK);
        EXPECT_TRUE(WaitFocus(dialog, fields[empty == -1 ? 0 : empty])) << empty;
        EXPECT_TRUE(NoMessageBoxWithin(launcher.Id(), 300)) << empty;
        EXPECT_TRUE(IsWindowVisible(dialog)) << empty;
    }
    // Cancel adds nothing and gives the list the focus back.
    ClickButton(dialog, IDCANCEL);
    ASSERT_TRUE(WaitGone(dialog));
    EXPECT_TRUE(ListFocused(main));
    EXPECT_EQ(ListCount(main, IDC_PROGRAM_LIST), 0);
    ASSERT_TRUE(Close(main));
    EXPECT_EQ(CountStoreEntries(), 0);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, SnapshotPath(1)));
}

TEST_F(EntryDialogTest, FailedFirstCaptureAddsNothingAndTheNextNewEntryGetsTheSameSlot)
{
    HWND main = Start();
    ASSERT_TRUE(main);
    ASSERT_TRUE(NewEntry(main, "Missing", kNotepad, "CobweldTest\\EntryDialogMissing"));
    HWND box = WaitMessageBox(launcher.Id());
    ExpectBox(box, "COBWELD", FromUtf8(u8"レジストリの取得に失敗しました。"), {IDOK}, 0);
    EXPECT_EQ(GetWindow(box, GW_OWNER), main);
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    EXPECT_EQ(ListCount(main, IDC_PROGRAM_LIST), 0);
    EXPECT_FALSE(IsControlEnabled(main, IDC_PROPERTIES));
    // Without a chosen icon the icon comes from the command line up to its
    // first blank; a title longer than the field is cut to 99 bytes.
    HWND dialog = NewEntry(main, std::string(120, 'T'), std::string(kNotepad) + " /a b", kSettingsName);
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(WaitGone(dialog));
    ASSERT_TRUE(WaitUntil([&] { return ListCount(main, IDC_PROGRAM_LIST) == 1; }));
    EXPECT_EQ(DumpTree(HKEY_LOCAL_MACHINE, SnapshotPath(1)), DumpTree(HKEY_CURRENT_USER, kSettingsKey));
    ASSERT_TRUE(Close(main));
    EXPECT_EQ(CountStoreEntries(), 1);
    ExpectStored(0, {std::string(99, 'T'), std::string(kNotepad) + " /a b", "", kNotepad, kSettingsName, 0, 1, 0, 1});
}

TEST_F(EntryDialogTest, PropertiesEditsTheSelectedRowKeepingItsSlotAndSnapshot)
{
    StoreEntry first = Stored(0), second = Stored(1);
    // Stored in other letter case than the listed key: the listed one is
    // selected and OK stores it in the list's case.
    second.registry = "cobweldtest\\ENTRYDIALOG";
    second.runMinimized = 1;
    second.retrieveAgain = 0;
    ASSERT_TRUE(WriteStoreEntry(0, first));
    ASSERT_TRUE(WriteStoreEntry(1, second));
    ASSERT_TRUE(SetStringValue(HKEY_LOCAL_MACHINE, SnapshotPath(2), "Marker", "slot2"));
    std::string snapshots = DumpTree(HKEY_LOCAL_MACHINE, kSaveRoot);
    // No row selected at the start: Properties opens nothing.
    ASSERT_TRUE(WriteProfileInt("Current", 5));
    HWND main = Start();
    ASSERT_TRUE(main);
    ASSERT_EQ(ListSelection(main, IDC_PROGRAM_LIST), LB_ERR);
    ClickButton(main, IDC_PROPERTIES);
    EXPECT_FALSE(WaitDialog(launcher.Id(), EntryCaption(), 700));
    SelectRow(main, IDC_PROGRAM_LIST, 1);
    HWND dialog = OpenDialog(main, IDC_PROPERTIES);
    ASSERT_TRUE(dialog);
    EXPECT_EQ((std::vector<std::string>{TextOf(dialog, IDC_TITLE), TextOf(dialog, IDC_COMMAND_LINE),
                                        TextOf(dialog, IDC_DIRECTORY), TextOf(dialog, IDC_REGISTRY_NAME)}),
              (std::vector<std::string>{second.title, second.commandLine, second.directory, kSettingsName}));
    EXPECT_NE(SendMessageA(Item(dialog, IDC_REGISTRY_NAME), CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_TRUE(Checked(dialog, IDC_RUN_MINIMIZED));
    EXPECT_FALSE(Checked(dialog, IDC_RETRIEVE_AGAIN));
    EXPECT_TRUE(ShowsIcon(dialog));
    Type(dialog, IDC_TITLE, FromUtf8(u8"変更後"));
    // An icon path already set is kept even when the command line changes.
    Type(dialog, IDC_COMMAND_LINE, "C:\\windows\\regedit.exe");
    ClickButton(dialog, IDOK);
    ASSERT_TRUE(WaitGone(dialog));
    EXPECT_EQ(ListCount(main, IDC_PROGRAM_LIST), 2);
    EXPECT_EQ(ListSelection(main, IDC_PROGRAM_LIST), 1);
    EXPECT_TRUE(ListFocused(main));
    ASSERT_TRUE(Close(main));
    second.title = FromUtf8(u8"変更後");
    second.commandLine = "C:\\windows\\regedit.exe";
    second.registry = kSettingsName;
    ExpectStored(1, second);
    ExpectStored(0, first);
    // Editing does no snapshot work.
    EXPECT_EQ(DumpTree(HKEY_LOCAL_MACHINE, kSaveRoot), snapshots);
}

TEST_F(EntryDialogTest, IconPickerShowsTheEntrysIconAndCancelLeavesTheEntryAlone)
{
    ASSERT_TRUE(WriteStoreEntry(0, Stored(0)));
    std::string store = DumpTree(HKEY_LOCAL_MACHINE, kStoreRoot);
    HWND main = Start();
    ASSERT_TRUE(main);
    HWND dialog = OpenDialog(main, IDC_PROPERTIES);
    ASSERT_TRUE(dialog);
    HWND picker = OpenPicker(dialog);
    ASSERT_TRUE(picker);
    // The entry's file with its icon selected, one cell per icon; typing
    // clears the selection.
    EXPECT_EQ(TextOf(picker, IDC_ICON_FILE), kShell32);
    EXPECT_GT(ListCount(picker, IDC_ICON_LIST), 5);
    EXPECT_EQ(ListSelection(picker, IDC_ICON_LIST), 5);
    EXPECT_TRUE(WaitFocus(picker, IDC_ICON_FILE));
    Type(picker, IDC_ICON_FILE, "C:\\x.ico");
    EXPECT_EQ(ListSelection(picker, IDC_ICON_LIST), LB_ERR);
    // Browse loads the chosen file; a click then OK accepts.
    ClickButton(picker, IDC_ICON_BROWSE);
    ASSERT_TRUE(ChooseFile(launcher.Id(), FromUtf8(u8"アイコンの参照"), TestIcon()));
    EXPECT_TRUE(WaitUntil([&] { return ListCount(picker, IDC_ICON_LIST) == 1; }));
    EXPECT_EQ(_stricmp(TextOf(picker, IDC_ICON_FILE).c_str(), TestIcon().c_str()), 0) << TextOf(picker, IDC_ICON_FILE);
    SelectRow(picker, IDC_ICON_LIST, 0);
    ClickButton(picker, IDOK);
    ASSERT_TRUE(WaitGone(picker));
    // Cancel: only the working copy had the new icon.
    ClickButton(dialog, IDCANCEL);
    ASSERT_TRUE(WaitGone(dialog));
    EXPECT_TRUE(ListFocused(main));
    ASSERT_TRUE(Close(main));
    EXPECT_EQ(DumpTree(HKEY_LOCAL_MACHINE, kStoreRoot), store);
}
