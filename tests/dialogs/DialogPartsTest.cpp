// The parts of the entry dialog and the icon picker that the end-to-end tests
// cannot reach one case at a time, run on real controls in hidden windows.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>
#include <string>
#include <vector>
#include "framework/Text.h"
#include "tests/driver/Driver.h"
#include "ui/EntryDlg.h"
#include "ui/IconListBox.h"

using namespace driver;

namespace {

const std::string kShell32 = "C:\\windows\\system32\\shell32.dll";

// A control in a hidden window, for the dialogs' code to run on.
struct HiddenControl {
    HiddenControl(const char* cls, DWORD style)
        : parent(::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr)),
          control(::CreateWindowExA(0, cls, "", WS_CHILD | style, 0, 0, 300, 200, parent, nullptr, nullptr, nullptr)) {}
    ~HiddenControl() { ::DestroyWindow(parent); }
    HWND parent, control;
};

// The pixels of an icon's image; empty once the icon has been released.
std::vector<BYTE> IconPixels(HICON icon)
{
    ICONINFO info = {};
    BITMAP bitmap = {};
    if (!::GetIconInfo(icon, &info))
        return {};
    HBITMAP image = info.hbmColor ? info.hbmColor : info.hbmMask;
    ::GetObjectA(image, sizeof bitmap, &bitmap);
    std::vector<BYTE> pixels(static_cast<size_t>(bitmap.bmWidthBytes) * bitmap.bmHeight);
    ::GetBitmapBits(image, static_cast<LONG>(pixels.size()), pixels.data());
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    return pixels;
}

class EntryDlgCombo : public ::testing::Test {
protected:
    void SetUp() override { m_dialog.m_comboRegistry.Attach(m_host.control); }
    // Listed exactly, with case.
    bool Listed(const std::string& name) const
    {
        for (int i = 0; i < m_dialog.m_comboRegistry.GetCount(); ++i)
            if (m_dialog.m_comboRegistry.GetLBText(i) == name)
                return true;
        return false;
    }
    HiddenControl m_host{"COMBOBOX", CBS_SIMPLE | CBS_SORT | WS_VSCROLL};
    CEntryDlg m_dialog{nullptr, nullptr};
};

class IconList : public ::testing::Test {
protected:
    void SetUp() override { m_list.Attach(m_host.control); }
    void TearDown() override { m_list.ReleaseIcons(); }
    HICON Icon(int i) const { return static_cast<HICON>(m_list.GetItemDataPtr(i)); }
    HiddenControl m_host{"LISTBOX", LBS_OWNERDRAWFIXED | LBS_MULTICOLUMN | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_HSCROLL};
    CIconListBox m_list;
    CProgramEntry m_entry;
    const std::string m_ico = BinDir() + "cobweld_test.ico";
};

} // namespace

TEST(EntryDlg, EditModeWorksOnItsOwnIconCopyAndLeavesTheSourceIconAlive)
{
    CProgramEntry source;
    CopyField(source.m_szIconPath, sizeof source.m_szIconPath, kShell32.c_str());
    source.m_nIconIndex = 2;
    ASSERT_TRUE(source.EnsureIcon());
    {
        CEntryDlg dialog(nullptr, &source);
        EXPECT_NE(source.m_hCachedIcon, dialog.m_entry.m_hCachedIcon);
        EXPECT_FALSE(IconPixels(dialog.m_entry.m_hCachedIcon).empty());
    }
    EXPECT_FALSE(IconPixels(source.m_hCachedIcon).empty());
    source.ReleaseIcon();
}

TEST_F(EntryDlgCombo, ListsEveryTwoLevelNameUnderSoftwareExceptNamesTooLongForTheField)
{
    const std::string vendor = "CobweldTestDialogs", longVendor = vendor + std::string(200 - vendor.size(), 'V');
    auto clean = [&] {
        for (const std::string& v : {vendor, vendor + "Lonely", longVendor})
            DeleteTree(HKEY_CURRENT_USER, "Software\\" + v);
    };
    clean();
    for (std::string key : {vendor + "\\Tool", vendor + "\\ToolBox\\Deeper", vendor + "\\alpha", vendor + "Lonely",
                            longVendor + "\\Short"})
        ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, "Software\\" + key));
    // 200 + 1 + 200 bytes would be stored cut, naming another key. (Made
    // below its parent: the whole path is more than one call takes.)
    HKEY longKey;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyA(HKEY_CURRENT_USER, ("Software\\" + longVendor).c_str(), &longKey));
    EXPECT_TRUE(CreateKey(longKey, std::string(200, 'P')));
    ::RegCloseKey(longKey);

    EXPECT_TRUE(m_dialog.FillRegistryNameCombo());
    for (const std::string& name : {vendor + "\\Tool", vendor + "\\ToolBox", vendor + "\\alpha", longVendor + "\\Short"})
        EXPECT_TRUE(Listed(name)) << name;
    // Two levels only; a first-level key without subkeys adds nothing.
    for (const std::string& name : {vendor + "\\ToolBox\\Deeper", vendor + "Lonely", vendor,
                                    longVendor + "\\" + std::string(200, 'P')})
        EXPECT_FALSE(Listed(name)) << name;
    clean();
}

TEST_F(EntryDlgCombo, SelectsTheWholeNameIgnoringCaseNeverALongerOneAndElseShowsTheNameItself)
{
    for (const char* item : {"Acme\\ToolBox", "Acme\\Tool", "Other\\Thing"})
        m_dialog.m_comboRegistry.AddString(item);
    const struct { const char* name; const char* shown; bool selected; } cases[] = {
        {"acme\\tool", "Acme\\Tool", true},  // the list's letter case is what OK stores
        {"Acme\\Too", "Acme\\Too", false},
        {"Gone\\Vendor", "Gone\\Vendor", false},
    };
    for (const auto& c : cases) {
        m_dialog.m_comboRegistry.SetCurSel(-1);
        m_dialog.SelectRegistryName(c.name);
        EXPECT_EQ(c.selected, m_dialog.m_comboRegistry.GetCurSel() != CB_ERR) << c.name;
        EXPECT_EQ(c.shown, m_dialog.m_comboRegistry.GetWindowText()) << c.name;
    }
}

