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

namespace {

// Stands in for the main window: a hidden top-level window of the test.
class COwnerWindow {
public:
    COwnerWindow()
        : m_wnd(::CreateWindowExA(0, "STATIC", "Cobweld", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  ::GetModuleHandleA(nullptr), nullptr)) {}
    ~COwnerWindow() { ::DestroyWindow(m_wnd.m_hWnd); }
    CWnd m_wnd;
};

struct CSeenBox {
    bool bShown = false;
    std::string strCaption;
    std::string strText;
    bool bHasYes = false;
    bool bHasOk = false;
};

// Watches for one message box owned by owner and answers it with answer.
class CBoxAnswerer {
public:
    CBoxAnswerer(HWND owner, int answer) : m_owner(owner), m_answer(answer)
    {
        m_thread = std::thread([this] { Run(); });
    }
    ~CBoxAnswerer() { Stop(); }
    const CSeenBox& Stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        return m_seen;
    }

private:
    static BOOL CALLBACK FindBox(HWND window, LPARAM param)
    {
        CBoxAnswerer* self = reinterpret_cast<CBoxAnswerer*>(param);
        char className[32];
        ::GetClassNameA(window, className, sizeof className);
        if (lstrcmpA(className, "#32770") == 0 && ::GetWindow(window, GW_OWNER) == self->m_owner) {
            self->m_box = window;
            return FALSE;
        }
        return TRUE;
    }
    void Run()
    {
        for (int i = 0; i < 300 && !m_stop; ++i) {
            m_box = nullptr;
            ::EnumThreadWindows(::GetWindowThreadProcessId(m_owner, nullptr), FindBox,
                                reinterpret_cast<LPARAM>(this));
            if (m_box && ::IsWindowVisible(m_box)) {
                m_seen.bShown = true;
                m_seen.strCaption = CWnd(m_box).GetWindowText();
                char text[512] = "";
                ::GetDlgItemTextA(m_box, 0xFFFF, text, sizeof text);
                m_seen.strText = text;
                m_seen.bHasYes = ::GetDlgItem(m_box, IDYES) != nullptr;
                m_seen.bHasOk = ::GetDlgItem(m_box, IDOK) != nullptr;
                ::PostMessageA(m_box, WM_COMMAND, MAKEWPARAM(m_answer, BN_CLICKED), 0);
                return;
            }
            ::Sleep(50);
        }
    }

    HWND m_owner;
    int m_answer;
    HWND m_box = nullptr;
    CSeenBox m_seen;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

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
    COwnerWindow owner;
    CTestList test;
    test.m_list.m_nGroupState = GROUP_STATE_FIRST_RUN;

    CBoxAnswerer answerer(owner.m_wnd, IDOK);
    RunCloseGroupStep(owner.m_wnd, test.m_list);
    const CSeenBox& seen = answerer.Stop();

    ASSERT_TRUE(seen.bShown);
    EXPECT_EQ(seen.strCaption, "Cobweld");
    EXPECT_EQ(seen.strText, FromUtf8(u8"プログラムマネージャにCobweldグループを作成します。"));
    EXPECT_TRUE(seen.bHasOk);
    EXPECT_FALSE(seen.bHasYes);
    EXPECT_EQ(recorder.Commands().size(), 3u);
    EXPECT_EQ(test.m_list.m_nGroupState, GROUP_STATE_NONE);
}

TEST_F(CloseGroupStep, AChangedListWithAnExistingGroupAsksAndPublishesOnYes)
{
    CRecorder recorder;
    ASSERT_TRUE(recorder.Ready());
    ASSERT_TRUE(::CreateDirectoryA(GroupFolder().c_str(), nullptr));
    COwnerWindow owner;
    CTestList test;
    test.Add("A", "", 0, "", 0);
    test.m_list.m_nGroupState = GROUP_STATE_CHANGED;

    CBoxAnswerer answerer(owner.m_wnd, IDYES);
    RunCloseGroupStep(owner.m_wnd, test.m_list);
    const CSeenBox& seen = answerer.Stop();

    ASSERT_TRUE(seen.bShown);
    EXPECT_EQ(seen.strCaption, "Cobweld");
    EXPECT_EQ(seen.strText, FromUtf8(u8"プログラムマネージャのCobweldグループを更新しますか？"));
    EXPECT_TRUE(seen.bHasYes);
    EXPECT_EQ(recorder.Commands().size(), 4u);
    EXPECT_EQ(test.m_list.m_nGroupState, GROUP_STATE_NONE);
}

TEST_F(CloseGroupStep, AChangedListWithAnExistingGroupPublishesNothingOnNo)
{
    CRecorder recorder;
    ASSERT_TRUE(recorder.Ready());
    ASSERT_TRUE(::CreateDirectoryA(GroupFolder().c_str(), nullptr));
    COwnerWindow owner;
    CTestList test;
    test.m_list.m_nGroupState = GROUP_STATE_CHANGED;

    CBoxAnswerer answerer(owner.m_wnd, IDNO);
    RunCloseGroupStep(owner.m_wnd, test.m_list);

    EXPECT_TRUE(answerer.Stop().bShown);
    EXPECT_TRUE(recorder.Commands().empty());
}

TEST_F(CloseGroupStep, AChangedListWithoutAGroupClosesWithoutQuestion)
{
    CRecorder recorder;
    ASSERT_TRUE(recorder.Ready());
    COwnerWindow owner;
    CTestList test;
    test.m_list.m_nGroupState = GROUP_STATE_CHANGED;

    CBoxAnswerer answerer(owner.m_wnd, IDYES);
    RunCloseGroupStep(owner.m_wnd, test.m_list);
    ::Sleep(300);

    EXPECT_FALSE(answerer.Stop().bShown);
    EXPECT_TRUE(recorder.Commands().empty());
}

TEST_F(CloseGroupStep, NothingToDoShowsAndSendsNothing)
{
    CRecorder recorder;
    ASSERT_TRUE(recorder.Ready());
    ASSERT_TRUE(::CreateDirectoryA(GroupFolder().c_str(), nullptr));
    COwnerWindow owner;
    CTestList test;
    test.m_list.m_nGroupState = GROUP_STATE_NONE;

    CBoxAnswerer answerer(owner.m_wnd, IDYES);
    RunCloseGroupStep(owner.m_wnd, test.m_list);
    ::Sleep(300);

    EXPECT_FALSE(answerer.Stop().bShown);
    EXPECT_TRUE(recorder.Commands().empty());
}
