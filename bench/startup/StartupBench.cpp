// Times the launcher's work on a store of 1,000 entries: loading the list
// (CProgramList constructor), storing a change (a move, which stores the
// whole list in one step) and FirstFreeSnapshotSlot, each beside a plain
// reference written here (raw registry reads and writes, the
// rescan-per-candidate slot search).
//
// Usage: bench_startup [results-file] [--quick]
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/common/BenchCommon.h"
#include "framework/Text.h"
#include "framework/WinApp.h"
#include "model/ProgramList.h"

using namespace bench;

namespace {

// The machine-wide store's entries, in the 32-bit view, by the key that holds it.
const char kStorePath[] = "Software\\WOW6432Node\\Varnolite\\Cobweld\\Info";
const int kEntries = 1000;

std::string EntryPath(int n) { return std::string(kStorePath) + "\\" + std::to_string(n); }

void SetString(HKEY key, const char* name, const std::string& text)
{
    ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>(text.size() + 1));
}

void SetDword(HKEY key, const char* name, DWORD value)
{
    ::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

// The store as the launcher leaves it: keys 0 .. count-1 with the nine values.
void WriteStore(int count)
{
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kStorePath);
    std::string title = FromUtf8(u8"テスト用プログラム");
    for (int n = 0; n < count; ++n) {
        HKEY key;
        if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, EntryPath(n).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr) != ERROR_SUCCESS)
            return;
        SetString(key, "Title", title + " " + std::to_string(n));
        SetString(key, "CommandLine", "C:\\Program Files\\Example" + std::to_string(n) + "\\example.exe");
        SetString(key, "Directory", "C:\\Program Files\\Example" + std::to_string(n));
        SetDword(key, "Icon", n % 2);
        SetString(key, "Registry", "Example Vendor\\Product" + std::to_string(n % 50));
        SetDword(key, "iSave", static_cast<DWORD>(n + 1));
        SetString(key, "IconPath", "C:\\Program Files\\Example" + std::to_string(n) + "\\example.exe");
        SetDword(key, "IconIndex", 0);
        SetDword(key, "RetrieveAgain", n % 3 == 0);
        ::RegCloseKey(key);
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
        HKEY key;
        if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, EntryPath(n).c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
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
        ::RegCloseKey(key);
        out.push_back(e);
    }
    return out.size();
}

void RawSave(const std::vector<RawEntry>& entries)
{
    int n = 0;
    for (; n < static_cast<int>(entries.size()); ++n) {
        const RawEntry& e = entries[n];
        HKEY key;
        if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, EntryPath(n).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr) != ERROR_SUCCESS)
            break;
        SetString(key, "Title", e.title);
        SetString(key, "CommandLine", e.commandLine);
        SetString(key, "Directory", e.directory);
        SetDword(key, "Icon", e.runMinimized);
        SetString(key, "Registry", e.registry);
        SetDword(key, "iSave", e.saveSlot);
        SetString(key, "IconPath", e.iconPath);
        SetDword(key, "IconIndex", e.iconIndex);
        SetDword(key, "RetrieveAgain", e.retrieveAgain);
        ::RegCloseKey(key);
    }
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, EntryPath(n).c_str());
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

