// The New and Properties commands of the real COBWELD.EXE, with the entry
// properties dialog, the icon picker and the file browsers driven from
// outside as a user would.
#include <gtest/gtest.h>
#include <cstdio>
#include "framework/Text.h"
#include "resources/resource.h"
#include "tests/driver/Driver.h"

using namespace driver;

namespace {

const char* const kSettingsKey = "Software\\CobweldTest\\EntryDialog";
const char* const kSettingsName = "CobweldTest\\EntryDialog";
const char* const kMissingName = "CobweldTest\\EntryDialogMissing";
const char* const kNotepad = "C:\\windows\\notepad.exe";
const char* const kShell32 = "C:\\windows\\system32\\shell32.dll";

std::string EntryCaption() { return FromUtf8(u8"プログラムの登録情報"); }
std::string PickerCaption() { return FromUtf8(u8"アイコンの変更"); }
std::string TestIcon() { return BinDir() + "cobweld_test.ico"; }

// A settings key with values of several types and a subkey with a class.
void SeedSettingsKey()
{
    ASSERT_TRUE(SetStringValue(HKEY_CURRENT_USER, kSettingsKey, "Name", FromUtf8(u8"設定値")));
    ASSERT_TRUE(SetDwordValue(HKEY_CURRENT_USER, kSettingsKey, "Count", 42));
    const BYTE blob[] = {0, 1, 2, 0x5C, 0xFF};
    ASSERT_TRUE(SetValue(HKEY_CURRENT_USER, kSettingsKey, "Blob", REG_BINARY, blob, sizeof blob));
    std::string sub = std::string(kSettingsKey) + "\\Window";
    ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, sub, "WindowClass"));
    ASSERT_TRUE(SetDwordValue(HKEY_CURRENT_USER, sub, "Left", 10));
}

StoreEntry Stored(int n)
{
    StoreEntry e;
    e.title = FromUtf8(u8"登録済み") + std::to_string(n);
    e.commandLine = kNotepad;
    e.directory = "C:\\windows";
    e.iconPath = kShell32;
    e.iconIndex = 5;
    e.registry = kSettingsName;
    e.saveSlot = static_cast<DWORD>(n + 1);
    e.retrieveAgain = 1;
    return e;
}

HWND Item(HWND dialog, int id) { return GetDlgItem(dialog, id); }

