#include "registry/RegistryTree.h"
#include <algorithm>
#include <cstring>
#include <deque>
#include "framework/Hash.h"
#include "framework/Scoped.h"
#include "framework/Text.h"
#include "registry/KeyTreeRecord.h"

// The tree routines work with the wide registry functions: names and string
// data then reach the destination exactly as stored, also where they hold
// characters that the ANSI code page cannot express.

namespace {

// Writes what the walk reads into a destination tree, each subkey created
// (with its class) as the walk enters it.
class CTreeCopier : public CTreeVisitor {
public:
    CTreeCopier(HKEY destination, const std::function<void(HKEY)>& created)
        : m_destination(destination), m_created(created) {}

    bool OnKey(const CWalkedKey& key, CKeyReading&) override
    {
        if (key.depth == 0)
            return true;
        REGSAM access = KEY_READ | KEY_WRITE | (m_created ? WRITE_DAC : 0);
        HKEY parent = Current();
        m_keys.emplace_back();
        if (m_keys.back().Create(parent, key.name, access, key.classLength > 0 ? key.keyClass : nullptr)
            != ERROR_SUCCESS)
            return false;
        if (m_created)
            m_created(m_keys.back());
        return true;
    }
    bool OnValue(const wchar_t* name, DWORD, DWORD type, const BYTE* data, DWORD size) override
    {
        return ::RegSetValueExW(Current(), name, 0, type, data, size) == ERROR_SUCCESS;
    }
    bool OnKeyDone() override
    {
        // The top key is left last, when no subkey is open any more.
        if (!m_keys.empty())
            m_keys.pop_back();
        return true;
    }

private:
    HKEY Current() const { return m_keys.empty() ? m_destination : HKEY(m_keys.back()); }
    HKEY m_destination;
    const std::function<void(HKEY)>& m_created;
    std::deque<CRegKey> m_keys; // created below the destination, down to the current key
};

int StartTreeCopy(HKEY source, HKEY destination, const CTreeWalk* walk)
{
    static const CTreeWalk nothing;
    const CTreeWalk& asked = walk ? *walk : nothing;
    CTreeCopier copier(destination, asked.created);
    CKeyTreeRecorder recorder;
    CTreeVisitors visitors;
    if (destination)
        visitors.Add(&copier);
    if (asked.fingerprint)
        visitors.Add(asked.fingerprint);
    if (asked.record)
        visitors.Add(&recorder);
    if (!WalkKeyTree(source, visitors, asked.progress))
        return 0;
    if (asked.record)
        recorder.Finish(*asked.record);
    return 1;
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

ULONGLONG CTreeFingerprint::KeyTerm(ULONGLONG path, const wchar_t* keyClass, DWORD length)
{
    return Mix(HashBytes(path ^ 0x4B, keyClass, length * sizeof(wchar_t)));
}

ULONGLONG CTreeFingerprint::ValueTerm(ULONGLONG path, const wchar_t* name, DWORD nameLength, DWORD type,
                                      const BYTE* data, DWORD size)
{
    ULONGLONG h = HashBytes(path ^ 0x56, name, nameLength * sizeof(wchar_t));
    return Mix(HashBytes(h ^ (static_cast<ULONGLONG>(type) << 8), data, size));
}

bool CTreeFingerprint::OnKey(const CWalkedKey& key, CKeyReading&)
{
    m_paths.resize(key.depth);
    ULONGLONG path = key.depth ? SubkeyPath(m_paths.back(), key.name, key.nameLength) : TopPath();
    m_paths.push_back(path);
    m_nSum += KeyTerm(path, key.keyClass, key.classLength);
    return true;
}

bool CTreeFingerprint::OnValue(const wchar_t* name, DWORD nameLength, DWORD type, const BYTE* data, DWORD size)
{
    m_nSum += ValueTerm(m_paths.back(), name, nameLength, type, data, size);
    return true;
}

bool CTreeFingerprint::OnKeyDone()
{
    m_paths.pop_back();
    return true;
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
