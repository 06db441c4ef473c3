#include "registry/RegFile.h"
#include "framework/Scoped.h"
#include "framework/Text.h"
#include "registry/TreeWalk.h"
#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <vector>
#include "registry/RegistryTree.h"

// Both directions use the wide registry functions, so names and data outside
// the ANSI code page survive. Text passes through the code page only where the
// REGEDIT4 format itself keeps it there.

namespace {

const wchar_t HEADER_5[] = L"Windows Registry Editor Version 5.00";
const wchar_t HEADER_4[] = L"REGEDIT4";
const wchar_t HEX_DIGITS[] = L"0123456789abcdef";

// ---- Writing ----

// Lowercase hexadecimal, at least minDigits long.
std::wstring Hex(DWORD value, size_t minDigits)
{
    std::wstring text;
    do {
        text.insert(text.begin(), HEX_DIGITS[value & 15]);
        value >>= 4;
    } while (value || text.size() < minDigits);
    return text;
}

// A name or text in quotes, escaped as regedit escapes it. Line breaks can
// only come from a value name here: string data with them is written as hex.
std::wstring Quoted(const std::wstring& text)
{
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        if (c == L'\r' || c == L'\n')
            out += c == L'\r' ? L"\\r" : L"\\n";
        else
            out += (c == L'\\' || c == L'"' ? L"\\" : L"") + std::wstring(1, c);
    }
    return out + L'"';
}

// REG_SZ data that the "text" form gives back unchanged: whole UTF-16 units,
// one terminating NUL and no other, and no control characters (a reader that
// trims blanks or splits lines would change them).
bool PlainString(const BYTE* data, DWORD size, std::wstring& text)
{
    if (size < sizeof(wchar_t) || size % sizeof(wchar_t))
        return false;
    text.assign(size / sizeof(wchar_t), L'\0');
    std::memcpy(&text[0], data, size);
    if (text.back() != L'\0')
        return false;
    text.pop_back();
    return std::none_of(text.begin(), text.end(), [](wchar_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); });
}

// One value with its line end. Hex lists wrap as regedit wraps them: the
// column counts the name and the type tag, then three for each "xx,", and the
// line breaks after the comma that reaches column 77.
void AppendValue(std::wstring& out, const std::wstring& name, DWORD type, const BYTE* data, DWORD size)
{
    std::wstring line = name.empty() ? L"@=" : Quoted(name) + L"=", text;
    if (type == REG_SZ && PlainString(data, size, text)) {
        out += line + Quoted(text) + L"\r\n";
        return;
    }
    if (type == REG_DWORD && size == sizeof(DWORD)) {
        DWORD value;
        std::memcpy(&value, data, sizeof value);
        out += line + L"dword:" + Hex(value, 8) + L"\r\n";
        return;
    }
    line += type == REG_BINARY ? std::wstring(L"hex:") : L"hex(" + Hex(type, 1) + L"):";
    size_t column = line.size();
    out += line;
    for (DWORD i = 0; i < size; ++i) {
        out += HEX_DIGITS[data[i] >> 4];
        out += HEX_DIGITS[data[i] & 15];
        if (i + 1 == size)
            break;
        out += L',';
        column += 3;
        if (column >= 77) {
            out += L"\\\r\n  ";
            column = 2;
        }
    }
    out += L"\r\n";
}

// Writes each key the walk enters as a section of the file: the key's
// name, its values, an empty line.
class CExporter : public CTreeVisitor {
public:
    CExporter(const std::wstring& rootName, std::wstring& out) : m_root(rootName), m_out(out) {}

    bool OnKey(const CWalkedKey& key, CKeyReading&) override
    {
        std::wstring name = key.depth ? m_names.back() + L"\\" + std::wstring(key.name, key.nameLength) : m_root;
        // The format has no way to write a line break in a key name.
        if (name.find_first_of(L"\r\n") != std::wstring::npos)
            return false;
        m_out += L"[" + name + L"]\r\n";
        m_names.push_back(std::move(name));
        return true;
    }
    bool OnValue(const wchar_t* name, DWORD nameLength, DWORD type, const BYTE* data, DWORD size) override
    {
        AppendValue(m_out, std::wstring(name, nameLength), type, data, size);
        return true;
    }
    bool OnValuesDone() override
    {
        m_out += L"\r\n";
        return true;
    }
    bool OnKeyDone() override
    {
        m_names.pop_back();
        return true;
    }

private:
    const std::wstring& m_root;
    std::wstring& m_out;
    std::vector<std::wstring> m_names; // of the keys entered and not yet left
};

