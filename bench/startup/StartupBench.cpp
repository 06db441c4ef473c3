// Times the launcher's work on a store of 1,000 entries: loading the list
// (CProgramList constructor), storing a change (a move, which stores the
// whole list in one step) and FirstFreeSnapshotSlot, each beside a plain
// reference written here (raw registry reads and writes, the
// rescan-per-candidate slot search).
//
// Usage: bench_startup [results-file] [--quick]
#include <windows.h>
#include <algorithm>
#include <memory>
#include <random>

#include "bench/common/BenchCommon.h"
#include "framework/Scoped.h"
#include "framework/Text.h"
#include "framework/WinApp.h"
#include "model/ProgramList.h"
#include "tests/driver/Driver.h"

using namespace bench;
using namespace driver;

namespace {

const int kEntries = 1000;
const std::string kInfo = std::string(kStoreRoot) + "\\Info";

// The raw reads and writes name the entries as a 64-bit program sees them.
std::string RawPath(int n) { return EntryPath(n, kWow64StoreRoot); }

// The store as the launcher leaves it: keys 0 .. count-1 with the nine values.
void WriteStore(int count)
{
    DeleteTree(HKEY_LOCAL_MACHINE, kInfo);
    const std::string title = FromUtf8(u8"テスト用プログラム");
    for (int n = 0; n < count; ++n) {
        const std::string folder = "C:\\Program Files\\Example" + std::to_string(n);
        WriteStoreEntry(n, {title + " " + std::to_string(n), folder + "\\example.exe", folder, folder + "\\example.exe",
                            "Example Vendor\\Product" + std::to_string(n % 50), DWORD(n % 2), DWORD(n + 1), 0, n % 3 == 0});
    }
}

// What the reference loader keeps of one entry.
struct RawEntry {
    char title[100], commandLine[260], directory[260], iconPath[260], registry[260];
    DWORD runMinimized, saveSlot, iconIndex, retrieveAgain;
};

void Query(HKEY key, const char* name, void* field, DWORD size)
{
    ::RegQueryValueExA(key, name, nullptr, nullptr, static_cast<BYTE*>(field), &size);
}

// Opens keys 0, 1, ... until one is missing and reads the nine values of each.
size_t RawLoad(std::vector<RawEntry>& out)
{
    out.clear();
    for (int n = 0;; ++n) {
        CRegKey key;
        if (key.Open(HKEY_LOCAL_MACHINE, RawPath(n).c_str(), KEY_ALL_ACCESS) != ERROR_SUCCESS)
            break;
        RawEntry e = {};
        Query(key, "Title", e.title, sizeof e.title);
        Query(key, "CommandLine", e.commandLine, sizeof e.commandLine);
        Query(key, "Directory", e.directory, sizeof e.directory);
        Query(key, "Icon", &e.runMinimized, 4);
        Query(key, "Registry", e.registry, sizeof e.registry);
        Query(key, "iSave", &e.saveSlot, 4);
        Query(key, "IconIndex", &e.iconIndex, 4);
        Query(key, "IconPath", e.iconPath, sizeof e.iconPath);
        Query(key, "RetrieveAgain", &e.retrieveAgain, 4);
        key.Close();
        out.push_back(e);
    }
    return out.size();
}

void RawSave(const std::vector<RawEntry>& entries)
{
    int n = 0;
    for (; n < static_cast<int>(entries.size()); ++n) {
        const RawEntry& e = entries[n];
        CRegKey key;
        if (key.Create(HKEY_LOCAL_MACHINE, RawPath(n).c_str(), KEY_ALL_ACCESS) != ERROR_SUCCESS)
            break;
        const struct { const char* name; DWORD type; const void* data; size_t size; } values[] = {
            {"Title", REG_SZ, e.title, std::strlen(e.title) + 1},
            {"CommandLine", REG_SZ, e.commandLine, std::strlen(e.commandLine) + 1},
            {"Directory", REG_SZ, e.directory, std::strlen(e.directory) + 1}, {"Icon", REG_DWORD, &e.runMinimized, 4},
            {"Registry", REG_SZ, e.registry, std::strlen(e.registry) + 1}, {"iSave", REG_DWORD, &e.saveSlot, 4},
            {"IconPath", REG_SZ, e.iconPath, std::strlen(e.iconPath) + 1}, {"IconIndex", REG_DWORD, &e.iconIndex, 4},
            {"RetrieveAgain", REG_DWORD, &e.retrieveAgain, 4}};
        for (const auto& v : values)
            ::RegSetValueExA(key, v.name, 0, v.type, static_cast<const BYTE*>(v.data), static_cast<DWORD>(v.size));
    }
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, RawPath(n).c_str());
}

// The slot search as first described: rescan from the first entry for every
// candidate that is taken.
int NaiveFirstFreeSlot(const CProgramList& list)
{
    int candidate = 1;
    for (int i = 0; i < list.GetCount();) {
        if (list.GetAt(i)->m_nSaveSlot == candidate) {
            ++candidate;
            i = 0;
        } else {
            ++i;
        }
    }
    return candidate;
}

} // namespace

