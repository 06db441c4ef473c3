#include "registry/RegistryTree.h"
#include <algorithm>
#include <cstring>
#include "framework/Hash.h"
#include "framework/Scoped.h"
#include "framework/Text.h"

// The tree routines work with the wide registry functions: names and string
// data then reach the destination exactly as stored, also where they hold
// characters that the ANSI code page cannot express.

namespace {

// The copy's first transfer buffer, and its first name buffer in
// characters; both grow on demand.
const DWORD REGISTRY_TRANSFER_SIZE = 0x10000;
const DWORD REGISTRY_NAME_SIZE = 300;

// One level's buffer. Growing it gives up the old contents.
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
// under us) ends the copy rather than looping.
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

// Room kept after a value's data in the transfer buffer. Given string data
// without its terminator, the platform adds one when the character after the
// data is NUL: the copy fills these bytes first, so data arrives as it was.
const DWORD VALUE_SLACK = 4;

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

// One copy's (or walk's) buffers and what its caller asked for. One transfer
// buffer and one name buffer serve the whole tree (a pair per level costs
// more than the copying on deep trees). The transfer buffer holds a value's
// data in the value pass and a subkey's class in the subkey pass.
struct CTreeCopy {
    CTreeBuffer buffer, name;
    const CTreeWalk* walk = nullptr;
    CTreeFingerprint* fingerprint = nullptr;
    bool progress = false;
};

// destination NULL: the values are only read.
int CopyValues(HKEY source, HKEY destination, CTreeCopy& copy, ULONGLONG path)
{
    CTreeBuffer& data = copy.buffer;
    CTreeBuffer& name = copy.name;
    int attempts = 0;
    for (DWORD index = 0;;) {
        DWORD nameLength = name.CharCount();
        DWORD dataSize = data.Size() - VALUE_SLACK;
        DWORD type = REG_NONE;
        LONG rc = ::RegEnumValueW(source, index, name.Chars(), &nameLength, nullptr, &type,
                                  data.Bytes(), &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS)
            return 1;
        if (rc == ERROR_MORE_DATA) {
            if (++attempts > MAX_GROW_ATTEMPTS || !GrowForValue(source, dataSize, data, name))
                return 0;
            continue;
        }
        if (rc != ERROR_SUCCESS)
            return 0;
        if (copy.fingerprint)
            copy.fingerprint->AddValue(path, name.Chars(), nameLength, type, data.Bytes(), dataSize);
        if (destination) {
            std::memset(data.Bytes() + dataSize, 0xFF, VALUE_SLACK);
            if (::RegSetValueExW(destination, name.Chars(), 0, type, data.Bytes(), dataSize) != ERROR_SUCCESS)
                return 0;
        }
        attempts = 0;
        ++index;
    }
}

int CopyTree(HKEY source, HKEY destination, CTreeCopy& copy, ULONGLONG path, int depth, double done, double share);

int CopySubkeys(HKEY source, HKEY destination, CTreeCopy& copy, ULONGLONG path, int depth, double done,
                double share)
{
    CTreeBuffer& classBuffer = copy.buffer;
    CTreeBuffer& name = copy.name;
    // The first two levels divide the progress among their subkeys; below
    // them a key is too small a share to count.
    DWORD count = 0;
    if (copy.progress && depth < 2
        && ::RegQueryInfoKeyW(source, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                              nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        count = 0;
    int attempts = 0;
    for (DWORD index = 0;;) {
        DWORD nameLength = name.CharCount();
        DWORD classLength = classBuffer.CharCount();
        FILETIME lastWrite;
        LONG rc = ::RegEnumKeyExW(source, index, name.Chars(), &nameLength, nullptr,
                                  classBuffer.Chars(), &classLength, &lastWrite);
        if (rc == ERROR_NO_MORE_ITEMS)
            return 1;
        if (rc == ERROR_MORE_DATA) {
            if (++attempts > MAX_GROW_ATTEMPTS || !GrowForSubkey(source, name, classBuffer))
                return 0;
            continue;
        }
        if (rc != ERROR_SUCCESS)
            return 0;
        attempts = 0;

        ULONGLONG childPath = 0;
        if (copy.fingerprint) {
            childPath = CTreeFingerprint::SubkeyPath(path, name.Chars(), nameLength);
            copy.fingerprint->AddKey(childPath, classBuffer.Chars(), classLength);
        }
        CRegKey created, child;
        if (destination) {
            REGSAM access = KEY_READ | KEY_WRITE | (copy.walk && copy.walk->created ? WRITE_DAC : 0);
            if (created.Create(destination, name.Chars(), access, classLength > 0 ? classBuffer.Chars() : nullptr)
                != ERROR_SUCCESS)
                return 0;
            if (copy.walk && copy.walk->created)
                copy.walk->created(created);
        }
        if (child.Open(source, name.Chars()) != ERROR_SUCCESS)
            return 0;
        // The name and class are not needed once the subkey is open: the
        // levels below reuse the buffers, and this level enumerates afresh.
        double childShare = count > index ? share / count : 0;
        if (!CopyTree(child, destination ? static_cast<HKEY>(created) : nullptr, copy, childPath, depth + 1,
                      done + childShare * index, childShare))
            return 0;
        ++index;
    }
}

// Every value of source, then every subkey, depth first.
int CopyTree(HKEY source, HKEY destination, CTreeCopy& copy, ULONGLONG path, int depth, double done, double share)
{
    if (copy.progress && !copy.walk->progress(done))
        return 0;
    if (!CopyValues(source, destination, copy, path))
        return 0;
    return CopySubkeys(source, destination, copy, path, depth, done, share);
}

int StartTreeCopy(HKEY source, HKEY destination, const CTreeWalk* walk)
{
    CTreeCopy copy;
    copy.walk = walk;
    copy.fingerprint = walk ? walk->fingerprint : nullptr;
    copy.progress = walk && static_cast<bool>(walk->progress);
    if (!copy.buffer.Obtain(REGISTRY_TRANSFER_SIZE) || !copy.name.Obtain(REGISTRY_NAME_SIZE * sizeof(wchar_t)))
        return 0;
    if (copy.fingerprint) {
        std::wstring keyClass = RegistryKeyClass(source);
        copy.fingerprint->AddKey(CTreeFingerprint::TopPath(), keyClass.c_str(), static_cast<DWORD>(keyClass.size()));
    }
    return CopyTree(source, destination, copy, CTreeFingerprint::TopPath(), 0, 0.0, 1.0);
}

// Removes every subkey of key that can be removed, from the last one down:
// the registry keeps a key's subkeys in an array that a removal at the
// front would shift whole each time. One that cannot go is stepped over.
void DeleteSubkeys(HKEY key)
{
    DWORD count = 0;
    if (::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr,
                           nullptr, nullptr) != ERROR_SUCCESS)
        return;
    // Key names have at most 256 characters under Wine (255 on Windows).
    wchar_t name[260];
    for (DWORD index = count; index-- > 0;) {
        DWORD nameLength = sizeof name / sizeof name[0];
        FILETIME lastWrite;
        if (::RegEnumKeyExW(key, index, name, &nameLength, nullptr, nullptr, nullptr, &lastWrite) != ERROR_SUCCESS)
            continue;
        CRegKey child;
        if (child.Open(key, name) == ERROR_SUCCESS)
            DeleteSubkeys(child);
        child.Close();
        ::RegDeleteKeyW(key, name);
    }
}

} // namespace

bool NamesKeyBelow(const char* path)
{
    if (!path)
        return false;
    // A lead byte is never 0x5C: any character other than a backslash shows
    // up here as a byte other than 0x5C.
    for (const char* p = path; *p; ++p) {
        if (*p != '\\')
            return true;
    }
    return false;
}

int CopyRegistryTree(HKEY source, HKEY destination, const CTreeWalk* walk)
{
    return StartTreeCopy(source, destination, walk);
}

bool WalkRegistryTree(HKEY source, const CTreeWalk& walk)
{
    return StartTreeCopy(source, nullptr, &walk) != 0;
}

std::wstring RegistryKeyClass(HKEY key)
{
    std::wstring keyClass(256, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD length = static_cast<DWORD>(keyClass.size());
        LONG rc = ::RegQueryInfoKeyW(key, &keyClass[0], &length, nullptr, nullptr, nullptr, nullptr, nullptr,
                                     nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_SUCCESS)
            return keyClass.substr(0, length);
        if (rc != ERROR_MORE_DATA)
            break;
        keyClass.resize(std::max<size_t>(keyClass.size() * 4, length + 1));
    }
    return std::wstring();
}

ULONGLONG CTreeFingerprint::SubkeyPath(ULONGLONG parent, const wchar_t* name, DWORD length)
{
    return HashBytes(parent, name, length * sizeof(wchar_t));
}

void CTreeFingerprint::AddKey(ULONGLONG path, const wchar_t* keyClass, DWORD length)
{
    m_nSum += Mix(HashBytes(path ^ 0x4B, keyClass, length * sizeof(wchar_t)));
}

void CTreeFingerprint::AddValue(ULONGLONG path, const wchar_t* name, DWORD nameLength, DWORD type, const BYTE* data,
                                DWORD size)
{
    ULONGLONG h = HashBytes(path ^ 0x56, name, nameLength * sizeof(wchar_t));
    m_nSum += Mix(HashBytes(h ^ (static_cast<ULONGLONG>(type) << 8), data, size));
}

void DeleteRegistryTree(HKEY parent, const char* path)
{
    // An empty path (or one of backslashes only) opens the parent itself:
    // that would empty the parent instead of removing a key below it.
    if (!NamesKeyBelow(path))
        return;
    CRegKey key;
    if (key.Open(parent, path) == ERROR_SUCCESS)
        DeleteSubkeys(key);
    key.Close();
    ::RegDeleteKeyA(parent, path);
}

bool ForEachSubkey(HKEY key, const std::function<bool(const wchar_t* name)>& visit)
{
    // Key names have at most 256 characters under Wine (255 on Windows).
    wchar_t name[260];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name / sizeof name[0];
        LONG rc = ::RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            return true;
        if (rc != ERROR_SUCCESS || !visit(name))
            return false;
    }
}

