#include <gtest/gtest.h>
#include "registry/RegKey.h"
#include "registry/RegistryInternal.h"
#include "registry/RegistryTree.h"
#include "RegTestUtil.h"

using namespace regtest;

namespace {

int g_allocationsLeft = 0;
void* FailingAfterSomeAllocations(SIZE_T bytes)
{
    if (g_allocationsLeft <= 0)
        return nullptr;
    --g_allocationsLeft;
    return DefaultRegistryBufferAlloc(bytes);
}

// Each test works in its own tree HKCU\Software\CobweldTest\Registry\<test>
// with a source key "Src" and a destination key "Dst".
class TreeCopy : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_base = L"Software\\CobweldTest\\Registry\\";
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        for (const char* p = info->name(); *p; ++p)
            m_base += static_cast<wchar_t>(*p);
        RemoveTree(HKEY_CURRENT_USER, m_base.c_str());
        m_baseKey = CreateKey(HKEY_CURRENT_USER, m_base.c_str());
        m_src = CreateKey(m_baseKey, L"Src");
        m_dst = CreateKey(m_baseKey, L"Dst");
        ASSERT_NE(m_src, nullptr);
        ASSERT_NE(m_dst, nullptr);
    }
    void TearDown() override
    {
        g_pfnRegistryBufferAlloc = DefaultRegistryBufferAlloc;
        ::RegCloseKey(m_src);
        ::RegCloseKey(m_dst);
        ::RegCloseKey(m_baseKey);
        RemoveTree(HKEY_CURRENT_USER, m_base.c_str());
    }
    std::wstring m_base;
    HKEY m_baseKey = nullptr, m_src = nullptr, m_dst = nullptr;
};

} // namespace

TEST_F(TreeCopy, CopiesValuesOfEveryTypeByteForByteWithTheirSizes)
{
    const BYTE binary[] = {0, 1, 2, 0xFF, 0x5C, 0};
    const DWORD dword = 0xDEADBEEF;
    const unsigned long long qword = 0x0123456789ABCDEFull;
    const wchar_t multi[] = L"one\0two\0";
    // Not in code page 932: an ANSI copy would turn these into '?'.
    const wchar_t wide[] = L"caf\u00e9 \u0394\u263a";
    const BYTE oddString[] = {'a', 0, 'b'};
    SetValue(m_src, L"sz", REG_SZ, L"text", 10);
    SetValue(m_src, L"expand", REG_EXPAND_SZ, L"%TEMP%\\x", 18);
    SetValue(m_src, L"binary", REG_BINARY, binary, sizeof binary);
    SetValue(m_src, L"dword", REG_DWORD, &dword, sizeof dword);
    SetValue(m_src, L"multi", REG_MULTI_SZ, multi, sizeof multi);
    SetValue(m_src, L"qword", REG_QWORD, &qword, sizeof qword);
    SetValue(m_src, L"none", REG_NONE, binary, 3);
    SetValue(m_src, L"emptyBinary", REG_BINARY, nullptr, 0);
    SetValue(m_src, L"emptyString", REG_SZ, nullptr, 0);
    SetValue(m_src, L"oddString", REG_SZ, oddString, sizeof oddString);
    SetValue(m_src, L"wide\u00e9\u263a", REG_SZ, wide, sizeof wide);
    SetValue(m_src, nullptr, REG_SZ, L"default", 16);

    ASSERT_EQ(CopyRegistryTree(m_src, m_dst), 1);

    int index = 0;
    for (const wchar_t* name : {L"sz", L"expand", L"binary", L"dword", L"multi", L"qword", L"none",
                                L"emptyBinary", L"emptyString", L"oddString", L"wide\u00e9\u263a", L""}) {
        RawValue from = ReadRaw(m_src, name), to = ReadRaw(m_dst, name);
        ASSERT_EQ(to.rc, ERROR_SUCCESS) << "value #" << index;
        EXPECT_EQ(to.type, from.type) << "value #" << index;
        EXPECT_EQ(to.data, from.data) << "value #" << index;
        ++index;
    }
    EXPECT_TRUE(Dump(m_dst) == Dump(m_src));
}

TEST_F(TreeCopy, EmptySourceSucceedsAndLeavesTheDestinationAsItWas)
{
    SetString(m_dst, "kept", "yes");
    std::wstring before = Dump(m_dst);
    EXPECT_EQ(CopyRegistryTree(m_src, m_dst), 1);
    EXPECT_EQ(Dump(m_dst), before);
}

