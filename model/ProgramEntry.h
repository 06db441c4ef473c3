// One registered program: what to start, how, and which settings key and
// snapshot slot belong to it.
#pragma once
#include <windows.h>
#include <functional>
#include <memory>
#include <string>
#include "framework/ProcessGroup.h"
#include "registry/RegFile.h"

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
    // (registry/Snapshot.h); 1 on success.
    int CaptureSnapshot();
    int RestoreSnapshot();
    // Afterwards the entry has no slot.
    void DiscardSnapshot();
    // Takes slot, emptied of whatever an entry removed earlier left there,
    // and captures the first snapshot into it.
    int CaptureFirstSnapshot(int slot);

    // The settings the last capture replaced, kept beside the snapshot.
    bool HasPreviousSnapshot() const;
    // Swaps the snapshot and the previous settings.
    bool UndoCapture();
    // The snapshot as a registry file that names the settings key.
    bool ExportSnapshot(const std::wstring& path) const;
    // A registry file becomes the snapshot, as a capture would make it.
    bool ImportSnapshot(const std::wstring& path, RegFileError* error);

    // Restores the snapshot and starts the program. A failed restore calls
    // restoreFailed before the program starts, which it then does all the
    // same. Returns the started program with the processes it starts, or
    // nullptr.
    std::unique_ptr<CProcessGroup> LaunchEntry(const std::function<void()>& restoreFailed);

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
