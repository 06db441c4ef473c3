// An entry's settings as the launcher keeps them: what they are (today the
// settings key HKEY_CURRENT_USER\Software\<name>) and the slot that holds
// their snapshot, with every operation on them. This is the one way to an
// entry's settings: the window, the launch and the entry list all come
// here, and a new kind of settings is added here alone.
//
// A set is a value: the work off the interface thread takes its own copy.
// The operations show nothing; each one that may run long takes the
// progress of the job that runs it (a stop ends it as a failure).
#pragma once
#include <string>
#include "framework/WorkProgress.h"
#include "registry/RegFile.h"

class CKeyTreeRecord;

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
    // becomes the previous settings. False, with the slot as it was, when
    // the settings cannot be read or the copy is stopped. Afterwards the
    // slot's entry is the one that left the settings in place.
    bool Capture(const CWorkProgress& progress = CWorkProgress()) const;
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

    // Removes the slot's snapshot and its previous settings; the slot's entry
    // has left no settings any more.
    void Discard() const;
    // Swaps the snapshot with the previous settings; again, swaps back.
    bool Undo() const;
    bool HasPrevious() const;
    // The slot gets an empty snapshot.
    bool CreateEmpty() const;
    // The snapshot becomes that of slot too.
    bool CopyTo(int slot) const;

    // The snapshot as a registry file naming the settings key.
    bool Export(const std::wstring& path, const CWorkProgress& progress = CWorkProgress()) const;
    // A registry file of the settings key becomes the slot's snapshot, as a
    // capture would make it. On failure the slot is unchanged and error says
    // why (OTHER_KEY: the file holds another key's settings).
    bool Import(const std::wstring& path, RegFileError* error,
                const CWorkProgress& progress = CWorkProgress()) const;

private:
    // The slot's entry left the live settings as record says.
    void Left(const CKeyTreeRecord& record) const;

    std::string m_strSettingsName;
    int m_nSlot = 0;
};

// A slot that holds a snapshot, previous settings or what an interrupted
// replacement left, whether an entry names it or not: it may be the last
// copy of someone's settings, and is never given to another entry.
bool IsSnapshotSlotTaken(int slot);