TEST_F(TreeCopy, ThreeLevelTreeArrivesCompleteWithSubkeyClasses)
{
    SetString(m_src, "top", "1");
    HKEY a = CreateKey(m_src, L"A", L"X");
    SetString(a, "a", "2");
    HKEY b = CreateKey(a, L"B");
    SetDword(b, "b", 3);
    HKEY c = CreateKey(b, L"C", L"Deep class");
    SetString(c, "c", "4");
    HKEY empty = CreateKey(m_src, L"Empty");
    for (HKEY key : {a, b, c, empty})
        ::RegCloseKey(key);

    ASSERT_EQ(CopyRegistryTree(m_src, m_dst), 1);
    EXPECT_TRUE(Dump(m_dst) == Dump(m_src));

    HKEY copied;
    ASSERT_EQ(::RegOpenKeyExW(m_dst, L"A", 0, KEY_READ, &copied), ERROR_SUCCESS);
    EXPECT_EQ(KeyClass(copied), L"X");
    ::RegCloseKey(copied);
    ASSERT_EQ(::RegOpenKeyExW(m_dst, L"A\\B", 0, KEY_READ, &copied), ERROR_SUCCESS);
    DWORD classLength = 99;
    EXPECT_EQ(KeyClass(copied, &classLength), L"");
    EXPECT_EQ(classLength, 0u) << "a subkey without a class must get none";
    ::RegCloseKey(copied);
    // The class as the ANSI enumeration reports it, too.
    char name[300], keyClass[300];
    DWORD nameLength = sizeof name, keyClassLength = sizeof keyClass;
    ASSERT_EQ(::RegEnumKeyExA(m_dst, 1, name, &nameLength, nullptr, keyClass, &keyClassLength, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "Empty");
    EXPECT_EQ(keyClassLength, 0u);
}

TEST_F(TreeCopy, KeepsWhatOnlyTheDestinationHolds)
{
    SetString(m_src, "shared", "from source");
    SetString(m_dst, "shared", "old");
    SetString(m_dst, "onlyHere", "kept");
    ::RegCloseKey(CreateKey(m_dst, L"OnlyHereToo"));

    ASSERT_EQ(CopyRegistryTree(m_src, m_dst), 1);
    char text[32];
    DWORD size = sizeof text;
    ASSERT_EQ(::RegQueryValueExA(m_dst, "shared", nullptr, nullptr, (BYTE*)text, &size), ERROR_SUCCESS);
    EXPECT_STREQ(text, "from source");
    EXPECT_EQ(ReadRaw(m_dst, L"onlyHere").rc, ERROR_SUCCESS);
    EXPECT_TRUE(KeyExists(m_dst, "OnlyHereToo"));
}

// A volatile destination takes values but refuses lasting subkeys, and a
// locked destination subkey refuses to be opened: each copy fails at its
// first subkey, and every value of that level must be there by then.
TEST_F(TreeCopy, WritesAKeysValuesBeforeItsSubkeys)
{
    for (int i = 0; i < 5; ++i)
        SetDword(m_src, ("v" + std::to_string(i)).c_str(), i);
    ::RegCloseKey(CreateKey(m_src, L"Sub"));
    HKEY volatileKey = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(m_baseKey, L"Volatile", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                &volatileKey, nullptr), ERROR_SUCCESS);

    EXPECT_EQ(CopyRegistryTree(m_src, volatileKey), 0);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(ReadRaw(volatileKey, (L"v" + std::to_wstring(i)).c_str()).rc, ERROR_SUCCESS) << i;
    EXPECT_FALSE(KeyExists(volatileKey, "Sub"));
    ::RegCloseKey(volatileKey);

    HKEY a = CreateKey(m_src, L"A");
    SetString(a, "a1", "1");
    SetString(a, "a2", "2");
    ::RegCloseKey(CreateKey(a, L"B"));
    ::RegCloseKey(a);
    ::RegCloseKey(CreateKey(m_dst, L"A\\B"));
    HKEY copiedA = CreateKey(m_dst, L"A");
    DenyFullAccess(copiedA, L"B");

    EXPECT_EQ(CopyRegistryTree(m_src, m_dst), 0);
    EXPECT_EQ(ReadRaw(copiedA, L"a1").rc, ERROR_SUCCESS);
    EXPECT_EQ(ReadRaw(copiedA, L"a2").rc, ERROR_SUCCESS);
    EXPECT_FALSE(KeyExists(m_dst, "Sub")) << "A comes before Sub and ended the copy";
    ::RegCloseKey(copiedA);
}

