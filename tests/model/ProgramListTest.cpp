#include <gtest/gtest.h>
#include "model/ProgramList.h"
#include "framework/WinApp.h"
#include "tests/driver/Driver.h"
#include <cstring>

using namespace driver;

namespace {

void WriteEntry(int n, const char* title, DWORD slot)
{
    StoreEntry entry;
    entry.title = title, entry.saveSlot = slot;
    ASSERT_TRUE(WriteStoreEntry(n, entry));
}

// The titles in store keys 0 to count - 1; "-" for a key without all nine values.
std::string StoredTitles(int count)
{
    std::string out;
    for (int n = 0; n < count; ++n) {
        StoreEntry entry;
        out += std::string(n ? "," : "") + (ReadStoreEntry(n, &entry) ? entry.title : "-");
    }
    return out;
}

std::string Titles(const CProgramList& list)
{
    std::string out;
    for (int i = 0; i < list.GetCount(); ++i)
        out += std::string(i ? "," : "") + list.GetAt(i)->m_szTitle;
    return out;
}

struct Named : CProgramEntry {
    explicit Named(const char* title, int slot = 0) { std::strcpy(m_szTitle, title), m_nSaveSlot = slot; }
};

// The launcher's store and profile, emptied before and after each test.
struct Store : ::testing::Test {
    Store() { WipeLauncherState(); }
    ~Store() override { WipeLauncherState(); }
};

} // namespace

TEST_F(Store, LoadingStopsAtTheFirstGapAndAChangeWritesTheWholeListBack)
{
    WriteEntry(0, "zero", 1);
    SetStringValue(HKEY_LOCAL_MACHINE, StoreEntryPath(1), "Title", "partial");
    SetDwordValue(HKEY_LOCAL_MACHINE, StoreEntryPath(1), "iSave", 4);
    WriteEntry(3, "three", 3);
    {
        CProgramList list;
        ASSERT_EQ(Titles(list), "zero,partial");
        EXPECT_EQ(list.GetAt(1)->m_nSaveSlot, 4);
        EXPECT_EQ(list.GetAt(1)->m_bRetrieveAgain, 0) << "a missing value keeps its initial value";
        EXPECT_EQ(list.m_bModified, 0);
        // Replace copies into the same entry and releases its old icon.
        CProgramEntry* zero = list.GetAt(0);
        std::strcpy(zero->m_szIconPath, "C:\\windows\\system32\\shell32.dll");
        ASSERT_TRUE(zero->EnsureIcon());
        const HICON old = zero->m_hCachedIcon;
        list.Replace(0, Named("ZERO", 1));
        list.Replace(2, Named("out of range"));
        EXPECT_TRUE(Titles(list) == "ZERO,partial" && list.GetAt(0) == zero && !zero->m_hCachedIcon);
        ICONINFO info;
        EXPECT_FALSE(::GetIconInfo(old, &info)) << "the old icon was destroyed";
    }
    // All nine values written back; the key beyond the gap neither read nor removed.
    EXPECT_EQ(StoredTitles(4), "ZERO,partial,-,three");
}

// Moves alone are not written (the store keeps what was changed elsewhere);
// a move followed by a change writes the whole list in its new order.
TEST_F(Store, MovesAreWrittenOnlyTogetherWithAChange)
{
    WriteEntry(0, "a", 1);
    WriteEntry(1, "b", 2);
    {
        CProgramList list;
        EXPECT_TRUE(list.MoveDown(0) && Titles(list) == "b,a");
        EXPECT_EQ(list.m_bModified, 0);
        WriteEntry(0, "edited", 1);
    }
    EXPECT_EQ(StoredTitles(2), "edited,b");
    {
        CProgramList list;
        EXPECT_TRUE(list.MoveUp(1));
        list.Add(Named("c", 3));
    }
    CProgramList again;
    EXPECT_EQ(Titles(again), "b,edited,c");
    EXPECT_EQ(again.GetAt(0)->m_nSaveSlot, 2);
}

TEST_F(Store, RemovalsDiscardTheirSnapshotsRenumberTheStoreAndLeaveTheStrayHigherKey)
{
    for (int i = 0; i < 5; ++i)
        WriteEntry(i, ("e" + std::to_string(i)).c_str(), i + 1);
    for (const std::string& path : {SnapshotPath(2) + "\\Sub", SnapshotPath(3), SnapshotPath(4)})
        CreateKey(HKEY_LOCAL_MACHINE, path);
    {
        CProgramList list;
        ASSERT_EQ(list.GetCount(), 5);
        const CProgramEntry* kept = list.GetAt(2);
        list.RemoveAt(1);
        list.RemoveAt(2);
        list.RemoveAt(7); // out of range: ignored
        EXPECT_EQ(Titles(list), "e0,e2,e4");
        EXPECT_EQ(list.GetAt(1), kept) << "entries never move in memory";
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, SnapshotPath(2)));
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, SnapshotPath(3)));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, SnapshotPath(4)));
    }
    EXPECT_EQ(StoredTitles(5), "e0,e2,e4,-,e4") << "the stray key beyond the removed one stays";
    EXPECT_EQ(Titles(CProgramList()), "e0,e2,e4");
}

TEST_F(Store, FirstFreeSnapshotSlotIsTheSmallestUnusedPositiveSlot)
{
    const std::pair<std::vector<int>, int> cases[] = {
        {{}, 1}, {{1, 2, 4}, 3}, {{2, 4}, 1}, {{-1, 0, 2}, 1}, {{3, 1, 2}, 4}, {{5, 4, 3, 2, 1, 1}, 6}};
    for (const auto& c : cases) {
        CProgramList list;
        for (int slot : c.first)
            list.Add(Named("s", slot));
        EXPECT_EQ(list.FirstFreeSnapshotSlot(), c.second) << ::testing::PrintToString(c.first);
        list.m_bModified = 0;
    }
}

TEST_F(Store, GroupStateFollowsTheInstalledProfileValueAndEveryChange)
{
    auto stateAfter = [](void (*change)(CProgramList&)) {
        CProgramList list;
        change(list);
        return list.m_nGroupState;
    };
    const auto nothing = [](CProgramList&) {};
    EXPECT_EQ(stateAfter(nothing), GROUP_STATE_FIRST_RUN) << "no application object";
    CWinApp app("COBWELD");
    app.SetRegistryKey("Varnolite");
    EXPECT_EQ(stateAfter(nothing), GROUP_STATE_FIRST_RUN) << "Installed missing";
    ASSERT_TRUE(app.WriteProfileInt("Cobweld", "Installed", 0));
    EXPECT_EQ(stateAfter([](CProgramList& l) { l.Add(Named("a")), l.Add(Named("b")); }), GROUP_STATE_CHANGED);
    ASSERT_TRUE(app.WriteProfileInt("Cobweld", "Installed", 1));
    EXPECT_EQ(stateAfter(nothing), GROUP_STATE_NONE);
    EXPECT_EQ(stateAfter([](CProgramList& l) { l.Replace(0, Named("c")); }), GROUP_STATE_CHANGED);
    EXPECT_EQ(stateAfter([](CProgramList& l) { l.RemoveAt(0); }), GROUP_STATE_CHANGED);
}
