// Registry files: ours against Wine's own reg.exe, both ways, and the files
// an import refuses.
#include <gtest/gtest.h>
#include "registry/RegFile.h"
#include "framework/Text.h"
#include "tests/driver/Driver.h"

using namespace driver;

namespace {

// Each test has its own keys HKCU\Software\CobweldTest\RegFile\<test>\... and
// its own files <temp>\<test>.a.reg and .b.reg.
class RegFile : public ::testing::Test {
protected:
    static std::wstring Test() { return Widen(::testing::UnitTest::GetInstance()->current_test_info()->name()); }
    static std::wstring Base() { return L"Software\\CobweldTest\\RegFile\\" + Test(); }
    static std::wstring FullName(const wchar_t* key) { return L"HKEY_CURRENT_USER\\" + Base() + L"\\" + key; }
    ~RegFile() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, Base().c_str()), DeleteFileW(m_a.c_str()), DeleteFileW(m_b.c_str()); }
    const bool m_leftoversRemoved = (::RegDeleteTreeW(HKEY_CURRENT_USER, Base().c_str()), true); // before the keys are made
    Key m_base{HKEY_CURRENT_USER, Base()}, m_src{m_base, L"Src"}, m_dst{m_base, L"Dst"};
    const std::wstring m_a = _wgetenv(L"TEMP") + (L"\\" + Test()) + L".a.reg", m_b = m_a + L".b";
};

void SetValue(HKEY key, const wchar_t* name, DWORD type, const void* data, DWORD size)
{
    driver::SetValue(key, "", name, type, data, size);
}

// Wine's own reg.exe, run to its end.
bool RunReg(const std::wstring& arguments) { return Run("C:\\windows\\system32\\reg.exe", Narrow(arguments), 60000) != -1; }

} // namespace

// Our file is read back to the byte, and reg.exe's export is ours to the byte.
// Left out for reg.exe, as it cannot carry them: its export cuts REG_SZ data at
// a NUL or an odd byte, writes empty REG_SZ data as "" and any REG_DWORD as four
// bytes; its import adds a terminator to odd-sized hex(1) data. Text with
// control characters it writes as an escaped string, not as hex(1). Last, a
// failed export leaves the earlier file as it was.
TEST_F(RegFile, RoundTripsEveryValueAndMatchesTheSystemsRegExeBothWays)
{
    FillRichTree(m_src, false);
    // What only the text form or reg.exe get wrong.
    const struct { const wchar_t* name; DWORD type; const void* data; DWORD size; } values[] = {
        {L"odd", REG_SZ, "a\0b", 3}, {L"nul", REG_SZ, L"a\0b", 8}, {L"control", REG_SZ, L"a\tb\r\n", 12},
        {L"emptySz", REG_SZ, nullptr, 0}, {L"shortDword", REG_DWORD, "\1\2", 2},
        {L"line\r\nbreak", REG_DWORD, "\1\0\0\0", 4}};
    for (const auto& value : values)
        SetValue(m_src, value.name, value.type, value.data, value.size);
    RegFileError error;
    ASSERT_TRUE(ExportRegFile(m_src, FullName(L"Src"), m_a));
    EXPECT_TRUE(ImportRegFile(m_a, m_dst, &error)) << error.kind << " line " << error.line;
    EXPECT_EQ(Dump(m_dst, "", false), Dump(m_src, "", false));

    for (const wchar_t* lossy : {L"odd", L"nul", L"control", L"emptySz", L"shortDword"})
        ::RegDeleteValueW(m_src, lossy);
    ASSERT_TRUE(ExportRegFile(m_src, FullName(L"Src"), m_a));
    ASSERT_TRUE(RunReg(L"export \"" + FullName(L"Src") + L"\" \"" + m_b + L"\" /y"));
    const std::string ours = ReadBytes(m_a), theirs = ReadBytes(m_b);
    EXPECT_TRUE(ours == theirs) << ours.size() << " and " << theirs.size() << " bytes";
    EXPECT_TRUE(ImportRegFile(m_b, Key(m_base, L"FromRegExe"), nullptr));
    EXPECT_EQ(Dump(m_base, "FromRegExe", false), Dump(m_src, "", false));
    ASSERT_TRUE(ExportRegFile(m_src, FullName(L"ByRegExe"), m_a));
    ASSERT_TRUE(RunReg(L"import \"" + m_a + L"\""));
    EXPECT_EQ(Dump(m_base, "ByRegExe", false), Dump(m_src, "", false));

    Key(m_src, L"A \u263a\\cannot\nbe written");
    EXPECT_FALSE(ExportRegFile(m_src, FullName(L"Src"), m_b));
    EXPECT_TRUE(ReadBytes(m_b) == theirs);
}