// The same one level down: a source subkey that cannot be opened ends the copy
// after its parent's values were written and its own destination was created.
TEST_F(TreeCopy, StopsAtASourceSubkeyThatCannotBeOpened)
{
    HKEY a = CreateKey(m_src, L"A");
    SetString(a, "first", "1");
    SetString(a, "second", "2");
    ::RegCloseKey(CreateKey(a, L"Locked\\Inside"));
    ::RegCloseKey(CreateKey(a, L"Z later"));
    DenyFullAccess(a, L"Locked");
    ::RegCloseKey(a);

    EXPECT_EQ(CopyRegistryTree(m_src, m_dst), 0);
    EXPECT_EQ(ReadRaw(m_dst, L"A").rc, ERROR_FILE_NOT_FOUND);
    HKEY copied;
    ASSERT_EQ(::RegOpenKeyExW(m_dst, L"A", 0, KEY_READ, &copied), ERROR_SUCCESS);
    EXPECT_EQ(ReadRaw(copied, L"first").rc, ERROR_SUCCESS);
    EXPECT_EQ(ReadRaw(copied, L"second").rc, ERROR_SUCCESS);
    ::RegCloseKey(copied);
    EXPECT_TRUE(KeyExists(m_dst, "A\\Locked"));
    EXPECT_FALSE(KeyExists(m_dst, "A\\Locked\\Inside"));
    EXPECT_FALSE(KeyExists(m_dst, "A\\Z later"));
}

TEST_F(TreeCopy, CarriesValuesBeyondSixtyFourKilobytesAndLongNames)
{
    std::vector<BYTE> megabyte(1 << 20);
    for (size_t i = 0; i < megabyte.size(); ++i)
        megabyte[i] = static_cast<BYTE>(i * 7 + (i >> 12));
    std::vector<BYTE> exact(0x10000, 0xAB), oneMore(0x10001, 0xCD);
    std::wstring name299(299, L'n'), name300(300, L'm'), name2000(2000, L'\u00e9');
    SetValue(m_src, L"before", REG_SZ, L"x", 4);
    SetValue(m_src, L"megabyte", REG_BINARY, megabyte.data(), static_cast<DWORD>(megabyte.size()));
    SetValue(m_src, L"exact", REG_BINARY, exact.data(), static_cast<DWORD>(exact.size()));
    SetValue(m_src, L"oneMore", REG_BINARY, oneMore.data(), static_cast<DWORD>(oneMore.size()));
    SetValue(m_src, name299.c_str(), REG_DWORD, "\1\0\0\0", 4);
    SetValue(m_src, name300.c_str(), REG_DWORD, "\2\0\0\0", 4);
    SetValue(m_src, name2000.c_str(), REG_BINARY, megabyte.data(), 100000);
    SetValue(m_src, L"after", REG_SZ, L"y", 4);
    // Subkey names beyond the copy's first name buffer, with a long class.
    std::wstring longKey(256, L'k'), longClass(40000, L'c');
    HKEY sub = CreateKey(m_src, longKey.c_str(), longClass.c_str());
    ASSERT_NE(sub, nullptr);
    SetValue(sub, L"big", REG_BINARY, megabyte.data(), 200000);
    ::RegCloseKey(sub);

    ASSERT_EQ(CopyRegistryTree(m_src, m_dst), 1);
    EXPECT_EQ(ReadRaw(m_dst, L"megabyte").data, megabyte);
    EXPECT_EQ(ReadRaw(m_dst, name300.c_str()).data.size(), 4u);
    EXPECT_EQ(ReadRaw(m_dst, name2000.c_str()).data.size(), 100000u);
    EXPECT_EQ(ReadRaw(m_dst, L"after").rc, ERROR_SUCCESS);
    EXPECT_TRUE(Dump(m_dst) == Dump(m_src));
}

