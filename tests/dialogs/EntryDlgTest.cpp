#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>
#include "framework/Text.h"
#include "ui/EntryDlg.h"
#include "TestWindows.h"

namespace {

const DWORD kComboStyle = CBS_SIMPLE | CBS_SORT | WS_VSCROLL;
const char kTestVendor[] = "CobweldTestDialogs";

// Creates the key one level at a time, so that long names stay within what
// a single call accepts.
bool CreateUserKey(const std::string& path)
{
    HKEY parent = HKEY_CURRENT_USER;
    size_t start = 0;
    bool ok = true;
    while (ok && start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        std::string part = path.substr(start, end - start);
        HKEY key;
        ok = ::RegCreateKeyExA(parent, part.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                               nullptr) == ERROR_SUCCESS;
        if (parent != HKEY_CURRENT_USER)
            ::RegCloseKey(parent);
        parent = ok ? key : HKEY_CURRENT_USER;
        start = end + 1;
    }
    if (parent != HKEY_CURRENT_USER)
        ::RegCloseKey(parent);
    return ok;
}

void DeleteUserTree(const std::string& path)
{
    ::RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
    ::RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
}

// The names a two-level walk of HKCU\Software\<vendor> finds, as enumerated.
std::vector<std::string> SubkeyNames(const std::string& path)
{
    std::vector<std::string> names;
    HKEY key;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    char name[512];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof name;
        if (::RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.push_back(name);
    }
    ::RegCloseKey(key);
    return names;
}

class EntryDlgComboTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(m_host.Get(), nullptr);
        m_dialog.m_comboRegistry.Attach(m_host.Get());
    }

    std::vector<std::string> Items() const
    {
        std::vector<std::string> items;
        for (int i = 0; i < m_dialog.m_comboRegistry.GetCount(); ++i)
            items.push_back(m_dialog.m_comboRegistry.GetLBText(i));
        return items;
    }
    bool Listed(const std::string& name) const
    {
        std::vector<std::string> items = Items();
        return std::find(items.begin(), items.end(), name) != items.end();
    }

    HiddenControl m_host{"COMBOBOX", kComboStyle};
    CEntryDlg m_dialog{nullptr, nullptr};
};

} // namespace

TEST(EntryDlg, NewModeStartsWithoutIconOrSlotAndWithRetrieveAgain)
{
    CEntryDlg dialog(nullptr, nullptr);
    EXPECT_EQ(dialog.m_bNewEntry, 1);
    EXPECT_STREQ(dialog.m_entry.m_szIconPath, "");
    EXPECT_EQ(dialog.m_entry.m_nIconIndex, 0);
    EXPECT_EQ(dialog.m_entry.m_nSaveSlot, 0);
    EXPECT_EQ(dialog.m_entry.m_hCachedIcon, nullptr);
    EXPECT_EQ(dialog.m_entry.m_bRetrieveAgain, 1);
}

TEST(EntryDlg, EditModeWorksOnItsOwnCopyAndLeavesTheSourceIconAlive)
{
    CProgramEntry source;
    CopyField(source.m_szTitle, sizeof source.m_szTitle, "Editor");
    CopyField(source.m_szRegistry, sizeof source.m_szRegistry, "Acme\\Editor");
    CopyField(source.m_szIconPath, sizeof source.m_szIconPath, SystemFile("shell32.dll").c_str());
    source.m_nIconIndex = 2;
    source.m_nSaveSlot = 7;
    ASSERT_TRUE(source.EnsureIcon());
    HICON sourceIcon = source.m_hCachedIcon;
    {
        CEntryDlg dialog(nullptr, &source);
        EXPECT_EQ(dialog.m_bNewEntry, 0);
        EXPECT_STREQ(dialog.m_entry.m_szTitle, "Editor");
        EXPECT_STREQ(dialog.m_entry.m_szRegistry, "Acme\\Editor");
        EXPECT_EQ(dialog.m_entry.m_nIconIndex, 2);
        EXPECT_EQ(dialog.m_entry.m_nSaveSlot, 7);
        EXPECT_NE(dialog.m_entry.m_hCachedIcon, sourceIcon);
    }
    // The dialog released its own duplicate, never the source's icon.
    ICONINFO info = {};
    ASSERT_TRUE(::GetIconInfo(sourceIcon, &info));
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    source.ReleaseIcon();
}

