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
#include "model/ProgramEntry.h"
#include "registry/RegistryTree.h"
#include "framework/WinApp.h"
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
    int fastReps;  // in-process methods
    int slowReps;  // reg.exe and regedit; 0 leaves them out
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

// ---------------------------------------------------------------------------
// The launcher's code: every call into it is here.

// CaptureSnapshot, or RestoreSnapshot (after the check for changes made
// outside when checked), of an entry on Software\CobweldBench\<settings>
// with that snapshot slot; 1 on success.
std::shared_ptr<CProgramEntry> Entry(const std::string& settings, int slot)
{
    auto entry = std::make_shared<CProgramEntry>();
    std::snprintf(entry->m_szRegistry, sizeof entry->m_szRegistry, "CobweldBench\\%s", settings.c_str());
    entry->m_nSaveSlot = slot;
    return entry;
}
std::function<int()> Ours(const std::string& settings, int slot, bool capture, bool checked = false)
{
    auto entry = Entry(settings, slot);
    return [entry, capture, checked] {
        if (checked && entry->Settings().ChangedSinceLeft().slot != 0)
            return 0; // the settings must be found as they were left
        return capture ? entry->CaptureSnapshot(REASON_REACQUIRE) : entry->RestoreSnapshot(true);
    };
}
// The settings as they are are left by another entry on them (slot): what
// the check before a restore compares against.
std::function<int()> LeftBy(const std::string& settings, int slot)
{
    auto entry = Entry(settings, slot);
    return [entry] { return entry->CaptureSnapshot(REASON_REACQUIRE); };
}
// The slot's snapshot and every generation of it go.
void OurDiscard(int slot) { Entry("", slot)->Settings().Discard(); }
// How many generations a capture keeps (the launcher's profile value).
void OurDepth(int depth) { SetProfileInt("HistoryDepth", static_cast<DWORD>(depth)); }
LONG OurCopy(HKEY source, HKEY destination) { return CopyRegistryTree(source, destination) ? 0 : 1; }
void OurDelete(const Place& p) { DeleteRegistryTree(p.root, p.path.c_str()); }

// ---------------------------------------------------------------------------
// Set-up and checks, not timed

// For set-up only: the platform's copy.
bool CopyTree(const Place& from, const Place& to)
{
    return ::RegCopyTreeA(Key(from.root, Widen(from.path)), nullptr, Key(to.root, Widen(to.path))) == ERROR_SUCCESS;
}

// A previous copy with something stale in it, as a snapshot or live key
// looks before it is replaced. holdsCopy: to holds a copy of from already
// (perhaps with the stale subkey), left by the method before.
bool FillWithOld(const Place& from, const Place& to, bool holdsCopy)
{
    if (!holdsCopy) {
        DeleteTree(to.root, to.path);
        if (!CopyTree(from, to))
            return false;
    }
    return SetString(to.root, to.path + "\\StaleSubkey", "Stale", "left over from an older copy");
}

// "<n> keys, <n> values, <n> bytes" of a tree's Dump.
std::string Describe(const std::string& dump)
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
    // HKCU is HKEY_USERS\<user>, itself below the root of the registry.
    LONG rc = ERROR_SUCCESS;
    const int levels = Nest(Key(HKEY_CURRENT_USER, Widen(base)), 600, rc);
    DeleteTree(HKEY_CURRENT_USER, base);
    if (rc == ERROR_SUCCESS)
        return "nesting: 600 levels below HKCU\\" + base + " were accepted (no limit found)";
    return "nesting: " + std::to_string(levels) + " levels below HKCU\\" + base +
           " were accepted, the next RegCreateKeyExA returned " + std::to_string(rc);
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
            CRegKey sub;
            if (rc != ERROR_SUCCESS || sub.Open(key, name, KEY_READ) != ERROR_SUCCESS) {
                ok = false;
                return;
            }
            Walk(sub);
        }
    }
};

// ---------------------------------------------------------------------------
// The regedit round trip: export the source, move its key names to the
// destination in the file, import.

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
    const std::wstring exported = _wgetenv(L"TEMP") + std::wstring(L"\\cobweld-bench-export.reg");
    const std::wstring imported = _wgetenv(L"TEMP") + std::wstring(L"\\cobweld-bench-import.reg");
    if (Run("C:\\windows\\regedit.exe", "/e \"" + Narrow(exported) + "\" \"" + from.Name(true) + "\"", INFINITE) != 0)
        return "regedit /e failed";
    const std::string bytes = ReadBytes(exported);
    if (bytes.compare(0, 2, "\xFF\xFE") != 0)
        return "export is not a UTF-16 .reg file";
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    if (!RewriteHeaders(text, Widen(from.Name(true)), Widen(to.Name(true))))
        return "export holds no key of the source";
    if (!WriteBytes(imported, "\xFF\xFE" + std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2)))
        return "cannot write the import file";
    return Run("C:\\windows\\regedit.exe", "/s \"" + Narrow(imported) + "\"", INFINITE) == 0 ? "" : "regedit /s failed";
}

