// Times the copies of settings folders, both ways: a capture as the launcher
// makes one (CopyFileTree into a staging folder, hard-linking the files the
// current snapshot holds unchanged, then the renames that put the copy in use
// and the removal of the oldest generation) and a restore (MirrorFileTree),
// each beside the platform doing the same replacement without any safety: the
// old tree removed, then copied file by file with CopyFileExW. A process that
// ends in the middle of that leaves no copy, or half of one.
//
// Two trees, below a folder of this benchmark's own under %LOCALAPPDATA%:
// "appdata", 2,000 small files in 200 folders (about 20 MB), and "media",
// 8 files of 50 MB. Between two captures a tenth of the live files is written
// again; before a restore the live tree differs from the snapshot in a tenth
// of its files and holds a few more. The same capture and restore over a tree
// that has not changed show what the comparison saves.
//
// Usage: bench_filetree [results-file] [--quick] [--tree appdata|media]
#include <windows.h>
#include <cwchar>
#include <map>
#include <memory>

#include "bench/common/BenchCommon.h"
#include "files/FilePath.h"
#include "files/TreeCopy.h"
#include "files/TreeMirror.h"
#include "files/TreeRemove.h"
#include "framework/Scoped.h"
#include "framework/Text.h"

using namespace bench;

namespace {

const char kCaptureChanged[] = "capture, a tenth changed";
const char kCaptureUnchanged[] = "capture, unchanged";
const char kUnsafeCapture[] = "unsafe capture: remove, CopyFileExW";
const char kRestoreChanged[] = "restore, a tenth changed, a few added";
const char kRestoreUnchanged[] = "restore, unchanged";
const char kUnsafeRestore[] = "unsafe restore: remove, CopyFileExW";

std::string Text(const std::wstring& path) { return Narrow(path); }

// ---------------------------------------------------------------------------
// The launcher's code: every call into it is here.

std::string Failed(const char* what, const FileError& error)
{
    return std::string(what) + " failed on " + Text(error.path) + " (error " + std::to_string(error.code) + ")";
}

// A capture of live into the snapshot folder, keeping one generation: the
// copy is made beside the snapshot (<snapshot>.new), hard-linking what the
// snapshot holds unchanged; then the snapshot becomes the newest generation
// (<snapshot>.g<n>), the copy takes its place, and the generation before goes.
// phases (when given) hears how long the copy, the renames and the removal took.
struct Phases {
    std::vector<double> copy, rename, remove;
};
std::string OurCapture(const std::wstring& live, const std::wstring& snapshot, int* generation, Phases* phases = nullptr)
{
    FileError error;
    const std::wstring staging = snapshot + L".new";
    const double t0 = NowMs();
    if (!CopyFileTree(live, staging, snapshot, CWorkProgress(), &error))
        return Failed("CopyFileTree", error);
    const double t1 = NowMs();
    if (PathExists(snapshot)) {
        if (!RenameFileTree(snapshot, snapshot + L".g" + std::to_wstring(*generation + 1), &error))
            return Failed("RenameFileTree", error);
        ++*generation;
    }
    if (!RenameFileTree(staging, snapshot, &error))
        return Failed("RenameFileTree", error);
    const double t2 = NowMs();
    if (!RemoveFileTree(snapshot + L".g" + std::to_wstring(*generation - 1), &error))
        return Failed("RemoveFileTree", error);
    if (phases) {
        phases->copy.push_back(t1 - t0);
        phases->rename.push_back(t2 - t1);
        phases->remove.push_back(NowMs() - t2);
    }
    return "";
}

std::string OurRestore(const std::wstring& snapshot, const std::wstring& live)
{
    FileError error;
    return MirrorFileTree(snapshot, live, CWorkProgress(), &error) ? "" : Failed("MirrorFileTree", error);
}

// For set-up: a copy that carries the files' times, as a snapshot has them.
std::string OurCopy(const std::wstring& from, const std::wstring& to)
{
    FileError error;
    return CopyFileTree(from, to, L"", CWorkProgress(), &error) ? "" : Failed("CopyFileTree", error);
}

// ---------------------------------------------------------------------------
// The platform's own calls: the unsafe replacement, the trees, the checks.

std::wstring Long(const std::wstring& path) { return L"\\\\?\\" + path; }

std::string Refused(const char* what, const std::wstring& path)
{
    return std::string(what) + " failed on " + Text(path) + " (error " + std::to_string(::GetLastError()) + ")";
}

// The names in folder (a long path), but "." and "..".
template <class Each>
bool ForEachName(const std::wstring& folder, Each each)
{
    WIN32_FIND_DATAW found;
    CFindHandle search(::FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                          nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!search.IsValid())
        return false;
    do {
        if (std::wcscmp(found.cFileName, L".") && std::wcscmp(found.cFileName, L".."))
            each(found);
    } while (::FindNextFileW(search, &found));
    return ::GetLastError() == ERROR_NO_MORE_FILES;
}

// Removes folder (a long path) and everything below it, deepest first. A
// missing folder is no failure.
std::string PlainRemove(const std::wstring& folder)
{
    if (::GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES)
        return "";
    std::string err;
    ForEachName(folder, [&](const WIN32_FIND_DATAW& found) {
        const std::wstring path = folder + L"\\" + found.cFileName;
        if (!err.empty())
            return;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            err = PlainRemove(path);
        else if (!::DeleteFileW(path.c_str()))
            err = Refused("DeleteFileW", path);
    });
    return !err.empty() ? err : ::RemoveDirectoryW(folder.c_str()) ? "" : Refused("RemoveDirectoryW", folder);
}

// Copies the folder from into to (long paths; to must not exist).
std::string PlainCopy(const std::wstring& from, const std::wstring& to)
{
    if (!::CreateDirectoryW(to.c_str(), nullptr))
        return Refused("CreateDirectoryW", to);
    std::string err;
    if (!ForEachName(from, [&](const WIN32_FIND_DATAW& found) {
            const std::wstring source = from + L"\\" + found.cFileName, target = to + L"\\" + found.cFileName;
            if (!err.empty())
                return;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                err = PlainCopy(source, target);
            else if (!::CopyFileExW(source.c_str(), target.c_str(), nullptr, nullptr, nullptr, 0))
                err = Refused("CopyFileExW", source);
        }))
        return err.empty() ? Refused("FindFirstFileExW", from) : err;
    return err;
}

// A tree as it is laid down: its folders (each after the one above it) and
// files, below its root.
struct File {
    std::wstring relative;
    ULONGLONG size;
};
struct Tree {
    const char* name;
    int reps;
    std::vector<std::wstring> folders;
    std::vector<File> files;
    // How many files a restore's live tree holds that the snapshot lacks.
    int added;
    ULONGLONG Bytes() const
    {
        ULONGLONG bytes = 0;
        for (const File& file : files)
            bytes += file.size;
        return bytes;
    }
};

ULONGLONG Next(ULONGLONG& state)
{
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
}

// 20 folders of a program's settings with 9 folders each, 10 files in every
// folder: 4 to 12 KB, or 4 to 20 KB for every other file.
Tree AppData()
{
    Tree tree{"appdata", 11, {}, {}, 5};
    ULONGLONG seed = 88172645463325252ULL;
    for (int top = 0; top < 20; ++top) {
        const std::wstring program = L"Vendor" + std::to_wstring(top);
        for (int sub = 0; sub < 10; ++sub) {
            const std::wstring folder = sub ? program + L"\\Part" + std::to_wstring(sub) : program;
            tree.folders.push_back(folder);
            for (int f = 0; f < 10; ++f)
                tree.files.push_back({folder + L"\\settings" + std::to_wstring(f) + L".dat",
                                      4096 + Next(seed) % (f % 2 ? 16385 : 8193)});
        }
    }
    return tree;
}

Tree Media()
{
    Tree tree{"media", 5, {L"Library"}, {}, 1};
    for (int f = 0; f < 8; ++f)
        tree.files.push_back({L"Library\\clip" + std::to_wstring(f) + L".bin", 50ULL << 20});
    return tree;
}

// Writes size bytes made from seed into path (a long path), replacing it.
std::string WriteContent(const std::wstring& path, ULONGLONG size, ULONGLONG seed)
{
    CHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
        return Refused("CreateFileW", path);
    static std::vector<ULONGLONG> block(1 << 17); // 1 MB
    ULONGLONG state = seed * 2654435761ULL + 1;
    for (ULONGLONG left = size; left > 0;) {
        for (ULONGLONG& word : block)
            word = Next(state);
        DWORD chunk = static_cast<DWORD>(std::min<ULONGLONG>(left, block.size() * sizeof(ULONGLONG))), written = 0;
        if (!::WriteFile(file, block.data(), chunk, &written, nullptr) || written != chunk)
            return Refused("WriteFile", path);
        left -= chunk;
    }
    return "";
}

std::string Build(const Tree& tree, const std::wstring& root)
{
    if (!::CreateDirectoryW(root.c_str(), nullptr))
        return Refused("CreateDirectoryW", root);
    for (const std::wstring& folder : tree.folders)
        if (!::CreateDirectoryW((root + L"\\" + folder).c_str(), nullptr))
            return Refused("CreateDirectoryW", folder);
    for (size_t f = 0; f < tree.files.size(); ++f) {
        std::string err = WriteContent(root + L"\\" + tree.files[f].relative, tree.files[f].size, f);
        if (!err.empty())
            return err;
    }
    return "";
}

// A tenth of the files (at least one), another tenth each round, written
// again with other bytes of the same size.
std::string Change(const Tree& tree, const std::wstring& root, int round)
{
    const size_t n = tree.files.size(), count = std::max<size_t>(1, n / 10);
    for (size_t k = 0; k < count; ++k) {
        const size_t f = (round * count + k) % n;
        std::string err = WriteContent(root + L"\\" + tree.files[f].relative, tree.files[f].size,
                                       (static_cast<ULONGLONG>(round) + 1) << 32 | f);
        if (!err.empty())
            return err;
    }
    return "";
}

// As a live tree looks before a restore: a tenth changed and a few files more.
std::string Disturb(const Tree& tree, const std::wstring& root, int round)
{
    std::string err = Change(tree, root, round);
    for (int k = 0; k < tree.added && err.empty(); ++k)
        err = WriteContent(root + L"\\" + tree.folders[k % tree.folders.size()] + L"\\added" + std::to_wstring(k) + L".tmp",
                           8192, round * 100 + k);
    return err;
}

// Every file below root by its relative path, with its size and links.
struct Found {
    ULONGLONG size = 0;
    DWORD links = 0;
};
void List(const std::wstring& root, const std::wstring& relative, std::map<std::wstring, Found>& found)
{
    ForEachName(root + relative, [&](const WIN32_FIND_DATAW& item) {
        const std::wstring path = relative + L"\\" + item.cFileName;
        if (item.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            found[path + L"\\"] = Found();
            List(root, path, found);
            return;
        }
        BY_HANDLE_FILE_INFORMATION info = {};
        CHandle file(::CreateFileW((root + path).c_str(), 0, 7, nullptr, OPEN_EXISTING, 0, nullptr));
        ::GetFileInformationByHandle(file, &info);
        found[path] = {(static_cast<ULONGLONG>(item.nFileSizeHigh) << 32) | item.nFileSizeLow, info.nNumberOfLinks};
    });
}

bool SameBytes(const std::wstring& a, const std::wstring& b)
{
    CHandle fa(::CreateFileW(a.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    CHandle fb(::CreateFileW(b.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    static std::vector<char> ba(1 << 20), bb(1 << 20);
    for (DWORD ra = 0, rb = 0;;) {
        if (!::ReadFile(fa, ba.data(), 1 << 20, &ra, nullptr) || !::ReadFile(fb, bb.data(), 1 << 20, &rb, nullptr) || ra != rb
            || std::memcmp(ba.data(), bb.data(), ra) != 0)
            return false;
        if (ra == 0)
            return true;
    }
}

// "" when copy holds the folders and files of source, of the same sizes and
// bytes; else the first difference.
std::string Compare(const std::wstring& source, const std::wstring& copy)
{
    std::map<std::wstring, Found> want, got;
    List(source, L"", want);
    List(copy, L"", got);
    for (const auto& item : want) {
        auto other = got.find(item.first);
        if (other == got.end())
            return "the copy lacks " + Text(item.first);
        if (other->second.size != item.second.size || (item.first.back() != L'\\'
                                                        && !SameBytes(source + item.first, copy + item.first)))
            return "the copy's " + Text(item.first) + " differs";
    }
    for (const auto& item : got)
        if (!want.count(item.first))
            return "the copy has " + Text(item.first) + " besides";
    return "";
}

// "<n> of <m> files hard-linked" in root.
std::string Linked(const std::wstring& root)
{
    std::map<std::wstring, Found> found;
    List(root, L"", found);
    size_t files = 0, linked = 0;
    for (const auto& item : found)
        if (item.first.back() != L'\\')
            ++files, linked += item.second.links > 1;
    return std::to_string(linked) + " of " + std::to_string(files) + " files hard-linked";
}

// ---------------------------------------------------------------------------

struct Block {
    std::string tree;
    std::vector<Series> series;
    std::vector<std::string> notes;
};

// The folders of one tree, long paths: the live tree and its snapshot (with
// its generations beside it) for the captures, the unsafe capture's copy,
// and a snapshot and its live tree for the restores.
struct Places {
    std::wstring live, snapshot, unsafe, restoreSnapshot, restoreLive;
    int generation = 0;
    int changes = 0, disturbances = 0;
};

Block RunTree(const Tree& tree, const std::wstring& root, bool verbose)
{
    Block block{tree.name, {}, {}};
    auto p = std::make_shared<Places>();
    p->live = root + L"\\live";
    p->snapshot = root + L"\\snapshot";
    p->unsafe = root + L"\\unsafe";
    p->restoreSnapshot = root + L"\\restore-snapshot";
    p->restoreLive = root + L"\\restore-live";

    const double t0 = NowMs();
    std::string err = ::CreateDirectoryW(root.c_str(), nullptr) ? Build(tree, p->live) : Refused("CreateDirectoryW", root);
    // The snapshot and one generation, as two captures leave them.
    for (int capture = 0; capture < 2 && err.empty(); ++capture)
        err = OurCapture(p->live, p->snapshot, &p->generation);
    if (err.empty())
        err = PlainCopy(p->live, p->unsafe);
    if (err.empty())
        err = OurCopy(p->live, p->restoreSnapshot);
    if (err.empty())
        err = OurCopy(p->restoreSnapshot, p->restoreLive);
    std::fprintf(stderr, "built %s in %.0f ms\n", tree.name, NowMs() - t0);
    block.notes.push_back(std::to_string(tree.files.size()) + " files in " + std::to_string(tree.folders.size())
                          + (tree.folders.size() == 1 ? " folder, " : " folders, ") + Format("%.1f", tree.Bytes() / 1048576.0) + " MB");
    if (!err.empty()) {
        block.notes.push_back("set-up failed: " + err);
        return block;
    }

    std::vector<Trial> trials;
    std::vector<std::shared_ptr<std::string>> linkNotes;
    auto add = [&](const char* method, std::function<std::string()> setUp, std::function<std::string()> run,
                   const std::wstring& source, const std::wstring& copy, bool linked) {
        Trial trial;
        trial.series = {tree.name, method, tree.reps};
        trial.setUp = setUp;
        trial.run = run;
        // Each copy is checked once against its source.
        auto note = std::make_shared<std::string>();
        linkNotes.push_back(note);
        trial.finish = [source, copy, linked, note, method](int rep) {
            if (rep != 0)
                return std::string();
            if (linked)
                *note = std::string(method) + ": the snapshot has " + Linked(copy);
            return Compare(source, copy);
        };
        trials.push_back(std::move(trial));
    };
    auto capture = [p](Phases* phases) {
        return [p, phases] { return OurCapture(p->live, p->snapshot, &p->generation, phases); };
    };
    auto changedPhases = std::make_shared<Phases>(), unchangedPhases = std::make_shared<Phases>();
    auto restore = [p] { return OurRestore(p->restoreSnapshot, p->restoreLive); };
    auto disturb = [p, &tree] { return Disturb(tree, p->restoreLive, ++p->disturbances); };
    add(kCaptureChanged, [p, &tree] { return Change(tree, p->live, ++p->changes); }, capture(changedPhases.get()), p->live, p->snapshot, true);
    add(kCaptureUnchanged, nullptr, capture(unchangedPhases.get()), p->live, p->snapshot, true);
    add(kUnsafeCapture, nullptr, [p] {
        std::string err = PlainRemove(p->unsafe);
        return err.empty() ? PlainCopy(p->live, p->unsafe) : err;
    }, p->live, p->unsafe, false);
    add(kRestoreChanged, disturb, restore, p->restoreSnapshot, p->restoreLive, false);
    add(kRestoreUnchanged, nullptr, restore, p->restoreSnapshot, p->restoreLive, false);
    add(kUnsafeRestore, disturb, [p] {
        std::string err = PlainRemove(p->restoreLive);
        return err.empty() ? PlainCopy(p->restoreSnapshot, p->restoreLive) : err;
    }, p->restoreSnapshot, p->restoreLive, false);

    RunRounds(trials, tree.name, true, verbose);
    for (Trial& trial : trials)
        block.series.push_back(std::move(trial.series));
    for (const auto& note : linkNotes)
        block.notes.push_back(*note);
    for (const auto& phases : {std::make_pair(kCaptureChanged, changedPhases), {kCaptureUnchanged, unchangedPhases}}) {
        auto median = [](const std::vector<double>& ms) { return FormatMs(Series{"", "", 0, ms}.Median()); };
        block.notes.push_back(std::string(phases.first) + ", median ms: copy " + median(phases.second->copy) + ", renames "
                              + median(phases.second->rename) + ", removal of the old generation "
                              + median(phases.second->remove));
    }
    return block;
}

} // namespace

int main(int argc, char** argv)
{
    const Arguments arguments = ParseArguments(argc, argv);
    Output out(arguments.resultsPath);
    const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
    if (!local) {
        out.Line("bench_filetree: LOCALAPPDATA is not set");
        return 1;
    }
    const std::wstring bench = Long(std::wstring(local) + L"\\CobweldBench"), base = bench + L"\\FileTree";
    // What an interrupted run left.
    PlainRemove(base);
    ::CreateDirectoryW(bench.c_str(), nullptr);
    ::CreateDirectoryW(base.c_str(), nullptr);

    std::vector<Tree> trees = {AppData(), Media()};
    std::vector<Block> blocks;
    for (Tree& tree : trees) {
        if (arguments.tree && std::strcmp(arguments.tree, tree.name) != 0)
            continue;
        if (arguments.quick)
            tree.reps = 2;
        blocks.push_back(RunTree(tree, base + L"\\" + Widen(tree.name), tree.files.size() < 100));
        PlainRemove(base + L"\\" + Widen(tree.name));
    }
    PlainRemove(base);
    ::RemoveDirectoryW(bench.c_str());

    out.Line("Settings folder copies (times in ms; set-up, which changes the live tree, is not timed; each copy");
    out.Line("is checked once against its source, sizes and bytes)");
    for (const Block& b : blocks) {
        const Series* unsafeCapture = FindSeries(b.series, kUnsafeCapture);
        const Series* unsafeRestore = FindSeries(b.series, kUnsafeRestore);
        std::vector<std::vector<std::string>> rows;
        rows.push_back({"method", "reps", "median ms", "min ms", "x unsafe", "note"});
        for (const Series& s : b.series) {
            const bool isCapture = s.method.find("capture") != std::string::npos;
            rows.push_back({s.method, s.RepsText(), s.MedianText(), s.MinText(),
                            FormatRatio(s, isCapture ? unsafeCapture : unsafeRestore), s.NoteText()});
        }
        out.Line("");
        out.Line(b.tree + ": " + b.notes[0]);
        PrintTable(out, rows);
        for (size_t n = 1; n < b.notes.size(); ++n)
            if (!b.notes[n].empty())
                out.Line(b.notes[n]);
    }

    // The figures the goals are set in.
    std::vector<std::vector<std::string>> summary;
    summary.push_back({"tree", "capture", "x unsafe", "restore", "x unsafe", "unchanged capture", "x unsafe",
                       "unchanged restore", "x unsafe", "goals"});
    for (const Block& b : blocks) {
        std::vector<std::string> row = {b.tree};
        std::string missed;
        const struct {
            const char* ours;
            const char* unsafe;
            double goal;
            const char* label;
        } pairs[] = {{kCaptureChanged, kUnsafeCapture, 1.2, "capture"}, {kRestoreChanged, kUnsafeRestore, 1.2, "restore"},
                     {kCaptureUnchanged, kUnsafeCapture, 0.2, "unchanged capture"},
                     {kRestoreUnchanged, kUnsafeRestore, 0.2, "unchanged restore"}};
        for (const auto& pair : pairs) {
            const Series* ours = FindSeries(b.series, pair.ours);
            const Series* unsafe = FindSeries(b.series, pair.unsafe);
            row.push_back(ours ? ours->MedianText() : "-");
            row.push_back(ours ? FormatRatio(*ours, unsafe) : "-");
            if (!ours || !unsafe || ours->failed || unsafe->failed || ours->Median() > pair.goal * unsafe->Median())
                missed += std::string(missed.empty() ? "missed: " : ", ") + pair.label;
        }
        row.push_back(missed.empty() ? "met" : missed);
        summary.push_back(row);
    }
    out.Line("");
    out.Line("Against the unsafe replacement (the old tree removed, then CopyFileExW file by file), median ms; goals:");
    out.Line("a capture and a restore within 1.2x, over an unchanged tree at most 0.2x");
    out.Line("");
    PrintTable(out, summary);
    out.Line("");
    out.Line("capture: CopyFileTree into <snapshot>.new with the snapshot as reference, the snapshot renamed to a");
    out.Line("generation, the copy renamed into its place, the generation before removed (one is kept). restore:");
    out.Line("MirrorFileTree. Ratios are of medians; a capture's to the unsafe capture, a restore's to the unsafe restore.");
    return 0;
}
