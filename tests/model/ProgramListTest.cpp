#include <gtest/gtest.h>
#include "model/ProgramList.h"
#include "framework/WinApp.h"
#include "../registry/RegTestUtil.h"
#include <cstring>
#include <random>
#include <string>

using namespace regtest;

namespace {

const char kInfo[] = "Software\\Varnolite\\Cobweld\\Info";

std::string EntryPath(int n)
{
    return std::string(kInfo) + "\\" + std::to_string(n);
}

void StoreEntry(int n, const char* title, int slot)
{
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, EntryPath(n).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &key, nullptr), ERROR_SUCCESS);
    SetString(key, "Title", title);
    SetDword(key, "iSave", static_cast<DWORD>(slot));
    ::RegCloseKey(key);
}

std::string StoredTitle(int n)
{
    HKEY key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, EntryPath(n).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "(none)";
    char title[100] = "";
    DWORD size = sizeof title;
    ::RegQueryValueExA(key, "Title", nullptr, nullptr, reinterpret_cast<BYTE*>(title), &size);
    ::RegCloseKey(key);
    return title;
}

std::string Titles(const CProgramList& list)
{
    std::string out;
    for (int i = 0; i < list.GetCount(); ++i)
        out += std::string(i ? "," : "") + list.GetAt(i)->m_szTitle;
    return out;
}

struct Named : CProgramEntry {
    explicit Named(const char* title, int slot = 0)
    {
        std::strcpy(m_szTitle, title);
        m_nSaveSlot = slot;
    }
};

// The launcher's store and profile, emptied before and after each test.
class Store : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean()
    {
        RemoveTree(HKEY_LOCAL_MACHINE, L"Software\\Varnolite\\Cobweld\\Info");
        RemoveTree(HKEY_LOCAL_MACHINE, L"Software\\Varnolite\\Cobweld\\Save");
        RemoveTree(HKEY_CURRENT_USER, L"Software\\Varnolite\\COBWELD");
    }
};

int RescanSlot(const CProgramList& list)
{
    int candidate = 1;
    for (int i = 0; i < list.GetCount(); ++i) {
        if (list.GetAt(i)->m_nSaveSlot == candidate) {
            ++candidate;
            i = -1;
        }
    }
    return candidate;
}

} // namespace

TEST_F(Store, LoadingEndsAtTheFirstMissingKey)
{
    StoreEntry(0, "zero", 1);
    StoreEntry(1, "one", 2);
    StoreEntry(3, "three", 3);
    {
        CProgramList list;
        EXPECT_EQ(Titles(list), "zero,one");
        EXPECT_EQ(list.m_bModified, 0);
        list.Replace(0, Named("ZERO", 1));
    }
    EXPECT_EQ(StoredTitle(0), "ZERO");
    EXPECT_EQ(StoredTitle(2), "(none)");
    EXPECT_EQ(StoredTitle(3), "three") << "a higher key is never read nor removed";
    CProgramList again;
    EXPECT_EQ(again.GetCount(), 2);
}

TEST_F(Store, EntryKeyWithoutSomeValuesLoadsWithInitialValues)
{
    StoreEntry(0, "partial", 4);
    CProgramList list;
    ASSERT_EQ(list.GetCount(), 1);
    CProgramEntry* entry = list.GetAt(0);
    EXPECT_EQ(entry->m_nSaveSlot, 4);
    EXPECT_EQ(entry->m_bRetrieveAgain, 0);
    EXPECT_STREQ(entry->m_szRegistry, "");
    EXPECT_EQ(entry->m_hCachedIcon, nullptr);
}

TEST_F(Store, UnmodifiedListWritesNothingEvenAfterMoves)
{
    StoreEntry(0, "a", 1);
    StoreEntry(1, "b", 2);
    {
        CProgramList list;
        EXPECT_TRUE(list.MoveDown(0));
        EXPECT_TRUE(list.MoveUp(1));
        EXPECT_TRUE(list.MoveDown(0));
        EXPECT_EQ(Titles(list), "b,a");
        EXPECT_EQ(list.m_bModified, 0);
        // Changed behind the list's back: an unmodified list must not overwrite it.
        StoreEntry(0, "edited elsewhere", 1);
    }
    EXPECT_EQ(StoredTitle(0), "edited elsewhere");
    EXPECT_EQ(StoredTitle(1), "b");
    HKEY key;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, EntryPath(1).c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(ReadRaw(key, L"CommandLine").rc, ERROR_FILE_NOT_FOUND);
    ::RegCloseKey(key);
}

TEST_F(Store, MoveFollowedByAChangeWritesTheNewOrderInFull)
{
    StoreEntry(0, "a", 1);
    StoreEntry(1, "b", 2);
    {
        CProgramList list;
        list.MoveUp(1);
        list.Add(Named("c", 3));
    }
    EXPECT_EQ(StoredTitle(0), "b");
    EXPECT_EQ(StoredTitle(1), "a");
    EXPECT_EQ(StoredTitle(2), "c");
    HKEY key;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, EntryPath(1).c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(ReadRaw(key, L"CommandLine").rc, ERROR_SUCCESS) << "all nine values are written";
    ::RegCloseKey(key);
    CProgramList again;
    EXPECT_EQ(Titles(again), "b,a,c");
    EXPECT_EQ(again.GetAt(0)->m_nSaveSlot, 2);
}

