#include <gtest/gtest.h>
#include "model/ProgramEntry.h"
#include "registry/RegistryInternal.h"
#include "registry/Snapshot.h"
#include "RegTestUtil.h"
#include <cstring>
#include <vector>

using namespace regtest;

namespace {

const char kSettings[] = "Software\\CobweldTest\\Snapshot\\App";
const char kSlot[] = "Software\\Varnolite\\Cobweld\\Save\\901";
const char kOtherSlot[] = "Software\\Varnolite\\Cobweld\\Save\\902";
const char kTemporary[] = "Software\\Varnolite\\Cobweld\\Save\\901.new";

int g_allocationsLeft = 0;
void* FailingAfterSomeAllocations(SIZE_T bytes)
{
    if (g_allocationsLeft <= 0)
        return nullptr;
    --g_allocationsLeft;
    return DefaultRegistryBufferAlloc(bytes);
}

class Snapshot : public ::testing::Test {
protected:
    void SetUp() override
    {
        Clean();
        std::strcpy(m_entry.m_szRegistry, "CobweldTest\\Snapshot\\App");
        m_entry.m_nSaveSlot = 901;
    }
    void TearDown() override
    {
        g_pfnRegistryBufferAlloc = DefaultRegistryBufferAlloc;
        g_bRegistryRenameDisabled = false;
        Clean();
    }
    static void Clean()
    {
        RemoveTree(HKEY_CURRENT_USER, L"Software\\CobweldTest\\Snapshot");
        for (const wchar_t* slot : {L"901", L"902", L"901.new", L"902.new", L"0"})
            RemoveTree(HKEY_LOCAL_MACHINE, (std::wstring(L"Software\\Varnolite\\Cobweld\\Save\\") + slot).c_str());
    }
    // The settings: two values, a subkey with a class and a grandchild.
    static void WriteSettings(const char* marker)
    {
        HKEY key = CreateKey(HKEY_CURRENT_USER, L"Software\\CobweldTest\\Snapshot\\App");
        SetString(key, "Marker", marker);
        SetDword(key, "Number", 7);
        HKEY sub = CreateKey(key, L"Window", L"Layout");
        SetDword(sub, "Width", 640);
        ::RegCloseKey(CreateKey(sub, L"Recent"));
        ::RegCloseKey(sub);
        ::RegCloseKey(key);
    }
    CProgramEntry m_entry;
};

} // namespace

TEST_F(Snapshot, CaptureCopiesTheSettingsKeyIntoTheSlotExactly)
{
    WriteSettings("first");
    ASSERT_EQ(m_entry.CaptureSnapshot(), 1);
    EXPECT_TRUE(DumpPath(HKEY_LOCAL_MACHINE, kSlot) == DumpPath(HKEY_CURRENT_USER, kSettings));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kTemporary));
}

TEST_F(Snapshot, CaptureReplacesThePreviousSnapshotCompletely)
{
    WriteSettings("first");
    HKEY gone = CreateKey(HKEY_CURRENT_USER, L"Software\\CobweldTest\\Snapshot\\App\\Gone");
    ::RegCloseKey(gone);
    ASSERT_EQ(m_entry.CaptureSnapshot(), 1);

    ::RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\CobweldTest\\Snapshot\\App\\Gone");
    WriteSettings("second");
    ASSERT_EQ(m_entry.CaptureSnapshot(), 1);
    EXPECT_TRUE(DumpPath(HKEY_LOCAL_MACHINE, kSlot) == DumpPath(HKEY_CURRENT_USER, kSettings));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Varnolite\\Cobweld\\Save\\901\\Gone"));
}

TEST_F(Snapshot, CaptureWithoutRenameGivesTheSameSnapshot)
{
    g_bRegistryRenameDisabled = true;
    WriteSettings("first");
    ASSERT_EQ(m_entry.CaptureSnapshot(), 1);
    WriteSettings("second");
    ASSERT_EQ(m_entry.CaptureSnapshot(), 1);
    EXPECT_TRUE(DumpPath(HKEY_LOCAL_MACHINE, kSlot) == DumpPath(HKEY_CURRENT_USER, kSettings));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kTemporary));
}

TEST_F(Snapshot, CaptureOfAMissingSettingsKeyFailsAndKeepsThePreviousSnapshot)
{
    WriteSettings("first");
    ASSERT_EQ(m_entry.CaptureSnapshot(), 1);
    std::wstring before = DumpPath(HKEY_LOCAL_MACHINE, kSlot);
    RemoveTree(HKEY_CURRENT_USER, L"Software\\CobweldTest\\Snapshot\\App");

    EXPECT_EQ(m_entry.CaptureSnapshot(), 0);
    EXPECT_TRUE(DumpPath(HKEY_LOCAL_MACHINE, kSlot) == before);
}

