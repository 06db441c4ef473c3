// The group as the shell keeps it: the shortcuts written for the items a shell
// refuses, whether the group exists, and the close flow's group step.
#include <atomic>
#include <thread>
#include "ProgmanTestSupport.h"
#include "framework/Text.h"
#include "framework/Wnd.h"
#include "progman/ProgmanGroup.h"

using ShellGroup = CleanGroupFolder;
using CloseGroupStep = CleanGroupFolder;

TEST_F(ShellGroup, OnlyTheItemsARefusingShellLeavesAreWrittenIntoItsExistingFolder)
{
    CRecorder recorder("refuse=0,2,3"); // DeleteGroup, the launcher's item, the first entry's
    ASSERT_TRUE(recorder.Ready());
    ASSERT_TRUE(::CreateDirectoryA(GroupFolder().c_str(), nullptr));
    CTestList list({{"Tool", "C:\\windows\\regedit.exe", -1, "", 1}, {"Kept", "", 0, "", 0}});
    PublishProgmanGroup(list);
    EXPECT_EQ(recorder.Commands().size(), 5u);
    EXPECT_EQ(DescribeShortcut(Lnk("Cobweld"), OwnPath()).substr(0, 10), "launcher |");
    EXPECT_EQ(DescribeShortcut(Lnk("Tool"), OwnPath()), "launcher 0||C:\\windows\\regedit.exe,-1|7");
    EXPECT_FALSE(FileExists(Lnk("Kept")));
}

TEST_F(ShellGroup, ARefusingShellWithoutAGroupFolderGetsNoFolderMadeForIt)
{
    CRecorder recorder("refuse=all");
    ASSERT_TRUE(recorder.Ready());
    CTestList list({{"Tool", "", 0, "", 0}});
    PublishProgmanGroup(list);
    EXPECT_EQ(recorder.Commands().size(), 4u);
    EXPECT_FALSE(FileExists(GroupFolder()));
}

TEST_F(ShellGroup, TheGroupExistsByItsStartMenuFolderOrProgramManagersKey)
{
    const char* key = "UNICODE Program Groups\\Cobweld";
    EXPECT_FALSE(ProgmanGroupExists());
    ASSERT_TRUE(::CreateDirectoryA(GroupFolder().c_str(), nullptr));
    EXPECT_TRUE(ProgmanGroupExists());
    RemoveGroupFolder();
    ASSERT_TRUE(driver::CreateKey(HKEY_CURRENT_USER, key));
    EXPECT_TRUE(ProgmanGroupExists());
    driver::DeleteTree(HKEY_CURRENT_USER, key);
    EXPECT_FALSE(ProgmanGroupExists());
}

TEST_F(CloseGroupStep, NoticesAFirstRunAndAsksAboutAChangedListOnlyWhenTheGroupExists)
{
    const std::string notice = FromUtf8(u8"プログラムマネージャにCobweldグループを作成します。");
    const std::string question = FromUtf8(u8"プログラムマネージャのCobweldグループを更新しますか？");
    const std::vector<int> ok = {IDOK}, yesNo = {IDYES, IDNO}, none;
    struct { int state; bool groupExists; int answer; std::string text; std::vector<int> buttons; int icon; size_t sent; }
    cases[] = {
        {GROUP_STATE_FIRST_RUN, false, IDOK, notice, ok, MB_ICONASTERISK, 3},
        {GROUP_STATE_CHANGED, true, IDYES, question, yesNo, MB_ICONQUESTION, 3},
        {GROUP_STATE_CHANGED, true, IDNO, question, yesNo, MB_ICONQUESTION, 0},
        {GROUP_STATE_CHANGED, false, IDYES, "", none, -1, 0}, // no box
        {GROUP_STATE_NONE, true, IDYES, "", none, -1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("state " + std::to_string(c.state) + ", answer " + std::to_string(c.answer));
        RemoveGroupFolder();
        ASSERT_TRUE(!c.groupExists || ::CreateDirectoryA(GroupFolder().c_str(), nullptr));
        CRecorder recorder;
        ASSERT_TRUE(recorder.Ready());
        CTestList list({}, c.state);
        // A hidden stand-in for the main window; the "user" answers its box.
        HWND main = ::CreateWindowExA(0, "STATIC", "Cobweld", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
        HWND owner = nullptr, box = nullptr;
        driver::MessageBoxContent seen;
        std::atomic<bool> done{false};
        std::thread user([&] {
            if (driver::WaitUntil([&] { return (box = driver::FindMessageBox(::GetCurrentProcessId())) || done; },
                                  10000) && box && driver::Sync(box)) {
                owner = ::GetWindow(box, GW_OWNER);
                seen = driver::ReadMessageBox(box);
                driver::AnswerMessageBox(box, c.answer);
            }
        });
        RunCloseGroupStep(CWnd(main), list);
        done = true;
        user.join();
        ::DestroyWindow(main);
        EXPECT_EQ(owner, box ? main : nullptr);
        EXPECT_EQ(seen.caption, box ? "Cobweld" : "");
        EXPECT_EQ(seen.text, c.text);
        EXPECT_EQ(seen.buttons, c.buttons);
        EXPECT_EQ(seen.icon, c.icon);
        EXPECT_EQ(recorder.Commands().size(), c.sent);
    }
}
