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

// The reference: the keys and values written from memory, in the file's order.
std::string DirectWrite(HKEY root, const std::vector<RegFileKey>& keys)
{
    for (const RegFileKey& key : keys) {
        CRegKey sub;
        if (!key.path.empty() && sub.Create(root, key.path.c_str(), KEY_SET_VALUE) != ERROR_SUCCESS)
            return "RegCreateKeyExW failed";
        for (const RegFileKey::Value& v : key.values)
            if (::RegSetValueExW(sub.IsOpen() ? HKEY(sub) : root, v.name.c_str(), 0, v.type, v.data.data(),
                                 static_cast<DWORD>(v.data.size())) != ERROR_SUCCESS)
                return "RegSetValueExW failed";
    }
    return "";
}

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

} // namespace

int main(int argc, char** argv)
{
    const Arguments arguments = ParseArguments(argc, argv);
    Output out(arguments.resultsPath);
    const int reps = arguments.quick ? 1 : 3;

    const std::string dest = std::string(kBenchKey) + "\\Dest";
    const std::wstring file = _wgetenv(L"TEMP") + std::wstring(L"\\cobweld-bench-import.reg");
    std::vector<std::vector<std::string>> rows = {
        {"file", "count", "method", "reps", "median ms", "min ms", "us per item", "x file order", "note"}};
    for (bool subkeys : {false, true})
        for (int count : {20000, 40000}) {
            const std::string name = subkeys ? "subkeys of 3 values" : "one key, values";
            const std::vector<RegFileKey> keys = RegFileKeys(count, subkeys);
            const std::wstring text = RegFileText(keys, L"HKEY_CURRENT_USER\\" + Widen(dest));
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
            DirectWrite(key, keys);
            const std::string expected = Dump(HKEY_CURRENT_USER, dest, false);
            std::vector<Trial> methods;
            auto add = [&](const char* method, int planned, bool intoSlot, std::function<std::string()> run) {
                methods.push_back({{name, method, planned}, fresh, run, [&, intoSlot](int rep) {
                                       key.Close();
                                       if (rep > 0 || Dump(intoSlot ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                                                           intoSlot ? SnapshotPath(kSlot) : dest, false) == expected)
                                           return "";
                                       return "the imported tree differs from the file";
                                   }});
            };
            add("RegSetValueExW in file order", reps, false, [&] { return DirectWrite(key, keys); });
            add("ImportRegFile", reps, false, [&] { return OurImport(file, key); });
            add("reg import", 1, false, [&] {
                long code = Run("C:\\windows\\system32\\reg.exe", "import \"" + Narrow(file) + "\"", INFINITE);
                return code == 0 ? std::string() : "reg.exe exited with " + std::to_string(code);
            });
            add("CSettingsSet::Import (into a slot)", reps, true, [&] { return OurSnapshotImport(file); });
            RunRounds(methods, name + " " + std::to_string(count), true);
            int items = 0;
            for (const RegFileKey& k : keys)
                items += static_cast<int>(k.values.size()) + 1;
            for (const Trial& m : methods)
                rows.push_back({name, std::to_string(count), m.series.method, std::to_string(m.series.ms.size()),
                                m.series.MedianText(), m.series.MinText(),
                                m.series.ms.empty() ? "-" : Format("%.1f", m.series.Median() * 1000.0 / items),
                                FormatRatio(m.series, &methods[0].series), m.series.NoteText()});
        }
    OurDiscard();
    DeleteTree(HKEY_CURRENT_USER, kBenchKey);
    ::DeleteFileW(file.c_str());

    out.Lines({"Registry file import (times in ms; the destination starts empty and its removal is not timed;",
               "items: values and keys; names Item0, Item1, ... and Key0, Key1, ..., in that order in the file)", ""});
    out.Table(rows);
    out.Lines({"", "RegSetValueExW in file order: the same keys and values written from memory, each as the file has it.",
               "reg import: Wine's reg.exe as a child process, once. CSettingsSet::Import: the file into a snapshot slot",
               "of the store (staged, made private, the old snapshot kept as a generation)."});
    return 0;
}
