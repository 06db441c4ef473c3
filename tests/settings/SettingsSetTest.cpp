// An entry's settings sets against Wine's real registry: each slot's
// snapshot, its crash-safe replacement and its history.
#include <gtest/gtest.h>
#include "framework/Text.h"
#include "settings/SettingsInternal.h"
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
        g_pfnStagingStep = nullptr;
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
    ASSERT_TRUE(Set(7).Capture(REASON_REACQUIRE));
    DeleteTree(HKEY_CURRENT_USER, std::string(kSettings) + "\\Gone");
    WriteSettings("second");
    const std::string second = Live();
    ASSERT_TRUE(Set(8).Capture(REASON_REACQUIRE));
    SetString(HKEY_CURRENT_USER, std::string(kSettings) + "\\Added", "x", "1");
    ASSERT_TRUE(Set(7).Restore(false));
    EXPECT_EQ(Live(), first);
    ASSERT_TRUE(Set(8).Restore(false));
    EXPECT_EQ(Live(), second);
    DeleteTree(HKEY_CURRENT_USER, kSettings);
    EXPECT_FALSE(Set(8).Capture(REASON_REACQUIRE));
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
        EXPECT_FALSE(Set(7, name).Restore(false) || Set(7, name).Capture(REASON_REACQUIRE) || IsSettingsName(name)) << name;
    EXPECT_EQ(Dump(HKEY_CURRENT_USER, kBase) + Dump(HKEY_CURRENT_USER, "Software\\Varnolite"), live);
    EXPECT_EQ(GetString(HKEY_CURRENT_USER, "Software", "Leaked"), "<missing>");
    EXPECT_TRUE(IsSettingsName("Varnolite\\Other") && Set(7, fits).Restore(false));
    EXPECT_EQ(Dump(HKEY_CURRENT_USER, "Software\\" + fits), Slot());
    DeleteTree(HKEY_CURRENT_USER, "Software\\Varnolite");
}

// Every capture keeps the set it replaces as a generation, with when and
// why and what it holds; any generation comes back, and the set it replaces
// becomes the newest generation; a generation of another settings key is
// refused; a discard takes them all.
TEST_F(Settings, EveryCaptureKeepsAGenerationAndAnyOfThemComesBack)
{
    std::string sets[3];
    for (int i = 0; i < 3; ++i) {
        WriteSettings(std::to_string(i).c_str());
        ASSERT_TRUE(Set(7).Capture(i == 1 ? REASON_REACQUIRE : REASON_PROGRAM_ENDED));
        sets[i] = Slot();
    }
    auto history = [] {
        std::string text;
        for (const CGeneration& generation : Set(7).History())
            text += std::to_string(generation.number) + ":" + std::to_string(generation.reason) + ":" +
                    std::to_string(generation.size.keys) + " ";
        return text;
    };
    EXPECT_EQ(history(), "0:0:2 2:1:2 1:2:2 ");
    EXPECT_EQ(Slot("7.g1") + Slot("7.g2"), sets[0] + sets[1]);
    ASSERT_TRUE(Set(7).BringBack(1));
    EXPECT_EQ(Slot() + Slot("7.g3") + history(), sets[0] + sets[2] + "0:2:2 3:5:2 2:1:2 ");
    ASSERT_TRUE(Set(7).BringBack(0)); // the newest: undone
    EXPECT_EQ(Slot() + Slot("7.g4"), sets[2] + sets[0]);
    CSettingsFailure failure;
    EXPECT_FALSE(Set(7, "CobweldTest\\Settings\\Other").BringBack(4, &failure));
    EXPECT_TRUE(failure.kind == CSettingsFailure::OTHER_KEY && failure.subject == Widen(kSettingsName));
    Set(7).Discard();
    EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, kSave), "[.] \n");
}

// An earlier build kept one generation, <slot>.prev, and may have been ended
// between its renames: what it left is put right as it would have, and read
// as a history of one.
TEST_F(Settings, WhatAnEarlierBuildLeftIsReadAsAHistoryOfOne)
{
    for (const char* left : {"7", "7.new"}) {
        Clean();
        SetString(HKEY_LOCAL_MACHINE, kSave + "\\" + left, "Marker", "current");
        SetString(HKEY_LOCAL_MACHINE, kSave + "\\7.prev", "Marker", "previous");
        if (std::string(left) == "7.new")
            SetString(HKEY_LOCAL_MACHINE, kSave + "\\7.old", "Marker", "old");
        std::vector<CGeneration> history = Set(7).History();
        ASSERT_EQ(history.size(), 2u) << left;
        EXPECT_EQ(history[1].reason, REASON_EARLIER);
        EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, kSave + "\\7", "Marker") +
                      GetString(HKEY_LOCAL_MACHINE, kSave + "\\7.g" + std::to_string(history[1].number), "Marker"),
                  "currentprevious");
        EXPECT_EQ(Slot("7.prev") + Slot("7.new") + Slot("7.old"), "<missing><missing><missing>");
    }
}

// A process may end between any two steps of a capture or of bringing a
// generation back: the next use finds a whole set in use, the old one or
// the new one, and every generation whole, each with its record.
TEST_F(Settings, ACaptureOrABringingBackCutShortAfterAnyStepLeavesWholeSets)
{
    static int s_steps;
    for (int stopAfter = 0; stopAfter < 6; ++stopAfter) {
        for (bool back : {false, true}) {
            SCOPED_TRACE((back ? "bringing back stopped after " : "capture stopped after ") + std::to_string(stopAfter));
            Clean();
            SetString(HKEY_LOCAL_MACHINE, kSave + "\\8", "Marker", "neighbour"); // a rename must not touch it
            std::string sets[3];
            for (int i = 0; i < 3; ++i) {
                WriteSettings(std::to_string(i).c_str());
                sets[i] = Live();
                ASSERT_TRUE(i == 2 || Set(7).Capture(REASON_REACQUIRE));
            }
            g_pfnStagingStep = [] { return s_steps-- > 0; };
            s_steps = stopAfter;
            back ? Set(7).BringBack(1) : Set(7).Capture(REASON_REACQUIRE);
            g_pfnStagingStep = nullptr;
            std::string generations;
            for (const CGeneration& generation : Set(7).History())
                generations += generation.number ? Slot("7.g" + std::to_string(generation.number)) : Slot();
            // Done or not: never a mix, nothing lost.
            const std::string before = sets[1] + sets[0], after = back ? sets[0] + sets[1] : sets[2] + sets[1] + sets[0];
            EXPECT_TRUE(generations == before || generations == after) << generations;
            EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, kSave).find(".new"), std::string::npos);
            EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, kSave + "\\8", "Marker"), "neighbour");
        }
    }
}