// A key's values by name (as the registry matches names: without case) and
// its subkeys' names.
struct CNoCase {
    bool operator()(const std::wstring& a, const std::wstring& b) const
    {
        return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_LESS_THAN;
    }
};
struct CKeyContent {
    std::map<std::wstring, std::pair<DWORD, std::vector<BYTE>>, CNoCase> values;
    std::set<std::wstring, CNoCase> subkeys;
};

bool ReadKeyContent(HKEY key, CKeyContent& content)
{
    std::vector<wchar_t> name(16384);
    std::vector<BYTE> data(0x10000);
    for (DWORD index = 0;;) {
        DWORD nameLength = static_cast<DWORD>(name.size()), size = static_cast<DWORD>(data.size()), type = REG_NONE;
        LONG rc = ::RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &size);
        if (rc == ERROR_MORE_DATA && size > data.size()) {
            data.resize(size);
            continue;
        }
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS)
            return false;
        content.values[std::wstring(name.data(), nameLength)] = {type, std::vector<BYTE>(data.begin(), data.begin() + size)};
        ++index;
    }
    return ForEachSubkey(key, [&](const wchar_t* subkey) {
        content.subkeys.insert(subkey);
        return true;
    }) || content.subkeys.empty();
}

// The lines that turn base (NULL: a key that does not exist) into target,
// below and at name: the subkeys that target lacks removed, then the key's
// section with the values that differ and the removal of those it lacks,
// then the same for each subkey.
bool AppendDifference(HKEY base, HKEY target, const std::wstring& name, std::wstring& out,
                      const CWorkProgress& progress)
{
    CKeyContent was, is;
    if (name.find_first_of(L"\r\n") != std::wstring::npos || !progress(0) || (base && !ReadKeyContent(base, was))
        || !ReadKeyContent(target, is))
        return false;
    for (const std::wstring& subkey : was.subkeys) {
        if (!is.subkeys.count(subkey))
            out += L"[-" + name + L"\\" + subkey + L"]\r\n\r\n";
    }
    std::wstring section;
    for (const auto& value : is.values) {
        auto old = was.values.find(value.first);
        if (old == was.values.end() || old->second != value.second)
            AppendValue(section, value.first, value.second.first, value.second.second.data(),
                        static_cast<DWORD>(value.second.second.size()));
    }
    for (const auto& value : was.values) {
        if (!is.values.count(value.first))
            section += (value.first.empty() ? std::wstring(L"@") : Quoted(value.first)) + L"=-\r\n";
    }
    if (!base || !section.empty())
        out += L"[" + name + L"]\r\n" + section + L"\r\n";
    for (const std::wstring& subkey : is.subkeys) {
        CRegKey from, to;
        if (to.Open(target, subkey.c_str()) != ERROR_SUCCESS)
            return false;
        bool existed = base && was.subkeys.count(subkey) && from.Open(base, subkey.c_str()) == ERROR_SUCCESS;
        if (!AppendDifference(existed ? static_cast<HKEY>(from) : nullptr, to, name + L"\\" + subkey, out, progress))
            return false;
    }
    return true;
}

// Removes a file that was not finished, unless told it was.
struct CUnfinishedFile {
    std::wstring name;
    ~CUnfinishedFile()
    {
        if (!name.empty())
            ::DeleteFileW(name.c_str());
    }
};

// ---- Reading ----

void SkipBlanks(const std::wstring& s, size_t& i)
{
    while (i < s.size() && (s[i] == L' ' || s[i] == L'\t'))
        ++i;
}

// Nothing but blanks, perhaps followed by a comment, from i on.
bool RestIsEmpty(const std::wstring& s, size_t i)
{
    SkipBlanks(s, i);
    return i == s.size() || s[i] == L';';
}

bool StartsWith(const std::wstring& s, size_t i, const wchar_t* prefix)
{
    return i <= s.size() && s.compare(i, std::wcslen(prefix), prefix) == 0;
}

