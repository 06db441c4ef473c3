#include <gtest/gtest.h>
#include "model/ProgramEntry.h"
#include "framework/Text.h"
#include "../registry/RegTestUtil.h"
#include <cstring>
#include <fstream>

using namespace regtest;

namespace {

// Entries are saved to and loaded from a private key here; the entry store
// itself is left to the list's tests.
class EntryKey : public ::testing::Test {
protected:
    void SetUp() override
    {
        RemoveTree(HKEY_CURRENT_USER, L"Software\\CobweldTest\\Entry");
        m_key = CreateKey(HKEY_CURRENT_USER, L"Software\\CobweldTest\\Entry");
        ASSERT_NE(m_key, nullptr);
    }
    void TearDown() override
    {
        ::RegCloseKey(m_key);
        RemoveTree(HKEY_CURRENT_USER, L"Software\\CobweldTest\\Entry");
    }
    HKEY m_key = nullptr;
};

void Fill(CProgramEntry& entry)
{
    std::strcpy(entry.m_szTitle, FromUtf8(u8"メモ帳").c_str());
    std::strcpy(entry.m_szCommandLine, "C:\\windows\\notepad.exe");
    std::strcpy(entry.m_szDirectory, "C:\\windows");
    std::strcpy(entry.m_szIconPath, "C:\\windows\\system32\\shell32.dll");
    entry.m_nIconIndex = 3;
    entry.m_bRunMinimized = 1;
    std::strcpy(entry.m_szRegistry, "Vendor\\Product");
    entry.m_nSaveSlot = 12;
    entry.m_bRetrieveAgain = 1;
}

} // namespace

