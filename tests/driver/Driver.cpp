#include "tests/driver/Driver.h"
#include <sddl.h>
#include <commctrl.h>
#include <algorithm>
#include <cstdio>
#include <map>
#include "framework/Scoped.h"
#include "framework/Text.h"

namespace driver {

const char* const kStoreRoot = "Software\\Varnolite\\Cobweld";
const char* const kWow64StoreRoot = "Software\\WOW6432Node\\Varnolite\\Cobweld";
const char* const kVirtualStoreRoot =
    "Software\\Classes\\VirtualStore\\MACHINE\\SOFTWARE\\WOW6432Node\\Varnolite\\Cobweld";

namespace {

const char kProfileSection[] = "Software\\Varnolite\\COBWELD\\Cobweld";
// A message box's icon static (stc1 of dlgs.h); no dialog of the launcher has one.
const int kMessageBoxIconId = 0x0440;

std::string Utf8(const std::wstring& text)
{
    std::string out(text.size() * 3 + 1, '\0');
    out.resize(::WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), &out[0], (int)out.size(), 0, 0));
    return out;
}

struct NoCase {
    bool operator()(const std::wstring& a, const std::wstring& b) const { return ::lstrcmpiW(a.c_str(), b.c_str()) < 0; }
};

void DumpKey(HKEY key, const std::string& relative, bool classes, std::string& out)
{
    // Filled and read before the recursion: one set serves every level.
    static std::vector<wchar_t> keyClass(65536), name(70000), sub(300);
    static std::vector<BYTE> data(4 << 20);
    DWORD size = 65536, nameSize, type;
    ::RegQueryInfoKeyW(key, keyClass.data(), &size, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    out += "[" + relative + "] " + (classes ? Utf8(keyClass.data()) : "") + "\n";
    std::map<std::wstring, std::string, NoCase> values;
    for (DWORD i = 0; nameSize = 70000, size = 4 << 20,
                      !::RegEnumValueW(key, i, name.data(), &nameSize, 0, &type, data.data(), &size); ++i) {
        unsigned long long hash = 1469598103934665603ull;
        std::string bytes;
        for (DWORD b = 0; b < size; ++b) {
            hash = (hash ^ data[b]) * 1099511628211ull;
            bytes += size > 64 ? "" : std::string(1, "0123456789abcdef"[data[b] >> 4]) + "0123456789abcdef"[data[b] & 15];
        }
        values[std::wstring(name.data(), nameSize)] = " type=" + std::to_string(type) + " size=" + std::to_string(size) +
                                                      " " + (size > 64 ? std::to_string(hash) : bytes);
    }
    for (const auto& value : values)
        out += "  \"" + Utf8(value.first) + "\"" + value.second + "\n";
    std::map<std::wstring, int, NoCase> subkeys;
    for (DWORD i = 0; nameSize = 300, !::RegEnumKeyExW(key, i, sub.data(), &nameSize, 0, 0, 0, 0); ++i)
        subkeys[sub.data()] = 0;
    for (const auto& subkey : subkeys) {
        HKEY child;
        std::string path = relative + "\\" + Utf8(subkey.first);
        if (::RegOpenKeyExW(key, subkey.first.c_str(), 0, KEY_READ, &child) == ERROR_SUCCESS)
            DumpKey(child, path, classes, out), ::RegCloseKey(child);
        else
            out += "[" + path + "] <unreadable>\n";
    }
}

// The machine-wide store is the 32-bit builds' one: HKLM is always read and
// written in the 32-bit view here.
REGSAM View(HKEY root)
{
    return root == HKEY_LOCAL_MACHINE ? KEY_WOW64_32KEY : 0;
}

HWND FindTopLevel(DWORD processId, const std::function<bool(HWND)>& match)
{
    for (HWND window = ::GetTopWindow(nullptr); window; window = ::GetWindow(window, GW_HWNDNEXT)) {
        DWORD owner = 0;
        char cls[16] = "";
        ::GetWindowThreadProcessId(window, &owner);
        ::GetClassNameA(window, cls, sizeof cls);
        if (owner == processId && ::IsWindowVisible(window) && !lstrcmpA(cls, "#32770") && match(window))
            return window;
    }
    return nullptr;
}

HWND WaitFor(const std::function<HWND()>& find, DWORD timeoutMs)
{
    HWND found = nullptr;
    WaitUntil([&] { return (found = find()) != nullptr; }, timeoutMs);
    return found && Sync(found) ? found : nullptr;
}

std::string Numbered(const char* format, int n)
{
    char name[32];
    return std::string(name, std::snprintf(name, sizeof name, format, n));
}

// A value of the benchmarks' trees: text (REG_SZ, REG_EXPAND_SZ), number
// (REG_DWORD), or size bytes that differ with seed (REG_BINARY).
void SetTreeValue(HKEY key, const std::string& name, DWORD type, const std::string& text, DWORD number, size_t size,
                  unsigned seed)
{
    const std::wstring wide = Widen(text);
    std::string bytes(type == REG_BINARY ? size : 0, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 31 + seed * 7) ^ (i >> 8));
    if (type == REG_DWORD)
        bytes.assign(reinterpret_cast<const char*>(&number), sizeof number);
    else if (type != REG_BINARY)
        bytes.assign(reinterpret_cast<const char*>(wide.c_str()), wide.size() * 2 + 2);
    SetValue(key, "", Widen(name).c_str(), type, bytes.data(), DWORD(bytes.size()));
}

} // namespace

bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs)
{
    for (DWORD start = ::GetTickCount(); !cond(); ::Sleep(25)) {
        if (::GetTickCount() - start >= timeoutMs)
            return cond();
    }
    return true;
}

std::string BinDir()
{
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, path, sizeof path);
    const char* cut = path;
    for (const char* p = path; *p; p = ::CharNextA(p))
        cut = *p == '\\' ? p + 1 : cut;
    return std::string(static_cast<const char*>(path), cut);
}

std::string Dump(HKEY root, const std::string& path, bool classes)
{
    CRegKey key;
    std::string out;
    if (key.Open(root, path.c_str(), KEY_READ | View(root)) != ERROR_SUCCESS)
        return "<missing>";
    DumpKey(key, ".", classes, out);
    return out;
}

std::string DumpSize(const std::string& dump)
{
    unsigned long long keys = 0, values = 0, bytes = 0;
    for (size_t at = 0, end; (end = dump.find('\n', at)) != std::string::npos; at = end + 1) {
        keys += dump[at] == '[';
        const size_t size = dump.compare(at, 3, "  \"") ? std::string::npos : dump.find(" size=", at);
        if (size < end)
            ++values, bytes += std::stoull(dump.substr(size + 6, 12));
    }
    return std::to_string(keys) + " keys, " + std::to_string(values) + " values, " + std::to_string(bytes) + " bytes";
}

bool Exists(HKEY root, const std::string& path)
{
    CRegKey key;
    return key.Open(root, path.c_str(), KEY_READ | View(root)) == ERROR_SUCCESS;
}

std::string GetString(HKEY root, const std::string& path, const char* name)
{
    CRegKey key;
    char data[4096];
    DWORD size = sizeof data;
    return key.Open(root, path.c_str(), KEY_QUERY_VALUE | View(root))
            || ::RegGetValueA(key, nullptr, name, RRF_RT_REG_SZ, nullptr, data, &size)
        ? "<missing>" : data;
}

