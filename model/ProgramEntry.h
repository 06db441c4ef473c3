// One registered program: what to start, how, and which settings key and
// snapshot slot belong to it.
#pragma once
#include <windows.h>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "framework/ProcessGroup.h"
#include "settings/SettingsSet.h"

class CProgramEntry {
public:
    CProgramEntry();
    // Does not release the cached icon: its owner (the list, or the
    // dialog holding a working copy) does that with ReleaseIcon.
    virtual ~CProgramEntry();

    CProgramEntry(const CProgramEntry&) = delete;
    CProgramEntry& operator=(const CProgramEntry&) = delete;

    // Entry store (one key per entry). LoadFromKey leaves a field as it was
    // when its value is missing or does not fit it. SaveToKey writes every
    // value, and is false when one of them could not be written.
    void LoadFromKey(HKEY key);
    bool SaveToKey(HKEY key) const;

    // TRUE when the entry has a cached icon afterwards. Extracts and caches
    // the entry's own copy of its icon when none is cached.
    BOOL EnsureIcon();
    // Destroys the cached icon, if any, and leaves none.
    void ReleaseIcon();

    // Copies every field; the destination's old icon is released and it
    // gets its own duplicate of the source's icon (or none).
    CProgramEntry& CopyFrom(const CProgramEntry& source);

    // The entry's settings: the settings key m_szRegistry (may be empty)
    // and the settings paths, with the snapshot in slot m_nSaveSlot. Work on
    // them goes through this set (a copy: the entry may change while the
    // work runs).
    CSettingsSet Settings() const;
    // The set's operations on this entry (settings/SettingsSet.h); 1 on
    // success. The snapshot a capture replaces is kept as a generation made
    // for reason. A restore with keep set records that the program's changes
    // are taken back into this entry.
    int CaptureSnapshot(DWORD reason, const CWorkProgress& progress = CWorkProgress(),
                        CSettingsFailure* failure = nullptr) const;
    int RestoreSnapshot(bool keep, const CWorkProgress& progress = CWorkProgress()) const;
    // Afterwards the entry has no slot.
    void DiscardSnapshot();
    // Starts the program as the entry says: its file, no arguments, its
    // working directory, minimized when asked. Returns the started program
    // with the processes it starts, or nullptr. The settings are the
    // caller's to restore first (a launch: launcher/Launch.h).
    std::unique_ptr<CProcessGroup> LaunchEntry() const;

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
    // The settings paths (settings/SettingsPaths.h), as the user wrote them.
    // Stored beside the nine values as Files, with FilesSlot, the slot they
    // were written with: a list rewritten by a build that knows none of them
    // moves the nine values to other keys and leaves these behind, so they
    // count only where FilesSlot is the entry's slot.
    std::vector<std::wstring> m_settingsPaths;
};
