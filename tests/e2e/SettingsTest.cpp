// An entry's settings sets from the main window's system menu: undo the
// last capture, and the snapshot to and from a registry file.
#include <cstdlib>
#include "tests/e2e/E2ETest.h"

namespace {

using SettingsTest = E2ETest;

std::string Snapshot(int slot, bool classes = true) { return Dump(HKEY_LOCAL_MACHINE, SnapshotPath(slot), classes); }

} // namespace

// Re-acquire replaces the snapshot with the settings key; an undo brings
// back the one it replaced.
TEST_F(SettingsTest, UndoBringsBackExactlyTheSnapshotTheLastCaptureReplacedAndAgainSwapsBack)
{
    WriteStoreEntry(0, Notepad("A", 1, "first"));
    SetString(HKEY_CURRENT_USER, kSettingsPath, "Marker", "second");
    SetDword(HKEY_CURRENT_USER, std::string(kSettingsPath) + "\\Window", "Width", 640);
    HWND main = Start();
    PostSysCommand(main, IDM_UNDO_CAPTURE); // nothing to undo yet
    EXPECT_FALSE(WaitMessageBox(launcher.Id(), 500));
    const std::string first = Snapshot(1);
    for (int answer : {IDNO, IDYES}) {
        Click(main, IDC_REACQUIRE);
        EXPECT_EQ(NextBox(answer), "Cobweld|" + std::string(kSettingsName) +
                                       FromUtf8(u8" のレジストリを取得しなおししますか？|Yes* No"));
        EXPECT_TRUE(WaitUntil([&] {
            return Snapshot(1) == (answer == IDNO ? first : Dump(HKEY_CURRENT_USER, kSettingsPath)) && Idle(main);
        }));
    }
    // No keeps it; Yes undoes, and again swaps back.
    const std::string second = Snapshot(1);
    for (auto undo : {std::make_pair(IDNO, &second), std::make_pair(IDYES, &first), std::make_pair(IDYES, &second)}) {
        PostSysCommand(main, IDM_UNDO_CAPTURE);
        EXPECT_EQ(NextBox(undo.first), FromUtf8(u8"Cobweld|A のレジストリを前回取得する前の状態に戻しますか？|Yes* No"));
        EXPECT_TRUE(WaitUntil([&] { return Snapshot(1) == *undo.second && Idle(main); }));
    }
}

// Export, then import into another entry, byte for byte (the registry file
// itself is checked against reg.exe elsewhere); a bad file is refused with
// its line and changes nothing. The live settings are never touched.
TEST_F(SettingsTest, AnEntrysSettingsTravelThroughARegistryFileIntoAnother)
{
    WriteStoreEntry(0, Notepad("A/B:C", 1));
    WriteStoreEntry(1, Notepad("Other", 2, "old"));
    FillRichTree(Key(HKEY_LOCAL_MACHINE, Widen(SnapshotPath(1))), false);
    const std::string file = std::getenv("TEMP") + std::string("\\CobweldTestSettings.reg"), bad = file + ".bad";
    ::DeleteFileA(file.c_str());
    HWND main = Start();
    SelectRow(main, IDC_PROGRAM_LIST, 0);
    PostSysCommand(main, IDM_EXPORT_SETTINGS);
    HWND save = WaitDialog(launcher.Id(), FromUtf8(u8"レジストリのエクスポート")); // named after the title
    EXPECT_TRUE(WaitUntil([&] { return ItemText(save, 0x47c) == "A_B_C.reg" || ItemText(save, 0x480) == "A_B_C.reg"; }));
    ASSERT_TRUE(ChooseFile(launcher.Id(), FromUtf8(u8"レジストリのエクスポート"), file) &&
                WaitUntil([&] { return ::GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES; }));
    const std::string old = Snapshot(2);
    SelectRow(main, IDC_PROGRAM_LIST, 1);
    PostSysCommand(main, IDM_IMPORT_SETTINGS);
    ASSERT_TRUE(ChooseFile(launcher.Id(), FromUtf8(u8"レジストリのインポート"), file));
    EXPECT_TRUE(WaitUntil([&] { return Snapshot(2, false) == Snapshot(1, false); }));
    // The import can be undone; the live settings are not touched.
    EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, SnapshotPath(2) + ".g1") + Dump(HKEY_CURRENT_USER, kSettingsPath), old + "<missing>");

    const std::string imported = Snapshot(2);
    // Another program's settings never become this entry's.
    WriteBytes(Widen(bad), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\X]\r\n\"v\"=\"1\"\r\n");
    PostSysCommand(main, IDM_IMPORT_SETTINGS);
    ASSERT_TRUE(ChooseFile(launcher.Id(), FromUtf8(u8"レジストリのインポート"), bad));
    EXPECT_EQ(NextBox(IDOK), "COBWELD|" + FromUtf8(u8"レジストリのインポートに失敗しました。\n") + bad +
                                 FromUtf8(u8"\nこのファイルはエントリの設定キーではなく HKEY_CURRENT_USER\\Software\\X の設定です。|OK*"));
    WriteBytes(Widen(bad), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\X]\r\n\"v\"=\"open\r\n");
    PostSysCommand(main, IDM_IMPORT_SETTINGS);
    ASSERT_TRUE(ChooseFile(launcher.Id(), FromUtf8(u8"レジストリのインポート"), bad));
    EXPECT_EQ(NextBox(IDOK), "COBWELD|" + FromUtf8(u8"レジストリのインポートに失敗しました。\n") + bad +
                                 FromUtf8(u8"\n4 行目: 書式が正しくありません。|OK*"));
    EXPECT_EQ(Snapshot(2), imported);
    ::DeleteFileA(file.c_str()), ::DeleteFileA(bad.c_str());
}
