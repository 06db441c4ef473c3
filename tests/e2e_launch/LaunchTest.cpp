// Launching entries through the real COBWELD.EXE, with settings_app standing
// in for the user's program.
#include "tests/e2e_launch/SettingsAppFixture.h"

using namespace driver;
using namespace launchtest;

namespace {
// Message boxes without a caption of their own carry the program's name.
const char kAppTitle[] = "COBWELD";

class LaunchTest : public launchtest::SettingsAppTest {
protected:
    void TearDown() override
    {
        m_launcher.Kill();
        SettingsAppTest::TearDown();
    }

    // Starts the launcher without arguments and launches row with the
    // Launch button; the main window then.
    HWND LaunchRow(int row)
    {
        if (!m_launcher.StartLauncher())
            return nullptr;
        HWND window = m_launcher.WaitMainWindow(kLong);
        if (!window)
            return nullptr;
        SelectRow(window, kListId, row);
        ClickButton(window, IDOK);
        return window;
    }

    // The launcher waits for entry "Editor" (slot 1), launched from its
    // window; settings_app has started and runs until told to end.
    HWND StartWaitingForEditor()
    {
        if (::testing::Test::HasFatalFailure())
            return nullptr;
        EXPECT_TRUE(WriteStoreEntry(0, Entry("Editor", 1, true)));
        SetSnapshot(1, {{"Color", "red"}});
        TellApp({{"Color", "changed"}}, true);
        HWND window = LaunchRow(0);
        EXPECT_NE(window, nullptr);
        EXPECT_TRUE(WaitRunReady(1));
        EXPECT_TRUE(WaitUntil([&] { return WindowText(window) == WaitingTitle("Editor"); }));
        return window;
    }

    HWND WaitAbandonQuestion()
    {
        HWND box = WaitMessageBox(m_launcher.Id(), kLong);
        if (box) {
            MessageBoxContent content = ReadMessageBox(box);
            EXPECT_EQ(content.text, FromUtf8(u8"子プロセスを待機中です。強制終了させますか？"));
        }
        return box;
    }

    Process m_launcher;
};
}

TEST_F(LaunchTest, TwoEntriesNamingOneSettingsKeyEachGetTheirOwnSettingsAndKeepWhatTheirProgramChanged)
{
    ASSERT_TRUE(WriteStoreEntry(0, Entry("Alpha", 1, true)));
    ASSERT_TRUE(WriteStoreEntry(1, Entry("Beta", 2, true)));
    SetSnapshot(1, {{"Color", "red"}});
    SetSnapshot(2, {{"Color", "blue"}});
    SetValues(HKEY_CURRENT_USER, kSettingsPath, {{"Color", "green"}, {"Stray", "x"}});

    // Alpha runs and changes its settings.
    TellApp({{"Color", "red2"}, {"OnlyAlpha", "1"}}, false);
    ASSERT_TRUE(m_launcher.StartLauncher("0"));
    ASSERT_TRUE(m_launcher.WaitExit(kLong));
    EXPECT_EQ(Seen(1, "Color"), "red");
    EXPECT_EQ(Seen(1, "Stray"), "<none>");
    EXPECT_EQ(Snapshot(1, "Color"), "red2");
    EXPECT_EQ(Snapshot(1, "OnlyAlpha"), "1");
    EXPECT_EQ(Snapshot(2, "Color"), "blue");
    EXPECT_EQ(Snapshot(2, "OnlyAlpha"), "<none>");

    // Beta finds its own settings, none of Alpha's.
    TellApp({{"Color", "blue2"}}, false);
    ASSERT_TRUE(m_launcher.StartLauncher("1"));
    ASSERT_TRUE(m_launcher.WaitExit(kLong));
    EXPECT_EQ(Seen(2, "Color"), "blue");
    EXPECT_EQ(Seen(2, "OnlyAlpha"), "<none>");
    EXPECT_EQ(Snapshot(2, "Color"), "blue2");
    EXPECT_EQ(Snapshot(1, "Color"), "red2");

    // Alpha's next launch brings what it left last time.
    TellApp({}, false);
    ASSERT_TRUE(m_launcher.StartLauncher("0"));
    ASSERT_TRUE(m_launcher.WaitExit(kLong));
    EXPECT_EQ(Seen(3, "Color"), "red2");
    EXPECT_EQ(Seen(3, "OnlyAlpha"), "1");
}

