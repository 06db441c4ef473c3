// The help window: the program's help text in a plain resizable window.
#include <gtest/gtest.h>
#include <string>
#include "framework/HelpWindow.h"
#include "framework/Text.h"
#include "resources/resource.h"

namespace {

void PumpMessages()
{
    MSG msg;
    for (int round = 0; round < 20; ++round) {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(10);
    }
}

std::wstring WindowTextW(HWND window)
{
    int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    ::GetWindowTextW(window, &text[0], length + 1);
    text.resize(static_cast<size_t>(length));
    return text;
}

std::wstring Wide(const char* utf8)
{
    int size = ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring text(static_cast<size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &text[0], size);
    text.resize(static_cast<size_t>(size) - 1);
    return text;
}

HWND TextOf(HWND help)
{
    return ::GetWindow(help, GW_CHILD);
}

} // namespace

TEST(HelpWindow, ShowsTheHelpTextUnderTheHelpTitle)
{
    HWND help = ShowHelpWindow(nullptr, nullptr);
    ASSERT_NE(nullptr, help);
    EXPECT_TRUE(::IsWindowVisible(help));
    EXPECT_TRUE(::GetWindowLongW(help, GWL_STYLE) & WS_THICKFRAME);
    // The caption is the string table's help title, in full (a Unicode window).
    EXPECT_EQ(FromUtf8(u8"Cobweld ヘルプ"), LoadStr(IDS_HELP_TITLE));
    EXPECT_EQ(Wide(u8"Cobweld ヘルプ"), WindowTextW(help));

    HWND text = TextOf(help);
    ASSERT_NE(nullptr, text);
    LONG style = ::GetWindowLongW(text, GWL_STYLE);
    EXPECT_TRUE(style & ES_READONLY);
    EXPECT_TRUE(style & ES_MULTILINE);
    std::wstring body = WindowTextW(text);
    EXPECT_NE(std::wstring::npos, body.find(Wide(u8" (待機中)")));
    EXPECT_NE(std::wstring::npos, body.find(Wide(u8"ﾚｼﾞｽﾄﾘ再取得")));
    // Lines end with CR LF, or the edit would run them together.
    EXPECT_NE(std::wstring::npos, body.find(L"\r\n"));
    EXPECT_EQ(std::wstring::npos, body.find(L"\n\n"));
    EXPECT_GT(::SendMessageW(text, EM_GETLINECOUNT, 0, 0), 20);
    ::DestroyWindow(help);
}

TEST(HelpWindow, UsesAFontWithJapaneseGlyphs)
{
    HWND help = ShowHelpWindow(nullptr, nullptr);
    ASSERT_NE(nullptr, help);
    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(TextOf(help), WM_GETFONT, 0, 0));
    ASSERT_NE(nullptr, font);
    HDC dc = ::GetDC(help);
    HGDIOBJ old = ::SelectObject(dc, font);
    // A glyph index of 0xFFFF means the font has no glyph for the character.
    const wchar_t sample[] = L"ヘルプ待機中";
    WORD glyphs[6] = {};
    ::GetGlyphIndicesW(dc, sample, 6, glyphs, GGI_MARK_NONEXISTING_GLYPHS);
    ::SelectObject(dc, old);
    ::ReleaseDC(help, dc);
    for (WORD glyph : glyphs)
        EXPECT_NE(0xFFFF, glyph);
    ::DestroyWindow(help);
}

TEST(HelpWindow, ASecondRequestReusesTheOpenWindow)
{
    HWND first = ShowHelpWindow(nullptr, nullptr);
    ASSERT_NE(nullptr, first);
    ::ShowWindow(first, SW_MINIMIZE);
    EXPECT_EQ(first, ShowHelpWindow(first, nullptr));
    EXPECT_FALSE(::IsIconic(first));
    ::DestroyWindow(first);
    // A closed window is not reused: a new one opens.
    HWND second = ShowHelpWindow(first, nullptr);
    ASSERT_NE(nullptr, second);
    EXPECT_TRUE(::IsWindow(second));
    ::DestroyWindow(second);
}

TEST(HelpWindow, EscapeClosesIt)
{
    HWND help = ShowHelpWindow(nullptr, nullptr);
    ASSERT_NE(nullptr, help);
    ::SendMessageW(TextOf(help), WM_KEYDOWN, VK_ESCAPE, 0);
    PumpMessages();
    EXPECT_FALSE(::IsWindow(help));
}

TEST(HelpWindow, CloseBoxClosesIt)
{
    HWND help = ShowHelpWindow(nullptr, nullptr);
    ASSERT_NE(nullptr, help);
    ::SendMessageW(help, WM_SYSCOMMAND, SC_CLOSE, 0);
    PumpMessages();
    EXPECT_FALSE(::IsWindow(help));
}

TEST(HelpWindow, StaysUsableWhileItsOwnerRunsAModalDialog)
{
    // The program's dialogs disable the main window while they run; the
    // help, owned by the main window, must not be disabled with it.
    HWND owner = ::CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                   0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, owner);
    HWND help = ShowHelpWindow(nullptr, owner);
    ASSERT_NE(nullptr, help);
    EXPECT_EQ(owner, ::GetWindow(help, GW_OWNER));
    ::EnableWindow(owner, FALSE);
    EXPECT_TRUE(::IsWindowEnabled(help));
    // Closing the owner takes the help with it.
    ::DestroyWindow(owner);
    EXPECT_FALSE(::IsWindow(help));
}
