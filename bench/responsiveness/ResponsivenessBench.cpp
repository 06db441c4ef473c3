// How long the real COBWELD.EXE's main window goes without answering while
// it restores and captures a huge settings key: 40,000 subkeys of three
// values each, as bench_treecopy's huge tree.
//
// It lays down a store of one entry (in both registry views of
// HKEY_LOCAL_MACHINE) whose program is bench_waitingapp and whose snapshot
// and previous settings are the huge tree, and the tree in the settings key
// as an older copy. Then it starts "COBWELD.EXE 0", as a Program Manager item
// does: the window comes up minimized, restores the settings, starts the
// program and waits for it; the program ends as soon as it has started, the
// launcher captures the settings and closes. From the window's appearance
// until the launcher ends, a WM_NULL is sent to the window every 50 ms with
// SendMessageTimeout; the time until it is answered is a silence. The
// longest silence is given for the restore (until the program has started)
// and for the capture (once it was told to end).
//
// It replaces the store's entries and its profile's "Installed": run it in a
// Wine prefix of its own, as scripts/bench.sh does.
//
// Usage: bench_responsiveness [results-file] [--quick]
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/common/BenchCommon.h"
#include "bench/responsiveness/Shared.h"

using namespace bench;

namespace {

const char kStorePath[] = "Software\\Varnolite\\Cobweld";
const char kProfilePath[] = "Software\\Varnolite\\COBWELD\\Cobweld";
const int kSlot = 9300;
const int kHugeKeys = 40000;
const DWORD kPingInterval = 50;
const DWORD kPingTimeout = 120000;
const DWORD kLaunchTimeout = 10 * 60 * 1000;

// Both views of HKEY_LOCAL_MACHINE\Software: the 64-bit program's own, and
// the one a 32-bit program (and the launcher, once its store moves there)
// sees.
const REGSAM kViews[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};

std::string SettingsPath() { return std::string("Software\\") + kSettingsName; }
std::string SlotPath(const char* suffix = "")
{
    return std::string(kStorePath) + "\\Save\\" + std::to_string(kSlot) + suffix;
}

void SetString(HKEY key, const char* name, const std::string& text)
{
    ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>(text.size() + 1));
}

void SetDword(HKEY key, const char* name, DWORD value)
{
    ::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

bool GetDword(HKEY root, const std::string& path, REGSAM view, const char* name, DWORD& value)
{
    DWORD size = sizeof value;
    HKEY key;
    if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS)
        return false;
    bool ok = ::RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS;
    ::RegCloseKey(key);
    return ok;
}

HKEY Create(HKEY root, const std::string& path, REGSAM view = 0)
{
    HKEY key = nullptr;
    ::RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr);
    return key;
}

void Remove(HKEY root, const std::string& path, REGSAM view = 0)
{
    HKEY key;
    if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS) {
        ::RegDeleteTreeA(key, nullptr);
        ::RegCloseKey(key);
    }
    ::RegDeleteKeyExA(root, path.c_str(), view, 0);
}

// The huge tree, as bench_treecopy builds it.
void BuildHuge(HKEY root)
{
    std::vector<BYTE> state(24);
    for (int n = 0; n < kHugeKeys; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "Entry%05d", n);
        HKEY key = Create(root, name);
        SetString(key, "Path", "C:\\Users\\Example\\Documents\\document " + std::to_string(n) + ".txt");
        SetDword(key, "Opened", static_cast<DWORD>(n));
        for (size_t i = 0; i < state.size(); ++i)
            state[i] = static_cast<BYTE>((i * 31 + n * 7) ^ (i >> 8));
        ::RegSetValueExA(key, "State", 0, REG_BINARY, state.data(), static_cast<DWORD>(state.size()));
        ::RegCloseKey(key);
    }
}

// Building costs fewer calls than RegCopyTreeA, which reads every key back.
bool BuildAt(HKEY root, const std::string& path, REGSAM view = 0)
{
    Remove(root, path, view);
    HKEY key = Create(root, path, view);
    if (!key)
        return false;
    BuildHuge(key);
    ::RegCloseKey(key);
    return true;
}

std::string BinDir()
{
    char path[MAX_PATH];
    DWORD n = ::GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dir(path, n);
    return dir.substr(0, dir.find_last_of('\\') + 1);
}

// The store of one entry, in both views; its snapshot and previous
// settings the huge tree, as are the settings themselves.
std::string SetUp()
{
    if (!BuildAt(HKEY_CURRENT_USER, SettingsPath()))
        return "cannot create the settings key";
    HKEY profile = Create(HKEY_CURRENT_USER, kProfilePath);
    SetDword(profile, "Installed", 1);
    ::RegCloseKey(profile);
    const std::string program = BinDir() + "bench_waitingapp.exe";
    for (REGSAM view : kViews) {
        Remove(HKEY_LOCAL_MACHINE, std::string(kStorePath) + "\\Info", view);
        HKEY entry = Create(HKEY_LOCAL_MACHINE, std::string(kStorePath) + "\\Info\\0", view);
        if (!entry)
            return "cannot write the store";
        SetString(entry, "Title", "Huge settings");
        SetString(entry, "CommandLine", program);
        SetString(entry, "Directory", BinDir());
        SetString(entry, "Registry", kSettingsName);
        SetString(entry, "IconPath", program);
        SetDword(entry, "Icon", 0);
        SetDword(entry, "iSave", kSlot);
        SetDword(entry, "IconIndex", 0);
        SetDword(entry, "RetrieveAgain", 1);
        ::RegCloseKey(entry);
        if (!BuildAt(HKEY_LOCAL_MACHINE, SlotPath(), view) || !BuildAt(HKEY_LOCAL_MACHINE, SlotPath(".prev"), view))
            return "cannot write the snapshot";
    }
    return "";
}