bool RegistryKeyExists(HKEY parent, const char* path)
{
    CRegKey key;
    return key.Open(parent, path) == ERROR_SUCCESS;
}

bool RenameRegistryKey(HKEY parent, const char* name, const char* newName)
{
    typedef LONG(WINAPI * RenameKeyFunction)(HKEY, LPCWSTR, LPCWSTR);
    // Not in every import library, though every system since Vista has it.
    static const auto renameKey = reinterpret_cast<RenameKeyFunction>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("advapi32.dll"), "RegRenameKey")));
    // Wine 8 keeps a parent's subkeys sorted, and a rename that moves a key
    // to the very next place overwrites the key that follows it there. A
    // spacer key between the two names makes that move a longer one; it is
    // volatile, so that a process ended before it is gone leaves nothing.
    static const bool sortedRenameBroken = ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version");
    if (!renameKey)
        return false;
    std::wstring from = Widen(name), to = Widen(newName);
    CRegKey spacer;
    std::wstring spacerName = from + L'\x01';
    if (sortedRenameBroken
        && ::CompareStringOrdinal(from.c_str(), -1, to.c_str(), -1, TRUE) == CSTR_LESS_THAN
        && spacer.Create(parent, spacerName.c_str(), KEY_READ, nullptr, nullptr, REG_OPTION_VOLATILE) != ERROR_SUCCESS)
        return false;
    bool renamed = renameKey(parent, from.c_str(), to.c_str()) == ERROR_SUCCESS;
    if (spacer.IsOpen()) {
        spacer.Close();
        ::RegDeleteKeyW(parent, spacerName.c_str());
    }
    return renamed;
}
