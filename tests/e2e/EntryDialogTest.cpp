// The New and Properties commands of the real COBWELD.EXE, with the entry
// properties dialog, the icon picker and the file browsers driven from
// outside as a user would.
#include "tests/e2e/E2ETest.h"

namespace {

const char kNotepad[] = "C:\\windows\\notepad.exe";
const char kShell32[] = "C:\\windows\\system32\\shell32.dll";

void Type(HWND dialog, int id, const std::string& text)
{
    ::SendDlgItemMessageA(dialog, id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}
LRESULT Send(HWND dialog, int id, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0)
{
    return ::SendDlgItemMessageA(dialog, id, msg, wParam, lParam);
}
LRESULT Candidate(HWND dialog, const char* name) { return Send(dialog, IDC_REGISTRY_NAME, CB_FINDSTRINGEXACT, -1, (LPARAM)name); }
// The control has the focus, the edit inside a combo box counting as the combo box.
bool WaitFocus(HWND dialog, int id)
{
    return WaitUntil([&] { return FocusOf(dialog) == ::GetDlgItem(dialog, id) || ::GetParent(FocusOf(dialog)) == ::GetDlgItem(dialog, id); });
}
bool WaitGone(HWND window) { return WaitUntil([&] { return !::IsWindow(window) || !::IsWindowVisible(window); }); }
COLORREF ScreenPixel(HWND window, int x, int y)
{
    POINT point = {x, y};
    ::ClientToScreen(window, &point);
    HDC screen = ::GetDC(nullptr);
    COLORREF color = ::GetPixel(screen, point.x, point.y);
    ::ReleaseDC(nullptr, screen);
    return color;
}
// The store's entry index, and the entry as the launcher writes it: the
// nine values with their types.
std::string Stored(int index) { return Dump(HKEY_LOCAL_MACHINE, EntryPath(index)); }
std::string AsStored(const StoreEntry& entry)
{
    WriteStoreEntry(99, entry);
    std::string dump = Stored(99);
    DeleteTree(HKEY_LOCAL_MACHINE, EntryPath(99));
    return dump;
}

class EntryDialogTest : public E2ETest {
protected:
    HWND Open(HWND window, int button, const char* caption)
    {
        Click(window, button);
        return WaitDialog(launcher.Id(), FromUtf8(caption));
    }
};

} // namespace

TEST_F(EntryDialogTest, ANewEntryMadeThroughTheDialogsIsListedWithItsIconStoredAndSnapshotted)
{
    // Settings of several types, a subkey with a class, and keys that are
    // no candidates: three levels deep, or the launcher's own (the profile's
    // "Varnolite\COBWELD"), in any letter case.
    SetString(HKEY_CURRENT_USER, kSettingsPath, "Name", FromUtf8(u8"設定値"));
    Key(Key(HKEY_CURRENT_USER, Widen(kSettingsPath)), L"Window", L"Layout");
    for (const char* key : {"Software\\CobweldTest\\E2E\\Deeper\\Third", "Software\\Varnolite\\Other"})
        SetDword(HKEY_CURRENT_USER, key, "x", 1);
    HWND main = Start();
    ASSERT_TRUE(main);
    HWND dialog = Open(main, IDC_NEW, u8"プログラムの登録情報");
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(WaitFocus(dialog, IDC_TITLE));
    Type(dialog, IDC_TITLE, FromUtf8(u8"メモ帳"));
    Type(dialog, IDC_COMMAND_LINE, "C:\\other.exe -x"); // Browse replaces all of it
    Click(dialog, IDC_BROWSE);
    ASSERT_TRUE(ChooseFile(launcher.Id(), FromUtf8(u8"プログラムの参照"), kNotepad));
    EXPECT_TRUE(WaitUntil([&] { return _stricmp(ItemText(dialog, IDC_COMMAND_LINE).c_str(), kNotepad) == 0; }));
    Type(dialog, IDC_DIRECTORY, "C:\\windows");
    ::PostMessageA(::GetDlgItem(dialog, IDC_RUN_MINIMIZED), BM_CLICK, 0, 0);
    EXPECT_NE(Candidate(dialog, "Varnolite\\Other"), CB_ERR);
    EXPECT_EQ(Candidate(dialog, "Varnolite\\Cobweld") & Candidate(dialog, "CobweldTest\\E2E\\Deeper"), CB_ERR);
    Send(dialog, IDC_REGISTRY_NAME, CB_SETCURSEL, Candidate(dialog, kSettingsName));
    // The picker opens empty; OK without a selection loads the typed file
    // and stays open; the second OK accepts its icon.
    HWND picker = Open(dialog, IDC_CHANGE_ICON, u8"アイコンの変更");
    ASSERT_TRUE(picker);
    EXPECT_EQ(ListCount(picker, IDC_ICON_LIST), 0);
    Type(picker, IDC_ICON_FILE, BinDir() + "cobweld_test.ico");
    ASSERT_TRUE(Press(picker, IDOK));
    EXPECT_TRUE(::IsWindowVisible(picker) && ListSelection(picker, IDC_ICON_LIST) == 0);
    Click(picker, IDOK);
    EXPECT_TRUE(WaitGone(picker) && WaitUntil([&] { return Send(dialog, IDC_ICON_PREVIEW, STM_GETICON) != 0; }));
    Click(dialog, IDOK);
    ASSERT_TRUE(WaitGone(dialog) && WaitUntil([&] { return ListCount(main, IDC_PROGRAM_LIST) == 1; }));
    EXPECT_TRUE(ListSelection(main, IDC_PROGRAM_LIST) == 0 && IsEnabled(main, IDOK) && IsEnabled(main, IDC_REACQUIRE));
    // The row shows the picked icon (red, crossed by a blue band) at its top left.
    HWND list = ::GetDlgItem(main, IDC_PROGRAM_LIST);
    EXPECT_TRUE(WaitUntil([&] { return ScreenPixel(list, 16, 2) == RGB(200, 0, 0); }));
    EXPECT_EQ(ScreenPixel(list, 16, 15), RGB(0, 0, 255));
    // Stored at once, with its first snapshot a copy of the settings key.
    EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, SnapshotPath(1)), Dump(HKEY_CURRENT_USER, kSettingsPath));
    std::string program = GetString(HKEY_LOCAL_MACHINE, EntryPath(0), "CommandLine"); // the file system's case
    EXPECT_EQ(Stored(0), AsStored({FromUtf8(u8"メモ帳"), program, "C:\\windows", BinDir() + "cobweld_test.ico",
                                   kSettingsName, 1, 1, 0, 1}));
}

