#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>
#include <cstdio>
#include <cstring>
#include <vector>
#include "framework/Text.h"
#include "ui/IconListBox.h"
#include "TestWindows.h"

namespace {

const DWORD kIconListStyle = LBS_OWNERDRAWFIXED | LBS_MULTICOLUMN | LBS_NOTIFY |
                             LBS_NOINTEGRALHEIGHT | WS_HSCROLL;

// The pixels of an icon's colour image, to tell icons apart.
std::vector<BYTE> IconPixels(HICON icon)
{
    ICONINFO info = {};
    if (!::GetIconInfo(icon, &info))
        return {};
    std::vector<BYTE> pixels;
    BITMAP bitmap = {};
    HBITMAP image = info.hbmColor ? info.hbmColor : info.hbmMask;
    if (::GetObjectA(image, sizeof bitmap, &bitmap)) {
        pixels.resize(static_cast<size_t>(bitmap.bmWidthBytes) * bitmap.bmHeight);
        ::GetBitmapBits(image, static_cast<LONG>(pixels.size()), pixels.data());
    }
    if (info.hbmColor)
        ::DeleteObject(info.hbmColor);
    if (info.hbmMask)
        ::DeleteObject(info.hbmMask);
    return pixels;
}

bool IsLiveIcon(HICON icon)
{
    ICONINFO info = {};
    if (!::GetIconInfo(icon, &info))
        return false;
    if (info.hbmColor)
        ::DeleteObject(info.hbmColor);
    if (info.hbmMask)
        ::DeleteObject(info.hbmMask);
    return true;
}

class IconListBoxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(m_host.Get(), nullptr);
        m_list.Attach(m_host.Get());
        m_shell32 = SystemFile("shell32.dll");
    }
    void TearDown() override { m_list.ReleaseIcons(); }

    std::vector<HICON> Icons() const
    {
        std::vector<HICON> icons;
        for (int i = 0; i < m_list.GetCount(); ++i)
            icons.push_back(static_cast<HICON>(m_list.GetItemDataPtr(i)));
        return icons;
    }

    HiddenControl m_host{"LISTBOX", kIconListStyle};
    CIconListBox m_list;
    CProgramEntry m_entry;
    std::string m_shell32;
};

} // namespace

TEST_F(IconListBoxTest, LibraryGivesOneCellPerIconInFileOrder)
{
    CopyField(m_entry.m_szIconPath, sizeof m_entry.m_szIconPath, m_shell32.c_str());
    EXPECT_TRUE(m_list.FillIconList(&m_entry, nullptr));

    UINT fileIcons = ::ExtractIconExA(m_shell32.c_str(), -1, nullptr, nullptr, 0);
    ASSERT_GT(fileIcons, 2u);
    ASSERT_EQ(static_cast<UINT>(m_list.GetCount()), fileIcons);

    std::vector<HICON> icons = Icons();
    for (int index : {0, 1, 2, static_cast<int>(fileIcons) - 1}) {
        HICON expected = ::ExtractIconA(::GetModuleHandleA(nullptr), m_shell32.c_str(), index);
        ASSERT_NE(expected, nullptr);
        EXPECT_EQ(IconPixels(icons[index]), IconPixels(expected)) << "icon " << index;
        ::DestroyIcon(expected);
    }
}

TEST_F(IconListBoxTest, IconFileGivesOneCell)
{
    std::string ico = TestBinDir() + "cobweld_test.ico";
    EXPECT_TRUE(m_list.FillIconList(&m_entry, &ico));
    EXPECT_EQ(m_list.GetCount(), 1);
    EXPECT_EQ(m_list.GetCurSel(), 0);
}

TEST_F(IconListBoxTest, SelectsTheEntrysIndexOnlyForItsOwnFileWrittenByteForByte)
{
    CopyField(m_entry.m_szIconPath, sizeof m_entry.m_szIconPath, m_shell32.c_str());
    m_entry.m_nIconIndex = 3;

    m_list.FillIconList(&m_entry, nullptr);
    EXPECT_EQ(m_list.GetCurSel(), 3);

    std::string same = m_shell32;
    m_list.FillIconList(&m_entry, &same);
    EXPECT_EQ(m_list.GetCurSel(), 3);

    // The same file in other letters is another name: first icon.
    std::string upper = m_shell32;
    for (char& c : upper)
        c = static_cast<char>(::toupper(static_cast<unsigned char>(c)));
    ASSERT_NE(upper, m_shell32);
    EXPECT_TRUE(m_list.FillIconList(&m_entry, &upper));
    EXPECT_EQ(m_list.GetCurSel(), 0);
}

