// Times ImportRegFile on large registry files written here: one key with
// many values, and one key with many subkeys of a few values each, at two
// sizes, so that the growth with the size shows (twice the items should
// take twice the time, the time per item stay). Beside it: the same keys
// and values written with RegSetValueExW in the file's order, as a reader
// that writes each line as it comes does; Wine's own "reg import"; and
// CSettingsSet::Import, the whole command a user gives (the file into a
// snapshot slot of the store). Every result is checked against the file.
//
// Usage: bench_regimport [results-file] [--quick]
#include <windows.h>
#include <cwchar>
#include <cstring>

#include "bench/common/BenchCommon.h"
#include "framework/Scoped.h"
#include "framework/Text.h"
#include "registry/RegFile.h"
#include "settings/SettingsSet.h"
#include "tests/driver/Driver.h"

using namespace bench;
using namespace driver;

namespace {

const char kBenchKey[] = "Software\\CobweldBench\\Import";
const int kSlot = 9200;

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

std::string DirectWrite(HKEY root, const std::vector<KeyData>& keys)
{
    for (const KeyData& key : keys) {
        CRegKey sub;
        if (!key.path.empty() && sub.Create(root, key.path.c_str(), KEY_SET_VALUE) != ERROR_SUCCESS)
            return "RegCreateKeyExW failed";
        for (const Value& v : key.values)
            if (::RegSetValueExW(sub.IsOpen() ? HKEY(sub) : root, v.name.c_str(), 0, v.type, v.data.data(),
                                 static_cast<DWORD>(v.data.size())) != ERROR_SUCCESS)
                return "RegSetValueExW failed";
    }
    return "";
}

// ---------------------------------------------------------------------------
// The launcher's code: every call into it is here.

// The entry whose snapshot the files go into: its settings key is where
// the files' root lies.
CSettingsSet Set() { return CSettingsSet("CobweldBench\\Import\\Dest", kSlot); }
std::string Failure(bool imported, const RegFileError& error)
{
    return imported ? "" : "error " + std::to_string(error.kind) + " line " + std::to_string(error.line);
}
std::string OurImport(const std::wstring& file, HKEY key)
{
    RegFileError error;
    return Failure(ImportRegFile(file, key, &error), error);
}
std::string OurSnapshotImport(const std::wstring& file)
{
    RegFileError error;
    return Failure(Set().Import(file, &error), error);
}
void OurDiscard() { Set().Discard(); }

struct Workload {
    std::string name;
    int count;
    std::vector<KeyData> keys;
};

} // namespace

int main(int argc, char** argv)
{
    const Arguments arguments = ParseArguments(argc, argv);
    Output out(arguments.resultsPath);
    const int reps = arguments.quick ? 1 : 3;

    std::vector<Workload> workloads;
    for (int count : {20000, 40000})
        workloads.push_back({"one key, values", count, OneKey(count)});
    for (int count : {20000, 40000})
        workloads.push_back({"subkeys of 3 values", count, ManyKeys(count)});

    const std::string dest = std::string(kBenchKey) + "\\Dest";
    const std::wstring file = _wgetenv(L"TEMP") + std::wstring(L"\\cobweld-bench-import.reg");
    std::vector<std::vector<std::string>> rows;
    rows.push_back({"file", "count", "method", "reps", "median ms", "min ms", "us per item", "x file order", "note"});
    for (const Workload& w : workloads) {
        const std::wstring text = RegText(w.keys, L"HKEY_CURRENT_USER\\" + Widen(dest));
        if (!WriteBytes(file, std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t)))) {
            out.Line("cannot write " + Narrow(file));
            return 1;
        }
        // Each method starts with an empty destination key and an empty slot.
        CRegKey key;
        auto fresh = [&] {
            OurDiscard();
            DeleteTree(HKEY_CURRENT_USER, dest);
            return key.Create(HKEY_CURRENT_USER, Widen(dest).c_str(), KEY_ALL_ACCESS) ? "cannot create the key" : "";
        };
        fresh();
        DirectWrite(key, w.keys);
        const std::string expected = Dump(HKEY_CURRENT_USER, dest, false);
        std::vector<Trial> methods;
        auto add = [&](const char* name, int planned, bool intoSlot, std::function<std::string()> run) {
            methods.push_back({{w.name, name, planned}, fresh, run, [&, intoSlot](int rep) {
                                   key.Close();
                                   if (rep > 0 || Dump(intoSlot ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                                                       intoSlot ? SnapshotPath(kSlot) : dest, false) == expected)
                                       return "";
                                   return "the imported tree differs from the file";
                               }});
        };
        add("RegSetValueExW in file order", reps, false, [&] { return DirectWrite(key, w.keys); });
        add("ImportRegFile", reps, false, [&] { return OurImport(file, key); });
        add("reg import", 1, false, [&] {
            long code = Run("C:\\windows\\system32\\reg.exe", "import \"" + Narrow(file) + "\"", INFINITE);
            return code == 0 ? std::string() : "reg.exe exited with " + std::to_string(code);
        });
        add("CSettingsSet::Import (into a slot)", reps, true, [&] { return OurSnapshotImport(file); });
        RunRounds(methods, w.name + " " + std::to_string(w.count), true);
        int items = 0;
        for (const KeyData& k : w.keys)
            items += static_cast<int>(k.values.size()) + 1;
        for (const Trial& m : methods)
            rows.push_back({w.name, std::to_string(w.count), m.series.method, std::to_string(m.series.ms.size()),
                            m.series.MedianText(), m.series.MinText(),
                            m.series.ms.empty() ? "-" : Format("%.1f", m.series.Median() * 1000.0 / items),
                            FormatRatio(m.series, &methods[0].series), m.series.NoteText()});
    }
    OurDiscard();
    DeleteTree(HKEY_CURRENT_USER, kBenchKey);
    ::DeleteFileW(file.c_str());

    out.Line("Registry file import (times in ms; the destination starts empty and its removal is not timed;");
    out.Line("items: values and keys; names Item0, Item1, ... and Key0, Key1, ..., in that order in the file)");
    out.Line("");
    PrintTable(out, rows);
    out.Line("");
    out.Line("RegSetValueExW in file order: the same keys and values written from memory, each as the file has it.");
    out.Line("reg import: Wine's reg.exe as a child process, once. CSettingsSet::Import: the file into a snapshot slot");
    out.Line("of the store (staged, made private, the old snapshot kept as the previous one).");
    return 0;
}
