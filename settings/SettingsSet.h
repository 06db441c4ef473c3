// An entry's settings as the launcher keeps them: what they are (the
// settings key HKEY_CURRENT_USER\Software\<name>, and the settings paths,
// files and folders) and the slot that holds their snapshot and its history,
// with every operation on them. This is the one way to an entry's settings:
// the window, the launch and the entry list all come here.
//
// A set is a value: the work off the interface thread takes its own copy.
// The operations show nothing; each one that may run long takes the
// progress of the job that runs it (a stop ends it as a failure). The key
// and the files are one set: a capture replaces both in one step, or
// neither.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "framework/WorkProgress.h"
#include "registry/RegFile.h"
#include "settings/Generation.h"

class CKeyTreeRecord;
class CSnapshotSlot;

// Why an operation failed, where the operation's own message would not say.
struct CSettingsFailure {
    enum Kind {
        UNSPECIFIED,
        OTHER_KEY,    // a generation of another settings key (subject) is not brought back for this one
        PATH_REFUSED, // a settings path (subject, as written) that cannot be one (detail: its PathRefusal)
        FILE_IN_USE,  // a file (subject) that another program holds open without sharing
        FILE_FAILED,  // a file (subject) that could not be read or written (detail: the system's error)
        MISSING,      // a settings path (subject) that has no snapshot at all
        OTHER_FILES,  // the settings files of an import (subject: their folder) name other paths
    };
    Kind kind = UNSPECIFIED;
    std::wstring subject;
    DWORD detail = 0;
    // Nothing was changed on disk: a launch starts nothing after it.
    bool StartsNothing() const { return kind == PATH_REFUSED || kind == FILE_IN_USE; }
};

// Live settings changed since the launcher left them there.
struct CSettingsChange {
    int slot = 0;         // of the entry that left them; 0: no change (or none known)
    std::wstring subject; // the settings key's name or the settings path, as written
    std::wstring path;    // a settings path's full form; empty for the key
};

class CSettingsSet {
public:
    CSettingsSet() = default;
    CSettingsSet(const std::string& settingsName, int slot, const std::vector<std::wstring>& paths = {},
                 const std::wstring& programFolder = std::wstring())
        : m_strSettingsName(settingsName), m_nSlot(slot), m_paths(paths), m_strProgramFolder(programFolder) {}

    const std::string& SettingsName() const { return m_strSettingsName; }
    bool HasKey() const { return !m_strSettingsName.empty(); }
    const std::vector<std::wstring>& Paths() const { return m_paths; }
    int Slot() const { return m_nSlot; }
    // What the set is called where one name must do: the key, else the
    // first settings path.
    std::wstring Describe() const;
    // The same set in another slot.
    CSettingsSet InSlot(int slot) const;
    // Both name the same settings (whatever their slots).
    bool SameSettings(const CSettingsSet& other) const;
    // The set names what changed (its key, or a path of the same full form).
    bool Names(const CSettingsChange& change) const;
    // The paths can be settings paths (settings/SettingsPaths.h): nothing is
    // done with a set whose paths cannot.
    bool CheckPaths(CSettingsFailure* failure) const;

    // Copies the live settings into the slot; the snapshot they replace
    // becomes a generation made for reason (settings/Generation.h). False,
    // with the slot as it was, when the settings cannot be read or the copy
    // is stopped. Afterwards the slot's entry is the one that left the
    // settings in place.
    bool Capture(DWORD reason, const CWorkProgress& progress = CWorkProgress(), CSettingsFailure* failure = nullptr) const;
    // A first snapshot of what this set names and before does not (another
    // settings key, added paths), the rest taken from the slot's snapshot,
    // which becomes a generation made for reason.
    bool CaptureChanges(const CSettingsSet& before, DWORD reason, const CWorkProgress& progress,
                        CSettingsFailure* failure = nullptr) const;
    // Copies the live settings into a generation of their own, made for
    // reason; the snapshot in use stays.
    bool KeepAside(DWORD reason, const CWorkProgress& progress = CWorkProgress(),
                   CSettingsFailure* failure = nullptr) const;
    // Makes the live settings exact copies of the slot's snapshot: the
    // files first (a file that cannot be replaced stops the restore before
    // it changes anything of that path, and of the key), then the key.
    // False when the slot has no snapshot, a path has none (MISSING: the
    // others are restored, that one is left as it is) or the old settings
    // could not all be removed. Afterwards the slot's entry left the
    // settings in place when keep is set (the program's changes are to be
    // taken back), else nobody did.
    bool Restore(bool keep, const CWorkProgress& progress = CWorkProgress(), CSettingsFailure* failure = nullptr) const;
    // The entry that last left the live settings, when they have been
    // changed since (outside the launcher): none when they are as that entry
    // left them, left by nobody, missing or unreadable, or when progress
    // stopped the check. Metadata is read first, contents only where it
    // changed.
    CSettingsChange ChangedSinceLeft(const CWorkProgress& progress = CWorkProgress()) const;