// Text put into a control as if typed.
void Type(HWND dialog, int id, const std::string& text)
{
    SendMessageA(Item(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// A control's text, asked of the control itself: GetWindowText on a window
// of another process gives only the caption the window manager keeps.
std::string ControlText(HWND control)
{
    LRESULT length = SendMessageA(control, WM_GETTEXTLENGTH, 0, 0);
    std::string text(static_cast<size_t>(length > 0 ? length : 0) + 1, '\0');
    LRESULT copied = SendMessageA(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

std::string TextOf(HWND dialog, int id) { return ControlText(Item(dialog, id)); }

bool Checked(HWND dialog, int id)
{
    return SendMessageA(Item(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// The control that has the focus, counting the edit field inside a combo box
// as the combo box.
HWND FocusedControl(HWND dialog)
{
    HWND focus = FocusOf(dialog);
    if (focus && GetParent(focus) != dialog && ClassName(GetParent(focus)) == "ComboBox")
        return GetParent(focus);
    return focus;
}

bool WaitFocus(HWND dialog, int id)
{
    return WaitUntil([&] { return FocusedControl(dialog) == Item(dialog, id); });
}

bool WaitGone(HWND window)
{
    return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); });
}

// The file dialog of a browser: types the path into its file-name field and
// presses Open.
bool ChooseFile(DWORD processId, const std::string& caption, const std::string& path)
{
    HWND browser = WaitDialog(processId, caption);
    if (!browser)
        return false;
    HWND name = nullptr;
    WaitUntil([&] {
        for (int id : {0x47c /* cmb13 */, 0x480 /* edt1 */}) {
            if ((name = GetDlgItem(browser, id)) != nullptr && IsWindowVisible(name))
                return true;
        }
        return false;
    });
    if (!name)
        return false;
    SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    ClickButton(browser, IDOK);
    return WaitGone(browser);
}

DWORD ValueCount(HKEY root, const std::string& path, DWORD* subkeys)
{
    HKEY key;
    DWORD values = 0;
    *subkeys = 0;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, subkeys, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(key);
    }
    return values;
}

// A REG_SZ value's bytes exactly as stored, terminator included.
std::string RawString(HKEY root, const std::string& path, const char* name)
{
    HKEY key;
    std::string data;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return data;
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ) {
        data.resize(size);
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size);
    }
    RegCloseKey(key);
    return data;
}

// The colour on screen at a point of a window's client area.
COLORREF ScreenPixel(HWND window, int x, int y)
{
    POINT point = {x, y};
    ClientToScreen(window, &point);
    HDC screen = GetDC(nullptr);
    COLORREF color = GetPixel(screen, point.x, point.y);
    ReleaseDC(nullptr, screen);
    return color;
}

class EntryDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WipeLauncherState();
        DeleteTree(HKEY_CURRENT_USER, "Software\\CobweldTest\\EntryDialog");
        DeleteTree(HKEY_CURRENT_USER, "Software\\CobweldTest\\EntryDialogMissing");
        SeedSettingsKey();
        // Not a first run: no group notice at close.
        ASSERT_TRUE(WriteProfileInt("Installed", 1));
    }
    void TearDown() override
    {
        launcher.Kill();
        WipeLauncherState();
        DeleteTree(HKEY_CURRENT_USER, "Software\\CobweldTest\\EntryDialog");
    }

    HWND Start()
    {
        if (!launcher.StartLauncher())
            return nullptr;
        return launcher.WaitMainWindow();
    }

    HWND OpenDialog(HWND main, int command)
    {
        ClickButton(main, command);
        return WaitDialog(launcher.Id(), EntryCaption());
    }

    HWND OpenPicker(HWND entryDialog)
    {
        ClickButton(entryDialog, IDC_CHANGE_ICON);
        return WaitDialog(launcher.Id(), PickerCaption());
    }

    // Exit; a group question at close is answered No.
    bool Close(HWND main)
    {
        ClickButton(main, IDC_EXIT);
        for (int boxes = 0; boxes < 3; ++boxes) {
            HWND box = nullptr;
            WaitUntil([&] { return !launcher.Running() || (box = FindMessageBox(launcher.Id())) != nullptr; });
            if (!box)
                break;
            MessageBoxContent content = ReadMessageBox(box);
            AnswerMessageBox(box, content.buttons.size() > 1 ? IDNO : IDOK);
        }
        return launcher.WaitExit();
    }

    Process launcher;
};

} // namespace

