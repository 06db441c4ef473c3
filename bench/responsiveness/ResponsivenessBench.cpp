// How long the real COBWELD.EXE's main window goes without answering while
// it restores and captures a huge settings key: the huge tree of the tests'
// kit (BuildTree), 40,000 subkeys of three values each.
//
// It lays down a machine-wide store of one entry whose program is
// bench_waitingapp and whose snapshot and previous settings are the huge
// tree, and the tree in the settings key as an older copy. Then it starts
// "COBWELD.EXE 0", as a Program Manager item does: the window comes up
// minimized, restores the settings, starts the program and waits for it; the
// program ends as soon as it has started, the launcher captures the settings
// and closes. From the window's appearance until the launcher ends, a WM_NULL
// is sent to the window every 50 ms with SendMessageTimeout; the time until
// it is answered is a silence. The longest silence is given for the restore
// (until the program has started) and for the capture (once it was told to
// end).
//
// It replaces the store's entries and its profile's "Installed": run it in a
// Wine prefix of its own, as scripts/bench.sh does.
//
// Usage: bench_responsiveness [results-file] [--quick]
#include <windows.h>
#include <algorithm>

#include "bench/common/BenchCommon.h"
#include "bench/responsiveness/Shared.h"
#include "framework/Scoped.h"
#include "framework/Text.h"
#include "tests/driver/Driver.h"

using namespace bench;
using namespace driver;

namespace {

const int kSlot = 9300;
const DWORD kPingInterval = 50;
const DWORD kPingTimeout = 120000;
const DWORD kLaunchTimeout = 10 * 60 * 1000;

std::string SettingsPath() { return std::string("Software\\") + kSettingsName; }

// Building costs fewer calls than RegCopyTreeA, which reads every key back.
void BuildHugeAt(HKEY root, const std::string& path)
{
    DeleteTree(root, path);
    BuildTree(Key(root, Widen(path)), "huge");
}

// The store of one entry; its snapshot and previous settings the huge tree,
// as are the settings themselves.
std::string SetUp()
{
    BuildHugeAt(HKEY_CURRENT_USER, SettingsPath());
    SetProfileInt("Installed", 1);
    const std::string program = BinDir() + "bench_waitingapp.exe";
    DeleteTree(HKEY_LOCAL_MACHINE, std::string(kStoreRoot) + "\\Info");
    WriteStoreEntry(0, {"Huge settings", program, BinDir(), program, kSettingsName, 0, kSlot, 0, 1});
    BuildHugeAt(HKEY_LOCAL_MACHINE, SnapshotPath(kSlot));
    BuildHugeAt(HKEY_LOCAL_MACHINE, SnapshotPath(kSlot) + ".prev");
    return StoredTitles() == std::vector<std::string>{"Huge settings"} ? "" : "cannot write the store";
}

void CleanUp()
{
    for (const char* key : {"\\Info", "\\LeftBy"})
        DeleteTree(HKEY_LOCAL_MACHINE, kStoreRoot + std::string(key));
    for (const char* suffix : {"", ".prev", ".new", ".old"})
        DeleteTree(HKEY_LOCAL_MACHINE, SnapshotPath(kSlot) + suffix);
    DeleteTree(HKEY_CURRENT_USER, SettingsPath());
}

struct Ping {
    double sent, ms;
};

struct Launch {
    std::string error;
    double window = 0, started = 0, end = 0, exited = 0; // ms from the start
    std::vector<Ping> pings;
};

// The thread that ends the program as soon as it has started.
struct Ender {
    HANDLE started, end, launcher;
    double t0;
    double startedAt = 0, endAt = 0;
    DWORD programId = 0;
    bool restored = false;