// One to maxDigits hex digits from i on, and no more digits after them.
bool HexNumber(const std::wstring& s, size_t& i, size_t maxDigits, DWORD& value)
{
    size_t start = i;
    value = 0;
    for (; i < s.size(); ++i) {
        wchar_t c = s[i], lower = c | 0x20; // only 'A'-'F' and 'a'-'f' give 'a'-'f'
        if (c >= L'0' && c <= L'9')
            value = value << 4 | static_cast<DWORD>(c - L'0');
        else if (lower >= L'a' && lower <= L'f')
            value = value << 4 | static_cast<DWORD>(lower - L'a' + 10);
        else
            break;
    }
    return i > start && i - start <= maxDigits;
}

// The text of a quoted string whose opening quote is just before i; i ends
// after the closing quote. False without the closing quote or for an escape
// that regedit never writes.
bool Unquote(const std::wstring& s, size_t& i, std::wstring& text)
{
    text.clear();
    while (i < s.size()) {
        wchar_t c = s[i++];
        if (c == L'"')
            return true;
        if (c == L'\\') {
            c = i < s.size() ? s[i++] : L'\0';
            if (c == L'n' || c == L'r')
                c = c == L'n' ? L'\n' : L'\r';
            else if (c != L'\\' && c != L'"')
                return false;
        }
        text += c;
    }
    return false;
}