DWORD GetDword(HKEY root, const std::string& path, const char* name)
{
    CRegKey key;
    DWORD value = 0, size = sizeof value;
    if (!key.Open(root, path.c_str(), KEY_QUERY_VALUE | View(root)))
        ::RegGetValueA(key, nullptr, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

bool SetValue(HKEY root, const std::string& path, const wchar_t* name, DWORD type, const void* data, DWORD size)
{
    // The benchmarks fill big trees through here: no second handle of root.
    if (path.empty())
        return !::RegSetValueExW(root, name, 0, type, static_cast<const BYTE*>(data), size);
    Key key(root, Widen(path));
    return key && SetValue(key, "", name, type, data, size);
}

bool SetString(HKEY root, const std::string& path, const char* name, const std::string& value)
{
    std::wstring text = Widen(value);
    return SetValue(root, path, Widen(name).c_str(), REG_SZ, text.c_str(), DWORD(text.size() + 1) * 2);
}

bool SetDword(HKEY root, const std::string& path, const char* name, DWORD value)
{
    return SetValue(root, path, Widen(name).c_str(), REG_DWORD, &value, sizeof value);
}

void DeleteTree(HKEY root, const std::string& path, REGSAM view)
{
    CRegKey key;
    view = view ? view : View(root);
    if (key.Open(root, path.c_str(), KEY_ALL_ACCESS | view) == ERROR_SUCCESS)
        ::RegDeleteTreeA(key, nullptr);
    key.Close();
    ::RegDeleteKeyExA(root, path.c_str(), view, 0);
}

void SetTreeDacl(HKEY root, const std::string& path, const char* sddl, REGSAM view)
{
    CRegKey dacl;
    CLocalPtr<void> descriptor;
    view = view ? view : View(root);
    if (dacl.Open(root, path.c_str(), WRITE_DAC | view) == ERROR_SUCCESS
        && ::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr))
        ::RegSetKeySecurity(dacl, DACL_SECURITY_INFORMATION, descriptor);
    HKEY key;
    char name[256];
    for (DWORD i = 0, size = 256; !::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) &&
                                  !::RegEnumKeyExA(key, i, name, &size, 0, 0, 0, 0); ++i, size = 256)
        ::RegCloseKey(key), SetTreeDacl(root, path + "\\" + name, sddl, view);
}

Key::Key(HKEY parent, const std::wstring& path, const wchar_t* keyClass)
{
    // Wine 8 erases the class of a key that RegCreateKeyEx opens without one.
    if (keyClass || ::RegOpenKeyExW(parent, path.c_str(), 0, KEY_ALL_ACCESS | View(parent), &h))
        ::RegCreateKeyExW(parent, path.c_str(), 0, const_cast<wchar_t*>(keyClass), 0, KEY_ALL_ACCESS | View(parent), 0,
                          &h, 0);
}

void FillRichTree(HKEY key, bool classes)
{
    std::vector<BYTE> megabyte(1 << 20);
    for (size_t i = 0; i < megabyte.size(); ++i)
        megabyte[i] = static_cast<BYTE>(i * 7 + (i >> 12));
    const BYTE bytes[] = {0, 1, 0x5C, 0x22, 0xFF, 0x0D, 0x0A, 0x80};
    const wchar_t text[] = L"caf\u00e9 \u0394\u263a \"q\" C:\\dir\\";
    const std::wstring longName(300, L'n');
    const struct { const wchar_t* name; DWORD type; const void* data; DWORD size; } values[] = {
        {L"none", REG_NONE, bytes, 8}, {L"sz", REG_SZ, text, sizeof text}, {L"expand", REG_EXPAND_SZ, L"%TEMP%\\x", 18},
        {L"binary", REG_BINARY, bytes, 8}, {L"dword", REG_DWORD, "\xEF\xBE\xAD\xDE", 4},
        {L"bigEndian", REG_DWORD_BIG_ENDIAN, "\xDE\xAD\xBE\xEF", 4}, {L"link", REG_LINK, L"\\Registry\\A", 22},
        {L"multi", REG_MULTI_SZ, L"one\0tw\u00e9\0", 18}, {L"resources", REG_RESOURCE_LIST, bytes, 8},
        {L"full", REG_FULL_RESOURCE_DESCRIPTOR, bytes, 5}, {L"requirements", REG_RESOURCE_REQUIREMENTS_LIST, bytes, 3},
        {L"qword", REG_QWORD, "\xEF\xCD\xAB\x89gE#\1", 8}, {L"empty", REG_BINARY, nullptr, 0},
        {nullptr, REG_SZ, L"default", 16}, {L"\u00e9\u0394\u263a \"q\" C:\\d\\", REG_SZ, L"x", 4},
        {L"megabyte", REG_BINARY, megabyte.data(), 1 << 20}, {longName.c_str(), REG_BINARY, bytes, 8}};
    for (const auto& value : values)
        ::RegSetValueExW(key, value.name, 0, value.type, static_cast<const BYTE*>(value.data), value.size);
    Key a(key, L"A \u263a", classes ? L"Class" : nullptr), b(a, L"B\u00e9"), c(b, L"C"), empty(key, L"Empty");
    ::RegSetValueExW(c, L"deep", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"\u0394"), 4);
}

