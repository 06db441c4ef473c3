#include "registry/Snapshot.h"
#include <vector>
#include "framework/PrivateSecurity.h"
#include "framework/Scoped.h"
#include "framework/Text.h"
#include "registry/RegistryTree.h"
#include "registry/StagedKey.h"
#include "registry/Store.h"

namespace {

// "Software\" + the name and its NUL fill at most the 200-byte path buffer
// that the stored names were made for.
const size_t MAX_SETTINGS_NAME = 190;

const wchar_t kVendorKey[] = L"Varnolite";
const wchar_t kProductKey[] = L"Cobweld";

bool SameKeyName(const std::wstring& a, const wchar_t* b)
{
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b, -1, TRUE) == CSTR_EQUAL;
}

// The levels of a key path; empty levels (doubled backslashes) name nothing.
std::vector<std::wstring> KeyLevels(const std::string& path)
{
    std::vector<std::wstring> levels;
    std::wstring wide = Widen(path);
    for (size_t start = 0; start <= wide.size();) {
        size_t end = wide.find(L'\\', start);
        if (end == std::wstring::npos)
            end = wide.size();
        if (end > start)
            levels.push_back(wide.substr(start, end - start));
        start = end + 1;
    }
    return levels;
}

std::string SettingsPath(const std::string& settingsName)
{
    return "Software\\" + settingsName;
}

std::string SlotName(int slot)
{
    return std::to_string(slot);
}

// The store's Save key, created when missing.
LONG OpenSnapshots(CRegKey& snapshots)
{
    CRegKey store;
    LONG rc = OpenStore(store, KEY_READ | KEY_WRITE, true);
    return rc == ERROR_SUCCESS ? snapshots.Create(store, SNAPSHOTS_KEY) : rc;
}

// A snapshot holds a user's settings, passwords and tokens among them: in the
// machine-wide store only its user, SYSTEM and the administrators may open
// it, at every level.
class CPrivateKeySecurity {
public:
    CPrivateKeySecurity()
    {
        if (MakePrivateSecurity(L"KA", m_descriptor))
            m_attributes = {sizeof m_attributes, m_descriptor, FALSE};
    }
    // NULL when no descriptor could be made: the key then inherits.
    SECURITY_ATTRIBUTES* Get() { return m_attributes.lpSecurityDescriptor ? &m_attributes : nullptr; }
    // Gives key, opened with WRITE_DAC, this access. Windows would let the
    // subkeys inherit it; Wine gives each new key an access of its own.
    void Secure(HKEY key)
    {
        if (m_descriptor)
            ::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, m_descriptor);
    }
    // Secures key and every key below it.
    void Apply(HKEY key)
    {
        if (!m_descriptor)
            return;
        Secure(key);
        ForEachSubkey(key, [&](const wchar_t* name) {
            CRegKey subkey;
            if (subkey.Open(key, name, WRITE_DAC | KEY_ENUMERATE_SUB_KEYS) == ERROR_SUCCESS)
                Apply(subkey);
            return true;
        });
    }

private:
    CLocalPtr<void> m_descriptor;
    SECURITY_ATTRIBUTES m_attributes = {};
};

// Fills the staging key of a snapshot. security is NULL where snapshots
// need no access of their own; otherwise every key below staging must get it
// (staging has it already).
typedef std::function<bool(HKEY staging, CPrivateKeySecurity* security)> FillSnapshot;

bool ReplaceSnapshot(int slot, const FillSnapshot& fill, const std::wstring& keyClass = std::wstring())
{
    CRegKey snapshots;
    if (slot <= 0 || OpenSnapshots(snapshots) != ERROR_SUCCESS)
        return false;
    const wchar_t* topClass = keyClass.empty() ? nullptr : keyClass.c_str();
    // The per-user store is the user's own already.
    if (StoreRoot() != HKEY_LOCAL_MACHINE)
        return ReplaceKeyTree(snapshots, SlotName(slot), [&](HKEY staging) { return fill(staging, nullptr); }, true,
                              nullptr, topClass);
    CPrivateKeySecurity security;
    auto fillPrivately = [&](HKEY staging) {
        security.Secure(staging);
        return fill(staging, &security);
    };
    return ReplaceKeyTree(snapshots, SlotName(slot), fillPrivately, true, security.Get(), topClass);
}

// A copy of source into a snapshot's staging key, each new key secured as it
// is made.
bool CopyIntoSnapshot(HKEY source, HKEY staging, CPrivateKeySecurity* security, CTreeWalk& walk)
{
    if (security)
        walk.created = [security](HKEY key) { security->Secure(key); };
    return CopyRegistryTree(source, staging, &walk) != 0;
}