TEST_F(EntryDialogTest, NewEntryMadeThroughTheDialogsIsListedWithItsIconStoredAndSnapshotted)
{
    HWND main = Start();
    ASSERT_TRUE(main);
    ASSERT_EQ(ListCount(main, IDC_PROGRAM_LIST), 0);

    HWND dialog = OpenDialog(main, IDC_NEW);
    ASSERT_TRUE(dialog);
    // A new entry starts empty, with retrieve-again set and no icon.
    EXPECT_EQ(TextOf(dialog, IDC_TITLE), "");
    EXPECT_EQ(TextOf(dialog, IDC_COMMAND_LINE), "");
    EXPECT_EQ(TextOf(dialog, IDC_DIRECTORY), "");
    EXPECT_TRUE(Checked(dialog, IDC_RETRIEVE_AGAIN));
    EXPECT_FALSE(Checked(dialog, IDC_RUN_MINIMIZED));
    EXPECT_EQ(SendMessageA(Item(dialog, IDC_ICON_PREVIEW), STM_GETICON, 0, 0), 0);
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
    EXPECT_EQ(ControlText(combo), kSettingsName);

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
    EXPECT_TRUE(WaitUntil([&] { return SendMessageA(Item(dialog, IDC_ICON_PREVIEW), STM_GETICON, 0, 0) != 0; }));

    EXPECT_TRUE(Checked(dialog, IDC_RUN_MINIMIZED));
    ClickButton(dialog, IDOK);
    ASSERT_TRUE(WaitGone(dialog));
    EXPECT_TRUE(NoMessageBoxWithin(launcher.Id(), 300));

    ASSERT_TRUE(WaitUntil([&] { return ListCount(main, IDC_PROGRAM_LIST) == 1; }));
    EXPECT_EQ(ListSelection(main, IDC_PROGRAM_LIST), 0);
    EXPECT_TRUE(IsControlEnabled(main, IDOK));
    EXPECT_TRUE(IsControlEnabled(main, IDC_PROPERTIES));
    EXPECT_TRUE(IsControlEnabled(main, IDC_DELETE));
    EXPECT_TRUE(IsControlEnabled(main, IDC_REACQUIRE));
    EXPECT_EQ(FocusOf(main), Item(main, IDC_PROGRAM_LIST));

    // The row shows the picked icon (a red square crossed by a blue band)
    // at its top-left corner.
    HWND list = Item(main, IDC_PROGRAM_LIST);
    ASSERT_TRUE(Sync(main));
    EXPECT_TRUE(WaitUntil([&] { return ScreenPixel(list, 16, 2) == RGB(200, 0, 0); }))
        << std::hex << ScreenPixel(list, 16, 2);
    EXPECT_EQ(ScreenPixel(list, 16, 15), RGB(0, 0, 255));

    // The first snapshot is a copy of the settings key, taken at creation.
    EXPECT_EQ(DumpTree(HKEY_LOCAL_MACHINE, SnapshotPath(1)), DumpTree(HKEY_CURRENT_USER, kSettingsKey));

    ASSERT_TRUE(Close(main));
    StoreEntry stored;
    ASSERT_TRUE(ReadStoreEntry(0, &stored));
    StoreEntry expected;
    expected.title = FromUtf8(u8"メモ帳");
    // The file browser gives the path in the letter case of the file system.
    EXPECT_EQ(_stricmp(stored.commandLine.c_str(), kNotepad), 0) << stored.commandLine;
    expected.commandLine = stored.commandLine;
    expected.directory = "C:\\windows";
    expected.iconPath = TestIcon();
    expected.iconIndex = 0;
    expected.registry = kSettingsName;
    expected.runMinimized = 1;
    expected.saveSlot = 1;
    expected.retrieveAgain = 1;
    EXPECT_TRUE(stored == expected) << stored.title << " | " << stored.iconPath << " | " << stored.registry;
    EXPECT_EQ(CountStoreEntries(), 1);

    // Exactly the nine values, strings with their terminator.
    DWORD subkeys = 0;
    EXPECT_EQ(ValueCount(HKEY_LOCAL_MACHINE, StoreEntryPath(0), &subkeys), 9u);
    EXPECT_EQ(subkeys, 0u);
    EXPECT_EQ(RawString(HKEY_LOCAL_MACHINE, StoreEntryPath(0), "Title"), expected.title + '\0');
    EXPECT_EQ(RawString(HKEY_LOCAL_MACHINE, StoreEntryPath(0), "Registry"), std::string(kSettingsName) + '\0');
    EXPECT_EQ(RawString(HKEY_LOCAL_MACHINE, StoreEntryPath(0), "IconPath"), TestIcon() + '\0');

    EXPECT_EQ(DumpTree(HKEY_LOCAL_MACHINE, SnapshotPath(1)), DumpTree(HKEY_CURRENT_USER, kSettingsKey));
}

