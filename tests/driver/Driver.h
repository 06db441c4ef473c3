// End-to-end test driver: runs the real COBWELD.EXE inside Wine and looks at
// it from the outside, the way a user (or the shell) would.
// - Every wait polls every 25 ms until its timeout (ms); a function that
//   waits returns NULL/false when it gave up.
// - Texts are CP932 byte strings, as the launcher's windows hold them;
//   compare them with FromUtf8(u8"...") from framework/Text.h.
// - Input is posted, not sent, unless said otherwise: a handler that opens a
//   message box does not return until the box is answered.
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

// The folder of the running test program, where COBWELD.EXE and the tools
// are built, with a trailing backslash.
std::string BinDir();
inline std::string LauncherPath() { return BinDir() + "COBWELD.EXE"; }
inline std::string ToolPath(const char* exeName) { return BinDir() + exeName; } // e.g. "foreign_window.exe"

// ---------------------------------------------------------------- registry

extern const char* const kStoreRoot;   // HKLM: entries (Info\<n>) and snapshots (Save\<slot>)
extern const char* const kProfileRoot; // HKCU: the launcher's profile

// One stored entry: the nine values of HKLM\Software\Varnolite\Cobweld\Info\<n>.
struct StoreEntry {
    std::string title, commandLine, directory, iconPath, registry;
    DWORD runMinimized = 0; // "Icon"
    DWORD saveSlot = 0;     // "iSave"
    DWORD iconIndex = 0;
    DWORD retrieveAgain = 0;
};
bool operator==(const StoreEntry& a, const StoreEntry& b);

// Writes all nine values as the launcher stores them, creating the key.
bool WriteStoreEntry(int index, const StoreEntry& entry);
// False when the key or any value is missing or has the wrong type.
bool ReadStoreEntry(int index, StoreEntry* entry);
// The entries the launcher would load: Info\0, Info\1, ... up to the first gap.
int CountStoreEntries();
// Below HKLM.
inline std::string StoreEntryPath(int index) { return std::string(kStoreRoot) + "\\Info\\" + std::to_string(index); }
inline std::string SnapshotPath(int slot) { return std::string(kStoreRoot) + "\\Save\\" + std::to_string(slot); }

// Values of the profile's section "Cobweld" ("Current", "Installed").
bool ReadProfileInt(const char* name, DWORD* value);
bool WriteProfileInt(const char* name, DWORD value);

