#include <gtest/gtest.h>
#include "model/ProgramEntry.h"
#include "RegTestUtil.h"

using namespace regtest;

namespace {

const std::wstring kTestRoot = L"Software\\CobweldTest\\Snapshot", kSettings = kTestRoot + L"\\App";
const std::wstring kSave = L"Software\\Varnolite\\Cobweld\\Save\\";

class Snapshot : public ::testing::Test {
protected:
    Snapshot()
    {
        Clean();
        std::strcpy(m_entry.m_szRegistry, "CobweldTest\\Snapshot\\App");
        m_entry.m_nSaveSlot = 901;
    }
    ~Snapshot() override { Clean(); }
    static void Clean()
    {
        g_bRegistryRenameDisabled = false;
        RemoveTree(HKEY_CURRENT_USER, kTestRoot);
        for (const wchar_t* slot : {L"901", L"902", L"901.new", L"902.new"})
            RemoveTree(HKEY_LOCAL_MACHINE, kSave + slot);
    }
    // The settings: two values, a subkey with a class and a grandchild.
    static void WriteSettings(const char* marker)
    {
        Key key(HKEY_CURRENT_USER, kSettings), sub(key, L"Window", L"Layout");
        SetString(key, "Marker", marker);
        SetDword(key, "Number", 7);
        SetDword(sub, "Width", 640);
        MakeKey(sub, L"Recent");
    }
    static std::wstring Settings() { return Dump(HKEY_CURRENT_USER, kSettings); }
    static std::wstring Slot(const wchar_t* slot = L"901") { return Dump(HKEY_LOCAL_MACHINE, kSave + slot); }
    static bool TemporaryLeft() { return KeyExists(HKEY_LOCAL_MACHINE, kSave + L"901.new"); }
    CProgramEntry m_entry;
};

} // namespace

// With and without RegRenameKey. A temporary key left by a crash is removed
// and never becomes part of the snapshot.
TEST_F(Snapshot, CaptureReplacesTheSnapshotWithAnExactCopyAndLeavesNoTemporaryKey)
{
    for (bool withoutRename : {false, true}) {
        Clean();
        g_bRegistryRenameDisabled = withoutRename;
        SetString(Key(HKEY_LOCAL_MACHINE, kSave + L"901.new\\Stale"), "Stale", "1");
        WriteSettings("first");
        MakeKey(HKEY_CURRENT_USER, kSettings + L"\\Gone");
        ASSERT_EQ(m_entry.CaptureSnapshot(), 1);
        EXPECT_EQ(Slot(), Settings());
        RemoveTree(HKEY_CURRENT_USER, kSettings + L"\\Gone");
        WriteSettings("second");
        ASSERT_EQ(m_entry.CaptureSnapshot(), 1);
        EXPECT_EQ(Slot(), Settings()) << "nothing of the first capture remains";
        EXPECT_FALSE(TemporaryLeft());
    }
}

// The copy fails part-way, at a big value in the settings' subkey that needs
// a buffer it cannot obtain; or there is no settings key at all.
TEST_F(Snapshot, FailedCaptureKeepsThePreviousSnapshot)
{
    WriteSettings("first");
    ASSERT_EQ(m_entry.CaptureSnapshot(), 1);
    const std::wstring before = Slot();
    WriteSettings("second");
    std::vector<BYTE> large(0x20000, 1);
    SetValue(Key(HKEY_CURRENT_USER, kSettings + L"\\Window"), L"Large", REG_BINARY, large.data(), 0x20000);
    {
        BufferAllocationsFailAfter noLarger(2);
        EXPECT_EQ(m_entry.CaptureSnapshot(), 0);
    }
    EXPECT_EQ(Slot(), before);
    EXPECT_FALSE(TemporaryLeft());
    RemoveTree(HKEY_CURRENT_USER, kSettings);
    EXPECT_EQ(m_entry.CaptureSnapshot(), 0);
    EXPECT_EQ(Slot(), before);
}