TEST_F(LaunchTest, WithoutRetrieveAgainTheLauncherEndsRightAfterTheStartAndTheProgramRunsOn)
{
    StoreEntry entry = Entry("Viewer", 1, false);
    entry.directory = "C:\\windows";
    ASSERT_TRUE(WriteStoreEntry(0, Entry("Other", 2, false)));
    ASSERT_TRUE(WriteStoreEntry(1, entry));
    SetSnapshot(1, {{"Color", "red"}});
    TellApp({{"Color", "changed"}}, true);

    ASSERT_NE(LaunchRow(1), nullptr);
    ASSERT_TRUE(m_launcher.WaitExit(kLong));
    ASSERT_TRUE(WaitRunReady(1));
    EXPECT_TRUE(AppRunning(1));
    EXPECT_EQ(Seen(1, "Color"), "red");
    DWORD current = 99;
    EXPECT_TRUE(ReadProfileInt("Current", &current));
    EXPECT_EQ(current, 1u);

    // Started by file path alone, in the entry's directory, with no show flags.
    // (Wine puts the path in quotes, Windows does not.)
    std::string commandLine = ReadString(HKEY_CURRENT_USER, SeenPath(1), "CommandLine");
    if (commandLine.size() >= 2 && commandLine.front() == '"' && commandLine.back() == '"')
        commandLine = commandLine.substr(1, commandLine.size() - 2);
    EXPECT_EQ(commandLine, ToolPath("settings_app.exe"));
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, SeenPath(1), "Directory"), "C:\\windows");
    EXPECT_EQ(SeenDword(1, "StartFlags") & STARTF_USESHOWWINDOW, 0u);

    ::SetEvent(m_end);
    ASSERT_TRUE(WaitAppEnded(1));
    EXPECT_EQ(Snapshot(1, "Color"), "red"); // nobody waited to capture
}

TEST_F(LaunchTest, ARunMinimizedEntryStartsItsProgramMinimizedWithoutActivation)
{
    StoreEntry entry = Entry("Quiet", 1, false);
    entry.runMinimized = 1;
    ASSERT_TRUE(WriteStoreEntry(0, entry));
    SetSnapshot(1, {{"Color", "red"}});
    TellApp({}, false);

    ASSERT_TRUE(m_launcher.StartLauncher("0"));
    ASSERT_TRUE(m_launcher.WaitExit(kLong));
    ASSERT_TRUE(WaitRunReady(1));
    EXPECT_NE(SeenDword(1, "StartFlags") & STARTF_USESHOWWINDOW, 0u);
    EXPECT_EQ(SeenDword(1, "ShowWindow"), static_cast<DWORD>(SW_SHOWMINNOACTIVE));
}

TEST_F(LaunchTest, WithRetrieveAgainTheLauncherWaitsMinimizedRefusesToBeRestoredAndThenComesBack)
{
    HWND window = StartWaitingForEditor();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsMinimized(window));

    PostSysCommand(window, SC_RESTORE);
    ASSERT_TRUE(Sync(window));
    EXPECT_TRUE(IsMinimized(window));
    ::ShowWindow(window, SW_RESTORE);
    ASSERT_TRUE(Sync(window));
    EXPECT_TRUE(IsMinimized(window));
    EXPECT_EQ(Snapshot(1, "Color"), "red");

    ::SetEvent(m_end);
    ASSERT_TRUE(WaitUntil([&] { return !IsMinimized(window); }, kLong));
    EXPECT_EQ(WindowText(window), "Cobweld");
    EXPECT_EQ(Snapshot(1, "Color"), "changed");
    EXPECT_TRUE(m_launcher.Running());

    // The wait is over: closing asks nothing.
    PostSysCommand(window, SC_CLOSE);
    EXPECT_TRUE(m_launcher.WaitExit(kLong));
}

TEST_F(LaunchTest, StartedWithAnIndexItLaunchesAtOnceAndEndsAfterTheCaptureWithoutShowingItsWindow)
{
    ASSERT_TRUE(WriteStoreEntry(0, Entry("First", 1, true)));
    ASSERT_TRUE(WriteStoreEntry(1, Entry("Second", 2, true)));
    ASSERT_TRUE(WriteStoreEntry(2, Entry("Third", 3, true)));
    SetSnapshot(1, {{"Color", "red"}});
    SetSnapshot(2, {{"Color", "blue"}});
    SetSnapshot(3, {{"Color", "black"}});
    TellApp({{"Color", "white"}}, true);

    ASSERT_TRUE(m_launcher.StartLauncher("2"));
    ASSERT_TRUE(WaitRunReady(1));
    EXPECT_EQ(Seen(1, "Color"), "black");
    HWND window = m_launcher.WaitMainWindow(kLong);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return WindowText(window) == WaitingTitle("Third"); }));
    EXPECT_TRUE(IsMinimized(window));

    ::SetEvent(m_end);
    bool shown = false;
    bool ended = WaitUntil([&] {
        if (::IsWindow(window) && ::IsWindowVisible(window) && !::IsIconic(window))
            shown = true;
        return !m_launcher.Running();
    }, kLong);
    ASSERT_TRUE(ended);
    EXPECT_FALSE(shown);
    EXPECT_EQ(Snapshot(3, "Color"), "white");
    EXPECT_EQ(Snapshot(2, "Color"), "blue");
}