bool SameName(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// name with a short root spelled out, so that HKCU\x and HKEY_CURRENT_USER\x match.
std::wstring LongRootName(const std::wstring& name)
{
    static const wchar_t* const roots[][2] = {
        {L"HKCU", L"HKEY_CURRENT_USER"}, {L"HKLM", L"HKEY_LOCAL_MACHINE"}, {L"HKCR", L"HKEY_CLASSES_ROOT"},
        {L"HKU", L"HKEY_USERS"}, {L"HKCC", L"HKEY_CURRENT_CONFIG"}};
    size_t end = std::min(name.find(L'\\'), name.size());
    for (const auto& root : roots)
        if (SameName(name.substr(0, end), root[0]))
            return root[1] + name.substr(end);
    return name;
}

// The registry's order of names: Wine keeps each key's values and subkeys
// in arrays sorted this way, and one added anywhere but at the end moves all
// that follow it.
bool NameBefore(const wchar_t* a, size_t aLength, const wchar_t* b, size_t bLength)
{
    return ::CompareStringOrdinal(a, static_cast<int>(aLength), b, static_cast<int>(bLength), TRUE) == CSTR_LESS_THAN;
}

// Paths level by level, so that a parent comes before its subkeys and the
// subkeys of one key in the registry's order.
bool PathBefore(const std::wstring& a, const std::wstring& b)
{
    for (size_t i = 0, j = 0;; ++i, ++j) {
        if (i >= a.size() || j >= b.size())
            return i >= a.size() && j < b.size();
        size_t aEnd = std::min(a.find(L'\\', i), a.size()), bEnd = std::min(b.find(L'\\', j), b.size());
        if (NameBefore(&a[i], aEnd - i, &b[j], bEnd - j))
            return true;
        if (NameBefore(&b[j], bEnd - j, &a[i], aEnd - i))
            return false;
        i = aEnd;
        j = bEnd;
    }
}

struct CImportedValue {
    std::wstring name;
    DWORD type;
    std::vector<BYTE> data;
    int line;
};

// One [key] section of the file: its path below the root ("" for the root).
struct CImportedKey {
    std::wstring path;
    int line;
    std::vector<CImportedValue> values;
};

// Takes the file line by line, the header first, and writes what it has read
// at the end (or at the first fault). Keys and values are written in the
// registry's order rather than the file's: in the file's order a key of n
// values can cost time in n squared (see NameBefore).
class CImporter {
public:
    typedef RegFileError E;
    CImporter(HKEY destination, RegFileError& error, const CWorkProgress& progress)
        : m_destination(destination), m_error(error), m_progress(progress) {}

    bool IsRegedit4() const { return m_regedit4; }
    // What the lines before this fault asked for is written first: a write
    // that fails there is the first fault of the file.
    bool Fail(E::Kind kind, int line)
    {
        int failedWrite = WriteKeys();
        m_error.kind = failedWrite ? E::WRITE_FAILED : kind;
        m_error.line = failedWrite ? failedWrite : line;
        return false;
    }
    bool Header(const std::wstring& s)
    {
        size_t first = s.find_first_not_of(L" \t");
        std::wstring text = first == std::wstring::npos ? L"" : s.substr(first, s.find_last_not_of(L" \t") + 1 - first);
        m_regedit4 = text == HEADER_4;
        m_headerRead = m_regedit4 || text == HEADER_5;
        return m_headerRead || Fail(E::NOT_A_REG_FILE, 0);
    }
    bool Finish()
    {
        if (!m_headerRead)
            return Fail(E::NOT_A_REG_FILE, 0);
        if (m_inHex)
            SetHexValue();
        int failedWrite = WriteKeys();
        return !failedWrite || Fail(E::WRITE_FAILED, failedWrite);
    }

    bool Line(const std::wstring& s, int number)
    {
        m_line = number;
        if (s.find(L'\0') != std::wstring::npos)
            return Fail(E::MALFORMED, m_line);
        size_t i = 0;
        SkipBlanks(s, i);
        bool empty = i == s.size() || s[i] == L';';
        if (m_inHex)
            return empty || HexLine(s, i);
        if (empty)
            return true;
        if (s[i] == L'[')
            return KeyLine(s, i + 1);
        if (s[i] == L'@' || s[i] == L'"')
            return ValueLine(s, i);
        return Fail(E::MALFORMED, m_line);
    }

private:
    bool KeyLine(const std::wstring& s, size_t i)
    {
        if (i < s.size() && s[i] == L'-')
            return Fail(E::DELETION, m_line);
        // A key name may itself hold ']': the last one closes it.
        size_t end = s.find_last_not_of(L" \t"); // not npos: s[i - 1] is '['
        if (s[end] != L']' || end <= i)
            return Fail(E::MALFORMED, m_line);
        std::wstring name = LongRootName(s.substr(i, end - i));
        if (m_root.empty())
            m_root = m_error.root = name;
        if (SameName(name, m_root)) {
            m_keys.push_back({L"", m_line, {}});
            return true;
        }
        size_t n = m_root.size();
        if (name.size() <= n || name[n] != L'\\' || !SameName(name.substr(0, n), m_root))
            return Fail(E::OUTSIDE_ROOT, m_line);
        std::wstring below = name.substr(n + 1);
        // An empty level (as in "a\\b", "\a" or "a\") names no key.
        if ((L"\\" + below + L"\\").find(L"\\\\") != std::wstring::npos)
            return Fail(E::MALFORMED, m_line);
        m_keys.push_back({below, m_line, {}});
        return true;
    }

    bool ValueLine(const std::wstring& s, size_t i)
    {
        std::wstring name, text;
        if (m_keys.empty() || (s[i++] == L'"' && !Unquote(s, i, name)))
            return Fail(E::MALFORMED, m_line);
        SkipBlanks(s, i);
        if (i == s.size() || s[i] != L'=')
            return Fail(E::MALFORMED, m_line);
        SkipBlanks(s, ++i);
        if (i < s.size() && s[i] == L'-')
            return Fail(E::DELETION, m_line);
        if (i < s.size() && s[i] == L'"') {
            if (!Unquote(s, ++i, text) || !RestIsEmpty(s, i))
                return Fail(E::MALFORMED, m_line);
            return Keep(name, REG_SZ, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
        }
        DWORD number = 0;
        if (StartsWith(s, i, L"dword:")) {
            SkipBlanks(s, i += 6);
            if (!HexNumber(s, i, 8, number) || !RestIsEmpty(s, i))
                return Fail(E::MALFORMED, m_line);
            return Keep(name, REG_DWORD, &number, sizeof number);
        }
        if (StartsWith(s, i, L"hex:"))
            m_type = REG_BINARY, i += 4;
        else if (StartsWith(s, i, L"hex(") && HexNumber(s, i += 4, 8, number) && StartsWith(s, i, L"):"))
            m_type = number, i += 2;
        else
            return Fail(E::MALFORMED, m_line);
        m_name = name;
        m_data.clear();
        m_valueLine = m_line;
        m_inHex = true;
        return HexLine(s, i);
    }

    // A line's part of a hex list: bytes of one or two digits separated by
    // commas, perhaps a comma after the last, and a backslash when the list
    // goes on in the next line.
    bool HexLine(const std::wstring& s, size_t i)
    {
        for (DWORD byte = 0;;) {
            SkipBlanks(s, i);
            if (i == s.size() || s[i] == L';') {
                SetHexValue();
                return true;
            }
            if (s[i] == L'\\')
                return RestIsEmpty(s, i + 1) || Fail(E::MALFORMED, m_line);
            if (!HexNumber(s, i, 2, byte))
                return Fail(E::MALFORMED, m_line);
            m_data.push_back(static_cast<BYTE>(byte));
            SkipBlanks(s, i);
            if (i < s.size() && s[i] == L',')
                ++i;
            else if (i < s.size() && s[i] != L';')
                return Fail(E::MALFORMED, m_line);
        }
    }

    void SetHexValue()
    {
        m_inHex = false;
        if (m_regedit4 && !m_data.empty() && (m_type == REG_SZ || m_type == REG_EXPAND_SZ || m_type == REG_MULTI_SZ)) {
            // REGEDIT4 keeps these in the ANSI code page. Like regedit, add
            // the terminator when it is missing.
            if (m_data.back() != 0)
                m_data.push_back(0);
            std::wstring wide = Widen(std::string(m_data.begin(), m_data.end()));
            const BYTE* bytes = reinterpret_cast<const BYTE*>(wide.data());
            m_data.assign(bytes, bytes + wide.size() * sizeof(wchar_t));
        }
        m_keys.back().values.push_back({m_name, m_type, std::move(m_data), m_valueLine});
        m_data.clear();
    }

    bool Keep(const std::wstring& name, DWORD type, const void* data, size_t size)
    {
        const BYTE* bytes = static_cast<const BYTE*>(data);
        m_keys.back().values.push_back({name, type, std::vector<BYTE>(bytes, bytes + size), m_line});
        return true;
    }

    // Writes the keys read so far and forgets them. Returns the first line
    // (in the file's order) whose key or value could not be written, else 0.
    int WriteKeys()
    {
        // Stable: a key or value that the file sets twice ends as the file's
        // last line says.
        std::stable_sort(m_keys.begin(), m_keys.end(),
                         [](const CImportedKey& a, const CImportedKey& b) { return PathBefore(a.path, b.path); });
        int failed = 0;
        auto failedAt = [&failed](int line) { failed = failed ? std::min(failed, line) : line; };
        size_t written = 0;
        for (CImportedKey& imported : m_keys) {
            if (!m_progress(0.5 + 0.5 * written++ / m_keys.size())) {
                failedAt(imported.line);
                break;
            }
            CRegKey subkey;
            if (!imported.path.empty() &&
                subkey.Create(m_destination, imported.path.c_str(), KEY_SET_VALUE) != ERROR_SUCCESS) {
                failedAt(imported.line);
                continue;
            }
            HKEY key = imported.path.empty() ? m_destination : HKEY(subkey);
            std::stable_sort(imported.values.begin(), imported.values.end(),
                             [](const CImportedValue& a, const CImportedValue& b) {
                                 return NameBefore(a.name.data(), a.name.size(), b.name.data(), b.name.size());
                             });
            for (const CImportedValue& value : imported.values)
                if (::RegSetValueExW(key, value.name.c_str(), 0, value.type, value.data.data(),
                                     static_cast<DWORD>(value.data.size())) != ERROR_SUCCESS)
                    failedAt(value.line);
        }
        m_keys.clear();
        return failed;
    }

    HKEY m_destination;
    RegFileError& m_error;
    CWorkProgress m_progress;
    bool m_headerRead = false, m_regedit4 = false;
    int m_line = 0;
    std::wstring m_root;  // empty until the first key
    std::vector<CImportedKey> m_keys; // read, not yet written
    // A hex list, which may go on over several lines.
    bool m_inHex = false;
    std::wstring m_name;
    DWORD m_type = REG_NONE;
    std::vector<BYTE> m_data;
    int m_valueLine = 0;
};

bool ReadWholeFile(const std::wstring& path, std::string& bytes)
{
    CHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!file.IsValid() || !::GetFileSizeEx(file, &size) || size.QuadPart > 0x40000000)
        return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    return bytes.empty() ||
           (::ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr) && read == bytes.size());
}

