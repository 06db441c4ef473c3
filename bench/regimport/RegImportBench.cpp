// Times ImportRegFile on large registry files written here: one key with
// many values, and one key with many subkeys of a few values each, at two
// sizes, so that the growth with the size shows (twice the items should
// take twice the time, the time per item stay). Beside it: the same keys
// and values written with RegSetValueExW in the file's order, as a reader
// that writes each line as it comes does; Wine's own "reg import"; and
// Snapshot::Import, the whole command a user gives (the file into a
// snapshot slot of the store). Every result is checked against the file.
//
// Usage: bench_regimport [results-file] [--quick]
#include <windows.h>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bench/common/BenchCommon.h"
#include "framework/Text.h"
#include "registry/RegFile.h"
#include "settings/SettingsSet.h"

using namespace bench;

namespace {

const wchar_t kBenchKey[] = L"Software\\CobweldBench\\Import";
const int kSlot = 9200;
const char kSlotPath[] = "Software\\WOW6432Node\\Varnolite\\Cobweld\\Save\\9200";

// One value as the file holds it and as RegSetValueExW takes it.
struct Value {
    std::wstring name;
    DWORD type;
    std::vector<BYTE> data;
};

struct KeyData {
    std::wstring path; // below the root; empty for the root itself
    std::vector<Value> values;
};

// Value n, named as a program numbers what it adds (Item0, Item1, ...,
// Item10, ...): the order a file from regedit on Windows keeps, where a
// key's values stay in the order they were made, and not the order of
// names that Wine's registry keeps.
Value MakeValue(int n)
{
    Value v{L"Item" + std::to_wstring(n), REG_NONE, {}};
    switch (n % 3) {
    case 0: {
        std::wstring text = L"recent item number " + std::to_wstring(n);
        v.type = REG_SZ;
        const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
        v.data.assign(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
        break;
    }
    case 1:
        v.type = REG_DWORD;
        v.data = {BYTE(n), BYTE(n >> 8), BYTE(n >> 16), 0};
        break;
    default:
        v.type = REG_BINARY;
        for (int i = 0; i < 40; ++i)
            v.data.push_back(static_cast<BYTE>(i * 31 + n * 7));
        break;
    }
    return v;
}

// One key holding count values.
std::vector<KeyData> OneKey(int count)
{
    std::vector<KeyData> keys(1);
    for (int n = 0; n < count; ++n)
        keys[0].values.push_back(MakeValue(n));
    return keys;
}

// count subkeys of the root, Key0, Key1, ..., of three values each.
std::vector<KeyData> ManyKeys(int count)
{
    std::vector<KeyData> keys(1);
    for (int n = 0; n < count; ++n) {
        KeyData key{L"Key" + std::to_wstring(n), {}};
        for (int v = 0; v < 3; ++v)
            key.values.push_back(MakeValue(v));
        keys.push_back(std::move(key));
    }
    return keys;
}

const wchar_t kHex[] = L"0123456789abcdef";

// The file as regedit writes it (UTF-16LE with a byte-order mark), its keys
// named after rootName.
std::wstring RegText(const std::vector<KeyData>& keys, const std::wstring& rootName)
{
    std::wstring out = L"\uFEFFWindows Registry Editor Version 5.00\r\n\r\n";
    for (const KeyData& key : keys) {
        out += L"[" + rootName + (key.path.empty() ? L"" : L"\\" + key.path) + L"]\r\n";
        for (const Value& v : key.values) {
            out += L"\"" + v.name + L"\"=";
            if (v.type == REG_SZ) {
                out += L"\"" + std::wstring(reinterpret_cast<const wchar_t*>(v.data.data())) + L"\"\r\n";
            } else if (v.type == REG_DWORD) {
                wchar_t text[16];
                DWORD d;
                std::memcpy(&d, v.data.data(), sizeof d);
                std::swprintf(text, 16, L"dword:%08lx", static_cast<unsigned long>(d));
                out += text + std::wstring(L"\r\n");
            } else {
                out += L"hex:";
                for (size_t i = 0; i < v.data.size(); ++i) {
                    out += kHex[v.data[i] >> 4];
                    out += kHex[v.data[i] & 15];
                    if (i + 1 < v.data.size())
                        out += i % 24 == 23 ? L",\\\r\n  " : L",";
                }
                out += L"\r\n";
            }
        }
        out += L"\r\n";
    }
    return out;
}

bool WriteFileText(const std::wstring& path, const std::wstring& text)
{
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t)), written = 0;
    bool ok = ::WriteFile(file, text.data(), size, &written, nullptr) && written == size;
    ::CloseHandle(file);
    return ok;
}

std::wstring TempPath(const wchar_t* name)
{
    wchar_t dir[MAX_PATH];
    ::GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + name;
}

// A fresh, empty destination key.
HKEY FreshKey(const std::wstring& path)
{
    ::RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str());
    HKEY key = nullptr;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    return key;
}

std::string DirectWrite(HKEY root, const std::vector<KeyData>& keys)
{
    for (const KeyData& key : keys) {
        HKEY h = root;
        if (!key.path.empty() &&
            ::RegCreateKeyExW(root, key.path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr) != ERROR_SUCCESS)
            return "RegCreateKeyExW failed";
        for (const Value& v : key.values)
            if (::RegSetValueExW(h, v.name.c_str(), 0, v.type, v.data.data(), static_cast<DWORD>(v.data.size())) !=
                ERROR_SUCCESS)
                return "RegSetValueExW failed";
        if (h != root)
            ::RegCloseKey(h);
    }
    return "";
}