TEST_F(LaunchTest, StartedWithAnIndexNamingNoRowItOpensNormallyAndLaunchesNothing)
{
    ASSERT_TRUE(WriteStoreEntry(0, Entry("First", 1, false)));
    ASSERT_TRUE(WriteStoreEntry(1, Entry("Second", 2, false)));
    ASSERT_TRUE(WriteStoreEntry(2, Entry("Third", 3, false)));
    TellApp({}, false);

    for (const char* argument : {"7", "-1"}) {
        SCOPED_TRACE(argument);
        ASSERT_TRUE(m_launcher.StartLauncher(argument));
        HWND window = m_launcher.WaitMainWindow(kLong);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(FindMessageBox(m_launcher.Id()), nullptr);
        EXPECT_FALSE(IsMinimized(window));
        EXPECT_EQ(WindowText(window), "Cobweld");
        ::Sleep(500);
        EXPECT_TRUE(m_launcher.Running());
        EXPECT_FALSE(IsMinimized(window));
        PostSysCommand(window, SC_CLOSE);
        ASSERT_TRUE(m_launcher.WaitExit(kLong));
    }
    EXPECT_EQ(Runs(), 0);
}

TEST_F(LaunchTest, StartedWithAnIndexWithoutDigitsItLaunchesTheFirstEntry)
{
    ASSERT_TRUE(WriteStoreEntry(0, Entry("First", 1, false)));
    ASSERT_TRUE(WriteStoreEntry(1, Entry("Second", 2, false)));
    SetSnapshot(1, {{"Color", "red"}});
    SetSnapshot(2, {{"Color", "blue"}});
    TellApp({}, false);

    ASSERT_TRUE(m_launcher.StartLauncher("abc"));
    ASSERT_TRUE(m_launcher.WaitExit(kLong));
    ASSERT_TRUE(WaitRunReady(1));
    EXPECT_EQ(Seen(1, "Color"), "red");
}

TEST_F(LaunchTest, AProgramPathWithAnArgumentFailsToStartAndTheWindowStaysMinimized)
{
    StoreEntry entry = Entry("Broken", 1, true);
    entry.commandLine += " 0";
    ASSERT_TRUE(WriteStoreEntry(0, entry));
    SetSnapshot(1, {{"Color", "red"}});
    TellApp({}, false);

    HWND window = LaunchRow(0);
    ASSERT_NE(window, nullptr);
    HWND box = WaitMessageBox(m_launcher.Id(), kLong);
    ASSERT_NE(box, nullptr);
    MessageBoxContent content = ReadMessageBox(box);
    EXPECT_EQ(content.text, FromUtf8(u8"プロセスの起動に失敗しました。"));
    EXPECT_EQ(content.caption, kAppTitle);
    EXPECT_EQ(content.buttons, std::vector<int>{IDOK});
    EXPECT_TRUE(IsMinimized(window));
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));

    ::Sleep(300);
    ASSERT_TRUE(Sync(window));
    EXPECT_TRUE(IsMinimized(window));
    EXPECT_EQ(WindowText(window), "Cobweld");
    EXPECT_TRUE(m_launcher.Running());
    EXPECT_EQ(Runs(), 0);

    // Idle again: the window can be restored and closed without a question.
    ::Sleep(1200);
    ::ShowWindow(window, SW_RESTORE);
    ASSERT_TRUE(Sync(window));
    EXPECT_FALSE(IsMinimized(window));
    PostSysCommand(window, SC_CLOSE);
    EXPECT_TRUE(m_launcher.WaitExit(kLong));
}