TEST_F(EntryKey, SavesTheNineValuesWithTheirTypesAndSizes)
{
    CProgramEntry entry;
    Fill(entry);
    entry.SaveToKey(m_key);

    struct Expected {
        const char* name;
        DWORD type, size;
    };
    const Expected values[] = {{"Title", REG_SZ, 7}, {"CommandLine", REG_SZ, 23}, {"Directory", REG_SZ, 11},
                               {"Icon", REG_DWORD, 4}, {"Registry", REG_SZ, 15}, {"iSave", REG_DWORD, 4},
                               {"IconPath", REG_SZ, 32}, {"IconIndex", REG_DWORD, 4}, {"RetrieveAgain", REG_DWORD, 4}};
    for (const Expected& value : values) {
        DWORD type = 0, size = 0;
        ASSERT_EQ(::RegQueryValueExA(m_key, value.name, nullptr, &type, nullptr, &size), ERROR_SUCCESS) << value.name;
        EXPECT_EQ(type, value.type) << value.name;
        EXPECT_EQ(size, value.size) << value.name;
    }
    DWORD count = 0;
    ::RegQueryInfoKeyA(m_key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(count, 9u);

    CProgramEntry loaded;
    loaded.LoadFromKey(m_key);
    EXPECT_STREQ(loaded.m_szTitle, entry.m_szTitle);
    EXPECT_STREQ(loaded.m_szCommandLine, entry.m_szCommandLine);
    EXPECT_STREQ(loaded.m_szDirectory, entry.m_szDirectory);
    EXPECT_STREQ(loaded.m_szIconPath, entry.m_szIconPath);
    EXPECT_STREQ(loaded.m_szRegistry, entry.m_szRegistry);
    EXPECT_EQ(loaded.m_nIconIndex, 3);
    EXPECT_EQ(loaded.m_bRunMinimized, 1);
    EXPECT_EQ(loaded.m_nSaveSlot, 12);
    EXPECT_EQ(loaded.m_bRetrieveAgain, 1);
    EXPECT_EQ(loaded.m_hCachedIcon, nullptr);
}

TEST_F(EntryKey, TitleOfNinetyNineBytesIsStoredAsOneHundredAndReadBackWhole)
{
    CProgramEntry entry;
    std::memset(entry.m_szTitle, 'T', 99);
    entry.SaveToKey(m_key);
    EXPECT_EQ(ReadRaw(m_key, L"Title").data.size(), 200u) << "100 ANSI bytes, stored as UTF-16";
    DWORD size = 0;
    ::RegQueryValueExA(m_key, "Title", nullptr, nullptr, nullptr, &size);
    EXPECT_EQ(size, 100u);
    CProgramEntry loaded;
    loaded.LoadFromKey(m_key);
    EXPECT_EQ(std::strlen(loaded.m_szTitle), 99u);
}

TEST_F(EntryKey, MissingValuesLeaveTheirFieldsAsTheyWere)
{
    SetString(m_key, "Title", "Only a title");
    CProgramEntry entry;
    Fill(entry);
    entry.LoadFromKey(m_key);
    EXPECT_STREQ(entry.m_szTitle, "Only a title");
    EXPECT_STREQ(entry.m_szRegistry, "Vendor\\Product");
    EXPECT_EQ(entry.m_bRetrieveAgain, 1);
    EXPECT_EQ(entry.m_nSaveSlot, 12);
}

TEST_F(EntryKey, ValuesThatDoNotFitTheirFieldsLeaveThemAsTheyWere)
{
    SetString(m_key, "Title", std::string(100, 't').c_str());
    // Filling the field with no terminator at all.
    ::RegSetValueExA(m_key, "Directory", 0, REG_SZ, (const BYTE*)std::string(260, 'd').data(), 260);
    // Far beyond any buffer.
    SetString(m_key, "CommandLine", std::string(5000, 'c').c_str());
    // Long data whose text ends early fits.
    std::string early = "C:\\icons.dll" + std::string(1, '\0') + std::string(3000, 'x');
    ::RegSetValueExA(m_key, "IconPath", 0, REG_SZ, (const BYTE*)early.data(), (DWORD)early.size());
    // Of another type or size.
    SetDword(m_key, "Registry", 5);
    ::RegSetValueExA(m_key, "iSave", 0, REG_BINARY, (const BYTE*)"\1\2", 2);
    ::RegSetValueExA(m_key, "IconIndex", 0, REG_SZ, (const BYTE*)"7", 2);
    ::RegSetValueExA(m_key, "Icon", 0, REG_QWORD, (const BYTE*)"\1\0\0\0\0\0\0\0", 8);

    CProgramEntry entry;
    Fill(entry);
    std::string title = entry.m_szTitle;
    entry.LoadFromKey(m_key);

    EXPECT_EQ(entry.m_szTitle, title);
    EXPECT_STREQ(entry.m_szDirectory, "C:\\windows");
    EXPECT_STREQ(entry.m_szCommandLine, "C:\\windows\\notepad.exe");
    EXPECT_STREQ(entry.m_szIconPath, "C:\\icons.dll");
    EXPECT_STREQ(entry.m_szRegistry, "Vendor\\Product");
    EXPECT_EQ(entry.m_nSaveSlot, 12);
    EXPECT_EQ(entry.m_nIconIndex, 3);
    EXPECT_EQ(entry.m_bRunMinimized, 1);
}

// Fields are public: one may lack its terminator. Nothing reads past it, and
// what is written or copied is cut without splitting a double-byte character.
TEST_F(EntryKey, FieldsWithoutTerminatorAreCutWhenSavedOrCopied)
{
    CProgramEntry entry;
    std::memset(entry.m_szIconPath, 'p', sizeof entry.m_szIconPath);
    std::string kanji = FromUtf8(u8"漢");
    ASSERT_EQ(kanji.size(), 2u);
    for (size_t i = 0; i < sizeof entry.m_szTitle; i += 2)
        std::memcpy(entry.m_szTitle + i, kanji.data(), 2);

    entry.SaveToKey(m_key);
    DWORD size = 0;
    ::RegQueryValueExA(m_key, "IconPath", nullptr, nullptr, nullptr, &size);
    EXPECT_EQ(size, 260u);
    ::RegQueryValueExA(m_key, "Title", nullptr, nullptr, nullptr, &size);
    EXPECT_EQ(size, 99u) << "98 bytes of whole characters and the NUL";

    CProgramEntry copy;
    copy.CopyFrom(entry);
    EXPECT_EQ(std::string(copy.m_szIconPath), std::string(259, 'p'));
    EXPECT_EQ(std::strlen(copy.m_szTitle), 98u);
    EXPECT_FALSE(copy.EnsureIcon());
    EXPECT_FALSE(entry.EnsureIcon()) << "an icon path without its NUL is not handed to the shell";
}

TEST(EntryIcon, PlainTextFileGivesNoIconAndCachesNothing)
{
    char path[MAX_PATH];
    ::GetTempPathA(sizeof path, path);
    std::strcat(path, "cobweld_entry_icon.txt");
    std::ofstream(path) << "not an icon\n";
    CProgramEntry entry;
    std::strcpy(entry.m_szIconPath, path);
    EXPECT_FALSE(entry.EnsureIcon());
    EXPECT_EQ(entry.m_hCachedIcon, nullptr);
    EXPECT_FALSE(entry.EnsureIcon());
    EXPECT_EQ(entry.m_hCachedIcon, nullptr);
    ::DeleteFileA(path);

    std::strcpy(entry.m_szIconPath, "C:\\windows\\system32\\shell32.dll");
    entry.m_nIconIndex = 100000;
    EXPECT_FALSE(entry.EnsureIcon());
    EXPECT_EQ(entry.m_hCachedIcon, nullptr);
}

TEST(EntryIcon, LibraryIconIsCachedAndEveryCopyHasItsOwnHandle)
{
    CProgramEntry entry;
    std::strcpy(entry.m_szIconPath, "C:\\windows\\system32\\shell32.dll");
    entry.m_nIconIndex = 0;
    ASSERT_TRUE(entry.EnsureIcon());
    HICON cached = entry.m_hCachedIcon;
    ASSERT_NE(cached, nullptr);
    EXPECT_TRUE(entry.EnsureIcon());
    EXPECT_EQ(entry.m_hCachedIcon, cached) << "a cached icon is not extracted again";

    CProgramEntry copy;
    copy.CopyFrom(entry);
    ASSERT_NE(copy.m_hCachedIcon, nullptr);
    EXPECT_NE(copy.m_hCachedIcon, cached);

    entry.ReleaseIcon();
    EXPECT_EQ(entry.m_hCachedIcon, nullptr);
    ICONINFO info = {};
    ASSERT_TRUE(::GetIconInfo(copy.m_hCachedIcon, &info)) << "the copy's icon outlives the original's";
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);

    // Copying an entry without an icon releases the destination's own.
    copy.CopyFrom(entry);
    EXPECT_EQ(copy.m_hCachedIcon, nullptr);
    copy.CopyFrom(copy);
    EXPECT_STREQ(copy.m_szIconPath, "C:\\windows\\system32\\shell32.dll");
}