void FillOddValues(HKEY key)
{
    const char bytes[] = "o\0n\0e\0\0\0t\0w\0o\0";
    const struct { const wchar_t* name; DWORD type; DWORD size; } values[] = {
        {L"multiUnterminated", REG_MULTI_SZ, 14}, {L"szUnterminated", REG_SZ, 6}, {L"szOdd", REG_SZ, 7},
        {L"expandOdd", REG_EXPAND_SZ, 3}, {L"dword2", REG_DWORD, 2}, {L"dword6", REG_DWORD, 6},
        {L"noneWithData", REG_NONE, 5}, {L"unknownType", 0x12345, 9}};
    for (const auto& value : values) {
        // Given a NUL after the data, the platform would store a terminator
        // that the data lacks.
        std::string data(bytes, value.size);
        data += "\xFF\xFF\xFF";
        ::RegSetValueExW(key, value.name, 0, value.type, reinterpret_cast<const BYTE*>(data.data()), value.size);
    }
}

void BuildTree(HKEY root, const std::string& name)
{
    // Their figures are compared from run to run: names, types and bytes stay as they are.
    const DWORD types[] = {REG_SZ, REG_DWORD, REG_BINARY, REG_EXPAND_SZ};
    CRegKey group, key, chain[2];
    // A program's ordinary settings.
    for (int s = 0; name == "typical" && s < 20; ++s) {
        key.Create(root, Numbered("Section%02d", s).c_str(), KEY_ALL_ACCESS);
        for (int v = 0, n = s * 10; v < 10; ++v, ++n)
            SetTreeValue(key, Numbered("Setting%02d", v), types[v % 4], v % 4 ? "%USERPROFILE%\\Example"
                         : "C:\\Program Files\\Example\\data\\file" + std::to_string(n) + ".dat", s * 1000 + v, 120, n);
    }
    for (int v = 0; name == "wide" && v < 10000; ++v)
        SetTreeValue(root, Numbered("Item%05d", v), types[v % 3], "recent item number " + std::to_string(v), v, 40, v);
    for (int level = 1; name == "deep" && level <= 200; ++level) {
        CRegKey& next = chain[level % 2];
        next.Create(level == 1 ? root : HKEY(chain[(level + 1) % 2]), Numbered("Level%03d", level).c_str(), KEY_ALL_ACCESS);
        SetTreeValue(next, "Name", REG_SZ, Numbered("Level%03d", level), 0, 0, 0);
        SetTreeValue(next, "Depth", REG_DWORD, "", level, 0, 0);
    }
    // 20 groups of 50 keys: every 20th key holds a value of exactly 64 KB,
    // every 100th one of 160 KB besides.
    for (int n = 0; name == "large" && n < 1000; ++n) {
        if (n % 50 == 0)
            group.Create(root, Numbered("Group%02d", n / 50).c_str(), KEY_ALL_ACCESS);
        key.Create(group, Numbered("Key%02d", n % 50).c_str(), KEY_ALL_ACCESS);
        for (int v = 0; v < 10; ++v) {
            const size_t big = v == 9 && n % 20 == 0 ? 0x10000 : v == 8 && n % 100 == 0 ? 160 * 1024 : 0;
            SetTreeValue(key, Numbered("Value%d", v), big ? REG_BINARY : types[v % 3], "some text of medium length for key "
                         + std::to_string(n), n * 10 + v, big ? big : 256, big ? n : n * 10 + v);
        }
    }
    // The recent files or the cache of a program that never forgets.
    for (int n = 0; name == "huge" && n < 40000; ++n) {
        key.Create(root, Numbered("Entry%05d", n).c_str(), KEY_ALL_ACCESS);
        SetTreeValue(key, "Path", REG_SZ, "C:\\Users\\Example\\Documents\\document " + std::to_string(n) + ".txt", 0, 0, 0);
        SetTreeValue(key, "Opened", REG_DWORD, "", n, 0, 0);
        SetTreeValue(key, "State", REG_BINARY, "", 0, 24, n);
    }
}

