// The one walk of a registry key tree: each key's values, then its subkeys
// depth first, in the registry's order, shown to a visitor. The tree copy,
// its fingerprint and record, the check against a record and the registry
// file export are visitors of it.
#pragma once
#include <windows.h>
#include <vector>
#include "framework/WorkProgress.h"

// A key as the walk meets it: the top key (depth 0, an empty name), or a
// subkey as its parent's enumeration tells it, before the subkey is opened.
// The texts end with a NUL; they lie in the walk's buffers and are valid
// during the call only.
struct CWalkedKey {
    const wchar_t* name;
    DWORD nameLength;
    const wchar_t* keyClass;
    DWORD classLength;
    FILETIME lastWrite;
    int depth;
};

// What the walk reads of a key it has just shown.
struct CKeyReading {
    // False: the subkey is not even opened, and nothing of it is read. The
    // top key is open already and always read.
    bool open = true;
    bool values = true;
    // The enumeration of its subkeys ends after this many.
    DWORD maxSubkeys = MAXDWORD;
};

// Hears the walk. False from any call ends the walk, which then fails;
// the visitor hears nothing more.
class CTreeVisitor {
public:
    virtual ~CTreeVisitor() = default;
    // Entering key, below the key last entered and not yet left; reading
    // comes set to read everything.
    virtual bool OnKey(const CWalkedKey& key, CKeyReading& reading) = 0;
    // A value of the key last entered. size bytes of data, followed by
    // VALUE_SLACK bytes of 0xFF that belong to the walk.
    virtual bool OnValue(const wchar_t* name, DWORD nameLength, DWORD type, const BYTE* data, DWORD size)
        { return true; }
    // The key's values are done, its subkeys come next (also when its values
    // were not read).
    virtual bool OnValuesDone() { return true; }
    // Leaving the key last entered: its subkeys are done, or it was not read.
    virtual bool OnKeyDone() { return true; }

    // Room the walk keeps after a value's data.
    static const DWORD VALUE_SLACK = 4;
};

// Several visitors hearing one walk, in their order. Each key is read as
// much as any of them asks, so a visitor here may hear more of a key than it
// asked for.
class CTreeVisitors : public CTreeVisitor {
public:
    void Add(CTreeVisitor* visitor) { m_visitors.push_back(visitor); }
    bool OnKey(const CWalkedKey& key, CKeyReading& reading) override;
    bool OnValue(const wchar_t* name, DWORD nameLength, DWORD type, const BYTE* data, DWORD size) override;
    bool OnValuesDone() override;
    bool OnKeyDone() override;

private:
    std::vector<CTreeVisitor*> m_visitors;
};

// Walks top and every key below it that the visitor asks for, top being open
// with KEY_READ. Reports after every key and every value, reckoned by work
// done: a key's part divided between its values and its subkeys by their
// counts at the first two levels (where one query of each key is made),
// further down each next item given a smaller part of what is left. False
// when a key or value could not be read, the visitor ended the walk or
// progress stopped it. Values of any size and names of any length are read;
// a key whose entries keep outgrowing the buffers (it changes under the walk)
// ends it.
bool WalkKeyTree(HKEY top, CTreeVisitor& visitor, const CWorkProgress& progress = CWorkProgress());
