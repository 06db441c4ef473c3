// The first close of COBWELD.EXE on a fresh system publishes the group to
// Wine's own Program Manager service.
#include <windows.h>
#include "ProgmanTestSupport.h"
#include "framework/Text.h"
#include "resources/resource.h"

using namespace driver;

class GroupEndToEnd : public CleanGroupFolder {
protected:
    void SetUp() override { WipeLauncherState(), CleanGroupFolder::SetUp(); }
    void TearDown() override { WipeLauncherState(), CleanGroupFolder::TearDown(); }
};

TEST_F(GroupEndToEnd, FirstCloseNoticesThenFillsTheStartMenuGroupWithTheLauncherAndEveryEntry)
{
    const std::string titles[] = {"Editor (work)", FromUtf8(u8"ソフト: 設定\"2\"")};
    for (int i = 0; i < 2; ++i) {
        StoreEntry e;
        e.title = titles[i];
        e.commandLine = e.iconPath = "C:\\windows\\notepad.exe";
        e.directory = "C:\\windows";
        e.registry = "CobweldTest\\ProgmanEndToEnd";
        e.runMinimized = static_cast<DWORD>(i);
        ASSERT_TRUE(WriteStoreEntry(i, e));
    }
    Process launcher;
    ASSERT_TRUE(launcher.StartLauncher());
    HWND main = launcher.WaitMainWindow();
    ASSERT_NE(main, nullptr);
    ClickButton(main, IDC_EXIT);
    HWND box = WaitMessageBox(launcher.Id());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(ReadMessageBox(box).text, FromUtf8(u8"プログラムマネージャにCobweldグループを作成します。"));
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    ASSERT_TRUE(launcher.WaitExit(30000));

    // Wine's service adds the launcher's item and refuses the entries' (their
    // command lines carry arguments): those become shortcuts of our own.
    EXPECT_EQ(DescribeShortcut(Lnk("Cobweld"), LauncherPath()).substr(0, 10), "launcher |");
    EXPECT_EQ(DescribeShortcut(Lnk(titles[0]), LauncherPath()),
              "launcher 0|C:\\windows|C:\\windows\\notepad.exe,0|1");
    EXPECT_EQ(DescribeShortcut(Lnk(FromUtf8(u8"ソフト_ 設定_2_")), LauncherPath()),
              "launcher 1|C:\\windows|C:\\windows\\notepad.exe,0|7");
    DWORD installed = 0;
    EXPECT_TRUE(ReadProfileInt("Installed", &installed));
    EXPECT_EQ(installed, 1u);
}
