// Times the snapshot copies (CaptureSnapshot, RestoreSnapshot and the bare
// CopyRegistryTree) side by side with the platform's own ways of copying a
// key tree, on the five trees of the tests' kit (BuildTree), and a read-only
// walk of the source as the lower bound. Repetitions of the methods are
// interleaved; each one's set-up (removing or refilling the destination) is
// not timed. Over an old copy, a capture and a restore are also compared with
// the platform doing the same replacement without any safety: RegDeleteTreeA,
// then RegCopyTreeA.
//
// Usage: bench_treecopy [results-file] [--quick] [--tree typical|wide|deep|large|huge]
#include <windows.h>
#include <shlwapi.h>
#include <memory>

#include "bench/common/BenchCommon.h"
#include "framework/Scoped.h"
#include "framework/Text.h"
#include "framework/WinApp.h"
#include "model/ProgramEntry.h"
#include "registry/RegistryTree.h"
#include "tests/driver/Driver.h"

using namespace bench;
using namespace driver;

namespace {

const char kBenchKey[] = "Software\\CobweldBench";
// Capture writes into slot kCaptureSlot + tree; restore reads slot kRestoreSlot + tree.
const int kCaptureSlot = 9000;
const int kRestoreSlot = 9100;
// The entry that leaves the live key for the check before a restore.
const int kLeaverSlot = 9190;
const char kLowerBound[] = "read only (lower bound)";
const char kUnsafe[] = "RegDeleteTreeA+RegCopyTreeA over old";
const char kChecked[] = "check+RestoreSnapshot over old";

struct Tree {
    const char* name;
    int fastReps; // in-process methods
    int slowReps; // reg.exe and regedit; 0 leaves them out
    // A tree whose copies take seconds: only the methods that the ratios
    // need, each step told as it ends, each copy checked once.
    bool big;
};

// A key. The store's are named as 64-bit programs (reg.exe, regedit) see
// them, below Software\WOW6432Node.
struct Place {
    HKEY root;
    std::string path;
    std::string Name(bool full) const
    {
        const bool user = root == HKEY_CURRENT_USER;
        return (full ? (user ? "HKEY_CURRENT_USER\\" : "HKEY_LOCAL_MACHINE\\") : (user ? "HKCU\\" : "HKLM\\")) + path;
    }
};

// The launcher's code: every call into it is here.

// An entry on Software\CobweldBench\<settings> with that snapshot slot.
std::shared_ptr<CProgramEntry> Entry(const std::string& settings, int slot)
{
    auto entry = std::make_shared<CProgramEntry>();
    std::snprintf(entry->m_szRegistry, sizeof entry->m_szRegistry, "CobweldBench\\%s", settings.c_str());
    entry->m_nSaveSlot = slot;
    return entry;
}
// CaptureSnapshot, or RestoreSnapshot (after the check for changes made
// outside when checked); 1 on success.
std::function<int()> Ours(const std::string& settings, int slot, bool capture, bool checked = false)
{
    auto entry = Entry(settings, slot);
    return [entry, capture, checked] {
        if (checked && entry->Settings().ChangedSinceLeft().slot != 0)
            return 0; // the settings must be found as they were left
        return capture ? entry->CaptureSnapshot(REASON_REACQUIRE) : entry->RestoreSnapshot(true);
    };
}
// The slot's snapshot and every generation of it go.
void OurDiscard(int slot) { Entry("", slot)->Settings().Discard(); }
// How many generations a capture keeps (the launcher's profile value).
void OurDepth(int depth) { SetProfileInt("HistoryDepth", static_cast<DWORD>(depth)); }
LONG OurCopy(HKEY source, HKEY destination) { return CopyRegistryTree(source, destination) ? 0 : 1; }
// The lower bound: the source read as a copy reads it, nothing written.
std::string OurWalk(const Place& from)
{
    CRegKey src;
    const bool read = src.Open(from.root, from.path.c_str(), KEY_READ) == ERROR_SUCCESS && WalkRegistryTree(src, CTreeWalk());
    return read ? "" : "WalkRegistryTree failed";
}

// Set-up and checks, not timed

// Opens source, creates destination and runs copy(source, destination).
std::string CopyBetween(const Place& from, const Place& to, LONG (*copy)(HKEY, HKEY), const char* what)
{
    CRegKey src, dst;
    LONG rc = src.Open(from.root, from.path.c_str(), KEY_ALL_ACCESS);
    if (rc != ERROR_SUCCESS)
        what = "RegOpenKeyExA";
    else if ((rc = dst.Create(to.root, to.path.c_str(), KEY_ALL_ACCESS)) != ERROR_SUCCESS)
        what = "RegCreateKeyExA";
    else
        rc = copy(src, dst);
    return rc == ERROR_SUCCESS ? "" : std::string(what) + " returned " + std::to_string(rc);
}
LONG RegCopyTree(HKEY source, HKEY destination) { return ::RegCopyTreeA(source, nullptr, destination); }
LONG SHCopyKey(HKEY source, HKEY destination) { return static_cast<LONG>(::SHCopyKeyA(source, nullptr, destination, 0)); }

// A previous copy with something stale in it, as a snapshot or live key
// looks before it is replaced. holdsCopy: to holds a copy of from already
// (perhaps with the stale subkey), left by the method before.
bool FillWithOld(const Place& from, const Place& to, bool holdsCopy)
{
    if (!holdsCopy) {
        DeleteTree(to.root, to.path);
        if (!CopyBetween(from, to, RegCopyTree, "").empty())
            return false;
    }
    return SetString(to.root, to.path + "\\StaleSubkey", "Stale", "left over from an older copy");
}

// How many levels of "L" the registry lets nest below parent, up to left;
// rc: the result of the last creation.
int Nest(HKEY parent, int left, LONG& rc)
{
    CRegKey key;
    if (left == 0 || (rc = key.Create(parent, "L", KEY_ALL_ACCESS)) != ERROR_SUCCESS)
        return 0;
    return 1 + Nest(key, left - 1, rc);
}

std::string ProbeDepthLimit()
{
    const std::string base = std::string(kBenchKey) + "\\DepthProbe";
    DeleteTree(HKEY_CURRENT_USER, base);
    LONG rc = ERROR_SUCCESS;
    const int levels = Nest(Key(HKEY_CURRENT_USER, Widen(base)), 600, rc);
    DeleteTree(HKEY_CURRENT_USER, base);
    if (rc == ERROR_SUCCESS)
        return "nesting: 600 levels below HKCU\\" + base + " were accepted (no limit found)";
    return "nesting: " + std::to_string(levels) + " levels below HKCU\\" + base +
           " were accepted, the next RegCreateKeyExA returned " + std::to_string(rc);
}

// The methods

// The regedit round trip: export the source, move its key names to the
// destination in the file, import.
std::string RegeditRoundTrip(const Place& from, const Place& to)
{
    const std::wstring exported = _wgetenv(L"TEMP") + std::wstring(L"\\cobweld-bench-export.reg");
    const std::wstring imported = _wgetenv(L"TEMP") + std::wstring(L"\\cobweld-bench-import.reg");
    if (Run("C:\\windows\\regedit.exe", "/e \"" + Narrow(exported) + "\" \"" + from.Name(true) + "\"", INFINITE) != 0)
        return "regedit /e failed";
    const std::string bytes = ReadBytes(exported);
    if (bytes.compare(0, 2, "\xFF\xFE") != 0)
        return "export is not a UTF-16 .reg file";
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2), out;
    // Every header names a key of the source: "[<source>]" or "[<source>\...]".
    const std::wstring header = L"\n[" + Widen(from.Name(true)), moved = L"\n[" + Widen(to.Name(true));
    size_t at = 0, replaced = 0;
    for (size_t next; (next = text.find(header, at)) != std::wstring::npos; at = next + header.size(), ++replaced)
        out.append(text, at, next - at) += moved;
    out.append(text, at, std::wstring::npos);
    if (replaced == 0)
        return "export holds no key of the source";
    if (!WriteBytes(imported, "\xFF\xFE" + std::string(reinterpret_cast<const char*>(out.data()), out.size() * 2)))
        return "cannot write the import file";
    return Run("C:\\windows\\regedit.exe", "/s \"" + Narrow(imported) + "\"", INFINITE) == 0 ? "" : "regedit /s failed";
}

