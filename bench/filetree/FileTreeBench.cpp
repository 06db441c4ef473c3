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
#include <memory>

#include "bench/common/BenchCommon.h"
#include "files/FilePath.h"
#include "files/TreeCopy.h"
#include "files/TreeMirror.h"
#include "files/TreeRemove.h"
#include "framework/Scoped.h"
#include "framework/Text.h"
#include "tests/driver/Driver.h"

using namespace bench;
using namespace driver;

namespace {

const char kCaptureChanged[] = "capture, a tenth changed";
const char kCaptureUnchanged[] = "capture, unchanged";
const char kUnsafeCapture[] = "unsafe capture: remove, CopyFileExW";
const char kRestoreChanged[] = "restore, a tenth changed, a few added";
const char kRestoreUnchanged[] = "restore, unchanged";
const char kUnsafeRestore[] = "unsafe restore: remove, CopyFileExW";

// The launcher's code: every call into it is here.

std::string Refused(const char* what, const std::wstring& path, DWORD code = ::GetLastError())
{
    return std::string(what) + " failed on " + Narrow(path) + " (error " + std::to_string(code) + ")";
}
std::string Failed(const char* what, const FileError& error) { return Refused(what, error.path, error.code); }

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

// The platform's own calls, on long paths: the unsafe replacement, the trees.

// The names in folder, but "." and "..".
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

// Removes folder and everything below it, deepest first. A missing folder is
// no failure.
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

// Copies the folder from into to (which must not exist).
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

// The unsafe replacement: to removed, then from copied into its place.
std::string PlainReplace(const std::wstring& from, const std::wstring& to)
{
    std::string err = PlainRemove(to);
    return err.empty() ? PlainCopy(from, to) : err;
}

// How many of the files below folder have more than one name.
void CountLinks(const std::wstring& folder, size_t& files, size_t& linked)
{
    ForEachName(folder, [&](const WIN32_FIND_DATAW& found) {
        const std::wstring path = folder + L"\\" + found.cFileName;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            return CountLinks(path, files, linked);
        BY_HANDLE_FILE_INFORMATION info = {};
        CHandle file(::CreateFileW(path.c_str(), 0, 7, nullptr, OPEN_EXISTING, 0, nullptr));
        ::GetFileInformationByHandle(file, &info);
        ++files, linked += info.nNumberOfLinks > 1;
    });
}


struct Block {
    std::string tree;
    std::vector<Series> series;
    std::vector<std::string> notes;
};

Block RunTree(const FileTree& tree, int reps, const std::wstring& root, bool verbose)
{
    ULONGLONG bytes = 0;
    for (const FileTree::File& file : tree.files)
        bytes += file.size;
    Block block{tree.name, {}, {std::to_string(tree.files.size()) + " files in " + std::to_string(tree.folders.size())
                                + (tree.folders.size() == 1 ? " folder, " : " folders, ") + Format("%.1f", bytes / 1048576.0)
                                + " MB"}};
    // The live tree and its snapshot (with its generations beside it) for
    // the captures, the unsafe capture's copy, and a snapshot and its live
    // tree for the restores.
    const std::wstring live = root + L"\\live", snapshot = root + L"\\snapshot", unsafe = root + L"\\unsafe";
    const std::wstring restoreSnapshot = root + L"\\restore-snapshot", restoreLive = root + L"\\restore-live";
    auto generation = std::make_shared<int>(0), round = std::make_shared<int>(0);

    const double t0 = NowMs();
    std::string err = ::CreateDirectoryW(root.c_str(), nullptr) && BuildFiles(tree, live) ? "" : Refused("building", live);
    // The snapshot and one generation, as two captures leave them.
    for (int capture = 0; capture < 2 && err.empty(); ++capture)
        err = OurCapture(live, snapshot, generation.get());
    err = err.empty() ? PlainCopy(live, unsafe) : err;
    err = err.empty() ? OurCopy(live, restoreSnapshot) : err;
    err = err.empty() ? OurCopy(live, restoreLive) : err;
    std::fprintf(stderr, "built %s in %.0f ms\n", tree.name.c_str(), NowMs() - t0);
    if (!err.empty()) {
        block.notes.push_back("set-up failed: " + err);
        return block;
    }

    std::vector<Trial> trials;
    std::vector<std::shared_ptr<std::string>> linkNotes;
    auto add = [&](const char* method, std::function<std::string()> setUp, std::function<std::string()> run,
                   const std::wstring& source, const std::wstring& copy, bool linked) {
        auto note = std::make_shared<std::string>();
        linkNotes.push_back(note);
        // Each copy is checked once against its source.
        trials.push_back({{tree.name, method, reps}, setUp, run, [source, copy, linked, note, method](int rep) {
                              if (rep != 0)
                                  return std::string();
                              size_t files = 0, links = 0;
                              if (linked) {
                                  CountLinks(copy, files, links);
                                  *note = std::string(method) + ": the snapshot has " + std::to_string(links) + " of "
                                      + std::to_string(files) + " files hard-linked";
                              }
                              return DumpFiles(source, false) == DumpFiles(copy, false) ? std::string()
                                                                                       : "the copy differs from its source";
                          }});
    };
    Phases changed, unchanged;
    auto capture = [=](Phases* phases) { return [=] { return OurCapture(live, snapshot, generation.get(), phases); }; };
    auto restore = [=] { return OurRestore(restoreSnapshot, restoreLive); };
    auto change = [=, &tree](const std::wstring& root, bool added) {
        return [=, &tree] { return ChangeFiles(tree, root, ++*round, added) ? "" : Refused("changing", root); };
    };
    auto disturb = change(restoreLive, true);
    add(kCaptureChanged, change(live, false), capture(&changed), live, snapshot, true);
    add(kCaptureUnchanged, nullptr, capture(&unchanged), live, snapshot, true);
    add(kUnsafeCapture, nullptr, [=] { return PlainReplace(live, unsafe); }, live, unsafe, false);
    add(kRestoreChanged, disturb, restore, restoreSnapshot, restoreLive, false);
    add(kRestoreUnchanged, nullptr, restore, restoreSnapshot, restoreLive, false);
    add(kUnsafeRestore, disturb, [=] { return PlainReplace(restoreSnapshot, restoreLive); }, restoreSnapshot, restoreLive, false);

    block.series = RunRounds(trials, tree.name, true, verbose);
    for (const auto& note : linkNotes)
        if (!note->empty())
            block.notes.push_back(*note);
    for (const auto& phases : {std::make_pair(kCaptureChanged, &changed), {kCaptureUnchanged, &unchanged}})
        block.notes.push_back(std::string(phases.first) + ", median ms: copy " + FormatMs(Median(phases.second->copy))
                              + ", renames " + FormatMs(Median(phases.second->rename))
                              + ", removal of the old generation " + FormatMs(Median(phases.second->remove)));
    return block;
}

} // namespace