bool DecodeUtf8(const std::string& raw, std::wstring& text)
{
    int size = static_cast<int>(raw.size());
    int length = size ? ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, raw.data(), size, nullptr, 0) : 0;
    text.assign(static_cast<size_t>(std::max(length, 0)), L'\0');
    return length > 0 ? ::MultiByteToWideChar(CP_UTF8, 0, raw.data(), size, &text[0], length) == length : !size;
}

// Calls each(start, length, number) for every line of text[0, size): a line
// ends with CR LF, LF or CR, the last perhaps with nothing. Stops at the
// first false.
template <class Char, class Each>
bool ForEachLine(const Char* text, size_t size, Each each)
{
    int number = 0;
    for (size_t start = 0; start < size;) {
        size_t end = start;
        while (end < size && text[end] != Char('\r') && text[end] != Char('\n'))
            ++end;
        if (!each(text + start, end - start, ++number))
            return false;
        start = end + (end + 1 < size && text[end] == Char('\r') && text[end + 1] == Char('\n') ? 2 : 1);
    }
    return true;
}

} // namespace

namespace {

// The text after the header, written whole or not at all.
bool WriteRegFile(const std::wstring& body, const std::wstring& path)
{
    std::wstring text = L"\uFEFF" + std::wstring(HEADER_5) + L"\r\n\r\n" + body;
    // A name of this process's own: two programs exporting to one path at
    // once do not write into one file.
    const std::wstring temporary = path + L"." + std::to_wstring(::GetCurrentProcessId()) + L".tmp";
    CHandle file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                               nullptr));
    if (!file.IsValid())
        return false;
    CUnfinishedFile unfinished{temporary};
    DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t)), written = 0;
    if (!::WriteFile(file, text.data(), bytes, &written, nullptr) || written != bytes || !::FlushFileBuffers(file))
        return false;
    file.Reset();
    if (!::MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return false;
    unfinished.name.clear();
    return true;
}

} // namespace

