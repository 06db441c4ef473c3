// Times the launcher's work on a store of 1,000 entries: loading the list
// (CProgramList constructor), storing a change (a move, which stores the
// whole list in one step) and FirstFreeSnapshotSlot, each beside a plain
// reference written here (raw registry reads and writes, the
// rescan-per-candidate slot search).
//
// Usage: bench_startup [results-file] [--quick]
#include <windows.h>
#include <algorithm>
#include <cstddef>
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
std::string RawPath(size_t n) { return EntryPath(static_cast<int>(n), kWow64StoreRoot); }

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

// What the reference loader keeps of one entry, and the values it is read from.
struct RawEntry {
    char title[100], commandLine[260], directory[260], iconPath[260], registry[260];
    DWORD runMinimized, saveSlot, iconIndex, retrieveAgain;
};
const struct {
    const char* name;
    DWORD type;
    size_t offset, size;
} kRawValues[] = {
    {"Title", REG_SZ, offsetof(RawEntry, title), 100}, {"CommandLine", REG_SZ, offsetof(RawEntry, commandLine), 260},
    {"Directory", REG_SZ, offsetof(RawEntry, directory), 260}, {"Icon", REG_DWORD, offsetof(RawEntry, runMinimized), 4},
    {"Registry", REG_SZ, offsetof(RawEntry, registry), 260}, {"iSave", REG_DWORD, offsetof(RawEntry, saveSlot), 4},
    {"IconIndex", REG_DWORD, offsetof(RawEntry, iconIndex), 4}, {"IconPath", REG_SZ, offsetof(RawEntry, iconPath), 260},
    {"RetrieveAgain", REG_DWORD, offsetof(RawEntry, retrieveAgain), 4},
};

// Opens keys 0, 1, ... until one is missing and reads the nine values of each.
size_t RawLoad(std::vector<RawEntry>& out)
{
    out.clear();
    for (CRegKey key; key.Open(HKEY_LOCAL_MACHINE, RawPath(out.size()).c_str(), KEY_ALL_ACCESS) == ERROR_SUCCESS; key.Close()) {
        RawEntry e = {};
        for (const auto& v : kRawValues) {
            DWORD size = static_cast<DWORD>(v.size);
            ::RegQueryValueExA(key, v.name, nullptr, nullptr, reinterpret_cast<BYTE*>(&e) + v.offset, &size);
        }
        out.push_back(e);
    }
    return out.size();
}

void RawSave(const std::vector<RawEntry>& entries)
{
    size_t n = 0;
    for (CRegKey key; n < entries.size() && key.Create(HKEY_LOCAL_MACHINE, RawPath(n).c_str(), KEY_ALL_ACCESS) == ERROR_SUCCESS;
         key.Close(), ++n)
        for (const auto& v : kRawValues) {
            const BYTE* data = reinterpret_cast<const BYTE*>(&entries[n]) + v.offset;
            const size_t size = v.type == REG_SZ ? std::strlen(reinterpret_cast<const char*>(data)) + 1 : 4;
            ::RegSetValueExA(key, v.name, 0, v.type, data, static_cast<DWORD>(size));
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
    auto loaded = [](size_t n) { return n == kEntries ? std::string() : "loaded " + std::to_string(n); };
    auto reload = [&] {
        pending = std::make_unique<CProgramList>();
        return loaded(pending->GetCount());
    };
    // Unmodified, a list writes nothing as it goes.
    add("load 1,000 entries", "CProgramList constructor", 1, nullptr, reload, [&](int) { return pending.reset(), ""; });
    add("load 1,000 entries", "raw reads (reference)", 1, nullptr, [&] { return loaded(RawLoad(raw)); }, nullptr);
    // Two moves that cancel out: the store ends as it began.
    add("store a change, 1,000 entries", "MoveDown (stores the list)", 2, reload, [&] {
            pending->MoveDown(0);
            pending->MoveUp(1);
            return std::string();
        }, [&](int rep) { return pending.reset(), unchanged(rep); });
    add("store a change, 1,000 entries", "raw writes (reference)", 1, [&] { return loaded(RawLoad(raw)); },
        [&] { return RawSave(raw), std::string(); }, unchanged);

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
            }, nullptr);
        add(group, "rescan per candidate (reference)", inner, check, [&list, &sink, inner] {
                for (int k = 0; k < inner; ++k)
                    sink = sink + NaiveFirstFreeSlot(list);
                return std::string();
            }, nullptr);
    }
    WriteStore(kEntries);

    // Interleaved within each workload: the jobs of one group take turns.
    RunRounds(jobs, "start-up", false);

    std::vector<std::vector<std::string>> rows = {{"workload", "method", "reps", "median ms", "min ms", "x reference", "note"}};
    for (size_t i = 0; i < jobs.size(); ++i) {
        const Series& s = jobs[i].series;
        // Each workload's reference is the job right after the launcher's own.
        const Series* reference = i % 2 == 0 && i + 1 < jobs.size() ? &jobs[i + 1].series : nullptr;
        rows.push_back({s.group, s.method, std::to_string(s.ms.size()) + (jobs[i].inner > 1 ? " x" + std::to_string(jobs[i].inner) : ""),
                        s.MedianText(), s.MinText(), FormatRatio(s, reference), s.NoteText()});
    }
    out.Lines({"", "Start-up and close work on a store of 1,000 entries (times in ms; \"x20\": per call, 20 calls per repetition)", ""});
    out.Table(rows);
    lists.clear();
    DeleteTree(HKEY_LOCAL_MACHINE, kInfo);
    return 0;
}