// ---------------------------------------------------------------------------
// The methods

bool OverOld(const std::string& method)
{
    return method.size() > 8 && method.compare(method.size() - 8, 8, "over old") == 0;
}

// Whether the destination holds a copy of the source: a set-up that needs
// an old copy then only adds the stale subkey (a copy of the huge tree takes
// many seconds).
struct Holding {
    bool copy = false;
};

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
    auto holding = std::make_shared<Holding>();
    auto clear = [to, holding] {
        DeleteTree(to.root, to.path);
        *holding = Holding();
        return std::string();
    };
    auto old = [from, to, holding, leave](bool left) {
        return [from, to, holding, left, leave = left ? leave : nullptr] {
            bool filled = FillWithOld(from, to, holding->copy) && (!leave || leave());
            holding->copy = false;
            return filled ? std::string() : std::string("set-up failed");
        };
    };
    auto add = [&](const std::string& name, bool slow, std::function<std::string()> setUp, std::function<std::string()> run) {
        Trial trial;
        trial.series = {tree.name, name, slow ? tree.slowReps : tree.fastReps};
        if (trial.series.plannedReps == 0 || (tree.big && name.find("CopyRegistryTree") != std::string::npos))
            return;
        // What each copy leaves: the source's copy in the destination.
        trial.setUp = setUp;
        trial.run = name == kLowerBound ? run : [run, holding] {
            std::string err = run();
            holding->copy = err.empty();
            return err;
        };
        m.push_back(std::move(trial));
    };
    auto succeeds = [](const std::function<int()>& f) { return [f] { return f() ? std::string() : "returned 0"; }; };

    add(kLowerBound, false, nullptr, [from] {
        CRegKey src;
        LONG rc = src.Open(from.root, from.path.c_str(), KEY_READ);
        if (rc != ERROR_SUCCESS)
            return "RegOpenKeyExA returned " + std::to_string(rc);
        static Reader reader;
        reader.ok = true;
        reader.Walk(src);
        return reader.ok ? std::string() : std::string("enumeration failed");
    });
    add(oursName, false, clear, succeeds(ours));
    add("CopyRegistryTree", false, clear, [from, to] { return CopyBetween(from, to, OurCopy, "CopyRegistryTree"); });
    auto regCopyTree = [](HKEY s, HKEY d) -> LONG { return ::RegCopyTreeA(s, nullptr, d); };
    add("RegCopyTreeA", false, clear, [from, to, regCopyTree] { return CopyBetween(from, to, regCopyTree, "RegCopyTreeA"); });
    if (!tree.big)
        add("SHCopyKeyA", false, clear, [from, to] {
            return CopyBetween(from, to, [](HKEY s, HKEY d) { return static_cast<LONG>(::SHCopyKeyA(s, nullptr, d, 0)); },
                               "SHCopyKeyA");
        });
    add("reg copy /s /f", true, clear, [from, to] {
        long code = Run("C:\\windows\\system32\\reg.exe", "copy \"" + from.Name(false) + "\" \"" + to.Name(false) + "\" /s /f",
                        INFINITE);
        return code == 0 ? std::string() : "reg.exe exited with " + std::to_string(code);
    });
    add("regedit /e + /s", true, clear, [from, to] { return RegeditRoundTrip(from, to); });

    // Over an existing copy, as in real use: the old tree has to go first.
    add(oursName + " over old", false, old(false), succeeds(ours));
    // A launch's restore: first the check for changes made outside since
    // the launcher left the key (recorded, untimed, by another entry's
    // capture of the old copy), then the restore.
    if (checked)
        add(kChecked, false, old(true), succeeds(checked));
    add("DeleteRegistryTree+CopyRegistryTree over old", false, old(false), [from, to] {
        OurDelete(to);
        return CopyBetween(from, to, OurCopy, "CopyRegistryTree");
    });
    // The same replacement as ours with no safety at all: a process that
    // ends in between leaves no copy or half of one.
    add(kUnsafe, false, old(false), [from, to, regCopyTree] {
        ::RegDeleteTreeA(to.root, to.path.c_str());
        ::RegDeleteKeyA(to.root, to.path.c_str());
        return CopyBetween(from, to, regCopyTree, "RegCopyTreeA");
    });
    return m;
}

// ---------------------------------------------------------------------------

