// The first close of COBWELD.EXE on a fresh system publishes the group to
// Wine's own Program Manager service.
#include <gtest/gtest.h>
#include <windows.h>
#include "ProgmanTestSupport.h"
#include "framework/Text.h"
#include "resources/resource.h"
#include "tests/driver/Driver.h"

using namespace driver;

namespace {

StoreEntry Entry(const char* title, int minimized)
{
    StoreEntry e;
    e.title = title;
    e.commandLine = "C:\\windows\\notepad.exe";
    e.directory = "C:\\windows";
    e.iconPath = "C:\\windows\\notepad.exe";
    e.registry = "CobweldTest\\ProgmanEndToEnd";
    e.runMinimized = static_cast<DWORD>(minimized);
    return e;
}

class GroupEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        WipeLauncherState();
        RemoveGroupFolder();
    }
    void TearDown() override
    {
        launcher.Kill();
        WipeLauncherState();
        RemoveGroupFolder();
    }
    Process launcher;
};

}

TEST_F(GroupEndToEnd, FirstCloseNoticesThenFillsTheStartMenuGroupWithTheLauncherAndEveryEntry)
{
    ASSERT_TRUE(WriteStoreEntry(0, Entry("Editor (work)", 0)));
    ASSERT_TRUE(WriteStoreEntry(1, Entry("Editor (home)", 1)));
    ASSERT_TRUE(launcher.StartLauncher());
    HWND main = launcher.WaitMainWindow();
    ASSERT_NE(main, nullptr);

    ClickButton(main, IDC_EXIT);
    HWND box = WaitMessageBox(launcher.Id());
    ASSERT_NE(box, nullptr);
    MessageBoxContent content = ReadMessageBox(box);
    EXPECT_EQ(content.caption, "Cobweld");
    EXPECT_EQ(content.text, FromUtf8(u8"プログラムマネージャにCobweldグループを作成します。"));
    EXPECT_EQ(content.buttons, std::vector<int>{IDOK});
    EXPECT_EQ(content.icon, MB_ICONASTERISK);
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    ASSERT_TRUE(launcher.WaitExit(30000));

    std::string folder = GroupFolder();
    CShortcut self = ReadShortcut(folder + "\\Cobweld.lnk");
    ASSERT_TRUE(self.bRead) << folder;
    EXPECT_EQ(lstrcmpiA(self.strTarget.c_str(), LauncherPath().c_str()), 0) << self.strTarget;
    EXPECT_EQ(self.strArguments, "");

    const char* titles[] = {"Editor (work)", "Editor (home)"};
    for (int i = 0; i < 2; ++i) {
        CShortcut item = ReadShortcut(folder + "\\" + titles[i] + ".lnk");
        ASSERT_TRUE(item.bRead) << titles[i];
        EXPECT_EQ(lstrcmpiA(item.strTarget.c_str(), LauncherPath().c_str()), 0) << item.strTarget;
        EXPECT_EQ(item.strArguments, std::to_string(i));
        EXPECT_EQ(item.strIconPath, "C:\\windows\\notepad.exe");
        EXPECT_EQ(item.strDirectory, "C:\\windows");
        EXPECT_EQ(item.nShowCmd, i == 1 ? SW_SHOWMINNOACTIVE : SW_SHOWNORMAL);
    }
    DWORD installed = 0;
    EXPECT_TRUE(ReadProfileInt("Installed", &installed));
    EXPECT_EQ(installed, 1u);
}
