// Times the snapshot copies (CaptureSnapshot, RestoreSnapshot and the bare
// CopyRegistryTree) side by side with the platform's own ways of copying a
// key tree, on five trees built here, and a read-only walk of the source as
// the lower bound. Repetitions of the methods are interleaved; each one's
// set-up (removing or refilling the destination) is not timed. Over an old
// copy, a capture and a restore are also compared with the platform doing
// the same replacement without any safety: RegDeleteTreeA, then RegCopyTreeA.
//
// Usage: bench_treecopy [results-file] [--quick] [--tree typical|wide|deep|large|huge]
#include <windows.h>
#include <shlwapi.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/common/BenchCommon.h"
#include "model/ProgramEntry.h"
#include "registry/RegistryTree.h"
#include "registry/KeyTreeRecord.h"

using namespace bench;

namespace {

const char kBenchKey[] = "Software\\CobweldBench";
// The machine-wide store is in the 32-bit view, which reg.exe and regedit
// (64-bit here) reach by the key that holds it.
const char kSaveKey[] = "Software\\WOW6432Node\\Varnolite\\Cobweld\\Save";
// Capture writes into slot kCaptureSlot + tree; restore reads slot kRestoreSlot + tree.
const int kCaptureSlot = 9000;
const int kRestoreSlot = 9100;

// ---------------------------------------------------------------------------
// The trees

void SetString(HKEY key, const char* name, const std::string& text, DWORD type = REG_SZ)
{
    ::RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>(text.size() + 1));
}

