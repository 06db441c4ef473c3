// The ordered list of entries, loaded from the store's Info\<n> keys. The
// store follows every change as it is made, so that a launcher ended at any
// moment starts again with the list it last showed.
#pragma once
#include <vector>
#include "model/ProgramEntry.h"

// What the close of the main window has to do about the Program Manager group.
enum {
    GROUP_STATE_NONE = 0,     // nothing to do
    GROUP_STATE_CHANGED = 1,  // the list changed during this run
    GROUP_STATE_FIRST_RUN = 2 // no completed run recorded yet
};

class CProgramList {
public:
    // Loads the entries and the group state: changed when the store says so,
    // else from the profile value "Installed" of the application object. An
    // entry without a slot of its own (none, not positive, or one an earlier
    // entry uses) gets the first free slot, with a copy of the snapshot it
    // shared, or an empty one; the repair is stored.
    CProgramList();
    // Stores the list if a change could not be stored when it was made, then
    // deletes every entry.
    virtual ~CProgramList();

    CProgramList(const CProgramList&) = delete;
    CProgramList& operator=(const CProgramList&) = delete;

    int GetCount() const { return static_cast<int>(m_arrEntries.size()); }
    // 0 <= index < GetCount(). The pointer stays valid until the entry is
    // removed or the list destroyed.
    CProgramEntry* GetAt(int index) const { return m_arrEntries[index]; }

    // The entry whose snapshot is in slot, or NULL.
    CProgramEntry* FindBySlot(int slot) const;

    // Each change is stored at once, with the group state, which it sets to
    // GROUP_STATE_CHANGED. Add returns the list's own copy.
    CProgramEntry* Add(const CProgramEntry& source);
    // Removes the entry from the store, then discards its snapshot; with
    // slotToDiscard, leaves that to the caller: the slot, or 0 when the list
    // could not be stored (a stored entry must keep its snapshot).
    void RemoveAt(int index, int* slotToDiscard = nullptr);
    void Replace(int index, const CProgramEntry& source);
    BOOL MoveUp(int index);
    BOOL MoveDown(int index);

    // The smallest positive slot that no entry uses and that holds nothing
    // (IsSnapshotSlotTaken).
    int FirstFreeSnapshotSlot() const;

    // Sets the group state and stores it with the list.
    void SetGroupState(int state);
    int m_nGroupState;

private:
    // Writes the whole list into the store in one step; false when it could
    // not, which leaves the list to be stored again at the next change.
    bool Save();
    void RepairSnapshotSlots();

    std::vector<CProgramEntry*> m_arrEntries;
    // The store does not hold the list as it is.
    int m_bModified;
};
