// The main window and its rows inside the test's own process, for what Wine
// does not show to other processes (menus) and for the row drawing itself.
#include <gtest/gtest.h>
#include <cstring>
#include <thread>
#include "framework/Text.h"
#include "framework/WinApp.h"
#include "resources/resource.h"
#include "tests/driver/Driver.h"
#include "ui/LauncherDlg.h"
#include "ui/ProgramListBox.h"

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
    bool found = false;
    std::thread user([&] {
        HWND main = nullptr;
        found = WaitUntil([&] { return (main = FindMainWindow(GetCurrentProcessId())) != nullptr; });
        if (!found)
            return;
        Sync(main);
        items = SystemMenuItems(main);
        ClickButton(main, IDC_EXIT);
    });
    {
        CLauncherDlg dlg(nullptr);
        app.m_app.m_pMainWnd = &dlg;
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
        app.m_app.m_pMainWnd = nullptr;
    }
    user.join();
    WipeLauncherState();

    ASSERT_TRUE(found);
    ASSERT_GE(items.size(), 4u);
    for (const MenuItem& item : items) {
        EXPECT_NE(item.id, static_cast<UINT>(SC_SIZE));
        EXPECT_NE(item.id, static_cast<UINT>(SC_MAXIMIZE));
    }
    size_t n = items.size();
    EXPECT_TRUE(items[n - 4].separator);
    EXPECT_EQ(items[n - 3].id, static_cast<UINT>(IDM_CREATE_GROUP));
    EXPECT_EQ(items[n - 3].text, FromUtf8(u8"Cobweldグループの作成(&G)"));
    EXPECT_TRUE(items[n - 2].separator);
    EXPECT_EQ(items[n - 1].id, static_cast<UINT>(IDM_ABOUTBOX));
    EXPECT_EQ(items[n - 1].text, FromUtf8(u8"CobWeldのバージョン情報(&A)..."));
    // Close, move and minimize stay.
    bool hasClose = false;
    for (const MenuItem& item : items)
        hasClose = hasClose || item.id == SC_CLOSE;
    EXPECT_TRUE(hasClose);
}

// A row drawn into a bitmap of its own.
class RowCanvas {
public:
    static constexpr int kWidth = 200;
    static constexpr DWORD kUntouched = 0x00FF00FF; // magenta, as the DIB stores it

    RowCanvas() : m_height(GetSystemMetrics(SM_CYICON))
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = kWidth;
        info.bmiHeader.biHeight = -m_height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        m_dc = CreateCompatibleDC(nullptr);
        m_bitmap = CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&m_bits), nullptr, 0);
        m_old = SelectObject(m_dc, m_bitmap);
        for (int i = 0; i < kWidth * m_height; ++i)
            m_bits[i] = kUntouched;
    }
    ~RowCanvas()
    {
        SelectObject(m_dc, m_old);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }

    void Draw(CProgramEntry* entry, int itemId, UINT state)
    {
        DRAWITEMSTRUCT item = {};
        item.CtlType = ODT_LISTBOX;
        item.CtlID = IDC_PROGRAM_LIST;
        item.itemID = static_cast<UINT>(itemId);
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = state;
        item.hDC = m_dc;
        item.rcItem = {0, 0, kWidth, m_height};
        item.itemData = reinterpret_cast<ULONG_PTR>(entry);
        CProgramListBox list;
        list.DrawItem(&item);
        GdiFlush();
    }

    DWORD At(int x, int y) const { return m_bits[y * kWidth + x] & 0xFFFFFF; }
    int Height() const { return m_height; }
    bool AllUntouched() const
    {
        for (int i = 0; i < kWidth * m_height; ++i) {
            if ((m_bits[i] & 0xFFFFFF) != kUntouched)
                return false;
        }
        return true;
    }

private:
    int m_height;
    HDC m_dc;
    HBITMAP m_bitmap;
    HGDIOBJ m_old;
    DWORD* m_bits = nullptr;
};

