// End-to-end test driver: runs the real COBWELD.EXE inside Wine and looks at
// it from the outside, the way a user (or the shell) would.
//
// Conventions:
// - Every wait polls every 25 ms and gives up after the timeout (ms); a
//   function that waits returns NULL/false when it gave up.
// - Texts are CP932 byte strings, as the launcher's windows hold them;
//   compare them with FromUtf8(u8"...") from framework/Text.h.
// - Input is posted, never sent: a handler that opens a message box does not
//   return until the box is answered, and SendMessage would block the test.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

namespace driver {

const DWORD kDefaultTimeout = 5000;

// Polls cond until it holds or timeoutMs has passed; true when it held.
bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs = kDefaultTimeout);

// ---------------------------------------------------------------- paths

// The folder of the running test program (where COBWELD.EXE and the tools
// are built), with a trailing backslash.
std::string BinDir();
std::string LauncherPath();
// A tool of this build (e.g. "foreign_window.exe").
std::string ToolPath(const char* exeName);

// ---------------------------------------------------------------- registry

// Keys the launcher keeps: the entry store and snapshots (HKLM) and its
// profile (HKCU).
extern const char* const kStoreRoot;      // Software\Varnolite\Cobweld
extern const char* const kProfileRoot;    // Software\Varnolite\COBWELD
extern const char* const kProfileSection; // Software\Varnolite\COBWELD\Cobweld

// Removes both the store (with every snapshot) and the profile.
void WipeLauncherState();

// One stored entry: the nine values of HKLM\Software\Varnolite\Cobweld\Info\<n>.
struct StoreEntry {
    std::string title;
    std::string commandLine;
    std::string directory;
    std::string iconPath;
    std::string registry;
    DWORD runMinimized = 0; // "Icon"
    DWORD saveSlot = 0;     // "iSave"
    DWORD iconIndex = 0;
    DWORD retrieveAgain = 0;
};
bool operator==(const StoreEntry& a, const StoreEntry& b);

// Writes all nine values as the launcher stores them (REG_SZ with the NUL,
// REG_DWORD), creating the key.
bool WriteStoreEntry(int index, const StoreEntry& entry);
// Reads the nine values; false when the key or any value is missing or
// has the wrong type.
bool ReadStoreEntry(int index, StoreEntry* entry);
// The number of entries the launcher would load: keys Info\0, Info\1, ...
// up to the first missing one.
int CountStoreEntries();
// Info\<n> path and Save\<slot> path below HKLM.
std::string StoreEntryPath(int index);
std::string SnapshotPath(int slot);

// Profile values of section "Cobweld" ("Current", "Installed").
bool ReadProfileInt(const char* name, DWORD* value);
bool WriteProfileInt(const char* name, DWORD value);

// Plain key and value helpers. Paths are relative to root.
bool KeyExists(HKEY root, const std::string& path);
bool CreateKey(HKEY root, const std::string& path, const char* keyClass = nullptr);
bool DeleteTree(HKEY root, const std::string& path);
bool SetValue(HKEY root, const std::string& path, const char* name, DWORD type,
              const void* data, DWORD size);
bool SetStringValue(HKEY root, const std::string& path, const char* name, const std::string& value);
bool SetDwordValue(HKEY root, const std::string& path, const char* name, DWORD value);

// A canonical text of a key tree: one line per key (path relative to the
// dumped key, and its class), then its values sorted by name (type and data
// bytes in hex), then its subkeys sorted by name, recursively. Two trees with
// equal dumps hold the same data. "<missing>" when the key does not open.
std::string DumpTree(HKEY root, const std::string& path);

// ---------------------------------------------------------------- processes

// A running COBWELD.EXE (or any program of the build). The destructor ends
// the process if it is still running, so no process outlives its test.
class Process {
public:
    Process() = default;
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Starts exePath with the arguments after its quoted path. False when
    // CreateProcess failed.
    bool Start(const std::string& exePath, const std::string& arguments = "");
    // COBWELD.EXE of this build.
    bool StartLauncher(const std::string& arguments = "") { return Start(LauncherPath(), arguments); }