std::function<std::string()> Succeeds(const std::function<int()>& f)
{
    return [f] { return f() ? std::string() : "returned 0"; };
}

// Every method for one direction of one tree, in their order. ours is
// CaptureSnapshot or RestoreSnapshot of an entry whose keys are from
// (source) and to (target): it starts from a missing destination, and over
// an old copy, as a slot is in real use (a capture's slot then keeps the old
// copy as a generation, and removes the oldest beyond the history's depth).
// checked is the launch's restore, after the check against what leave
// records as the settings the launcher left.
std::vector<Trial> MethodsFor(const Tree& tree, const Place& from, const Place& to, const std::string& oursName,
                              const std::function<int()>& ours, const std::function<int()>& checked = nullptr,
                              const std::function<int()>& leave = nullptr)
{
    std::vector<Trial> m;
    // Whether the destination holds a copy of the source: a set-up that needs
    // an old copy then only adds the stale subkey (a copy of the huge tree
    // takes many seconds).
    auto holding = std::make_shared<bool>(false);
    auto clear = [to, holding] {
        DeleteTree(to.root, to.path);
        *holding = false;
        return std::string();
    };
    auto old = [from, to, holding](std::function<int()> leave) {
        return [from, to, holding, leave] {
            const bool filled = FillWithOld(from, to, *holding) && (!leave || leave());
            *holding = false;
            return filled ? std::string() : std::string("set-up failed");
        };
    };
    auto add = [&](const std::string& name, bool slow, std::function<std::string()> setUp, std::function<std::string()> run) {
        Trial trial{{tree.name, name, slow ? tree.slowReps : tree.fastReps}, setUp};
        if (trial.series.plannedReps == 0 || (tree.big && name.find("CopyRegistryTree") != std::string::npos))
            return;
        // What each copy leaves: the source's copy in the destination.
        trial.run = name == kLowerBound ? run : [run, holding] {
            std::string err = run();
            *holding = err.empty();
            return err;
        };
        m.push_back(std::move(trial));
    };
    auto copy = [from, to](LONG (*copy)(HKEY, HKEY), const char* what) {
        return [from, to, copy, what] { return CopyBetween(from, to, copy, what); };
    };

    add(kLowerBound, false, nullptr, [from] { return OurWalk(from); });
    add(oursName, false, clear, Succeeds(ours));
    add("CopyRegistryTree", false, clear, copy(OurCopy, "CopyRegistryTree"));
    add("RegCopyTreeA", false, clear, copy(RegCopyTree, "RegCopyTreeA"));
    if (!tree.big)
        add("SHCopyKeyA", false, clear, copy(SHCopyKey, "SHCopyKeyA"));
    add("reg copy /s /f", true, clear, [from, to] {
        long code = Run("C:\\windows\\system32\\reg.exe", "copy \"" + from.Name(false) + "\" \"" + to.Name(false) + "\" /s /f",
                        INFINITE);
        return code == 0 ? std::string() : "reg.exe exited with " + std::to_string(code);
    });
    add("regedit /e + /s", true, clear, [from, to] { return RegeditRoundTrip(from, to); });

    // Over an existing copy, as in real use: the old tree has to go first.
    add(oursName + " over old", false, old(nullptr), Succeeds(ours));
    // A launch's restore: first the check for changes made outside since
    // the launcher left the key (recorded, untimed, by another entry's
    // capture of the old copy), then the restore.
    if (checked)
        add(kChecked, false, old(leave), Succeeds(checked));
    add("DeleteRegistryTree+CopyRegistryTree over old", false, old(nullptr), [from, to] {
        DeleteRegistryTree(to.root, to.path.c_str());
        return CopyBetween(from, to, OurCopy, "CopyRegistryTree");
    });
    // The same replacement as ours with no safety at all: a process that
    // ends in between leaves no copy or half of one.
    add(kUnsafe, false, old(nullptr), [from, to] {
        ::RegDeleteTreeA(to.root, to.path.c_str());
        ::RegDeleteKeyA(to.root, to.path.c_str());
        return CopyBetween(from, to, RegCopyTree, "RegCopyTreeA");
    });
    return m;
}

