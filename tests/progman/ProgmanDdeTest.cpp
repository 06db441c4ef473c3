// Publishing against the recording "PROGMAN" server: what goes over DDE,
// byte for byte, and how long it may take.
#include "ProgmanTestSupport.h"
#include "framework/Text.h"
#include "progman/DdeClient.h"
#include "progman/ProgmanGroup.h"

// The whole sequence with these entry items, each text as sent (with its NUL).
static std::vector<std::string> Group(const std::vector<std::string>& items)
{
    std::vector<std::string> texts = {"[DeleteGroup(\"Cobweld\",0)]", "[CreateGroup(\"Cobweld\",0)]",
                                      "[AddItem(\"" + OwnPath() + "\",\"Cobweld\")]"};
    texts.insert(texts.end(), items.begin(), items.end());
    for (std::string& text : texts)
        text += '\0';
    return texts;
}

static std::string Item(int index, const std::string& fields)
{
    return "[AddItem(\"" + OwnPath() + " " + std::to_string(index) + "\"," + fields + ")]";
}

TEST(ProgmanPublish, SendsTheWorkedExampleInOrderEachTimeItPublishes)
{
    CRecorder recorder;
    ASSERT_TRUE(recorder.Ready());
    CTestList list({{"Editor (work)", "C:\\APPS\\EDIT.EXE", 0, "D:\\WORK", 0},
                    {"Editor (home)", "C:\\APPS\\EDIT.EXE", 1, "", 1}}, GROUP_STATE_FIRST_RUN);
    PublishProgmanGroup(list);
    EXPECT_EQ(list.m_nGroupState, GROUP_STATE_NONE);
    list.m_nGroupState = GROUP_STATE_CHANGED;
    PublishProgmanGroup(list);
    std::vector<std::string> once = Group({Item(0, "\"Editor (work)\",C:\\APPS\\EDIT.EXE,0,,,D:\\WORK,"),
                                           Item(1, "\"Editor (home)\",C:\\APPS\\EDIT.EXE,1,,,,,1")});
    std::vector<std::string> twice = once;
    twice.insert(twice.end(), once.begin(), once.end());
    EXPECT_EQ(recorder.Commands(), twice);
    EXPECT_EQ(list.m_nGroupState, GROUP_STATE_NONE);
    EXPECT_EQ(list.m_bModified, 0);
}

TEST(ProgmanPublish, AnEmptyListSendsExactlyThreeCommands)
{
    CRecorder recorder;
    ASSERT_TRUE(recorder.Ready());
    CTestList list;
    PublishProgmanGroup(list);
    EXPECT_EQ(recorder.Commands(), Group({}));
}

TEST(ProgmanPublish, ItemsFollowTheListOrderAndKeepNegativeIconIndexesAndMinimizing)
{
    CRecorder recorder;
    ASSERT_TRUE(recorder.Ready());
    CTestList list({{"A", "A.EXE", 0, "", 0}, {"B", "B.EXE", -3, "", 1}, {"C", "C.EXE", 2, "C:\\", 0}});
    std::swap(list.m_arrEntries[0], list.m_arrEntries[2]);
    PublishProgmanGroup(list);
    EXPECT_EQ(recorder.Commands(), Group({Item(0, "\"C\",C.EXE,2,,,C:\\,"), Item(1, "\"B\",B.EXE,-3,,,,,1"),
                                          Item(2, "\"A\",A.EXE,0,,,,")}));
}

TEST(ProgmanPublish, EntryTextsCannotEndTheirFieldsOrInjectCommandsAndSafeTextsStayUnchanged)
{
    CRecorder recorder;
    ASSERT_TRUE(recorder.Ready());
    // Trail bytes '[' and ']' in "ゲーム" and "ゾ" stay as they are.
    std::string kana = FromUtf8(u8"ゲームゾ"), path = "C:\\" + kana;
    CTestList list({{"x\")][DeleteGroup(\"Main\",0)][AddItem(\"y", "\"C:\\a,b\\I.ICO\"", 1, "D:\\\"[w])", 0},
                    {kana.c_str(), (path + "\\G.EXE").c_str(), 0, path.c_str(), 1},
                    {"\"", "C:\\Program Files\\A;b'&.EXE", -1, " D:\\(x) ", 0}});
    PublishProgmanGroup(list);
    EXPECT_EQ(recorder.Commands(),
              Group({Item(0, "\"x')][DeleteGroup('Main',0)][AddItem('y\",\"C:\\a,b\\I.ICO\",1,,,\"D:\\[w])\","),
                     Item(1, "\"" + kana + "\"," + path + "\\G.EXE,0,,," + path + ",,1"),
                     Item(2, "\"'\",C:\\Program Files\\A;b'&.EXE,-1,,,\" D:\\(x) \",")}));
}

TEST(ProgmanPublish, WithoutProgramManagerNothingIsSentAndTheStateIsCleared)
{
    CTestList list({{"A", "A.EXE", 0, "", 0}}, GROUP_STATE_FIRST_RUN);
    RemoveGroupFolder();
    DWORD start = ::GetTickCount();
    PublishProgmanGroupTo(list, "CobweldTestNoSuchService");
    EXPECT_LT(::GetTickCount() - start, 8000u);
    EXPECT_FALSE(DdeClientIsConnected());
    EXPECT_FALSE(DdeClientExecute("[CreateGroup(\"Cobweld\",0)]"));
    EXPECT_EQ(list.m_nGroupState, GROUP_STATE_NONE);
    EXPECT_FALSE(FileExists(GroupFolder()));
}

TEST(ProgmanPublish, ACommandWithoutAnswerIsGivenUpAfterTenSecondsAndCountsAsNoRefusal)
{
    CRecorder recorder("silent");
    ASSERT_TRUE(recorder.Ready());
    DdeClientInit();
    ASSERT_TRUE(DdeClientConnect("PROGMAN", "PROGMAN"));
    DWORD start = ::GetTickCount();
    EXPECT_FALSE(DdeClientExecute("[DeleteGroup(\"Cobweld\",0)]"));
    DWORD elapsed = ::GetTickCount() - start;
    EXPECT_GE(elapsed, 9000u);
    EXPECT_LT(elapsed, 15000u);
    // The shell may still add an unanswered item: it gets no shortcut of ours.
    EXPECT_FALSE(DdeClientLastRefused());
    EXPECT_EQ(recorder.Commands().size(), 1u);
}

TEST(ProgmanPublish, PublishesAgainAfterProgramManagerEndedTheConversation)
{
    CTestList list({{"A", "A.EXE", 0, "", 0}});
    {
        CRecorder first;
        ASSERT_TRUE(first.Ready());
        PublishProgmanGroup(list);
        ASSERT_EQ(first.Commands().size(), 4u);
    }
    // The interface thread's message loop takes the server's goodbye.
    MSG msg;
    for (DWORD end = ::GetTickCount() + 500; ::GetTickCount() < end; ::Sleep(25))
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageA(&msg);
    CRecorder second;
    ASSERT_TRUE(second.Ready());
    PublishProgmanGroup(list);
    EXPECT_EQ(second.Commands().size(), 4u);
}
