// Key-tree copy and removal against Wine's real registry.
#include <gtest/gtest.h>
#include <algorithm>
#include <functional>
#include "framework/Text.h"
#include "registry/RegistryTree.h"
#include "registry/KeyTreeRecord.h"
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

// A copy's record tells every change the fingerprint sees, reading only what
// was written since: a value written again as it was, or a subkey added and
// removed again, moves last-write times but changes nothing. A record is
// kept as bytes; an older launcher's fingerprint-only record is no record.
TEST_F(Registry, TheCheckAgainstACopysRecordSeesEveryChangeButWhatWasWrittenAgainAsItWas)
{
    SetString(m_src, "", "top", "1");
    SetValue(m_src, "A", L"s", REG_SZ, L"text", 10);
    SetString(m_src, "A\\B", "v", "deep");
    Key(m_src, L"A\\Window", L"Layout"), Key(m_src, L"C");
    const struct { const char* change; std::function<void(HKEY)> make; bool seen; } cases[] = {
        {"nothing", [](HKEY) {}, false},
        {"written again", [](HKEY t) {
             SetString(t, "A\\B", "v", "other"), SetString(t, "A\\B", "v", "deep");
             Key(t, L"A\\Tmp"), DeleteTree(t, "A\\Tmp");
         }, false},
        {"a value deep down", [](HKEY t) { SetString(t, "A\\B", "v", "changed"); }, true},
        {"a type only", [](HKEY t) { SetValue(t, "A", L"s", REG_EXPAND_SZ, L"text", 10); }, true},
        {"a class only", [](HKEY t) { DeleteTree(t, "A\\Window"), Key(t, L"A\\Window", L"Other"); }, true},
        {"a subkey renamed", [](HKEY t) { RenameRegistryKey(t, "C", "D"); }, true},
        {"an empty subkey added", [](HKEY t) { Key(t, L"A\\B\\New"); }, true},
        {"a subkey removed", [](HKEY t) { DeleteTree(t, "C"); }, true},
        {"a value removed", [](HKEY t) { ::RegDeleteKeyValueW(t, L"A\\B", L"v"); }, true},
    };
    for (const auto& c : cases) {
        Key copy(m_dst, Widen(c.change));
        CKeyTreeRecord made, kept;
        CTreeWalk walk;
        walk.record = &made;
        ASSERT_EQ(CopyRegistryTree(m_src, copy, &walk), 1);
        c.make(copy);
        const std::vector<BYTE> bytes = made.Bytes();
        ASSERT_TRUE(kept.Read(bytes.data(), bytes.size()));
        CTreeFingerprint now;
        walk = CTreeWalk();
        walk.fingerprint = &now;
        ASSERT_TRUE(WalkRegistryTree(copy, walk));
        EXPECT_EQ(CheckTree(copy, kept), c.seen ? TreeChange::CHANGED : TreeChange::UNCHANGED) << c.change;
        EXPECT_EQ(now.Value() != kept.Fingerprint(), c.seen) << c.change;
        EXPECT_TRUE(kept.Count().keys == 5 && kept.Count().values == 3 && kept.Count().bytes == 24);
    }
    const BYTE fingerprintOnly[12] = {7};
    EXPECT_FALSE(CKeyTreeRecord().Read(fingerprintOnly, sizeof fingerprintOnly));
}

// Progress moves within a key of values alone, and through a tree never
// goes back; a stop asked for inside a big key ends the copy at once, which
// fails, and ends the check undecided.
TEST_F(Registry, ProgressMovesWithinAKeyAndAStopInsideABigKeyEndsTheWorkThere)
{
    Key big(m_src, L"A\\Big");
    for (DWORD i = 0; i < 300; ++i)
        ::RegSetValueExW(big, std::to_wstring(i).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&i), 4);
    SetDword(m_src, "Z", "last", 1);
    std::vector<double> heard;
    CKeyTreeRecord record;
    CTreeWalk walk;
    walk.record = &record;
    walk.progress = CWorkProgress([&](double done) { heard.push_back(done); return true; });
    ASSERT_EQ(CopyRegistryTree(big, Key(m_dst, L"Big"), &walk), 1);
    EXPECT_GT(std::count_if(heard.begin(), heard.end(), [](double done) { return done > 0.1 && done < 0.9; }), 200);
    heard.clear();
    ASSERT_EQ(CopyRegistryTree(m_src, Key(m_dst, L"Tree"), &walk), 1);
    EXPECT_TRUE(std::is_sorted(heard.begin(), heard.end()) && heard.back() == 1.0 && heard.size() > 300);

    heard.clear();
    walk.progress = CWorkProgress([&](double done) { heard.push_back(done); return heard.size() < 50; });
    EXPECT_EQ(CopyRegistryTree(m_src, Key(m_dst, L"Stopped"), &walk), 0);
    DWORD copied = 0;
    ::RegQueryInfoKeyW(Key(m_dst, L"Stopped\\A\\Big"), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &copied,
                       nullptr, nullptr, nullptr, nullptr);
    EXPECT_TRUE(copied > 0 && copied < 50 && heard.size() == 50) << copied;
    EXPECT_EQ(CheckTree(m_src, record, walk.progress), TreeChange::UNKNOWN);
}