void CleanUp()
{
    for (REGSAM view : kViews) {
        Remove(HKEY_LOCAL_MACHINE, std::string(kStorePath) + "\\Info", view);
        Remove(HKEY_LOCAL_MACHINE, std::string(kStorePath) + "\\LeftBy", view);
        for (const char* suffix : {"", ".prev", ".new", ".old"})
            Remove(HKEY_LOCAL_MACHINE, SlotPath(suffix), view);
    }
    Remove(HKEY_CURRENT_USER, SettingsPath());
}

// The launcher's visible dialogs: the main window comes first; any other
// is a message box.
struct Dialogs {
    DWORD processId;
    HWND main;
    HWND other = nullptr;
};

BOOL CALLBACK FindDialogs(HWND window, LPARAM param)
{
    Dialogs& d = *reinterpret_cast<Dialogs*>(param);
    DWORD owner = 0;
    char cls[16] = "";
    ::GetWindowThreadProcessId(window, &owner);
    // Neither call asks the window's thread: they answer while it is busy.
    ::GetClassNameA(window, cls, sizeof cls);
    if (owner == d.processId && ::IsWindowVisible(window) && !std::strcmp(cls, "#32770")) {
        if (!d.main)
            d.main = window;
        else if (window != d.main)
            d.other = window;
    }
    return TRUE;
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
        DWORD stale = 0;
        e.restored = !GetDword(HKEY_CURRENT_USER, SettingsPath(), 0, "Stale", stale);
        GetDword(HKEY_CURRENT_USER, SettingsPath(), 0, kLaunchedValue, e.programId);
        ::SetEvent(e.end);
        e.endAt = NowMs() - e.t0;
        return 0;
    }
};

Launch RunLaunch()
{
    Launch result;
    HKEY settings = Create(HKEY_CURRENT_USER, SettingsPath());
    SetDword(settings, "Stale", 1);
    ::RegCloseKey(settings);
    // Nobody is known to have left the settings so: the launch asks nothing
    // about the stale value, it restores over it.
    for (REGSAM view : kViews)
        Remove(HKEY_LOCAL_MACHINE, std::string(kStorePath) + "\\LeftBy", view);

    HANDLE started = ::CreateEventA(nullptr, TRUE, FALSE, kStartedEvent);
    HANDLE end = ::CreateEventA(nullptr, TRUE, FALSE, kEndEvent);
    // Whatever happens here, the launcher and its program end with the benchmark.
    HANDLE job = ::CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);

    const std::string exe = BinDir() + "COBWELD.EXE";
    std::string commandLine = "\"" + exe + "\" 0";
    STARTUPINFOA startup = {sizeof startup};
    PROCESS_INFORMATION info = {};
    double t0 = NowMs();
    if (!::CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                          &startup, &info)) {
        result.error = "cannot start " + exe;
        return result;
    }
    ::AssignProcessToJobObject(job, info.hProcess);
    ::ResumeThread(info.hThread);

    Ender ender{started, end, info.hProcess, t0};
    HANDLE thread = ::CreateThread(nullptr, 0, Ender::Run, &ender, 0, nullptr);

    Dialogs dialogs{info.dwProcessId, nullptr};
    while (!dialogs.main && ::WaitForSingleObject(info.hProcess, 10) == WAIT_TIMEOUT)
        ::EnumWindows(FindDialogs, reinterpret_cast<LPARAM>(&dialogs));
    result.window = NowMs() - t0;
    while (dialogs.main && ::WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) {
        double sent = NowMs();
        DWORD_PTR answer = 0;
        LRESULT answered =
            ::SendMessageTimeoutA(dialogs.main, WM_NULL, 0, 0, SMTO_NORMAL, kPingTimeout, &answer);
        double now = NowMs();
        if (!answered && ::GetLastError() != ERROR_TIMEOUT)
            break; // the window is gone
        result.pings.push_back({sent - t0, now - sent});
        if (sent - t0 > kLaunchTimeout) {
            result.error = "the launch took more than ten minutes";
            break;
        }
        // A box would stop the launch until someone answers it.
        ::EnumWindows(FindDialogs, reinterpret_cast<LPARAM>(&dialogs));
        if (dialogs.other) {
            result.error = "the launcher showed a message box";
            break;
        }
        ::Sleep(kPingInterval);
    }
    if (!result.error.empty() || ::WaitForSingleObject(info.hProcess, kLaunchTimeout) != WAIT_OBJECT_0)
        ::TerminateJobObject(job, 1);
    result.exited = NowMs() - t0;
    ::SetEvent(end);
    ::WaitForSingleObject(thread, INFINITE);
    result.started = ender.startedAt;
    result.end = ender.endAt;
    if (result.error.empty()) {
        DWORD captured[2] = {};
        bool inSnapshot = false;
        for (int v = 0; v < 2; ++v)
            inSnapshot |= GetDword(HKEY_LOCAL_MACHINE, SlotPath(), kViews[v], kLaunchedValue, captured[v]) &&
                          captured[v] == ender.programId;
        if (!dialogs.main)
            result.error = "no window appeared";
        else if (!ender.startedAt)
            result.error = "the program did not start";
        else if (!ender.restored)
            result.error = "the settings were not restored";
        else if (!ender.programId || !inSnapshot)
            result.error = "the settings were not captured";
    }
    ::CloseHandle(thread);
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
    ::CloseHandle(job);
    ::CloseHandle(started);
    ::CloseHandle(end);
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
    const bool quick = arguments.quick;
    Output out(arguments.resultsPath);
    const int runs = quick ? 1 : 2;

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