    // Removes the slot's snapshot and its history; the slot's entry has left
    // no settings any more.
    void Discard() const;
    // The slot's snapshot first, then its generations, newest first.
    std::vector<CGeneration> History() const;
    bool HasPrevious() const;
    // Generation n (0: the newest) is put in use; the snapshot it replaces
    // becomes the newest generation, so that this too can be undone. A
    // generation of another settings key is refused (OTHER_KEY).
    bool BringBack(int n, CSettingsFailure* failure = nullptr) const;
    bool SetKept(int n, bool kept) const;
    bool RemoveGeneration(int n) const;
    // The slot gets an empty snapshot of the key (its paths none).
    bool CreateEmpty() const;
    // The snapshot becomes that of slot too.
    bool CopyTo(int slot) const;

    // The snapshot (or generation n) as a registry file naming the settings
    // key, and the settings files in a folder of the file's name beside it.
    bool Export(const std::wstring& path, const CWorkProgress& progress = CWorkProgress(), int n = 0) const;
    // A registry file that, imported over live settings that hold the
    // snapshot, leaves generation n's key there: what n holds and the
    // snapshot does not, and deletions of what n lacks.
    bool ExportDifference(int n, const std::wstring& path, const CWorkProgress& progress = CWorkProgress()) const;
    // A registry file of the settings key (and the settings files beside it,
    // which must name the set's paths) becomes the slot's snapshot, as a
    // capture would make it. On failure the slot is unchanged and error or
    // failure says why (OTHER_KEY: the file holds another key's settings).
    bool Import(const std::wstring& path, RegFileError* error, const CWorkProgress& progress = CWorkProgress(),
                CSettingsFailure* failure = nullptr) const;

private:
    // The copy of what this set names into slot's staging trees, from the
    // live settings, or from the slot's snapshot for what before names too
    // (before NULL: all from the live settings). generation describes it.
    bool Build(CSnapshotSlot& slot, const CSettingsSet* before, CKeyTreeRecord* left, CGeneration* generation,
               const CWorkProgress& progress, CSettingsFailure* failure) const;
    bool BuildFiles(CSnapshotSlot& slot, const CSettingsSet* before, CGeneration* generation,
                    const CWorkProgress& progress, CSettingsFailure* failure) const;
    bool RestoreFiles(CSnapshotSlot& slot, bool keep, const CWorkProgress& progress, CSettingsFailure* failure) const;
    CSettingsChange ChangedFilesSinceLeft(const CWorkProgress& progress) const;
    // The slot's entry left the live settings as they are now: record says
    // the key (NULL: the key is not the set's, or was not copied), and the
    // paths are looked at.
    void Left(CSnapshotSlot& slot, const CKeyTreeRecord* record, const CSettingsSet* before = nullptr) const;
    std::wstring FullPath(size_t index) const;

    std::string m_strSettingsName;
    int m_nSlot = 0;
    std::vector<std::wstring> m_paths;
    std::wstring m_strProgramFolder;
};

// A slot that holds a snapshot, a generation or what an interrupted step
// left, whether an entry names it or not: it may be the last copy of
// someone's settings, and is never given to another entry.
bool IsSnapshotSlotTaken(int slot);