int main(int argc, char** argv)
{
    const Arguments arguments = ParseArguments(argc, argv);
    Output out(arguments.resultsPath);
    const std::wstring bench = ExtendedPath(Expand(L"%LOCALAPPDATA%\\CobweldBench")), base = bench + L"\\FileTree";
    // What an interrupted run left.
    PlainRemove(base);
    ::CreateDirectoryW(bench.c_str(), nullptr);
    ::CreateDirectoryW(base.c_str(), nullptr);

    std::vector<Block> blocks;
    for (const char* name : {"appdata", "media"}) {
        if (arguments.Skips(name))
            continue;
        const FileTree tree = SettingsFolderTree(name);
        blocks.push_back(RunTree(tree, arguments.quick ? 2 : tree.name == "media" ? 5 : 11, base + L"\\" + Widen(name),
                                 tree.files.size() < 100));
        PlainRemove(base + L"\\" + Widen(name));
    }
    PlainRemove(base);
    ::RemoveDirectoryW(bench.c_str());

    out.Lines({"Settings folder copies (times in ms; set-up, which changes the live tree, is not timed; each copy",
               "is checked once against its source, sizes and bytes)"});
    // The figures the goals are set in, of every tree.
    std::vector<std::vector<std::string>> summary = {{"tree", "capture", "x unsafe", "restore", "x unsafe", "unchanged capture",
                                                      "x unsafe", "unchanged restore", "x unsafe", "goals"}};
    for (const Block& b : blocks) {
        const Series* unsafeCapture = FindSeries(b.series, kUnsafeCapture);
        const Series* unsafeRestore = FindSeries(b.series, kUnsafeRestore);
        std::vector<std::vector<std::string>> rows = {{"method", "reps", "median ms", "min ms", "x unsafe", "note"}};
        for (const Series& s : b.series)
            rows.push_back({s.method, s.RepsText(), s.MedianText(), s.MinText(),
                            FormatRatio(s, s.method.find("capture") != std::string::npos ? unsafeCapture : unsafeRestore),
                            s.NoteText()});
        out.Lines({"", b.tree + ": " + b.notes[0]});
        out.Table(rows);
        for (size_t n = 1; n < b.notes.size(); ++n)
            out.Line(b.notes[n]);

        std::vector<std::string> row = {b.tree};
        std::string missed;
        const struct {
            const char* ours;
            const Series* unsafe;
            double goal;
            const char* label;
        } goals[] = {{kCaptureChanged, unsafeCapture, 1.2, "capture"}, {kRestoreChanged, unsafeRestore, 1.2, "restore"},
                     {kCaptureUnchanged, unsafeCapture, 0.2, "unchanged capture"},
                     {kRestoreUnchanged, unsafeRestore, 0.2, "unchanged restore"}};
        for (const auto& goal : goals) {
            const Series* ours = FindSeries(b.series, goal.ours);
            row.push_back(ours ? ours->MedianText() : "-");
            row.push_back(ours ? FormatRatio(*ours, goal.unsafe) : "-");
            if (!ours || !goal.unsafe || ours->Failed() || goal.unsafe->Failed()
                || ours->Median() > goal.goal * goal.unsafe->Median())
                missed += std::string(missed.empty() ? "missed: " : ", ") + goal.label;
        }
        row.push_back(missed.empty() ? "met" : missed);
        summary.push_back(row);
    }
    out.Lines({"", "Against the unsafe replacement (the old tree removed, then CopyFileExW file by file), median ms; goals:",
               "a capture and a restore within 1.2x, over an unchanged tree at most 0.2x", ""});
    out.Table(summary);
    out.Lines({"", "capture: CopyFileTree into <snapshot>.new with the snapshot as reference, the snapshot renamed to a",
               "generation, the copy renamed into its place, the generation before removed (one is kept). restore:",
               "MirrorFileTree. Ratios are of medians; a capture's to the unsafe capture, a restore's to the unsafe restore."});
    return 0;
}