// GetSysColor gives 0x00BBGGRR, a 32-bit DIB holds 0x00RRGGBB.
DWORD DibColor(int sysColor)
{
    COLORREF c = GetSysColor(sysColor);
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

class RowDrawing : public ::testing::Test {
protected:
    void SetUp() override
    {
        CopyField(entry.m_szTitle, sizeof entry.m_szTitle, FromUtf8(u8"メモ帳").c_str());
        CopyField(entry.m_szIconPath, sizeof entry.m_szIconPath, "C:\\windows\\notepad.exe");
    }
    void TearDown() override { entry.ReleaseIcon(); }

    TestApp app;
    CProgramEntry entry;
    RowCanvas canvas;
};

TEST_F(RowDrawing, SelectedRowFillsOnlyTheTextAreaWithTheHighlightColour)
{
    canvas.Draw(&entry, 0, ODS_SELECTED);
    int iconWidth = GetSystemMetrics(SM_CXICON);
    EXPECT_EQ(canvas.At(RowCanvas::kWidth - 1, 0), DibColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(canvas.At(iconWidth, canvas.Height() - 1), DibColor(COLOR_HIGHLIGHT));
    // The icon column keeps its background where the icon is transparent,
    // and shows the icon elsewhere.
    EXPECT_EQ(canvas.At(0, 0), RowCanvas::kUntouched);
    bool iconDrawn = false;
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < iconWidth; ++x)
            iconDrawn = iconDrawn || canvas.At(x, y) != RowCanvas::kUntouched;
    EXPECT_TRUE(iconDrawn);
    EXPECT_TRUE(entry.m_hCachedIcon);
}

TEST_F(RowDrawing, UnselectedRowUsesTheWindowColourAndDrawsTheTitle)
{
    canvas.Draw(&entry, 0, 0);
    int iconWidth = GetSystemMetrics(SM_CXICON);
    EXPECT_EQ(canvas.At(RowCanvas::kWidth - 1, 0), DibColor(COLOR_WINDOW));
    bool textDrawn = false;
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = iconWidth; x < iconWidth + 60; ++x)
            textDrawn = textDrawn || canvas.At(x, y) != DibColor(COLOR_WINDOW);
    EXPECT_TRUE(textDrawn);
}

TEST_F(RowDrawing, FocusedRowGetsAFocusRectangleAroundTheTextArea)
{
    canvas.Draw(&entry, 0, 0);
    // The top edge, right of the title: plain background without the focus.
    int x0 = RowCanvas::kWidth - 40;
    for (int x = x0; x < RowCanvas::kWidth; ++x)
        ASSERT_EQ(canvas.At(x, 0), DibColor(COLOR_WINDOW));

    canvas.Draw(&entry, 0, ODS_FOCUS);
    bool dotted = false;
    for (int x = x0; x < RowCanvas::kWidth; ++x)
        dotted = dotted || canvas.At(x, 0) != DibColor(COLOR_WINDOW);
    EXPECT_TRUE(dotted);
}

TEST_F(RowDrawing, NegativeRowOfAnEmptyListDrawsNothing)
{
    canvas.Draw(nullptr, -1, ODS_FOCUS);
    EXPECT_TRUE(canvas.AllUntouched());
}

TEST_F(RowDrawing, EntryWithoutAnIconGetsTextOnlyAndIsTriedAgainNextTime)
{
    CopyField(entry.m_szIconPath, sizeof entry.m_szIconPath, "C:\\windows\\win.ini");
    canvas.Draw(&entry, 0, ODS_SELECTED);
    EXPECT_EQ(canvas.At(0, 0), RowCanvas::kUntouched);
    EXPECT_EQ(canvas.At(GetSystemMetrics(SM_CXICON) / 2, canvas.Height() / 2), RowCanvas::kUntouched);
    EXPECT_EQ(canvas.At(RowCanvas::kWidth - 1, 0), DibColor(COLOR_HIGHLIGHT));
    EXPECT_FALSE(entry.m_hCachedIcon);
}

} // namespace
