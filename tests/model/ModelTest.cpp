// Entries and the entry list against the store in Wine's registry.
#include <gtest/gtest.h>
#include <cstring>
#include "framework/Text.h"
#include "model/ProgramList.h"
#include "tests/driver/Driver.h"

using namespace driver;

namespace {

std::string Fields(const CProgramEntry& e)
{
    return FieldText(e.m_szTitle) + "|" + FieldText(e.m_szCommandLine) + "|" + FieldText(e.m_szDirectory) + "|" +
           FieldText(e.m_szIconPath) + "|" + FieldText(e.m_szRegistry) + "|" + std::to_string(e.m_nIconIndex) +
           std::to_string(e.m_bRunMinimized) + std::to_string(e.m_nSaveSlot) + std::to_string(e.m_bRetrieveAgain);
}

struct Model : ::testing::Test {
    Model() { WipeLauncherState(); }
    ~Model() override { WipeLauncherState(); }
};

} // namespace

// The nine values as other tools read them. A value that is missing or does
// not fit its field leaves the field as it was; a field without its NUL
// (fields are public) is cut, never inside a double-byte character.
TEST_F(Model, AnEntryStoresItsNineValuesAndLoadsBackOnlyWhatFitsItsFields)
{
    CProgramEntry entry, loaded;
    CopyField(entry.m_szTitle, FromUtf8(u8"メモ帳") + std::string(93, 'T')); // 99 bytes
    CopyField(entry.m_szCommandLine, "C:\\windows\\notepad.exe");
    CopyField(entry.m_szRegistry, "Vendor\\Product");
    entry.m_nIconIndex = 3, entry.m_bRunMinimized = entry.m_bRetrieveAgain = 1, entry.m_nSaveSlot = 12;
    Key key(HKEY_LOCAL_MACHINE, Widen(EntryPath(0)));
    HKEY readOnly = nullptr;
    ::RegOpenKeyExA(key, "", 0, KEY_QUERY_VALUE, &readOnly);
    EXPECT_FALSE(entry.SaveToKey(readOnly)); // a list whose write fails is never stored as if whole
    ::RegCloseKey(readOnly);
    EXPECT_TRUE(entry.SaveToKey(key));
    WriteStoreEntry(1, {entry.m_szTitle, entry.m_szCommandLine, "", "", entry.m_szRegistry, 1, 12, 3, 1});
    EXPECT_EQ(Dump(key, ""), Dump(HKEY_LOCAL_MACHINE, EntryPath(1)));
    loaded.LoadFromKey(key);
    EXPECT_EQ(Fields(loaded), Fields(entry));
    auto setText = [&](const char* name, const std::string& bytes) {
        ::RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)bytes.data(), DWORD(bytes.size()));
    };
    setText("Title", std::string(100, 't') + '\0'); // one byte too many, NUL included
    setText("Directory", std::string(260, 'd'));     // no NUL
    setText("CommandLine", std::string(5000, 'c'));
    setText("IconPath", std::string("C:\\icons.dll", 13) + std::string(3000, 'x')); // its text fits
    SetDword(key, "", "Registry", 5);
    SetValue(key, "", L"iSave", REG_BINARY, "\1\2", 2);
    SetString(key, "", "IconIndex", "7");
    SetValue(key, "", L"Icon", REG_QWORD, "\5\0\0\0\0\0\0\0", 8);
    ::RegDeleteValueA(key, "RetrieveAgain");
    loaded.LoadFromKey(key);
    CopyField(entry.m_szIconPath, "C:\\icons.dll");
    EXPECT_EQ(Fields(loaded), Fields(entry));
    std::memset(entry.m_szIconPath, 'p', sizeof entry.m_szIconPath);
    for (size_t i = 0; i < sizeof entry.m_szTitle; i += 2)
        std::memcpy(entry.m_szTitle + i, FromUtf8(u8"漢").c_str(), 2);
    loaded.CopyFrom(entry);
    entry.SaveToKey(key);
    EXPECT_EQ(std::string(loaded.m_szIconPath) + std::to_string(std::strlen(loaded.m_szTitle)), std::string(259, 'p') + "98");
    EXPECT_EQ(GetString(key, "", "Title"), loaded.m_szTitle);
    // Settings paths count only with the slot they were written with: a
    // rewrite that knows none of them leaves them behind another entry's.
    loaded.m_settingsPaths = {L"%APPDATA%\\Caf\u00e9", L"app.ini"};
    loaded.m_nSaveSlot = 4;
    ASSERT_TRUE(loaded.SaveToKey(key));
    CProgramEntry other;
    other.LoadFromKey(key);
    EXPECT_TRUE(other.m_settingsPaths == loaded.m_settingsPaths);
    SetDword(key, "", "iSave", 5);
    other.LoadFromKey(key);
    EXPECT_TRUE(other.m_settingsPaths.empty());
}

// The stored list ends at the first missing key; keys beyond it are never
// read and never removed. Every change is stored at once. A free slot is one
// that no entry names, however high, and that nothing in the store holds:
// here the entries' slots 1 and 4 have no snapshot, and leftovers fill 2
// and 3.
TEST_F(Model, TheListLoadsUpToTheFirstGapStoresEveryChangeAtOnceAndGivesOutFreeSlotsOnly)
{
    WriteStoreEntry(0, {"zero", "", "", "", "", 0, 1});
    SetString(HKEY_LOCAL_MACHINE, EntryPath(1), "Title", "partial");
    SetDword(HKEY_LOCAL_MACHINE, EntryPath(1), "iSave", 4);
    WriteStoreEntry(3, {"beyond", "", "", "", "", 0, 3});
    SetString(HKEY_LOCAL_MACHINE, SnapshotPath(2) + ".old", "x", "1");
    SetString(HKEY_LOCAL_MACHINE, SnapshotPath(3), "x", "1");
    CProgramList list;
    ASSERT_EQ(list.GetCount(), 2);
    EXPECT_EQ(list.GetAt(1)->m_bRetrieveAgain, 0); // missing: the initial value
    EXPECT_EQ(list.FirstFreeSnapshotSlot(), 5);
    EXPECT_FALSE(list.MoveUp(0) || list.MoveDown(1));
    list.RemoveAt(0);
    CProgramEntry added;
    CopyField(added.m_szTitle, "added");
    added.m_nSaveSlot = list.FirstFreeSnapshotSlot();
    list.Add(added);
    CopyField(added.m_szTitle, "renamed");
    added.m_nSaveSlot = 4;
    list.Replace(0, added);
    EXPECT_EQ(list.GetAt(1)->m_nSaveSlot, 1);
    EXPECT_EQ(StoredTitles(), (std::vector<std::string>{"renamed", "added"}));
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, EntryPath(3), "Title"), "beyond");
}