void WriteStoreEntry(int index, const StoreEntry& e, HKEY root)
{
    const std::string path = EntryPath(index);
    for (auto text : {std::make_pair("Title", &e.title), std::make_pair("CommandLine", &e.commandLine),
                      std::make_pair("Directory", &e.directory), std::make_pair("Registry", &e.registry),
                      std::make_pair("IconPath", &e.iconPath)})
        SetString(root, path, text.first, *text.second);
    for (auto number : {std::make_pair("Icon", e.runMinimized), std::make_pair("iSave", e.saveSlot),
                        std::make_pair("IconIndex", e.iconIndex), std::make_pair("RetrieveAgain", e.retrieveAgain)})
        SetDword(root, path, number.first, number.second);
}

std::vector<std::string> StoredTitles(HKEY root)
{
    std::vector<std::string> titles;
    while (Dump(root, EntryPath((int)titles.size())) != "<missing>")
        titles.push_back(GetString(root, EntryPath((int)titles.size()), "Title"));
    return titles;
}

void SetProfileInt(const char* name, DWORD value)
{
    SetDword(HKEY_CURRENT_USER, kProfileSection, name, value);
}

void WipeLauncherState()
{
    // Both views: a 64-bit build once kept its store in the 64-bit one.
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        SetTreeDacl(HKEY_LOCAL_MACHINE, "Software\\Varnolite", "D:P(A;OICI;KA;;;WD)", view);
        DeleteTree(HKEY_LOCAL_MACHINE, kStoreRoot, view);
    }
    DeleteTree(HKEY_CURRENT_USER, kVirtualStoreRoot);
    DeleteTree(HKEY_CURRENT_USER, "Software\\Varnolite");
    RemoveFiles(Expand(L"%LOCALAPPDATA%\\Varnolite"));
}

std::wstring Expand(const std::wstring& path)
{
    wchar_t expanded[4096] = L"";
    ::ExpandEnvironmentStringsW(path.c_str(), expanded, 4096);
    return expanded;
}

std::wstring ExtendedPath(const std::wstring& path)
{
    return path.compare(0, 4, L"\\\\?\\") == 0 ? path : L"\\\\?\\" + path;
}

void RemoveFiles(const std::wstring& path)
{
    const std::wstring full = ExtendedPath(path);
    DWORD attributes = ::GetFileAttributesW(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        WIN32_FIND_DATAW found;
        HANDLE find = ::FindFirstFileW((full + L"\\*").c_str(), &found);
        for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = ::FindNextFileW(find, &found))
            if (wcscmp(found.cFileName, L".") && wcscmp(found.cFileName, L".."))
                RemoveFiles(path + L"\\" + found.cFileName);
        if (find != INVALID_HANDLE_VALUE)
            ::FindClose(find);
    }
    ::SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!::DeleteFileW(full.c_str()))
        ::RemoveDirectoryW(full.c_str());
}