struct Block {
    std::string title;
    bool capture;
    std::vector<Series> series;
    std::string note;
};

Block RunBlock(const std::string& title, const Tree& tree, const Place& from, const Place& to, std::vector<Trial> trials)
{
    const std::string expected = Dump(from.root, from.path, false);
    // The first and the last result of each copy must equal the source.
    for (size_t i = 1; i < trials.size(); ++i)
        trials[i].finish = [&expected, to, big = tree.big, last = trials[i].series.plannedReps - 1](int rep) {
            if (rep != 0 && (rep != last || big))
                return std::string();
            const std::string got = Dump(to.root, to.path, false);
            return got == expected ? std::string() : "copy differs from the source: " + DumpSize(got);
        };
    // The huge tree's rounds take minutes: it tells each step.
    Block block{title, title.find(": capture") != std::string::npos, RunRounds(trials, title, true, tree.big),
                "source " + DumpSize(expected)};
    DeleteTree(to.root, to.path);
    return block;
}

// A capture over an old copy into a slot that keeps one generation, beside
// one that keeps ten: each makes a generation of the snapshot it replaces
// (renames) and removes the oldest beyond its depth, so the history's length
// should not show.
Block GenerationsBlock(const Tree& tree, const Place& from, int slot)
{
    std::vector<Trial> trials;
    const int slots[] = {slot, slot + 50}; // a slot of its own for each depth
    for (int k = 0; k < 2; ++k) {
        const int depth = k ? 10 : 1;
        const Place to{HKEY_LOCAL_MACHINE, SnapshotPath(slots[k], kWow64StoreRoot)};
        auto capture = Ours(std::string("Src\\") + tree.name, slots[k], true);
        OurDepth(depth);
        OurDiscard(slots[k]);
        for (int i = 0; i <= depth; ++i)
            capture();
        trials.push_back({{tree.name, "CaptureSnapshot over old, " + std::to_string(depth) + " generations", tree.fastReps},
                          [from, to, depth] {
                              OurDepth(depth);
                              return FillWithOld(from, to, true) ? std::string() : std::string("set-up failed");
                          },
                          Succeeds(capture)});
    }
    const std::string title = std::string(tree.name) + ": capture over an old copy, by the generations kept";
    Block block{title, true, RunRounds(trials, std::string(tree.name) + ": capture with generations", true), ""};
    for (int s : slots)
        OurDiscard(s);
    OurDepth(1);
    return block;
}

} // namespace

