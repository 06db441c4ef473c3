// How long the real COBWELD.EXE's main window goes without answering while
// it restores and captures a huge settings key: the huge tree of the tests'
// kit (BuildTree), 40,000 subkeys of three values each, as the settings, the
// snapshot and its older generation of a machine-wide store of one entry
// whose program is bench_waitingapp. "COBWELD.EXE 0", as a Program Manager
// item starts it, comes up minimized, restores, starts the program (which
// ends as soon as it has started) and waits, captures and closes. Meanwhile
// a WM_NULL goes to its window every 50 ms (SendMessageTimeout); the time
// until it is answered is a silence, told for the restore (until the program
// has started) and the capture (once it was told to end).
//
// It replaces the store's entries and its profile's "Installed": run it in a
// Wine prefix of its own, as scripts/bench.sh does.
//
// Usage: bench_responsiveness [results-file] [--quick]
#include <windows.h>
#include <algorithm>
#include <thread>

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

// The store of one entry; its snapshot and the generation before it (as an
// earlier build kept its previous settings) the huge tree, as are the
// settings themselves.
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

// The store with the snapshot and all its generations, and the settings.
void CleanUp()
{
    WipeLauncherState();
    DeleteTree(HKEY_CURRENT_USER, SettingsPath());
}

struct Launch {
    std::string error;
    double window = 0, started = 0, end = 0, exited = 0; // ms from the start
    std::vector<std::pair<double, double>> pings;       // when sent, how long unanswered
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
    const double t0 = NowMs();
    if (!launcher.StartLauncher("0"))
        return {"cannot start " + LauncherPath()};
    // Ends the program as soon as it has started.
    DWORD programId = 0;
    bool restored = false;
    std::thread ender([&] {
        HANDLE both[] = {started, launcher.Handle()};
        if (::WaitForMultipleObjects(2, both, FALSE, kLaunchTimeout) != WAIT_OBJECT_0)
            return;
        result.started = NowMs() - t0;
        // The restore removed the stale value, and the program wrote its id.
        restored = GetDword(HKEY_CURRENT_USER, SettingsPath(), "Stale") == 0;
        programId = GetDword(HKEY_CURRENT_USER, SettingsPath(), kLaunchedValue);
        ::SetEvent(end);
        result.end = NowMs() - t0;
    });

    // Finding it asks nothing of the window's thread: it answers while that is busy.
    HWND main = nullptr;
    while (!main && ::WaitForSingleObject(launcher.Handle(), 10) == WAIT_TIMEOUT)
        main = FindMainWindow(launcher.Id());
    result.window = NowMs() - t0;
    while (main && launcher.Running()) {
        const double sent = NowMs();
        DWORD_PTR answer = 0;
        const LRESULT answered = ::SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_NORMAL, kPingTimeout, &answer);
        if (!answered && ::GetLastError() != ERROR_TIMEOUT)
            break; // the window is gone
        result.pings.push_back({sent - t0, NowMs() - sent});
        if (sent - t0 > kLaunchTimeout)
            result.error = "the launch took more than ten minutes";
        else if (FindMessageBox(launcher.Id())) // it would stop the launch until someone answers it
            result.error = "the launcher showed a message box";
        if (!result.error.empty())
            break;
        ::Sleep(kPingInterval);
    }
    if (!result.error.empty() || !launcher.WaitExit(kLaunchTimeout))
        launcher.Kill();
    result.exited = NowMs() - t0;
    ::SetEvent(end);
    ender.join();
    if (!result.error.empty())
        return result;
    if (!main)
        result.error = "no window appeared";
    else if (!result.started)
        result.error = "the program did not start";
    else if (!restored)
        result.error = "the settings were not restored";
    else if (!programId || GetDword(HKEY_LOCAL_MACHINE, SnapshotPath(kSlot), kLaunchedValue) != programId)
        result.error = "the settings were not captured";
    return result;
}

// The longest silence among the pings sent in [from, to), and how many were sent then.
void AddSilence(std::vector<std::string>& row, const Launch& l, double from, double to)
{
    double longest = -1;
    int n = 0;
    for (const auto& ping : l.pings)
        if (ping.first >= from && ping.first < to)
            longest = std::max(longest, ping.second), ++n;
    row.push_back(longest < 0 ? "-" : FormatMs(longest) + (longest >= kPingTimeout ? " (timed out)" : ""));
    row.push_back(std::to_string(n));
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
    std::vector<std::vector<std::string>> rows = {
        {"run", "window after", "restore", "longest silence", "pings", "capture", "longest silence", "pings", "total", "note"}};
    for (int run = 1; run <= runs && error.empty(); ++run) {
        const Launch l = RunLaunch();
        std::vector<std::string> row = {std::to_string(run), FormatMs(l.window), l.started ? FormatMs(l.started - l.window) : "-"};
        AddSilence(row, l, l.window, l.started ? l.started : 1e12);
        row.push_back(l.end ? FormatMs(l.exited - l.end) : "-");
        AddSilence(row, l, l.end ? l.end : 1e12, 1e12);
        row.push_back(FormatMs(l.exited));
        row.push_back(l.error.empty() ? "" : "FAILED: " + l.error);
        rows.push_back(row);
        std::fprintf(stderr, "  launch %d of %d done\n", run, runs);
    }
    CleanUp();

    out.Lines({"Responsiveness of COBWELD.EXE launching an entry whose settings are the huge tree (40,000 subkeys",
               "of three values), times in ms; goal: every silence under 250 ms", ""});
    if (!error.empty()) {
        out.Line("FAILED: " + error);
        return 1;
    }
    out.Table(rows);
    out.Lines({"", "window after: from the start of COBWELD.EXE 0 until its main window is there. restore: from then until",
               "the program has started; capture: from the program's end until the launcher's. A silence is the time a",
               "WM_NULL sent to the window (every 50 ms, by send time in the phase) waits for its answer."});
    return 0;
}
