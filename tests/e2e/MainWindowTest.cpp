// The main window of the real COBWELD.EXE: the single instance, the list and
// the commands that change it.
#include <map>
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
// other's snapshot at every capture.
TEST_F(MainWindowTest, EntriesWithoutASlotOfTheirOwnGetOneWithTheSnapshotTheyHad)
{
    const std::pair<int, const char*> entries[] = {{2, "two"}, {2, "two"}, {0, "zero"}, {-3, "minus"}, {0, "zero"}};
    for (int i = 0; i < 5; ++i)
        WriteStoreEntry(i, Notepad(std::string(1, 'A' + i), entries[i].first, entries[i].second));
    ::RegDeleteValueA(Key(HKEY_LOCAL_MACHINE, Widen(EntryPath(4))), "iSave"); // loads as 0
    ASSERT_TRUE(Start());
    std::map<DWORD, int> slots;
    for (int i = 0; i < 5; ++i) {
        DWORD slot = 0, size = sizeof slot;
        ::RegGetValueA(Key(HKEY_LOCAL_MACHINE, Widen(EntryPath(i))), nullptr, "iSave", RRF_RT_REG_DWORD, nullptr, &slot, &size);
        EXPECT_TRUE(static_cast<int>(slot) > 0 && ++slots[slot] == 1) << i;
        EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, SnapshotPath(slot), "Marker"), entries[i].second) << i;
    }
}