int main(int argc, char** argv)
{
    const Arguments arguments = ParseArguments(argc, argv);
    Output out(arguments.resultsPath);
    // The launcher's profile, for the history's depth.
    CWinApp app("COBWELD");
    app.SetRegistryKey("Varnolite");

    // The huge tree takes seconds a copy: fewer repetitions, and only the
    // methods that the ratios need.
    std::vector<Tree> trees = {
        {"typical", 11, 5, false}, {"wide", 7, 3, false}, {"deep", 11, 5, false}, {"large", 5, 3, false}, {"huge", 3, 0, true},
    };
    for (auto& t : trees)
        if (arguments.quick)
            t.fastReps = t.big ? 1 : 2, t.slowReps = std::min(t.slowReps, 2);

    out.Lines({"Registry tree copy (times in ms; each run opens the source, creates the destination and copies;",
               "set-up, which removes the destination or refills it with an old copy, is not timed)", ProbeDepthLimit()});

    std::vector<Block> blocks;
    for (size_t t = 0; t < trees.size(); ++t) {
        const Tree& tree = trees[t];
        if (arguments.Skips(tree.name))
            continue;
        const int captureSlot = kCaptureSlot + static_cast<int>(t), restoreSlot = kRestoreSlot + static_cast<int>(t);
        const Place src{HKEY_CURRENT_USER, std::string(kBenchKey) + "\\Src\\" + tree.name};
        const Place live{HKEY_CURRENT_USER, std::string(kBenchKey) + "\\Live\\" + tree.name};
        const Place capture{HKEY_LOCAL_MACHINE, SnapshotPath(captureSlot, kWow64StoreRoot)};
        const Place restore{HKEY_LOCAL_MACHINE, SnapshotPath(restoreSlot, kWow64StoreRoot)};

        double t0 = NowMs();
        DeleteTree(src.root, src.path);
        BuildTree(Key(src.root, Widen(src.path)), tree.name);
        std::fprintf(stderr, "built %s in %.0f ms\n", tree.name, NowMs() - t0);

        // Over an old copy the capture keeps one generation, as an earlier
        // build kept its previous settings: it removes one as it makes one.
        OurDepth(1);
        OurDiscard(captureSlot);
        blocks.push_back(RunBlock(std::string(tree.name) + ": capture, HKCU settings key -> HKLM snapshot slot", tree, src,
                                  capture, MethodsFor(tree, src, capture, "CaptureSnapshot",
                                                      Ours(std::string("Src\\") + tree.name, captureSlot, true))));
        OurDiscard(captureSlot);
        if (!tree.big)
            blocks.push_back(GenerationsBlock(tree, src, captureSlot));
        DeleteTree(restore.root, restore.path);
        CopyBetween(src, restore, RegCopyTree, "");
        const std::string settings = std::string("Live\\") + tree.name;
        blocks.push_back(RunBlock(std::string(tree.name) + ": restore, HKLM snapshot slot -> HKCU settings key", tree, restore,
                                  live, MethodsFor(tree, restore, live, "RestoreSnapshot", Ours(settings, restoreSlot, false),
                                                   Ours(settings, restoreSlot, false, true),
                                                   Ours(settings, kLeaverSlot, true))));
        OurDiscard(restoreSlot);
        OurDiscard(kLeaverSlot);
        DeleteTree(src.root, src.path);
    }

    std::vector<std::vector<std::string>> rows = {{"tree", "direction", "method", "reps", "median ms", "min ms",
                                                   "x RegCopyTreeA", "x lower bound", "x reg copy", "x unsafe", "note"}};
    // Ours over an old copy against the platform's unsafe replacement, per
    // tree: the figures the goals are set in.
    std::vector<std::vector<std::string>> summary = {{"tree", "CaptureSnapshot over old", "x unsafe",
                                                      "RestoreSnapshot over old", "x unsafe", kChecked, "x unsafe"}};
    for (const Block& b : blocks) {
        const Series* unsafe = FindSeries(b.series, kUnsafe);
        for (const Series& s : b.series) {
            const bool overOld = s.method.size() > 8 && s.method.compare(s.method.size() - 8, 8, "over old") == 0;
            rows.push_back({s.group, b.capture ? "capture" : "restore", s.method, s.RepsText(), s.MedianText(), s.MinText(),
                            FormatRatio(s, FindSeries(b.series, "RegCopyTreeA")), FormatRatio(s, FindSeries(b.series, kLowerBound)),
                            FormatRatio(s, FindSeries(b.series, "reg copy /s /f")), overOld ? FormatRatio(s, unsafe) : "-",
                            s.NoteText()});
        }
        if (!unsafe)
            continue; // the generations
        if (b.capture)
            summary.push_back({unsafe->group, "-", "-", "-", "-", "-", "-"});
        const std::vector<std::string> ours = b.capture ? std::vector<std::string>{"CaptureSnapshot over old"}
                                                        : std::vector<std::string>{"RestoreSnapshot over old", kChecked};
        for (size_t c = 0; c < ours.size(); ++c)
            if (const Series* s = FindSeries(b.series, ours[c])) {
                const size_t at = b.capture ? 1 : 3 + 2 * c;
                summary.back()[at] = s->MedianText();
                summary.back()[at + 1] = FormatRatio(*s, unsafe);
            }
    }
    out.Line("");
    out.Table(rows);
    out.Lines({"", "Over an old copy, against the unsafe replacement (RegDeleteTreeA, then RegCopyTreeA); goals: a capture",
               "within 1.2x, a restore within 1.1x", ""});
    out.Table(summary);
    out.Line("");
    for (const Block& b : blocks)
        if (!b.note.empty())
            out.Line(b.title + ": " + b.note);
    out.Lines({"Ratios are of medians. Rows \"... over old\" start from a destination that already holds an older copy",
               "(with one stale subkey), CaptureSnapshot's slot also with older previous settings; the other copies start",
               "from a missing destination. x unsafe: to RegDeleteTreeA+RegCopyTreeA over old, the same replacement with no",
               "safety (a process that ends in between leaves no copy, or half of one).",
               "reg copy and regedit run as child processes, with fewer repetitions than the in-process methods.",
               "regedit /e + /s: export, rename the key headers in the file, import; key classes are not carried."});
    return 0;
}
