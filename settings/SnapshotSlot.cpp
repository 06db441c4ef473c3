#include "settings/SnapshotSlot.h"
#include "framework/Scoped.h"
#include "framework/Text.h"
#include "registry/RegistryTree.h"
#include "registry/StagedKey.h"
#include "registry/Store.h"
#include "settings/SnapshotSecurity.h"

namespace {

const char kNotes[] = ".notes";

// The store's Save key, created when missing.
LONG OpenSnapshots(CRegKey& snapshots)
{
    CRegKey store;
    LONG rc = OpenStore(store, KEY_READ | KEY_WRITE, true);
    return rc == ERROR_SUCCESS ? snapshots.Create(store, SNAPSHOTS_KEY) : rc;
}

} // namespace

bool CSnapshotSlot::Replace(const Fill& fill, const std::wstring& keyClass) const
{
    CRegKey snapshots;
    if (!IsValid() || OpenSnapshots(snapshots) != ERROR_SUCCESS)
        return false;
    const wchar_t* topClass = keyClass.empty() ? nullptr : keyClass.c_str();
    const std::string name = std::to_string(m_nSlot);
    // The per-user store is the user's own already.
    if (StoreRoot() != HKEY_LOCAL_MACHINE)
        return ReplaceKeyTree(snapshots, name, [&](HKEY staging) { return fill(staging, nullptr); }, true, nullptr,
                              topClass);
    CSnapshotSecurity security;
    auto fillPrivately = [&](HKEY staging) {
        security.Secure(staging);
        return fill(staging, &security);
    };
    return ReplaceKeyTree(snapshots, name, fillPrivately, true, security.Get(), topClass);
}

LONG CSnapshotSlot::Open(CRegKey& snapshot) const
{
    CRegKey snapshots;
    LONG rc = IsValid() ? OpenSnapshots(snapshots) : ERROR_INVALID_PARAMETER;
    if (rc != ERROR_SUCCESS)
        return rc;
    RecoverKeyTree(snapshots, std::to_string(m_nSlot), true);
    return snapshot.Open(snapshots, std::to_string(m_nSlot).c_str());
}

bool CSnapshotSlot::IsTaken() const
{
    CRegKey snapshots;
    const std::string name = std::to_string(m_nSlot);
    return OpenSnapshots(snapshots) == ERROR_SUCCESS
        && (KeyTreeTaken(snapshots, name) || RegistryKeyExists(snapshots, (name + kNotes).c_str()));
}

void CSnapshotSlot::Discard() const
{
    CRegKey snapshots;
    if (IsValid() && OpenSnapshots(snapshots) == ERROR_SUCCESS) {
        DeleteKeyTreeAndHistory(snapshots, std::to_string(m_nSlot));
        DeleteRegistryTree(snapshots, (std::to_string(m_nSlot) + kNotes).c_str());
    }
}

bool CSnapshotSlot::SetNote(const wchar_t* name, const std::vector<BYTE>& bytes) const
{
    CRegKey snapshots, notes;
    if (!IsValid() || OpenSnapshots(snapshots) != ERROR_SUCCESS)
        return false;
    CSnapshotSecurity security;
    SECURITY_ATTRIBUTES* privately = StoreRoot() == HKEY_LOCAL_MACHINE ? security.Get() : nullptr;
    return notes.Create(snapshots, Widen(std::to_string(m_nSlot) + kNotes).c_str(), KEY_READ | KEY_WRITE, nullptr,
                        privately) == ERROR_SUCCESS
        && ::RegSetValueExW(notes, name, 0, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()))
        == ERROR_SUCCESS;
}

bool CSnapshotSlot::GetNote(const wchar_t* name, std::vector<BYTE>* bytes) const
{
    CRegKey snapshots, notes;
    DWORD size = 0;
    if (!IsValid() || OpenSnapshots(snapshots) != ERROR_SUCCESS
        || notes.Open(snapshots, (std::to_string(m_nSlot) + kNotes).c_str()) != ERROR_SUCCESS
        || ::RegQueryValueExW(notes, name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return false;
    bytes->resize(size);
    return ::RegQueryValueExW(notes, name, nullptr, nullptr, bytes->data(), &size) == ERROR_SUCCESS
        && (bytes->resize(size), true);
}

bool CSnapshotSlot::Undo() const
{
    CRegKey snapshots;
    return IsValid() && OpenSnapshots(snapshots) == ERROR_SUCCESS
        && UndoKeyTree(snapshots, std::to_string(m_nSlot));
}

bool CSnapshotSlot::HasPrevious() const
{
    CRegKey snapshots;
    return IsValid() && OpenSnapshots(snapshots) == ERROR_SUCCESS
        && HasPreviousKeyTree(snapshots, std::to_string(m_nSlot));
}
