// The test kit, shared by the tests and the benchmarks: the registry as they
// set it up and read it back, the store's layout, folder trees read back, the
// benchmarks' workloads (key trees, settings folders, registry files), and
// programs (the real COBWELD.EXE among them) run inside Wine and
// looked at from outside, the way a user (or the shell) would. Every wait
// polls until its timeout (ms) and reports whether what it waited for
// happened. Texts are CP932 byte strings; compare them with FromUtf8(u8"...").
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

namespace driver {

const DWORD kTimeout = 10000;

bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs = kTimeout);
// The folder of the test program and of COBWELD.EXE, with a trailing backslash.
std::string BinDir();
inline std::string LauncherPath() { return BinDir() + "COBWELD.EXE"; }

// ---------------------------------------------------------------- registry

// HKEY_LOCAL_MACHINE is read and written in its 32-bit view (unless a view
// is given), where the machine-wide store is.
extern const char* const kStoreRoot; // the store's path below HKLM (or HKCU)
// The machine-wide store as 64-bit programs (reg.exe, regedit) name it below
// HKLM, outside the 32-bit view.
extern const char* const kWow64StoreRoot;
// The store Windows virtualized for a standard user's 32-bit launcher, below HKCU.
extern const char* const kVirtualStoreRoot;

// A canonical text of a key tree, read with the wide functions: each key with
// its class (unless classes is false: registry files carry none), each value
// with its type and bytes (a hash of long data), in name order; "<missing>"
// when the key does not open.
std::string Dump(HKEY root, const std::string& path, bool classes = true);
// "<n> keys, <n> values, <n> bytes" of a Dump.
std::string DumpSize(const std::string& dump);
bool Exists(HKEY root, const std::string& path);
// A REG_SZ value's text; "<missing>" when there is none.
std::string GetString(HKEY root, const std::string& path, const char* name);
// A REG_DWORD value; 0 when there is none.
DWORD GetDword(HKEY root, const std::string& path, const char* name);
// Setting a value creates its key; with an empty path it goes into root itself.
bool SetValue(HKEY root, const std::string& path, const wchar_t* name, DWORD type, const void* data, DWORD size);
bool SetString(HKEY root, const std::string& path, const char* name, const std::string& value);
bool SetDword(HKEY root, const std::string& path, const char* name, DWORD value);
// view: KEY_WOW64_64KEY reaches HKLM's 64-bit view.
void DeleteTree(HKEY root, const std::string& path, REGSAM view = 0);
// Gives the key root\path, and unless it refuses them its subkeys, the
// access that sddl describes.
void SetTreeDacl(HKEY root, const std::string& path, const char* sddl, REGSAM view = 0);

// A key opened with full access, created when missing, that closes itself.
struct Key {
    Key(HKEY parent, const std::wstring& path, const wchar_t* keyClass = nullptr);
    ~Key() { ::RegCloseKey(h); }
    operator HKEY() const { return h; }
    HKEY h = nullptr;
};
// What a settings key may hold: every value type, names and data outside
// code page 932, quotes and backslashes, a 1 MB value, a 300-character name,
// an empty and a default value, and subkeys three levels deep.
void FillRichTree(HKEY key, bool classes = true);

// Values the platform accepts though they are not well formed: strings
// without their terminator or of odd size, a REG_DWORD of 2 and of 6 bytes,
// REG_NONE with data, an unknown type.
void FillOddValues(HKEY key);
// The benchmarks' settings trees, built into key: "typical" (20 subkeys of 10
// values), "wide" (10,000 values), "deep" (a chain of 200 keys), "large"
// (1,000 keys of 10 values, some of 64 KB and 160 KB) and "huge" (40,000
// subkeys of 3 values).
void BuildTree(HKEY key, const std::string& name);

// One stored entry: the nine values of the store's Info\<n>.
struct StoreEntry {
    std::string title, commandLine, directory, iconPath, registry;
    DWORD runMinimized = 0, saveSlot = 0, iconIndex = 0, retrieveAgain = 0;
};
void WriteStoreEntry(int index, const StoreEntry& entry, HKEY root = HKEY_LOCAL_MACHINE);
// Below the store named store (kWow64StoreRoot for a 64-bit program's look).
inline std::string EntryPath(int index, std::string store = kStoreRoot) { return store + "\\Info\\" + std::to_string(index); }
inline std::string SnapshotPath(int slot, std::string store = kStoreRoot) { return store + "\\Save\\" + std::to_string(slot); }
// The titles of the entries the launcher would load, up to the first gap.
std::vector<std::string> StoredTitles(HKEY root = HKEY_LOCAL_MACHINE);
// A value of the profile's section "Cobweld" ("Current", "Installed").
void SetProfileInt(const char* name, DWORD value);
// Removes the store (under both roots and in both views of HKLM, a locked one
// too), its virtualized copy, the profile and the snapshots of settings files.
void WipeLauncherState();

// A registry file's keys and values in the file's order, as RegSetValueExW
// takes them.
struct RegFileKey {
    struct Value {
        std::wstring name;
        DWORD type;
        std::vector<BYTE> data;
    };
    std::wstring path; // below the file's root key; empty for the root itself
    std::vector<Value> values;
};
// The benchmarks' registry files: one key holding count values, or (subkeys)
// count subkeys Key0, Key1, ... of three values each. Values are a string, a
// DWORD and 40 bytes in turn, named Item0, Item1, ..., Item10, ... as a
// program adds them: the order regedit on Windows keeps, not Wine's name order.
std::vector<RegFileKey> RegFileKeys(int count, bool subkeys);
// The file as regedit writes it (UTF-16LE with a byte-order mark), its keys
// named after rootName.
std::wstring RegFileText(const std::vector<RegFileKey>& keys, const std::wstring& rootName);

