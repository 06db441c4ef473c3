// The group as the shell keeps it: Wine's own Program Manager service, the
// shortcuts written for the items a shell refuses, and whether the group
// exists.
#include <gtest/gtest.h>
#include <windows.h>
#include "ProgmanTestSupport.h"
#include "framework/Text.h"
#include "progman/ProgmanGroup.h"

namespace {

class ShellGroup : public ::testing::Test {
protected:
    void SetUp() override { RemoveGroupFolder(); }
    void TearDown() override { RemoveGroupFolder(); }
};

std::string Lnk(const char* name)
{
    return GroupFolder() + "\\" + name + ".lnk";
}

}

TEST_F(ShellGroup, WinesServiceGetsTheGroupWithTheLauncherItem)
{
    CTestList test;
    test.m_list.m_nGroupState = GROUP_STATE_FIRST_RUN;

    PublishProgmanGroup(test.m_list);

    EXPECT_EQ(test.m_list.m_nGroupState, GROUP_STATE_NONE);
    CShortcut launcher = ReadShortcut(Lnk("Cobweld"));
    ASSERT_TRUE(launcher.bRead) << Lnk("Cobweld");
    EXPECT_EQ(lstrcmpiA(launcher.strTarget.c_str(), OwnPath().c_str()), 0) << launcher.strTarget;
    EXPECT_EQ(launcher.strArguments, "");
}

TEST_F(ShellGroup, EntryItemsWinesServiceRefusesBecomeShortcutsStartingTheLauncherWithTheirIndex)
{
    CTestList test;
    test.Add("Editor (work)", "C:\\windows\\notepad.exe", 0, "C:\\windows", 0);
    std::string title = FromUtf8(u8"ゲーム: 設定\"2\"");
    test.Add(title.c_str(), "", 0, "", 1);

    PublishProgmanGroup(test.m_list);

    EXPECT_TRUE(ReadShortcut(Lnk("Cobweld")).bRead);
    CShortcut work = ReadShortcut(Lnk("Editor (work)"));
    ASSERT_TRUE(work.bRead);
    EXPECT_EQ(lstrcmpiA(work.strTarget.c_str(), OwnPath().c_str()), 0) << work.strTarget;
    EXPECT_EQ(work.strArguments, "0");
    EXPECT_EQ(work.strDirectory, "C:\\windows");
    EXPECT_EQ(work.strIconPath, "C:\\windows\\notepad.exe");
    EXPECT_EQ(work.nIconIndex, 0);
    EXPECT_EQ(work.nShowCmd, SW_SHOWNORMAL);

    std::string fileName = FromUtf8(u8"ゲーム_ 設定_2_");
    CShortcut game = ReadShortcut(Lnk(fileName.c_str()));
    ASSERT_TRUE(game.bRead) << "missing " << Lnk(fileName.c_str());
    EXPECT_EQ(game.strArguments, "1");
    EXPECT_EQ(game.nShowCmd, SW_SHOWMINNOACTIVE);
}

TEST_F(ShellGroup, ItemsARefusingShellLeavesAreWrittenIntoAnExistingGroupFolder)
{
    CRecorder recorder("refuse=all");
    ASSERT_TRUE(recorder.Ready());
    ASSERT_TRUE(::CreateDirectoryA(GroupFolder().c_str(), nullptr));
    CTestList test;
    test.Add("Tool", "C:\\windows\\regedit.exe", -1, "", 1);

    PublishProgmanGroup(test.m_list);

    EXPECT_EQ(recorder.Commands().size(), 4u);
    CShortcut launcher = ReadShortcut(Lnk("Cobweld"));
    ASSERT_TRUE(launcher.bRead);
    EXPECT_EQ(launcher.strArguments, "");
    CShortcut tool = ReadShortcut(Lnk("Tool"));
    ASSERT_TRUE(tool.bRead);
    EXPECT_EQ(tool.strArguments, "0");
    EXPECT_EQ(tool.strIconPath, "C:\\windows\\regedit.exe");
    EXPECT_EQ(tool.nIconIndex, -1);
    EXPECT_EQ(tool.nShowCmd, SW_SHOWMINNOACTIVE);
}

TEST_F(ShellGroup, ARefusingShellWithoutAGroupFolderGetsNoFolderMadeForIt)
{
    CRecorder recorder("refuse=all");
    ASSERT_TRUE(recorder.Ready());
    CTestList test;
    test.Add("Tool", "", 0, "", 0);

    PublishProgmanGroup(test.m_list);

    EXPECT_EQ(recorder.Commands().size(), 4u);
    EXPECT_FALSE(FileExists(GroupFolder()));
}

TEST_F(ShellGroup, AnAcceptedItemGetsNoShortcutOfOurOwn)
{
    CRecorder recorder;
    ASSERT_TRUE(recorder.Ready());
    ASSERT_TRUE(::CreateDirectoryA(GroupFolder().c_str(), nullptr));
    CTestList test;
    test.Add("Tool", "", 0, "", 0);

    PublishProgmanGroup(test.m_list);

    EXPECT_EQ(recorder.Commands().size(), 4u);
    EXPECT_FALSE(FileExists(Lnk("Tool")));
    EXPECT_FALSE(FileExists(Lnk("Cobweld")));
}

TEST_F(ShellGroup, TheGroupExistsByItsStartMenuFolder)
{
    EXPECT_FALSE(ProgmanGroupExists());
    ASSERT_TRUE(::CreateDirectoryA(GroupFolder().c_str(), nullptr));
    EXPECT_TRUE(ProgmanGroupExists());
}

TEST_F(ShellGroup, TheGroupExistsByProgramManagersGroupKey)
{
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, "UNICODE Program Groups\\Cobweld", 0, nullptr, 0,
                                KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    ::RegCloseKey(key);
    EXPECT_TRUE(ProgmanGroupExists());
    ::RegDeleteKeyA(HKEY_CURRENT_USER, "UNICODE Program Groups\\Cobweld");
    ::RegDeleteKeyA(HKEY_CURRENT_USER, "UNICODE Program Groups");
    EXPECT_FALSE(ProgmanGroupExists());
}
