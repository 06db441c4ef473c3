// The New and Properties commands of the real COBWELD.EXE, with the entry
// properties dialog, the icon picker and the file browsers driven from
// outside as a user would.
#include <cwchar>
#include "tests/e2e/E2ETest.h"

namespace {

const char kNotepad[] = "C:\\windows\\notepad.exe";

void Type(HWND dialog, int id, const std::string& text)
{
    ::SendDlgItemMessageA(dialog, id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}
LRESULT Send(HWND dialog, int id, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0)
{
    return ::SendDlgItemMessageA(dialog, id, msg, wParam, lParam);
}
LRESULT Candidate(HWND dialog, const char* name) { return Send(dialog, IDC_REGISTRY_NAME, CB_FINDSTRINGEXACT, -1, (LPARAM)name); }
bool WaitGone(HWND window) { return WaitUntil([&] { return !::IsWindow(window) || !::IsWindowVisible(window); }); }
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
    const wchar_t* const lookAlikes[] = {L"Software\\CobweldTest\\Caf\u00e9", L"Software\\CobweldTest\\Cafe",
                                         L"Software\\CobweldTest\\Tick\u2713"};
    for (const wchar_t* key : lookAlikes)
        Key(HKEY_CURRENT_USER, key);
    HWND main = Start();
    // A settings key that does not exist: nothing is added, and the next new
    // entry gets the same slot.
    NewEntry(main, "Missing", kNotepad, "CobweldTest\\Missing");
    EXPECT_EQ(NextBox(IDOK), FromUtf8(u8"COBWELD|レジストリの取得に失敗しました。|OK*"));
    EXPECT_TRUE(ListCount(main, IDC_PROGRAM_LIST) == 0 && !IsEnabled(main, IDC_PROPERTIES));
    HWND dialog = Open(main, IDC_NEW, u8"プログラムの登録情報");
    // OK with a required field empty does nothing but beep.
    for (int field : {IDC_TITLE, IDC_COMMAND_LINE, IDC_REGISTRY_NAME}) {
        Click(dialog, IDOK);
        EXPECT_TRUE(!WaitMessageBox(launcher.Id(), 200) && ::IsWindowVisible(dialog)) << field;
        Type(dialog, field, "x");
    }
    // Nothing crosses the code page by a look-alike: a key name it cannot
    // hold is not offered ("Cafe" would name another program's key), and a
    // field it cannot hold is refused, naming the field.
    int offered = 0;
    for (int i = 0; i < Send(dialog, IDC_REGISTRY_NAME, CB_GETCOUNT); ++i) {
        wchar_t item[300] = L"";
        ::SendDlgItemMessageW(dialog, IDC_REGISTRY_NAME, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
        offered += std::wstring(item).compare(0, 15, L"CobweldTest\\Caf") == 0 || std::wcsstr(item, L"Tick");
    }
    EXPECT_EQ(offered, 1); // CobweldTest\Cafe alone
    for (auto field : {std::make_pair(IDC_TITLE, u8"タイトル"), std::make_pair(IDC_COMMAND_LINE, u8"コマンドライン")}) {
        ::SendDlgItemMessageW(dialog, field.first, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"\u2713 C:\\Caf\u00e9"));
        Click(dialog, IDOK);
        EXPECT_EQ(NextBox(IDOK), FromUtf8(u8"Cobweld|「") + FromUtf8(field.second) +
                                     FromUtf8(u8"」に、この Windows の文字コードで表せない文字があります。表せる文字だけにしてください。|OK*"));
        Type(dialog, field.first, "x");
    }
    for (const wchar_t* key : lookAlikes)
        ::RegDeleteKeyW(HKEY_CURRENT_USER, key);
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
    EXPECT_EQ(ListCount(picker, IDC_ICON_LIST), 0);
    // Another name typed never leaves the last file's icons to pick, and OK
    // looks at the file again: a library gone since it was listed gives none.
    const std::string library = std::getenv("TEMP") + std::string("\\CobweldTestIcons.dll");
    ASSERT_TRUE(::CopyFileA("C:\\windows\\system32\\shell32.dll", library.c_str(), FALSE));
    for (const std::string& next : {BinDir() + "cobweld_test.ico", std::string()}) {
        Type(picker, IDC_ICON_FILE, library);
        EXPECT_TRUE(Press(picker, IDOK) && ListCount(picker, IDC_ICON_LIST) > 30);
        SelectRow(picker, IDC_ICON_LIST, 30);
        if (next.empty())
            ::DeleteFileA(library.c_str());
        else
            Type(picker, IDC_ICON_FILE, next);
        EXPECT_EQ(ListCount(picker, IDC_ICON_LIST) == 1, !next.empty()); // typed: reloaded at once
        SelectRow(picker, IDC_ICON_LIST, 30);
        EXPECT_TRUE(Press(picker, IDOK) && ::IsWindowVisible(picker) && ListCount(picker, IDC_ICON_LIST) < 2);
    }
    Type(picker, IDC_ICON_FILE, BinDir() + "cobweld_test.ico");
    EXPECT_TRUE(Press(picker, IDOK) && ::IsWindowVisible(picker) && ListSelection(picker, IDC_ICON_LIST) == 0);
    Click(picker, IDOK);
    EXPECT_TRUE(WaitGone(picker) && WaitUntil([&] { return Send(dialog, IDC_ICON_PREVIEW, STM_GETICON) != 0; }));
    Click(dialog, IDOK);
    ASSERT_TRUE(WaitGone(dialog) && WaitUntil([&] { return ListCount(main, IDC_PROGRAM_LIST) == 1; }));
    EXPECT_TRUE(ListSelection(main, IDC_PROGRAM_LIST) == 0 && IsEnabled(main, IDOK));
    // Stored at once, with its first snapshot a copy of the settings key.
    EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, SnapshotPath(1)), Dump(HKEY_CURRENT_USER, kSettingsPath));
    StoreEntry stored = {FromUtf8(u8"メモ帳"), GetString(HKEY_LOCAL_MACHINE, EntryPath(0), "CommandLine"), "C:\\windows",
                         BinDir() + "cobweld_test.ico", kSettingsName, 1, 1, 0, 1}; // the program in the file system's case
    EXPECT_EQ(Stored(0), AsStored(stored));
    // Properties edit the entry, showing what it holds; its slot and
    // snapshot stay as they are while the settings key does, in any case.
    const std::string snapshot = Dump(HKEY_LOCAL_MACHINE, SnapshotPath(1));
    dialog = Open(main, IDC_PROPERTIES, u8"プログラムの登録情報");
    EXPECT_EQ(ItemText(dialog, IDC_TITLE) + "|" + ItemText(dialog, IDC_REGISTRY_NAME), stored.title + "|" + kSettingsName);
    EXPECT_EQ(Send(dialog, IDC_RUN_MINIMIZED, BM_GETCHECK) + Send(dialog, IDC_RETRIEVE_AGAIN, BM_GETCHECK), 2);
    Type(dialog, IDC_TITLE, FromUtf8(u8"変更後"));
    Type(dialog, IDC_REGISTRY_NAME, "cobweldtest\\e2e");
    Click(dialog, IDOK);
    ASSERT_TRUE(WaitGone(dialog) && Sync(main));
    stored.title = FromUtf8(u8"変更後"), stored.registry = "cobweldtest\\e2e";
    EXPECT_EQ(Stored(0) + Dump(HKEY_LOCAL_MACHINE, SnapshotPath(1)) + Dump(HKEY_LOCAL_MACHINE, SnapshotPath(1) + ".g1"),
              AsStored(stored) + snapshot + "<missing>");
    // Another settings key: the entry takes its first snapshot, and the old
    // key's snapshot becomes its previous settings.
    SetString(HKEY_CURRENT_USER, std::string("Software\\") + kOtherName, "Important", "keep me");
    dialog = Open(main, IDC_PROPERTIES, u8"プログラムの登録情報");
    Type(dialog, IDC_REGISTRY_NAME, kOtherName);
    Click(dialog, IDOK);
    EXPECT_TRUE(WaitGone(dialog) && WaitUntil([&] { return GetString(HKEY_LOCAL_MACHINE, EntryPath(0), "Registry") == kOtherName; }));
    EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, SnapshotPath(1)) + Dump(HKEY_LOCAL_MACHINE, SnapshotPath(1) + ".g1"),
              Dump(HKEY_CURRENT_USER, std::string("Software\\") + kOtherName) + snapshot);
}