// Plain key and value helpers; paths are relative to root. Setting a value
// creates its key.
bool KeyExists(HKEY root, const std::string& path);
bool CreateKey(HKEY root, const std::string& path, const char* keyClass = nullptr);
bool DeleteTree(HKEY root, const std::string& path);
bool SetValue(HKEY root, const std::string& path, const char* name, DWORD type, const void* data, DWORD size);
inline bool SetStringValue(HKEY root, const std::string& path, const char* name, const std::string& value)
{
    return SetValue(root, path, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}
inline bool SetDwordValue(HKEY root, const std::string& path, const char* name, DWORD value)
{
    return SetValue(root, path, name, REG_DWORD, &value, sizeof value);
}
// Removes both the store (with every snapshot) and the profile.
inline void WipeLauncherState()
{
    DeleteTree(HKEY_LOCAL_MACHINE, kStoreRoot);
    DeleteTree(HKEY_CURRENT_USER, kProfileRoot);
}

// A canonical text of a key tree (classes, values with type and data bytes,
// subkeys, sorted by name): equal dumps, equal data. "<missing>" when the key
// does not open.
std::string DumpTree(HKEY root, const std::string& path);

// ---------------------------------------------------------------- processes

// A program of this build, ended by the destructor if still running, so that
// no process outlives its test.
class Process {
public:
    Process() = default;
    ~Process() { Kill(); }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Starts exePath with the arguments after its quoted path.
    bool Start(const std::string& exePath, const std::string& arguments = "");
    bool StartLauncher(const std::string& arguments = "") { return Start(LauncherPath(), arguments); }
    bool Running() const { return m_info.hProcess && ::WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT; }
    // True when the process ended within the timeout; its exit code then.
    bool WaitExit(DWORD timeoutMs = kDefaultTimeout, DWORD* exitCode = nullptr);
    void Kill();
    DWORD Id() const { return m_info.dwProcessId; }
    HANDLE Handle() const { return m_info.hProcess; }
    // The main window (see FindMainWindow), once its thread answers messages.
    HWND WaitMainWindow(DWORD timeoutMs = kDefaultTimeout) const;

private:
    PROCESS_INFORMATION m_info = {};
};

// ---------------------------------------------------------------- windows

std::vector<HWND> TopLevelWindows(DWORD processId, bool visibleOnly = true);
// The launcher's main window: a visible top-level dialog of the process whose
// title begins with "Cobweld" and that holds the program list.
HWND FindMainWindow(DWORD processId);
// A visible top-level dialog of the process with exactly this caption.
HWND WaitDialog(DWORD processId, const std::string& caption, DWORD timeoutMs = kDefaultTimeout);
std::string WindowText(HWND window);
std::string ClassName(HWND window);

// Message boxes: the process's top-level dialogs made by MessageBox.
HWND FindMessageBox(DWORD processId);
HWND WaitMessageBox(DWORD processId, DWORD timeoutMs = kDefaultTimeout);
// True when no message box of the process shows up within ms.
inline bool NoMessageBoxWithin(DWORD processId, DWORD ms)
{
    return !WaitUntil([&] { return FindMessageBox(processId) != nullptr; }, ms);
}

struct MessageBoxContent {
    std::string caption;
    std::string text;
    std::vector<int> buttons; // IDOK, IDCANCEL, IDYES, IDNO ... in window order
    int defaultButton = 0;    // 0 if none
    // MB_ICONHAND, MB_ICONQUESTION, MB_ICONEXCLAMATION, MB_ICONASTERISK, 0
    // for none, -1 when the picture was not recognised.
    int icon = -1;
};
MessageBoxContent ReadMessageBox(HWND box);

// ---------------------------------------------------------------- input

// A button click (WM_COMMAND/BN_CLICKED), posted: for buttons that open a
// modal window.
inline void ClickButton(HWND dialog, int id)
{
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}
// The same click, sent: returns once the handler has run; false when it did
// not return in time. For handlers that open no modal window.
inline bool PressButton(HWND dialog, int id, DWORD timeoutMs = kDefaultTimeout)
{
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                                 reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)), SMTO_NORMAL, timeoutMs, &result);
}
// Clicks a message box's button and waits until the box is gone.
inline bool AnswerMessageBox(HWND box, int buttonId, DWORD timeoutMs = kDefaultTimeout)
{
    ClickButton(box, buttonId);
    return WaitUntil([&] { return !::IsWindow(box); }, timeoutMs);
}
inline void PostSysCommand(HWND window, UINT command) { ::PostMessageA(window, WM_SYSCOMMAND, command, 0); }
// LB_SETCURSEL, then LBN_SELCHANGE posted to the owner, as a click would.
void SelectRow(HWND dialog, int listId, int row);
// WM_KEYDOWN + WM_KEYUP posted to the focused control of the window's thread
// (to the window itself when nothing has the focus).
void PressKey(HWND window, UINT vk);

// ---------------------------------------------------------------- state

inline LRESULT ListItemData(HWND dialog, int listId, int row)
{
    return ::SendDlgItemMessageA(dialog, listId, LB_GETITEMDATA, static_cast<WPARAM>(row), 0);
}
inline int ListCount(HWND dialog, int listId)
{
    return static_cast<int>(::SendDlgItemMessageA(dialog, listId, LB_GETCOUNT, 0, 0));
}
inline int ListSelection(HWND dialog, int listId) // LB_ERR (-1) for none
{
    return static_cast<int>(::SendDlgItemMessageA(dialog, listId, LB_GETCURSEL, 0, 0));
}
inline bool IsControlEnabled(HWND dialog, int id) { return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE; }
inline bool IsMinimized(HWND window) { return ::IsIconic(window) != FALSE; }
// The window that has the focus in the thread that owns window.
HWND FocusOf(HWND window);
// Waits until the window's thread has handled everything sent before (not
// what was posted: a sent message overtakes posted ones).
inline bool Sync(HWND window, DWORD timeoutMs = kDefaultTimeout)
{
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

// The window's system menu in order; id (UINT)-1 for separators and submenus.
struct MenuItem { UINT id; std::string text; bool separator; };
std::vector<MenuItem> SystemMenuItems(HWND window);

} // namespace driver
