// The main window of the real COBWELD.EXE: the single instance, the list and
// the commands that change it.
#include "tests/e2e/E2ETest.h"

using MainWindowTest = E2ETest;

TEST_F(MainWindowTest, ASecondStartIsRefusedAlsoWhileTheFirstIsTooBusyToAnswerAndChangesNothing)
{
    WriteStoreEntry(0, Notepad("A", 1, "a"));
    WriteStoreEntry(1, Notepad("B", 2, "b"));
    SetProfileInt("Current", 1);
    HWND main = Start();
    const std::string before = Dump(HKEY_LOCAL_MACHINE, kStoreRoot) + Dump(HKEY_CURRENT_USER, "Software\\Varnolite");
    HANDLE thread = ::OpenThread(THREAD_SUSPEND_RESUME, FALSE, launcher.MainThreadId());
    // Busy: its window cannot answer the probe (as while it restores a big
    // snapshot); the second start must be refused all the same.
    for (bool busy : {false, true}) {
        ::SuspendThread(busy ? thread : nullptr);
        Process second;
        HWND box = second.StartLauncher("0") ? WaitMessageBox(second.Id(), 15000) : nullptr;
        EXPECT_EQ(box ? DescribeMessageBox(box) : "<no box>",
                  FromUtf8(u8"Cobweld|Cobweldが既に起動されています。Cobweldは多重起動することができません。|OK*"));
        EXPECT_TRUE(!FindMainWindow(second.Id()) && box && Answer(box, IDOK) && second.WaitExit());
    }
    ::ResumeThread(thread);
    EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, kStoreRoot) + Dump(HKEY_CURRENT_USER, "Software\\Varnolite"), before);
    // The running launcher was not told about the index.
    EXPECT_TRUE(Sync(main) && !::IsIconic(main) && ListSelection(main, IDC_PROGRAM_LIST) == 1);
    // The probe is answered only when both its arguments are -1.
    for (auto probe : {std::make_pair(-1, -1), std::make_pair(-1, 0), std::make_pair(0, -1)}) {
        DWORD_PTR reply = 1;
        ::SendMessageTimeoutA(main, WM_USER + 100, probe.first, probe.second, SMTO_NORMAL, kTimeout, &reply);
        EXPECT_EQ(reply, probe.first + probe.second == -2 ? 0xF0F0F0F0u : 0u) << probe.first << probe.second;
    }
}

TEST_F(MainWindowTest, EveryChangeIsStoredAtOnceSoAKilledLauncherStartsWithTheListItShowed)
{
    for (int i = 0; i < 3; ++i)
        WriteStoreEntry(i, Notepad(std::string(1, 'A' + i), i + 1, "m"));
    SetProfileInt("Current", 2);
    HWND main = Start();
    EXPECT_EQ(ListSelection(main, IDC_PROGRAM_LIST), 2);
    SelectRow(main, IDC_PROGRAM_LIST, 1);
    for (int answer : {IDCANCEL, IDOK}) {
        Click(main, IDC_DELETE);
        EXPECT_EQ(NextBox(answer), FromUtf8(u8"Cobweld|B を削除します。|OK* Cancel"));
    }
    // The last row is selected, whichever was deleted.
    EXPECT_TRUE(Sync(main) && ListSelection(main, IDC_PROGRAM_LIST) == 1);
    EXPECT_EQ(StoredTitles(), (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, SnapshotPath(2)), "<missing>");
    // Up on the first row changes nothing; a move is stored like any change.
    SelectRow(main, IDC_PROGRAM_LIST, 0);
    EXPECT_TRUE(Press(main, IDC_UP) && Press(main, IDC_DOWN) && ListSelection(main, IDC_PROGRAM_LIST) == 1);
    EXPECT_EQ(StoredTitles(), (std::vector<std::string>{"C", "A"}));
    launcher.Kill();

    main = Start();
    EXPECT_TRUE(ListCount(main, IDC_PROGRAM_LIST) == 2 && GetString(HKEY_LOCAL_MACHINE, SnapshotPath(3), "Marker") == "m");
    // Escape does not close the window; deleting every entry leaves only
    // the commands that need none.
    ::PostMessageA(main, WM_COMMAND, IDCANCEL, 0);
    for (int row : {1, 0}) {
        SelectRow(main, IDC_PROGRAM_LIST, row);
        Click(main, IDC_DELETE);
        NextBox(IDOK);
    }
    EXPECT_TRUE(Sync(main) && StoredTitles().empty() && !IsEnabled(main, IDOK) && IsEnabled(main, IDC_NEW));
}

// Entries sharing a slot (or without a usable one) would overwrite each
// other's snapshot at every capture. A slot that still holds something (a
// deleted entry's snapshot, history or staging tree) is given to nobody, and
// what it holds stays: it may be the last copy of someone's settings.
TEST_F(MainWindowTest, EntriesWithoutASlotOfTheirOwnGetAFreeOneWithTheSnapshotTheyShared)
{
    const std::pair<int, const char*> entries[] = {{2, "two"}, {2, "two"}, {0, "zero"}, {-3, "minus"}, {0, "zero"}};
    for (int i = 0; i < 5; ++i)
        WriteStoreEntry(i, Notepad(std::string(1, 'A' + i), entries[i].first, entries[i].second));
    ::RegDeleteValueA(Key(HKEY_LOCAL_MACHINE, Widen(EntryPath(4))), "iSave"); // loads as 0
    const std::string save = std::string(kStoreRoot) + "\\Save\\";
    for (const char* leftover : {"1", "3.prev", "4.new", "5.old"})
        SetString(HKEY_LOCAL_MACHINE, save + leftover, "Marker", leftover);
    HWND main = Start();
    auto slotOf = [](int row) { return (int)GetDword(HKEY_LOCAL_MACHINE, EntryPath(row), "iSave"); };
    // Slots 1 and 3 to 5 hold something: a shared slot's copy goes to 6, and
    // each entry without a slot gets an empty snapshot.
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(slotOf(i), i ? 5 + i : 2) << i;
        const std::string snapshot = SnapshotPath(slotOf(i));
        EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, snapshot, "Marker") + Dump(HKEY_LOCAL_MACHINE, snapshot).substr(0, 3),
                  i < 2 ? "two[.]" : "<missing>[.]") << i;
    }
    SetString(HKEY_CURRENT_USER, kSettingsPath, "x", "1");
    NewEntry(main, "F", "C:\\windows\\notepad.exe", kSettingsName);
    EXPECT_TRUE(WaitUntil([&] { return StoredTitles().size() == 6; }) && slotOf(5) == 10);
    for (const char* leftover : {"1", "3.prev", "4.new", "5.old"})
        EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, save + leftover, "Marker"), leftover);
}