TEST_F(IconListBoxTest, IndexBeyondTheFilesIconsLeavesNothingSelected)
{
    CopyField(m_entry.m_szIconPath, sizeof m_entry.m_szIconPath, m_shell32.c_str());
    m_entry.m_nIconIndex = 100000;
    EXPECT_TRUE(m_list.FillIconList(&m_entry, nullptr));
    EXPECT_GT(m_list.GetCount(), 0);
    EXPECT_EQ(m_list.GetCurSel(), LB_ERR);
}

TEST_F(IconListBoxTest, TextFileMissingFileAndEmptyNameGiveAnEmptyList)
{
    char tempDir[MAX_PATH] = "";
    ::GetTempPathA(sizeof tempDir, tempDir);
    std::string text = std::string(tempDir) + "cobweld_dialogs_plain.txt";
    FILE* file = std::fopen(text.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("no icons here\n", file);
    std::fclose(file);

    std::string missing = std::string(tempDir) + "cobweld_dialogs_missing.dll";
    std::string empty;
    for (const std::string* path : {&text, &missing, &empty}) {
        EXPECT_FALSE(m_list.FillIconList(&m_entry, path)) << *path;
        EXPECT_EQ(m_list.GetCount(), 0) << *path;
        EXPECT_EQ(m_list.GetCurSel(), LB_ERR) << *path;
    }
    ::DeleteFileA(text.c_str());
}

TEST_F(IconListBoxTest, RefillAndReleaseFreeTheIconsOfThePreviousFile)
{
    std::string ico = TestBinDir() + "cobweld_test.ico";
    ASSERT_TRUE(m_list.FillIconList(&m_entry, &ico));
    std::vector<HICON> first = Icons();
    ASSERT_EQ(first.size(), 1u);
    ASSERT_TRUE(IsLiveIcon(first[0]));

    std::string none;
    m_list.FillIconList(&m_entry, &none);
    EXPECT_FALSE(IsLiveIcon(first[0]));

    ASSERT_TRUE(m_list.FillIconList(&m_entry, &ico));
    std::vector<HICON> second = Icons();
    m_list.ReleaseIcons();
    EXPECT_EQ(m_list.GetCount(), 0);
    EXPECT_FALSE(IsLiveIcon(second[0]));
}

TEST_F(IconListBoxTest, DrawItemFillsTheCellByItsStateAndDrawsTheIconInside)
{
    std::string ico = TestBinDir() + "cobweld_test.ico";
    ASSERT_TRUE(m_list.FillIconList(&m_entry, &ico));

    const int cell = 42;
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, cell, cell);
    ::ReleaseDC(nullptr, screen);
    HGDIOBJ old = ::SelectObject(dc, bitmap);

    DRAWITEMSTRUCT draw = {};
    draw.CtlType = ODT_LISTBOX;
    draw.itemID = 0;
    draw.itemAction = ODA_DRAWENTIRE;
    draw.hwndItem = m_list;
    draw.hDC = dc;
    draw.rcItem = {0, 0, cell, cell};
    draw.itemData = reinterpret_cast<ULONG_PTR>(m_list.GetItemDataPtr(0));

    draw.itemState = ODS_SELECTED;
    m_list.DrawItem(&draw);
    EXPECT_EQ(::GetPixel(dc, 1, 1), ::GetSysColor(COLOR_HIGHLIGHT));
    // The test icon is opaque: its pixels cover the cell from (5, 5).
    EXPECT_NE(::GetPixel(dc, 6, 6), ::GetSysColor(COLOR_HIGHLIGHT));

    draw.itemState = 0;
    m_list.DrawItem(&draw);
    EXPECT_EQ(::GetPixel(dc, 1, 1), ::GetSysColor(COLOR_WINDOW));

    // An empty list being focused asks for item -1: nothing is drawn.
    RECT all = {0, 0, cell, cell};
    HBRUSH marker = ::CreateSolidBrush(RGB(1, 2, 3));
    ::FillRect(dc, &all, marker);
    ::DeleteObject(marker);
    draw.itemID = static_cast<UINT>(-1);
    draw.itemData = 0;
    draw.itemState = ODS_FOCUS;
    m_list.DrawItem(&draw);
    EXPECT_EQ(::GetPixel(dc, 1, 1), RGB(1, 2, 3));

    ::SelectObject(dc, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
}