TEST_F(EntryDialogTest, OkWithAnEmptyRequiredFieldOnlyMovesTheFocusToIt)
{
    HWND main = Start();
    ASSERT_TRUE(main);
    HWND dialog = OpenDialog(main, IDC_NEW);
    ASSERT_TRUE(dialog);

    ClickButton(dialog, IDOK);
    EXPECT_TRUE(NoMessageBoxWithin(launcher.Id(), 300));
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_TRUE(WaitFocus(dialog, IDC_TITLE));

    Type(dialog, IDC_TITLE, "Title");
    ClickButton(dialog, IDOK);
    EXPECT_TRUE(WaitFocus(dialog, IDC_COMMAND_LINE));
    EXPECT_TRUE(NoMessageBoxWithin(launcher.Id(), 300));

    Type(dialog, IDC_COMMAND_LINE, kNotepad);
    ClickButton(dialog, IDOK);
    EXPECT_TRUE(WaitFocus(dialog, IDC_REGISTRY_NAME));
    EXPECT_TRUE(NoMessageBoxWithin(launcher.Id(), 300));

    // The title is checked first again once it is emptied.
    Type(dialog, IDC_REGISTRY_NAME, kSettingsName);
    Type(dialog, IDC_TITLE, "");
    ClickButton(dialog, IDOK);
    EXPECT_TRUE(WaitFocus(dialog, IDC_TITLE));
    EXPECT_TRUE(IsWindowVisible(dialog));

    // Cancel adds nothing and gives the list the focus back.
    ClickButton(dialog, IDCANCEL);
    ASSERT_TRUE(WaitGone(dialog));
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(main) == Item(main, IDC_PROGRAM_LIST); }));
    EXPECT_EQ(ListCount(main, IDC_PROGRAM_LIST), 0);
    ASSERT_TRUE(Close(main));
    EXPECT_EQ(CountStoreEntries(), 0);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, SnapshotPath(1)));
}

