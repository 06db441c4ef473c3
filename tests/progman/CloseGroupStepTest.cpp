// The group step of the close flow: which message box it shows, owned by the
// main window, and what it publishes for each answer.
#include <gtest/gtest.h>
#include <windows.h>
#include <atomic>
#include <thread>
#include "ProgmanTestSupport.h"
#include "framework/Text.h"
#include "framework/Wnd.h"
#include "progman/ProgmanGroup.h"
#include "tests/driver/Driver.h"

namespace {

struct CSeenBox {
    bool bShown = false;
    bool bOwnedByMainWindow = false;
    driver::MessageBoxContent content;
};

// Runs the group step for a hidden stand-in of the main window; a box it
// shows is answered with answer.
CSeenBox RunStepAnswering(CProgramList& list, int answer)
{
    HWND main = ::CreateWindowExA(0, "STATIC", "Cobweld", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  ::GetModuleHandleA(nullptr), nullptr);
    CSeenBox seen;
    std::atomic<bool> done{false};
    std::thread user([&] {
        HWND box = nullptr;
        driver::WaitUntil([&] {
            return done || (box = driver::FindMessageBox(::GetCurrentProcessId())) != nullptr;
        }, 10000);
        if (!box)
            return;
        driver::Sync(box);
        seen.bShown = true;
        seen.bOwnedByMainWindow = ::GetWindow(box, GW_OWNER) == main;
        seen.content = driver::ReadMessageBox(box);
        driver::AnswerMessageBox(box, answer);
    });
    RunCloseGroupStep(CWnd(main), list);
    done = true;
    user.join();
    ::DestroyWindow(main);
    return seen;
}

class CloseGroupStep : public ::testing::Test {
protected:
    void SetUp() override { RemoveGroupFolder(); }
    void TearDown() override { RemoveGroupFolder(); }
};

}

TEST_F(CloseGroupStep, FirstRunShowsTheNoticeThenPublishes)
{
    CRecorder recorder;
    ASSERT_TRUE(recorder.Ready());
    CTestList test;
    test.m_list.m_nGroupState = GROUP_STATE_FIRST_RUN;

    CSeenBox seen = RunStepAnswering(test.m_list, IDOK);

    ASSERT_TRUE(seen.bShown);
    EXPECT_TRUE(seen.bOwnedByMainWindow);
    EXPECT_EQ(seen.content.caption, "Cobweld");
    EXPECT_EQ(seen.content.text, FromUtf8(u8"プログラムマネージャにCobweldグループを作成します。"));
    EXPECT_EQ(seen.content.buttons, std::vector<int>{IDOK});
    EXPECT_EQ(seen.content.icon, MB_ICONASTERISK);
    EXPECT_EQ(recorder.Commands().size(), 3u);
    EXPECT_EQ(test.m_list.m_nGroupState, GROUP_STATE_NONE);
}

TEST_F(CloseGroupStep, AChangedListWithAnExistingGroupAsksAndPublishesOnYes)
{
    CRecorder recorder;
    ASSERT_TRUE(recorder.Ready());
    ASSERT_TRUE(::CreateDirectoryA(GroupFolder().c_str(), nullptr));
    CTestList test;
    test.Add("A", "", 0, "", 0);
    test.m_list.m_nGroupState = GROUP_STATE_CHANGED;

    CSeenBox seen = RunStepAnswering(test.m_list, IDYES);

    ASSERT_TRUE(seen.bShown);
    EXPECT_TRUE(seen.bOwnedByMainWindow);
    EXPECT_EQ(seen.content.caption, "Cobweld");
    EXPECT_EQ(seen.content.text, FromUtf8(u8"プログラムマネージャのCobweldグループを更新しますか？"));
    EXPECT_EQ(seen.content.buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(seen.content.icon, MB_ICONQUESTION);
    EXPECT_EQ(recorder.Commands().size(), 4u);
    EXPECT_EQ(test.m_list.m_nGroupState, GROUP_STATE_NONE);
}

TEST_F(CloseGroupStep, AChangedListWithAnExistingGroupPublishesNothingOnNo)
{
    CRecorder recorder;
    ASSERT_TRUE(recorder.Ready());
    ASSERT_TRUE(::CreateDirectoryA(GroupFolder().c_str(), nullptr));
    CTestList test;
    test.m_list.m_nGroupState = GROUP_STATE_CHANGED;

    EXPECT_TRUE(RunStepAnswering(test.m_list, IDNO).bShown);
    EXPECT_TRUE(recorder.Commands().empty());
}

TEST_F(CloseGroupStep, AChangedListWithoutAGroupClosesWithoutQuestion)
{
    CRecorder recorder;
    ASSERT_TRUE(recorder.Ready());
    CTestList test;
    test.m_list.m_nGroupState = GROUP_STATE_CHANGED;

    EXPECT_FALSE(RunStepAnswering(test.m_list, IDYES).bShown);
    EXPECT_TRUE(recorder.Commands().empty());
}