    static DWORD WINAPI Run(void* param)
    {
        Ender& e = *static_cast<Ender*>(param);
        HANDLE both[] = {e.started, e.launcher};
        if (::WaitForMultipleObjects(2, both, FALSE, kLaunchTimeout) != WAIT_OBJECT_0)
            return 0;
        e.startedAt = NowMs() - e.t0;
        // The restore removed the stale value, and the program wrote its id.
        e.restored = GetDword(HKEY_CURRENT_USER, SettingsPath(), "Stale") == 0;
        e.programId = GetDword(HKEY_CURRENT_USER, SettingsPath(), kLaunchedValue);
        ::SetEvent(e.end);
        e.endAt = NowMs() - e.t0;
        return 0;
    }
};

Launch RunLaunch()
{
    Launch result;
    SetDword(HKEY_CURRENT_USER, SettingsPath(), "Stale", 1);
    // Nobody is known to have left the settings so: the launch asks nothing
    // about the stale value, it restores over it.
    DeleteTree(HKEY_LOCAL_MACHINE, std::string(kStoreRoot) + "\\LeftBy");

    CHandle started(::CreateEventA(nullptr, TRUE, FALSE, kStartedEvent));
    CHandle end(::CreateEventA(nullptr, TRUE, FALSE, kEndEvent));
    // Whatever happens here, the launcher ends with the benchmark, and the
    // program once it is told to end.
    Process launcher;
    double t0 = NowMs();
    if (!launcher.StartLauncher("0")) {
        result.error = "cannot start " + LauncherPath();
        return result;
    }
    Ender ender{started, end, launcher.Handle(), t0};
    CHandle thread(::CreateThread(nullptr, 0, Ender::Run, &ender, 0, nullptr));

    // Finding it asks nothing of the window's thread: it answers while that is busy.
    HWND main = nullptr;
    while (!main && ::WaitForSingleObject(launcher.Handle(), 10) == WAIT_TIMEOUT)
        main = FindMainWindow(launcher.Id());
    result.window = NowMs() - t0;
    while (main && launcher.Running()) {
        double sent = NowMs();
        DWORD_PTR answer = 0;
        LRESULT answered = ::SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_NORMAL, kPingTimeout, &answer);
        double now = NowMs();
        if (!answered && ::GetLastError() != ERROR_TIMEOUT)
            break; // the window is gone
        result.pings.push_back({sent - t0, now - sent});
        if (sent - t0 > kLaunchTimeout) {
            result.error = "the launch took more than ten minutes";
            break;
        }
        // A box would stop the launch until someone answers it.
        if (FindMessageBox(launcher.Id())) {
            result.error = "the launcher showed a message box";
            break;
        }
        ::Sleep(kPingInterval);
    }
    if (!result.error.empty() || !launcher.WaitExit(kLaunchTimeout))
        launcher.Kill();
    result.exited = NowMs() - t0;
    ::SetEvent(end);
    ::WaitForSingleObject(thread, INFINITE);
    result.started = ender.startedAt;
    result.end = ender.endAt;
    if (!result.error.empty())
        return result;
    if (!main)
        result.error = "no window appeared";
    else if (!ender.startedAt)
        result.error = "the program did not start";
    else if (!ender.restored)
        result.error = "the settings were not restored";
    else if (!ender.programId || GetDword(HKEY_LOCAL_MACHINE, SnapshotPath(kSlot), kLaunchedValue) != ender.programId)
        result.error = "the settings were not captured";
    return result;
}

// The longest silence among the pings sent in [from, to).
std::string Longest(const Launch& l, double from, double to, int* count = nullptr)
{
    double longest = -1;
    int n = 0;
    for (const Ping& p : l.pings)
        if (p.sent >= from && p.sent < to) {
            longest = std::max(longest, p.ms);
            ++n;
        }
    if (count)
        *count = n;
    return longest < 0 ? "-" : FormatMs(longest) + (longest >= kPingTimeout ? " (timed out)" : "");
}

} // namespace

int main(int argc, char** argv)
{
    const Arguments arguments = ParseArguments(argc, argv);
    Output out(arguments.resultsPath);
    const int runs = arguments.quick ? 1 : 2;

    double t0 = NowMs();
    std::string error = SetUp();
    std::fprintf(stderr, "set up in %.0f ms\n", NowMs() - t0);
    std::vector<std::vector<std::string>> rows;
    rows.push_back({"run", "window after", "restore", "longest silence", "pings", "capture", "longest silence",
                    "pings", "total", "note"});
    for (int run = 1; run <= runs && error.empty(); ++run) {
        Launch l = RunLaunch();
        int restorePings = 0, capturePings = 0;
        std::string restoreSilence = Longest(l, l.window, l.started ? l.started : 1e12, &restorePings);
        std::string captureSilence = Longest(l, l.end ? l.end : 1e12, 1e12, &capturePings);
        rows.push_back({std::to_string(run), FormatMs(l.window), l.started ? FormatMs(l.started - l.window) : "-",
                        restoreSilence, std::to_string(restorePings), l.end ? FormatMs(l.exited - l.end) : "-",
                        captureSilence, std::to_string(capturePings), FormatMs(l.exited),
                        l.error.empty() ? "" : "FAILED: " + l.error});
        std::fprintf(stderr, "  launch %d of %d done\n", run, runs);
    }
    CleanUp();

    out.Line("Responsiveness of COBWELD.EXE launching an entry whose settings are the huge tree (40,000 subkeys");
    out.Line("of three values), times in ms; goal: every silence under 250 ms");
    out.Line("");
    if (!error.empty()) {
        out.Line("FAILED: " + error);
        return 1;
    }
    PrintTable(out, rows);
    out.Line("");
    out.Line("window after: from the start of COBWELD.EXE 0 until its main window is there. restore: from then until");
    out.Line("the program has started; capture: from the program's end until the launcher's. A silence is the time a");
    out.Line("WM_NULL sent to the window (every 50 ms, by send time in the phase) waits for its answer.");
    return 0;
}