TEST_F(EntryDialogTest, FailedFirstCaptureAddsNothingAndTheNextNewEntryGetsTheSameSlot)
{
    HWND main = Start();
    ASSERT_TRUE(main);
    HWND dialog = OpenDialog(main, IDC_NEW);
    ASSERT_TRUE(dialog);
    Type(dialog, IDC_TITLE, "Missing");
    Type(dialog, IDC_COMMAND_LINE, kNotepad);
    Type(dialog, IDC_REGISTRY_NAME, kMissingName);
    ClickButton(dialog, IDOK);

    HWND box = WaitMessageBox(launcher.Id());
    ASSERT_TRUE(box);
    MessageBoxContent content = ReadMessageBox(box);
    EXPECT_EQ(content.text, FromUtf8(u8"レジストリの取得に失敗しました。"));
    EXPECT_EQ(content.caption, "COBWELD");
    EXPECT_EQ(content.buttons, std::vector<int>{IDOK});
    EXPECT_EQ(GetWindow(box, GW_OWNER), main);
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    EXPECT_EQ(ListCount(main, IDC_PROGRAM_LIST), 0);
    EXPECT_FALSE(IsControlEnabled(main, IDC_PROPERTIES));

    // Without a chosen icon the icon comes from the command line up to its
    // first blank; a title longer than the field is cut to 99 bytes.
    dialog = OpenDialog(main, IDC_NEW);
    ASSERT_TRUE(dialog);
    Type(dialog, IDC_TITLE, std::string(120, 'T'));
    Type(dialog, IDC_COMMAND_LINE, std::string(kNotepad) + " /a b");
    Type(dialog, IDC_REGISTRY_NAME, kSettingsName);
    ClickButton(dialog, IDOK);
    ASSERT_TRUE(WaitGone(dialog));
    ASSERT_TRUE(WaitUntil([&] { return ListCount(main, IDC_PROGRAM_LIST) == 1; }));
    EXPECT_EQ(DumpTree(HKEY_LOCAL_MACHINE, SnapshotPath(1)), DumpTree(HKEY_CURRENT_USER, kSettingsKey));

    ASSERT_TRUE(Close(main));
    StoreEntry stored;
    ASSERT_TRUE(ReadStoreEntry(0, &stored));
    EXPECT_EQ(stored.saveSlot, 1u);
    EXPECT_EQ(stored.title, std::string(99, 'T'));
    EXPECT_EQ(stored.commandLine, std::string(kNotepad) + " /a b");
    EXPECT_EQ(stored.iconPath, kNotepad);
    EXPECT_EQ(stored.iconIndex, 0u);
    EXPECT_EQ(stored.directory, "");
    EXPECT_EQ(stored.registry, kSettingsName);
    EXPECT_EQ(stored.runMinimized, 0u);
    EXPECT_EQ(stored.retrieveAgain, 1u);
    EXPECT_EQ(CountStoreEntries(), 1);
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
    std::string snapshots = DumpTree(HKEY_LOCAL_MACHINE, std::string(kStoreRoot) + "\\Save");

    HWND main = Start();
    ASSERT_TRUE(main);
    SelectRow(main, IDC_PROGRAM_LIST, 1);
    ASSERT_TRUE(Sync(main));
    HWND dialog = OpenDialog(main, IDC_PROPERTIES);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(TextOf(dialog, IDC_TITLE), second.title);
    EXPECT_EQ(TextOf(dialog, IDC_COMMAND_LINE), second.commandLine);
    EXPECT_EQ(TextOf(dialog, IDC_DIRECTORY), second.directory);
    EXPECT_EQ(TextOf(dialog, IDC_REGISTRY_NAME), kSettingsName);
    EXPECT_NE(SendMessageA(Item(dialog, IDC_REGISTRY_NAME), CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_TRUE(Checked(dialog, IDC_RUN_MINIMIZED));
    EXPECT_FALSE(Checked(dialog, IDC_RETRIEVE_AGAIN));
    EXPECT_NE(SendMessageA(Item(dialog, IDC_ICON_PREVIEW), STM_GETICON, 0, 0), 0);

    Type(dialog, IDC_TITLE, FromUtf8(u8"変更後"));
    // An icon path already set is kept even when the command line changes.
    Type(dialog, IDC_COMMAND_LINE, "C:\\windows\\regedit.exe");
    ClickButton(dialog, IDOK);
    ASSERT_TRUE(WaitGone(dialog));
    EXPECT_EQ(ListCount(main, IDC_PROGRAM_LIST), 2);
    EXPECT_EQ(ListSelection(main, IDC_PROGRAM_LIST), 1);
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(main) == Item(main, IDC_PROGRAM_LIST); }));
    // Editing does no snapshot work.
    EXPECT_EQ(DumpTree(HKEY_LOCAL_MACHINE, std::string(kStoreRoot) + "\\Save"), snapshots);

    ASSERT_TRUE(Close(main));
    StoreEntry stored;
    ASSERT_TRUE(ReadStoreEntry(1, &stored));
    StoreEntry expected = second;
    expected.title = FromUtf8(u8"変更後");
    expected.commandLine = "C:\\windows\\regedit.exe";
    expected.registry = kSettingsName;
    EXPECT_TRUE(stored == expected) << stored.title << " | " << stored.registry << " | " << stored.iconPath;
    ASSERT_TRUE(ReadStoreEntry(0, &stored));
    EXPECT_TRUE(stored == first);
    EXPECT_EQ(DumpTree(HKEY_LOCAL_MACHINE, std::string(kStoreRoot) + "\\Save"), snapshots);
}

TEST_F(EntryDialogTest, PropertiesWithoutASelectedRowOpensNothing)
{
    ASSERT_TRUE(WriteStoreEntry(0, Stored(0)));
    ASSERT_TRUE(WriteProfileInt("Current", 5));
    HWND main = Start();
    ASSERT_TRUE(main);
    ASSERT_EQ(ListSelection(main, IDC_PROGRAM_LIST), LB_ERR);
    ClickButton(main, IDC_PROPERTIES);
    EXPECT_FALSE(WaitDialog(launcher.Id(), EntryCaption(), 700));
    ASSERT_TRUE(Close(main));
}