int main(int argc, char** argv)
{
    const Arguments arguments = ParseArguments(argc, argv);
    const bool quick = arguments.quick;
    Output out(arguments.resultsPath);

    // The profile of the launcher itself, as on any run after the first.
    CWinApp app("COBWELD");
    app.SetRegistryKey("Varnolite");
    app.WriteProfileInt("Cobweld", "Installed", 1);

    WriteStore(kEntries);
    // As any change leaves it: the group lags behind the list.
    SetDword(HKEY_LOCAL_MACHINE, kInfo, "GroupChanged", 1);
    const std::string stored = Dump(HKEY_LOCAL_MACHINE, kInfo);
    auto unchanged = [&stored](int) { return Dump(HKEY_LOCAL_MACHINE, kInfo) == stored ? "" : "store changed"; };

    const int reps = quick ? 2 : 11;
    std::unique_ptr<CProgramList> pending;
    std::vector<RawEntry> raw;
    std::vector<Trial> jobs;
    auto add = [&](const std::string& group, const std::string& method, int inner, std::function<std::string()> setUp,
                   std::function<std::string()> run, std::function<std::string(int)> finish) {
        jobs.push_back({{group, method, reps}, setUp, run, finish, inner});
    };
    auto none = [](int) { return std::string(); };

    add("load 1,000 entries", "CProgramList constructor", 1, nullptr, [&] {
            pending = std::make_unique<CProgramList>();
            return pending->GetCount() == kEntries ? std::string() : "loaded " + std::to_string(pending->GetCount());
        }, [&](int) {
            pending.reset(); // unmodified: writes nothing
            return std::string();
        });
    add("load 1,000 entries", "raw reads (reference)", 1, nullptr, [&] {
            size_t n = RawLoad(raw);
            return n == kEntries ? std::string() : "loaded " + std::to_string(n);
        }, none);
    // Two moves that cancel out: the store ends as it began.
    add("store a change, 1,000 entries", "MoveDown (stores the list)", 2, [&] {
            pending = std::make_unique<CProgramList>();
            return std::string();
        }, [&] {
            pending->MoveDown(0);
            pending->MoveUp(1);
            return std::string();
        }, [&](int rep) {
            pending.reset();
            return unchanged(rep);
        });
    add("store a change, 1,000 entries", "raw writes (reference)", 1, [&] {
            RawLoad(raw);
            return std::string();
        }, [&] {
            RawSave(raw);
            return std::string();
        }, unchanged);

    // FirstFreeSnapshotSlot on lists whose stored slots are laid out three ways.
    const int inner = quick ? 3 : 20;
    std::vector<int> shuffled;
    for (int slot = 1; slot <= kEntries + 1; ++slot)
        if (slot != 777)
            shuffled.push_back(slot);
    std::mt19937 rng(12345);
    std::shuffle(shuffled.begin(), shuffled.end(), rng);
    const struct { const char* name; std::function<int(int)> slot; } layouts[] = {
        {"slots 1..1000 in order", [](int i) { return i + 1; }},
        {"slots 1000..1 reversed", [](int i) { return kEntries - i; }},
        {"slots shuffled, 777 free", [&](int i) { return shuffled[i]; }},
    };
    std::vector<std::unique_ptr<CProgramList>> lists;
    volatile int sink = 0;
    for (const auto& layout : layouts) {
        for (int i = 0; i < kEntries; ++i)
            SetDword(HKEY_LOCAL_MACHINE, EntryPath(i), "iSave", layout.slot(i));
        lists.push_back(std::make_unique<CProgramList>());
        const CProgramList& list = *lists.back();
        const std::string group = std::string("FirstFreeSnapshotSlot, ") + layout.name;
        auto check = [&list]() -> std::string {
            int a = list.FirstFreeSnapshotSlot(), b = NaiveFirstFreeSlot(list);
            return a == b ? std::string() : "answers differ: " + std::to_string(a) + " and " + std::to_string(b);
        };
        add(group, "FirstFreeSnapshotSlot", inner, check, [&list, &sink, inner] {
                for (int k = 0; k < inner; ++k)
                    sink = sink + list.FirstFreeSnapshotSlot();
                return std::string();
            }, none);
        add(group, "rescan per candidate (reference)", inner, check, [&list, &sink, inner] {
                for (int k = 0; k < inner; ++k)
                    sink = sink + NaiveFirstFreeSlot(list);
                return std::string();
            }, none);
    }
    WriteStore(kEntries);

    // Interleaved within each workload: the jobs of one group take turns.
    RunRounds(jobs, "start-up", false);

    std::vector<std::vector<std::string>> rows;
    rows.push_back({"workload", "method", "reps", "median ms", "min ms", "x reference", "note"});
    for (size_t i = 0; i < jobs.size(); ++i) {
        const Series& s = jobs[i].series;
        // Each workload's reference is the job right after the launcher's own.
        const Series* reference = i % 2 == 0 && i + 1 < jobs.size() ? &jobs[i + 1].series : nullptr;
        rows.push_back({s.group, s.method, std::to_string(s.ms.size()) + (jobs[i].inner > 1 ? " x" + std::to_string(jobs[i].inner) : ""),
                        s.MedianText(), s.MinText(), FormatRatio(s, reference), s.NoteText()});
    }
    out.Line("");
    out.Line("Start-up and close work on a store of 1,000 entries (times in ms; \"x20\": per call, 20 calls per repetition)");
    out.Line("");
    PrintTable(out, rows);
    lists.clear();
    DeleteTree(HKEY_LOCAL_MACHINE, kInfo);
    return 0;
}
