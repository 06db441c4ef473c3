// The main window of the real COBWELD.EXE: the single instance, the list and
// the commands that change it.
#include <map>
#include <thread>
#include "tests/e2e/E2ETest.h"

namespace {

using MainWindowTest = E2ETest;

std::map<HWND, int> g_probes;

// A window titled like a launcher that answers the probe with reply (or, on
// a thread that never looks at its messages, does not answer at all).
HWND Foreign(const char* title, LONG_PTR reply)
{
    static const WNDCLASSA wc = {0, [](HWND w, UINT msg, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (msg != WM_USER + 100)
            return ::DefWindowProcA(w, msg, wParam, lParam);
        ++g_probes[w];
        return ::GetWindowLongPtrA(w, GWLP_USERDATA);
    }, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, "CobweldTestForeign"};
    ::RegisterClassA(&wc);
    HWND window = ::CreateWindowExA(0, wc.lpszClassName, title, WS_POPUP | WS_VISIBLE, 0, 0, 9, 9, 0, 0, 0, 0);
    ::SetWindowLongPtrA(window, GWLP_USERDATA, reply);
    return window;
}

} // namespace

TEST_F(MainWindowTest, ASecondStartIsRefusedAlsoWhileTheFirstIsTooBusyToAnswerAndChangesNothing)
{
    WriteStoreEntry(0, Notepad("A", 1, "a"));
    WriteStoreEntry(1, Notepad("B", 2, "b"));
    SetProfileInt("Current", 1);
    HWND main = Start();
    ASSERT_TRUE(main);
    const std::string before = Dump(HKEY_LOCAL_MACHINE, kStoreRoot) + Dump(HKEY_CURRENT_USER, "Software\\Varnolite");
    HANDLE thread = ::OpenThread(THREAD_SUSPEND_RESUME, FALSE, launcher.MainThreadId());
    // Busy: its window cannot answer the probe (as while it restores a big
    // snapshot); the second start must be refused all the same.
    for (bool busy : {false, true}) {
        if (busy)
            ::SuspendThread(thread);
        Process second;
        ASSERT_TRUE(second.StartLauncher("0"));
        HWND box = WaitMessageBox(second.Id(), 15000);
        EXPECT_EQ(box ? DescribeMessageBox(box) : "<no box>",
                  FromUtf8(u8"Cobweld|Cobweldが既に起動されています。Cobweldは多重起動することができません。|OK*"));
        EXPECT_TRUE(!FindMainWindow(second.Id()) && box && Answer(box, IDOK) && second.WaitExit());
        if (busy)
            ::ResumeThread(thread);
    }
    ::CloseHandle(thread);
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

// Only titles that begin with "Cobweld", letter case and all, are probed;
// a reply other than the launcher's, or none, does not stop the start.
TEST_F(MainWindowTest, WindowsTitledCobweldThatAnswerOtherwiseOrHangDoNotStopTheStart)
{
    HWND zero = Foreign("Cobweld", 0), longer = Foreign("Cobweld and more", 1);
    HWND upper = Foreign("COBWELD", 0xF0F0F0F0), shorter = Foreign("Cobwel", 0xF0F0F0F0);
    std::thread([] { Foreign("Cobweld", 0), ::Sleep(INFINITE); }).detach();
    ASSERT_TRUE(launcher.StartLauncher());
    EXPECT_TRUE(WaitUntil([&] {
        for (MSG msg; ::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);)
            ::DispatchMessageA(&msg);
        return FindMainWindow(launcher.Id()) != nullptr;
    }, 20000));
    EXPECT_TRUE(g_probes[zero] && g_probes[longer] && !g_probes[upper] && !g_probes[shorter]);
}

TEST_F(MainWindowTest, EveryChangeIsStoredAtOnceSoAKilledLauncherStartsWithTheListItShowed)
{
    for (int i = 0; i < 3; ++i)
        WriteStoreEntry(i, Notepad(std::string(1, 'A' + i), i + 1, "m"));
    SetProfileInt("Current", 2);
    HWND main = Start();
    ASSERT_TRUE(main);
    EXPECT_EQ(ListSelection(main, IDC_PROGRAM_LIST), 2);
    SelectRow(main, IDC_PROGRAM_LIST, 1);
    for (int answer : {IDCANCEL, IDOK}) {
        Click(main, IDC_DELETE);
        EXPECT_EQ(NextBox(answer), FromUtf8(u8"Cobweld|B を削除します。|OK* Cancel"));
    }
    ASSERT_TRUE(Sync(main));
    EXPECT_EQ(ListSelection(main, IDC_PROGRAM_LIST), 1); // the last row, whichever was deleted
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(main) == ::GetDlgItem(main, IDC_PROGRAM_LIST); }));
    EXPECT_EQ(StoredTitles(), (std::vector<std::string>{"A", "C"}));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, SnapshotPath(2)));
    // Up on the first row changes nothing; a move is stored like any change.
    SelectRow(main, IDC_PROGRAM_LIST, 0);
    ASSERT_TRUE(Press(main, IDC_UP) && Press(main, IDC_DOWN));
    EXPECT_EQ(ListSelection(main, IDC_PROGRAM_LIST), 1);
    EXPECT_EQ(StoredTitles(), (std::vector<std::string>{"C", "A"}));
    launcher.Kill();

    main = Start();
    ASSERT_TRUE(main);
    EXPECT_EQ(ListCount(main, IDC_PROGRAM_LIST), 2);
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, SnapshotPath(3), "Marker"), "m");
    // Escape does not close the window; deleting every entry leaves only
    // the commands that need none.
    ::PostMessageA(main, WM_COMMAND, IDCANCEL, 0);
    for (int row : {1, 0}) {
        SelectRow(main, IDC_PROGRAM_LIST, row);
        Click(main, IDC_DELETE);
        NextBox(IDOK);
    }
    ASSERT_TRUE(Sync(main));
    for (int id : {IDOK, IDC_PROPERTIES, IDC_DELETE, IDC_REACQUIRE, IDC_NEW, IDC_UP, IDC_DOWN, IDC_EXIT})
        EXPECT_EQ(IsEnabled(main, id), id == IDC_NEW || id == IDC_UP || id == IDC_DOWN || id == IDC_EXIT) << id;
    EXPECT_TRUE(StoredTitles().empty());
    Click(main, IDC_EXIT);
    EXPECT_TRUE(launcher.WaitExit());
}

// Entries sharing a slot (or without a usable one) would overwrite each
// other's snapshot at every capture.
TEST_F(MainWindowTest, EntriesWithoutASlotOfTheirOwnGetOneWithTheSnapshotTheyHad)
{
    const std::pair<int, const char*> entries[] = {{2, "two"}, {2, "two"}, {0, "zero"}, {-3, "minus"}, {0, "zero"}};
    for (int i = 0; i < 5; ++i)
        WriteStoreEntry(i, Notepad(std::string(1, 'A' + i), entries[i].first, entries[i].second));
    ::RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, EntryPath(4).c_str(), "iSave"); // loads as 0
    ASSERT_TRUE(Start());
    std::map<DWORD, int> slots;
    for (int i = 0; i < 5; ++i) {
        DWORD slot = 0, size = sizeof slot;
        ::RegGetValueA(HKEY_LOCAL_MACHINE, EntryPath(i).c_str(), "iSave", RRF_RT_REG_DWORD, nullptr, &slot, &size);
        EXPECT_TRUE(static_cast<int>(slot) > 0 && ++slots[slot] == 1) << i;
        EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, SnapshotPath(slot), "Marker"), entries[i].second) << i;
    }
}
