// Key-tree copy and removal against Wine's real registry.
#include <gtest/gtest.h>
#include "framework/Text.h"
#include "registry/RegistryTree.h"
#include "tests/driver/Driver.h"

using namespace driver;

namespace {

const char kBase[] = "Software\\CobweldTest\\Registry";

class Registry : public ::testing::Test {
protected:
    ~Registry() override { Clean(); }
    static bool Clean()
    {
        SetTreeDacl(HKEY_CURRENT_USER, kBase, "D:P(A;OICI;KA;;;WD)");
        DeleteTree(HKEY_CURRENT_USER, kBase);
        return true;
    }
    const bool m_clean = Clean(); // before the keys are made
    Key m_src{HKEY_CURRENT_USER, Widen(kBase) + L"\\Src"}, m_dst{HKEY_CURRENT_USER, Widen(kBase) + L"\\Dst"};
};

} // namespace

// Values over 64 KB and names of any length are carried (the first buffers
// are 64 KB and 300 characters), and values that are not well formed come
// through unchanged; what only the destination holds stays.
TEST_F(Registry, TreeCopyCarriesEveryValueAndLevelByteForByteAndKeepsWhatOnlyTheDestinationHolds)
{
    FillRichTree(m_src);
    FillOddValues(m_src);
    SetValue(m_src, "", std::wstring(2000, L'\u00e9').c_str(), REG_BINARY, std::string(100000, 'b').data(), 100000);
    SetDword(Key(m_src, std::wstring(256, L'k'), std::wstring(40000, L'c').c_str()), "", "big", 1);
    SetString(m_dst, "", "onlyHere", "kept");
    ASSERT_EQ(CopyRegistryTree(m_src, m_dst), 1);
    SetString(m_src, "", "onlyHere", "kept");
    EXPECT_EQ(Dump(m_dst, ""), Dump(m_src, ""));
}

// A copy stops at its first failure, each key's values coming before its
// subkeys; a removal takes all it can and ends, though a child cannot go.
TEST_F(Registry, CopyStopsAtAnUnreadableSubkeyAndRemovalEndsWithoutIt)
{
    SetString(m_src, "A", "first", "1");
    Key(m_src, L"A\\Locked\\Inside"), Key(m_src, L"A\\Z later");
    SetTreeDacl(HKEY_CURRENT_USER, std::string(kBase) + "\\Src\\A\\Locked", "D:P(A;;WD;;;WD)"); // neither read nor removed
    EXPECT_EQ(CopyRegistryTree(m_src, m_dst), 0);
    EXPECT_EQ(GetString(m_dst, "A", "first") + Dump(m_dst, "A\\Z later"), "1<missing>");
    for (const char* path : {"Nowhere", "", "\\\\"})
        DeleteRegistryTree(m_src, path);
    EXPECT_NE(Dump(m_src, "A\\Z later"), "<missing>");
    DeleteRegistryTree(m_src, "A");
    EXPECT_EQ(GetString(m_src, "A", "first") + Dump(m_src, "A\\Z later"), "1<missing>");
}
