// One slot of the store's snapshots: the set of settings in use for one
// entry (its key tree Save\<slot> in the store, and its folder of settings
// files below the user's local application data) and its generations, each
// replaced in one step (settings/Staging.h). However the process ends, the
// slot holds a whole set in use and whole generations.
//
// A new set is built in the staging trees (StagingKey, StagingFolder) and
// then put in use or kept aside; what it replaces becomes a generation, and
// the generations beyond the history's depth go, oldest first, but for those
// marked kept.
#pragma once
#include <windows.h>
#include <memory>
#include <string>
#include <vector>
#include "framework/Scoped.h"
#include "settings/Generation.h"
#include "settings/SnapshotSecurity.h"

class CStaging;
struct CNoteEdit;

class CSnapshotSlot {
public:
    // Puts right what an interrupted step left in the slot, unless it is
    // only looked at (recover false: it may not be the caller's to change).
    explicit CSnapshotSlot(int slot, bool recover = true);
    ~CSnapshotSlot();
    CSnapshotSlot(const CSnapshotSlot&) = delete;
    CSnapshotSlot& operator=(const CSnapshotSlot&) = delete;

    // A positive slot of a store that opens.
    bool IsValid() const { return m_pStaging != nullptr; }
    int Number() const { return m_nSlot; }

    // The key tree of the set in use (n 0) or of generation n, for reading.
    LONG Open(CRegKey& tree, int n = 0) const;
    // The folder of the settings files of the set in use (n 0) or of
    // generation n; it need not exist.
    std::wstring FilesFolder(int n = 0) const;

    // The staging key, made anew with the snapshots' access and keyClass;
    // every key made below it must get Security() where that is not NULL.
    LONG CreateStagingKey(CRegKey& staging, const std::wstring& keyClass);
    CSnapshotSecurity* Security() { return m_pSecurity.get(); }
    // The staging folder's path, below a folder that exists and is private.
    std::wstring StagingFolder();
    // Removes what was built and not put in use.
    void DiscardStaging();

    // The staged set is put in use, described by current (its size and
    // settings name); the set it replaces becomes a generation made now for
    // reason. False, with the slot as it was, when that could not be done.
    bool Commit(DWORD reason, const CGeneration& current);
    // The staged set becomes a generation of its own, made now for reason;
    // the set in use stays.
    bool KeepAside(DWORD reason, const CGeneration& kept);
    // Generation n is put in use; the set in use becomes a generation (why:
    // undo), so that this too can be undone.
    bool BringBack(int n);
    bool SetKept(int n, bool kept);
    bool RemoveGeneration(int n);
    // The set in use first, then the generations, newest first.
    std::vector<CGeneration> History() const;

    // Holds a set, a generation or what an interrupted step left: it may be
    // the last copy of someone's settings, and is never given to another
    // entry.
    bool IsTaken() const;
    // Removes the set in use and every generation.
    void Discard();

    // What the launcher notes about the slot beside it, as private as the
    // snapshot itself; gone with it.
    bool SetNote(const wchar_t* name, const std::vector<BYTE>& bytes);
    bool GetNote(const wchar_t* name, std::vector<BYTE>* bytes) const;

private:
    bool ReadGeneration(int n, CGeneration* generation) const;
    int SetAsideInUse(DWORD reason, std::vector<CNoteEdit>* edits) const;
    int NextNumber() const;
    void ConvertEarlierHistory();
    void Prune();

    int m_nSlot;
    std::string m_strName;
    CRegKey m_snapshots;
    std::wstring m_strFilesRoot;
    std::unique_ptr<CSnapshotSecurity> m_pSecurity;
    std::unique_ptr<CStaging> m_pStaging;
};

// How many generations a slot keeps besides its set in use and those marked
// kept: the profile value HistoryDepth, 10 without it, 0 to 100.
int HistoryDepth();