// The launcher's profile key is HKCU\Software\Varnolite\<application name>;
// only the name written exactly "Varnolite\Cobweld" is left out.
TEST_F(EntryDlgCombo, LeavesOutTheLauncherOwnKeyComparedWithCase)
{
    const std::string ownKey = "Software\\Varnolite\\Cobweld";
    DeleteTree(HKEY_CURRENT_USER, ownKey);
    ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, "Software\\Varnolite\\COBWELD"));
    ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, "Software\\Varnolite\\Other"));
    EXPECT_TRUE(m_dialog.FillRegistryNameCombo());
    EXPECT_TRUE(Listed("Varnolite\\COBWELD"));

    m_dialog.m_comboRegistry.SendMessage(CB_RESETCONTENT);
    DeleteTree(HKEY_CURRENT_USER, ownKey);
    ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, ownKey));
    EXPECT_TRUE(m_dialog.FillRegistryNameCombo());
    // Not under any letter case (the combo box compares without case).
    EXPECT_EQ(CB_ERR, m_dialog.m_comboRegistry.FindStringExact(-1, "Varnolite\\Cobweld"));
    EXPECT_TRUE(Listed("Varnolite\\Other"));
    DeleteTree(HKEY_CURRENT_USER, ownKey);
    DeleteTree(HKEY_CURRENT_USER, "Software\\Varnolite\\Other");
}

TEST_F(IconList, LibraryGivesOneCellPerIconInFileOrder)
{
    CopyField(m_entry.m_szIconPath, sizeof m_entry.m_szIconPath, kShell32.c_str());
    EXPECT_TRUE(m_list.FillIconList(&m_entry, nullptr));
    int fileIcons = static_cast<int>(::ExtractIconExA(kShell32.c_str(), -1, nullptr, nullptr, 0));
    ASSERT_GT(fileIcons, 2);
    ASSERT_EQ(fileIcons, m_list.GetCount());
    for (int index : {0, 1, 2, fileIcons - 1}) {
        HICON expected = ::ExtractIconA(::GetModuleHandleA(nullptr), kShell32.c_str(), index);
        EXPECT_EQ(IconPixels(expected), IconPixels(Icon(index))) << "icon " << index;
        ::DestroyIcon(expected);
    }
}

TEST_F(IconList, SelectsTheEntrysIconOnlyInItsOwnFileWrittenByteForByte)
{
    std::string upper = kShell32;
    ::CharUpperA(&upper[0]);
    ASSERT_NE(upper, kShell32);
    CopyField(m_entry.m_szIconPath, sizeof m_entry.m_szIconPath, kShell32.c_str());
    const struct { const std::string* path; int index; int selection; } cases[] = {
        {nullptr, 3, 3},      // the entry's own file
        {&kShell32, 3, 3},   // the same bytes
        {&upper, 3, 0},       // other letters: another name, first icon
        {nullptr, 100000, LB_ERR},
    };
    for (const auto& c : cases) {
        m_entry.m_nIconIndex = c.index;
        EXPECT_TRUE(m_list.FillIconList(&m_entry, c.path));
        EXPECT_EQ(c.selection, m_list.GetCurSel()) << (c.path ? *c.path : "own") << " " << c.index;
    }
}

TEST_F(IconList, RefillAndReleaseFreeTheIconsOfThePreviousFile)
{
    ASSERT_TRUE(m_list.FillIconList(&m_entry, &m_ico));
    HICON first = Icon(0);
    ASSERT_FALSE(IconPixels(first).empty());
    const std::string none;
    m_list.FillIconList(&m_entry, &none);
    EXPECT_TRUE(IconPixels(first).empty());

    ASSERT_TRUE(m_list.FillIconList(&m_entry, &m_ico));
    HICON second = Icon(0);
    m_list.ReleaseIcons();
    EXPECT_EQ(0, m_list.GetCount());
    EXPECT_TRUE(IconPixels(second).empty());
}

TEST_F(IconList, DrawItemHighlightsASelectedCellAndDrawsTheIconInside)
{
    ASSERT_TRUE(m_list.FillIconList(&m_entry, &m_ico));
    HDC dc = ::CreateCompatibleDC(nullptr);
    BITMAPINFO bits = {{sizeof(BITMAPINFOHEADER), 42, 42, 1, 32}};
    void* pixels = nullptr;
    HGDIOBJ old = ::SelectObject(dc, ::CreateDIBSection(dc, &bits, DIB_RGB_COLORS, &pixels, nullptr, 0));
    DRAWITEMSTRUCT draw = {ODT_LISTBOX, 0, 0, ODA_DRAWENTIRE, ODS_SELECTED, m_list, dc, {0, 0, 42, 42},
                           reinterpret_cast<ULONG_PTR>(Icon(0))};
    m_list.DrawItem(&draw);
    EXPECT_EQ(::GetSysColor(COLOR_HIGHLIGHT), ::GetPixel(dc, 1, 1));
    // The test icon is opaque: its pixels cover the cell from (5, 5).
    EXPECT_NE(::GetSysColor(COLOR_HIGHLIGHT), ::GetPixel(dc, 6, 6));
    ::DeleteObject(::SelectObject(dc, old));
    ::DeleteDC(dc);
}
