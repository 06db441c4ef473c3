// The real COBWELD.EXE publishes its group to Wine's own Program Manager: at
// the first close after a notice, later on a changed list after a question,
// also when the run that changed it ended with the session.
#include "framework/Text.h"
#include "resources/resource.h"
#include "tests/progman/Progman.h"

using namespace driver;

TEST_F(ProgmanTest, TheFirstCloseFillsTheStartMenuGroupAndAChangedListAsksToUpdateIt)
{
    // Wine's service adds the launcher's own item and refuses the entries'
    // (their command lines carry arguments): those become shortcuts of ours.
    const std::string titles[] = {"Editor (work)", FromUtf8(u8"ソフト: 設定\"2\""), "Cobweld"};
    for (int i = 0; i < 3; ++i)
        WriteStoreEntry(i, {titles[i], "C:\\windows\\notepad.exe", "C:\\windows", "C:\\windows\\notepad.exe",
                            "CobweldTest\\Group", static_cast<DWORD>(i), static_cast<DWORD>(i + 1)});
    const std::string boxes[] = {FromUtf8(u8"Cobweld|プログラムマネージャにCobweldグループを作成します。|OK*"),
                                 FromUtf8(u8"Cobweld|プログラムマネージャのCobweldグループを更新しますか？|Yes* No")};
    for (int run = 0; run < 3; ++run) {
        Process launcher;
        HWND main = launcher.StartLauncher() ? launcher.WaitMainWindow() : nullptr, box = nullptr;
        if (run == 1) { // a change, then the session ends: the next close asks
            DWORD_PTR result = 0;
            Press(main, IDC_DOWN);
            ::SendMessageTimeoutA(main, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, kTimeout, &result);
            EXPECT_FALSE(WaitMessageBox(launcher.Id(), 300));
            continue;
        }
        Click(main, IDC_EXIT);
        ASSERT_TRUE(main && (box = WaitMessageBox(launcher.Id())));
        EXPECT_EQ(DescribeMessageBox(box), boxes[run / 2]);
        ASSERT_TRUE(Answer(box, run ? IDNO : IDOK) && launcher.WaitExit(30000));
        if (run == 2)
            break;
        EXPECT_EQ(DescribeShortcut("Cobweld", LauncherPath()).substr(0, 10), "launcher |");
        EXPECT_EQ(DescribeShortcut(titles[0], LauncherPath()), "launcher 0|C:\\windows|C:\\windows\\notepad.exe,0|1");
        EXPECT_EQ(DescribeShortcut(FromUtf8(u8"ソフト_ 設定_2_"), LauncherPath()),
                  "launcher 1|C:\\windows|C:\\windows\\notepad.exe,0|7");
        // Never the launcher's own item.
        EXPECT_EQ(DescribeShortcut("Cobweld (2)", LauncherPath()).substr(0, 11), "launcher 2|");
    }
}
