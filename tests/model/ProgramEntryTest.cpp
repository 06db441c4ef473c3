#include <gtest/gtest.h>
#include "model/ProgramEntry.h"
#include "framework/Text.h"
#include "../registry/RegTestUtil.h"

using namespace regtest;

namespace {

const char kShell32[] = "C:\\windows\\system32\\shell32.dll";

template <size_t N> std::string Text(const char (&field)[N]) { return std::string(field, strnlen(field, N)); }

// Every field but the icon, read within its capacity.
std::string Fields(const CProgramEntry& e)
{
    return Text(e.m_szTitle) + "|" + Text(e.m_szCommandLine) + "|" + Text(e.m_szDirectory) + "|" +
           Text(e.m_szIconPath) + "|" + Text(e.m_szRegistry) + "|" + std::to_string(e.m_nIconIndex) + "|" +
           std::to_string(e.m_bRunMinimized) + "|" + std::to_string(e.m_nSaveSlot) + "|" +
           std::to_string(e.m_bRetrieveAgain);
}

// Each value's name, type and size in ANSI bytes, in the registry's order.
std::string Listing(HKEY key)
{
    std::string out;
    char name[64];
    DWORD length, type, size;
    for (DWORD i = 0; length = sizeof name, !::RegEnumValueA(key, i, name, &length, 0, &type, 0, &size); ++i)
        out += std::string(name) + " " + std::to_string(type) + " " + std::to_string(size) + ",";
    return out;
}

// A private key; the entry store is left to the list's tests. No field of
// m_entry is at its initial value, and its title fills the field.
class EntryKey : public ::testing::Test {
protected:
    EntryKey()
    {
        std::strcpy(m_entry.m_szTitle, (FromUtf8(u8"メモ帳") + std::string(93, 'T')).c_str()); // 99 bytes
        std::strcpy(m_entry.m_szCommandLine, "C:\\windows\\notepad.exe");
        std::strcpy(m_entry.m_szDirectory, "C:\\windows");
        std::strcpy(m_entry.m_szIconPath, kShell32);
        std::strcpy(m_entry.m_szRegistry, "Vendor\\Product");
        m_entry.m_nIconIndex = 3;
        m_entry.m_bRunMinimized = m_entry.m_bRetrieveAgain = 1;
        m_entry.m_nSaveSlot = 12;
    }
    ~EntryKey() override { RemoveTree(HKEY_CURRENT_USER, L"Software\\CobweldTest\\Entry"); }
    const bool m_leftoversRemoved = (RemoveTree(HKEY_CURRENT_USER, L"Software\\CobweldTest\\Entry"), true);
    Key m_key{HKEY_CURRENT_USER, L"Software\\CobweldTest\\Entry"};
    CProgramEntry m_entry;
};

} // namespace

// Value names, types and sizes as other tools read them. A missing value, or
// one that does not fit its field, leaves the field as it was.
TEST_F(EntryKey, SavesTheNineValuesAndLoadsBackOnlyThoseThatFitTheirFields)
{
    m_entry.SaveToKey(m_key);
    EXPECT_EQ(Listing(m_key), "CommandLine 1 23,Directory 1 11,Icon 4 4,IconIndex 4 4,IconPath 1 32,iSave 4 4,"
                              "Registry 1 15,RetrieveAgain 4 4,Title 1 100,");
    CProgramEntry loaded;
    loaded.LoadFromKey(m_key);
    EXPECT_EQ(Fields(loaded), Fields(m_entry));
    SetString(m_key, "Title", std::string(100, 't')); // one byte too many with the NUL
    ::RegSetValueExA(m_key, "Directory", 0, REG_SZ, (const BYTE*)std::string(260, 'd').data(), 260); // no NUL
    SetString(m_key, "CommandLine", std::string(5000, 'c'));
    const std::string early = std::string("C:\\icons.dll", 13) + std::string(3000, 'x'); // fits: the text ends early
    ::RegSetValueExA(m_key, "IconPath", 0, REG_SZ, (const BYTE*)early.data(), (DWORD)early.size());
    // Of another type or size, or missing.
    SetDword(m_key, "Registry", 5);
    ::RegSetValueExA(m_key, "iSave", 0, REG_BINARY, (const BYTE*)"\1\2", 2);
    ::RegSetValueExA(m_key, "IconIndex", 0, REG_SZ, (const BYTE*)"7", 2);
    ::RegSetValueExA(m_key, "Icon", 0, REG_QWORD, (const BYTE*)"\5\0\0\0\0\0\0\0", 8);
    ::RegDeleteValueA(m_key, "RetrieveAgain");
    loaded.LoadFromKey(m_key);
    std::strcpy(m_entry.m_szIconPath, "C:\\icons.dll");
    EXPECT_EQ(Fields(loaded), Fields(m_entry));
}

// Fields are public: one may lack its terminator. Nothing reads past it, and
// what is written or copied is cut without splitting a double-byte character.
TEST_F(EntryKey, FieldsWithoutTerminatorAreCutWhenSavedOrCopied)
{
    CProgramEntry entry;
    std::memset(entry.m_szIconPath, 'p', sizeof entry.m_szIconPath);
    for (size_t i = 0; i < sizeof entry.m_szTitle; i += 2)
        std::memcpy(entry.m_szTitle + i, FromUtf8(u8"漢").c_str(), 2);
    entry.SaveToKey(m_key);
    // 259 bytes and the NUL; 98 bytes of whole characters and the NUL.
    EXPECT_EQ(Listing(m_key), "CommandLine 1 1,Directory 1 1,Icon 4 4,IconIndex 4 4,IconPath 1 260,iSave 4 4,"
                              "Registry 1 1,RetrieveAgain 4 4,Title 1 99,");
    CProgramEntry copy;
    copy.CopyFrom(entry);
    EXPECT_EQ(std::string(copy.m_szIconPath), std::string(259, 'p'));
    EXPECT_EQ(std::strlen(copy.m_szTitle), 98u);
    EXPECT_FALSE(entry.EnsureIcon()) << "an icon path without its NUL is not handed to the shell";
}

// ExtractIconA answers 1 for a file that is no program, library or icon file,
// and 0 for an index beyond the file's icons: neither is an icon to keep.
TEST(EntryIcon, OnlyARealIconIsCachedOnceAndEveryCopyOwnsItsOwnHandle)
{
    CProgramEntry entry, copy;
    for (const auto& icon : {std::make_pair("C:\\windows\\win.ini", 0), std::make_pair(kShell32, 100000)}) {
        std::strcpy(entry.m_szIconPath, icon.first);
        entry.m_nIconIndex = icon.second;
        EXPECT_FALSE(entry.EnsureIcon()) << icon.first;
        EXPECT_EQ(entry.m_hCachedIcon, nullptr) << icon.first;
    }
    entry.m_nIconIndex = 0;
    ASSERT_TRUE(entry.EnsureIcon());
    const HICON cached = entry.m_hCachedIcon;
    EXPECT_TRUE(entry.EnsureIcon());
    EXPECT_EQ(entry.m_hCachedIcon, cached) << "a cached icon is not extracted again";
    copy.CopyFrom(entry);
    const HICON copied = copy.m_hCachedIcon;
    EXPECT_TRUE(copied && copied != cached);
    copy.CopyFrom(CProgramEntry());
    ICONINFO info;
    EXPECT_FALSE(copy.m_hCachedIcon || ::GetIconInfo(copied, &info)) << "a copy without an icon releases the old";
    entry.ReleaseIcon();
}