bool ExportRegFile(HKEY source, const std::wstring& rootName, const std::wstring& path,
                   const CWorkProgress& progress)
{
    // The whole tree is read before the disk is touched.
    std::wstring text;
    CExporter exporter(rootName, text);
    return WalkKeyTree(source, exporter, progress) && WriteRegFile(text, path);
}

bool WriteEmptyRegFile(const std::wstring& path)
{
    return WriteRegFile(std::wstring(), path);
}

bool ExportRegDifference(HKEY base, HKEY target, const std::wstring& rootName, const std::wstring& path,
                         const CWorkProgress& progress)
{
    std::wstring text;
    return AppendDifference(base, target, rootName, text, progress) && WriteRegFile(text, path);
}

bool ImportRegFile(const std::wstring& path, HKEY destination, RegFileError* error,
                   const CWorkProgress& progress)
{
    RegFileError unreported;
    RegFileError& result = error ? *error : unreported;
    result = RegFileError();
    std::string bytes;
    CImporter importer(destination, result, progress);
    if (!ReadWholeFile(path, bytes))
        return importer.Fail(RegFileError::UNREADABLE, 0);
    // Reading the text is the first half of the work, writing the second.
    const size_t total = std::max<size_t>(bytes.size(), 1);
    size_t taken = 0;
    auto take = [&](const std::wstring& line, int number) {
        taken += line.size();
        if (number % 256 == 0 && !progress(0.5 * taken / total))
            return importer.Fail(RegFileError::WRITE_FAILED, number);
        return number == 1 ? importer.Header(line) : importer.Line(line, number);
    };
    bool read;
    if (bytes.compare(0, 2, "\xFF\xFE") == 0) {
        if (bytes.size() % sizeof(wchar_t))
            return importer.Fail(RegFileError::MALFORMED, 0);
        std::wstring text(bytes.size() / sizeof(wchar_t) - 1, L'\0');
        std::memcpy(&text[0], bytes.data() + sizeof(wchar_t), text.size() * sizeof(wchar_t));
        read = ForEachLine(text.data(), text.size(), [&take](const wchar_t* line, size_t length, int number) {
            return take(std::wstring(line, length), number);
        });
    } else {
        // The header is plain ASCII. After it, REGEDIT4 text is in the ANSI
        // code page, and 5.00 text (or any text after a UTF-8 BOM) in UTF-8.
        const bool utf8Bom = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0;
        const size_t skip = utf8Bom ? 3 : 0;
        read = ForEachLine(bytes.data() + skip, bytes.size() - skip, [&](const char* line, size_t length, int number) {
            std::string raw(line, length);
            std::wstring text;
            if (number == 1 || (importer.IsRegedit4() && !utf8Bom))
                text = Widen(raw);
            else if (!DecodeUtf8(raw, text))
                return importer.Fail(RegFileError::MALFORMED, number);
            return take(text, number);
        });
    }
    return read && importer.Finish();
}
