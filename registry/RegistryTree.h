// Recursive copy and removal of registry key trees.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>
#include "framework/WorkProgress.h"
#include "registry/TreeWalk.h"

class CKeyTreeRecord;

// A digest of what a key tree holds: the class of its top key, and every
// subkey's name and class and every value's name, type and bytes, at every
// depth. It does not depend on the order the registry lists them in, so a
// tree and an exact copy of it have the same fingerprint. As a visitor it
// sums up one walk (WalkKeyTree, or CTreeWalk::fingerprint of a copy).
class CTreeFingerprint : public CTreeVisitor {
public:
    ULONGLONG Value() const { return m_nSum; }

    // The fingerprint is a sum of terms, one for each key and each value,
    // each term naming its key by the key's path: a key tree's record
    // (registry/KeyTreeRecord.h) sums them per key as well.
    static ULONGLONG TopPath() { return 0x436f627765ULL; }
    static ULONGLONG SubkeyPath(ULONGLONG parent, const wchar_t* name, DWORD length);
    static ULONGLONG KeyTerm(ULONGLONG path, const wchar_t* keyClass, DWORD length);
    static ULONGLONG ValueTerm(ULONGLONG path, const wchar_t* name, DWORD nameLength, DWORD type, const BYTE* data,
                               DWORD size);

    bool OnKey(const CWalkedKey& key, CKeyReading& reading) override;
    bool OnValue(const wchar_t* name, DWORD nameLength, DWORD type, const BYTE* data, DWORD size) override;
    bool OnKeyDone() override;

private:
    ULONGLONG m_nSum = 0;
    std::vector<ULONGLONG> m_paths; // of the keys entered and not yet left
};

// What a tree copy or walk is to do besides copying. Every member may be empty.
struct CTreeWalk {
    // Hears the copy after every key and every value, reckoned by work done
    // (registry/TreeWalk.h). False stops the copy, which fails.
    CWorkProgress progress;
    // Each key the copy creates below the destination, still open.
    std::function<void(HKEY created)> created;
    // Summed up over the source when not NULL.
    CTreeFingerprint* fingerprint = nullptr;
    // When not NULL and the copy succeeds: the source as the copy read it,
    // stamped with the moment the copy ended. It is the destination's record
    // too when the destination held nothing before.
    CKeyTreeRecord* record = nullptr;
};

// Copies every value and subkey of source, at every depth, into destination:
// each key's values first, then its subkeys depth-first, with their classes
// (not the class of destination itself: the caller made that key). Every
// value arrives with the type, size and bytes it has, well formed or not.
// Adds and overwrites; what exists only in the destination stays. Returns 1
// when everything was copied, 0 at the first failure or when walk stopped it
// (what was copied up to then stays). Values of any size and names of any
// length are carried. Neither handle is closed.
int CopyRegistryTree(HKEY source, HKEY destination, const CTreeWalk* walk = nullptr);
// Reads the whole tree as the copy would, writing nothing: for its
// fingerprint or record (what a fingerprint-only record of an older launcher
// is compared with). False when a key could not be read or walk stopped it.
bool WalkRegistryTree(HKEY source, const CTreeWalk& walk);
// The class of key itself; empty when it has none.
std::wstring RegistryKeyClass(HKEY key);

// Removes parent\path with all its subkeys, deepest first. Reports nothing:
// a missing path is no error, and a subkey that cannot be removed is left
// in place (together with the keys above it) instead of being retried.
void DeleteRegistryTree(HKEY parent, const char* path);

// FALSE for a null path, an empty one or one made of backslashes only: the
// registry opens such a path as the parent key itself.
bool NamesKeyBelow(const char* path);

// Calls visit with the name of each subkey of key, in the registry's order,
// until it returns false; visit must not add or remove subkeys of key.
// Returns false when visit stopped the walk or the enumeration failed.
bool ForEachSubkey(HKEY key, const std::function<bool(const wchar_t* name)>& visit);

// True when parent\path can be opened for reading.
bool RegistryKeyExists(HKEY parent, const char* path);

// Renames the subkey name of parent to newName in one step: a process that
// ends at any moment leaves the key under one of the two names, whole.
// False when the rename failed (newName taken, no access, or a system
// without the call); nothing has changed then.
bool RenameRegistryKey(HKEY parent, const char* name, const char* newName);