ULONGLONG WrittenAt(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(ExtendedPath(path).c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

std::wstring DumpFiles(const std::wstring& root, bool times, const std::wstring& relative)
{
    const DWORD shown = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY
        | FILE_ATTRIBUTE_REPARSE_POINT;
    auto text = [](const FILETIME& t) { return L" " + std::to_wstring((ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime); };
    std::vector<std::wstring> lines;
    WIN32_FIND_DATAW found;
    CFindHandle search(::FindFirstFileW((ExtendedPath(root) + relative + L"\\*").c_str(), &found));
    for (BOOL more = search.IsValid(); more; more = ::FindNextFileW(search, &found)) {
        const std::wstring name = found.cFileName, path = relative + L"\\" + name;
        if (name == L"." || name == L"..")
            continue;
        std::wstring line = path.substr(1) + L" " + std::to_wstring(found.dwFileAttributes & shown);
        if (times)
            line += text(found.ftCreationTime) + text(found.ftLastWriteTime);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            line += L" link";
        else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            line += L"\n" + DumpFiles(root, times, path);
        else
            line += L" " + std::to_wstring(std::hash<std::string>()(ReadBytes(root + path)));
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    std::wstring all;
    for (const std::wstring& line : lines)
        all += line + L"\n";
    return all;
}

std::string ReadBytes(const std::wstring& path)
{
    CHandle file(::CreateFileW(ExtendedPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size = {};
    std::string bytes(file.IsValid() && ::GetFileSizeEx(file, &size) ? size_t(size.QuadPart) : 0, '\0');
    DWORD got = 0;
    return bytes.empty() || (::ReadFile(file, &bytes[0], DWORD(bytes.size()), &got, nullptr) && got == bytes.size()) ? bytes : "";
}

bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    CHandle file(::CreateFileW(ExtendedPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return file.IsValid() && ::WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) && written == bytes.size();
}

bool Process::Start(const std::string& exePath, const std::string& arguments, bool quiet)
{
    // What a test starts (and what that starts) ends with the test program,
    // also when a timeout kills it: a launcher left running would refuse
    // every later test's.
    static HANDLE job = [] {
        HANDLE created = ::CreateJobObjectA(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        ::SetInformationJobObject(created, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        return created;
    }();
    Kill();
    std::string commandLine = "\"" + exePath + "\"" + (arguments.empty() ? "" : " " + arguments);
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    CHandle nul(quiet ? ::CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                                      OPEN_EXISTING, 0, nullptr) : nullptr);
    STARTUPINFOA startup = {sizeof startup};
    if (quiet)
        startup.dwFlags = STARTF_USESTDHANDLES, startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
    if (!::CreateProcessA(exePath.c_str(), &commandLine[0], 0, 0, quiet, CREATE_SUSPENDED | (quiet ? CREATE_NO_WINDOW : 0), 0,
                          0, &startup, &m_info))
        return (m_info = PROCESS_INFORMATION()), false;
    ::AssignProcessToJobObject(job, m_info.hProcess);
    ::ResumeThread(m_info.hThread);
    return true;
}

bool Process::WaitExit(DWORD timeoutMs) const
{
    return m_info.hProcess && ::WaitForSingleObject(m_info.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

void Process::Kill()
{
    if (Running())
        ::TerminateProcess(m_info.hProcess, 255), ::WaitForSingleObject(m_info.hProcess, 5000);
    if (m_info.hProcess)
        ::CloseHandle(m_info.hProcess), ::CloseHandle(m_info.hThread);
    m_info = PROCESS_INFORMATION();
}

long Run(const std::string& exePath, const std::string& arguments, DWORD timeoutMs)
{
    Process process;
    DWORD code = 0;
    return process.Start(exePath, arguments, true) && process.WaitExit(timeoutMs) &&
                   ::GetExitCodeProcess(process.Handle(), &code) ? long(code) : -1;
}

HWND Process::WaitMainWindow(DWORD timeoutMs) const
{
    return WaitFor([&] { return FindMainWindow(m_info.dwProcessId); }, timeoutMs);
}

std::string WindowText(HWND window)
{
    char text[1024] = "";
    ::GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string ItemText(HWND dialog, int id)
{
    char text[1024] = "";
    ::SendDlgItemMessageA(dialog, id, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

HWND FindMainWindow(DWORD processId)
{
    return FindTopLevel(processId, [](HWND w) { return WindowText(w).compare(0, 7, "Cobweld") == 0 && ::GetDlgItem(w, 1001); });
}

HWND FindOtherDialog(DWORD processId, HWND window)
{
    return FindTopLevel(processId, [window](HWND w) { return w != window; });
}

HWND WaitDialog(DWORD processId, const std::string& caption, DWORD timeoutMs)
{
    return WaitFor([&] { return FindTopLevel(processId, [&](HWND w) { return WindowText(w) == caption; }); }, timeoutMs);
}

HWND FindMessageBox(DWORD processId)
{
    return FindTopLevel(processId, [](HWND w) { return ::GetDlgItem(w, kMessageBoxIconId) != nullptr; });
}

HWND WaitMessageBox(DWORD processId, DWORD timeoutMs)
{
    return WaitFor([&] { return FindMessageBox(processId); }, timeoutMs);
}

std::string DescribeMessageBox(HWND box)
{
    static const std::map<int, std::string> kButtons = {{IDOK, "OK"}, {IDCANCEL, "Cancel"}, {IDYES, "Yes"}, {IDNO, "No"}};
    std::string text, buttons;
    for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        char cls[16] = "";
        ::GetClassNameA(child, cls, sizeof cls);
        LONG style = ::GetWindowLongA(child, GWL_STYLE);
        if (!lstrcmpA(cls, "Static") && (style & SS_TYPEMASK) != SS_ICON && text.empty())
            text = WindowText(child);
        if (!lstrcmpA(cls, "Button") && (style & WS_VISIBLE) && kButtons.count(::GetDlgCtrlID(child)))
            buttons += (buttons.empty() ? "" : " ") + kButtons.at(::GetDlgCtrlID(child)) +
                       ((style & BS_TYPEMASK) == BS_DEFPUSHBUTTON ? "*" : "");
    }
    return WindowText(box) + "|" + text + "|" + buttons;
}

bool Answer(HWND box, int buttonId)
{
    Click(box, buttonId);
    return WaitUntil([&] { return !::IsWindow(box) || !::IsWindowVisible(box); });
}

void Click(HWND dialog, int id)
{
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)::GetDlgItem(dialog, id));
}

bool Press(HWND dialog, int id)
{
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)::GetDlgItem(dialog, id),
                                 SMTO_NORMAL, kTimeout, &result) != 0;
}

void SelectRow(HWND dialog, int listId, int row)
{
    HWND list = ::GetDlgItem(dialog, listId);
    ::SendMessageA(list, LB_SETCURSEL, (WPARAM)row, 0);
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(listId, LBN_SELCHANGE), (LPARAM)list);
}

bool Sync(HWND window)
{
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, kTimeout, &result) != 0;
}

namespace {
// Memory in the process of window, where its list view's messages find it.
struct RemoteItem {
    explicit RemoteItem(HWND window)
    {
        DWORD id = 0;
        ::GetWindowThreadProcessId(window, &id);
        process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, id);
        at = static_cast<BYTE*>(::VirtualAllocEx(process, nullptr, 4096, MEM_COMMIT, PAGE_READWRITE));
    }
    ~RemoteItem() { ::VirtualFreeEx(process, at, 0, MEM_RELEASE), ::CloseHandle(process); }
    LVITEMW* Put(LVITEMW item)
    {
        ::WriteProcessMemory(process, at, &item, sizeof item, nullptr);
        return reinterpret_cast<LVITEMW*>(at);
    }
    HANDLE process;
    BYTE* at;
};
}

std::vector<std::string> ListViewRows(HWND list)
{
    RemoteItem remote(list);
    wchar_t* text = reinterpret_cast<wchar_t*>(remote.at + sizeof(LVITEMW));
    const int rows = (int)::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
    const int columns = (int)::SendMessageW((HWND)::SendMessageW(list, LVM_GETHEADER, 0, 0), HDM_GETITEMCOUNT, 0, 0);
    std::vector<std::string> out;
    for (int row = 0; row < rows; ++row) {
        std::string cells;
        for (int column = 0; column < columns; ++column) {
            LVITEMW item = {};
            item.iSubItem = column, item.pszText = text, item.cchTextMax = 1000;
            wchar_t cell[1000] = L"";
            ::SendMessageW(list, LVM_GETITEMTEXTW, row, (LPARAM)remote.Put(item));
            ::ReadProcessMemory(remote.process, text, cell, sizeof cell - sizeof(wchar_t), nullptr);
            cells += (column ? "|" : "") + Narrow(cell);
        }
        out.push_back(cells);
    }
    return out;
}

void SelectListViewRow(HWND list, int row)
{
    RemoteItem remote(list);
    LVITEMW item = {};
    item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(list, LVM_SETITEMSTATE, row, (LPARAM)remote.Put(item));
}

bool ChooseFile(DWORD processId, const std::string& caption, const std::string& path)
{
    // The file name field: cmb13 in the explorer-style dialog, edt1 otherwise.
    HWND browser = WaitDialog(processId, caption), name = nullptr;
    if (!browser || !WaitUntil([&] {
            for (int id : {0x47c, 0x480})
                if ((name = ::GetDlgItem(browser, id)) && ::IsWindowVisible(name))
                    return true;
            return false;
        }))
        return false;
    ::SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    Click(browser, IDOK);
    return WaitUntil([&] { return !::IsWindow(browser) || !::IsWindowVisible(browser); });
}

} // namespace driver
