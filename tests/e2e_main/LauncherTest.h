// The fixture of the tests that drive the real COBWELD.EXE from outside: a
// clean store and profile around each test (not a first run, so the close
// shows no group notice) and the test's own settings key removed.
#pragma once
#include <gtest/gtest.h>
#include "framework/Text.h"
#include "resources/resource.h"
#include "tests/driver/Driver.h"

// The colour on screen at a point of a window's client area.
inline COLORREF ScreenPixel(HWND window, int x, int y)
{
    POINT point = {x, y};
    ClientToScreen(window, &point);
    HDC screen = GetDC(nullptr);
    COLORREF color = GetPixel(screen, point.x, point.y);
    ReleaseDC(nullptr, screen);
    return color;
}

class LauncherTest : public ::testing::Test {
protected:
    explicit LauncherTest(const char* settingsKey) : m_settingsKey(settingsKey) {}
    void SetUp() override
    {
        TearDown();
        ASSERT_TRUE(driver::WriteProfileInt("Installed", 1));
    }
    void TearDown() override
    {
        launcher.Kill();
        driver::WipeLauncherState();
        driver::DeleteTree(HKEY_CURRENT_USER, m_settingsKey);
    }

    HWND Start(const std::string& arguments = "")
    {
        return launcher.StartLauncher(arguments) ? launcher.WaitMainWindow() : nullptr;
    }

    // Clicks a button that opens a dialog; the dialog once it shows.
    HWND Open(HWND window, int button, const std::string& caption)
    {
        driver::ClickButton(window, button);
        return driver::WaitDialog(launcher.Id(), caption);
    }

    // The list has the focus (again, once a dialog has gone).
    static bool ListFocused(HWND main)
    {
        return driver::WaitUntil([&] { return driver::FocusOf(main) == GetDlgItem(main, IDC_PROGRAM_LIST); });
    }

    // Clicks a button whose handler asks first; the question's box.
    HWND Ask(HWND window, int button)
    {
        driver::ClickButton(window, button);
        return driver::WaitMessageBox(launcher.Id());
    }

    static void ExpectBox(HWND box, const std::string& caption, const std::string& text,
                          const std::vector<int>& buttons, int icon)
    {
        ASSERT_TRUE(box);
        driver::MessageBoxContent content = driver::ReadMessageBox(box);
        EXPECT_EQ(content.caption + " | " + content.text, caption + " | " + text);
        EXPECT_EQ(content.buttons, buttons);
        EXPECT_EQ(content.icon, icon);
    }

    // Exit; a question whether to update an existing group is answered No.
    bool Close(HWND main)
    {
        driver::ClickButton(main, IDC_EXIT);
        HWND box = nullptr;
        driver::WaitUntil([&] { return !launcher.Running() || (box = driver::FindMessageBox(launcher.Id())) != nullptr; });
        if (box) {
            EXPECT_EQ(driver::ReadMessageBox(box).text, FromUtf8(u8"プログラムマネージャのCobweldグループを更新しますか？"));
            driver::AnswerMessageBox(box, IDNO);
        }
        return launcher.WaitExit();
    }

    driver::Process launcher;
    const char* m_settingsKey;
};