TEST_F(Snapshot, CaptureThatFailsPartWayKeepsThePreviousSnapshot)
{
    WriteSettings("first");
    ASSERT_EQ(m_entry.CaptureSnapshot(), 1);
    std::wstring before = DumpPath(HKEY_LOCAL_MACHINE, kSlot);
    WriteSettings("second");

    // The copy gets its buffers, but not the larger one that a big value in
    // the settings' subkey needs: it fails after the top level was copied.
    std::vector<BYTE> large(0x20000, 1);
    HKEY window = CreateKey(HKEY_CURRENT_USER, L"Software\\CobweldTest\\Snapshot\\App\\Window");
    SetValue(window, L"Large", REG_BINARY, large.data(), static_cast<DWORD>(large.size()));
    ::RegCloseKey(window);
    g_allocationsLeft = 2;
    g_pfnRegistryBufferAlloc = FailingAfterSomeAllocations;
    EXPECT_EQ(m_entry.CaptureSnapshot(), 0);
    g_pfnRegistryBufferAlloc = DefaultRegistryBufferAlloc;
    EXPECT_TRUE(DumpPath(HKEY_LOCAL_MACHINE, kSlot) == before);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kTemporary));

    // And a settings subkey that cannot be opened.
    HKEY settings = CreateKey(HKEY_CURRENT_USER, L"Software\\CobweldTest\\Snapshot\\App");
    ::RegCloseKey(CreateKey(settings, L"Locked\\Inside"));
    DenyFullAccess(settings, L"Locked");
    ::RegCloseKey(settings);
    EXPECT_EQ(m_entry.CaptureSnapshot(), 0);
    EXPECT_TRUE(DumpPath(HKEY_LOCAL_MACHINE, kSlot) == before);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kTemporary));
}

TEST_F(Snapshot, CaptureRemovesATemporaryKeyLeftBehind)
{
    HKEY stale = CreateKey(HKEY_LOCAL_MACHINE, L"Software\\Varnolite\\Cobweld\\Save\\901.new\\Stale");
    SetString(stale, "Stale", "1");
    ::RegCloseKey(stale);
    WriteSettings("first");

    ASSERT_EQ(m_entry.CaptureSnapshot(), 1);
    EXPECT_TRUE(DumpPath(HKEY_LOCAL_MACHINE, kSlot) == DumpPath(HKEY_CURRENT_USER, kSettings));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kTemporary));
}

TEST_F(Snapshot, RestoreMakesTheSettingsKeyEqualTheSnapshot)
{
    WriteSettings("captured");
    ASSERT_EQ(m_entry.CaptureSnapshot(), 1);
    std::wstring snapshot = DumpPath(HKEY_LOCAL_MACHINE, kSlot);

    HKEY settings = CreateKey(HKEY_CURRENT_USER, L"Software\\CobweldTest\\Snapshot\\App");
    SetString(settings, "Marker", "changed");
    SetString(settings, "AddedLater", "1");
    ::RegCloseKey(CreateKey(settings, L"AddedKey\\Deep"));
    ::RegDeleteKeyA(settings, "Window\\Recent");
    ::RegCloseKey(settings);

    ASSERT_EQ(m_entry.RestoreSnapshot(), 1);
    EXPECT_TRUE(DumpPath(HKEY_CURRENT_USER, kSettings) == snapshot);
}

TEST_F(Snapshot, RestoreOfAMissingSnapshotLeavesTheSettingsAlone)
{
    WriteSettings("live");
    std::wstring before = DumpPath(HKEY_CURRENT_USER, kSettings);
    EXPECT_EQ(m_entry.RestoreSnapshot(), 0);
    EXPECT_TRUE(DumpPath(HKEY_CURRENT_USER, kSettings) == before);
}

TEST_F(Snapshot, TwoEntriesOnOneSettingsKeyKeepSeparateSnapshots)
{
    CProgramEntry other;
    other.CopyFrom(m_entry);
    other.m_nSaveSlot = 902;

    WriteSettings("first entry");
    ASSERT_EQ(m_entry.CaptureSnapshot(), 1);
    std::wstring first = DumpPath(HKEY_CURRENT_USER, kSettings);
    WriteSettings("second entry");
    ASSERT_EQ(other.CaptureSnapshot(), 1);
    std::wstring second = DumpPath(HKEY_CURRENT_USER, kSettings);
    ASSERT_NE(first, second);

    ASSERT_EQ(m_entry.RestoreSnapshot(), 1);
    EXPECT_TRUE(DumpPath(HKEY_CURRENT_USER, kSettings) == first);
    EXPECT_TRUE(DumpPath(HKEY_LOCAL_MACHINE, kOtherSlot) == second);
    ASSERT_EQ(other.RestoreSnapshot(), 1);
    EXPECT_TRUE(DumpPath(HKEY_CURRENT_USER, kSettings) == second);
}

