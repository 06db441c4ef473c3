// The main window inside the test's own process, for what Wine does not show
// to other processes: its system menu.
#include <gtest/gtest.h>
#include <set>
#include <thread>
#include "framework/Text.h"
#include "framework/WinApp.h"
#include "resources/resource.h"
#include "tests/driver/Driver.h"
#include "ui/LauncherDlg.h"

using namespace driver;

namespace {

// The application object of these tests: its own profile, so the launcher's
// real profile is left alone. Not a first run: the close asks nothing.
class TestApp {
public:
    TestApp() : m_app("CobweldMainWindowTest")
    {
        m_app.SetRegistryKey("CobweldTest");
        m_app.WriteProfileInt("Cobweld", "Installed", 1);
    }
    ~TestApp() { DeleteTree(HKEY_CURRENT_USER, "Software\\CobweldTest\\CobweldMainWindowTest"); }
    CWinApp m_app;
};

TEST(MainWindowInProcess, SystemMenuEndsWithGroupAndAboutItemsAndHasNoSizeOrMaximize)
{
    WipeLauncherState();
    TestApp app;
    std::vector<MenuItem> items;
    std::thread user([&] {
        HWND main = nullptr;
        if (WaitUntil([&] { return (main = FindMainWindow(GetCurrentProcessId())) != nullptr; })) {
            Sync(main);
            items = SystemMenuItems(main);
            ClickButton(main, IDC_EXIT);
        }
    });
    {
        CLauncherDlg dlg(nullptr);
        app.m_app.m_pMainWnd = &dlg;
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
        app.m_app.m_pMainWnd = nullptr;
    }
    user.join();
    WipeLauncherState();

    std::vector<std::string> texts;
    std::set<UINT> ids;
    for (const MenuItem& item : items) {
        texts.push_back(item.separator ? "-" : std::to_string(item.id) + " " + item.text);
        ids.insert(item.id);
    }
    ASSERT_GE(texts.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(texts.end() - 4, texts.end()),
              (std::vector<std::string>{"-", std::to_string(IDM_CREATE_GROUP) + " " + FromUtf8(u8"Cobweldグループの作成(&G)"),
                                        "-", std::to_string(IDM_ABOUTBOX) + " " + FromUtf8(u8"CobWeldのバージョン情報(&A)...")}));
    EXPECT_EQ(ids.count(SC_SIZE) + ids.count(SC_MAXIMIZE), 0u);
    EXPECT_EQ(ids.count(SC_CLOSE), 1u);
}

} // namespace
