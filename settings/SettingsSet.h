// An entry's settings as the launcher keeps them: what they are (today the
// settings key HKEY_CURRENT_USER\Software\<name>) and the slot that holds
// their snapshot and its history, with every operation on them. This is the
// one way to an entry's settings: the window, the launch and the entry list
// all come here, and a new kind of settings is added here alone.
//
// A set is a value: the work off the interface thread takes its own copy.
// The operations show nothing; each one that may run long takes the
// progress of the job that runs it (a stop ends it as a failure).
#pragma once
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
        OTHER_KEY, // a generation of another settings key (subject) is not brought back for this one
    };
    Kind kind = UNSPECIFIED;
    std::wstring subject;
};

class CSettingsSet {
public:
    CSettingsSet() = default;
    CSettingsSet(const std::string& settingsName, int slot) : m_strSettingsName(settingsName), m_nSlot(slot) {}

    const std::string& SettingsName() const { return m_strSettingsName; }
    int Slot() const { return m_nSlot; }
    // The same set in another slot.
    CSettingsSet InSlot(int slot) const { return CSettingsSet(m_strSettingsName, slot); }
    // Both name the same settings (whatever their slots).
    bool SameSettings(const CSettingsSet& other) const;

    // Copies the live settings into the slot; the snapshot they replace
    // becomes a generation made for reason (settings/Generation.h). False,
    // with the slot as it was, when the settings cannot be read or the copy
    // is stopped. Afterwards the slot's entry is the one that left the
    // settings in place.
    bool Capture(DWORD reason, const CWorkProgress& progress = CWorkProgress()) const;
    // Copies the live settings into a generation of their own, made for
    // reason; the snapshot in use stays.
    bool KeepAside(DWORD reason, const CWorkProgress& progress = CWorkProgress()) const;
    // Makes the live settings an exact copy of the slot's snapshot. False
    // when the slot has no snapshot or the old settings could not all be
    // removed; once they are removed, a failed copy leaves them incomplete.
    // Afterwards the slot's entry left the settings in place when keep is
    // set (the program's changes are to be taken back), else nobody did.
    bool Restore(bool keep, const CWorkProgress& progress = CWorkProgress()) const;
    // The slot of the entry that last left the live settings, when they have
    // been changed since (outside the launcher); 0 when they are as that
    // entry left them, left by nobody, missing or unreadable, or when
    // progress stopped the check.
    int ChangedSinceLeft(const CWorkProgress& progress = CWorkProgress()) const;

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
    // The slot gets an empty snapshot.
    bool CreateEmpty() const;
    // The snapshot becomes that of slot too.
    bool CopyTo(int slot) const;

    // The snapshot (or generation n) as a registry file naming the settings
    // key.
    bool Export(const std::wstring& path, const CWorkProgress& progress = CWorkProgress(), int n = 0) const;
    // A registry file that, imported over live settings that hold the
    // snapshot, leaves generation n there: what n holds and the snapshot
    // does not, and deletions of what n lacks.
    bool ExportDifference(int n, const std::wstring& path, const CWorkProgress& progress = CWorkProgress()) const;
    // A registry file of the settings key becomes the slot's snapshot, as a
    // capture would make it. On failure the slot is unchanged and error says
    // why (OTHER_KEY: the file holds another key's settings).
    bool Import(const std::wstring& path, RegFileError* error,
                const CWorkProgress& progress = CWorkProgress()) const;

private:
    // Copies the live settings into slot's staging trees; generation
    // describes them.
    bool CopyLive(CSnapshotSlot& slot, CKeyTreeRecord* left, CGeneration* generation,
                  const CWorkProgress& progress) const;
    // The slot's entry left the live settings as record says.
    void Left(CSnapshotSlot& slot, const CKeyTreeRecord& record) const;

    std::string m_strSettingsName;
    int m_nSlot = 0;
};

// A slot that holds a snapshot, a generation or what an interrupted step
// left, whether an entry names it or not: it may be the last copy of
// someone's settings, and is never given to another entry.
bool IsSnapshotSlotTaken(int slot);