TEST_F(Snapshot, DiscardRemovesTheSnapshotAndFreesTheSlot)
{
    WriteSettings("x");
    ASSERT_EQ(m_entry.CaptureSnapshot(), 1);
    CProgramEntry other;
    other.CopyFrom(m_entry);
    other.m_nSaveSlot = 902;
    ASSERT_EQ(other.CaptureSnapshot(), 1);

    m_entry.DiscardSnapshot();
    EXPECT_EQ(m_entry.m_nSaveSlot, 0);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kSlot));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kOtherSlot));

    m_entry.DiscardSnapshot();
    EXPECT_EQ(m_entry.m_nSaveSlot, 0);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kOtherSlot));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Varnolite\\Cobweld\\Save"));
}

// "Software\" + an empty name (or backslashes only) opens HKCU\Software itself:
// a restore would remove the user's whole Software tree.
TEST_F(Snapshot, SettingsNamesThatOpenSoftwareItselfTouchNothing)
{
    HKEY marker = CreateKey(HKEY_CURRENT_USER, L"Software\\CobweldTest\\Snapshot\\Marker\\Child");
    SetString(marker, "Kept", "1");
    ::RegCloseKey(marker);
    // A snapshot that must not land in HKCU\Software either.
    HKEY slot = CreateKey(HKEY_LOCAL_MACHINE, L"Software\\Varnolite\\Cobweld\\Save\\901");
    SetString(slot, "Leaked", "1");
    ::RegCloseKey(slot);
    std::wstring snapshot = DumpPath(HKEY_LOCAL_MACHINE, kSlot);
    std::wstring markerTree = DumpPath(HKEY_CURRENT_USER, "Software\\CobweldTest\\Snapshot\\Marker");

    for (const char* name : {"", "\\", "\\\\\\", "\\\\"}) {
        std::strcpy(m_entry.m_szRegistry, name);
        EXPECT_EQ(m_entry.RestoreSnapshot(), 0) << "'" << name << "'";
        EXPECT_EQ(m_entry.CaptureSnapshot(), 0) << "'" << name << "'";
    }

    EXPECT_TRUE(DumpPath(HKEY_CURRENT_USER, "Software\\CobweldTest\\Snapshot\\Marker") == markerTree);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Wine"));
    HKEY software;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &software), ERROR_SUCCESS);
    EXPECT_EQ(ReadRaw(software, L"Leaked").rc, ERROR_FILE_NOT_FOUND);
    ::RegCloseKey(software);
    EXPECT_TRUE(DumpPath(HKEY_LOCAL_MACHINE, kSlot) == snapshot);
}

TEST_F(Snapshot, SettingsNamesThatDoNotFitThePathTouchNothing)
{
    // 190 characters fit "Software\" + name into 200 bytes; 191 do not.
    std::string fits = "CobweldTest\\Snapshot\\" + std::string(190 - 21, 'f');
    std::string tooLong = "CobweldTest\\Snapshot\\" + std::string(191 - 21, 'g');
    ASSERT_EQ(fits.size(), 190u);
    HKEY key = CreateKey(HKEY_CURRENT_USER, (L"Software\\CobweldTest\\Snapshot\\" + std::wstring(170, L'g')).c_str());
    SetString(key, "Live", "1");
    ::RegCloseKey(key);
    key = CreateKey(HKEY_CURRENT_USER, (L"Software\\CobweldTest\\Snapshot\\" + std::wstring(169, L'f')).c_str());
    SetString(key, "Live", "1");
    ::RegCloseKey(key);
    WriteSettings("x");
    ASSERT_EQ(m_entry.CaptureSnapshot(), 1);
    std::wstring snapshot = DumpPath(HKEY_LOCAL_MACHINE, kSlot);
    std::wstring live = DumpPath(HKEY_CURRENT_USER, ("Software\\" + tooLong).c_str());

    std::strcpy(m_entry.m_szRegistry, tooLong.c_str());
    EXPECT_EQ(m_entry.CaptureSnapshot(), 0);
    EXPECT_EQ(m_entry.RestoreSnapshot(), 0);
    EXPECT_TRUE(DumpPath(HKEY_LOCAL_MACHINE, kSlot) == snapshot);
    EXPECT_TRUE(DumpPath(HKEY_CURRENT_USER, ("Software\\" + tooLong).c_str()) == live);

    // A name that fills its field without a terminator is refused too.
    std::memset(m_entry.m_szRegistry, 'h', sizeof m_entry.m_szRegistry);
    EXPECT_EQ(m_entry.CaptureSnapshot(), 0);
    EXPECT_EQ(m_entry.RestoreSnapshot(), 0);
    EXPECT_TRUE(DumpPath(HKEY_LOCAL_MACHINE, kSlot) == snapshot);

    std::strcpy(m_entry.m_szRegistry, fits.c_str());
    EXPECT_EQ(m_entry.RestoreSnapshot(), 1);
    EXPECT_TRUE(DumpPath(HKEY_CURRENT_USER, ("Software\\" + fits).c_str()) == snapshot);
}
