// A record of a key tree as a copy left it, and the check that tells from
// it whether the tree has changed since, reading mostly the registry's
// last-write times: a key's time moves when one of its values is changed or
// removed and when a subkey is added (under Wine also when one is removed),
// not for a value written again with the same data, nor for changes further
// down. So only the keys written since the copy are read whole, and the
// others are held to the number of subkeys they had.
#pragma once
#include <windows.h>
#include <vector>
#include "registry/TreeWalk.h"

class CKeyTreeRecord {
public:
    struct Totals {
        ULONGLONG keys = 0; // the top key among them
        ULONGLONG values = 0;
        ULONGLONG bytes = 0; // of value data
    };

    // Empty (holds no tree) until a copy fills it or Read succeeds.
    bool IsEmpty() const { return m_keys.empty(); }
    // System time just after the copy (or walk) that made the record ended.
    FILETIME Moment() const;
    // The tree's CTreeFingerprint (registry/RegistryTree.h).
    ULONGLONG Fingerprint() const { return m_nFingerprint; }
    const Totals& Count() const { return m_totals; }

    // The record as bytes to keep: about nine bytes per key and forty more.
    std::vector<BYTE> Bytes() const;
    // False, leaving the record empty, for bytes that hold no record
    // (the fingerprint-only record of an older launcher among them).
    bool Read(const BYTE* bytes, size_t size);

private:
    friend class CKeyTreeRecorder;
    friend class CTreeCheck;
    // What the check needs of one key: its subkeys' number and a digest of
    // its class, its values and its subkeys' names and classes.
    struct CKeyEntry {
        ULONGLONG digest;
        DWORD subkeys;
    };
    ULONGLONG m_nMoment = 0;
    ULONGLONG m_nFingerprint = 0;
    // A sum over every key's path: what a renamed key changes, though its
    // parent's last-write time may not move.
    ULONGLONG m_nShape = 0;
    Totals m_totals;
    std::vector<CKeyEntry> m_keys; // in the walk's order: a key, then its subkeys' trees
};

// Builds a record as a walk goes: the part of a copy that fills
// CTreeWalk::record. No registry call of its own.
class CKeyTreeRecorder : public CTreeVisitor {
public:
    bool OnKey(const CWalkedKey& key, CKeyReading& reading) override;
    bool OnValue(const wchar_t* name, DWORD nameLength, DWORD type, const BYTE* data, DWORD size) override;
    bool OnKeyDone() override;
    // After a walk that succeeded: record becomes what was walked, stamped
    // with the present moment.
    void Finish(CKeyTreeRecord& record);

private:
    struct CFrame {
        ULONGLONG path;
        size_t entry;
    };
    CKeyTreeRecord m_record;
    std::vector<CFrame> m_frames; // the keys entered and not yet left
};

enum class TreeChange {
    UNCHANGED, // holds what the record says
    CHANGED,
    UNKNOWN,   // a key could not be read, or progress stopped the check
};

// Whether tree (open for reading) holds what record says, compared as the
// fingerprint compares. Reads of each key the last-write time only (from its
// parent's enumeration), but the whole of a key written since the record's
// moment; a key that had no subkeys then and has not been written since is
// not even opened. A change made while the copy that made the record ran,
// to a key the copy had read already, goes unseen, and so may one made after
// the system clock was set back. Reports as the walk does.
TreeChange CheckTree(HKEY tree, const CKeyTreeRecord& record, const CWorkProgress& progress = CWorkProgress());