// Which entry (by its slot) last left each settings key, and a fingerprint
// of what it left there: values of the store's key LeftBy, named after the
// settings key, each a CLeftRecord. A settings key nobody is known to have
// left has no value.
const char kLeftByKey[] = "LeftBy";

#pragma pack(push, 4)
struct CLeftRecord {
    DWORD slot;
    ULONGLONG fingerprint;
};
#pragma pack(pop)

// The settings name as one value name: the levels that name the key, one
// backslash apart (the registry ignores empty levels); letter case does not
// matter to value names.
std::wstring RecordName(const std::string& settingsName)
{
    std::wstring name;
    for (const std::wstring& level : KeyLevels(settingsName))
        name += (name.empty() ? L"" : L"\\") + level;
    return name;
}

LONG OpenLeftRecords(CRegKey& records, REGSAM access)
{
    CRegKey store;
    LONG rc = OpenStore(store, KEY_READ | KEY_WRITE, true);
    return rc == ERROR_SUCCESS ? records.Create(store, Widen(kLeftByKey).c_str(), access) : rc;
}

// Removes the records that name slot, but for the one called keep.
void ForgetSlot(HKEY records, int slot, const std::wstring& keep)
{
    std::vector<std::wstring> stale;
    wchar_t name[512];
    CLeftRecord record;
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name / sizeof name[0], size = sizeof record, type = REG_NONE;
        LONG rc = ::RegEnumValueW(records, index, name, &length, nullptr, &type, reinterpret_cast<BYTE*>(&record),
                                  &size);
        if (rc == ERROR_NO_MORE_ITEMS || (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA))
            break;
        if (rc == ERROR_SUCCESS && size == sizeof record && static_cast<int>(record.slot) == slot
            && ::CompareStringOrdinal(name, -1, keep.c_str(), -1, TRUE) != CSTR_EQUAL)
            stale.push_back(name);
    }
    for (const std::wstring& value : stale)
        ::RegDeleteValueW(records, value.c_str());
}

// slot 0: nobody left it. A slot belongs to one entry, which names one
// settings key: records of other keys naming the slot are stale.
void RecordLeft(const std::string& settingsName, int slot, ULONGLONG fingerprint)
{
    CRegKey records;
    if (OpenLeftRecords(records, KEY_READ | KEY_WRITE) != ERROR_SUCCESS)
        return;
    std::wstring name = RecordName(settingsName);
    if (slot <= 0) {
        ::RegDeleteValueW(records, name.c_str());
        return;
    }
    ForgetSlot(records, slot, name);
    CLeftRecord record = {static_cast<DWORD>(slot), fingerprint};
    ::RegSetValueExW(records, name.c_str(), 0, REG_BINARY, reinterpret_cast<const BYTE*>(&record), sizeof record);
}

// Opens the slot's snapshot for reading, after putting right what an
// interrupted replacement left.
LONG OpenSnapshot(int slot, CRegKey& snapshot)
{
    CRegKey snapshots;
    LONG rc = OpenSnapshots(snapshots);
    if (rc != ERROR_SUCCESS)
        return rc;
    RecoverKeyTree(snapshots, SlotName(slot), true);
    return snapshot.Open(snapshots, SlotName(slot).c_str());
}

} // namespace

