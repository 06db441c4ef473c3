// An entry's settings sets against Wine's real registry: each slot's
// snapshot, its crash-safe replacement and its history.
#include <gtest/gtest.h>
#include "framework/Text.h"
#include "registry/RegistryInternal.h"
#include "settings/SettingsName.h"
#include "settings/SettingsSet.h"
#include "tests/driver/Driver.h"

using namespace driver;

namespace {

const char kBase[] = "Software\\CobweldTest\\Settings";
const char kSettingsName[] = "CobweldTest\\Settings\\App";
const char kSettings[] = "Software\\CobweldTest\\Settings\\App";
const std::string kSave = std::string(kStoreRoot) + "\\Save";

class Settings : public ::testing::Test {
protected:
    ~Settings() override { Clean(); }
    static bool Clean()
    {
        SetTreeDacl(HKEY_CURRENT_USER, kBase, "D:P(A;OICI;KA;;;WD)");
        DeleteTree(HKEY_CURRENT_USER, kBase);
        DeleteTree(HKEY_LOCAL_MACHINE, kSave);
        g_pfnStagedKeyStep = nullptr;
        return true;
    }
    static std::string Live() { return Dump(HKEY_CURRENT_USER, kSettings); }
    static std::string Slot(const std::string& name = "7") { return Dump(HKEY_LOCAL_MACHINE, kSave + "\\" + name); }
    // Settings with a marker value and a subkey with a class.
    static void WriteSettings(const char* marker)
    {
        SetString(HKEY_CURRENT_USER, kSettings, "Marker", marker);
        Key(Key(HKEY_CURRENT_USER, Widen(kSettings)), L"Window", L"Layout");
    }
    static CSettingsSet Set(int slot, const std::string& name = kSettingsName) { return CSettingsSet(name, slot); }
    const bool m_clean = Clean();
};

} // namespace

// Two entries on one settings key, each with its own snapshot. A restore
// removes what was added since; a capture replaces the whole snapshot.
TEST_F(Settings, EachSlotRestoresExactlyItsOwnSettingsAndAMissingSourceChangesNothing)
{
    WriteSettings("first");
    Key(HKEY_CURRENT_USER, Widen(kSettings) + L"\\Gone");
    const std::string first = Live();
    EXPECT_FALSE(Set(7).Restore(false));
    ASSERT_TRUE(Set(7).Capture());
    DeleteTree(HKEY_CURRENT_USER, std::string(kSettings) + "\\Gone");
    WriteSettings("second");
    const std::string second = Live();
    ASSERT_TRUE(Set(8).Capture());
    SetString(HKEY_CURRENT_USER, std::string(kSettings) + "\\Added", "x", "1");
    ASSERT_TRUE(Set(7).Restore(false));
    EXPECT_EQ(Live(), first);
    ASSERT_TRUE(Set(8).Restore(false));
    EXPECT_EQ(Live(), second);
    DeleteTree(HKEY_CURRENT_USER, kSettings);
    EXPECT_FALSE(Set(8).Capture());
    Set(7).Discard();
    EXPECT_EQ(Slot("7") + Slot("8"), "<missing>" + second);
}