struct Job {
    std::string group, method;
    int reps;
    int inner;  // calls per timed repetition; the time is divided by it
    std::function<std::string()> setUp, run, tearDown;
};

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
    HKEY info = nullptr;
    DWORD groupChanged = 1;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kStorePath, 0, KEY_SET_VALUE, &info) == ERROR_SUCCESS) {
        ::RegSetValueExA(info, "GroupChanged", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&groupChanged), 4);
        ::RegCloseKey(info);
    }
    TreeDigest stored = Digest(HKEY_LOCAL_MACHINE, kStorePath);

    const int reps = quick ? 2 : 11;
    CProgramList* pending = nullptr;
    std::vector<RawEntry> raw;
    std::vector<Job> jobs;

    jobs.push_back({"load 1,000 entries", "CProgramList constructor", reps, 1, [] { return std::string(); },
                    [&] {
                        pending = new CProgramList;
                        return pending->GetCount() == kEntries ? std::string()
                                                                : "loaded " + std::to_string(pending->GetCount());
                    },
                    [&] {
                        delete pending;  // unmodified: writes nothing
                        pending = nullptr;
                        return std::string();
                    }});
    jobs.push_back({"load 1,000 entries", "raw reads (reference)", reps, 1, [] { return std::string(); },
                    [&] {
                        size_t n = RawLoad(raw);
                        return n == kEntries ? std::string() : "loaded " + std::to_string(n);
                    },
                    [] { return std::string(); }});
    // Two moves that cancel out: the store ends as it began.
    jobs.push_back({"store a change, 1,000 entries", "MoveDown (stores the list)", reps, 2,
                    [&] {
                        pending = new CProgramList;
                        return std::string();
                    },
                    [&] {
                        pending->MoveDown(0);
                        pending->MoveUp(1);
                        return std::string();
                    },
                    [&] {
                        delete pending;
                        pending = nullptr;
                        return Digest(HKEY_LOCAL_MACHINE, kStorePath) == stored ? std::string()
                                                                               : std::string("store changed");
                    }});
    jobs.push_back({"store a change, 1,000 entries", "raw writes (reference)", reps, 1,
                    [&] {
                        RawLoad(raw);
                        return std::string();
                    },
                    [&] {
                        RawSave(raw);
                        return std::string();
                    },
                    [&] {
                        return Digest(HKEY_LOCAL_MACHINE, kStorePath) == stored ? std::string()
                                                                               : std::string("store changed");
                    }});

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
        for (int i = 0; i < kEntries; ++i) {
            HKEY key;
            if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, EntryPath(i).c_str(), 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
                SetDword(key, "iSave", static_cast<DWORD>(layout.slot(i)));
                ::RegCloseKey(key);
            }
        }
        lists.push_back(std::make_unique<CProgramList>());
        const CProgramList& list = *lists.back();
        std::string group = std::string("FirstFreeSnapshotSlot, ") + layout.name;
        auto check = [&list]() -> std::string {
            int a = list.FirstFreeSnapshotSlot(), b = NaiveFirstFreeSlot(list);
            return a == b ? std::string() : "answers differ: " + std::to_string(a) + " and " + std::to_string(b);
        };
        jobs.push_back({group, "FirstFreeSnapshotSlot", reps, inner, check, [&list, &sink, inner] {
                            for (int k = 0; k < inner; ++k)
                                sink = sink + list.FirstFreeSnapshotSlot();
                            return std::string();
                        },
                        [] { return std::string(); }});
        jobs.push_back({group, "rescan per candidate (reference)", reps, inner, check, [&list, &sink, inner] {
                            for (int k = 0; k < inner; ++k)
                                sink = sink + NaiveFirstFreeSlot(list);
                            return std::string();
                        },
                        [] { return std::string(); }});
    }
    WriteStore(kEntries);

    std::vector<Series> series(jobs.size());
    for (size_t i = 0; i < jobs.size(); ++i) {
        series[i].group = jobs[i].group;
        series[i].method = jobs[i].method;
        series[i].plannedReps = jobs[i].reps;
    }
    // Interleaved within each workload: the jobs of one group take turns.
    for (int rep = 0; rep < reps; ++rep) {
        for (size_t i = 0; i < jobs.size(); ++i) {
            Series& s = series[i];
            if (s.failed)
                continue;
            std::string err = jobs[i].setUp();
            double t0 = NowMs();
            if (err.empty())
                err = jobs[i].run();
            double t1 = NowMs();
            std::string after = jobs[i].tearDown();
            if (err.empty())
                err = after;
            if (!err.empty()) {
                s.Fail(err);
                continue;
            }
            s.ms.push_back((t1 - t0) / jobs[i].inner);
        }
        std::fprintf(stderr, "  start-up: round %d of %d\r", rep + 1, reps);
    }
    std::fprintf(stderr, "\n");

    std::vector<std::vector<std::string>> rows;
    rows.push_back({"workload", "method", "reps", "median ms", "min ms", "x reference", "note"});
    for (size_t i = 0; i < series.size(); ++i) {
        const Series& s = series[i];
        // Each workload's reference is the job right after the launcher's own.
        const Series* reference = i % 2 == 0 && i + 1 < series.size() ? &series[i + 1] : nullptr;
        rows.push_back({s.group, s.method, std::to_string(s.ms.size()) + (jobs[i].inner > 1 ? " x" + std::to_string(jobs[i].inner) : ""),
                        s.ms.empty() ? "FAILED" : FormatMs(s.Median()), s.ms.empty() ? "-" : FormatMs(s.Min()),
                        FormatRatio(s, reference), s.failed ? "FAILED: " + s.note : ""});
    }
    out.Line("");
    out.Line("Start-up and close work on a store of 1,000 entries (times in ms; \"x20\": per call, 20 calls per repetition)");
    out.Line("");
    PrintTable(out, rows);
    lists.clear();
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kStorePath);
    return 0;
}
