// The ordered list of entries, loaded from the entry store
// HKLM\Software\Varnolite\Cobweld\Info\<n> and written back when modified.
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
    // Loads the entries and sets the group state from the profile value
    // "Installed" of the application object.
    CProgramList();
    // Writes the list back when it was modified, then deletes every entry.
    virtual ~CProgramList();

    CProgramList(const CProgramList&) = delete;
    CProgramList& operator=(const CProgramList&) = delete;

    int GetCount() const { return static_cast<int>(m_arrEntries.size()); }
    // 0 <= index < GetCount(). The pointer stays valid until the entry is
    // removed or the list destroyed.
    CProgramEntry* GetAt(int index) const { return m_arrEntries[index]; }

    CProgramEntry* Add(const CProgramEntry& source);
    void RemoveAt(int index);
    void Replace(int index, const CProgramEntry& source);
    BOOL MoveUp(int index);
    BOOL MoveDown(int index);
    int FirstFreeSnapshotSlot() const;

    std::vector<CProgramEntry*> m_arrEntries;
    int m_bModified;
    int m_nGroupState;
};
