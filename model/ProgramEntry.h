// One registered program: what to start, how, and which settings key and
// snapshot slot belong to it.
#pragma once
#include <windows.h>
#include <functional>
#include <memory>
#include <string>
#include "framework/ProcessGroup.h"
#include "registry/Snapshot.h"

class CProgramEntry {
public:
    CProgramEntry();
    // Does not release the cached icon: its owner (the list, or the
    // dialog holding a working copy) does that with ReleaseIcon.
    virtual ~CProgramEntry();

    CProgramEntry(const CProgramEntry&) = delete;
    CProgramEntry& operator=(const CProgramEntry&) = delete;

    // Entry store (one key per entry). LoadFromKey leaves a field as it was
    // when its value is missing or does not fit it.
    void LoadFromKey(HKEY key);
    void SaveToKey(HKEY key) const;

    // TRUE when the entry has a cached icon afterwards. Extracts and caches
    // the entry's own copy of its icon when none is cached.
    BOOL EnsureIcon();
    // Destroys the cached icon, if any, and leaves none.
    void ReleaseIcon();

    // Copies every field; the destination's old icon is released and it
    // gets its own duplicate of the source's icon (or none).
    CProgramEntry& CopyFrom(const CProgramEntry& source);

    // The snapshot of the settings key m_szRegistry in slot m_nSaveSlot
    // (registry/Snapshot.h); 1 on success. A restore with keep set records
    // that the program's changes are taken back into this entry.
    int CaptureSnapshot(const Snapshot::Progress& progress = Snapshot::Progress());
    int RestoreSnapshot(bool keep, const Snapshot::Progress& progress = Snapshot::Progress());
    // Afterwards the entry has no slot.
    void DiscardSnapshot();

    // The settings the last capture replaced, kept beside the snapshot.
    bool HasPreviousSnapshot() const;
    // Starts the program, its settings restored before (RestoreSnapshot).
    // Returns the started program with the processes it starts, or nullptr.
    std::unique_ptr<CProcessGroup> LaunchEntry();

    char m_szTitle[100];
    char m_szCommandLine[260];
    char m_szDirectory[260];
    char m_szIconPath[260];
    int m_nIconIndex;
    int m_bRunMinimized;
    char m_szRegistry[260];
    int m_nSaveSlot;
    int m_bRetrieveAgain;
    HICON m_hCachedIcon;
};