    bool Running() const;
    // True when the process ended within the timeout; its exit code then.
    bool WaitExit(DWORD timeoutMs = kDefaultTimeout, DWORD* exitCode = nullptr);
    void Kill();

    DWORD Id() const { return m_info.dwProcessId; }
    HANDLE Handle() const { return m_info.hProcess; }

    // The launcher's main window: a top-level dialog of this process whose
    // title begins with "Cobweld" and that holds the program list, once it
    // is visible and its thread answers messages. NULL on timeout.
    HWND WaitMainWindow(DWORD timeoutMs = kDefaultTimeout) const;

private:
    PROCESS_INFORMATION m_info = {};
};

// ---------------------------------------------------------------- windows

// Top-level windows of a process (visible ones only when visibleOnly).
std::vector<HWND> TopLevelWindows(DWORD processId, bool visibleOnly = true);
// The main window as in Process::WaitMainWindow, without waiting.
HWND FindMainWindow(DWORD processId);
// A visible top-level dialog of the process with exactly this caption.
HWND WaitDialog(DWORD processId, const std::string& caption, DWORD timeoutMs = kDefaultTimeout);

std::string WindowText(HWND window);
std::string ClassName(HWND window);

// Message boxes: top-level dialogs of the process made by MessageBox.
HWND FindMessageBox(DWORD processId);
HWND WaitMessageBox(DWORD processId, DWORD timeoutMs = kDefaultTimeout);
// True when no message box of the process shows up within ms.
bool NoMessageBoxWithin(DWORD processId, DWORD ms);

struct MessageBoxContent {
    std::string caption;
    std::string text;
    std::vector<int> buttons; // IDOK, IDCANCEL, IDYES, IDNO ... in window order
    int defaultButton = 0;    // the button with the default style, 0 if none
    // MB_ICONHAND, MB_ICONQUESTION, MB_ICONEXCLAMATION, MB_ICONASTERISK, 0
    // for none, -1 when the picture could not be recognised.
    int icon = -1;
};
MessageBoxContent ReadMessageBox(HWND box);
// Clicks the button with this id (posted) and waits until the box is gone.
bool AnswerMessageBox(HWND box, int buttonId, DWORD timeoutMs = kDefaultTimeout);

// ---------------------------------------------------------------- input

// A click on a dialog's button: WM_COMMAND/BN_CLICKED, posted. Use it for
// buttons that open a modal window (a sent click would block until it closes).
void ClickButton(HWND dialog, int id);
// The same click, sent: returns once the button's handler has run. For
// buttons whose handler opens no modal window; false when it did not return.
bool PressButton(HWND dialog, int id, DWORD timeoutMs = kDefaultTimeout);
// A system-menu command (WM_SYSCOMMAND), posted.
void PostSysCommand(HWND window, UINT command);
// Selects a row as a user click would: LB_SETCURSEL, then LBN_SELCHANGE
// posted to the owner.
void SelectRow(HWND dialog, int listId, int row);
// Selects the row and posts LBN_DBLCLK.
void DoubleClickRow(HWND dialog, int listId, int row);
// A key press (WM_KEYDOWN + WM_KEYUP) posted to the focused control of the
// window's thread (to the window itself when nothing has the focus).
void PressKey(HWND window, UINT vk);

// ---------------------------------------------------------------- state

int ListCount(HWND dialog, int listId);
int ListSelection(HWND dialog, int listId); // LB_ERR (-1) for none
LRESULT ListItemData(HWND dialog, int listId, int row);
bool IsControlEnabled(HWND dialog, int id);
bool IsMinimized(HWND window);
// The window that has the focus in the thread that owns window.
HWND FocusOf(HWND window);
// The active window of the thread that owns window.
HWND ActiveOf(HWND window);
// Waits until the window's thread has handled everything sent before. Not
// what was posted: a sent message overtakes posted ones (see PressButton).
bool Sync(HWND window, DWORD timeoutMs = kDefaultTimeout);

// Texts of the window's system menu in order ("" for a separator), and the
// command ids ((UINT)-1 for a separator / submenu).
struct MenuItem {
    UINT id;
    std::string text;
    bool separator;
};
std::vector<MenuItem> SystemMenuItems(HWND window);

} // namespace driver