TEST_F(EntryDlgComboTest, ListsEveryTwoLevelNameUnderSoftwareInSortedOrder)
{
    std::string vendor = std::string("Software\\") + kTestVendor;
    std::string lonely = vendor + "Lonely";
    ASSERT_TRUE(CreateUserKey(vendor + "\\Tool"));
    ASSERT_TRUE(CreateUserKey(vendor + "\\ToolBox\\Deeper"));
    ASSERT_TRUE(CreateUserKey(vendor + "\\alpha"));
    ASSERT_TRUE(CreateUserKey(lonely));

    EXPECT_TRUE(m_dialog.FillRegistryNameCombo());
    std::string prefix = std::string(kTestVendor) + "\\";
    EXPECT_TRUE(Listed(prefix + "Tool"));
    EXPECT_TRUE(Listed(prefix + "ToolBox"));
    EXPECT_TRUE(Listed(prefix + "alpha"));
    // Only two levels, and a first-level key without subkeys adds nothing.
    EXPECT_FALSE(Listed(prefix + "ToolBox\\Deeper"));
    EXPECT_FALSE(Listed(std::string(kTestVendor) + "Lonely"));
    EXPECT_FALSE(Listed(kTestVendor));

    std::vector<std::string> items = Items();
    for (size_t i = 1; i < items.size(); ++i) {
        EXPECT_NE(::CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, items[i - 1].c_str(), -1,
                                   items[i].c_str(), -1), CSTR_GREATER_THAN)
            << items[i - 1] << " before " << items[i];
    }

    DeleteUserTree(vendor);
    DeleteUserTree(lonely);
}

TEST_F(EntryDlgComboTest, NameLongerThanTheFieldIsNotOfferedAndTheWalkGoesOn)
{
    // 200 + 1 + 200 bytes would be stored cut, naming another key.
    std::string longVendor = std::string("Software\\") + kTestVendor + std::string(200 - sizeof kTestVendor + 1, 'V');
    std::string product(200, 'P');
    ASSERT_TRUE(CreateUserKey(longVendor + "\\" + product));
    ASSERT_TRUE(CreateUserKey(longVendor + "\\Short"));

    EXPECT_TRUE(m_dialog.FillRegistryNameCombo());
    std::string shown = longVendor.substr(std::strlen("Software\\"));
    EXPECT_TRUE(Listed(shown + "\\Short"));
    for (const std::string& item : Items())
        EXPECT_LT(item.size(), 260u) << item;

    DeleteUserTree(longVendor);
}

TEST_F(EntryDlgComboTest, SelectsTheNameIgnoringCaseEvenWhenALongerOneBeginsWithIt)
{
    m_dialog.m_comboRegistry.AddString("Acme\\ToolBox");
    m_dialog.m_comboRegistry.AddString("Acme\\Tool");
    m_dialog.m_comboRegistry.AddString("Other\\Thing");

    m_dialog.SelectRegistryName("acme\\tool");
    int selected = m_dialog.m_comboRegistry.GetCurSel();
    ASSERT_NE(selected, CB_ERR);
    EXPECT_EQ(m_dialog.m_comboRegistry.GetLBText(selected), "Acme\\Tool");
    // The list's letter case shows, and is what OK stores.
    EXPECT_EQ(m_dialog.m_comboRegistry.GetWindowText(), "Acme\\Tool");
}

TEST_F(EntryDlgComboTest, SelectsNothingWhenOnlyALongerNameBeginsWithTheEntrysName)
{
    m_dialog.m_comboRegistry.AddString("Acme\\ToolBox");
    m_dialog.m_comboRegistry.AddString("Acme\\Tool");
    m_dialog.SelectRegistryName("Acme\\Too");
    EXPECT_EQ(m_dialog.m_comboRegistry.GetCurSel(), CB_ERR);
    EXPECT_EQ(m_dialog.m_comboRegistry.GetWindowText(), "Acme\\Too");
}

TEST_F(EntryDlgComboTest, UnlistedNameBecomesTheComboText)
{
    m_dialog.m_comboRegistry.AddString("Acme\\Tool");
    m_dialog.SelectRegistryName("Gone\\Vendor");
    EXPECT_EQ(m_dialog.m_comboRegistry.GetCurSel(), CB_ERR);
    EXPECT_EQ(m_dialog.m_comboRegistry.GetWindowText(), "Gone\\Vendor");
}

// The launcher's profile key is HKCU\Software\Varnolite\<application name>;
// only the name written exactly "Varnolite\Cobweld" is left out.
TEST_F(EntryDlgComboTest, LeavesOutTheLauncherOwnKeyComparedWithCase)
{
    const std::string ownKey = "Software\\Varnolite\\Cobweld";
    DeleteUserTree(ownKey);
    ASSERT_TRUE(CreateUserKey("Software\\Varnolite\\COBWELD"));
    ASSERT_TRUE(CreateUserKey("Software\\Varnolite\\Other"));
    EXPECT_TRUE(m_dialog.FillRegistryNameCombo());
    EXPECT_TRUE(Listed("Varnolite\\COBWELD"));
    EXPECT_TRUE(Listed("Varnolite\\Other"));

    m_dialog.m_comboRegistry.SendMessage(CB_RESETCONTENT);
    DeleteUserTree(ownKey);
    ASSERT_TRUE(CreateUserKey(ownKey));
    std::vector<std::string> names = SubkeyNames("Software\\Varnolite");
    ASSERT_NE(std::find(names.begin(), names.end(), "Cobweld"), names.end());
    EXPECT_TRUE(m_dialog.FillRegistryNameCombo());
    EXPECT_FALSE(Listed("Varnolite\\Cobweld"));
    EXPECT_TRUE(Listed("Varnolite\\Other"));

    DeleteUserTree(ownKey);
    DeleteUserTree("Software\\Varnolite\\Other");
}