TEST_F(EntryDialogTest, IconPickerReloadsOnOkWithoutSelectionAndCancelLeavesTheEntryAlone)
{
    ASSERT_TRUE(WriteStoreEntry(0, Stored(0)));
    std::string store = DumpTree(HKEY_LOCAL_MACHINE, kStoreRoot);
    HWND main = Start();
    ASSERT_TRUE(main);
    SelectRow(main, IDC_PROGRAM_LIST, 0);
    ASSERT_TRUE(Sync(main));
    HWND dialog = OpenDialog(main, IDC_PROPERTIES);
    ASSERT_TRUE(dialog);
    HWND picker = OpenPicker(dialog);
    ASSERT_TRUE(picker);

    // The entry's file with its icon selected, one cell per icon.
    EXPECT_EQ(TextOf(picker, IDC_ICON_FILE), kShell32);
    int icons = ListCount(picker, IDC_ICON_LIST);
    EXPECT_GT(icons, 5);
    EXPECT_EQ(ListSelection(picker, IDC_ICON_LIST), 5);
    EXPECT_TRUE(WaitFocus(picker, IDC_ICON_FILE));

    // Typing clears the selection but keeps the cells; OK then reloads.
    Type(picker, IDC_ICON_FILE, TestIcon());
    EXPECT_EQ(ListSelection(picker, IDC_ICON_LIST), LB_ERR);
    EXPECT_EQ(ListCount(picker, IDC_ICON_LIST), icons);
    ASSERT_TRUE(PressButton(picker, IDOK));
    EXPECT_TRUE(IsWindowVisible(picker));
    EXPECT_EQ(ListCount(picker, IDC_ICON_LIST), 1);
    EXPECT_EQ(ListSelection(picker, IDC_ICON_LIST), 0);

    // A plain file has no icons: an empty list, the dialog stays, no message.
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    std::string text = std::string(temp) + "cobweld_e2e_plain.txt";
    FILE* file = std::fopen(text.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("plain\n", file);
    std::fclose(file);
    Type(picker, IDC_ICON_FILE, text);
    ASSERT_TRUE(PressButton(picker, IDOK));
    EXPECT_TRUE(IsWindowVisible(picker));
    EXPECT_EQ(ListCount(picker, IDC_ICON_LIST), 0);
    EXPECT_TRUE(NoMessageBoxWithin(launcher.Id(), 300));
    DeleteFileA(text.c_str());

    // Browse loads the chosen library; a click then OK accepts.
    ClickButton(picker, IDC_ICON_BROWSE);
    ASSERT_TRUE(ChooseFile(launcher.Id(), FromUtf8(u8"アイコンの参照"), kShell32));
    EXPECT_TRUE(WaitUntil([&] { return ListCount(picker, IDC_ICON_LIST) == icons; }));
    EXPECT_EQ(_stricmp(TextOf(picker, IDC_ICON_FILE).c_str(), kShell32), 0) << TextOf(picker, IDC_ICON_FILE);
    SelectRow(picker, IDC_ICON_LIST, 2);
    ClickButton(picker, IDOK);
    ASSERT_TRUE(WaitGone(picker));
    EXPECT_NE(SendMessageA(Item(dialog, IDC_ICON_PREVIEW), STM_GETICON, 0, 0), 0);

    // Cancel: only the working copy had the new icon.
    ClickButton(dialog, IDCANCEL);
    ASSERT_TRUE(WaitGone(dialog));
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(main) == Item(main, IDC_PROGRAM_LIST); }));
    ASSERT_TRUE(Close(main));
    EXPECT_EQ(DumpTree(HKEY_LOCAL_MACHINE, kStoreRoot), store);
}