struct Block {
    std::string title;
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
            return got == expected ? std::string() : "copy differs from the source: " + Describe(got);
        };
    // The huge tree's rounds take minutes: it tells each step.
    RunRounds(trials, title, true, tree.big);
    DeleteTree(to.root, to.path);
    Block block{title, {}, "source " + Describe(expected)};
    for (Trial& trial : trials)
        block.series.push_back(std::move(trial.series));
    return block;
}

// A capture over an old copy into a slot that keeps one generation, beside
// one that keeps ten: each makes a generation of the snapshot it replaces
// (renames) and removes the oldest beyond its depth, so the history's length
// should not show.
Block GenerationsBlock(const Tree& tree, const Place& from, int slot)
{
    std::vector<Trial> trials;
    for (int depth : {1, 10}) {
        const Place to{HKEY_LOCAL_MACHINE, SnapshotPath(slot, kWow64StoreRoot)};
        auto capture = Ours(std::string("Src\\") + tree.name, slot, true);
        OurDepth(depth);
        OurDiscard(slot);
        for (int i = 0; i <= depth; ++i)
            capture();
        Trial trial;
        trial.series = {tree.name, "CaptureSnapshot over old, " + std::to_string(depth) + " generations", tree.fastReps};
        trial.setUp = [from, to, depth] {
            OurDepth(depth);
            return FillWithOld(from, to, true) ? std::string() : std::string("set-up failed");
        };
        trial.run = [capture] { return capture() ? std::string() : std::string("returned 0"); };
        trials.push_back(std::move(trial));
        slot += 50; // a slot of its own for each depth
    }
    RunRounds(trials, std::string(tree.name) + ": capture with generations", true);
    Block block{std::string(tree.name) + ": capture over an old copy, by the generations kept", {}, ""};
    for (Trial& trial : trials)
        block.series.push_back(std::move(trial.series));
    for (int depth : {1, 10})
        OurDiscard(slot - (depth == 1 ? 100 : 50));
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
    if (arguments.quick)
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
        if (arguments.tree && std::strcmp(arguments.tree, tree.name) != 0)
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
        CopyTree(src, restore);
        const std::string settings = std::string("Live\\") + tree.name;
        blocks.push_back(RunBlock(std::string(tree.name) + ": restore, HKLM snapshot slot -> HKCU settings key", tree, restore,
                                  live, MethodsFor(tree, restore, live, "RestoreSnapshot", Ours(settings, restoreSlot, false),
                                                   Ours(settings, restoreSlot, false, true),
                                                   LeftBy(settings, kLeaverSlot))));
        OurDiscard(restoreSlot);
        OurDiscard(kLeaverSlot);
        DeleteTree(src.root, src.path);
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
        const Series* regCopyTree = FindSeries(b.series, "RegCopyTreeA");
        const Series* unsafe = FindSeries(b.series, kUnsafe);
        const Series* lower = FindSeries(b.series, kLowerBound);
        const Series* reg = FindSeries(b.series, "reg copy /s /f");
        const char* direction = b.title.find("capture") != std::string::npos ? "capture" : "restore";
        for (const Series& s : b.series) {
            rows.push_back({s.group, direction, s.method, s.RepsText(), s.MedianText(), s.MinText(), FormatRatio(s, regCopyTree),
                            FormatRatio(s, lower), FormatRatio(s, reg), OverOld(s.method) ? FormatRatio(s, unsafe) : "-",
                            s.NoteText()});
        }
        const Series* ours = FindSeries(b.series, direction[0] == 'c' ? "CaptureSnapshot over old" : "RestoreSnapshot over old");
        if (direction[0] == 'c')
            summary.push_back({b.series.empty() ? "" : b.series[0].group, "", "", "-", "-", "-", "-"});
        summary.back()[direction[0] == 'c' ? 1 : 3] = ours ? ours->MedianText() : "FAILED";
        summary.back()[direction[0] == 'c' ? 2 : 4] = ours ? FormatRatio(*ours, unsafe) : "-";
        if (const Series* checked = direction[0] == 'r' ? FindSeries(b.series, kChecked) : nullptr) {
            summary.back()[5] = checked->MedianText();
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
        out.Line(b.title + ": " + b.note);
    out.Line("Ratios are of medians. Rows \"... over old\" start from a destination that already holds an older copy");
    out.Line("(with one stale subkey), CaptureSnapshot's slot also with older previous settings; the other copies start");
    out.Line("from a missing destination. x unsafe: to RegDeleteTreeA+RegCopyTreeA over old, the same replacement with no");
    out.Line("safety (a process that ends in between leaves no copy, or half of one).");
    out.Line("reg copy and regedit run as child processes, with fewer repetitions than the in-process methods.");
    out.Line("regedit /e + /s: export, rename the key headers in the file, import; key classes are not carried.");
    return 0;
}