TEST_F(RegFile, RefusesBadFilesWithTheFaultAndItsLine)
{
    using E = RegFileError;
    const std::wstring head = L"\uFEFFWindows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n";
    const struct { std::wstring text; E::Kind kind; int line; } cases[] = {
        {L"", E::NOT_A_REG_FILE, 0}, {L"\uFEFF[HKEY_CURRENT_USER\\A]\r\n", E::NOT_A_REG_FILE, 0},
        {L"\uFEFFREGEDIT4\r\n\"v\"=\"x\"\r\n", E::MALFORMED, 2}, {head + L"\"v\"=\"open\r\n", E::MALFORMED, 4},
        {head + L"\"v\"=\"x\\0\"\r\n", E::MALFORMED, 4}, {head + L"\"v\"=hex:00,1g\r\n", E::MALFORMED, 4},
        {head + L"\"v\"=hex:00,\\\r\n\r\n  01,100\r\n", E::MALFORMED, 6}, {head + L"@=str:\"\"\r\n", E::MALFORMED, 4},
        {head + L"\"v\"=dword:123456789\r\n", E::MALFORMED, 4}, {head + L"\"v\"=hex:0 1\r\n", E::MALFORMED, 4},
        {head + L"[HKEY_CURRENT_USER\\A\\\\B]\r\n", E::MALFORMED, 4}, {head + L"[HKLM\\A]\r\n", E::OUTSIDE_ROOT, 4},
        {head + L"[HKEY_CURRENT_USER\\AB\\C]\r\n", E::OUTSIDE_ROOT, 4}, {head + L"@ = - \r\n", E::DELETION, 4},
        {head + L"[-HKEY_CURRENT_USER\\A\\B]\r\n", E::DELETION, 4}, {L"", E::UNREADABLE, 0}};
    for (const auto& c : cases) {
        WriteBytes(m_a, std::string(reinterpret_cast<const char*>(c.text.data()), c.text.size() * 2));
        RegFileError error; // m_b is never written
        EXPECT_TRUE(!ImportRegFile(c.kind == E::UNREADABLE ? m_b : m_a, m_dst, &error) && error.kind == c.kind &&
                    error.line == c.line) << Narrow(c.text) << ": " << error.kind << " line " << error.line;
    }
}

// In code page 932 表 (95 5c) and ソ (83 5c) end in a backslash byte; text
// and string hex lists of a REGEDIT4 file are in that code page.
TEST_F(RegFile, ReadsRegedit4TextAndStringHexListsInTheAnsiCodePage)
{
    WriteBytes(m_a, "REGEDIT4\r\n\r\n; " + Narrow(L"日本語") + "\r\n[HKCU\\Software\\" + Narrow(L"表") + "]\r\n\"" +
                        Narrow(L"名前ソ") + "\" = \"" + Narrow(L"値ソ\\\\表") + "\"\r\n\"e\"=hex(2):25,54,45,4d,50,25,5c,95,\\\r\n  5c\r\n" +
                        "[HKEY_CURRENT_USER\\software\\" + Narrow(L"表\\子ソ") + "]\r\n@=\"" + Narrow(L"ｶﾅ") + "\"\r\n");
    EXPECT_TRUE(ImportRegFile(m_a, m_dst, nullptr));
    SetValue(m_src, L"名前ソ", REG_SZ, L"値ソ\\表", 10);
    SetValue(m_src, L"e", REG_EXPAND_SZ, L"%TEMP%\\表", 18);
    SetValue(Key(m_src, L"子ソ"), nullptr, REG_SZ, L"ｶﾅ", 6);
    EXPECT_EQ(Dump(m_dst, "", false), Dump(m_src, "", false));
}
