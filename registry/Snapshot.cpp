#include "registry/Snapshot.h"
#include <sddl.h>
#include <vector>
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
        CHandle token;
        HANDLE opened = nullptr;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &opened))
            return;
        token.Reset(opened);
        DWORD size = 0;
        ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        std::vector<BYTE> user(size);
        CLocalPtr<wchar_t> sid;
        if (size == 0 || !::GetTokenInformation(token, TokenUser, user.data(), size, &size)
            || !::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid))
            return;
        std::wstring sddl = L"D:P(A;OICI;KA;;;" + std::wstring(sid) + L")(A;OICI;KA;;;SY)(A;OICI;KA;;;BA)";
        if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &m_descriptor,
                                                                   nullptr))
            m_attributes = {sizeof m_attributes, m_descriptor, FALSE};
    }
    // NULL when no descriptor could be made: the key then inherits.
    SECURITY_ATTRIBUTES* Get() { return m_attributes.lpSecurityDescriptor ? &m_attributes : nullptr; }
    // Gives key and every key below it this access. Windows would let the
    // subkeys inherit it; Wine gives each new key an access of its own.
    void Apply(HKEY key)
    {
        if (!m_descriptor)
            return;
        ::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, m_descriptor);
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

bool ReplaceSnapshot(int slot, const FillKeyTree& fill)
{
    CRegKey snapshots;
    if (slot <= 0 || OpenSnapshots(snapshots) != ERROR_SUCCESS)
        return false;
    // The per-user store is the user's own already.
    if (StoreRoot() != HKEY_LOCAL_MACHINE)
        return ReplaceKeyTree(snapshots, SlotName(slot), fill, true);
    CPrivateKeySecurity security;
    auto fillPrivately = [&](HKEY staging) {
        if (!fill(staging))
            return false;
        security.Apply(staging);
        return true;
    };
    return ReplaceKeyTree(snapshots, SlotName(slot), fillPrivately, true, security.Get());
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

bool Capture(const std::string& settingsName, int slot)
{
    CRegKey settings;
    if (!IsSettingsName(settingsName)
        || settings.Open(HKEY_CURRENT_USER, SettingsPath(settingsName).c_str()) != ERROR_SUCCESS)
        return false;
    return ReplaceSnapshot(slot, [&](HKEY staging) { return CopyRegistryTree(settings, staging) != 0; });
}

bool Restore(const std::string& settingsName, int slot)
{
    CRegKey snapshot, settings;
    if (!IsSettingsName(settingsName) || slot <= 0 || OpenSnapshot(slot, snapshot) != ERROR_SUCCESS)
        return false;
    // Removed first, so that the copy cannot merge old and restored settings.
    std::string path = SettingsPath(settingsName);
    DeleteRegistryTree(HKEY_CURRENT_USER, path.c_str());
    return settings.Create(HKEY_CURRENT_USER, path.c_str()) == ERROR_SUCCESS
        && CopyRegistryTree(snapshot, settings) != 0;
}

void Discard(int slot)
{
    CRegKey snapshots;
    if (slot > 0 && OpenSnapshots(snapshots) == ERROR_SUCCESS)
        DeleteKeyTreeAndHistory(snapshots, SlotName(slot));
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
    return ReplaceSnapshot(toSlot, [&](HKEY staging) { return CopyRegistryTree(source, staging) != 0; });
}

bool Export(int slot, const std::string& settingsName, const std::wstring& path)
{
    CRegKey snapshot;
    return slot > 0 && OpenSnapshot(slot, snapshot) == ERROR_SUCCESS
        && ExportRegFile(snapshot, L"HKEY_CURRENT_USER\\" + Widen(SettingsPath(settingsName)), path);
}

bool Import(int slot, const std::wstring& path, RegFileError* error)
{
    *error = RegFileError();
    if (ReplaceSnapshot(slot, [&](HKEY staging) { return ImportRegFile(path, staging, error); }))
        return true;
    if (error->kind == RegFileError::NONE)
        error->kind = RegFileError::WRITE_FAILED;
    return false;
}

} // namespace Snapshot