TEST_F(LaunchTest, AMissingSnapshotIsReportedAndTheProgramRunsWithTheSettingsItHas)
{
    ASSERT_TRUE(WriteStoreEntry(0, Entry("Fresh", 5, true)));
    SetValues(HKEY_CURRENT_USER, kSettingsPath, {{"Color", "live"}});
    TellApp({{"Color", "kept"}}, true);

    HWND window = LaunchRow(0);
    ASSERT_NE(window, nullptr);
    HWND box = WaitMessageBox(m_launcher.Id(), kLong);
    ASSERT_NE(box, nullptr);
    MessageBoxContent content = ReadMessageBox(box);
    EXPECT_EQ(content.text, FromUtf8(u8"レジストリの復元に失敗しました。プログラムの起動は続行します。"));
    EXPECT_EQ(content.caption, kAppTitle);
    EXPECT_EQ(content.buttons, std::vector<int>{IDOK});
    EXPECT_EQ(Runs(), 0); // the program starts once the warning is read
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));

    ASSERT_TRUE(WaitRunReady(1));
    EXPECT_EQ(Seen(1, "Color"), "live");
    // The closed warning did not bring the window back during the wait.
    ASSERT_TRUE(Sync(window));
    EXPECT_TRUE(IsMinimized(window));
    EXPECT_EQ(WindowText(window), WaitingTitle("Fresh"));

    // Once it ends, its settings become the entry's first snapshot.
    ::SetEvent(m_end);
    ASSERT_TRUE(WaitUntil([&] { return !IsMinimized(window); }, kLong));
    EXPECT_EQ(Snapshot(5, "Color"), "kept");
}

TEST_F(LaunchTest, CloseDuringAWaitAnsweredNoKeepsWaitingAndTheCaptureFollows)
{
    HWND window = StartWaitingForEditor();
    ASSERT_NE(window, nullptr);

    PostSysCommand(window, SC_CLOSE);
    HWND box = WaitAbandonQuestion();
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(AnswerMessageBox(box, IDNO));
    ASSERT_TRUE(Sync(window));
    EXPECT_TRUE(m_launcher.Running());
    EXPECT_TRUE(IsMinimized(window));
    EXPECT_EQ(WindowText(window), WaitingTitle("Editor"));

    ::SetEvent(m_end);
    ASSERT_TRUE(WaitUntil([&] { return !IsMinimized(window); }, kLong));
    EXPECT_EQ(Snapshot(1, "Color"), "changed");
}

TEST_F(LaunchTest, CloseDuringAWaitAnsweredYesEndsTheLauncherAndNothingIsCapturedWhenTheProgramEnds)
{
    HWND window = StartWaitingForEditor();
    ASSERT_NE(window, nullptr);

    PostSysCommand(window, SC_CLOSE);
    HWND box = WaitAbandonQuestion();
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(AnswerMessageBox(box, IDYES));
    ASSERT_TRUE(m_launcher.WaitExit(kLong));
    EXPECT_TRUE(AppRunning(1));

    ::SetEvent(m_end);
    ASSERT_TRUE(WaitAppEnded(1));
    EXPECT_EQ(Snapshot(1, "Color"), "red");
}

TEST_F(LaunchTest, TheProgramEndingWhileTheCloseQuestionIsOnScreenIsNotCapturedWhenTheAnswerIsYes)
{
    HWND window = StartWaitingForEditor();
    ASSERT_NE(window, nullptr);

    PostSysCommand(window, SC_CLOSE);
    HWND box = WaitAbandonQuestion();
    ASSERT_NE(box, nullptr);
    ::SetEvent(m_end);
    ASSERT_TRUE(WaitAppEnded(1));
    ::Sleep(600);
    // The question still decides: nothing captured, nothing restored.
    EXPECT_TRUE(::IsWindow(box));
    EXPECT_TRUE(IsMinimized(window));
    EXPECT_EQ(Snapshot(1, "Color"), "red");

    ASSERT_TRUE(AnswerMessageBox(box, IDYES));
    ASSERT_TRUE(m_launcher.WaitExit(kLong));
    EXPECT_EQ(Snapshot(1, "Color"), "red");
}

TEST_F(LaunchTest, TheProgramEndingWhileTheCloseQuestionIsOnScreenIsCapturedOnceTheAnswerIsNo)
{
    HWND window = StartWaitingForEditor();
    ASSERT_NE(window, nullptr);

    PostSysCommand(window, SC_CLOSE);
    HWND box = WaitAbandonQuestion();
    ASSERT_NE(box, nullptr);
    ::SetEvent(m_end);
    ASSERT_TRUE(WaitAppEnded(1));
    ::Sleep(300);
    EXPECT_EQ(Snapshot(1, "Color"), "red");

    ASSERT_TRUE(AnswerMessageBox(box, IDNO));
    ASSERT_TRUE(WaitUntil([&] { return !IsMinimized(window); }, kLong));
    EXPECT_EQ(WindowText(window), "Cobweld");
    EXPECT_EQ(Snapshot(1, "Color"), "changed");
    EXPECT_TRUE(m_launcher.Running());
}
