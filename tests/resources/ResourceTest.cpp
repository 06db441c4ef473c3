// The program's own resources, linked into this test: the texts must reach the
// program as Shift JIS bytes, the templates must build dialogs, the icon and
// version block must be what the shell shows, and the help must be readable.
#include <gtest/gtest.h>
#include <algorithm>
#include <string>
#include <utility>
#include <vector>
#include "framework/HelpWindow.h"
#include "framework/Text.h"
#include "resources/resource.h"

// Most texts are also read off the program's message boxes end to end; these
// are the ones easiest to get wrong in the resource file.
TEST(StringTable, TextsComeOutAsTheirShiftJisBytesWithTheirLeadingBlanks)
{
    ASSERT_EQ(932u, ::GetACP());
    // A leading blank is the only separator between an entry's title or key
    // name and the text appended to it.
    const std::pair<UINT, const char*> strings[] = {
        {IDS_WAITING_SUFFIX, u8" (待機中)"},
        {IDS_CONFIRM_REACQUIRE, u8" のレジストリを取得しなおししますか？"},
        {IDS_CONFIRM_DELETE, u8" を削除します。"},
        {IDS_ENUM_FAILED, u8"レジストリの列挙に失敗しました。"},
        {IDS_PROGRAM_FILTER, u8"ﾌﾟﾛｸﾞﾗﾑ|*.exe||"},  // half-width: one byte each
        {IDS_ICON_FILTER, u8"ｱｲｺﾝﾌｧｲﾙ|*.ico;*.exe;*.dll||"},
        {IDS_HELP_TITLE, u8"Cobweld ヘルプ"},
    };
    for (const auto& s : strings)
        EXPECT_EQ(FromUtf8(s.second), LoadStr(s.first)) << "string " << s.first;
}

namespace {
INT_PTR CALLBACK PlainDialogProc(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }
} // namespace

TEST(DialogTemplates, EachBuildsADialogWithItsJapaneseCaptionsAndTabOrder)
{
    struct Case {
        UINT dialog;
        const char* caption;
        std::vector<const char*> texts;  // among the controls' texts
        std::vector<int> order;          // controls with an id, in tab order
        int list;                        // its style: the bits needed, the bits refused
        DWORD need, refuse;
    };
    const Case cases[] = {
        {IDD_MAIN, u8"Cobweld", {u8"プログラム一覧(&L):", u8"起動", u8"ﾚｼﾞｽﾄﾘ再取得(&R)"},
         {IDC_PROGRAM_LIST, IDOK, ID_HELP, IDC_PROPERTIES, IDC_DELETE, IDC_NEW, IDC_UP, IDC_DOWN,
          IDC_EXIT, IDC_REACQUIRE},
         IDC_PROGRAM_LIST, LBS_OWNERDRAWFIXED, LBS_SORT | LBS_HASSTRINGS},  // rows carry entry pointers
        {IDD_ABOUTBOX, u8"Cobweld for WindowsNT バージョン情報",
         {u8"Cobweld for WindowsNT Version 1.0", u8"OK"}, {IDOK}, 0, 0, 0},
        {IDD_ENTRY, u8"プログラムの登録情報",
         {u8"実行時のﾃﾞｨﾚｸﾄﾘ(&W):", u8"終了した時レジストリ取得しなおし(&A)", u8"ｷｬﾝｾﾙ", u8"ﾍﾙﾌﾟ(&H)",
          u8"アイコン(&I)..."},
         {IDC_TITLE, IDC_COMMAND_LINE, IDC_DIRECTORY, IDC_RUN_MINIMIZED, IDC_REGISTRY_NAME,
          IDC_ICON_PREVIEW, IDC_RETRIEVE_AGAIN, IDOK, IDCANCEL, ID_HELP, IDC_BROWSE, IDC_CHANGE_ICON},
         IDC_REGISTRY_NAME, CBS_SORT, 0},
        {IDD_ICON, u8"アイコンの変更", {u8"ファイル名(&F):", u8"ｷｬﾝｾﾙ"},
         {IDC_ICON_FILE, IDC_ICON_LIST, IDOK, IDCANCEL, IDC_ICON_BROWSE, ID_HELP},
         IDC_ICON_LIST, LBS_OWNERDRAWFIXED | LBS_MULTICOLUMN, LBS_SORT | LBS_HASSTRINGS},
    };
    for (const Case& c : cases) {
        HWND dialog = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(c.dialog),
                                           nullptr, PlainDialogProc, 0);
        ASSERT_NE(nullptr, dialog) << c.dialog;
        char text[200] = "";
        ::GetWindowTextA(dialog, text, sizeof text);
        EXPECT_EQ(FromUtf8(c.caption), text) << c.dialog;
        std::vector<std::string> texts;
        std::vector<int> order;
        for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
            ::GetWindowTextA(child, text, sizeof text);
            texts.push_back(text);
            int id = ::GetDlgCtrlID(child);
            if (id != -1 && id != 0xFFFF)
                order.push_back(id);
        }
        for (const char* expected : c.texts)
            EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), FromUtf8(expected)))
                << c.dialog << ": " << expected;
        EXPECT_EQ(c.order, order) << c.dialog;
        DWORD style = c.list ? DWORD(::GetWindowLongA(::GetDlgItem(dialog, c.list), GWL_STYLE)) : 0;
        EXPECT_EQ(c.need, style & (c.need | c.refuse)) << c.dialog;
        ::DestroyWindow(dialog);
    }
}

