#include <gtest/gtest.h>
#include "registry/RegistryTree.h"
#include "RegTestUtil.h"

using namespace regtest;

namespace {

// Each test has its own tree HKCU\Software\CobweldTest\Registry\<test>\{Src,Dst}.
class TreeCopy : public ::testing::Test {
protected:
    static std::wstring Base()
    {
        const char* test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        return L"Software\\CobweldTest\\Registry\\" + std::wstring(test, test + strlen(test));
    }
    ~TreeCopy() override { RemoveTree(HKEY_CURRENT_USER, Base()); }
    const bool m_leftoversRemoved = (RemoveTree(HKEY_CURRENT_USER, Base()), true); // before the keys are made
    Key m_base{HKEY_CURRENT_USER, Base()}, m_src{m_base, L"Src"}, m_dst{m_base, L"Dst"};
};
using TreeRemoval = TreeCopy;

} // namespace

// The destination's own values and keys are kept; the shared value replaced.
TEST_F(TreeCopy, CopiesEveryValueTypeAndLevelByteForByteAndKeepsWhatOnlyTheDestinationHolds)
{
    SetString(m_dst, "shared", "old");
    SetString(m_dst, "onlyHere", "kept");
    MakeKey(m_dst, L"OnlyHereToo");
    const BYTE binary[] = {0, 1, 2, 0xFF, 0x5C, 0};
    const unsigned long long qword = 0x0123456789ABCDEFull;
    // Not in code page 932: an ANSI copy would turn these into '?'.
    const wchar_t wide[] = L"caf\u00e9 \u0394\u263a";
    const struct { const wchar_t* name; DWORD type; const void* data; DWORD size; } values[] = {
        {L"sz", REG_SZ, L"text", 10}, {L"expand", REG_EXPAND_SZ, L"%TEMP%\\x", 18},
        {L"binary", REG_BINARY, binary, sizeof binary}, {L"dword", REG_DWORD, "\xEF\xBE\xAD\xDE", 4},
        {L"multi", REG_MULTI_SZ, L"one\0two\0", 18}, {L"qword", REG_QWORD, &qword, sizeof qword},
        {L"none", REG_NONE, binary, 3}, {L"emptyBinary", REG_BINARY, nullptr, 0}, {L"emptySz", REG_SZ, nullptr, 0},
        {L"oddSz", REG_SZ, "a\0b", 3}, {L"wide\u00e9\u263a", REG_SZ, wide, sizeof wide}, {nullptr, REG_SZ, L"def", 8}};
    for (const auto& value : values)
        SetValue(m_src, value.name, value.type, value.data, value.size);
    // Three levels, subkeys with and without a class, and an empty one.
    Key a(m_src, L"A", L"X"), b(a, L"B"), c(b, L"C", L"Deep class"), empty(m_src, L"Empty");
    SetString(a, "a", "2");
    SetDword(c, "c", 4);
    SetString(m_src, "shared", "from source");
    ASSERT_EQ(CopyRegistryTree(m_src, m_dst), 1);
    SetString(m_src, "onlyHere", "kept");
    MakeKey(m_src, L"OnlyHereToo");
    EXPECT_EQ(Dump(m_dst), Dump(m_src));
}

// A source subkey that cannot be opened fails the copy there, after the
// values of its parent and before anything that follows it.
TEST_F(TreeCopy, FailsAtASourceSubkeyThatCannotBeRead)
{
    Key a(m_src, L"A");
    SetString(a, "first", "1");
    MakeKey(a, L"Locked\\Inside");
    MakeKey(a, L"Z later");
    DenyFullAccess(a, L"Locked");
    EXPECT_EQ(CopyRegistryTree(m_src, m_dst), 0);
    EXPECT_TRUE(HasValue(Key(m_dst, L"A"), L"first"));
    EXPECT_TRUE(KeyExists(m_dst, L"A\\Locked"));
    EXPECT_FALSE(KeyExists(m_dst, L"A\\Locked\\Inside") || KeyExists(m_dst, L"A\\Z later"));
}

