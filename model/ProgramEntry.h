// One registered program: what to start, how, and which settings key and
// snapshot slot belong to it.
#pragma once
#include <windows.h>

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

    // Settings snapshots: the settings key HKCU\Software\<m_szRegistry> and
    // the snapshot key HKLM\Software\Varnolite\Cobweld\Save\<m_nSaveSlot>.
    int CaptureSnapshot();
    int RestoreSnapshot();
    void DiscardSnapshot();

    // Restores the snapshot and starts the program. Returns the process
    // handle, owned by the caller, or 0 when the start failed.
    HANDLE LaunchEntry();

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