// Two entries on one settings key, each with its own snapshot. A restore
// removes what was added since and brings back what was removed.
TEST_F(Snapshot, RestoreMakesTheSettingsKeyEqualTheEntrysOwnSnapshotAndWithoutOneLeavesItAlone)
{
    CProgramEntry other;
    other.CopyFrom(m_entry);
    other.m_nSaveSlot = 902;
    WriteSettings("first entry");
    const std::wstring first = Settings();
    EXPECT_EQ(m_entry.RestoreSnapshot(), 0);
    EXPECT_EQ(Settings(), first);
    ASSERT_EQ(m_entry.CaptureSnapshot(), 1);
    WriteSettings("second entry");
    const std::wstring second = Settings();
    ASSERT_EQ(other.CaptureSnapshot(), 1);
    SetString(Key(HKEY_CURRENT_USER, kSettings), "AddedLater", "1");
    MakeKey(HKEY_CURRENT_USER, kSettings + L"\\AddedKey\\Deep");
    RemoveTree(HKEY_CURRENT_USER, kSettings + L"\\Window\\Recent");
    ASSERT_EQ(m_entry.RestoreSnapshot(), 1);
    EXPECT_EQ(Settings(), first);
    ASSERT_EQ(other.RestoreSnapshot(), 1);
    EXPECT_EQ(Settings(), second);
    for (int twice = 0; twice < 2; ++twice) { // the second time with slot 0
        m_entry.DiscardSnapshot();
        EXPECT_EQ(m_entry.m_nSaveSlot, 0);
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kSave + L"901"));
        EXPECT_EQ(Slot(L"902"), second) << "discarding one snapshot leaves the other";
    }
}

// "Software\" + an empty name (or backslashes only) opens HKCU\Software itself,
// which a restore would empty. Names that do not fit the path are refused too.
TEST_F(Snapshot, SettingsNamesThatReachSoftwareItselfOrDoNotFitTouchNothing)
{
    // "Software\" + 190 characters and the NUL fill the 200 bytes exactly.
    const std::string fits = "CobweldTest\\Snapshot\\" + std::string(169, 'f');
    const std::string tooLong = "CobweldTest\\Snapshot\\" + std::string(170, 'g'), unterminated(260, 'h');
    auto software = [](const std::string& name) { return L"Software\\" + std::wstring(name.begin(), name.end()); };
    for (const std::string& name : {fits, tooLong, std::string("CobweldTest\\Snapshot\\Marker\\Child")})
        SetString(Key(HKEY_CURRENT_USER, software(name)), "Live", "1");
    SetString(Key(HKEY_LOCAL_MACHINE, kSave + L"901"), "Leaked", "1"); // must not land in HKCU\Software
    const std::wstring snapshot = Slot(), live = Dump(HKEY_CURRENT_USER, kTestRoot);
    for (const std::string& name : {std::string(), std::string("\\"), std::string("\\\\\\"), tooLong, unterminated}) {
        std::memcpy(m_entry.m_szRegistry, name.c_str(), std::min<size_t>(name.size() + 1, 260)); // no NUL if it fills
        EXPECT_EQ(m_entry.RestoreSnapshot(), 0) << name.size();
        EXPECT_EQ(m_entry.CaptureSnapshot(), 0) << name.size();
    }
    EXPECT_EQ(Dump(HKEY_CURRENT_USER, kTestRoot), live);
    EXPECT_NE(::RegGetValueA(HKEY_CURRENT_USER, "Software", "Leaked", RRF_RT_ANY, 0, 0, 0), ERROR_SUCCESS);
    EXPECT_EQ(Slot(), snapshot);
    std::strcpy(m_entry.m_szRegistry, fits.c_str());
    EXPECT_EQ(m_entry.RestoreSnapshot(), 1) << "the longest name that fits";
    EXPECT_EQ(Dump(HKEY_CURRENT_USER, software(fits)), snapshot);
}