TEST_F(EntryDialogTest, RequiredFieldsAreCheckedAndAFailedFirstCaptureAddsNothing)
{
    SetString(HKEY_CURRENT_USER, kSettingsPath, "Name", "value");
    HWND main = Start();
    HWND dialog = Open(main, IDC_NEW, u8"プログラムの登録情報");
    ASSERT_TRUE(dialog);
    // Each field emptied alone, then all of them: the title is checked first.
    const int fields[] = {IDC_TITLE, IDC_COMMAND_LINE, IDC_REGISTRY_NAME};
    const char* const filled[] = {"Title", kNotepad, kSettingsName};
    for (int empty : {2, 0, 1, -1}) {
        for (int i = 0; i < 3; ++i)
            Type(dialog, fields[i], empty == -1 || i == empty ? "" : filled[i]);
        Click(dialog, IDOK);
        EXPECT_TRUE(WaitFocus(dialog, fields[empty == -1 ? 0 : empty])) << empty;
        EXPECT_TRUE(NoMessageBoxWithin(launcher.Id(), 200) && ::IsWindowVisible(dialog)) << empty;
    }
    Click(dialog, IDCANCEL);
    ASSERT_TRUE(WaitGone(dialog));
    // A settings key that does not exist: nothing is added, and the next
    // new entry gets the same slot.
    NewEntry(main, "Missing", kNotepad, "CobweldTest\\Missing");
    EXPECT_EQ(NextBox(IDOK), FromUtf8(u8"COBWELD|レジストリの取得に失敗しました。|OK*"));
    EXPECT_TRUE(ListCount(main, IDC_PROGRAM_LIST) == 0 && !IsEnabled(main, IDC_PROPERTIES));
    // Without a chosen icon it comes from the command line up to its first
    // blank; a title longer than its field is cut to 99 bytes.
    ASSERT_TRUE(WaitGone(NewEntry(main, std::string(120, 'T'), std::string(kNotepad) + " /a b", kSettingsName)));
    ASSERT_TRUE(WaitUntil([&] { return ListCount(main, IDC_PROGRAM_LIST) == 1; }));
    EXPECT_EQ(Stored(0), AsStored({std::string(99, 'T'), std::string(kNotepad) + " /a b", "", kNotepad, kSettingsName,
                                   0, 1, 0, 1}));
}