TEST_F(Store, RemovalsRenumberTheStoreAndLeaveTheStrayHigherKey)
{
    for (int i = 0; i < 5; ++i)
        StoreEntry(i, ("e" + std::to_string(i)).c_str(), i + 1);
    HKEY snapshot = CreateKey(HKEY_LOCAL_MACHINE, L"Software\\Varnolite\\Cobweld\\Save\\2\\Sub");
    ::RegCloseKey(snapshot);
    ::RegCloseKey(CreateKey(HKEY_LOCAL_MACHINE, L"Software\\Varnolite\\Cobweld\\Save\\4"));
    {
        CProgramList list;
        ASSERT_EQ(list.GetCount(), 5);
        CProgramEntry* kept = list.GetAt(2);
        list.RemoveAt(1);
        list.RemoveAt(2);
        EXPECT_EQ(Titles(list), "e0,e2,e4");
        EXPECT_EQ(list.GetAt(1), kept) << "entries never move in memory";
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Varnolite\\Cobweld\\Save\\2"));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Varnolite\\Cobweld\\Save\\4"));
        EXPECT_EQ(list.m_bModified, 1);
        list.RemoveAt(7); // out of range: ignored
        EXPECT_EQ(list.GetCount(), 3);
    }
    EXPECT_EQ(StoredTitle(0), "e0");
    EXPECT_EQ(StoredTitle(1), "e2");
    EXPECT_EQ(StoredTitle(2), "e4");
    EXPECT_EQ(StoredTitle(3), "(none)");
    EXPECT_EQ(StoredTitle(4), "e4") << "the stray key beyond the deleted one stays";
    CProgramList again;
    EXPECT_EQ(Titles(again), "e0,e2,e4");
}

TEST_F(Store, MovesAtTheEndsChangeNothing)
{
    StoreEntry(0, "a", 1);
    StoreEntry(1, "b", 2);
    CProgramList list;
    EXPECT_FALSE(list.MoveUp(0));
    EXPECT_FALSE(list.MoveDown(1));
    EXPECT_FALSE(list.MoveDown(-1));
    EXPECT_FALSE(list.MoveUp(2));
    EXPECT_EQ(Titles(list), "a,b");
}

TEST_F(Store, FirstFreeSnapshotSlotIsTheSmallestUnusedPositiveSlot)
{
    CProgramList list;
    EXPECT_EQ(list.FirstFreeSnapshotSlot(), 1);
    for (int slot : {1, 2, 4})
        list.Add(Named("s", slot));
    EXPECT_EQ(list.FirstFreeSnapshotSlot(), 3);
    list.RemoveAt(0);
    EXPECT_EQ(list.FirstFreeSnapshotSlot(), 1) << "slots {2, 4}";

    std::mt19937 random(12345);
    for (int round = 0; round < 200; ++round) {
        while (list.GetCount())
            list.RemoveAt(0);
        int count = static_cast<int>(random() % 12);
        for (int i = 0; i < count; ++i)
            list.Add(Named("r", static_cast<int>(random() % 16) - 2));
        ASSERT_EQ(list.FirstFreeSnapshotSlot(), RescanSlot(list)) << "round " << round;
    }
    list.m_bModified = 0;
}

TEST_F(Store, GroupStateFollowsTheInstalledProfileValue)
{
    {
        CProgramList list;
        EXPECT_EQ(list.m_nGroupState, GROUP_STATE_FIRST_RUN) << "no application object";
    }
    CWinApp app("COBWELD");
    app.SetRegistryKey("Varnolite");
    {
        CProgramList list;
        EXPECT_EQ(list.m_nGroupState, GROUP_STATE_FIRST_RUN) << "Installed missing";
    }
    ASSERT_TRUE(app.WriteProfileInt("Cobweld", "Installed", 0));
    {
        CProgramList list;
        EXPECT_EQ(list.m_nGroupState, GROUP_STATE_FIRST_RUN);
        list.MoveUp(0);
        EXPECT_EQ(list.m_nGroupState, GROUP_STATE_FIRST_RUN);
        list.Add(Named("first"));
        EXPECT_EQ(list.m_nGroupState, GROUP_STATE_CHANGED);
    }
    ASSERT_TRUE(app.WriteProfileInt("Cobweld", "Installed", 1));
    {
        CProgramList list;
        EXPECT_EQ(list.m_nGroupState, GROUP_STATE_NONE);
        EXPECT_EQ(list.GetCount(), 1);
        list.Add(Named("second"));
        EXPECT_TRUE(list.MoveDown(0));
        EXPECT_EQ(list.m_nGroupState, GROUP_STATE_CHANGED);
    }
    for (int change = 0; change < 2; ++change) {
        CProgramList list;
        ASSERT_EQ(list.m_nGroupState, GROUP_STATE_NONE);
        if (change == 0)
            list.Replace(0, Named("replaced"));
        else
            list.RemoveAt(0);
        EXPECT_EQ(list.m_nGroupState, GROUP_STATE_CHANGED) << change;
        EXPECT_EQ(list.m_bModified, 1) << change;
    }
}

TEST_F(Store, ReplaceCopiesIntoTheSameEntryAndReleasesItsOldIcon)
{
    StoreEntry(0, "old", 5);
    CProgramList list;
    CProgramEntry* entry = list.GetAt(0);
    std::strcpy(entry->m_szIconPath, "C:\\windows\\system32\\shell32.dll");
    ASSERT_TRUE(entry->EnsureIcon());
    HICON old = entry->m_hCachedIcon;

    Named source("new", 5);
    list.Replace(0, source);
    EXPECT_EQ(list.GetAt(0), entry);
    EXPECT_STREQ(entry->m_szTitle, "new");
    EXPECT_EQ(entry->m_hCachedIcon, nullptr);
    ICONINFO info;
    EXPECT_FALSE(::GetIconInfo(old, &info)) << "the old icon was destroyed";
    list.Replace(3, source); // out of range: ignored
    EXPECT_EQ(list.GetCount(), 1);

    CProgramEntry* added = list.Add(source);
    ASSERT_NE(added, nullptr);
    EXPECT_NE(added, &source);
    EXPECT_EQ(list.GetAt(1), added);
}