TEST(ApplicationIcon, HasA32And16PixelImageOf16Colours)
{
    HMODULE module = ::GetModuleHandleA(nullptr);
    HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(IDR_MAINFRAME), reinterpret_cast<LPCSTR>(RT_GROUP_ICON));
    ASSERT_NE(nullptr, found);
    // The icon directory: a 6-byte header, then 14 bytes per image.
    const BYTE* dir = static_cast<const BYTE*>(::LockResource(::LoadResource(module, found)));
    std::vector<std::vector<int>> images;  // width, height, colours, bits per pixel
    for (const BYTE* e = dir + 6; e < dir + 6 + 14 * dir[4]; e += 14)
        images.push_back({e[0], e[1], e[2], e[6]});
    EXPECT_EQ((std::vector<std::vector<int>>{{32, 32, 16, 4}, {16, 16, 16, 4}}), images);
    EXPECT_NE(nullptr, ::LoadImageA(module, MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, 16, 16, 0));
}

TEST(VersionBlock, NamesTheProgramInJapaneseTranslation)
{
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, path, sizeof path);
    DWORD handle = 0, size = ::GetFileVersionInfoSizeA(path, &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(::GetFileVersionInfoA(path, 0, size, block.data()));
    const std::pair<const char*, const char*> strings[] = {
        {"FileVersion", "0, 1, 0, 0"}, {"ProductVersion", "0, 1, 0, 0"}, {"InternalName", "COBWELD"},
        {"OriginalFilename", "COBWELD.EXE"}, {"CompanyName", ""},
    };
    for (const auto& s : strings) {
        char* value = nullptr;
        UINT length = 0;
        std::string query = std::string("\\StringFileInfo\\041104e4\\") + s.first;
        ASSERT_TRUE(::VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
            << s.first;
        EXPECT_STREQ(s.second, value) << s.first;
    }
    WORD* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                                 &length));
    ASSERT_GE(length, 4u);
    EXPECT_EQ(0x411, translation[0]);
}

TEST(HelpWindow, ShowsTheHelpTextUnderItsTitleInAFontWithJapaneseGlyphs)
{
    HWND help = ShowHelpWindow(nullptr, nullptr);
    ASSERT_NE(nullptr, help);
    EXPECT_TRUE(::IsWindowVisible(help));
    char caption[100] = "";
    ::GetWindowTextA(help, caption, sizeof caption);
    EXPECT_EQ(FromUtf8(u8"Cobweld ヘルプ"), caption);

    HWND text = ::GetWindow(help, GW_CHILD);
    ASSERT_NE(nullptr, text);
    EXPECT_TRUE(::GetWindowLongW(text, GWL_STYLE) & ES_READONLY);
    std::string body(static_cast<size_t>(::GetWindowTextLengthA(text)) + 1, '\0');
    body.resize(static_cast<size_t>(::GetWindowTextA(text, &body[0], static_cast<int>(body.size()))));
    for (const char* part : {u8" (待機中)", u8"ﾚｼﾞｽﾄﾘ再取得"})
        EXPECT_NE(std::string::npos, body.find(FromUtf8(part))) << part;
    // Lines end with CR LF, or the edit would run them together.
    EXPECT_GT(::SendMessageW(text, EM_GETLINECOUNT, 0, 0), 20);
    // A glyph index of 0xFFFF means the font has no glyph for the character.
    HDC dc = ::GetDC(help);
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(text, WM_GETFONT, 0, 0)));
    WORD glyphs[6] = {};
    ::GetGlyphIndicesW(dc, L"ヘルプ待機中", 6, glyphs, GGI_MARK_NONEXISTING_GLYPHS);
    ::SelectObject(dc, old);
    ::ReleaseDC(help, dc);
    for (WORD glyph : glyphs)
        EXPECT_NE(0xFFFF, glyph);
    ::DestroyWindow(help);
}

TEST(HelpWindow, StaysUsableWhileItsOwnerRunsAModalDialogAndGoesWithIt)
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
    ::DestroyWindow(owner);
    EXPECT_FALSE(::IsWindow(help));
}