TEST_F(EntryDialogTest, PropertiesEditTheSelectedRowKeepingItsSlotAndSnapshot)
{
    StoreEntry first = Notepad("First", 1, "one"), second = Notepad("Second", 2, "two");
    second.iconPath = kShell32;
    second.iconIndex = 5;
    second.runMinimized = 1;
    // In another letter case than the listed key: the listed name is
    // selected, and OK stores it in the list's case.
    second.registry = "cobweldtest\\e2e";
    WriteStoreEntry(0, first);
    WriteStoreEntry(1, second);
    SetString(HKEY_CURRENT_USER, kSettingsPath, "Name", "value");
    const std::string snapshots = Dump(HKEY_LOCAL_MACHINE, std::string(kStoreRoot) + "\\Save");
    SetProfileInt("Current", 5); // no row selected: Properties opens nothing
    HWND main = Start();
    Click(main, IDC_PROPERTIES);
    EXPECT_FALSE(WaitDialog(launcher.Id(), FromUtf8(u8"プログラムの登録情報"), 700));
    SelectRow(main, IDC_PROGRAM_LIST, 1);
    HWND dialog = Open(main, IDC_PROPERTIES, u8"プログラムの登録情報");
    ASSERT_TRUE(dialog);
    EXPECT_EQ(ItemText(dialog, IDC_TITLE) + "|" + ItemText(dialog, IDC_REGISTRY_NAME), "Second|" + std::string(kSettingsName));
    EXPECT_TRUE(Send(dialog, IDC_RUN_MINIMIZED, BM_GETCHECK) && !Send(dialog, IDC_RETRIEVE_AGAIN, BM_GETCHECK));
    // The picker shows the entry's file with its icon selected; a typed
    // name clears the selection; Cancel leaves the entry alone.
    HWND picker = Open(dialog, IDC_CHANGE_ICON, u8"アイコンの変更");
    ASSERT_TRUE(picker);
    EXPECT_EQ(ItemText(picker, IDC_ICON_FILE) + std::to_string(ListSelection(picker, IDC_ICON_LIST)), kShell32 + std::string("5"));
    Type(picker, IDC_ICON_FILE, "C:\\x.ico");
    EXPECT_EQ(ListSelection(picker, IDC_ICON_LIST), LB_ERR);
    Click(picker, IDCANCEL);
    ASSERT_TRUE(WaitGone(picker));
    Type(dialog, IDC_TITLE, FromUtf8(u8"変更後"));
    Click(dialog, IDOK);
    ASSERT_TRUE(WaitGone(dialog) && Sync(main));
    EXPECT_EQ(ListSelection(main, IDC_PROGRAM_LIST), 1);
    second.title = FromUtf8(u8"変更後");
    second.registry = kSettingsName;
    EXPECT_EQ(Stored(1) + Stored(0), AsStored(second) + AsStored(first));
    EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, std::string(kStoreRoot) + "\\Save"), snapshots); // no snapshot work
}