// "Software\" + an empty name (or backslashes only) is HKCU\Software itself,
// which a restore would empty; the launcher's own key holds its profile and
// perhaps its store. Neither is touched, whatever the letter case.
TEST_F(Settings, SettingsNamesThatReachSoftwareOrTheLaunchersOwnKeyOrDoNotFitTouchNothing)
{
    const std::string fits = "CobweldTest\\Registry\\" + std::string(169, 'f'); // 190 bytes
    SetString(HKEY_CURRENT_USER, "Software\\" + fits, "Live", "1");
    SetString(HKEY_CURRENT_USER, "Software\\Varnolite\\COBWELD\\Cobweld", "Installed", "1");
    SetString(HKEY_LOCAL_MACHINE, kSave + "\\7", "Leaked", "1");
    const std::string live = Dump(HKEY_CURRENT_USER, kBase) + Dump(HKEY_CURRENT_USER, "Software\\Varnolite");
    for (const std::string& name : {std::string(), std::string("\\\\\\"), fits + "g", std::string("Varnolite"),
                                    std::string("varnolite\\cobweld"), std::string("\\VARNOLITE\\\\Cobweld\\Info")})
        EXPECT_FALSE(Set(7, name).Restore(false) || Set(7, name).Capture() || IsSettingsName(name)) << name;
    EXPECT_EQ(Dump(HKEY_CURRENT_USER, kBase) + Dump(HKEY_CURRENT_USER, "Software\\Varnolite"), live);
    EXPECT_EQ(GetString(HKEY_CURRENT_USER, "Software", "Leaked"), "<missing>");
    EXPECT_TRUE(IsSettingsName("Varnolite\\Other") && Set(7, fits).Restore(false));
    EXPECT_EQ(Dump(HKEY_CURRENT_USER, "Software\\" + fits), Slot());
    DeleteTree(HKEY_CURRENT_USER, "Software\\Varnolite");
}

// The previous settings are kept beside the slot: an undo brings back
// exactly the snapshot the last capture replaced, a second undo swaps back,
// and a discard takes both.
TEST_F(Settings, UndoSwapsTheSnapshotWithTheOneTheLastCaptureReplaced)
{
    WriteSettings("first");
    ASSERT_TRUE(Set(7).Capture());
    EXPECT_FALSE(Set(7).HasPrevious() || Set(7).Undo());
    const std::string first = Slot();
    WriteSettings("second");
    ASSERT_TRUE(Set(7).Capture());
    const std::string second = Slot();
    ASSERT_TRUE(Set(7).HasPrevious() && Set(7).Undo());
    EXPECT_EQ(Slot(), first);
    ASSERT_TRUE(Set(7).Undo());
    EXPECT_EQ(Slot(), second);
    Set(7).Discard();
    EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, kSave), "[.] \n");
}

// A process may end between any two steps of a capture or an undo: the next
// use finds the slot holding a whole snapshot, the old one or the new one,
// and the previous settings whole as well.
TEST_F(Settings, ACaptureOrUndoCutShortAfterAnyStepLeavesWholeSnapshots)
{
    static int s_steps;
    for (int stopAfter = 0; stopAfter < 5; ++stopAfter) {
        for (bool undo : {false, true}) {
            SCOPED_TRACE((undo ? "undo stopped after " : "capture stopped after ") + std::to_string(stopAfter));
            Clean();
            SetString(HKEY_LOCAL_MACHINE, kSave + "\\8", "Marker", "neighbour"); // a rename must not touch it
            g_pfnStagedKeyStep = [] { return s_steps-- > 0; };
            s_steps = 100;
            std::string snapshots[3];
            for (int i = 0; i < 3; ++i) {
                WriteSettings(std::to_string(i).c_str());
                snapshots[i] = Live();
                ASSERT_TRUE(i == 2 || Set(7).Capture());
            }
            s_steps = stopAfter;
            undo ? Set(7).Undo() : Set(7).Capture();
            s_steps = 100;
            ASSERT_TRUE(Set(7).Restore(false));
            const std::string now = Live() + Slot("7.prev");
            // Undone or not, replaced or not: never a mix.
            EXPECT_TRUE(now == snapshots[1] + snapshots[0] || now == (undo ? snapshots[0] + snapshots[1]
                                                                           : snapshots[2] + snapshots[1]));
            EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, kSave).find(".new"), std::string::npos);
            EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, kSave + "\\8", "Marker"), "neighbour");
        }
    }
    // The next capture (no restore between) starts from a clean staging tree.
    g_pfnStagedKeyStep = [] { return false; };
    SetString(HKEY_CURRENT_USER, kSettings, "Stale", "1");
    Set(7).Capture();
    g_pfnStagedKeyStep = nullptr;
    ::RegDeleteKeyValueA(HKEY_CURRENT_USER, kSettings, "Stale");
    ASSERT_TRUE(Set(7).Capture());
    EXPECT_EQ(Slot(), Live());
}