void SetDword(HKEY key, const char* name, DWORD value)
{
    ::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

void SetBinary(HKEY key, const char* name, size_t size, unsigned seed)
{
    std::vector<BYTE> data(size);
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<BYTE>((i * 31 + seed * 7) ^ (i >> 8));
    ::RegSetValueExA(key, name, 0, REG_BINARY, data.data(), static_cast<DWORD>(size));
}

HKEY CreateSub(HKEY parent, const char* name)
{
    HKEY key = nullptr;
    ::RegCreateKeyExA(parent, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    return key;
}

// A program's ordinary settings: 20 sections of 10 values each.
void BuildTypical(HKEY root)
{
    for (int s = 0; s < 20; ++s) {
        char name[32];
        std::snprintf(name, sizeof name, "Section%02d", s);
        HKEY sec = CreateSub(root, name);
        for (int v = 0; v < 10; ++v) {
            char value[32];
            std::snprintf(value, sizeof value, "Setting%02d", v);
            switch (v % 4) {
            case 0: SetString(sec, value, "C:\\Program Files\\Example\\data\\file" + std::to_string(s * 10 + v) + ".dat"); break;
            case 1: SetDword(sec, value, static_cast<DWORD>(s * 1000 + v)); break;
            case 2: SetBinary(sec, value, 120, s * 10 + v); break;
            default: SetString(sec, value, "%USERPROFILE%\\Example", REG_EXPAND_SZ); break;
            }
        }
        ::RegCloseKey(sec);
    }
}

// One key holding 10,000 values.
void BuildWide(HKEY root)
{
    for (int v = 0; v < 10000; ++v) {
        char value[32];
        std::snprintf(value, sizeof value, "Item%05d", v);
        switch (v % 3) {
        case 0: SetString(root, value, "recent item number " + std::to_string(v)); break;
        case 1: SetDword(root, value, static_cast<DWORD>(v)); break;
        default: SetBinary(root, value, 40, v); break;
        }
    }
}

const int kDeepLevels = 200;

// A chain of 200 keys below the root, two values on each level.
void BuildDeep(HKEY root)
{
    HKEY key = nullptr;
    ::RegOpenKeyExA(root, nullptr, 0, KEY_ALL_ACCESS, &key);
    for (int level = 1; level <= kDeepLevels; ++level) {
        char name[32];
        std::snprintf(name, sizeof name, "Level%03d", level);
        HKEY sub = CreateSub(key, name);
        ::RegCloseKey(key);
        key = sub;
        if (!key)
            return;
        SetString(key, "Name", name);
        SetDword(key, "Depth", static_cast<DWORD>(level));
    }
    ::RegCloseKey(key);
}

// 1,000 keys (20 groups of 50) of 10 values: every 20th key holds one value
// of exactly 64 KB, every 100th one of 160 KB.
void BuildLarge(HKEY root)
{
    int n = 0;
    for (int g = 0; g < 20; ++g) {
        char gname[32];
        std::snprintf(gname, sizeof gname, "Group%02d", g);
        HKEY group = CreateSub(root, gname);
        for (int k = 0; k < 50; ++k, ++n) {
            char kname[32];
            std::snprintf(kname, sizeof kname, "Key%02d", k);
            HKEY key = CreateSub(group, kname);
            for (int v = 0; v < 10; ++v) {
                char value[32];
                std::snprintf(value, sizeof value, "Value%d", v);
                if (v == 9 && n % 20 == 0)
                    SetBinary(key, value, 0x10000, n);
                else if (v == 8 && n % 100 == 0)
                    SetBinary(key, value, 160 * 1024, n);
                else if (v % 3 == 0)
                    SetString(key, value, "some text of medium length for key " + std::to_string(n));
                else if (v % 3 == 1)
                    SetDword(key, value, static_cast<DWORD>(n * 10 + v));
                else
                    SetBinary(key, value, 256, n * 10 + v);
            }
            ::RegCloseKey(key);
        }
        ::RegCloseKey(group);
    }
}

const int kHugeKeys = 40000;

// A settings key that grew big: 40,000 subkeys of three values each (the
// recent files or the cache of a program that never forgets).
void BuildHuge(HKEY root)
{
    for (int n = 0; n < kHugeKeys; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "Entry%05d", n);
        HKEY key = CreateSub(root, name);
        SetString(key, "Path", "C:\\Users\\Example\\Documents\\document " + std::to_string(n) + ".txt");
        SetDword(key, "Opened", static_cast<DWORD>(n));
        SetBinary(key, "State", 24, n);
        ::RegCloseKey(key);
    }
}

struct Tree {
    const char* name;
    void (*build)(HKEY);
    int fastReps;  // in-process methods
    int slowReps;  // reg.exe and regedit; 0 leaves them out
    // A tree whose copies take seconds: only the methods that the ratios
    // need, each step told as it ends, each copy checked once.
    bool big;
};

// ---------------------------------------------------------------------------
// Paths and keys

std::string SrcPath(const Tree& t) { return std::string(kBenchKey) + "\\Src\\" + t.name; }
std::string LivePath(const Tree& t) { return std::string(kBenchKey) + "\\Live\\" + t.name; }
std::string SlotPath(int slot) { return std::string(kSaveKey) + "\\" + std::to_string(slot); }

const char* RootShort(HKEY root) { return root == HKEY_CURRENT_USER ? "HKCU" : "HKLM"; }
const char* RootLong(HKEY root) { return root == HKEY_CURRENT_USER ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE"; }

struct Place {
    HKEY root;
    std::string path;
};

void RemoveTree(const Place& p)
{
    ::RegDeleteTreeA(p.root, p.path.c_str());
    ::RegDeleteKeyA(p.root, p.path.c_str());
}

// Copies from into to with the platform's copy; for set-up only.
bool FillFrom(const Place& from, const Place& to)
{
    HKEY src, dst;
    if (::RegOpenKeyExA(from.root, from.path.c_str(), 0, KEY_READ, &src) != ERROR_SUCCESS)
        return false;
    if (::RegCreateKeyExA(to.root, to.path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &dst, nullptr) != ERROR_SUCCESS) {
        ::RegCloseKey(src);
        return false;
    }
    bool ok = ::RegCopyTreeA(src, nullptr, dst) == ERROR_SUCCESS;
    ::RegCloseKey(src);
    ::RegCloseKey(dst);
    return ok;
}

// A previous copy with something stale in it, as a snapshot or live key
// looks before it is replaced. holdsCopy: to holds a copy of from already
// (perhaps with the stale subkey), left by the method before.
bool FillWithOld(const Place& from, const Place& to, bool holdsCopy)
{
    if (!holdsCopy) {
        RemoveTree(to);
        if (!FillFrom(from, to))
            return false;
    }
    HKEY stale;
    if (::RegCreateKeyExA(to.root, (to.path + "\\StaleSubkey").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &stale, nullptr) != ERROR_SUCCESS)
        return false;
    SetString(stale, "Stale", "left over from an older copy");
    ::RegCloseKey(stale);
    return true;
}

// ---------------------------------------------------------------------------
// The lower bound: every value and subkey of the source read once.

struct Reader {
    std::vector<BYTE> data = std::vector<BYTE>(1 << 20);
    char name[16384];
    bool ok = true;

    void Walk(HKEY key)
    {
        for (DWORD i = 0;; ++i) {
            DWORD nameLen = sizeof name, type = 0, size = static_cast<DWORD>(data.size());
            LONG rc = ::RegEnumValueA(key, i, name, &nameLen, nullptr, &type, data.data(), &size);
            if (rc == ERROR_NO_MORE_ITEMS)
                break;
            if (rc != ERROR_SUCCESS) {
                ok = false;
                return;
            }
        }
        for (DWORD j = 0;; ++j) {
            DWORD nameLen = sizeof name;
            LONG rc = ::RegEnumKeyExA(key, j, name, &nameLen, nullptr, nullptr, nullptr, nullptr);
            if (rc == ERROR_NO_MORE_ITEMS)
                break;
            HKEY sub;
            if (rc != ERROR_SUCCESS || ::RegOpenKeyExA(key, name, 0, KEY_READ, &sub) != ERROR_SUCCESS) {
                ok = false;
                return;
            }
            Walk(sub);
            ::RegCloseKey(sub);
        }
    }
};

// ---------------------------------------------------------------------------
// The regedit round trip: export the source, move its key names to the
// destination in the file, import.

std::string TempFile(const char* name)
{
    char dir[MAX_PATH];
    DWORD n = ::GetTempPathA(sizeof dir, dir);
    if (n == 0 || n >= sizeof dir)
        std::strcpy(dir, "C:\\windows\\temp\\");
    return std::string(dir) + name;
}

bool ReadWhole(const std::string& path, std::string& bytes)
{
    HANDLE f = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size;
    bool ok = ::GetFileSizeEx(f, &size) != 0;
    if (ok) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD got = 0;
        ok = ::ReadFile(f, &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr) && got == bytes.size();
    }
    ::CloseHandle(f);
    return ok;
}

bool WriteWhole(const std::string& path, const void* data, size_t size)
{
    HANDLE f = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = ::WriteFile(f, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
    ::CloseHandle(f);
    return ok;
}

std::wstring Widen(const std::string& s)
{
    return std::wstring(s.begin(), s.end()); // key names here are ASCII
}

// Replaces the key name at the start of every "[...]" header line.
bool RewriteHeaders(std::wstring& text, const std::wstring& from, const std::wstring& to)
{
    std::wstring out;
    out.reserve(text.size() + text.size() / 8);
    size_t pos = 0, replaced = 0;
    while (pos < text.size()) {
        size_t eol = text.find(L'\n', pos);
        size_t end = eol == std::wstring::npos ? text.size() : eol + 1;
        if (text[pos] == L'[' && end - pos > from.size() + 1 &&
            ::CompareStringOrdinal(text.c_str() + pos + 1, static_cast<int>(from.size()), from.c_str(),
                                   static_cast<int>(from.size()), TRUE) == CSTR_EQUAL &&
            (text[pos + 1 + from.size()] == L']' || text[pos + 1 + from.size()] == L'\\')) {
            out += L'[';
            out += to;
            out.append(text, pos + 1 + from.size(), end - (pos + 1 + from.size()));
            ++replaced;
        } else {
            out.append(text, pos, end - pos);
        }
        pos = end;
    }
    text.swap(out);
    return replaced > 0;
}

std::string RegeditRoundTrip(const Place& from, const Place& to)
{
    std::string exported = TempFile("cobweld-bench-export.reg");
    std::string imported = TempFile("cobweld-bench-import.reg");
    std::string fromName = std::string(RootLong(from.root)) + "\\" + from.path;
    std::string toName = std::string(RootLong(to.root)) + "\\" + to.path;
    if (RunChild("regedit.exe /e \"" + exported + "\" \"" + fromName + "\"") != 0)
        return "regedit /e failed";
    std::string bytes;
    if (!ReadWhole(exported, bytes) || bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != 0xFF ||
        static_cast<unsigned char>(bytes[1]) != 0xFE)
        return "export is not a UTF-16 .reg file";
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    if (!RewriteHeaders(text, Widen(fromName), Widen(toName)))
        return "export holds no key of the source";
    std::string out("\xFF\xFE", 2);
    out.append(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    if (!WriteWhole(imported, out.data(), out.size()))
        return "cannot write the import file";
    if (RunChild("regedit.exe /s \"" + imported + "\"") != 0)
        return "regedit /s failed";
    return "";
}

// ---------------------------------------------------------------------------
// The methods

bool OverOld(const std::string& method)
{
    return method.size() > 8 && method.compare(method.size() - 8, 8, "over old") == 0;
}

// A method's set-up (not timed) and its timed work. Each returns "" on
// success or what went wrong.
struct Method {
    std::string name;
    bool slow = false;
    bool replacing = false;  // set-up leaves an old copy in the destination
    std::function<std::string()> setUp;
    std::function<std::string()> run;
};

// Whether the destination, and the history beside it, hold a copy of the
// source: a set-up that needs an old copy then only adds the stale subkey
// (a copy of the huge tree takes many seconds).
struct Holding {
    bool copy = false;
    bool previous = false;
};

std::string ErrorText(const char* what, LONG rc)
{
    return std::string(what) + " returned " + std::to_string(rc);
}

// Opens source, creates destination and runs copy(source, destination).
std::string CopyBetween(const Place& from, const Place& to, const std::function<LONG(HKEY, HKEY)>& copy,
                        const char* what)
{
    HKEY src, dst;
    LONG rc = ::RegOpenKeyExA(from.root, from.path.c_str(), 0, KEY_ALL_ACCESS, &src);
    if (rc != ERROR_SUCCESS)
        return ErrorText("RegOpenKeyExA", rc);
    rc = ::RegCreateKeyExA(to.root, to.path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &dst, nullptr);
    if (rc != ERROR_SUCCESS) {
        ::RegCloseKey(src);
        return ErrorText("RegCreateKeyExA", rc);
    }
    rc = copy(src, dst);
    ::RegCloseKey(src);
    ::RegCloseKey(dst);
    return rc == ERROR_SUCCESS ? "" : ErrorText(what, rc);
}

// Where the row of the launch's restore keeps the record of the settings
// key it checks: a value of kBenchKey.
const wchar_t kRecordValue[] = L"Record";

// The record of the tree at p as it is now, kept.
bool KeepRecord(const Place& p)
{
    HKEY key, bench;
    if (::RegOpenKeyExA(p.root, p.path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    CKeyTreeRecord record;
    CTreeWalk walk;
    walk.record = &record;
    bool walked = WalkRegistryTree(key, walk);
    ::RegCloseKey(key);
    if (!walked || ::RegCreateKeyExA(HKEY_CURRENT_USER, kBenchKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &bench,
                                     nullptr) != ERROR_SUCCESS)
        return false;
    std::vector<BYTE> bytes = record.Bytes();
    bool kept = ::RegSetValueExW(bench, kRecordValue, 0, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size())) ==
                ERROR_SUCCESS;
    ::RegCloseKey(bench);
    return kept;
}

// What the launcher asks before a launch's restore: is the tree at p as its
// kept record says?
TreeChange CheckAgainstRecord(const Place& p)
{
    HKEY key, bench;
    std::vector<BYTE> bytes(1 << 20);
    DWORD size = static_cast<DWORD>(bytes.size()), type = REG_NONE;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kBenchKey, 0, KEY_READ, &bench) != ERROR_SUCCESS)
        return TreeChange::UNKNOWN;
    LONG rc = ::RegQueryValueExW(bench, kRecordValue, nullptr, &type, bytes.data(), &size);
    ::RegCloseKey(bench);
    CKeyTreeRecord record;
    if (rc != ERROR_SUCCESS || !record.Read(bytes.data(), size) ||
        ::RegOpenKeyExA(p.root, p.path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return TreeChange::UNKNOWN;
    TreeChange change = CheckTree(key, record);
    ::RegCloseKey(key);
    return change;
}

const char kUnsafe[] = "RegDeleteTreeA+RegCopyTreeA over old";
const char kChecked[] = "check+RestoreSnapshot over old";

// Every method for one direction of one tree. ours is CaptureSnapshot or
// RestoreSnapshot of an entry whose keys are from (source) and to (target).
// history is where ours keeps the copy it replaces (a snapshot slot's
// previous settings), empty when it keeps none: ours starts without one
// from a missing destination, and with an old one over an old copy, as a
// slot is in real use.
std::vector<Method> MethodsFor(const Tree& tree, const Place& from, const Place& to, const Place& history,
                               const char* oursName, const std::function<int()>& ours,
                               const std::function<int()>& checked = nullptr)
{
    std::vector<Method> m;
    auto holding = std::make_shared<Holding>();
    auto clear = [to, history, holding] {
        RemoveTree(to);
        if (!history.path.empty())
            RemoveTree(history);
        *holding = Holding();
        return std::string();
    };
    auto old = [from, to, holding] {
        bool filled = FillWithOld(from, to, holding->copy);
        holding->copy = false;
        return filled ? std::string() : std::string("set-up failed");
    };
    auto oldWithHistory = [from, to, history, holding] {
        bool filled = FillWithOld(from, to, holding->copy) &&
                      (history.path.empty() || FillWithOld(from, history, holding->previous));
        holding->copy = false;
        holding->previous = false;
        return filled ? std::string() : std::string("set-up failed");
    };

    m.push_back({"read only (lower bound)", false, false, [] { return std::string(); }, [from] {
                     HKEY src;
                     LONG rc = ::RegOpenKeyExA(from.root, from.path.c_str(), 0, KEY_READ, &src);
                     if (rc != ERROR_SUCCESS)
                         return ErrorText("RegOpenKeyExA", rc);
                     static Reader reader;
                     reader.ok = true;
                     reader.Walk(src);
                     ::RegCloseKey(src);
                     return reader.ok ? std::string() : std::string("enumeration failed");
                 }});
    m.push_back({oursName, false, false, clear, [ours] { return ours() ? std::string() : std::string("returned 0"); }});
    m.push_back({"CopyRegistryTree", false, false, clear, [from, to] {
                     return CopyBetween(from, to, [](HKEY s, HKEY d) -> LONG { return CopyRegistryTree(s, d) ? 0 : 1; },
                                        "CopyRegistryTree");
                 }});
    m.push_back({"RegCopyTreeA", false, false, clear, [from, to] {
                     return CopyBetween(from, to, [](HKEY s, HKEY d) { return ::RegCopyTreeA(s, nullptr, d); },
                                        "RegCopyTreeA");
                 }});
    if (!tree.big)
        m.push_back({"SHCopyKeyA", false, false, clear, [from, to] {
                         return CopyBetween(from, to,
                                            [](HKEY s, HKEY d) { return static_cast<LONG>(::SHCopyKeyA(s, nullptr, d, 0)); },
                                            "SHCopyKeyA");
                     }});
    m.push_back({"reg copy /s /f", true, false, clear, [from, to] {
                     std::string cmd = std::string("reg.exe copy \"") + RootShort(from.root) + "\\" + from.path + "\" \"" +
                                       RootShort(to.root) + "\\" + to.path + "\" /s /f";
                     long code = RunChild(cmd);
                     return code == 0 ? std::string() : "reg.exe exited with " + std::to_string(code);
                 }});
    m.push_back({"regedit /e + /s", true, false, clear, [from, to] { return RegeditRoundTrip(from, to); }});

    // Over an existing copy, as in real use: the old tree has to go first.
    m.push_back({std::string(oursName) + " over old", false, true, oldWithHistory,
                 [ours] { return ours() ? std::string() : std::string("returned 0"); }});
    // A launch's restore: first the check for changes made outside since
    // the launcher left the key, then the restore. The set-up keeps the old
    // copy's record as the launcher keeps it, bytes in a value (making it is
    // part of the copy that left the key, not of this row); the check reads
    // them back and must find the key as it was left, the common case.
    if (checked)
        m.push_back({kChecked, false, true,
                     [oldWithHistory, to] {
                         std::string err = oldWithHistory();
                         return err.empty() && !KeepRecord(to) ? std::string("no record kept") : err;
                     },
                     [checked] { return checked() ? std::string() : std::string("returned 0"); }});
    m.push_back({"DeleteRegistryTree+CopyRegistryTree over old", false, true, old, [from, to] {
                     DeleteRegistryTree(to.root, to.path.c_str());
                     return CopyBetween(from, to, [](HKEY s, HKEY d) -> LONG { return CopyRegistryTree(s, d) ? 0 : 1; },
                                        "CopyRegistryTree");
                 }});
    // The same replacement as ours with no safety at all: a process that
    // ends in between leaves no copy or half of one.
    m.push_back({kUnsafe, false, true, old, [from, to] {
                     ::RegDeleteTreeA(to.root, to.path.c_str());
                     ::RegDeleteKeyA(to.root, to.path.c_str());
                     return CopyBetween(from, to, [](HKEY s, HKEY d) { return ::RegCopyTreeA(s, nullptr, d); },
                                        "RegCopyTreeA");
                 }});
    if (tree.big)
        m.erase(std::remove_if(m.begin(), m.end(),
                               [](const Method& method) { return method.name.find("CopyRegistryTree") != std::string::npos; }),
                m.end());
    if (tree.slowReps == 0)
        m.erase(std::remove_if(m.begin(), m.end(), [](const Method& method) { return method.slow; }), m.end());
    // What each copy leaves: the source's copy in the destination, and after
    // ours over an old copy with history, the old copy as the history.
    for (Method& method : m) {
        if (method.name == "read only (lower bound)")
            continue;
        const bool keepsPrevious = !history.path.empty() && OverOld(method.name);
        method.run = [run = method.run, holding, keepsPrevious] {
            std::string err = run();
            holding->copy = err.empty();
            if (keepsPrevious)
                holding->previous = err.empty();
            return err;
        };
    }
    return m;
}

// ---------------------------------------------------------------------------

struct Block {
    std::string title;
    std::vector<Series> series;
    std::vector<std::string> notes;
};

void RunBlock(const std::string& title, const Tree& tree, const Place& from, const Place& to,
              std::vector<Method> methods, Block& block)
{
    // The huge tree's rounds take minutes: it tells each step.
    const bool verbose = tree.big;
    block.title = title;
    TreeDigest expected = Digest(from.root, from.path);
    block.notes.push_back("source " + expected.Describe());
    std::vector<Series> series(methods.size());
    int maxReps = 0;
    for (size_t i = 0; i < methods.size(); ++i) {
        series[i].group = tree.name;
        series[i].method = methods[i].name;
        series[i].plannedReps = methods[i].slow ? tree.slowReps : tree.fastReps;
        maxReps = std::max(maxReps, series[i].plannedReps);
    }
    for (int rep = 0; rep < maxReps; ++rep) {
        // Start each round with another method, so that none always follows
        // the same neighbour.
        for (size_t k = 0; k < methods.size(); ++k) {
            size_t i = (k + rep) % methods.size();
            Series& s = series[i];
            if (rep >= s.plannedReps || s.failed)
                continue;
            double set = NowMs();
            std::string err = methods[i].setUp();
            if (!err.empty()) {
                s.Fail(err);
                continue;
            }
            double t0 = NowMs();
            err = methods[i].run();
            double t1 = NowMs();
            if (verbose)
                std::fprintf(stderr, "  %s: %s: set-up %.0f ms, run %.0f ms\n", title.c_str(), s.method.c_str(), t0 - set,
                             t1 - t0);
            if (!err.empty()) {
                s.Fail(err);
                continue;
            }
            s.ms.push_back(t1 - t0);
            // The first and the last result of each copy must equal the source.
            if (i > 0 && (rep == 0 || (rep + 1 == s.plannedReps && !tree.big))) {
                TreeDigest got = Digest(to.root, to.path);
                if (!(got == expected))
                    s.Fail("copy differs from the source: " + got.Describe());
            }
        }
        std::fprintf(stderr, "  %s: round %d of %d\r", title.c_str(), rep + 1, maxReps);
    }
    std::fprintf(stderr, "\n");
    RemoveTree(to);
    block.series = std::move(series);
}


const Series* Find(const std::vector<Series>& v, const char* method)
{
    for (const auto& s : v)
        if (s.method == method)
            return &s;
    return nullptr;
}

// How deep the registry lets keys nest: creates a chain one level at a time.
std::string ProbeDepthLimit()
{
    std::string base = std::string(kBenchKey) + "\\DepthProbe";
    RemoveTree({HKEY_CURRENT_USER, base});
    HKEY key = CreateSub(HKEY_CURRENT_USER, base.c_str());
    // HKCU is HKEY_USERS\<user>, itself below the root of the registry.
    int levels = 0;
    LONG rc = ERROR_SUCCESS;
    while (key && levels < 600) {
        HKEY sub = nullptr;
        rc = ::RegCreateKeyExA(key, "L", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr);
        ::RegCloseKey(key);
        key = rc == ERROR_SUCCESS ? sub : nullptr;
        if (key)
            ++levels;
    }
    if (key)
        ::RegCloseKey(key);
    RemoveTree({HKEY_CURRENT_USER, base});
    if (rc == ERROR_SUCCESS)
        return "nesting: 600 levels below HKCU\\" + base + " were accepted (no limit found)";
    return "nesting: " + std::to_string(levels) + " levels below HKCU\\" + base +
           " were accepted, the next RegCreateKeyExA returned " + std::to_string(rc);
}

} // namespace

int main(int argc, char** argv)
{
    const char* resultsPath = nullptr;
    const char* only = nullptr;
    bool quick = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0)
            quick = true;
        else if (std::strcmp(argv[i], "--tree") == 0 && i + 1 < argc)
            only = argv[++i];
        else
            resultsPath = argv[i];
    }
    Output out(resultsPath);

    // The huge tree takes seconds a copy: fewer repetitions, and only the
    // methods that the ratios need.
    std::vector<Tree> trees = {
        {"typical", BuildTypical, 11, 5, false},
        {"wide", BuildWide, 7, 3, false},
        {"deep", BuildDeep, 11, 5, false},
        {"large", BuildLarge, 5, 3, false},
        {"huge", BuildHuge, 3, 0, true},
    };
    if (quick)
        for (auto& t : trees) {
            t.fastReps = t.big ? 1 : 2;
            t.slowReps = std::min(t.slowReps, 2);
        }

    out.Line("Registry tree copy (times in ms; each run opens the source, creates the destination and copies;");
    out.Line("set-up, which removes the destination or refills it with an old copy, is not timed)");
    out.Line(ProbeDepthLimit());

    std::vector<Block> blocks;
    for (size_t t = 0; t < trees.size(); ++t) {
        const Tree& tree = trees[t];
        if (only && std::strcmp(only, tree.name) != 0)
            continue;
        Place src{HKEY_CURRENT_USER, SrcPath(tree)};
        Place live{HKEY_CURRENT_USER, LivePath(tree)};
        Place captureSlot{HKEY_LOCAL_MACHINE, SlotPath(kCaptureSlot + static_cast<int>(t))};
        Place capturePrevious{HKEY_LOCAL_MACHINE, captureSlot.path + ".prev"};
        Place restoreSlot{HKEY_LOCAL_MACHINE, SlotPath(kRestoreSlot + static_cast<int>(t))};

        double t0 = NowMs();
        RemoveTree(src);
        HKEY root = CreateSub(HKEY_CURRENT_USER, src.path.c_str());
        tree.build(root);
        ::RegCloseKey(root);
        std::fprintf(stderr, "built %s in %.0f ms\n", tree.name, NowMs() - t0);

        auto capture = std::make_shared<CProgramEntry>();
        std::snprintf(capture->m_szRegistry, sizeof capture->m_szRegistry, "CobweldBench\\Src\\%s", tree.name);
        capture->m_nSaveSlot = kCaptureSlot + static_cast<int>(t);
        auto restore = std::make_shared<CProgramEntry>();
        std::snprintf(restore->m_szRegistry, sizeof restore->m_szRegistry, "CobweldBench\\Live\\%s", tree.name);
        restore->m_nSaveSlot = kRestoreSlot + static_cast<int>(t);

        Block cap, res;
        RunBlock(std::string(tree.name) + ": capture, HKCU settings key -> HKLM snapshot slot", tree, src, captureSlot,
                 MethodsFor(tree, src, captureSlot, capturePrevious, "CaptureSnapshot",
                            [capture] { return capture->CaptureSnapshot(REASON_REACQUIRE); }),
                 cap);
        blocks.push_back(std::move(cap));
        RemoveTree(capturePrevious);

        RemoveTree(restoreSlot);
        FillFrom(src, restoreSlot);
        RunBlock(std::string(tree.name) + ": restore, HKLM snapshot slot -> HKCU settings key", tree, restoreSlot,
                 live, MethodsFor(tree, restoreSlot, live, Place{HKEY_LOCAL_MACHINE, ""}, "RestoreSnapshot",
                                  [restore] { return restore->RestoreSnapshot(true); },
                                  [restore, live] {
                                      return CheckAgainstRecord(live) == TreeChange::UNCHANGED &&
                                             restore->RestoreSnapshot(true);
                                  }),
                 res);
        blocks.push_back(std::move(res));
        RemoveTree(restoreSlot);
        RemoveTree(src);
    }

    std::vector<std::vector<std::string>> rows;
    rows.push_back({"tree", "direction", "method", "reps", "median ms", "min ms", "x RegCopyTreeA", "x lower bound",
                    "x reg copy", "x unsafe", "note"});
    // Ours over an old copy against the platform's unsafe replacement, per
    // tree: the figures the goals are set in.
    std::vector<std::vector<std::string>> summary;
    summary.push_back({"tree", "CaptureSnapshot over old", "x unsafe", "RestoreSnapshot over old", "x unsafe",
                       "check+RestoreSnapshot over old", "x unsafe"});
    for (const Block& b : blocks) {
        const Series* regCopyTree = Find(b.series, "RegCopyTreeA");
        const Series* unsafe = Find(b.series, kUnsafe);
        const Series* lower = Find(b.series, "read only (lower bound)");
        const Series* reg = Find(b.series, "reg copy /s /f");
        const char* direction = b.title.find("capture") != std::string::npos ? "capture" : "restore";
        for (const Series& s : b.series) {
            std::string reps = std::to_string(s.ms.size());
            if (static_cast<int>(s.ms.size()) != s.plannedReps)
                reps += "/" + std::to_string(s.plannedReps);
            rows.push_back({s.group, direction, s.method, reps, s.failed && s.ms.empty() ? "FAILED" : FormatMs(s.Median()),
                            s.failed && s.ms.empty() ? "-" : FormatMs(s.Min()), FormatRatio(s, regCopyTree),
                            FormatRatio(s, lower), FormatRatio(s, reg), OverOld(s.method) ? FormatRatio(s, unsafe) : "-",
                            s.failed ? "FAILED: " + s.note : ""});
        }
        const Series* ours = Find(b.series, direction[0] == 'c' ? "CaptureSnapshot over old" : "RestoreSnapshot over old");
        if (direction[0] == 'c')
            summary.push_back({b.series.empty() ? "" : b.series[0].group, "", "", "-", "-", "-", "-"});
        summary.back()[direction[0] == 'c' ? 1 : 3] = ours && !ours->ms.empty() ? FormatMs(ours->Median()) : "FAILED";
        summary.back()[direction[0] == 'c' ? 2 : 4] = ours ? FormatRatio(*ours, unsafe) : "-";
        if (const Series* checked = direction[0] == 'r' ? Find(b.series, kChecked) : nullptr) {
            summary.back()[5] = checked->ms.empty() ? "FAILED" : FormatMs(checked->Median());
            summary.back()[6] = FormatRatio(*checked, unsafe);
        }
    }
    out.Line("");
    PrintTable(out, rows);
    out.Line("");
    out.Line("Over an old copy, against the unsafe replacement (RegDeleteTreeA, then RegCopyTreeA); goals: a capture");
    out.Line("within 1.2x, a restore within 1.1x");
    out.Line("");
    PrintTable(out, summary);
    out.Line("");
    for (const Block& b : blocks)
        for (const auto& n : b.notes)
            out.Line(b.title + ": " + n);
    out.Line("Ratios are of medians. Rows \"... over old\" start from a destination that already holds an older copy");
    out.Line("(with one stale subkey), CaptureSnapshot's slot also with older previous settings; the other copies start");
    out.Line("from a missing destination. x unsafe: to RegDeleteTreeA+RegCopyTreeA over old, the same replacement with no");
    out.Line("safety (a process that ends in between leaves no copy, or half of one).");
    out.Line("reg copy and regedit run as child processes, with fewer repetitions than the in-process methods.");
    out.Line("regedit /e + /s: export, rename the key headers in the file, import; key classes are not carried.");
    return 0;
}