// ---------------------------------------------------------------- files

std::wstring Expand(const std::wstring& path);
// path with the prefix (\\?\) that lifts MAX_PATH, unless it has it.
std::wstring ExtendedPath(const std::wstring& path);
// Removes a file or folder tree; a link in it is removed, never followed.
void RemoveFiles(const std::wstring& path);
// A file's last-write time, 0 when it has none.
ULONGLONG WrittenAt(const std::wstring& path);

// A canonical text of a folder tree (a full path): each name below it, in
// name order, with its kind and attributes, a file's bytes (their hash) and,
// unless times is false, the creation and last-write times. Links are shown,
// never entered.
std::wstring DumpFiles(const std::wstring& root, bool times = true, const std::wstring& relative = L"");
// The benchmarks' settings folders, "appdata" (2,000 files of 4 to 20 KB in
// 200 folders) and "media" (8 files of 50 MB): the folders, each after the
// one above it, and the files, below the tree's root.
struct FileTree {
    struct File {
        std::wstring relative;
        ULONGLONG size;
    };
    std::string name;
    std::vector<std::wstring> folders;
    std::vector<File> files;
    int added; // how many files ChangeFiles adds
};
FileTree SettingsFolderTree(const std::string& name);
// Lays the tree down in root, a new folder; false at the first failure.
bool BuildFiles(const FileTree& tree, const std::wstring& root);
// A tenth of the files (at least one), another tenth each round, written
// again with other bytes of the same size; with added, also tree.added new
// files, as a live tree looks before a restore.
bool ChangeFiles(const FileTree& tree, const std::wstring& root, int round, bool added = false);

// A whole file (a full path); "" when it cannot be read.
std::string ReadBytes(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const std::string& bytes);

// ---------------------------------------------------------------- programs

// A program, ended with the test program at the latest.
class Process {
public:
    Process() = default;
    ~Process() { Kill(); }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    // quiet: without a window, its output going nowhere.
    bool Start(const std::string& exePath, const std::string& arguments = "", bool quiet = false);
    bool StartLauncher(const std::string& arguments = "") { return Start(LauncherPath(), arguments); }
    bool Running() const { return m_info.hProcess && ::WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT; }
    bool WaitExit(DWORD timeoutMs = kTimeout) const;
    void Kill();
    DWORD Id() const { return m_info.dwProcessId; }
    DWORD MainThreadId() const { return m_info.dwThreadId; }
    HANDLE Handle() const { return m_info.hProcess; }
    // The launcher's main window, once its thread answers messages.
    HWND WaitMainWindow(DWORD timeoutMs = kTimeout) const;

private:
    PROCESS_INFORMATION m_info = {};
};
// Runs a program quietly to its end: its exit code, or -1 when it did not
// start or end in time.
long Run(const std::string& exePath, const std::string& arguments, DWORD timeoutMs = kTimeout);

// ---------------------------------------------------------------- windows

std::string WindowText(HWND window);
// A control's text, asked of the control itself.
std::string ItemText(HWND dialog, int id);
// A visible dialog of the process, once its thread answers messages: the
// main window (its title begins with "Cobweld" and it holds the program
// list), one with exactly this caption, a message box.
HWND FindMainWindow(DWORD processId);
HWND FindMessageBox(DWORD processId);
// Any visible dialog of the process but window: a message box, a dialog, a
// file dialog, the progress dialog.
HWND FindOtherDialog(DWORD processId, HWND window);
HWND WaitDialog(DWORD processId, const std::string& caption, DWORD timeoutMs = kTimeout);
HWND WaitMessageBox(DWORD processId, DWORD timeoutMs = kTimeout);
// "<caption>|<text>|<buttons>", the default button marked with '*'.
std::string DescribeMessageBox(HWND box);
// Clicks a box's button and waits until the box is gone.
bool Answer(HWND box, int buttonId);

// Click posts a button click (for handlers that open a modal window); Press
// sends it and returns once the handler has run.
void Click(HWND dialog, int id);
bool Press(HWND dialog, int id);
inline void PostSysCommand(HWND window, UINT command) { ::PostMessageA(window, WM_SYSCOMMAND, command, 0); }
// LB_SETCURSEL, then the LBN_SELCHANGE a click would send.
void SelectRow(HWND dialog, int listId, int row);
// The window's thread has handled what was sent to it before.
bool Sync(HWND window);
inline int ListCount(HWND dialog, int listId) { return (int)::SendDlgItemMessageA(dialog, listId, LB_GETCOUNT, 0, 0); }
inline int ListSelection(HWND dialog, int listId) { return (int)::SendDlgItemMessageA(dialog, listId, LB_GETCURSEL, 0, 0); }
inline bool IsEnabled(HWND dialog, int id) { return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE; }
// A list view's rows of another process, each "cell|cell|...", and the
// selection of one of them (as a click would make it).
std::vector<std::string> ListViewRows(HWND list);
void SelectListViewRow(HWND list, int row);
// Types path into the file dialog with this caption and presses its OK.
bool ChooseFile(DWORD processId, const std::string& caption, const std::string& path);

} // namespace driver
