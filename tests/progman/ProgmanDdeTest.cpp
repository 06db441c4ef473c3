// Publishing against the recording "PROGMAN" server: what goes over DDE,
// byte for byte.
#include <gtest/gtest.h>
#include <windows.h>
#include <ddeml.h>
#include "ProgmanTestSupport.h"
#include "framework/Text.h"
#include "progman/DdeClient.h"
#include "progman/ProgmanCommands.h"
#include "progman/ProgmanGroup.h"

namespace {

const char kDelete[] = "[DeleteGroup(\"Cobweld\",0)]";
const char kCreate[] = "[CreateGroup(\"Cobweld\",0)]";

std::string LauncherItem()
{
    return "[AddItem(\"" + OwnPath() + "\",\"Cobweld\")]";
}

HDDEDATA CALLBACK IgnoreAll(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR)
{
    return nullptr;
}

// The process of the server that a fresh DDE connect to PROGMAN reaches.
DWORD ProcessAnsweringProgman()
{
    DWORD instance = 0;
    DWORD process = 0;
    if (::DdeInitializeA(&instance, IgnoreAll, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
        return 0;
    HSZ name = ::DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
    HCONV conv = ::DdeConnect(instance, name, name, nullptr);
    if (conv) {
        CONVINFO info = {};
        info.cb = sizeof info;
        if (::DdeQueryConvInfo(conv, QID_SYNC, &info))
            ::GetWindowThreadProcessId(info.hwndPartner, &process);
        ::DdeDisconnect(conv);
    }
    ::DdeFreeStringHandle(instance, name);
    ::DdeUninitialize(instance);
    return process;
}

}

TEST(ProgmanRecorder, AnswersBeforeWinesOwnProgramManager)
{
    CRecorder recorder;
    ASSERT_TRUE(recorder.Ready());
    EXPECT_EQ(ProcessAnsweringProgman(), recorder.ProcessId());
}

TEST(ProgmanPublish, SendsTheWorkedExampleInOrder)
{
    CRecorder recorder;
    ASSERT_TRUE(recorder.Ready());
    CTestList test;
    test.Add("Editor (work)", "C:\\APPS\\EDIT.EXE", 0, "D:\\WORK", 0);
    test.Add("Editor (home)", "C:\\APPS\\EDIT.EXE", 1, "", 1);
    test.m_list.m_nGroupState = GROUP_STATE_FIRST_RUN;

    PublishProgmanGroup(test.m_list);

    std::string launcher = OwnPath();
    EXPECT_EQ(recorder.Commands(), WithTerminators({
        kDelete, kCreate, LauncherItem(),
        "[AddItem(\"" + launcher + " 0\",\"Editor (work)\",C:\\APPS\\EDIT.EXE,0,,,D:\\WORK,)]",
        "[AddItem(\"" + launcher + " 1\",\"Editor (home)\",C:\\APPS\\EDIT.EXE,1,,,,,1)]",
    }));
    EXPECT_EQ(test.m_list.m_nGroupState, GROUP_STATE_NONE);
    EXPECT_EQ(test.m_list.m_bModified, 0);
}

TEST(ProgmanPublish, AnEmptyListSendsExactlyThreeCommands)
{
    CRecorder recorder;
    ASSERT_TRUE(recorder.Ready());
    CTestList test;
    test.m_list.m_nGroupState = GROUP_STATE_CHANGED;

    PublishProgmanGroup(test.m_list);

    EXPECT_EQ(recorder.Commands(), WithTerminators({kDelete, kCreate, LauncherItem()}));
    EXPECT_EQ(test.m_list.m_nGroupState, GROUP_STATE_NONE);
}

TEST(ProgmanPublish, ItemIndexesFollowTheListOrderAtPublication)
{
    CRecorder recorder;
    ASSERT_TRUE(recorder.Ready());
    CTestList test;
    test.Add("A", "A.EXE", 0, "", 0);
    test.Add("B", "B.EXE", -3, "", 1);
    test.Add("C", "C.EXE", 2, "C:\\", 0);
    std::swap(test.m_list.m_arrEntries[0], test.m_list.m_arrEntries[2]);

    PublishProgmanGroup(test.m_list);

    std::string launcher = OwnPath();
    EXPECT_EQ(recorder.Commands(), WithTerminators({
        kDelete, kCreate, LauncherItem(),
        "[AddItem(\"" + launcher + " 0\",\"C\",C.EXE,2,,,C:\\,)]",
        "[AddItem(\"" + launcher + " 1\",\"B\",B.EXE,-3,,,,,1)]",
        "[AddItem(\"" + launcher + " 2\",\"A\",A.EXE,0,,,,)]",
    }));
}

TEST(ProgmanPublish, PublishingTwiceSendsTheWholeSequenceEachTime)
{
    CRecorder recorder;
    ASSERT_TRUE(recorder.Ready());
    CTestList test;
    test.Add("A", "A.EXE", 0, "", 0);

    PublishProgmanGroup(test.m_list);
    test.m_list.m_nGroupState = GROUP_STATE_CHANGED;
    PublishProgmanGroup(test.m_list);

    std::vector<std::string> once = {
        kDelete, kCreate, LauncherItem(),
        "[AddItem(\"" + OwnPath() + " 0\",\"A\",A.EXE,0,,,,)]",
    };
    std::vector<std::string> twice = once;
    twice.insert(twice.end(), once.begin(), once.end());
    EXPECT_EQ(recorder.Commands(), WithTerminators(twice));
    EXPECT_EQ(test.m_list.m_nGroupState, GROUP_STATE_NONE);
}

TEST(ProgmanPublish, ARefusedCommandDoesNotStopTheOthers)
{
    CRecorder recorder("refuse=0,2,3");
    ASSERT_TRUE(recorder.Ready());
    CTestList test;
    test.Add("A", "A.EXE", 0, "", 0);
    test.Add("B", "B.EXE", 0, "", 0);

    PublishProgmanGroup(test.m_list);

    EXPECT_EQ(recorder.Commands().size(), 5u);
    EXPECT_EQ(test.m_list.m_nGroupState, GROUP_STATE_NONE);
}

TEST(ProgmanPublish, EntryTextsCannotEndTheirFieldsOrInjectCommands)
{
    CRecorder recorder;
    ASSERT_TRUE(recorder.Ready());
    CTestList test;
    test.Add("x\")][DeleteGroup(\"Main\",0)][AddItem(\"y", "C:\\a,b\\I.ICO", 1, "D:\\[w]", 0);
    std::string katakana = FromUtf8(u8"ゲームゾ");
    test.Add(katakana.c_str(), ("C:\\" + katakana + "\\G.EXE").c_str(), 0, ("C:\\" + katakana).c_str(), 1);

    PublishProgmanGroup(test.m_list);

    std::string launcher = OwnPath();
    EXPECT_EQ(recorder.Commands(), WithTerminators({
        kDelete, kCreate, LauncherItem(),
        "[AddItem(\"" + launcher + " 0\",\"x')][DeleteGroup('Main',0)][AddItem('y\","
            "\"C:\\a,b\\I.ICO\",1,,,\"D:\\[w]\",)]",
        "[AddItem(\"" + launcher + " 1\",\"" + katakana + "\",C:\\" + katakana + "\\G.EXE,0,,,C:\\" +
            katakana + ",,1)]",
    }));
}

TEST(ProgmanPublish, WithoutProgramManagerNothingIsSentAndTheStateIsCleared)
{
    CTestList test;
    test.Add("A", "A.EXE", 0, "", 0);
    test.m_list.m_nGroupState = GROUP_STATE_FIRST_RUN;
    RemoveGroupFolder();

    DWORD start = ::GetTickCount();
    PublishProgmanGroupTo(test.m_list, "CobweldTestNoSuchService");
    DWORD elapsed = ::GetTickCount() - start;

    EXPECT_FALSE(DdeClientIsConnected());
    EXPECT_FALSE(DdeClientExecute("[CreateGroup(\"Cobweld\",0)]"));
    EXPECT_FALSE(DdeClientLastRefused());
    EXPECT_EQ(test.m_list.m_nGroupState, GROUP_STATE_NONE);
    EXPECT_LT(elapsed, 8000u);
    EXPECT_FALSE(FileExists(GroupFolder()));
}

TEST(ProgmanPublish, ACommandWithoutAnswerTimesOutAndPublishingStillEnds)
{
    CRecorder recorder("silent");
    ASSERT_TRUE(recorder.Ready());
    CTestList test;
    test.m_list.m_nGroupState = GROUP_STATE_FIRST_RUN;
    RemoveGroupFolder();
    ASSERT_TRUE(::CreateDirectoryA(GroupFolder().c_str(), nullptr));

    DWORD start = ::GetTickCount();
    PublishProgmanGroup(test.m_list);
    DWORD elapsed = ::GetTickCount() - start;

    // Three commands, each given up after its 10-second wait.
    EXPECT_GE(elapsed, 9000u);
    EXPECT_LT(elapsed, 45000u);
    ASSERT_FALSE(recorder.Commands().empty());
    EXPECT_EQ(recorder.Commands()[0], std::string(kDelete) + std::string(1, '\0'));
    EXPECT_EQ(test.m_list.m_nGroupState, GROUP_STATE_NONE);
    // An item that got no answer may still be added by the shell: no
    // shortcut of our own beside it.
    EXPECT_FALSE(FileExists(GroupFolder() + "\\Cobweld.lnk"));
    RemoveGroupFolder();
}

TEST(ProgmanPublish, PublishesAgainAfterProgramManagerEndedTheConversation)
{
    CTestList test;
    test.Add("A", "A.EXE", 0, "", 0);
    {
        CRecorder first;
        ASSERT_TRUE(first.Ready());
        PublishProgmanGroup(test.m_list);
        ASSERT_EQ(first.Commands().size(), 4u);
    }
    // The interface thread's message loop takes the server's goodbye.
    for (int i = 0; i < 20; ++i) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageA(&msg);
        ::Sleep(25);
    }

    CRecorder second;
    ASSERT_TRUE(second.Ready());
    PublishProgmanGroup(test.m_list);
    EXPECT_EQ(second.Commands().size(), 4u);
}