struct Workload {
    std::string name;
    int count;
    std::vector<KeyData> keys;
};

} // namespace

int main(int argc, char** argv)
{
    const Arguments arguments = ParseArguments(argc, argv);
    const bool quick = arguments.quick;
    Output out(arguments.resultsPath);
    const int reps = quick ? 1 : 3;

    std::vector<Workload> workloads;
    for (int count : {20000, 40000})
        workloads.push_back({"one key, values", count, OneKey(count)});
    for (int count : {20000, 40000})
        workloads.push_back({"subkeys of 3 values", count, ManyKeys(count)});

    const std::wstring dest = std::wstring(kBenchKey) + L"\\Dest";
    const std::wstring file = TempPath(L"cobweld-bench-import.reg");
    std::vector<std::vector<std::string>> rows;
    rows.push_back({"file", "count", "method", "reps", "median ms", "min ms", "us per item", "x file order", "note"});
    for (const Workload& w : workloads) {
        const std::wstring rootName = L"HKEY_CURRENT_USER\\" + dest;
        if (!WriteFileText(file, RegText(w.keys, rootName))) {
            out.Line("cannot write " + Narrow(file));
            return 1;
        }
        TreeDigest expected;
        {
            HKEY key = FreshKey(dest);
            DirectWrite(key, w.keys);
            ::RegCloseKey(key);
            expected = Digest(HKEY_CURRENT_USER, Narrow(dest));
        }
        struct Method {
            std::string name;
            int reps;
            std::function<std::string()> run;
            Series s;
        };
        HKEY key = nullptr;
        std::vector<Method> methods;
        methods.push_back({"RegSetValueExW in file order", reps, [&] { return DirectWrite(key, w.keys); }, {}});
        methods.push_back({"ImportRegFile", reps, [&] {
                               RegFileError error;
                               return ImportRegFile(file, key, &error)
                                          ? std::string()
                                          : "error " + std::to_string(error.kind) + " line " + std::to_string(error.line);
                           }, {}});
        methods.push_back({"reg import", 1, [&] {
                               long code = RunChild("reg.exe import \"" + Narrow(file) + "\"");
                               return code == 0 ? std::string() : "reg.exe exited with " + std::to_string(code);
                           }, {}});
        methods.push_back({"Snapshot::Import (into a slot)", reps, [&] {
                               RegFileError error;
                               return CSettingsSet("CobweldBench\\Import\\Dest", kSlot).Import(file, &error)
                                          ? std::string()
                                          : "error " + std::to_string(error.kind) + " line " + std::to_string(error.line);
                           }, {}});
        for (int rep = 0; rep < reps; ++rep) {
            for (size_t k = 0; k < methods.size(); ++k) {
                Method& m = methods[(k + rep) % methods.size()];
                if (rep >= m.reps || m.s.failed)
                    continue;
                CSettingsSet("CobweldBench\\Import\\Dest", kSlot).Discard();
                key = FreshKey(dest);
                double t0 = NowMs();
                std::string err = m.run();
                double t1 = NowMs();
                ::RegCloseKey(key);
                if (!err.empty()) {
                    m.s.Fail(err);
                    continue;
                }
                m.s.ms.push_back(t1 - t0);
                const bool slot = m.name.compare(0, 8, "Snapshot") == 0;
                if (rep == 0 && !(Digest(slot ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, slot ? kSlotPath : Narrow(dest)) == expected))
                    m.s.Fail("the imported tree differs from the file");
            }
            std::fprintf(stderr, "  %s %d: round %d of %d\r", w.name.c_str(), w.count, rep + 1, reps);
        }
        std::fprintf(stderr, "\n");
        for (Method& m : methods) {
            int items = 0;
            for (const KeyData& k : w.keys)
                items += static_cast<int>(k.values.size()) + 1;
            std::string reps = std::to_string(m.s.ms.size());
            rows.push_back({w.name, std::to_string(w.count), m.name, reps,
                            m.s.ms.empty() ? "FAILED" : FormatMs(m.s.Median()),
                            m.s.ms.empty() ? "-" : FormatMs(m.s.Min()),
                            m.s.ms.empty() ? "-" : Format("%.1f", m.s.Median() * 1000.0 / items),
                            FormatRatio(m.s, &methods[0].s), m.s.failed ? "FAILED: " + m.s.note : ""});
        }
    }
    CSettingsSet("CobweldBench\\Import\\Dest", kSlot).Discard();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kBenchKey);
    ::RegDeleteKeyW(HKEY_CURRENT_USER, kBenchKey);
    ::DeleteFileW(file.c_str());

    out.Line("Registry file import (times in ms; the destination starts empty and its removal is not timed;");
    out.Line("items: values and keys; names Item0, Item1, ... and Key0, Key1, ..., in that order in the file)");
    out.Line("");
    PrintTable(out, rows);
    out.Line("");
    out.Line("RegSetValueExW in file order: the same keys and values written from memory, each as the file has it.");
    out.Line("reg import: Wine's reg.exe as a child process, once. Snapshot::Import: the file into a snapshot slot");
    out.Line("of the store (staged, made private, the old snapshot kept as the previous one).");
    return 0;
}
