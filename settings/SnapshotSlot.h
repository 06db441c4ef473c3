// One slot of the store's snapshots: Save\<slot>, with the settings its last
// capture replaced kept beside it as its previous settings (Save\<slot>.prev).
// A snapshot is replaced in one step (registry/StagedKey.h): however the
// process ends, a slot holds a whole snapshot.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

class CRegKey;
class CSnapshotSecurity;

class CSnapshotSlot {
public:
    // Fills the staging key of a snapshot. security is NULL where snapshots
    // need no access of their own; otherwise every key below staging must
    // get it (staging has it already).
    typedef std::function<bool(HKEY staging, CSnapshotSecurity* security)> Fill;

    explicit CSnapshotSlot(int slot) : m_nSlot(slot) {}
    // Slots are positive; any other number names no slot.
    bool IsValid() const { return m_nSlot > 0; }

    // Replaces the snapshot with what fill builds, its top key of keyClass;
    // the snapshot it replaces becomes the previous settings. False, with
    // the slot as it was, when fill failed.
    bool Replace(const Fill& fill, const std::wstring& keyClass = std::wstring()) const;
    // Opens the snapshot for reading, after putting right what an
    // interrupted replacement left.
    LONG Open(CRegKey& snapshot) const;
    // Holds a snapshot, previous settings or what an interrupted replacement
    // left: it may be the last copy of someone's settings.
    bool IsTaken() const;
    // Removes the snapshot and its previous settings.
    void Discard() const;
    // Swaps the snapshot with its previous settings; again, swaps back.
    bool Undo() const;
    bool HasPrevious() const;

    // What the launcher notes about the slot beside it (Save\<slot>.notes),
    // as private as the snapshot itself; gone with it.
    bool SetNote(const wchar_t* name, const std::vector<BYTE>& bytes) const;
    bool GetNote(const wchar_t* name, std::vector<BYTE>* bytes) const;

private:
    int m_nSlot;
};