namespace Snapshot {

bool IsSettingsName(const std::string& settingsName)
{
    if (settingsName.size() > MAX_SETTINGS_NAME || !NamesKeyBelow(settingsName.c_str()))
        return false;
    // Restoring the launcher's own key (or the vendor key above it) would
    // remove its profile and, with a per-user store, every entry and snapshot.
    std::vector<std::wstring> levels = KeyLevels(settingsName);
    return !(SameKeyName(levels[0], kVendorKey) && (levels.size() == 1 || SameKeyName(levels[1], kProductKey)));
}

bool SameSettingsName(const std::string& a, const std::string& b)
{
    return ::CompareStringOrdinal(RecordName(a).c_str(), -1, RecordName(b).c_str(), -1, TRUE) == CSTR_EQUAL;
}

bool Capture(const std::string& settingsName, int slot, const Progress& progress)
{
    CRegKey settings;
    if (!IsSettingsName(settingsName)
        || settings.Open(HKEY_CURRENT_USER, SettingsPath(settingsName).c_str()) != ERROR_SUCCESS)
        return false;
    CTreeFingerprint fingerprint;
    CTreeWalk walk;
    walk.progress = progress;
    walk.fingerprint = &fingerprint;
    if (!ReplaceSnapshot(slot, [&](HKEY staging, CPrivateKeySecurity* security) {
            return CopyIntoSnapshot(settings, staging, security, walk);
        }, RegistryKeyClass(settings)))
        return false;
    RecordLeft(settingsName, slot, fingerprint.Value());
    return true;
}

bool Restore(const std::string& settingsName, int slot, bool keep, const Progress& progress)
{
    CRegKey snapshot, settings;
    if (!IsSettingsName(settingsName) || slot <= 0 || OpenSnapshot(slot, snapshot) != ERROR_SUCCESS)
        return false;
    // Half restored, the settings key is nobody's.
    RecordLeft(settingsName, 0, 0);
    // Removed first, so that the copy cannot merge old and restored settings.
    std::string path = SettingsPath(settingsName);
    DeleteRegistryTree(HKEY_CURRENT_USER, path.c_str());
    std::wstring keyClass = RegistryKeyClass(snapshot);
    CTreeFingerprint fingerprint;
    CTreeWalk walk;
    walk.progress = progress;
    walk.fingerprint = &fingerprint;
    if (settings.Create(HKEY_CURRENT_USER, Widen(path).c_str(), KEY_READ | KEY_WRITE,
                        keyClass.empty() ? nullptr : keyClass.c_str()) != ERROR_SUCCESS
        || !CopyRegistryTree(snapshot, settings, &walk))
        return false;
    if (keep)
        RecordLeft(settingsName, slot, fingerprint.Value());
    return true;
}

void Discard(int slot)
{
    CRegKey snapshots, records;
    if (slot <= 0 || OpenSnapshots(snapshots) != ERROR_SUCCESS)
        return;
    DeleteKeyTreeAndHistory(snapshots, SlotName(slot));
    if (OpenLeftRecords(records, KEY_READ | KEY_WRITE) == ERROR_SUCCESS)
        ForgetSlot(records, slot, std::wstring());
}

int ChangedSinceLeft(const std::string& settingsName, const Progress& progress)
{
    CRegKey records, settings;
    CLeftRecord record;
    DWORD size = sizeof record, type = REG_NONE;
    if (!IsSettingsName(settingsName) || OpenLeftRecords(records, KEY_READ) != ERROR_SUCCESS
        || ::RegQueryValueExW(records, RecordName(settingsName).c_str(), nullptr, &type,
                              reinterpret_cast<BYTE*>(&record), &size) != ERROR_SUCCESS
        || size != sizeof record || static_cast<int>(record.slot) <= 0
        || settings.Open(HKEY_CURRENT_USER, SettingsPath(settingsName).c_str()) != ERROR_SUCCESS)
        return 0;
    CTreeFingerprint fingerprint;
    CTreeWalk walk;
    walk.progress = progress;
    walk.fingerprint = &fingerprint;
    if (!WalkRegistryTree(settings, walk) || fingerprint.Value() == record.fingerprint)
        return 0;
    return static_cast<int>(record.slot);
}

bool IsSlotTaken(int slot)
{
    CRegKey snapshots;
    return OpenSnapshots(snapshots) == ERROR_SUCCESS && KeyTreeTaken(snapshots, SlotName(slot));
}

bool CreateEmpty(int slot)
{
    return ReplaceSnapshot(slot, [](HKEY, CPrivateKeySecurity*) { return true; });
}

bool Undo(int slot)
{
    CRegKey snapshots;
    return slot > 0 && OpenSnapshots(snapshots) == ERROR_SUCCESS && UndoKeyTree(snapshots, SlotName(slot));
}

bool HasPrevious(int slot)
{
    CRegKey snapshots;
    return slot > 0 && OpenSnapshots(snapshots) == ERROR_SUCCESS
        && HasPreviousKeyTree(snapshots, SlotName(slot));
}

bool Copy(int fromSlot, int toSlot)
{
    CRegKey source;
    if (OpenSnapshot(fromSlot, source) != ERROR_SUCCESS)
        return false;
    CTreeWalk walk;
    return ReplaceSnapshot(toSlot, [&](HKEY staging, CPrivateKeySecurity* security) {
        return CopyIntoSnapshot(source, staging, security, walk);
    }, RegistryKeyClass(source));
}

bool Export(int slot, const std::string& settingsName, const std::wstring& path, const Progress& progress)
{
    CRegKey snapshot;
    return slot > 0 && OpenSnapshot(slot, snapshot) == ERROR_SUCCESS
        && ExportRegFile(snapshot, L"HKEY_CURRENT_USER\\" + Widen(SettingsPath(settingsName)), path, progress);
}

bool Import(int slot, const std::wstring& path, RegFileError* error, const Progress& progress)
{
    *error = RegFileError();
    if (ReplaceSnapshot(slot, [&](HKEY staging, CPrivateKeySecurity* security) {
            if (!ImportRegFile(path, staging, error, progress))
                return false;
            if (security)
                security->Apply(staging);
            return true;
        }))
        return true;
    if (error->kind == RegFileError::NONE)
        error->kind = RegFileError::WRITE_FAILED;
    return false;
}

} // namespace Snapshot