TEST_F(TreeCopy, FailsBeforeTouchingTheDestinationWithoutATransferBuffer)
{
    SetString(m_src, "value", "1");
    ::RegCloseKey(CreateKey(m_src, L"Sub"));
    g_allocationsLeft = 0;
    g_pfnRegistryBufferAlloc = FailingAfterSomeAllocations;

    EXPECT_EQ(CopyRegistryTree(m_src, m_dst), 0);
    g_pfnRegistryBufferAlloc = DefaultRegistryBufferAlloc;
    EXPECT_EQ(Dump(m_dst), L" class=\n");
}

TEST_F(TreeCopy, FailsWhenALargerBufferCannotBeObtained)
{
    std::vector<BYTE> large(0x20000, 1);
    SetString(m_src, "a", "1");
    SetValue(m_src, L"large", REG_BINARY, large.data(), static_cast<DWORD>(large.size()));
    g_allocationsLeft = 2; // the first transfer buffer and the name buffer
    g_pfnRegistryBufferAlloc = FailingAfterSomeAllocations;

    EXPECT_EQ(CopyRegistryTree(m_src, m_dst), 0);
    g_pfnRegistryBufferAlloc = DefaultRegistryBufferAlloc;
    EXPECT_EQ(ReadRaw(m_dst, L"a").rc, ERROR_SUCCESS);
    EXPECT_EQ(ReadRaw(m_dst, L"large").rc, ERROR_FILE_NOT_FOUND);
}

class TreeRemoval : public TreeCopy {};

TEST_F(TreeRemoval, RemovesANestedTreeCompletely)
{
    ::RegCloseKey(CreateKey(m_src, L"A\\B\\C"));
    ::RegCloseKey(CreateKey(m_src, L"A\\B2"));
    ::RegCloseKey(CreateKey(m_src, L"D"));
    SetString(m_src, "value", "1");

    DeleteRegistryTree(m_baseKey, "Src");
    EXPECT_FALSE(KeyExists(m_baseKey, "Src"));
    EXPECT_TRUE(KeyExists(m_baseKey, "Dst"));
}

TEST_F(TreeRemoval, TakesAPathOfSeveralLevels)
{
    ::RegCloseKey(CreateKey(m_src, L"A\\B\\C"));
    ::RegCloseKey(CreateKey(m_src, L"A\\Sibling"));
    DeleteRegistryTree(m_src, "A\\B");
    EXPECT_FALSE(KeyExists(m_src, "A\\B"));
    EXPECT_TRUE(KeyExists(m_src, "A\\Sibling"));
}

TEST_F(TreeRemoval, MissingPathChangesNothing)
{
    SetString(m_src, "value", "1");
    std::wstring before = Dump(m_baseKey);
    DeleteRegistryTree(m_baseKey, "Nowhere");
    DeleteRegistryTree(m_baseKey, "Nowhere\\Deeper");
    EXPECT_EQ(Dump(m_baseKey), before);
}

TEST_F(TreeRemoval, EmptyPathNeverEmptiesTheParent)
{
    ::RegCloseKey(CreateKey(m_src, L"Child"));
    DeleteRegistryTree(m_src, "");
    DeleteRegistryTree(m_src, "\\\\");
    DeleteRegistryTree(m_src, nullptr);
    EXPECT_TRUE(KeyExists(m_src, "Child"));
}

// A child that cannot be opened keeps its own subkey, so it cannot be
// removed. The removal must still end, and remove everything else it can.
TEST_F(TreeRemoval, EndsWhenAChildCannotBeRemoved)
{
    ::RegCloseKey(CreateKey(m_src, L"A first"));
    ::RegCloseKey(CreateKey(m_src, L"Locked\\Inside"));
    ::RegCloseKey(CreateKey(m_src, L"Z last\\deeper"));
    std::wstring longName(256, L'L');
    ::RegCloseKey(CreateKey(m_src, longName.c_str()));
    DenyFullAccess(m_src, L"Locked");

    DeleteRegistryTree(m_baseKey, "Src");

    EXPECT_TRUE(KeyExists(m_src, "Locked\\Inside"));
    EXPECT_FALSE(KeyExists(m_src, "A first"));
    EXPECT_FALSE(KeyExists(m_src, "Z last"));
    HKEY longChild = nullptr;
    EXPECT_EQ(::RegOpenKeyExW(m_src, longName.c_str(), 0, KEY_READ, &longChild), ERROR_FILE_NOT_FOUND)
        << "a child with a name of 200 characters or more is removed too";
}
