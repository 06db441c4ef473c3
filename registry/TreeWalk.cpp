#include "registry/TreeWalk.h"
#include <algorithm>
#include <cstring>
#include "framework/Scoped.h"

// The walk uses the wide registry functions: names and string data reach the
// visitor exactly as stored, also where they hold characters that the ANSI
// code page cannot express.

namespace {

// The walk's first transfer buffer, and its first name buffer in
// characters; both grow on demand.
const DWORD REGISTRY_TRANSFER_SIZE = 0x10000;
const DWORD REGISTRY_NAME_SIZE = 300;
const DWORD VALUE_SLACK = CTreeVisitor::VALUE_SLACK;

// One buffer of the walk. Growing it gives up the old contents.
class CTreeBuffer {
public:
    CTreeBuffer() = default;
    ~CTreeBuffer() { Release(); }
    CTreeBuffer(const CTreeBuffer&) = delete;
    CTreeBuffer& operator=(const CTreeBuffer&) = delete;

    // On failure the buffer keeps its old memory and size.
    bool Obtain(DWORD bytes)
    {
        void* memory = ::GlobalAlloc(GPTR, bytes);
        if (!memory)
            return false;
        Release();
        m_pData = memory;
        m_nSize = bytes;
        return true;
    }
    BYTE* Bytes() const { return static_cast<BYTE*>(m_pData); }
    wchar_t* Chars() const { return static_cast<wchar_t*>(m_pData); }
    DWORD Size() const { return m_nSize; }
    DWORD CharCount() const { return m_nSize / sizeof(wchar_t); }

private:
    void Release()
    {
        if (m_pData)
            ::GlobalFree(m_pData);
        m_pData = nullptr;
        m_nSize = 0;
    }
    void* m_pData = nullptr;
    DWORD m_nSize = 0;
};

// A value or name that keeps outgrowing its buffer (the key is changing
// under us) ends the walk rather than looping.
const int MAX_GROW_ATTEMPTS = 8;
const DWORD MAX_BUFFER_BYTES = 0x7FFFFFF0;

DWORD GrownSize(DWORD current, DWORD wanted)
{
    if (wanted <= current)
        wanted = current <= MAX_BUFFER_BYTES / 2 ? current * 2 : MAX_BUFFER_BYTES;
    return wanted;
}

bool GrowNameBuffer(CTreeBuffer& name, DWORD longestName)
{
    DWORD current = name.Size();
    DWORD wanted = longestName < MAX_BUFFER_BYTES / sizeof(wchar_t) - 1
        ? (longestName + 1) * static_cast<DWORD>(sizeof(wchar_t)) : MAX_BUFFER_BYTES;
    wanted = GrownSize(current, wanted);
    return wanted > current && name.Obtain(wanted);
}

// ERROR_MORE_DATA from the value enumeration: the data did not fit (the
// needed size came back in dataSize), or else the name did not.
bool GrowForValue(HKEY source, DWORD dataSize, CTreeBuffer& data, CTreeBuffer& name)
{
    if (dataSize > data.Size() - VALUE_SLACK)
        return dataSize <= MAX_BUFFER_BYTES - VALUE_SLACK && data.Obtain(dataSize + VALUE_SLACK);
    DWORD longestName = 0;
    if (::RegQueryInfoKeyW(source, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                           &longestName, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        longestName = 0;
    return GrowNameBuffer(name, longestName);
}

// ERROR_MORE_DATA from the subkey enumeration: the name or the class did not fit.
bool GrowForSubkey(HKEY source, CTreeBuffer& name, CTreeBuffer& classBuffer)
{
    DWORD longestName = 0, longestClass = 0;
    if (::RegQueryInfoKeyW(source, nullptr, nullptr, nullptr, nullptr, &longestName, &longestClass,
                           nullptr, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    bool grown = false;
    if ((longestName + 1) * sizeof(wchar_t) > name.Size())
        grown = GrowNameBuffer(name, longestName) || grown;
    if ((longestClass + 1) * sizeof(wchar_t) > classBuffer.Size())
        grown = GrowNameBuffer(classBuffer, longestClass) || grown;
    return grown;
}

// The part [from, from + share) of the whole work that one key's tree
// stands for, divided among its items: its values, then its subkeys. With
// their counts each item gets an equal part; without them each next item
// gets a smaller part of what is left, so that the progress still moves.
class CKeyShare {
public:
    CKeyShare(double from, double share) : m_from(from), m_share(share) {}
    CKeyShare(double from, double share, DWORD values, DWORD subkeys)
        : m_from(from), m_share(share), m_nValues(values), m_nItems(values + subkeys), m_bCounted(true) {}

    double Start(DWORD item) const
    {
        if (m_bCounted)
            return m_from + m_share * (item < m_nItems ? double(item) / m_nItems : 1.0);
        return m_from + m_share * item / (item + 1.0);
    }
    double Part(DWORD item) const
    {
        if (m_bCounted)
            return item < m_nItems ? m_share / m_nItems : 0.0;
        return m_share / ((item + 1.0) * (item + 2.0));
    }
    // The item of the first subkey when the values were not read.
    DWORD ValuesCounted() const { return m_nValues; }

private:
    double m_from, m_share;
    DWORD m_nValues = 0, m_nItems = 0;
    bool m_bCounted = false;
};

// One walk's buffers and what its caller gave. One transfer buffer and one
// name buffer serve the whole tree (a pair per level costs more than the
// copying on deep trees). The transfer buffer holds a value's data in the
// value pass and a subkey's class in the subkey pass.
struct CWalk {
    CWalk(CTreeVisitor& v, const CWorkProgress& p) : visitor(v), progress(p) {}
    // Never back, not even by the rounding of a subkey's part.
    bool Report(double done)
    {
        reported = std::max(reported, done);
        return progress(reported);
    }
    CTreeBuffer buffer, name;
    CTreeVisitor& visitor;
    const CWorkProgress& progress;
    double reported = 0;
};

// Reads every value of key; values ends as the number read.
bool WalkValues(HKEY key, CWalk& walk, const CKeyShare& share, DWORD& values)
{
    CTreeBuffer& data = walk.buffer;
    CTreeBuffer& name = walk.name;
    int attempts = 0;
    for (values = 0;;) {
        DWORD nameLength = name.CharCount();
        DWORD dataSize = data.Size() - VALUE_SLACK;
        DWORD type = REG_NONE;
        LONG rc = ::RegEnumValueW(key, values, name.Chars(), &nameLength, nullptr, &type, data.Bytes(), &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS)
            return true;
        if (rc == ERROR_MORE_DATA) {
            if (++attempts > MAX_GROW_ATTEMPTS || !GrowForValue(key, dataSize, data, name))
                return false;
            continue;
        }
        if (rc != ERROR_SUCCESS)
            return false;
        // Given string data without its terminator, the platform adds one
        // when the character after the data is NUL: a copy passing these
        // bytes on gets the data as it was.
        std::memset(data.Bytes() + dataSize, 0xFF, VALUE_SLACK);
        if (!walk.visitor.OnValue(name.Chars(), nameLength, type, data.Bytes(), dataSize))
            return false;
        attempts = 0;
        if (!walk.Report(share.Start(++values)))
            return false;
    }
}

bool EnterSubkey(HKEY parent, const CWalkedKey& child, CWalk& walk, double from, double share);

// The values and subkeys of key, which the visitor has entered, as reading says.
bool ReadKey(HKEY key, const CKeyReading& reading, int depth, CWalk& walk, const CKeyShare& share)
{
    DWORD values = share.ValuesCounted();
    if ((reading.values && !WalkValues(key, walk, share, values)) || !walk.visitor.OnValuesDone())
        return false;
    CTreeBuffer& classBuffer = walk.buffer;
    CTreeBuffer& name = walk.name;
    int attempts = 0;
    for (DWORD index = 0; index < reading.maxSubkeys;) {
        DWORD nameLength = name.CharCount();
        DWORD classLength = classBuffer.CharCount();
        FILETIME lastWrite;
        LONG rc = ::RegEnumKeyExW(key, index, name.Chars(), &nameLength, nullptr, classBuffer.Chars(), &classLength,
                                  &lastWrite);
        if (rc == ERROR_NO_MORE_ITEMS)
            return true;
        if (rc == ERROR_MORE_DATA) {
            if (++attempts > MAX_GROW_ATTEMPTS || !GrowForSubkey(key, name, classBuffer))
                return false;
            continue;
        }
        if (rc != ERROR_SUCCESS)
            return false;
        attempts = 0;
        // The name and class are not needed once the subkey is open: the
        // levels below reuse the buffers, and this level enumerates afresh.
        const CWalkedKey child = {name.Chars(), nameLength, classBuffer.Chars(), classLength, lastWrite, depth + 1};
        if (!EnterSubkey(key, child, walk, share.Start(values + index), share.Part(values + index)))
            return false;
        ++index;
    }
    return true;
}

bool EnterSubkey(HKEY parent, const CWalkedKey& child, CWalk& walk, double from, double share)
{
    CKeyReading reading;
    if (!walk.Report(from) || !walk.visitor.OnKey(child, reading))
        return false;
    if (reading.open) {
        CRegKey key;
        if (key.Open(parent, child.name) != ERROR_SUCCESS)
            return false;
        // Below the first two levels a key is too small a part to be worth
        // a query of its own.
        DWORD values = 0, subkeys = 0;
        bool counted = child.depth < 2 && walk.progress
            && ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                                  nullptr, nullptr, nullptr) == ERROR_SUCCESS;
        if (!ReadKey(key, reading, child.depth, walk,
                     counted ? CKeyShare(from, share, values, subkeys) : CKeyShare(from, share)))
            return false;
    }
    return walk.visitor.OnKeyDone();
}

} // namespace

bool CTreeVisitors::OnKey(const CWalkedKey& key, CKeyReading& reading)
{
    CKeyReading merged = {false, false, 0};
    for (CTreeVisitor* visitor : m_visitors) {
        CKeyReading asked;
        if (!visitor->OnKey(key, asked))
            return false;
        merged.open = merged.open || asked.open;
        merged.values = merged.values || asked.values;
        merged.maxSubkeys = std::max(merged.maxSubkeys, asked.maxSubkeys);
    }
    if (!m_visitors.empty())
        reading = merged;
    return true;
}

bool CTreeVisitors::OnValue(const wchar_t* name, DWORD nameLength, DWORD type, const BYTE* data, DWORD size)
{
    for (CTreeVisitor* visitor : m_visitors)
        if (!visitor->OnValue(name, nameLength, type, data, size))
            return false;
    return true;
}

bool CTreeVisitors::OnValuesDone()
{
    for (CTreeVisitor* visitor : m_visitors)
        if (!visitor->OnValuesDone())
            return false;
    return true;
}

bool CTreeVisitors::OnKeyDone()
{
    for (CTreeVisitor* visitor : m_visitors)
        if (!visitor->OnKeyDone())
            return false;
    return true;
}

bool WalkKeyTree(HKEY top, CTreeVisitor& visitor, const CWorkProgress& progress)
{
    CWalk walk(visitor, progress);
    if (!walk.buffer.Obtain(REGISTRY_TRANSFER_SIZE) || !walk.name.Obtain(REGISTRY_NAME_SIZE * sizeof(wchar_t)))
        return false;
    // The top key's class, its counts for the progress and its last-write
    // time, in one query.
    DWORD classLength = 0, subkeys = 0, values = 0;
    FILETIME lastWrite;
    for (int attempt = 0;; ++attempt) {
        classLength = walk.buffer.CharCount();
        LONG rc = ::RegQueryInfoKeyW(top, walk.buffer.Chars(), &classLength, nullptr, &subkeys, nullptr, nullptr,
                                     &values, nullptr, nullptr, nullptr, &lastWrite);
        if (rc == ERROR_SUCCESS)
            break;
        if (rc != ERROR_MORE_DATA || attempt >= MAX_GROW_ATTEMPTS || !GrowNameBuffer(walk.buffer, classLength))
            return false;
    }
    const CWalkedKey key = {L"", 0, walk.buffer.Chars(), classLength, lastWrite, 0};
    CKeyReading reading;
    return walk.Report(0.0) && visitor.OnKey(key, reading)
        && ReadKey(top, reading, 0, walk, CKeyShare(0, 1, values, subkeys)) && visitor.OnKeyDone() && walk.Report(1.0);
}