TEST_F(TreeCopy, CarriesValuesBeyondSixtyFourKilobytesAndLongNames)
{
    std::vector<BYTE> megabyte(1 << 20);
    for (size_t i = 0; i < megabyte.size(); ++i)
        megabyte[i] = static_cast<BYTE>(i * 7 + (i >> 12));
    SetValue(m_src, L"megabyte", REG_BINARY, megabyte.data(), 1 << 20);
    SetValue(m_src, L"exact", REG_BINARY, megabyte.data(), 0x10000);
    SetValue(m_src, L"oneMore", REG_BINARY, megabyte.data(), 0x10001);
    SetValue(m_src, std::wstring(300, L'm').c_str(), REG_DWORD, "\2\0\0\0", 4);
    SetValue(m_src, std::wstring(2000, L'\u00e9').c_str(), REG_BINARY, megabyte.data(), 100000);
    SetValue(Key(m_src, std::wstring(256, L'k'), std::wstring(40000, L'c').c_str()), L"big", REG_BINARY,
             megabyte.data(), 200000);
    ASSERT_EQ(CopyRegistryTree(m_src, m_dst), 1);
    EXPECT_EQ(Dump(m_dst), Dump(m_src));
}

// Without a transfer buffer nothing is written; without the larger one a big
// value needs, the copy fails after the values before it, before any subkey.
TEST_F(TreeCopy, WritesAKeysValuesBeforeItsSubkeysAndFailsWhenABufferCannotBeObtained)
{
    std::vector<BYTE> large(0x20000, 1);
    SetString(m_src, "a", "1");
    SetValue(m_src, L"large", REG_BINARY, large.data(), DWORD(large.size()));
    MakeKey(m_src, L"Sub");
    {
        BufferAllocationsFailAfter none(0);
        EXPECT_EQ(CopyRegistryTree(m_src, m_dst), 0);
    }
    EXPECT_EQ(Dump(m_dst), L" class=\n");
    {
        BufferAllocationsFailAfter noLarger(2); // the first transfer buffer and the name buffer
        EXPECT_EQ(CopyRegistryTree(m_src, m_dst), 0);
    }
    EXPECT_TRUE(HasValue(m_dst, L"a") && !HasValue(m_dst, L"large") && !KeyExists(m_dst, L"Sub"));
}

TEST_F(TreeRemoval, RemovesOnlyTheNamedNestedTreeAndNothingForAMissingOrEmptyPath)
{
    for (const wchar_t* path : {L"Src\\A\\B\\C", L"Src\\A\\Sibling", L"Dst\\A\\B2\\C", L"Dst\\D"})
        MakeKey(m_base, path);
    SetString(m_dst, "value", "1");
    DeleteRegistryTree(m_src, "A\\B");
    DeleteRegistryTree(m_base, "Dst");
    const std::wstring left = Dump(m_base);
    EXPECT_EQ(left, L" class=\n\\Src class=\n\\Src\\A class=\n\\Src\\A\\Sibling class=\n");
    for (HKEY parent : {m_base.h, m_src.h})
        for (const char* path : {"Nowhere", "Nowhere\\Deeper", "", "\\\\", static_cast<const char*>(nullptr)})
            DeleteRegistryTree(parent, path);
    EXPECT_EQ(Dump(m_base), left);
}

// A child that cannot be opened keeps its subkey and cannot be removed. The
// removal must still end, removing all else, long names included.
TEST_F(TreeRemoval, EndsWhenAChildCannotBeRemoved)
{
    const std::wstring longName(256, L'L');
    for (const std::wstring& path : {std::wstring(L"A first"), std::wstring(L"Locked\\Inside"), longName})
        MakeKey(m_src, path);
    MakeKey(m_src, L"Z last\\deeper");
    DenyFullAccess(m_src, L"Locked");
    DeleteRegistryTree(m_base, "Src");
    EXPECT_TRUE(KeyExists(m_src, L"Locked\\Inside"));
    for (const std::wstring& path : {std::wstring(L"A first"), std::wstring(L"Z last"), longName})
        EXPECT_FALSE(KeyExists(m_src, path)) << path.size();
}
